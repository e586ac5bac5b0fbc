// Zoom steps, ratios, reset, centring, scroll bars and the wheel, through the main window.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolButton>
#include <QtTest>

#include <functional>

#include "app/Dialogs.h"
#include "app/SDIAppForm.h"
#include "app/Zoomform1.h"
#include "support/Modal.h"
#include "view/Vistelview.h"
#include "widgets/Rulerbox.h"
#include "widgets/Slidebar.h"

using namespace korvane;

namespace {

using korvane::test::WhenModal;

}  // namespace

class TestViewCommands : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    form_ = new TSDIAppForm;
    form_->show();
    QVERIFY(QTest::qWaitForWindowActive(form_));
    form_->NewImage->UDWidth->setValue(400);
    form_->NewImage->UDHeight->setValue(300);
    QVERIFY(form_->LoadOrCreate(TempPictureName, true));
  }
  void cleanup() { delete form_; }

  void zoomStepsAndTheirLimits() {
    QList<int> zooms;
    for (int k = 0; k < 5; ++k) {
      QTest::mouseClick(form_->zoomout, Qt::LeftButton);
      zooms << form_->Paint1->Zoom();
    }
    QCOMPARE(zooms, (QList<int>{50, 25, 12, 6, 6}));
    QCOMPARE(form_->Editor.ZoomPercent, 6.25);
    form_->ImgCtrlResetClick();
    zooms.clear();
    for (int k = 0; k < 5; ++k) {
      QTest::mouseClick(form_->zoomin, Qt::LeftButton);
      zooms << form_->Paint1->Zoom();
    }
    QCOMPARE(zooms, (QList<int>{200, 400, 800, 1600, 1600}));
  }

  void ratiosThenSteps() {
    QAction* third = form_->ZoomOutMenu->actions().at(1);  // "3:1"
    QCOMPARE(third->text(), QString("3:1"));
    third->trigger();
    QCOMPARE(form_->Paint1->Zoom(), 33);
    QList<int> zooms;
    for (int k = 0; k < 7; ++k) {
      form_->ImgCtrlZoomInClick();
      zooms << form_->Paint1->Zoom();
    }
    QCOMPARE(zooms, (QList<int>{66, 132, 264, 528, 1056, 2112, 2112}));
    form_->ZoomInMenu->actions().at(1)->trigger();  // "1:3"
    QCOMPARE(form_->Paint1->Zoom(), 300);
  }

  void zoomKeepsTheOriginResetAndCentringClearIt() {
    form_->ZoomInMenu->actions().at(3)->trigger();  // 500 %
    form_->Paint1->SetViewXY(120, 80);
    form_->ImgCtrlZoomOutClick();
    QCOMPARE(form_->Paint1->ViewX(), 120);
    form_->ImgCtrlRePanClick();
    QVERIFY(form_->Paint1->Center());
    QCOMPARE(form_->Paint1->ViewX(), 0);
    form_->Paint1->SetViewXY(50, 50);
    QTest::keyClick(form_, Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(form_->Paint1->Zoom(), 100);
    QCOMPARE(form_->Paint1->ViewX(), 0);
    QCOMPARE(form_->Editor.ZoomPercent, 100.0);
    QTest::keyClick(form_, Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(form_->Paint1->Zoom(), 200);
    QTest::keyClick(form_, Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(form_->Paint1->Zoom(), 100);
  }

  void scrollBarsFollowTheMenu() {
    form_->ZoomInMenu->actions().at(3)->trigger();
    form_->ScrollItem->trigger();
    QVERIFY(form_->ScrollItem->isChecked());
    QVERIFY(form_->Paint1->horizontalScrollBar()->isVisible());
    form_->ScrollItem->trigger();
    QVERIFY(!form_->Paint1->horizontalScrollBar()->isVisible());
  }

  void floatingZoomPreviewsAndRestores() {
    int previewed = 0;
    // Moving the slider previews; the close box restores the zoom the window had.
    WhenModal([&](QWidget* dialog) {
      auto* form = static_cast<TZoomForm*>(dialog);
      QTest::keyClick(form->TrackZoom, Qt::Key_End);
      previewed = form_->Paint1->Zoom();
      QCOMPARE(form->LabZoom->text(), QString("500%"));
      form->close();
    });
    QTest::mouseClick(form_->fzoom, Qt::LeftButton);
    QCOMPARE(previewed, 500);
    QCOMPARE(form_->Paint1->Zoom(), 100);
    QCOMPARE(form_->Editor.ZoomPercent, 100.0);
    // OK keeps the slider's zoom.
    WhenModal([&](QWidget* dialog) {
      auto* form = static_cast<TZoomForm*>(dialog);
      form->TrackZoom->SetPosition(250);
      QTest::mouseClick(form->ZoomOK, Qt::LeftButton);
    });
    form_->fzoomClick();
    QCOMPARE(form_->Editor.ZoomPercent, 250.0);
    QCOMPARE(form_->Paint1->Zoom(), 250);
    QCOMPARE(form_->Paint1->ViewX(), 0);
  }

  void floatingZoomAtEightHundred() {
    form_->ZoomInMenu->actions().at(0)->trigger();
    form_->ImgCtrlZoomInClick();
    form_->ImgCtrlZoomInClick();  // 800 %
    WhenModal([&](QWidget* dialog) {
      // The slider cannot show 800 and stays at 100; the view follows the slider.
      QCOMPARE(static_cast<TZoomForm*>(dialog)->TrackZoom->Position(), 100);
      QCOMPARE(form_->Paint1->Zoom(), 100);
      dialog->close();
    });
    form_->fzoomClick();
    QCOMPARE(form_->Paint1->Zoom(), 100);
    QCOMPARE(form_->Editor.ZoomPercent, 800.0);
    form_->ImgCtrlZoomInClick();
    QCOMPARE(form_->Paint1->Zoom(), 1600);
  }

  void rulersCountTheImagePixelsTheViewShows_data() {
    QTest::addColumn<int>("zoom");
    QTest::addColumn<bool>("center");
    QTest::newRow("100") << 100 << false;
    QTest::newRow("200 scrolled") << 200 << false;
    QTest::newRow("50 centred") << 50 << true;
    QTest::newRow("400 scrolled") << 400 << false;
  }

  void rulersCountTheImagePixelsTheViewShows() {
    QFETCH(int, zoom);
    QFETCH(bool, center);
    form_->HRulerItemClick();
    form_->VRulerItemClick();
    QVERIFY(form_->RulerBoxH->isVisible());
    if (center) form_->ImgCtrlRePanClick();
    form_->Editor.ZoomPercent = zoom;
    form_->Paint1->SetZoom(zoom);
    form_->Paint1->SetViewXY(37, 21);
    TVistelView* view = form_->Paint1;
    const QPoint client = view->viewport()->mapTo(form_, QPoint(0, 0));
    const QPoint origin = client - form_->RulerBoxH->mapTo(form_, QPoint(0, 0));
    const QPoint originV = client - form_->RulerBoxV->mapTo(form_, QPoint(0, 0));
    for (const int c : {3, 40, 101}) {
      // The unit under the ruler pixel above client column c is the image column shown there.
      const double unitH = form_->RulerBoxH->UnitAt(origin.x() + c);
      const double unitV = form_->RulerBoxV->UnitAt(originV.y() + c);
      const auto& g = view->Geometry();
      const double expectedX = (c + g.ViewX - g.OffsetX()) * 100.0 / zoom;
      const double expectedY = (c + g.ViewY - g.OffsetY()) * 100.0 / zoom;
      QVERIFY2(std::abs(unitH - expectedX) < 1e-6, qPrintable(QString::number(unitH)));
      QVERIFY2(std::abs(unitV - expectedY) < 1e-6, qPrintable(QString::number(unitV)));
    }
  }

  void ctrlWheelZoomsAroundTheCursor() {
    QWidget* vp = form_->Paint1->viewport();
    const QPoint at(123, 77);
    int bx = 0, by = 0;
    QVERIFY(form_->Paint1->Geometry().DisplayedPixel(at.x(), at.y(), bx, by));
    QWheelEvent in(at, vp->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                   Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(vp, &in);
    QCOMPARE(form_->Paint1->Zoom(), 200);
    int ax = 0, ay = 0;
    QVERIFY(form_->Paint1->Geometry().DisplayedPixel(at.x(), at.y(), ax, ay));
    QVERIFY(std::abs(ax - bx) <= 1);
    QVERIFY(std::abs(ay - by) <= 1);
    // The plain wheel scrolls.
    const int viewY = form_->Paint1->ViewY();
    QWheelEvent down(at, vp->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(vp, &down);
    QVERIFY(form_->Paint1->ViewY() > viewY);
  }

 private:
  TSDIAppForm* form_ = nullptr;
};

QTEST_MAIN(TestViewCommands)
#include "ViewCommandsTest.moc"
