// "Color restrictions ...": the colour condition a pixel must meet for an operation to change it,
// and its epsilon. The dialog edits the settings handed to it, and nothing reaches them before
// "OK": "Cancel", Escape and the close box leave every setting as it was, the range colours too.
#pragma once

#include <QDialog>
#include <QString>

#include <array>

#include "paint/Restrictions.h"

class QButtonGroup;
class QLabel;
class QPushButton;
class QRadioButton;
class TColorShape;
class TSlideBar;

class TRestrictForm : public QDialog {
  Q_OBJECT

 public:
  explicit TRestrictForm(korvane::TRestrictSettings& settings, QWidget* parent = nullptr);

  std::array<QRadioButton*, korvane::kRestrictTypeCount> Rest{};
  QButtonGroup* RestGroup;  // ids are the types
  TSlideBar* TrackEpsi;
  QLabel* LabEpsi;
  TColorShape* ColorLow;
  TColorShape* ColorHigh;
  QPushButton* RestOK;
  QPushButton* RestDef;
  QPushButton* RestNOK;

  // Shows the settings as they are now; every showing starts here.
  void FormActivate();
  void TrackEpsiChange();
  // Commits type, epsilon and both range colours, announces the status text and closes.
  void RestOKClick();
  // Type 0 and epsilon 0 in the controls; they take effect on "OK".
  void RestDefClick();
  void RestNOKClick();
  void ColorLowMouseDown();
  void ColorHighMouseDown();

  // The panic button's reset, usable while the dialog is hidden: Default() then OK().
  void Default();
  void OK() { RestOKClick(); }

  // Status bar panel 4: "Restrict: " followed by the type number of the settings.
  QString StatusText() const;

 signals:
  // After "OK" has changed the settings.
  void RestrictChanged(const QString& statusText);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ChooseColor(TColorShape* shape, korvane::TColor& pending);

  korvane::TRestrictSettings& settings_;
  // The range colours chosen since the dialog was shown, committed by "OK".
  korvane::TColor pendingLow_ = korvane::kDefaultRestrictLow;
  korvane::TColor pendingHigh_ = korvane::kDefaultRestrictHigh;
};
