#include "view/Vistelview.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "view/ViewRender.h"

namespace {

// Every point of the line from (x1, y1) up to, not including, (x2, y2), as a DDA walk visits them.
template <class Visit>
void LineDDA(int x1, int y1, int x2, int y2, Visit&& visit) {
  const int dx = x2 - x1;
  const int dy = y2 - y1;
  const int steps = std::max(std::abs(dx), std::abs(dy));
  for (int k = 0; k < steps; ++k) {
    const int x = x1 + static_cast<int>(std::lround(static_cast<double>(dx) * k / steps));
    const int y = y1 + static_cast<int>(std::lround(static_cast<double>(dy) * k / steps));
    visit(x, y);
  }
}

constexpr int kAntsInterval = 150;
constexpr int kPageScroll = 10;  // a page click scrolls ten pixels, not a client page

}  // namespace

TVistelView::TVistelView(QWidget* parent) : QAbstractScrollArea(parent) {
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  background_ = palette().color(QPalette::Button);
  dpiX_ = logicalDpiX();
  dpiY_ = logicalDpiY();
  antsTimer_.setInterval(kAntsInterval);
  connect(&antsTimer_, &QTimer::timeout, this, [this] { AdvanceAnts(); });
  connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this,
          [this](int action) { PageStep(action, true); });
  connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
          [this](int action) { PageStep(action, false); });
}

TVistelView::~TVistelView() = default;

void TVistelView::SetBitmap(const korvane::TDib* bitmap) {
  bitmap_ = bitmap;
  Update();
  CallBitmapChangeEvents();
}

void TVistelView::SetZoom(int percent) {
  if (percent <= 0 || percent == geometry_.Zoom) return;
  LockPaint();
  geometry_.Zoom = percent;
  Update();
  NPUnLockPaint();
  viewport()->update();
  if (OnViewChange) OnViewChange(this, 1);
}

void TVistelView::SetOrigin(int x, int y) {
  int maxX = 0, maxY = 0;
  geometry_.GetMaxViewXY(maxX, maxY);
  x = std::clamp(x, 0, maxX);
  y = std::clamp(y, 0, maxY);
  if (x == geometry_.ViewX && y == geometry_.ViewY) return;
  geometry_.ViewX = x;
  geometry_.ViewY = y;
  geometry_.Layout();
  QScrollBar* h = horizontalScrollBar();
  QScrollBar* v = verticalScrollBar();
  const QSignalBlocker blockH(h), blockV(v);
  if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) h->setValue(x);
  if (scrollBars_ == ssVertical || scrollBars_ == ssBoth) v->setValue(y);
  viewport()->update();
  if (OnViewChange) OnViewChange(this, 0);
  if (OnLayoutChanged) OnLayoutChanged();
}

void TVistelView::SetViewX(int x) {
  if (x != geometry_.ViewX) SetOrigin(x, geometry_.ViewY);
}

void TVistelView::SetViewY(int y) {
  if (y != geometry_.ViewY) SetOrigin(geometry_.ViewX, y);
}

void TVistelView::SetViewXY(int x, int y) { SetOrigin(x, y); }

void TVistelView::SetCenter(bool center) {
  if (center == geometry_.Center) return;
  geometry_.Center = center;
  Update();
}

void TVistelView::SetScrollBars(TScrollStyle style) {
  scrollBars_ = style;
  Update();
}

void TVistelView::SetBackGround(const QColor& color) {
  background_ = color;
  Update();
  if (OnImageChange) OnImageChange(this);
}

void TVistelView::SetDPI(int dpiX, int dpiY) {
  dpiX_ = dpiX;
  dpiY_ = dpiY;
}

void TVistelView::ApplyScrollBars(int maxX, int maxY) {
  const auto apply = [](QAbstractScrollArea* area, QScrollBar* bar, bool allowed, int max,
                        int page, int value, bool horizontal) {
    const bool show = allowed && max >= 1;
    if (show) {
      const QSignalBlocker block(bar);
      bar->setRange(0, max);
      bar->setPageStep(std::max(1, page));
      bar->setSingleStep(1);
      bar->setValue(value);
    }
    const Qt::ScrollBarPolicy policy = show ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    if (horizontal && area->horizontalScrollBarPolicy() != policy)
      area->setHorizontalScrollBarPolicy(policy);
    if (!horizontal && area->verticalScrollBarPolicy() != policy)
      area->setVerticalScrollBarPolicy(policy);
  };
  apply(this, horizontalScrollBar(), scrollBars_ == ssHorizontal || scrollBars_ == ssBoth, maxX,
        viewport()->width(), geometry_.ViewX, true);
  apply(this, verticalScrollBar(), scrollBars_ == ssVertical || scrollBars_ == ssBoth, maxY,
        viewport()->height(), geometry_.ViewY, false);
}

