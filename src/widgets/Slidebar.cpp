#include "widgets/Slidebar.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "widgets/FrameworkColor.h"
#include "widgets/PixelShapes.h"
#include "widgets/SlidebarModel.h"

using korvane::TBevel;
using korvane::TShapePixel;

namespace {

constexpr int kTickLength = 3;
constexpr int kTickMinSpacing = 3;
constexpr int kCreationAcross = 15;
constexpr int kCreationAlong = 100;

bool IsBar(TSlideBar::TThumbStyle s) {
  return s <= TSlideBar::tsBar4;
}

// The pointed thumbs: a body with a tip as long as half the thumb is wide.
bool InsidePointed(TSlideBar::TThumbStyle s, double x, double y, double w, double h) {
  const double cx = w / 2;
  const double cy = h / 2;
  switch (s) {
    case TSlideBar::tsStdDown:
      return y <= h - cx || std::fabs(x - cx) <= h - y;
    case TSlideBar::tsStdUp:
      return y >= cx || std::fabs(x - cx) <= y;
    case TSlideBar::tsStdUpDown:
      return (y >= cx || std::fabs(x - cx) <= y) && (y <= h - cx || std::fabs(x - cx) <= h - y);
    case TSlideBar::tsStdRight:
      return x <= w - cy || std::fabs(y - cy) <= w - x;
    case TSlideBar::tsStdLeft:
      return x >= cy || std::fabs(y - cy) <= x;
    case TSlideBar::stStdLeftRight:
      return (x >= cy || std::fabs(y - cy) <= x) && (x <= w - cy || std::fabs(y - cy) <= w - x);
    default:
      return true;
  }
}

QImage RenderThumb(TSlideBar::TThumbStyle style, bool vertical, qreal dpr, const QPalette& pal) {
  const QSize size =
      TSlideBar::ThumbSize(style, vertical ? TSlideBar::orVertical : TSlideBar::orHorizontal);
  const double w = size.width();
  const double h = size.height();
  const TBevel bevel{pal.color(QPalette::Button), pal.color(QPalette::Light),
                     pal.color(QPalette::Mid), pal.color(QPalette::Shadow)};

  korvane::TInsideFn inside = [](double, double) { return true; };
  korvane::TShadeFn shade = bevel;
  switch (style) {
    case TSlideBar::tsCircle1:
      inside = [w, h](double x, double y) {
        const double dx = x - w / 2, dy = y - h / 2;
        return dx * dx + dy * dy <= w * w / 4;
      };
      break;
    case TSlideBar::tsDiamond1:
    case TSlideBar::tsDiamond2:
    case TSlideBar::tsDiamond3:
    case TSlideBar::tsDiamond4:
      inside = [w, h](double x, double y) {
        return std::fabs(x - w / 2) + std::fabs(y - h / 2) <= w / 2;
      };
      break;
    default:
      if (!IsBar(style) && style != TSlideBar::tsSquare1) {
        inside = [style, w, h](double x, double y) { return InsidePointed(style, x, y, w, h); };
      }
      break;
  }

  // Along is the bar's direction of travel; the decorations run across it.
  auto alongOf = [vertical](const TShapePixel& p) { return vertical ? p.Y : p.X; };
  const double alongLen = vertical ? h : w;
  switch (style) {
    case TSlideBar::tsBar2:  // a dark line marks the position
      shade = [bevel, alongOf, alongLen](const TShapePixel& p) {
        const QColor base = bevel(p);
        if (base != bevel.Face) return base;
        return std::floor(alongOf(p)) == std::floor(alongLen / 2) ? bevel.Shadow : base;
      };
      break;
    case TSlideBar::tsBar3:  // one etched groove
    case TSlideBar::tsBar4:  // three etched grooves
      shade = [bevel, alongOf, alongLen, style](const TShapePixel& p) {
        const QColor base = bevel(p);
        if (base != bevel.Face) return base;
        const int at = static_cast<int>(std::floor(alongOf(p)));
        const int mid = static_cast<int>(alongLen) / 2;
        for (int g : {0, -3, 3}) {
          if (style == TSlideBar::tsBar3 && g != 0) break;
          if (at == mid + g - 1) return bevel.Mid;
          if (at == mid + g) return bevel.Light;
        }
        return base;
      };
      break;
    case TSlideBar::tsDiamond2:  // light face, dark outline
      shade = [bevel](const TShapePixel& p) {
        const bool edge = p.Up == 1 || p.Down == 1 || p.Left == 1 || p.Right == 1;
        return edge ? bevel.Shadow : QColor(Qt::white);
      };
      break;
    case TSlideBar::tsDiamond3:
      shade = [bevel, face = pal.color(QPalette::Highlight)](const TShapePixel& p) {
        const QColor base = bevel(p);
        return base == bevel.Face ? face : base;
      };
      break;
    case TSlideBar::tsDiamond4:
      shade = [bevel, face = pal.color(QPalette::Dark)](const TShapePixel& p) {
        const QColor base = bevel(p);
        return base == bevel.Face ? face : base;
      };
      break;
    default:
      break;
  }
  return korvane::RenderShape(size, dpr, inside, shade);
}

}  // namespace

