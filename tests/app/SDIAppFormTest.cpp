// The main window driven as a user drives it: clicks on tool buttons, tabs, swatches, menus.
#include <QStandardPaths>
#include <QRadioButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <cstring>
#include <functional>

#include "app/Dialogs.h"
#include "app/SDIAppForm.h"
#include "paint/Restrictform1.h"
#include "support/FormDocument.h"
#include "support/Modal.h"
#include "view/Vistelview.h"

using namespace korvane;

namespace {

using korvane::test::MakeDocument;
using korvane::test::WhenModal;
using korvane::test::WorkEqualsClean;
using korvane::test::WorkPixel;

void ClickButton(QWidget* dialog, const char* name) {
  auto* button = dialog->findChild<QPushButton*>(name);
  QVERIFY(button);
  QTest::mouseClick(button, Qt::LeftButton);
}

void CheckShape(TSDIAppForm& form, const QString& caption) {
  for (QAction* a : form.PMenu12->actions())
    if (a->text() == caption) a->trigger();
}

}  // namespace

class TestSDIAppForm : public QObject {
  Q_OBJECT

 private slots:
  // Qt's own settings (the file dialogs' history) go to a test location, not the user's.
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
  void init() {
    form_ = new TSDIAppForm;
    form_->show();
    QVERIFY(QTest::qWaitForWindowActive(form_));
  }
  void cleanup() { delete form_; }

