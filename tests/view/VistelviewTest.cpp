// The image view widget: scroll bars, selection, zoom events and what it paints.
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

#include "app/Dibactions.h"
#include "view/Vistelview.h"

using korvane::TDib;

namespace {

TDib Gradient(int w, int h) {
  TDib b;
  if (!b.SetSize(w, h)) qFatal("no memory");
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = b.ScanLine(y) + 3 * x;
      p[0] = static_cast<std::uint8_t>(y);
      p[1] = 0;
      p[2] = static_cast<std::uint8_t>(x);
    }
  return b;
}

}  // namespace

class TestVistelView : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    view_ = new TVistelView;
    view_->resize(400, 300);
    view_->show();
    QVERIFY(QTest::qWaitForWindowExposed(view_));
  }
  void cleanup() { delete view_; }

  void fittingImageHasNoScrolling() {
    TDib b = Gradient(300, 200);
    view_->SetScrollBars(ssBoth);
    view_->SetBitmap(&b);
    QVERIFY(!view_->horizontalScrollBar()->isVisible());
    QVERIFY(!view_->verticalScrollBar()->isVisible());
    view_->SetViewX(50);
    QCOMPARE(view_->ViewX(), 0);
    view_->SetBitmap(nullptr);
  }

  void largeImageScrollsWithItsRange() {
    TDib b = Gradient(1000, 250);
    view_->SetScrollBars(ssBoth);
    view_->SetBitmap(&b);
    view_->SetZoom(150);
    QScrollBar* h = view_->horizontalScrollBar();
    QVERIFY(h->isVisible());
    const int client = view_->viewport()->width();
    QCOMPARE(h->maximum(), 1500 - client);
    QCOMPARE(h->pageStep(), client);
    // A page click moves ten pixels, not a client page.
    h->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(view_->ViewX(), 10);
    h->triggerAction(QAbstractSlider::SliderToMaximum);
    QCOMPARE(view_->ViewX(), 1500 - client);
    // Zooming out lowers the origin to the new maximum.
    view_->SetZoom(100);
    QCOMPARE(view_->ViewX(), 1000 - view_->viewport()->width());
    // Without scroll bars the origin still clamps, and the bars stay hidden.
    view_->SetScrollBars(ssNone);
    QVERIFY(!h->isVisible());
    view_->SetViewX(-20);
    QCOMPARE(view_->ViewX(), 0);
    view_->SetBitmap(nullptr);
  }

  void zoomRefusesZeroAndReportsChanges() {
    TDib b = Gradient(50, 50);
    view_->SetBitmap(&b);
    QList<int> changes;
    view_->OnViewChange = [&](TVistelView*, int change) { changes << change; };
    view_->SetZoom(0);
    view_->SetZoom(-5);
    view_->SetZoom(100);  // unchanged
    QVERIFY(changes.isEmpty());
    view_->SetZoom(200);
    QCOMPARE(changes, QList<int>{1});
    QCOMPARE(view_->Zoom(), 200);
    view_->OnViewChange = nullptr;
    view_->SetBitmap(nullptr);
  }

  void selectionRules() {
    TDib b = Gradient(100, 100);
    view_->SetBitmap(&b);
    view_->SetZoom(200);
    view_->Select(10, 10, 10, 40);  // equal x: nothing
    QVERIFY(!view_->HasSelection());
    view_->Select(40, 30, 10, 10);
    QVERIFY(view_->HasSelection());
    // Client pixels converted and ordered.
    QCOMPARE(view_->GetSelX1(), 5);
    QCOMPARE(view_->GetSelY1(), 5);
    QCOMPARE(view_->GetSelX2(), 20);
    QCOMPARE(view_->GetSelY2(), 15);
    view_->Select(3, 3, 3, 9);  // leaves the existing one
    QCOMPARE(view_->GetSelX2(), 20);
    // The dashes move on the timer.
    const int phase = view_->DashPhase();
    QTRY_VERIFY_WITH_TIMEOUT(view_->DashPhase() != phase, 1000);
    // A new bitmap of the same size keeps the selection, another size drops it.
    TDib same = Gradient(100, 100);
    view_->SetBitmap(&same);
    QVERIFY(view_->HasSelection());
    TDib other = Gradient(60, 100);
    view_->SetBitmap(&other);
    QVERIFY(!view_->HasSelection());
    view_->SetBitmap(nullptr);
  }

  void paintsTheVisiblePartZoomed() {
    TDib b = Gradient(100, 100);
    view_->SetBitmap(&b);
    view_->SetZoom(200);
    view_->SetBackGround(QColor(1, 2, 3));
    QImage shot = view_->GrabClient();
    // Screen (5, 7) shows bitmap (2, 3): red = x, blue = y.
    QCOMPARE(shot.pixelColor(5, 7), QColor(2, 0, 3));
    view_->SetZoom(1000);
    view_->SetViewXY(20, 40);
    shot = view_->GrabClient();
    QCOMPARE(shot.pixelColor(0, 0), QColor(2, 0, 4));
    QCOMPARE(shot.pixelColor(19, 9), QColor(3, 0, 4));
    // A small image leaves background around it.
    TDib small = Gradient(10, 10);
    view_->SetBitmap(&small);
    view_->SetZoom(100);
    shot = view_->GrabClient();
    QCOMPARE(shot.pixelColor(9, 9), QColor(9, 0, 9));
    QCOMPARE(shot.pixelColor(50, 50), QColor(1, 2, 3));
    view_->SetCenter(true);
    shot = view_->GrabClient();
    const int cx = (view_->viewport()->width() - 10) / 2;
    QCOMPARE(shot.pixelColor(cx, (view_->viewport()->height() - 10) / 2), QColor(0, 0, 0));
    QCOMPARE(shot.pixelColor(0, 0), QColor(1, 2, 3));
    QCOMPARE(view_->XScr2Bmp(cx - 4), -4);
    view_->SetBitmap(nullptr);
  }

  void listenersAreCalledInOrderAndRemoved() {
    QStringList calls;
    const int a = view_->RegisterBitmapChangeEvent([&](TVistelView*) { calls << "a"; });
    view_->RegisterBitmapChangeEvent([&](TVistelView*) { calls << "b"; });
    view_->CallBitmapChangeEvents();
    view_->RemoveBitmapChangeEvent(a);
    view_->CallBitmapChangeEvents();
    QCOMPARE(calls, (QStringList{"a", "b", "b"}));
  }

  void lockedPaintWaitsForTheUnlock() {
    TDib b = Gradient(20, 20);
    view_->SetBitmap(&b);
    view_->LockPaint();
    view_->LockPaint();
    view_->UnLockPaint();
    QVERIFY(view_->PaintLocked());
    view_->NPUnLockPaint();
    QVERIFY(!view_->PaintLocked());
    view_->NPUnLockPaint();  // never below zero
    view_->LockPaint();
    QVERIFY(view_->PaintLocked());
    view_->UnLockPaint();
    view_->SetBitmap(nullptr);
  }

 private:
  TVistelView* view_ = nullptr;
};

QTEST_MAIN(TestVistelView)
#include "VistelviewTest.moc"
