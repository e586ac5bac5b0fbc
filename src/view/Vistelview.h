// The image view: shows the document's working bitmap zoomed and scrolled, converts client
// pixels to bitmap pixels, and draws a marching-ants selection.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QImage>
#include <QTimer>

#include <functional>
#include <vector>

#include "app/Dibactions.h"
#include "view/ViewGeometry.h"

class QMouseEvent;

// Scroll-bar styles of the view.
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
// Whether Select receives client or bitmap pixels.
enum TVxSelectionBase { vxsbClientArea, vxsbBitmap };

class TVistelView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  using TBitmapChangeEvent = std::function<void(TVistelView*)>;
  using TViewChangeEvent = std::function<void(TVistelView*, int change)>;
  using TMouseEvent = std::function<void(QMouseEvent*)>;

  explicit TVistelView(QWidget* parent = nullptr);
  ~TVistelView() override;

  // The bitmap shown; it stays owned by the document. Null shows only the background.
  void SetBitmap(const korvane::TDib* bitmap);
  const korvane::TDib* GetFBitmap() const { return bitmap_; }

  int Zoom() const { return geometry_.Zoom; }
  void SetZoom(int percent);
  int ViewX() const { return geometry_.ViewX; }
  int ViewY() const { return geometry_.ViewY; }
  void SetViewX(int x);
  void SetViewY(int y);
  void SetViewXY(int x, int y);
  bool Center() const { return geometry_.Center; }
  void SetCenter(bool center);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle style);
  QColor Background() const { return background_; }
  void SetBackGround(const QColor& color);
  int DpiX() const { return dpiX_; }
  int DpiY() const { return dpiY_; }
  void SetDPI(int dpiX, int dpiY);

  void GetMaxViewXY(int& maxX, int& maxY) const { geometry_.GetMaxViewXY(maxX, maxY); }
  int XScr2Bmp(int x) const { return geometry_.XScr2Bmp(x); }
  int YScr2Bmp(int y) const { return geometry_.YScr2Bmp(y); }
  int XBmp2Scr(int x) const { return geometry_.XBmp2Scr(x); }
  int YBmp2Scr(int y) const { return geometry_.YBmp2Scr(y); }
  const korvane::TViewGeometry& Geometry() const { return geometry_; }

  // A rectangular selection, drawn as moving dashes; coordinates per SelectionBase.
  TVxSelectionBase SelectionBase = vxsbClientArea;
  bool AnimatedSel = true;
  QColor SelColor1 = Qt::black;
  QColor SelColor2 = Qt::white;
  virtual void Select(int x1, int y1, int x2, int y2);
  void DeSelect();
  bool HasSelection() const { return selected_; }
  int GetSelX1() const { return selX1_; }
  int GetSelY1() const { return selY1_; }
  int GetSelX2() const { return selX2_; }
  int GetSelY2() const { return selY2_; }
  int DashPhase() const { return phase_; }

  // Recomputes the layout after any change of the pixels, the size or the view, and repaints.
  virtual void Update();
  void LockPaint();
  void UnLockPaint();
  void NPUnLockPaint();
  bool PaintLocked() const { return paintLock_ > 0; }

  // Components that must learn that the bitmap was replaced or resized.
  int RegisterBitmapChangeEvent(TBitmapChangeEvent event);
  void RemoveBitmapChangeEvent(int id);
  void CallBitmapChangeEvents();

  TViewChangeEvent OnViewChange;  // change 0: origin, 1: zoom
  std::function<void(TVistelView*)> OnImageChange;
  // After any change of zoom, origin, centring or size: for companions that follow the view.
  std::function<void()> OnLayoutChanged;
  TMouseEvent OnMouseDown, OnMouseMove, OnMouseUp;
  // Ctrl + wheel asks for a zoom step at a client point (in: towards larger).
  std::function<void(const QPoint& client, bool in)> OnWheelZoom;

  // The colour the client shows at a client pixel: a bitmap pixel, or the background.
  QColor DisplayedColor(const QPoint& client) const;
  // Repaints only the client area that shows this bitmap rectangle (rows from the top).
  void UpdateBitmapRect(const korvane::TRectI& r);

  // The client-area picture as last painted (for tests).
  QImage GrabClient() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void ApplyScrollBars(int maxX, int maxY);
  void SetOrigin(int x, int y);
  void AdvanceAnts();
  void DrawAnts(QPainter& painter) const;
  QRect OutlineRect() const;
  void PageStep(int action, bool horizontal);

  const korvane::TDib* bitmap_ = nullptr;
  korvane::TViewGeometry geometry_;
  TScrollStyle scrollBars_ = ssNone;
  QColor background_;
  int dpiX_ = 96;
  int dpiY_ = 96;
  int paintLock_ = 0;
  int lastBitmapWidth_ = 0;
  int lastBitmapHeight_ = 0;
  bool inUpdate_ = false;

  bool selected_ = false;
  int selX1_ = 0, selY1_ = 0, selX2_ = 0, selY2_ = 0;
  int phase_ = 0;
  QTimer antsTimer_;

  struct Listener {
    int id;
    TBitmapChangeEvent event;
  };
  std::vector<Listener> listeners_;
  int nextListenerId_ = 1;

  QImage frame_;  // client-sized buffer the bitmap is rendered into
};