TSlideBar::TSlideBar(QWidget* parent)
    : QWidget(parent),
      ticksColor_(korvane::FrameworkColor(8421504)),
      focusColor_(korvane::FrameworkColor(12632256)) {
  setFocusPolicy(Qt::StrongFocus);
  resize(kCreationAcross, kCreationAlong);
}

QSize TSlideBar::ThumbSize(TThumbStyle style, TOrientation orientation) {
  QSize s;
  switch (style) {
    case tsBar1:
      s = {15, 5};
      break;
    case tsBar2:
      s = {15, 7};
      break;
    case tsBar3:
      s = {15, 9};
      break;
    case tsBar4:
      s = {15, 11};
      break;
    case tsCircle1:
    case tsSquare1:
    case tsDiamond1:
    case tsDiamond2:
      s = {11, 11};
      break;
    case tsDiamond3:
      s = {13, 13};
      break;
    case tsDiamond4:
      s = {9, 9};
      break;
    case tsStdDown:
    case tsStdUp:
    case tsStdVBar:
      s = {11, 19};
      break;
    case tsStdUpDown:
      s = {11, 21};
      break;
    case tsStdLeft:
    case tsStdRight:
    case tsStdHBar:
      s = {19, 11};
      break;
    case stStdLeftRight:
      s = {21, 11};
      break;
  }
  if (IsBar(style) && orientation == orHorizontal) s.transpose();
  return s;
}

int TSlideBar::Travel() const {
  const QSize t = ThumbSize(thumbStyle_, orientation_);
  return Vertical() ? height() - t.height() : width() - t.width();
}

QRect TSlideBar::ThumbRect() const {
  const QSize t = ThumbSize(thumbStyle_, orientation_);
  const int along = korvane::SlideThumbOffset(min_, max_, position_, Travel(), Vertical());
  if (Vertical()) return {(width() - t.width()) / 2, along, t.width(), t.height()};
  return {along, (height() - t.height()) / 2, t.width(), t.height()};
}

QSize TSlideBar::sizeHint() const {
  const QSize t = ThumbSize(thumbStyle_, orientation_);
  if (Vertical()) return {std::max(kCreationAcross, t.width()), kCreationAlong};
  return {kCreationAlong, std::max(kCreationAcross, t.height())};
}

QSize TSlideBar::minimumSizeHint() const {
  const QSize t = ThumbSize(thumbStyle_, orientation_);
  return Vertical() ? QSize(t.width(), t.height() * 2) : QSize(t.width() * 2, t.height());
}

void TSlideBar::ClampPositionToRange() {
  if (position_ >= min_ && position_ <= max_) return;
  position_ = std::clamp(position_, min_, max_);
  update();
  emit OnChange(this);
}

void TSlideBar::SetMin(int value) {
  min_ = value;
  max_ = std::max(max_, min_);
  update();
  ClampPositionToRange();
}

void TSlideBar::SetMax(int value) {
  max_ = value;
  min_ = std::min(min_, max_);
  update();
  ClampPositionToRange();
}

void TSlideBar::SetPosition(int value) {
  if (value >= min_ && value <= max_) position_ = value;
  // The colour follows the stored position, so it never lags behind the thumb.
  if (flashColor_) {
    const korvane::TRgb c = korvane::SlideFlashColour(min_, max_, position_);
    focusColor_ = QColor(c.Red, c.Green, c.Blue);
  }
  update();
  emit OnChange(this);
}

void TSlideBar::SetOrientation(TOrientation value) {
  if (value == orientation_) return;
  orientation_ = value;
  resize(height(), width());
  updateGeometry();
  update();
}

void TSlideBar::SetStyle(TBarStyle value) {
  style_ = value;
  update();
}

void TSlideBar::SetThickness(int value) {
  thickness_ = std::clamp(value, 0, 255);
  update();
}

void TSlideBar::SetThumbStyle(TThumbStyle value) {
  thumbStyle_ = value;
  updateGeometry();
  update();
}

