#include "colour/Channelform1.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "app/EditorState.h"
#include "app/SDIAppForm.h"
#include "widgets/Slidebar.h"

using namespace korvane;

namespace {

QColor ToQColor(TColor c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

QLabel* Text(QWidget* parent, const char* text) {
  auto* label = new QLabel(text, parent);
  label->setWordWrap(true);
  return label;
}

}  // namespace

TChannelForm::TChannelForm(TEditorState& editor, QWidget* parent)
    : QDialog(parent), editor_(editor) {
  setObjectName("ChannelForm");
  setWindowTitle("Transparency & channels of interest");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  const auto slider = [this](const char* name) {
    auto* bar = new TSlideBar(this);
    bar->setObjectName(name);
    bar->SetOrientation(TSlideBar::orHorizontal);
    bar->SetMin(0);
    bar->SetMax(100);
    bar->SetPosition(0);
    bar->setMinimumWidth(200);
    return bar;
  };
  TrackTrans = slider("TrackTrans");
  TrackPixelVary = slider("TrackPixelVary");
  LabTrans = new QLabel("0", this);
  LabTrans->setObjectName("LabTrans");
  LabPixelVary = new QLabel("0", this);
  LabPixelVary->setObjectName("LabPixelVary");
  const auto box = [this](const char* name, const char* caption) {
    auto* b = new QCheckBox(caption, this);
    b->setObjectName(name);
    b->setChecked(true);
    return b;
  };
  CRed = box("CRed", "Red channel");
  CGreen = box("CGreen", "Green channel");
  CBlue = box("CBlue", "Blue channel");
  const auto shape = [this](const char* name, const char* hint) {
    auto* s = new TColorShape(this);
    s->setObjectName(name);
    s->setFixedSize(30, 30);
    s->setToolTip(hint);
    return s;
  };
  ColorDiv = shape("ColorDiv", "Multiplication scaling color");
  ColorLow = shape("ColorLow", "Bottom color limit");
  ColorHigh = shape("ColorHigh", "Upper color limit");
  Chann_OK = new QPushButton("OK", this);
  Chann_OK->setObjectName("Chann_OK");
  Chann_OK->setDefault(true);
  Chann_def = new QPushButton("Default", this);
  Chann_def->setObjectName("Chann_def");

  auto* grid = new QGridLayout(this);
  grid->addWidget(Text(this, "Adjust transparency of original vs. edited image when applying "
                             "action on complete image. For  brush action, use brush "
                             "capacity.  "),
                  0, 0, 1, 3);
  grid->addWidget(new QLabel("Transparency", this), 1, 0);
  grid->addWidget(TrackTrans, 1, 1);
  grid->addWidget(LabTrans, 1, 2);
  grid->addWidget(Text(this, "Adjust amount of pixel color variation to apply after action."), 2,
                  0, 1, 3);
  grid->addWidget(new QLabel("PixelVary", this), 3, 0);
  grid->addWidget(TrackPixelVary, 3, 1);
  grid->addWidget(LabPixelVary, 3, 2);
  grid->addWidget(Text(this, "Select channels of interest when applying both complete and brush "
                             "action on image.   "),
                  4, 0, 1, 3);
  auto* channelRow = new QHBoxLayout;
  for (QCheckBox* b : {CRed, CGreen, CBlue}) channelRow->addWidget(b);
  grid->addLayout(channelRow, 5, 0, 1, 3);
  auto* bottom = new QHBoxLayout;
  for (TColorShape* s : {ColorDiv, ColorLow, ColorHigh}) bottom->addWidget(s);
  bottom->addStretch();
  bottom->addWidget(Chann_def);
  bottom->addWidget(Chann_OK);
  grid->addLayout(bottom, 6, 0, 1, 3);
  grid->setSizeConstraint(QLayout::SetFixedSize);

  connect(TrackTrans, &TSlideBar::OnChange, this, [this](TSlideBar* bar) {
    LabTrans->setText(QString::number(bar->Position()));
    editor_.WriteBack.Transparency = TWriteBackSettings::TransparencyFromPercent(bar->Position());
  });
  connect(TrackPixelVary, &TSlideBar::OnChange, this, [this](TSlideBar* bar) {
    LabPixelVary->setText(QString::number(bar->Position()));
  });
  // Memory order blue, green, red.
  const QCheckBox* boxes[3] = {CBlue, CGreen, CRed};
  for (int k = 0; k < 3; ++k)
    connect(boxes[k], &QCheckBox::toggled, this,
            [this, k](bool on) { editor_.WriteBack.ChannelOn[static_cast<std::size_t>(k)] = on; });
  ColorDiv->OnMouseDown = [this](QMouseEvent*) { ChooseColor(ColorDiv, 0); };
  ColorLow->OnMouseDown = [this](QMouseEvent*) { ChooseColor(ColorLow, 1); };
  ColorHigh->OnMouseDown = [this](QMouseEvent*) { ChooseColor(ColorHigh, 2); };
  connect(Chann_OK, &QPushButton::clicked, this, &TChannelForm::Chann_OKClick);
  connect(Chann_def, &QPushButton::clicked, this, &TChannelForm::Chann_defClick);
  LoadFromSettings();
}

void TChannelForm::LoadFromSettings() {
  const TWriteBackSettings& s = editor_.WriteBack;
  TrackTrans->SetPosition(static_cast<int>(
      (static_cast<std::int64_t>(s.Transparency) * 100 + TransparencyScale / 2) / TransparencyScale));
  TrackPixelVary->SetPosition(s.PixelVary);
  CBlue->setChecked(s.ChannelOn[0]);
  CGreen->setChecked(s.ChannelOn[1]);
  CRed->setChecked(s.ChannelOn[2]);
  ColorDiv->SetColor(ToQColor(editor_.DivColor.Color));
  ColorLow->SetColor(ToQColor(editor_.LowColor.Color));
  ColorHigh->SetColor(ToQColor(editor_.HighColor.Color));
}

void TChannelForm::ChooseColor(TColorShape* shape, int which) {
  const QColor chosen = QColorDialog::getColor(shape->Color(), this);
  if (!chosen.isValid()) return;
  shape->SetColor(chosen);
  TColorRecord* records[3] = {&editor_.DivColor, &editor_.LowColor, &editor_.HighColor};
  SetColorRecord(*records[which], RGBColor(chosen.red(), chosen.green(), chosen.blue()));
}

void TChannelForm::Chann_OKClick() {
  editor_.WriteBack.PixelVary = TrackPixelVary->Position();
  accept();
}

void TChannelForm::Chann_defClick() {
  TrackTrans->SetPosition(0);
  TrackPixelVary->SetPosition(0);
  SetColorRecord(editor_.DivColor, clWhite);
  SetColorRecord(editor_.LowColor, clBlack);
  SetColorRecord(editor_.HighColor, clWhite);
  for (QCheckBox* b : {CRed, CGreen, CBlue}) b->setChecked(true);
  ColorDiv->SetColor(Qt::white);
  ColorLow->SetColor(Qt::black);
  ColorHigh->SetColor(Qt::white);
}
