// The Adjust and Shift panels inside the main window, driven by clicks.
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QSpinBox>
#include <QToolButton>
#include <QtTest>

#include <cstring>
#include <vector>

#include "app/Dialogs.h"
#include "app/SDIAppForm.h"
#include "colour/AdjustPanel.h"
#include "colour/ShiftPanel.h"
#include "support/FormDocument.h"
#include "view/Vistelview.h"
#include "widgets/Slidebar.h"

using namespace korvane;

namespace {

using korvane::test::MakeDocument;
using korvane::test::WorkEqualsClean;
using korvane::test::WorkPixel;

void Click(QWidget* w) {
  QVERIFY(w);
  QVERIFY(w->isVisible());
  QTest::mouseClick(w, Qt::LeftButton);
}

}  // namespace

class AdjustShiftPanelTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    form_ = new TSDIAppForm;
    // The main window builds both panels.
    adjust_ = form_->AdjustPanel;
    QVERIFY(adjust_);
    shift_ = form_->ShiftPanel;
    QVERIFY(shift_);
    form_->resize(900, 700);
    form_->show();
    QVERIFY(QTest::qWaitForWindowActive(form_));
  }
  void cleanup() { delete form_; }

  void adjustApplyChangesTheDocumentAndUndoes() {
    MakeDocument(*form_, 20, 10);
    Click(form_->adjust);
    QVERIFY(form_->AdjPan->isVisible());
    QCOMPARE(adjust_->AdjBri->text(), QString("Brightness"));
    QVERIFY(adjust_->AdjBri->isChecked());
    QVERIFY(adjust_->AdjMaxPerc->isChecked());
    form_->TrackRed->SetPosition(20);   // + 50: 255 x 0.2 truncated in fixed point
    form_->TrackBlue->SetPosition(-1);  // - 3
    QCOMPARE(form_->TrackRedLab->text(), QString("20"));
    Click(adjust_->ImgApp);
    QCOMPARE(WorkPixel(*form_, 4, 6), RGBColor(54, 6, 74));
    QVERIFY(WorkEqualsClean(*form_));
    Click(form_->undo);
    QCOMPARE(WorkPixel(*form_, 4, 6), RGBColor(4, 6, 77));

    // "Current %" of a channel at 0 adds nothing; -1 % of 77 still floors to -1.
    Click(adjust_->AdjCurPerc);
    form_->TrackRed->SetPosition(100);
    Click(adjust_->ImgApp);
    QCOMPARE(WorkPixel(*form_, 0, 3), RGBColor(0, 3, 76));
    QCOMPARE(WorkPixel(*form_, 9, 3), RGBColor(18, 3, 76));
  }

  // Free hand with the Adjust tool: the brush paints along the path only, in one undo step.
  void aFreeHandDragPaintsWithTheBrush() {
    MakeDocument(*form_, 120, 60);
    const TDib& clean = form_->Document().CleanBitmap();
    const std::vector<std::uint8_t> before(clean.Rows(), clean.Rows() + clean.ByteSize());
    Click(form_->adjust);
    form_->TrackRed->SetPosition(100);
    QWidget* vp = form_->Paint1->viewport();
    const auto at = [this](int x, int y) {
      return QPoint(form_->Paint1->XBmp2Scr(x), form_->Paint1->YBmp2Scr(y));
    };
    QTest::mousePress(vp, Qt::LeftButton, {}, at(20, 30));
    for (int x = 25; x <= 60; x += 5) QTest::mouseMove(vp, at(x, 30));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, at(60, 30));
    QCOMPARE(form_->Editor.OverlayMode, 0);
    QVERIFY(!form_->Stroke);
    QCOMPARE(WorkPixel(*form_, 40, 30), RGBColor(255, 30, 77));  // on the path
    QCOMPARE(WorkPixel(*form_, 100, 5), RGBColor(100, 5, 77));   // far from it
    QVERIFY(WorkEqualsClean(*form_));                             // committed
    Click(form_->undo);
    QVERIFY(std::memcmp(clean.Rows(), before.data(), before.size()) == 0);
  }

  void adjustModesAndBasesAreCaptured() {
    const std::pair<QToolButton*, int> modes[] = {{adjust_->AdjCos, 2}, {adjust_->AdjMax, 3},
                                                  {adjust_->AdjMid, 4}, {adjust_->AdjMin, 5},
                                                  {adjust_->AdjBri, 1}};
    Click(form_->adjust);
    for (const auto& [button, mode] : modes) {
      Click(button);
      QCOMPARE(adjust_->Capture().AdjustMode, mode);
    }
    Click(adjust_->AdjCurPerc);
    QVERIFY(!adjust_->Capture().AdjustFromMax);
    QVERIFY(!adjust_->AdjMaxPerc->isChecked());
  }

  void lockMovesAllThreeSlidersAndResets() {
    Click(form_->adjust);
    form_->TrackBlue->SetPosition(-40);
    QCOMPARE(form_->TrackRed->Position(), 0);
    Click(adjust_->AdjChkBox);
    form_->TrackGreen->SetPosition(30);
    for (TSlideBar* bar : {form_->TrackRed, form_->TrackGreen, form_->TrackBlue})
      QCOMPARE(bar->Position(), 30);
    for (QLabel* l : {form_->TrackRedLab, form_->TrackGreenLab, form_->TrackBlueLab})
      QCOMPARE(l->text(), QString("30"));
    Click(adjust_->ResetGreen);
    for (TSlideBar* bar : {form_->TrackRed, form_->TrackGreen, form_->TrackBlue})
      QCOMPARE(bar->Position(), 0);
    Click(adjust_->AdjChkBox);
    form_->TrackRed->SetPosition(10);
    form_->TrackBlue->SetPosition(20);
    Click(adjust_->ResetRed);
    QCOMPARE(form_->TrackRed->Position(), 0);
    QCOMPARE(form_->TrackRedLab->text(), QString("0"));
    QCOMPARE(form_->TrackBlue->Position(), 20);
  }

  void shiftButtonsAreMadeOnFirstShow() {
    Click(form_->shifter);
    QVERIFY(form_->ShiftPan->isVisible());
    for (int i = 0; i < kShiftOperationCount; ++i) {
      QToolButton* b = shift_->Operations[static_cast<std::size_t>(i)];
      QVERIFY(b);
      QCOMPARE(b->text(), QString(kShiftOperationCaptions[static_cast<std::size_t>(i)]));
      QCOMPARE(b->size(), QSize(75, 17));
      QVERIFY(b->font().bold());
    }
    QVERIFY(shift_->Operations[0]->isChecked());
    QCOMPARE(shift_->Operations[19]->text(), QString("A x B"));
    QVERIFY(shift_->ShiftNorm->isChecked());
    QCOMPARE(shift_->ShiftSBUD->minimum(), -8);
    QCOMPARE(shift_->ShiftSBUD->maximum(), 8);
  }

  void arrowsMoveTheOffsetAndApplyShiftsTheImage() {
    MakeDocument(*form_, 12, 8);
    Click(form_->shifter);
    Click(shift_->ShiftE);
    Click(shift_->ShiftNE);
    Click(shift_->ShiftSE);
    Click(shift_->ShiftN);
    Click(shift_->ShiftNW);
    Click(shift_->ShiftE);
    QCOMPARE(shift_->ShiftLR->text(), QString("3"));
    QCOMPARE(shift_->ShiftUD->text(), QString("2"));
    Click(shift_->ShiftSW);
    Click(shift_->ShiftS);
    Click(shift_->ShiftW);
    QCOMPARE(shift_->ShiftLR->text(), QString("1"));
    QCOMPARE(shift_->ShiftUD->text(), QString("0"));
    Click(shift_->ShiftN);
    Click(shift_->ShiftE);  // (2, 1): two to the right, one up
    Click(shift_->ImgShift);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 12; ++x)
        QCOMPARE(WorkPixel(*form_, x, y), RGBColor((x + 10) % 12, (y + 1) % 8, 77));
    QVERIFY(WorkEqualsClean(*form_));
    Click(shift_->Shift00);
    QCOMPARE(shift_->ShiftLR->text(), QString("0"));
    QCOMPARE(shift_->ShiftUD->text(), QString("0"));
    QCOMPARE(shift_->Capture().ShiftOffsetX, 0);
  }

  void combiningOperationThroughClicks() {
    MakeDocument(*form_, 6, 4);
    form_->resize(900, 900);
    Click(form_->shifter);
    QTest::qWait(1);
    QToolButton* orButton = shift_->Operations[ShiftOr];
    Click(orButton);
    Click(shift_->ShiftComp);
    shift_->ShiftSBUD->setValue(-8);
    const TShiftParams p = shift_->Capture();
    QCOMPARE(p.ShiftOperation, int{ShiftOr});
    QVERIFY(p.ShiftComplement);
    QCOMPARE(p.ShiftBits, -8);
    Click(shift_->ShiftE);
    Click(shift_->ImgShift);
    // The pixel is shifted to 0, so OR gives the neighbour on the left.
    QCOMPARE(WorkPixel(*form_, 3, 2), RGBColor(2, 2, 77));
    QCOMPARE(WorkPixel(*form_, 0, 1), RGBColor(5, 1, 77));
  }

  void operationButtonsPageWhenTheyDoNotFit() {
    form_->resize(900, 420);
    Click(form_->shifter);
    QTest::qWait(1);
    const int boxHeight = shift_->ShiftBox->height();
    const int fit = (boxHeight - 14 - 4) / 17;
    QVERIFY2(fit < kShiftOperationCount, qPrintable(QString::number(boxHeight)));
    QVERIFY(shift_->ShiftBoxSU->isVisible());
    QVERIFY(shift_->ShiftBoxSD->isVisible());
    QCOMPARE(shift_->ShiftBoxSD->y(), boxHeight - 17);
    int shown = 0;
    for (QToolButton* b : shift_->Operations) {
      if (!b->isVisible()) continue;
      ++shown;
      QVERIFY(b->geometry().bottom() < boxHeight - 14);
    }
    QCOMPARE(shown, fit);
    Click(shift_->ShiftBoxSD);
    QCOMPARE(shift_->FirstShown(), fit - 1);
    QVERIFY(shift_->Operations[static_cast<std::size_t>(fit - 1)]->isVisible());
    QCOMPARE(shift_->Operations[static_cast<std::size_t>(fit - 1)]->y(), 4);
    QVERIFY(!shift_->Operations[0]->isVisible());
    for (int k = 0; k < 30; ++k) Click(shift_->ShiftBoxSD);
    QVERIFY(shift_->Operations[kShiftOperationCount - 1]->isVisible());
    QVERIFY(shift_->FirstShown() < kShiftOperationCount - 1);
    for (int k = 0; k < 30; ++k) Click(shift_->ShiftBoxSU);
    QCOMPARE(shift_->FirstShown(), 0);
    QVERIFY(shift_->Operations[0]->isVisible());
  }

  void bumpButtonsOfferTheMultiplierMenu() {
    form_->resize(900, 900);
    Click(form_->shifter);
    QTest::qWait(1);
    for (int op : {ShiftBump, ShiftBumpColor}) {
      QToolButton* b = shift_->Operations[static_cast<std::size_t>(op)];
      QCOMPARE(b->contextMenuPolicy(), Qt::CustomContextMenu);
      QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), b->mapToGlobal(QPoint(5, 5)));
      QApplication::sendEvent(b, &event);
      QTRY_VERIFY(form_->PMenu18->isVisible());
      for (QAction* a : form_->PMenu18->actions())
        if (a->text() == (op == ShiftBump ? "* 2" : "1 / 3")) a->trigger();
      form_->PMenu18->close();
      QCOMPARE(form_->Editor.BumpMultiplier, op == ShiftBump ? 2 : -3);
    }
    QCOMPARE(shift_->Operations[ShiftXor]->contextMenuPolicy(), Qt::DefaultContextMenu);
  }

  void applyWithoutDocumentDoesNothing() {
    Click(form_->adjust);
    Click(adjust_->ImgApp);
    Click(form_->shifter);
    Click(shift_->ImgShift);
    QVERIFY(!form_->Document().HasDocument());
  }

 private:
  TSDIAppForm* form_ = nullptr;
  TAdjustPanel* adjust_ = nullptr;
  TShiftPanel* shift_ = nullptr;
};

QTEST_MAIN(AdjustShiftPanelTest)
#include "AdjustShiftPanelTest.moc"
