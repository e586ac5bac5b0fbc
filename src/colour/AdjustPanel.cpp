#include "colour/AdjustPanel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/SDIAppForm.h"
#include "colour/PanelButton.h"
#include "widgets/Slidebar.h"

TAdjustPanel::TAdjustPanel(TSDIAppForm& form) : QObject(form.AdjPan), form_(form) {
  QWidget* pan = form.AdjPan;
  auto* column = qobject_cast<QVBoxLayout*>(pan->layout());
  if (!column) column = new QVBoxLayout(pan);

  modes_ = new QButtonGroup(this);
  auto* modeColumn = new QVBoxLayout;
  modeColumn->setSpacing(0);
  const std::pair<QToolButton**, std::pair<const char*, const char*>> modes[] = {
      {&AdjBri, {"AdjBri", "Brightness"}},  {&AdjCos, {"AdjCos", "ColorStretch"}},
      {&AdjMax, {"AdjMax", "Maximum"}},     {&AdjMid, {"AdjMid", "Medium"}},
      {&AdjMin, {"AdjMin", "Minimum"}}};
  int id = korvane::kMinAdjustMode;
  for (const auto& [button, text] : modes) {
    *button = PanelButton(pan, text.first, text.second, true);
    modes_->addButton(*button, id++);
    modeColumn->addWidget(*button);
  }
  AdjBri->setChecked(true);
  column->insertLayout(0, modeColumn);

  auto* resets = new QHBoxLayout;
  resets->setSpacing(1);
  ResetRed = PanelButton(pan, "ResetRed", "R", false);
  ResetGreen = PanelButton(pan, "ResetGreen", "G", false);
  ResetBlue = PanelButton(pan, "ResetBlue", "B", false);
  for (QToolButton* b : {ResetRed, ResetGreen, ResetBlue}) resets->addWidget(b);

  AdjChkBox = new QCheckBox("Lock", pan);
  AdjChkBox->setObjectName("AdjChkBox");

  auto* bases = new QButtonGroup(this);
  AdjMaxPerc = PanelButton(pan, "AdjMaxPerc", "Max %", true);
  AdjCurPerc = PanelButton(pan, "AdjCurPerc", "Current %", true);
  bases->addButton(AdjMaxPerc);
  bases->addButton(AdjCurPerc);
  AdjMaxPerc->setChecked(true);

  ImgApp = PanelButton(pan, "ImgApp", "Apply", false);

  // Before the trailing stretch the main window left at the end.
  int at = column->count();
  if (at > 0 && column->itemAt(at - 1)->spacerItem()) --at;
  column->insertLayout(at++, resets);
  column->insertWidget(at++, AdjChkBox);
  column->insertWidget(at++, AdjMaxPerc);
  column->insertWidget(at++, AdjCurPerc);
  column->insertWidget(at++, ImgApp);

  for (TSlideBar* bar : {form.TrackRed, form.TrackGreen, form.TrackBlue})
    connect(bar, &TSlideBar::OnChange, this, [this](TSlideBar* b) { TrackChange(b); });
  connect(ResetRed, &QToolButton::clicked, this,
          [this] { ResetClick(form_.TrackRed, form_.TrackRedLab); });
  connect(ResetGreen, &QToolButton::clicked, this,
          [this] { ResetClick(form_.TrackGreen, form_.TrackGreenLab); });
  connect(ResetBlue, &QToolButton::clicked, this,
          [this] { ResetClick(form_.TrackBlue, form_.TrackBlueLab); });
  connect(ImgApp, &QToolButton::clicked, this, [this] { ImgAppClick(); });
}

korvane::TAdjustParams TAdjustPanel::Capture() const {
  const int mode = modes_->checkedId() < 0 ? korvane::kDefaultAdjustMode : modes_->checkedId();
  return korvane::TAdjustParams::FromPercents(mode, AdjMaxPerc->isChecked(),
                                              form_.TrackRed->Position(),
                                              form_.TrackGreen->Position(),
                                              form_.TrackBlue->Position());
}

void TAdjustPanel::ImgAppClick() {
  korvane::TDocument& doc = form_.Document();
  if (!doc.HasDocument()) return;
  const korvane::TAdjustParams params = Capture();
  {
    TSDIAppForm::TBusy busy(form_);
    korvane::ApplyAdjust(doc, form_.Editor, params, form_.Progress);
  }
  form_.RefreshView();
}

void TAdjustPanel::TrackChange(TSlideBar* bar) {
  if (!AdjChkBox->isChecked()) return;
  const int position = bar->Position();
  const QString text = QString::number(position);
  TSlideBar* bars[3] = {form_.TrackRed, form_.TrackGreen, form_.TrackBlue};
  QLabel* labels[3] = {form_.TrackRedLab, form_.TrackGreenLab, form_.TrackBlueLab};
  for (int k = 0; k < 3; ++k) {
    {
      const QSignalBlocker detached(bars[k]);
      bars[k]->SetPosition(position);
    }
    labels[k]->setText(text);
  }
}

void TAdjustPanel::ResetClick(TSlideBar* bar, QLabel* label) {
  if (AdjChkBox->isChecked()) {
    TSlideBar* bars[3] = {form_.TrackRed, form_.TrackGreen, form_.TrackBlue};
    QLabel* labels[3] = {form_.TrackRedLab, form_.TrackGreenLab, form_.TrackBlueLab};
    for (int k = 0; k < 3; ++k) {
      {
        const QSignalBlocker detached(bars[k]);
        bars[k]->SetPosition(0);
      }
      labels[k]->setText("0");
    }
    return;
  }
  {
    const QSignalBlocker detached(bar);
    bar->SetPosition(0);
  }
  label->setText("0");
}

TAdjustPanel* BuildAdjustPanel(TSDIAppForm& form) { return new TAdjustPanel(form); }
