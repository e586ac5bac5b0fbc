// "Transparency & channels of interest": the write-back settings that are not brush settings.
// Its controls are live: the transparency and the channel boxes reach the settings as they
// change; the pixel variation is taken on "OK".
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class TColorShape;
class TSlideBar;

namespace korvane {
struct TEditorState;
}

class TChannelForm : public QDialog {
  Q_OBJECT

 public:
  explicit TChannelForm(korvane::TEditorState& editor, QWidget* parent = nullptr);

  TSlideBar* TrackTrans;
  TSlideBar* TrackPixelVary;
  QLabel* LabTrans;
  QLabel* LabPixelVary;
  QCheckBox* CRed;
  QCheckBox* CGreen;
  QCheckBox* CBlue;
  TColorShape* ColorDiv;
  TColorShape* ColorLow;
  TColorShape* ColorHigh;
  QPushButton* Chann_OK;
  QPushButton* Chann_def;

  void Chann_OKClick();
  void Chann_defClick();
  // Shows the settings' current values (after they were changed elsewhere, e.g. read at start).
  void LoadFromSettings();

 private:
  void ChooseColor(TColorShape* shape, int which);

  korvane::TEditorState& editor_;
};
