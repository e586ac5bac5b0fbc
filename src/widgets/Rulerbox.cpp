#include "widgets/Rulerbox.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "widgets/FrameworkColor.h"
#include "widgets/PixelShapes.h"

namespace {

constexpr int kTickMinSpacing = 2;
constexpr int kLabelGap = 6;
constexpr int kMainRulerThickness = 30;

}  // namespace

TRulerBox::TRulerBox(QWidget* parent) : QWidget(parent) {
  background_ = palette().color(QPalette::Button);
  rulerColor_ = palette().color(QPalette::Button);
  QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  f.setPointSizeF(8);
  setFont(f);
  SetGripsCount(1);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize TRulerBox::sizeHint() const {
  return Vertical() ? QSize(kMainRulerThickness, 200) : QSize(200, kMainRulerThickness);
}

void TRulerBox::Invalidate() {
  dirty_ = true;
  update();
}

void TRulerBox::ApplyLimits() {
  const double after = (Length() - scale_.ScaleOffset) / scale_.DotPerUnit;
  scale_.ViewPos = korvane::RulerClampViewPos(scale_.ViewPos, viewMin_, viewMax_, after);
}

// Derived when asked, so a resize that has not been delivered yet (hidden widget) still counts.
korvane::TRulerScale TRulerBox::Scale() const {
  korvane::TRulerScale s = scale_;
  if (Fitting()) {
    s.DotPerUnit = Length() / (viewMax_ - viewMin_);
    s.ViewPos = korvane::RulerClampViewPos(s.ViewPos, viewMin_, viewMax_,
                                           (Length() - s.ScaleOffset) / s.DotPerUnit);
  }
  return s;
}

void TRulerBox::SetBackground(const QColor& value) {
  background_ = value;
  Invalidate();
}

void TRulerBox::SetRulerColor(const QColor& value) {
  rulerColor_ = value;
  Invalidate();
}

void TRulerBox::SetRulerDir(TRulerDir value) {
  rulerDir_ = value;
  updateGeometry();
  Invalidate();
}

void TRulerBox::SetGripsDir(TGripsDir value) {
  gripsDir_ = value;
  Invalidate();
}

void TRulerBox::SetDotPerUnit(double value) {
  if (!(value > 0) || !std::isfinite(value)) return;
  scale_.DotPerUnit = value;
  Invalidate();
}

void TRulerBox::SetFrequency(double value) {
  frequency_ = value;
  Invalidate();
}

void TRulerBox::SetLabelFreq(double value) {
  labelFreq_ = value;
  Invalidate();
}

void TRulerBox::SetViewPos(double value) {
  scale_.ViewPos = value;
  ApplyLimits();
  Invalidate();
}

void TRulerBox::SetViewMin(double value) {
  viewMin_ = value;
  for (TGrip& g : grips_) g.Min = value;
  ApplyLimits();
  Invalidate();
}

void TRulerBox::SetViewMax(double value) {
  viewMax_ = value;
  for (TGrip& g : grips_) g.Max = value;
  ApplyLimits();
  Invalidate();
}

void TRulerBox::SetScaleOffset(int value) {
  scale_.ScaleOffset = value;
  Invalidate();
}

void TRulerBox::SetRuler(bool value) {
  ruler_ = value;
  Invalidate();
}

void TRulerBox::SetHexLabels(bool value) {
  hexLabels_ = value;
  Invalidate();
}

void TRulerBox::SetFitInView(bool value) {
  fitInView_ = value;
  Invalidate();
}

void TRulerBox::SetGripsCount(int value) {
  const auto n = static_cast<std::size_t>(std::max(value, 0));
  TGrip fresh;
  fresh.Min = viewMin_;
  fresh.Max = viewMax_;
  grips_.resize(n, fresh);
  if (dragGrip_ >= value) dragGrip_ = -1;
  Invalidate();
}

void TRulerBox::SetGripBaseDim(int value) {
  gripBaseDim_ = std::max(value, 1);
  Invalidate();
}

void TRulerBox::FollowView(int zoomPercent, int viewOrigin, int centringOffset, int viewStart) {
  scale_ = korvane::RulerFollowView(zoomPercent, viewOrigin, centringOffset, viewStart);
  Invalidate();
}

void TRulerBox::SetGripPosition(int index, double value) {
  TGrip& g = grips_.at(static_cast<std::size_t>(index));
  if (g.Min < g.Max) value = std::clamp(value, g.Min, g.Max);
  g.Position = value;
  Invalidate();
}

void TRulerBox::SetGripColor(int index, const QColor& value) {
  grips_.at(static_cast<std::size_t>(index)).Color = value;
  Invalidate();
}

void TRulerBox::SetGripKind(int index, TGripKind value) {
  grips_.at(static_cast<std::size_t>(index)).Kind = value;
  Invalidate();
}

void TRulerBox::SetGripLimits(int index, double min, double max) {
  TGrip& g = grips_.at(static_cast<std::size_t>(index));
  g.Min = min;
  g.Max = max;
}

int TRulerBox::BandThickness() const {
  return korvane::RulerBandThickness(QFontInfo(font()).pixelSize(), ruler_);
}

std::vector<korvane::TRulerMark> TRulerBox::TickMarks() const {
  return korvane::RulerMarks(Scale(), frequency_, Length(), kTickMinSpacing);
}

std::vector<korvane::TRulerMark> TRulerBox::LabelMarks() const {
  if (!(labelFreq_ > 0)) return {};
  // Labels must not run into each other: space them by the widest text at the visible ends.
  const QFontMetrics fm(font());
  auto widthAt = [&](double unit) {
    return fm.horizontalAdvance(LabelText(std::trunc(unit / labelFreq_) * labelFreq_));
  };
  const int widest = std::max(widthAt(UnitAt(0)), widthAt(UnitAt(Length())));
  return korvane::RulerMarks(Scale(), labelFreq_, Length(), widest + kLabelGap);
}

QString TRulerBox::LabelText(double value) const {
  return QString::fromStdString(korvane::RulerLabelText(value, hexLabels_));
}

// Grips lie in the area beside the band and point at it. In grip-local terms `depth` runs from
// the band's edge into the area and `side` along the ruler from the grip's own pixel.
QRect TRulerBox::GripRect(int index) const {
  const TGrip& g = Grip(index);
  const int band = BandThickness();
  const int area = std::max(Across() - band, 0);
  const int depth = g.Kind == gkArrow || g.Kind == gkArrow2
                        ? std::min(area, gripBaseDim_)
                        : std::min(area, (gripBaseDim_ + 1) / 2);
  const int at = PixelOf(g.Position);
  const int half = gripBaseDim_ / 2;
  int from = at - half;
  int to = at + half;  // inclusive
  if (g.Kind == gkLeftTriangle) to = at;
  if (g.Kind == gkRightTriangle) from = at;
  const bool bandFirst = gripsDir_ == gdUp;  // band at the top (left), grips below (right)
  const int edge = bandFirst ? band : Across() - band;
  const int d0 = bandFirst ? edge : edge - depth;
  if (Vertical()) return {d0, from, depth, to - from + 1};
  return {from, d0, to - from + 1, depth};
}

int TRulerBox::GripAt(QPoint point) const {
  for (int i = GripsCount() - 1; i >= 0; --i) {
    if (GripRect(i).contains(point)) return i;
  }
  return -1;
}

void TRulerBox::DrawGrip(QPainter& p, const TGrip& grip, qreal dpr) {
  const int index = static_cast<int>(&grip - grips_.data());
  const QRect r = GripRect(index);
  if (r.isEmpty()) return;
  const int at = PixelOf(grip.Position);
  const bool bandFirst = gripsDir_ == gdUp;
  const int depthLen = Vertical() ? r.width() : r.height();
  const double headLen =
      (grip.Kind == gkArrow || grip.Kind == gkArrow2) ? depthLen / 2.0 : depthLen;
  const double half = gripBaseDim_ / 2.0;
  const double stem = grip.Kind == gkArrow ? std::max(1.0, gripBaseDim_ / 6.0) : 0.5;
  const TGripKind kind = grip.Kind;
  const bool vertical = Vertical();
  const double sideOrigin = (at + 0.5) - (vertical ? r.top() : r.left());
  auto inside = [=](double x, double y) {
    const double along = vertical ? y : x;
    const double acrossPos = vertical ? x : y;
    const double depth = bandFirst ? acrossPos : depthLen - acrossPos;
    const double side = along - sideOrigin;
    // The head widens one pixel each side per pixel of depth; the right-angled ones are halves.
    switch (kind) {
      case gkTriangle:
        return std::fabs(side) <= depth;
      case gkLeftTriangle:
        return side <= 0.5 && -side <= depth;
      case gkRightTriangle:
        return side >= -0.5 && side <= depth;
      case gkArrow:
      case gkArrow2:
        if (depth < headLen) return std::fabs(side) <= std::max(depth * half / headLen, 0.5);
        return std::fabs(side) <= stem;
    }
    return false;
  };
  const QColor colour = grip.Color;
  const QImage image = korvane::RenderShape(
      r.size(), dpr, inside, [colour](const korvane::TShapePixel&) { return colour; });
  p.drawImage(r.topLeft(), image);
}

void TRulerBox::DrawScale(QPainter& p, int band) {
  const bool bandFirst = gripsDir_ == gdUp;
  const int across = Across();
  const int outer = bandFirst ? 0 : across - band;         // the band's first row (column)
  const int inner = bandFirst ? band - 1 : across - band;  // its row next to the grips
  const QColor ink = palette().color(QPalette::WindowText);
  auto line = [&](int along, int from, int len) {
    // A run of `len` pixels across the ruler, from the inner edge outwards.
    const int a = bandFirst ? from - len + 1 : from;
    if (Vertical()) {
      p.fillRect(a, along, len, 1, ink);
    } else {
      p.fillRect(along, a, 1, len, ink);
    }
  };
  if (Vertical()) {
    p.fillRect(outer, 0, band, height(), rulerColor_);
    p.fillRect(inner, 0, 1, height(), ink);
  } else {
    p.fillRect(0, outer, width(), band, rulerColor_);
    p.fillRect(0, inner, width(), 1, ink);
  }
  for (const auto& m : TickMarks()) line(m.Pixel, inner, band / 4);

  const QFontMetrics fm(font());
  p.setPen(ink);
  p.setFont(font());
  for (const auto& m : LabelMarks()) {
    line(m.Pixel, inner, band / 2);
    const QString text = LabelText(m.Value);
    const QRect box(-200, 0, 400, fm.height());
    p.save();
    if (!Vertical()) {
      p.translate(m.Pixel + 0.5, bandFirst ? outer : across - fm.height());
    } else if (bandFirst) {
      p.translate(outer, m.Pixel + 0.5);
      p.rotate(-90);  // reads upwards, tops to the outer edge
    } else {
      p.translate(across, m.Pixel + 0.5);
      p.rotate(90);  // reads downwards, tops to the outer edge
    }
    p.drawText(box, Qt::AlignHCenter | Qt::AlignTop, text);
    p.restore();
  }
}

void TRulerBox::Render(qreal dpr) {
  const QSize device(static_cast<int>(std::lround(width() * dpr)),
                     static_cast<int>(std::lround(height() * dpr)));
  if (buffer_.size() != device) buffer_ = QImage(device, QImage::Format_RGB888);
  buffer_.setDevicePixelRatio(dpr);
  QPainter p(&buffer_);
  p.fillRect(rect(), background_);
  const int band = BandThickness();
  if (band > 0) DrawScale(p, band);
  for (const TGrip& g : grips_) DrawGrip(p, g, dpr);
  dirty_ = false;
}

void TRulerBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const qreal dpr = korvane::TargetPixelRatio(p);
  if (dirty_ || buffer_.isNull() || buffer_.devicePixelRatio() != dpr ||
      buffer_.size() != QSize(static_cast<int>(std::lround(width() * dpr)),
                              static_cast<int>(std::lround(height() * dpr)))) {
    Render(dpr);
  }
  p.drawImage(0, 0, buffer_);
}

