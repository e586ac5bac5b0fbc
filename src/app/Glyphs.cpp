#include "app/Glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace {

// Glyphs are drawn on a 20 x 20 grid; each pixmap is rendered at its device-pixel ratio.
constexpr int kGlyph = 20;

const QColor kInk(40, 48, 64);
const QColor kPaper(250, 250, 246);
const QColor kBlue(36, 92, 184);
const QColor kRed(200, 40, 32);
const QColor kGreen(40, 140, 60);
const QColor kGold(222, 170, 40);

QPixmap Render(qreal ratio, const std::function<void(QPainter&)>& draw) {
  QPixmap pixmap(QSize(kGlyph, kGlyph) * ratio);
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  draw(p);
  return pixmap;
}

QPen Pen(const QColor& c, qreal w = 1.4) {
  return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void Page(QPainter& p) {
  QPainterPath path;
  path.moveTo(4.5, 2.5);
  path.lineTo(12.5, 2.5);
  path.lineTo(16.5, 6.5);
  path.lineTo(16.5, 17.5);
  path.lineTo(4.5, 17.5);
  path.closeSubpath();
  p.setPen(Pen(kInk, 1.2));
  p.setBrush(kPaper);
  p.drawPath(path);
  p.drawLine(QPointF(12.5, 2.5), QPointF(12.5, 6.5));
  p.drawLine(QPointF(12.5, 6.5), QPointF(16.5, 6.5));
}

void Floppy(QPainter& p, const QColor& body) {
  p.setPen(Pen(kInk, 1.2));
  p.setBrush(body);
  p.drawRoundedRect(QRectF(3.5, 3.5, 13, 13), 1.5, 1.5);
  p.setBrush(kPaper);
  p.drawRect(QRectF(6.5, 3.5, 7, 5));
  p.setBrush(QColor(200, 206, 216));
  p.drawRect(QRectF(5.5, 11.5, 9, 5));
}

void Magnifier(QPainter& p, int sign) {
  p.setPen(Pen(kInk, 1.6));
  p.setBrush(QColor(214, 232, 250));
  p.drawEllipse(QPointF(8.5, 8.5), 5.2, 5.2);
  p.setPen(Pen(kInk, 2.6));
  p.drawLine(QPointF(12.4, 12.4), QPointF(17, 17));
  p.setPen(Pen(kBlue, 1.6));
  p.drawLine(QPointF(6, 8.5), QPointF(11, 8.5));
  if (sign > 0) p.drawLine(QPointF(8.5, 6), QPointF(8.5, 11));
}

void Arrow(QPainter& p, bool clockwise) {
  QPainterPath arc;
  const QRectF r(4, 4, 12, 12);
  arc.arcMoveTo(r, clockwise ? 150 : 30);
  arc.arcTo(r, clockwise ? 150 : 30, clockwise ? -270 : 270);
  p.setPen(Pen(kBlue, 2.0));
  p.setBrush(Qt::NoBrush);
  p.drawPath(arc);
  const QPointF tip = arc.pointAtPercent(1.0);
  const qreal angle = arc.angleAtPercent(1.0);
  QPainterPath head;
  head.moveTo(0, 0);
  head.lineTo(-4.5, -3);
  head.lineTo(-4.5, 3);
  head.closeSubpath();
  p.save();
  p.translate(tip);
  p.rotate(-angle);
  p.setPen(Qt::NoPen);
  p.setBrush(kBlue);
  p.drawPath(head);
  p.restore();
}

void DrawGlyph(QPainter& p, const QString& name) {
  if (name == "createnew") {
    Page(p);
    p.setPen(Pen(kGold, 1.6));
    p.drawLine(QPointF(15, 12), QPointF(15, 18));
    p.drawLine(QPointF(12, 15), QPointF(18, 15));
  } else if (name == "open") {
    p.setPen(Pen(kInk, 1.2));
    p.setBrush(kGold);
    QPainterPath back;
    back.moveTo(2.5, 5.5);
    back.lineTo(7.5, 5.5);
    back.lineTo(9, 7.5);
    back.lineTo(16.5, 7.5);
    back.lineTo(16.5, 16.5);
    back.lineTo(2.5, 16.5);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(QColor(246, 210, 110));
    QPainterPath front;
    front.moveTo(2.5, 16.5);
    front.lineTo(5.5, 10.5);
    front.lineTo(18.5, 10.5);
    front.lineTo(15.5, 16.5);
    front.closeSubpath();
    p.drawPath(front);
  } else if (name == "save") {
    Floppy(p, kBlue);
  } else if (name == "saveas") {
    Floppy(p, kBlue);
    p.setPen(Pen(kRed, 2.0));
    p.drawLine(QPointF(11, 17), QPointF(18, 10));
  } else if (name == "printer") {
    p.setPen(Pen(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawRect(QRectF(6.5, 2.5, 7, 5));
    p.setBrush(QColor(190, 196, 206));
    p.drawRoundedRect(QRectF(2.5, 7.5, 15, 7), 1.5, 1.5);
    p.setBrush(kPaper);
    p.drawRect(QRectF(5.5, 12.5, 9, 5));
    p.setPen(Pen(kGreen, 1.4));
    p.drawPoint(QPointF(15, 10));
  } else if (name == "fonts") {
    QFont f("Serif");
    f.setPixelSize(16);
    f.setBold(true);
    p.setFont(f);
    p.setPen(kInk);
    p.drawText(QRectF(0, 0, 14, 20), Qt::AlignCenter, "A");
    f.setPixelSize(11);
    p.setFont(f);
    p.setPen(kBlue);
    p.drawText(QRectF(10, 6, 10, 14), Qt::AlignCenter, "a");
  } else if (name == "undo") {
    Arrow(p, false);
  } else if (name == "revert") {
    Page(p);
    p.save();
    p.translate(3, 3);
    p.scale(0.7, 0.7);
    Arrow(p, true);
    p.restore();
  } else if (name == "zoomin") {
    Magnifier(p, 1);
  } else if (name == "zoomout") {
    Magnifier(p, -1);
  } else if (name == "fzoom") {
    Magnifier(p, 1);
    p.setPen(Pen(kInk, 1.0));
    p.drawLine(QPointF(2, 18.5), QPointF(11, 18.5));
    p.setBrush(kRed);
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(5, 16.5, 2.5, 4));
  } else if (name == "repan") {
    p.setPen(Pen(kInk, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(2.5, 2.5, 15, 15));
    p.setBrush(kBlue);
    p.drawRect(QRectF(6.5, 6.5, 7, 7));
    p.setPen(Pen(kRed, 1.2));
    p.drawLine(QPointF(10, 1), QPointF(10, 5));
    p.drawLine(QPointF(10, 15), QPointF(10, 19));
    p.drawLine(QPointF(1, 10), QPointF(5, 10));
    p.drawLine(QPointF(15, 10), QPointF(19, 10));
  } else if (name == "brushes") {
    p.setPen(Pen(QColor(140, 90, 40), 2.4));
    p.drawLine(QPointF(17, 3), QPointF(9, 11));
    QPainterPath tip;
    tip.moveTo(9.5, 9.5);
    tip.cubicTo(5, 9, 4, 13, 3, 17.5);
    tip.cubicTo(7, 16.5, 11, 16, 10.5, 10.5);
    p.setPen(Pen(kInk, 1.0));
    p.setBrush(kRed);
    p.drawPath(tip);
  } else if (name == "restrict") {
    p.setPen(Pen(kRed, 2.2));
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(10, 10), 7, 7);
    p.drawLine(QPointF(5.2, 14.8), QPointF(14.8, 5.2));
  } else if (name == "channels") {
    p.setPen(Qt::NoPen);
    p.setCompositionMode(QPainter::CompositionMode_Multiply);
    p.setBrush(QColor(255, 90, 90));
    p.drawEllipse(QPointF(7.5, 7.5), 5, 5);
    p.setBrush(QColor(90, 220, 90));
    p.drawEllipse(QPointF(12.5, 7.5), 5, 5);
    p.setBrush(QColor(90, 130, 255));
    p.drawEllipse(QPointF(10, 12.5), 5, 5);
  } else if (name == "conture") {
    p.setPen(Pen(kInk, 1.6));
    p.setBrush(Qt::NoBrush);
    QPainterPath wave;
    wave.moveTo(3, 15);
    wave.cubicTo(5, 3, 9, 3, 10, 10);
    wave.cubicTo(11, 17, 15, 17, 17, 5);
    p.drawPath(wave);
  } else if (name == "adraw") {
    p.setPen(Pen(QColor(150, 150, 160), 1.0));
    for (int k = 4; k <= 16; k += 4) {
      p.drawLine(QPointF(k, 2), QPointF(k, 18));
      p.drawLine(QPointF(2, k), QPointF(18, k));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    for (int k = 4; k <= 16; k += 4) p.drawEllipse(QPointF(k, 20 - k), 1.8, 1.8);
  } else if (name == "shadow") {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 120, 130, 160));
    p.drawRoundedRect(QRectF(6, 6, 11, 11), 2, 2);
    p.setPen(Pen(kInk, 1.2));
    p.setBrush(kGold);
    p.drawRoundedRect(QRectF(3.5, 3.5, 10, 10), 2, 2);
  } else if (name == "panic") {
    p.setPen(Pen(kInk, 1.0));
    p.setBrush(kRed);
    p.drawEllipse(QPointF(10, 10), 8, 8);
    QFont f;
    f.setPixelSize(14);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, 20, 20), Qt::AlignCenter, "!");
  }
}

