// The Shift panel: the offset arrows, "Normal"/"Complement", the bit shift, the 23 combining
// operations (made when the panel is first shown, paged when they do not fit) and "Apply".
#pragma once

#include <QObject>

#include <array>

#include "colour/Bitshift.h"

class QButtonGroup;
class QFrame;
class QLabel;
class QSpinBox;
class QToolButton;
class TSDIAppForm;

class TShiftPanel : public QObject {
 public:
  explicit TShiftPanel(TSDIAppForm& form);

  QToolButton *ShiftN, *ShiftNE, *ShiftE, *ShiftSE, *ShiftS, *ShiftSW, *ShiftW, *ShiftNW,
      *Shift00;
  QLabel *ShiftLR, *ShiftUD;
  QToolButton *ShiftNorm, *ShiftComp;
  QLabel* Shift_st;
  QSpinBox* ShiftSBUD;  // its edit field is named ShiftSB
  QToolButton* ImgShift;
  QFrame* ShiftBox;
  QToolButton *ShiftBoxSU, *ShiftBoxSD;
  // Empty until the panel is first shown.
  std::array<QToolButton*, korvane::kShiftOperationCount> Operations{};

  int ShiftOffsetX = 0;
  int ShiftOffsetY = 0;

  korvane::TShiftParams Capture() const;

  void ImgShiftClick();
  void MoveOffset(int dx, int dy);
  void Shift00Click();
  void ShiftBoxSUClick();
  void ShiftBoxSDClick();
  // Creates the operation buttons once; later calls do nothing.
  void CreateOperationButtons();
  // The index of the first button on the page shown.
  int FirstShown() const { return first_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int ButtonsThatFit() const;
  void ShowPage();

  TSDIAppForm& form_;
  QButtonGroup* operations_ = nullptr;
  int first_ = 0;
};

// Adds the controls into the main window's ShiftPan; the panel object lives as long as ShiftPan.
TShiftPanel* BuildShiftPanel(TSDIAppForm& form);