void TSlideBar::SetTicks(bool value) {
  ticks_ = value;
  update();
}

void TSlideBar::SetFrequency(int value) {
  frequency_ = value;
  update();
}

void TSlideBar::SetTicksColor(const QColor& value) {
  ticksColor_ = value;
  update();
}

void TSlideBar::SetFocusColor(const QColor& value) {
  focusColor_ = value;
  update();
}

void TSlideBar::SetFlashColor(bool value) {
  flashColor_ = value;
}

void TSlideBar::SetHandCursor(bool value) {
  handCursor_ = value;
  setMouseTracking(value);
  if (!value) ShowHand(false);
}

QString TSlideBar::CurrentLabel() const {
  const qint64 index = static_cast<qint64>(position_) - min_;
  if (index < 0 || index >= labels_.size()) return QStringLiteral("<Un-Defined>");
  return labels_.at(index);
}

int TSlideBar::DragPosition(QPoint mouse) const {
  return korvane::SlideDragPosition(min_, max_, position_, Along(mouse) - grabOffset_, Travel(),
                                    Vertical());
}

void TSlideBar::keyPressEvent(QKeyEvent* event) {
  using korvane::TSlideKey;
  TSlideKey key;
  switch (event->key()) {
    case Qt::Key_PageUp:
      key = TSlideKey::PageUp;
      break;
    case Qt::Key_PageDown:
      key = TSlideKey::PageDown;
      break;
    case Qt::Key_End:
      key = TSlideKey::End;
      break;
    case Qt::Key_Home:
      key = TSlideKey::Home;
      break;
    case Qt::Key_Left:
    case Qt::Key_Down:
      key = TSlideKey::LineDown;
      break;
    case Qt::Key_Up:
    case Qt::Key_Right:
      key = TSlideKey::LineUp;
      break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  SetPosition(korvane::SlideKeyTarget(key, min_, max_, position_, stepLine_, stepPage_));
  event->accept();
}

void TSlideBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  const QPoint pos = event->position().toPoint();
  const QRect thumb = ThumbRect();
  pressed_ = true;
  pressPos_ = pos;
  dragging_ = thumb.contains(pos);
  // Keep the grip point under the mouse, so taking the thumb does not make it jump.
  grabOffset_ = Along(pos) - (Vertical() ? thumb.top() : thumb.left());
  lastAlong_ = Along(pos);
  dragMoved_ = false;
  event->accept();
}

void TSlideBar::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (dragging_ && (event->buttons() & Qt::LeftButton) && Along(pos) != lastAlong_) {
    lastAlong_ = Along(pos);
    dragMoved_ = true;
    SetPosition(DragPosition(pos));
  }
  if (handCursor_) ShowHand(dragging_ || ThumbRect().contains(pos));
}

void TSlideBar::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) return QWidget::mouseReleaseEvent(event);
  pressed_ = false;
  if (dragging_) {
    dragging_ = false;
    const QPoint pos = event->position().toPoint();
    // Where there are more positions than pixels the formula cannot give back every position:
    // a thumb let go where it was taken keeps its own.
    const bool moved = dragMoved_ || Along(pos) != Along(pressPos_);
    SetPosition(moved ? DragPosition(pos) : position_);
    if (handCursor_) ShowHand(rect().contains(pos) && ThumbRect().contains(pos));
    return;
  }
  // A click beside the thumb: one unit towards the clicked side (upwards is up on a vertical bar).
  const QRect thumb = ThumbRect();
  int step = 0;
  if (Vertical()) {
    if (pressPos_.y() < thumb.top()) step = 1;
    if (pressPos_.y() > thumb.bottom()) step = -1;
  } else {
    if (pressPos_.x() > thumb.right()) step = 1;
    if (pressPos_.x() < thumb.left()) step = -1;
  }
  if (step != 0) {
    SetPosition(
        static_cast<int>(std::clamp<qint64>(static_cast<qint64>(position_) + step, min_, max_)));
  }
}

void TSlideBar::ShowHand(bool show) {
  if (show == handShown_) return;
  handShown_ = show;
  if (show) {
    cursorBeforeHand_.reset();
    if (testAttribute(Qt::WA_SetCursor)) cursorBeforeHand_ = cursor();
    setCursor(Qt::PointingHandCursor);
  } else if (cursorBeforeHand_) {
    setCursor(*cursorBeforeHand_);
  } else {
    unsetCursor();
  }
}

void TSlideBar::leaveEvent(QEvent* event) {
  if (!dragging_) ShowHand(false);
  QWidget::leaveEvent(event);
}