struct CursorShape {
  int hotX, hotY;
  std::function<void(QPainter&)> draw;
};

// Draws a line in white under black so the cursor shows on any image.
void Outlined(QPainter& p, const QLineF& line) {
  p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::SquareCap));
  p.drawLine(line);
  p.setPen(QPen(Qt::black, 1, Qt::SolidLine, Qt::SquareCap));
  p.drawLine(line);
}

CursorShape Cursor(int number) {
  switch (number) {
    case 1778:
    case 1779:
      return {6, 6, [number](QPainter& p) {
                p.setPen(QPen(Qt::white, 3));
                p.drawEllipse(QPointF(6.5, 6.5), 5, 5);
                p.setPen(QPen(Qt::black, 1));
                p.drawEllipse(QPointF(6.5, 6.5), 5, 5);
                Outlined(p, QLineF(10.5, 10.5, 15.5, 15.5));
                p.setPen(Qt::black);
                p.drawLine(QPointF(4.5, 6.5), QPointF(8.5, 6.5));
                if (number == 1779) p.drawLine(QPointF(6.5, 4.5), QPointF(6.5, 8.5));
              }};
    case 1781:
      return {3, 14, [](QPainter& p) {
                p.setPen(QPen(Qt::black, 1));
                p.setBrush(QColor(240, 160, 170));
                QPolygonF body({{2.5, 13.5}, {10.5, 5.5}, {15.5, 10.5}, {7.5, 18.5}});
                p.drawPolygon(body);
              }};
    case 1782:
      return {8, 8, [](QPainter& p) {
                p.setPen(QPen(Qt::black, 1));
                p.setBrush(Qt::white);
                p.drawRoundedRect(QRectF(3.5, 6.5, 10, 9), 3, 3);
                for (int k = 0; k < 4; ++k) p.drawRoundedRect(QRectF(3.5 + 2.5 * k, 1.5, 2.5, 7), 1, 1);
              }};
    case 1783:
      return {1, 15, [](QPainter& p) {
                Outlined(p, QLineF(1.5, 15.5, 13.5, 3.5));
                p.setPen(QPen(Qt::black, 1));
                p.setBrush(QColor(250, 220, 120));
                p.drawPolygon(QPolygonF({{11.5, 2.5}, {14.5, 5.5}, {5.5, 14.5}, {2.5, 11.5}}));
              }};
    case 1780:
    case 1784:
    case 1785:
      return {8, 8, [number](QPainter& p) {
                const qreal gap = number == 1780 ? 0 : 2;
                Outlined(p, QLineF(8.5, 0.5, 8.5, 8.5 - gap));
                Outlined(p, QLineF(8.5, 8.5 + gap, 8.5, 16.5));
                Outlined(p, QLineF(0.5, 8.5, 8.5 - gap, 8.5));
                Outlined(p, QLineF(8.5 + gap, 8.5, 16.5, 8.5));
                if (number == 1785) {
                  p.setPen(Qt::black);
                  p.drawPoint(QPointF(8.5, 8.5));
                }
              }};
    default:
      return {0, 0, nullptr};
  }
}

}  // namespace

QIcon SpeedGlyph(const QString& name) {
  QIcon icon;
  for (const qreal ratio : {1.0, 2.0})
    icon.addPixmap(Render(ratio, [&](QPainter& p) { DrawGlyph(p, name); }));
  return icon;
}

QCursor ViewCursor(int number) {
  const CursorShape shape = Cursor(number);
  if (!shape.draw) return QCursor(Qt::ArrowCursor);
  QPixmap pixmap(QSize(18, 18) * 2);
  pixmap.setDevicePixelRatio(2);
  pixmap.fill(Qt::transparent);
  {
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, false);
    shape.draw(p);
  }
  return QCursor(pixmap, shape.hotX, shape.hotY);
}