void TVistelView::Update() {
  if (inUpdate_) return;
  inUpdate_ = true;
  const int bw = bitmap_ && !bitmap_->Empty() ? bitmap_->Width() : 0;
  const int bh = bitmap_ && !bitmap_->Empty() ? bitmap_->Height() : 0;
  if (bw != lastBitmapWidth_ || bh != lastBitmapHeight_) {
    lastBitmapWidth_ = bw;
    lastBitmapHeight_ = bh;
    if (selected_) DeSelect();
  }
  geometry_.BitmapWidth = bw;
  geometry_.BitmapHeight = bh;
  // Showing or hiding a scroll bar changes the client area: lay out again until it settles.
  for (int pass = 0; pass < 3; ++pass) {
    const QSize client = viewport()->size();
    geometry_.ClientWidth = client.width();
    geometry_.ClientHeight = client.height();
    geometry_.OuterWidth = width();
    geometry_.OuterHeight = height();
    int maxX = 0, maxY = 0;
    geometry_.GetMaxViewXY(maxX, maxY);
    if (geometry_.ClampView() && OnViewChange) OnViewChange(this, 0);
    ApplyScrollBars(maxX, maxY);
    if (viewport()->size() == client) break;
  }
  geometry_.Layout();
  inUpdate_ = false;
  viewport()->update();
  if (OnLayoutChanged) OnLayoutChanged();
}

void TVistelView::LockPaint() { ++paintLock_; }

void TVistelView::UnLockPaint() {
  if (paintLock_ > 0) --paintLock_;
  if (paintLock_ == 0) Update();
}

void TVistelView::NPUnLockPaint() {
  if (paintLock_ > 0) --paintLock_;
}

int TVistelView::RegisterBitmapChangeEvent(TBitmapChangeEvent event) {
  listeners_.push_back({nextListenerId_, std::move(event)});
  return nextListenerId_++;
}

void TVistelView::RemoveBitmapChangeEvent(int id) {
  const auto it = std::find_if(listeners_.begin(), listeners_.end(),
                               [id](const Listener& l) { return l.id == id; });
  if (it != listeners_.end()) listeners_.erase(it);
}

void TVistelView::CallBitmapChangeEvents() {
  for (const Listener& l : listeners_) l.event(this);
}

void TVistelView::Select(int x1, int y1, int x2, int y2) {
  if (x1 == x2 || y1 == y2) return;
  if (SelectionBase == vxsbClientArea) {
    x1 = XScr2Bmp(x1);
    y1 = YScr2Bmp(y1);
    x2 = XScr2Bmp(x2);
    y2 = YScr2Bmp(y2);
  }
  if (selected_) viewport()->update(OutlineRect());
  selX1_ = std::min(x1, x2);
  selX2_ = std::max(x1, x2);
  selY1_ = std::min(y1, y2);
  selY2_ = std::max(y1, y2);
  selected_ = true;
  antsTimer_.start();
  viewport()->update(OutlineRect());
}

void TVistelView::DeSelect() {
  if (selected_) {
    selected_ = false;
    if (!PaintLocked()) viewport()->update(OutlineRect());
  }
  antsTimer_.stop();
}

QRect TVistelView::OutlineRect() const {
  const QRect r(QPoint(XBmp2Scr(selX1_), YBmp2Scr(selY1_)),
                QPoint(XBmp2Scr(selX2_), YBmp2Scr(selY2_)));
  return r.normalized().adjusted(-1, -1, 1, 1);
}

void TVistelView::AdvanceAnts() {
  if (!selected_) return;
  if (AnimatedSel) phase_ = (phase_ + 1) % 6;
  if (PaintLocked()) return;
  // Only the outline's four edges need repainting.
  const QRect r = OutlineRect();
  QRegion edges;
  edges += QRect(r.left(), r.top(), r.width(), 3);
  edges += QRect(r.left(), r.bottom() - 2, r.width(), 3);
  edges += QRect(r.left(), r.top(), 3, r.height());
  edges += QRect(r.right() - 2, r.top(), 3, r.height());
  viewport()->update(edges);
}

void TVistelView::DrawAnts(QPainter& painter) const {
  const int xs[4] = {selX1_, selX2_, selX2_, selX1_};
  const int ys[4] = {selY1_, selY1_, selY2_, selY2_};
  QVector<QPoint> first, second;
  int counter = phase_;
  for (int k = 0; k < 4; ++k) {
    const int from = k == 0 ? 3 : k - 1;  // the edge into point k; the first closes the outline
    LineDDA(XBmp2Scr(xs[from]), YBmp2Scr(ys[from]), XBmp2Scr(xs[k]), YBmp2Scr(ys[k]),
            [&](int x, int y) {
              (counter < 3 ? first : second).push_back(QPoint(x, y));
              counter = (counter + 1) % 6;
            });
  }
  painter.setPen(SelColor1);
  painter.drawPoints(first.constData(), static_cast<int>(first.size()));
  painter.setPen(SelColor2);
  painter.drawPoints(second.constData(), static_cast<int>(second.size()));
}