void TRulerBox::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
    Invalidate();
  }
  QWidget::changeEvent(event);
}

void TRulerBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  const QPoint pos = event->position().toPoint();
  pressed_ = true;
  dragGrip_ = GripAt(pos);
  dragMoved_ = false;
  pressAlong_ = Along(pos);
  if (dragGrip_ >= 0) dragStart_ = Grip(dragGrip_).Position;
  event->accept();
}

void TRulerBox::mouseMoveEvent(QMouseEvent* event) {
  if (dragGrip_ < 0 || !(event->buttons() & Qt::LeftButton)) return;
  // Moves by the mouse's travel, so taking a grip off its tip does not make it jump.
  const int along = Along(event->position().toPoint());
  const double before = Grip(dragGrip_).Position;
  SetGripPosition(dragGrip_, dragStart_ + (along - pressAlong_) / DotPerUnit());
  const double after = Grip(dragGrip_).Position;
  if (after != before) {
    dragMoved_ = true;
    emit OnRulerPosChange(this, dragGrip_, after);
  }
}

void TRulerBox::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) return QWidget::mouseReleaseEvent(event);
  pressed_ = false;
  const int grip = dragGrip_;
  dragGrip_ = -1;
  if (grip >= 0) {
    if (!dragMoved_) emit OnRulerGripClick(this, grip);
    return;
  }
  emit OnRulerClick(this, UnitAt(Along(event->position().toPoint())));
}

void TRulerBox::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mouseDoubleClickEvent(event);
  const int grip = GripAt(event->position().toPoint());
  if (grip < 0) return mousePressEvent(event);
  pressed_ = false;
  dragGrip_ = -1;
  emit OnRulerGripDblClick(this, grip);
}

void ApplyMainWindowRuler(TRulerBox& ruler, TRulerBox::TRulerDir dir) {
  const bool horizontal = dir == TRulerBox::rdHorizontal;
  ruler.SetRulerDir(dir);
  ruler.SetGripsDir(horizontal ? TRulerBox::gdDown : TRulerBox::gdUp);
  ruler.SetDotPerUnit(1.0);
  ruler.SetFrequency(10.0);
  ruler.SetLabelFreq(horizontal ? 40.0 : 50.0);
  ruler.SetBackground(ruler.palette().color(QPalette::Midlight));
  ruler.SetRulerColor(korvane::FrameworkColor(12639424));
  if (horizontal) {
    ruler.setFixedHeight(kMainRulerThickness);
  } else {
    ruler.setFixedWidth(kMainRulerThickness);
  }
  ruler.hide();
}
