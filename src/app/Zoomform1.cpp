#include "app/Zoomform1.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "app/EditorState.h"
#include "view/Vistelview.h"
#include "widgets/Slidebar.h"

TZoomForm::TZoomForm(korvane::TEditorState& editor, TVistelView& view, QWidget* parent)
    : QDialog(parent), editor_(editor), view_(view) {
  setObjectName("ZoomForm");
  setWindowTitle("Zooming...");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  TrackZoom = new TSlideBar(this);
  TrackZoom->setObjectName("TrackZoom");
  TrackZoom->SetOrientation(TSlideBar::orHorizontal);
  TrackZoom->SetMin(10);
  TrackZoom->SetMax(500);
  TrackZoom->SetPosition(100);
  TrackZoom->SetStepPage(49);
  TrackZoom->setMinimumWidth(260);
  LabZoom = new QLabel("100%", this);
  LabZoom->setObjectName("LabZoom");
  LabZoom->setMinimumWidth(40);
  ZoomRes = new QPushButton("Reset to 1:1", this);
  ZoomRes->setObjectName("ZoomRes");
  ZoomOK = new QPushButton("OK", this);
  ZoomOK->setObjectName("ZoomOK");
  ZoomOK->setDefault(true);

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel("Zoom amout", this), 0, 0, 1, 2);
  grid->addWidget(TrackZoom, 1, 0);
  grid->addWidget(LabZoom, 1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ZoomRes);
  buttons->addWidget(ZoomOK);
  grid->addLayout(buttons, 2, 0, 1, 2);
  grid->setSizeConstraint(QLayout::SetFixedSize);

  connect(TrackZoom, &TSlideBar::OnChange, this, [this] { TrackZoomChange(); });
  connect(ZoomOK, &QPushButton::clicked, this, [this] {
    editor_.ZoomPercent = TrackZoom->Position();
    accept();
  });
  connect(ZoomRes, &QPushButton::clicked, this, [this] {
    editor_.ZoomPercent = 100;
    accept();
  });
}

void TZoomForm::TrackZoomChange() {
  // A live preview: the window's own zoom changes only on OK or reset.
  LabZoom->setText(QString("%1%").arg(TrackZoom->Position()));
  view_.SetZoom(TrackZoom->Position());
}

void TZoomForm::showEvent(QShowEvent* event) {
  // A zoom outside the slider's range leaves the slider where it was.
  TrackZoom->SetPosition(static_cast<int>(editor_.ZoomPercent));
  QDialog::showEvent(event);
}

void TZoomForm::done(int result) {
  const int kept = static_cast<int>(editor_.ZoomPercent);
  view_.SetZoom(kept);
  view_.SetViewXY(0, 0);
  TrackZoom->SetPosition(kept);
  view_.SetZoom(TrackZoom->Position());
  QDialog::done(result);
}