void TVistelView::paintEvent(QPaintEvent* event) {
  if (PaintLocked()) return;
  QPainter painter(viewport());
  const korvane::TRectI d = geometry_.DrawnRect();
  const bool hasRows = bitmap_ && !bitmap_->Empty();
  const QRect drawn = hasRows ? QRect(d.X, d.Y, d.Width, d.Height) : QRect();
  const QRegion background = QRegion(event->rect()) - QRegion(drawn);
  for (const QRect& r : background) painter.fillRect(r, background_);

  const QRect dirty = event->rect() & drawn;
  if (hasRows && !dirty.isEmpty()) {
    const QSize client = viewport()->size();
    if (frame_.width() < client.width() || frame_.height() < client.height())
      frame_ = QImage(client, QImage::Format_RGB32);
    const korvane::TRectI part{dirty.x() - d.X, dirty.y() - d.Y, dirty.width(), dirty.height()};
    auto* first = reinterpret_cast<std::uint32_t*>(frame_.scanLine(dirty.y())) + dirty.x();
    korvane::RenderStretched(*bitmap_, geometry_.SourceRect(), d.Width, d.Height, part, first,
                             static_cast<int>(frame_.bytesPerLine() / 4));
    painter.drawImage(dirty.topLeft(), frame_, dirty);
  }
  if (selected_) DrawAnts(painter);
}

void TVistelView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  Update();
}

void TVistelView::scrollContentsBy(int, int) {
  SetOrigin(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void TVistelView::PageStep(int action, bool horizontal) {
  QScrollBar* bar = horizontal ? horizontalScrollBar() : verticalScrollBar();
  if (action == QAbstractSlider::SliderPageStepAdd)
    bar->setSliderPosition(bar->value() + kPageScroll);
  else if (action == QAbstractSlider::SliderPageStepSub)
    bar->setSliderPosition(bar->value() - kPageScroll);
}

void TVistelView::mousePressEvent(QMouseEvent* event) {
  if (OnMouseDown) OnMouseDown(event);
}

void TVistelView::mouseMoveEvent(QMouseEvent* event) {
  if (OnMouseMove) OnMouseMove(event);
}

void TVistelView::mouseReleaseEvent(QMouseEvent* event) {
  if (OnMouseUp) OnMouseUp(event);
}

void TVistelView::mouseDoubleClickEvent(QMouseEvent* event) {
  // A double click is a second press for the tools.
  if (OnMouseDown) OnMouseDown(event);
}

QColor TVistelView::DisplayedColor(const QPoint& client) const {
  int x = 0, y = 0;
  if (!bitmap_ || bitmap_->Empty() || !geometry_.DisplayedPixel(client.x(), client.y(), x, y))
    return background_;
  const std::uint8_t* p = bitmap_->ScanLine(y) + 3 * x;
  return QColor(p[2], p[1], p[0]);
}

void TVistelView::UpdateBitmapRect(const korvane::TRectI& r) {
  if (r.Width <= 0 || r.Height <= 0) return;
  const QRect client(QPoint(XBmp2Scr(r.X), YBmp2Scr(r.Y)),
                     QPoint(XBmp2Scr(r.X + r.Width), YBmp2Scr(r.Y + r.Height)));
  // One zoomed pixel of slack on each side covers the rounding of the conversion.
  const int slack = std::max(1, geometry_.Zoom / 100 + 1);
  viewport()->update(client.normalized().adjusted(-slack, -slack, slack, slack));
}

void TVistelView::wheelEvent(QWheelEvent* event) {
  const QPoint steps = event->angleDelta() / 120;
  if (event->modifiers() & Qt::ControlModifier) {
    if (OnWheelZoom && steps.y() != 0) OnWheelZoom(event->position().toPoint(), steps.y() > 0);
    event->accept();
    return;
  }
  // Three lines of ten pixels a notch; Shift turns the wheel sideways.
  const QPoint delta = (event->modifiers() & Qt::ShiftModifier) ? QPoint(steps.y(), steps.x()) : steps;
  SetViewXY(geometry_.ViewX - 30 * delta.x(), geometry_.ViewY - 30 * delta.y());
  event->accept();
}

QImage TVistelView::GrabClient() const { return viewport()->grab().toImage(); }
