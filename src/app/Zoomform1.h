// The floating zoom dialog: a slider that previews the zoom live; OK keeps it, "Reset to 1:1"
// goes back to 100 %, and any other close restores the zoom the window had.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class TSlideBar;
class TVistelView;

namespace korvane {
struct TEditorState;
}

class TZoomForm : public QDialog {
  Q_OBJECT

 public:
  TZoomForm(korvane::TEditorState& editor, TVistelView& view, QWidget* parent = nullptr);

  TSlideBar* TrackZoom;
  QLabel* LabZoom;
  QPushButton* ZoomRes;
  QPushButton* ZoomOK;

  void TrackZoomChange();

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  korvane::TEditorState& editor_;
  TVistelView& view_;
};