void TSlideBar::focusInEvent(QFocusEvent* event) {
  update();
  QWidget::focusInEvent(event);
}

void TSlideBar::focusOutEvent(QFocusEvent* event) {
  update();
  QWidget::focusOutEvent(event);
}

void TSlideBar::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) {
    thumbCacheKey_ = -1;
    update();
  }
  QWidget::changeEvent(event);
}

const QImage& TSlideBar::ThumbImage(qreal dpr) {
  const qint64 key = (static_cast<qint64>(palette().cacheKey() & 0xFFFFFFFF) << 24) ^
                     (static_cast<qint64>(std::lround(dpr * 100)) << 8) ^
                     (static_cast<qint64>(thumbStyle_) << 1) ^ (Vertical() ? 1 : 0);
  if (key != thumbCacheKey_ || thumbCache_.isNull()) {
    thumbCache_ = RenderThumb(thumbStyle_, Vertical(), dpr, palette());
    thumbCacheKey_ = key;
  }
  return thumbCache_;
}

void TSlideBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const qreal dpr = korvane::TargetPixelRatio(p);
  const QSize t = ThumbSize(thumbStyle_, orientation_);
  const int length = Vertical() ? height() : width();
  const int across = Vertical() ? width() : height();
  const int thumbLength = Vertical() ? t.height() : t.width();
  auto alongRect = [this](int a, int b, int len, int thick) {
    return Vertical() ? QRect(b, a, thick, len) : QRect(a, b, len, thick);
  };

  // The trench runs between the thumb's extreme centres, a little beyond.
  const int inset = std::max(thumbLength / 2 - 2, 0);
  const int trenchLen = std::max(length - 2 * inset, 0);
  const int trenchThick = thickness_ + 2;
  const int trenchAt = (across - trenchThick) / 2;
  const QColor light = palette().color(QPalette::Light);
  const QColor dark = palette().color(QPalette::Dark);
  const QColor topLeft = style_ == bsLowered ? dark : light;
  const QColor bottomRight = style_ == bsLowered ? light : dark;
  const QColor inner = hasFocus() ? focusColor_ : palette().color(QPalette::Midlight);
  const QRect trench = alongRect(inset, trenchAt, trenchLen, trenchThick);
  p.fillRect(trench, inner);
  if (Vertical()) {
    p.fillRect(trench.left(), trench.top(), trench.width(), 1, topLeft);
    p.fillRect(trench.left(), trench.top(), 1, trench.height(), topLeft);
    p.fillRect(trench.left(), trench.bottom(), trench.width(), 1, bottomRight);
    p.fillRect(trench.right(), trench.top() + 1, 1, trench.height() - 1, bottomRight);
  } else {
    p.fillRect(trench.left(), trench.top(), trench.width(), 1, topLeft);
    p.fillRect(trench.left(), trench.top(), 1, trench.height(), topLeft);
    p.fillRect(trench.left() + 1, trench.bottom(), trench.width() - 1, 1, bottomRight);
    p.fillRect(trench.right(), trench.top(), 1, trench.height(), bottomRight);
  }

  if (ticks_) {
    const qint64 stride =
        korvane::SlideTickStride(min_, max_, frequency_, Travel(), kTickMinSpacing);
    if (stride > 0) {
      for (qint64 v = min_; v <= max_; v += stride) {
        const int at =
            korvane::SlideThumbOffset(min_, max_, static_cast<int>(v), Travel(), Vertical()) +
            thumbLength / 2;
        p.fillRect(alongRect(at, 0, 1, kTickLength), ticksColor_);
        p.fillRect(alongRect(at, across - kTickLength, 1, kTickLength), ticksColor_);
      }
    }
  }

  p.drawImage(ThumbRect().topLeft(), ThumbImage(dpr));
}

void ApplyColourTrackSettings(TSlideBar& bar) {
  bar.SetMin(-100);
  bar.SetMax(100);
  bar.SetPosition(0);
  bar.SetThickness(2);
  bar.SetThumbStyle(TSlideBar::tsDiamond2);
  bar.SetTicks(false);
  bar.SetFrequency(2);
  bar.SetStepPage(20);
  // FocusColor holds until the first position change recomputes it.
  bar.SetFocusColor(korvane::FrameworkColor(16318208));
  bar.SetFlashColor(true);
  bar.SetHandCursor(false);
  bar.setCursor(Qt::PointingHandCursor);
}

TSlideBar* CreateColourTrack(QWidget* parent, const QString& objectName) {
  auto* bar = new TSlideBar(parent);
  bar->setObjectName(objectName);
  ApplyColourTrackSettings(*bar);
  return bar;
}