  void firstActivationRunsOnce() {
    QVERIFY(form_->Initialized());
    QCOMPARE(form_->windowTitle(), QString("Korvane_24 "));
    QCOMPARE(form_->Editor.ActiveTool, -1);
    form_->SetForeColor(RGBColor(1, 2, 3));
    // Another window takes the focus and gives it back: no defaults again.
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    form_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form_));
    QCOMPARE(form_->Editor.ForeColor.Color, RGBColor(1, 2, 3));
  }

  void toolButtonsShowTheirPanel_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("popup");
    QTest::newRow("adjust") << "adjust" << "AdjPan" << 0 << "Adjust RGB colors ..." << "PMenu12";
    QTest::newRow("exch") << "exch" << "ExchPan" << 1 << "Color manipulation ..." << "PMenu12";
    QTest::newRow("move") << "move" << "MovPan" << 2 << "Image Control actions ..." << "PMenu12";
    QTest::newRow("warp") << "warp" << "WarpPan" << 3 << "Image warping ..." << "";
    QTest::newRow("shifter") << "shifter" << "ShiftPan" << 4 << "Shift combining ..." << "PMenu12";
    QTest::newRow("filter3") << "filter3" << "Flt3Pan" << 5 << "Apply 3x3 filters ..." << "PMenu12";
    QTest::newRow("retouch") << "retouch" << "RtchPan" << 7 << "Retouch tools ..." << "PMenu11";
    QTest::newRow("draw") << "draw" << "DrawPan" << 8 << "Drawing ..." << "PMenu12";
    QTest::newRow("IPLfilt") << "IPLfilt" << "IPLPan1" << 21 << "IPL Filters ..." << "PMenu12";
  }

  void toolButtonsShowTheirPanel() {
    QFETCH(QString, button);
    QFETCH(QString, panel);
    QFETCH(int, code);
    QFETCH(QString, status);
    QFETCH(QString, popup);
    // Start from another tool so that hiding is exercised too.
    QTest::mouseClick(form_->findChild<QToolButton*>(button == "adjust" ? "draw" : "adjust"),
                      Qt::LeftButton);
    QTest::mouseClick(form_->findChild<QToolButton*>(button), Qt::LeftButton);
    QCOMPARE(form_->Editor.ActiveTool, code);
    QCOMPARE(form_->Panel1Tag, code);
    const QStringList panels{"AdjPan", "ExchPan", "MovPan", "WarpPan", "ShiftPan",
                             "Flt3Pan", "RtchPan", "DrawPan", "IPLPan1"};
    for (const QString& name : panels)
      QCOMPARE(form_->findChild<QFrame*>(name)->isVisible(), name == panel);
    QCOMPARE(form_->StatusPanelText(0), status);
    QCOMPARE(form_->ViewPopup() ? form_->ViewPopup()->objectName() : QString(), popup);
    if (!popup.isEmpty())
      QCOMPARE(form_->StatusPanelText(5),
               popup == "PMenu11" ? QString("Shape: Free Hand (connected)")
                                  : QString("Shape: Free Hand"));
    QVERIFY(form_->findChild<QToolButton*>(button)->isChecked());
  }

  void shapeChoiceShowsInTheStatusBar() {
    QTest::mouseClick(form_->draw, Qt::LeftButton);
    QAction* line = form_->PMenu12->actions().at(1);
    line->trigger();
    QVERIFY(line->isChecked());
    QCOMPARE(form_->StatusPanelText(5), QString("Shape: Line"));
  }

  void tabRoundTripRestoresTheTool() {
    QTest::mouseClick(form_->retouch, Qt::LeftButton);
    form_->TabBar1->setCurrentIndex(1);
    QCOMPARE(form_->Editor.ActiveTool, 22);
    QVERIFY(form_->Flt7Pan->isVisible());
    QVERIFY(!form_->Panel1->isVisible());
    QVERIFY(!form_->RtchPan->isVisible());
    QCOMPARE(form_->ViewPopup(), form_->PMenu12);
    QCOMPARE(form_->StatusPanelText(0), QString("Convolve 7x7 ..."));
    form_->TabBar1->setCurrentIndex(3);
    QCOMPARE(form_->Editor.ActiveTool, 24);
    QVERIFY(form_->HistoPan->isVisible());
    QVERIFY(!form_->Flt7Pan->isVisible());
    form_->TabBar1->setCurrentIndex(0);
    QCOMPARE(form_->Editor.ActiveTool, 7);
    QVERIFY(form_->RtchPan->isVisible());
    QVERIFY(form_->Panel1->isVisible());
    QVERIFY(!form_->HistoPan->isVisible());
    QCOMPARE(form_->ViewPopup(), form_->PMenu11);
  }

  void swapTwiceRestoresTheColours() {
    form_->SetForeColor(RGBColor(10, 20, 30));
    form_->SetBackColor(RGBColor(40, 50, 60));
    form_->Editor.ForeColor.PixelBytes[3] = 7;  // the byte that setting leaves alone travels too
    QTest::mouseClick(form_->ReverseFB, Qt::LeftButton);
    QCOMPARE(form_->Editor.ForeColor.Color, RGBColor(40, 50, 60));
    QCOMPARE(form_->Editor.ForeColor.PixelBytes[0], std::uint8_t{60});
    QCOMPARE(form_->Editor.BackColor.PixelBytes[3], std::uint8_t{7});
    QCOMPARE(form_->ColorForg->Color(), QColor(40, 50, 60));
    QTest::mouseClick(form_->ReverseFB, Qt::LeftButton);
    QCOMPARE(form_->Editor.ForeColor.Color, RGBColor(10, 20, 30));
    QCOMPARE(form_->Editor.ForeColor.PixelBytes[2], std::uint8_t{10});
    QCOMPARE(form_->Editor.BackColor.Color, RGBColor(40, 50, 60));
    QCOMPARE(form_->ColorBack->Color(), QColor(40, 50, 60));
  }

  void newUndoAndClear() {
    // Before any document the view does nothing and Undo is harmless.
    form_->UndoItem->trigger();
    QVERIFY(!form_->Document().HasDocument());

    form_->SetForeColor(RGBColor(200, 100, 50));
    WhenModal([](QWidget* dialog) {
      dialog->findChild<QSpinBox*>("UDWidth")->setValue(30);
      dialog->findChild<QSpinBox*>("UDHeight")->setValue(20);
      auto* combo = dialog->findChild<QComboBox*>("ComboBack");
      combo->setCurrentIndex(2);  // the foreground colour
      ClickButton(dialog, "ButOK");
    });
    QTest::mouseClick(form_->createnew, Qt::LeftButton);
    QVERIFY(form_->Document().HasDocument());
    QCOMPARE(form_->windowTitle(), QString("Korvane_24  - temp_picture.bmp"));
    QCOMPARE(form_->StatusPanelText(2), QString("30 * 20"));
    QCOMPARE(form_->StatusPanelText(3), QString("Contour: OFF"));
    QCOMPARE(form_->Editor.CurrentFileName, std::string("temp_picture.bmp"));
    QVERIFY(form_->Editor.DocumentLoaded);
    QCOMPARE(WorkPixel(*form_, 29, 19), RGBColor(200, 100, 50));
    QCOMPARE(form_->Paint1->Zoom(), 100);

    form_->SetBackColor(RGBColor(0, 0, 255));
    form_->ClearItem->trigger();
    QCOMPARE(WorkPixel(*form_, 0, 0), RGBColor(0, 0, 255));
    QTest::mouseClick(form_->undo, Qt::LeftButton);
    QCOMPARE(WorkPixel(*form_, 0, 0), RGBColor(200, 100, 50));
    form_->UndoItem->trigger();  // a second Undo shows the same image
    QCOMPARE(WorkPixel(*form_, 5, 5), RGBColor(200, 100, 50));
    // The view shows the document's bitmap.
    QCOMPARE(form_->Paint1->GetFBitmap(), &form_->Document().WorkBitmap());
  }

  void cancelledNewKeepsTheFileName() {
    form_->Editor.CurrentFileName = "earlier.bmp";
    WhenModal([](QWidget* dialog) { ClickButton(dialog, "ButCancel"); });
    form_->NewItem->trigger();
    QCOMPARE(form_->Editor.CurrentFileName, std::string("earlier.bmp"));
    QVERIFY(!form_->Document().HasDocument());
    QCOMPARE(form_->windowTitle(), QString("Korvane_24 "));
  }

  void panicAsksFirst() {
    QString title, message;
    WhenModal([&](QWidget* dialog) {
      title = dialog->windowTitle();
      message = dialog->findChild<QLabel*>("Wngmsg")->text();
      ClickButton(dialog, "WngNOK");
    });
    QTest::mouseClick(form_->panic, Qt::LeftButton);
    QCOMPARE(title, QString("Reset all..."));
    QCOMPARE(message, QString("Press OK to set all parameters to default!"));
  }

  // The restriction dialog reports its type in the status bar; panic puts it back to 0.
  void restrictionShowsInTheStatusBarAndPanicResetsIt() {
    QCOMPARE(form_->StatusPanelText(4), QString("Restrict: 0"));
    WhenModal([](QWidget* dialog) {
      auto* form = qobject_cast<TRestrictForm*>(dialog);
      QVERIFY(form);
      QTest::mouseClick(form->Rest[5], Qt::LeftButton);
      ClickButton(dialog, "RestOK");
    });
    QTest::mouseClick(form_->restrict, Qt::LeftButton);
    QCOMPARE(form_->Editor.Restrict.RestrictType, 5);
    QCOMPARE(form_->StatusPanelText(4), QString("Restrict: 5"));

    WhenModal([](QWidget* dialog) { ClickButton(dialog, "WngOK"); });
    QTest::mouseClick(form_->panic, Qt::LeftButton);
    QCOMPARE(form_->Editor.Restrict.RestrictType, 0);
    QCOMPARE(form_->StatusPanelText(4), QString("Restrict: 0"));
  }

  void escapeStopsALongOperation() {
    form_->SetStatusPanelText(0, "Drawing ...");
    int rowsDone = 0;
    bool clickedDuringWork = false;
    connect(form_->ClearItem, &QAction::triggered, this, [&] { clickedDuringWork = true; });
    {
      TSDIAppForm::TBusy busy(*form_);
      ForEachRow(100, form_->Progress, [&](int row) {
        rowsDone = row + 1;
        if (row == 3) {
          // Input other than Escape is held back while the operation runs.
          QTest::keyClick(form_, Qt::Key_A);
          QCoreApplication::postEvent(
              form_, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        }
        if (row == 2) QCOMPARE(form_->StatusPanelText(0), QString("Working ... 1 %    0 sec"));
      });
    }
    QCOMPARE(rowsDone, 4);
    QCOMPARE(form_->StatusPanelText(0), QString("Drawing ..."));
    QVERIFY(!clickedDuringWork);
  }

  void mouseReachesToolsInImagePixels() {
    QWidget* vp = form_->Paint1->viewport();
    QTest::mouseMove(vp, QPoint(10, 7));
    QCOMPARE(form_->StatusPanelText(1), QString("X =  Y ="));  // no document: nothing happens
    MakeDocument(*form_, 120, 90);
    QTest::mouseMove(vp, QPoint(11, 6));
    QTest::mouseMove(vp, QPoint(10, 7));
    QCOMPARE(form_->StatusPanelText(1), QString(" X = 10 Y = 7"));
    form_->Paint1->SetZoom(200);
    QTest::mouseMove(vp, QPoint(7, 5));
    QCOMPARE(form_->StatusPanelText(1), QString(" X = 4 Y = 2"));  // 3.5 and 2.5 go to even
    form_->Paint1->SetZoom(100);
    form_->Paint1->SetCenter(true);
    const int left = (vp->width() - 120) / 2;
    QTest::mouseMove(vp, QPoint(left - 5, 40));
    QVERIFY(form_->StatusPanelText(1).startsWith(" X = -5 "));
  }

  void readoutShowsThePixelUnderTheCursor() {
    MakeDocument(*form_, 250, 250);
    form_->Paint1->SetZoom(400);
    form_->Paint1->SetViewXY(32, 60);
    QTest::mouseMove(form_->Paint1->viewport(), QPoint(11, 4));
    // Client (11, 4) at 400 % from (32, 60) shows bitmap (10, 16).
    QCOMPARE(form_->ColorRed->text(), QString("R: 10"));
    QCOMPARE(form_->ColorGreen->text(), QString("G: 16"));
    QCOMPARE(form_->ColorBlue->text(), QString("B: 77"));
    QCOMPARE(form_->ColorPass->Color(), QColor(10, 16, 77));
    // A Ctrl-click there picks the same colour.
    QTest::mouseClick(form_->Paint1->viewport(), Qt::LeftButton, Qt::ControlModifier, QPoint(11, 4));
    QCOMPARE(form_->Editor.ForeColor.Color, RGBColor(10, 16, 77));
  }

  void rubberBandsAreDrawnAndRemoved_data() {
    QTest::addColumn<QString>("shape");
    QTest::addColumn<int>("zoom");
    for (const char* shape : {"Line", "Rectangle Outlined", "Ellipse Filled", "Circle Outlined"})
      for (int zoom : {100, 200}) QTest::addRow("%s at %d", shape, zoom) << shape << zoom;
  }

  void rubberBandsAreDrawnAndRemoved() {
    QFETCH(QString, shape);
    QFETCH(int, zoom);
    MakeDocument(*form_, 100, 80);
    form_->Paint1->SetZoom(zoom);
    QTest::mouseClick(form_->adjust, Qt::LeftButton);
    CheckShape(*form_, shape);
    QWidget* vp = form_->Paint1->viewport();
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(20, 20));
    QVERIFY(form_->Editor.OverlayMode != 0);
    // Partly outside the image: drawn only inside, the rest ignored.
    for (const QPoint p : {QPoint(60, 40), QPoint(95, 70), QPoint(-30, 10), QPoint(70, 50)}) {
      QTest::mouseMove(vp, p);
      QVERIFY(!WorkEqualsClean(*form_));
    }
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(70, 50));
    QCOMPARE(form_->Editor.OverlayMode, 0);
    QVERIFY(WorkEqualsClean(*form_));
  }

  void ctrlClickPicksAndCtrlDragPans() {
    MakeDocument(*form_, 300, 300);
    QWidget* vp = form_->Paint1->viewport();
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, QPoint(12, 34));
    QCOMPARE(form_->Editor.ForeColor.Color, RGBColor(12, 34, 77));
    QTest::mouseClick(vp, Qt::RightButton, Qt::ControlModifier, QPoint(40, 5));
    QCOMPARE(form_->Editor.BackColor.Color, RGBColor(40, 5, 77));
    QCOMPARE(form_->Editor.OverlayMode, 0);
    QVERIFY(!form_->PMenu12->isVisible());

    form_->Editor.ZoomPercent = 400;
    form_->Paint1->SetZoom(400);
    form_->Paint1->SetViewXY(400, 400);
    const TColor fore = form_->Editor.ForeColor.Color;
    QTest::mousePress(vp, Qt::LeftButton, Qt::ControlModifier, QPoint(100, 100));
    QTest::mouseMove(vp, QPoint(60, 80));
    QTest::mouseEvent(QTest::MouseMove, vp, Qt::NoButton, Qt::ControlModifier, QPoint(60, 80));
    // The anchor was image (125, 125); the cursor now shows (115, 120): the view moves back
    // by 10 and 5 image pixels at 400 %.
    QCOMPARE(form_->Paint1->ViewX(), 440);
    QCOMPARE(form_->Paint1->ViewY(), 420);
    // Without Ctrl the pan stops, the gesture still ends at the release, and picks nothing.
    QTest::mouseEvent(QTest::MouseMove, vp, Qt::NoButton, Qt::NoModifier, QPoint(10, 10));
    QCOMPARE(form_->Paint1->ViewX(), 440);
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    QCOMPARE(form_->Editor.OverlayMode, 0);
    QCOMPARE(form_->Editor.ForeColor.Color, fore);
  }

  void rightClickPopsThePopupAndAppliesNothing() {
    MakeDocument(*form_, 50, 50);
    QTest::mouseClick(form_->draw, Qt::LeftButton);
    QWidget* vp = form_->Paint1->viewport();
    QTest::mousePress(vp, Qt::RightButton, {}, QPoint(10, 10));
    QCOMPARE(form_->Editor.OverlayMode, 0);
    QTest::mouseRelease(vp, Qt::RightButton, {}, QPoint(10, 10));
    QTRY_VERIFY(form_->PMenu12->isVisible());
    form_->PMenu12->close();
    QVERIFY(WorkEqualsClean(*form_));
  }

  void popupItemsSetTheirState() {
    form_->PMenu18->actions().at(5)->trigger();  // "1 / 2"
    QCOMPARE(form_->Editor.BumpMultiplier, -2);
    QMenu* movement = form_->PMenu17->actions().at(1)->menu();
    movement->actions().at(6)->trigger();
    QCOMPARE(form_->Editor.RoiMoveMode, 7);
    QMenu* method = form_->PMenu17->actions().at(0)->menu();
    method->actions().at(1)->trigger();
    QCOMPARE(form_->Editor.RoiWarpMethod, 1);
  }

 private:
  TSDIAppForm* form_ = nullptr;
};

QTEST_MAIN(TestSDIAppForm)
#include "SDIAppFormTest.moc"
