// The Adjust panel: mode and base buttons, slider resets and lock beside the main window's three
// colour sliders, and "Apply" on the whole image.
#pragma once

#include <QObject>

#include "colour/Adjust.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QToolButton;
class TSDIAppForm;
class TSlideBar;

class TAdjustPanel : public QObject {
 public:
  explicit TAdjustPanel(TSDIAppForm& form);

  QToolButton *AdjBri, *AdjCos, *AdjMax, *AdjMid, *AdjMin;
  QToolButton *ResetRed, *ResetGreen, *ResetBlue;
  QCheckBox* AdjChkBox;
  QToolButton *AdjMaxPerc, *AdjCurPerc;
  QToolButton* ImgApp;

  // The operation's parameters as the controls show them now.
  korvane::TAdjustParams Capture() const;

  void ImgAppClick();
  void TrackChange(TSlideBar* bar);
  void ResetClick(TSlideBar* bar, QLabel* label);

 private:
  TSDIAppForm& form_;
  QButtonGroup* modes_;
};

// Adds the controls into the main window's AdjPan; the panel object lives as long as AdjPan.
TAdjustPanel* BuildAdjustPanel(TSDIAppForm& form);
