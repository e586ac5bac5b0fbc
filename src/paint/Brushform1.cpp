#include "paint/Brushform1.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstddef>

#include "widgets/Slidebar.h"

using namespace korvane;

namespace {

constexpr Qt::WindowFlags kFixedDialog = Qt::Dialog | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                                         Qt::MSWindowsFixedSizeDialogHint;

const char* const kStyleCaptions[kBrushStyleCount] = {"Neon",   "Solid",        "Random lines",
                                                      "Splash", "Curved lines", "Parallel lines"};

const char* const kFadeItems[] = {"No fading", "Fade out", "Fade in", "Fade out and back",
                                  "Fade in and back"};

using F = TStyleField;

// A style panel's track bars in the order they are laid out.
struct TTrackSpec {
  F Field;
  const char* Name;
  const char* Caption;
};
struct TPanelSpec {
  TTrackSpec Tracks[4];
  int TrackCount;
  const char* LinesBox;  // nullptr: no such box
  const char* const* Variants;
  int VariantCount;
  const char* VariantTitle;
};

const char* const kScratchCaptions[] = {"No scratch", "Parallel ", "Splash ",
                                        "Mesh",       "To point",  "From point"};
const char* const kLineTypeCaptions[] = {"Parallel ", "Mesh", "To point", "From point"};
const char* const kStyle6Captions[] = {"Vary ", "Falloff"};  // the Br6_Scratch values 0, 1

const TPanelSpec kPanels[kBrushStyleCount] = {
    {{{F::Falloff, "Br1_track1", "Falloff"},
      {F::Thickness, "Br1_track2", "Scratch thickness"},
      {F::Count, "Br1_track3", "Number of scratches"}},
     3,
     "Scratches",
     kScratchCaptions,
     6,
     "Scratch type"},
    {{{F::Thickness, "Br2_track2", "Scratch thickness"},
      {F::Count, "Br2_track3", "Number of scratches"}},
     2,
     "Scratches",
     kScratchCaptions,
     6,
     "Scratch type"},
    {{{F::Thickness, "Br3_track1", "Line thickness"},
      {F::VaryIntensity, "Br3_track2", "Intensity variation"},
      {F::Count, "Br3_track3", "Number of lines"}},
     3,
     "Lines",
     kLineTypeCaptions,
     4,
     "Line type"},
    {{{F::Thickness, "Br4_track1", "Line thickness"},
      {F::VaryIntensity, "Br4_track2", "Intensity variation"},
      {F::Count, "Br4_track3", "Number of lines"}},
     3,
     "Lines",
     nullptr,
     0,
     nullptr},
    {{{F::Thickness, "Br5_track1", "Line thickness"},
      {F::VaryIntensity, "Br5_track2", "Intensity variation"},
      {F::Count, "Br5_track3", "Number of curves"}},
     3,
     "Lines",
     nullptr,
     0,
     nullptr},
    {{{F::Thickness, "Br6_track1", "Line thickness"},
      {F::Count, "Br6_track2", "Line spacing"},
      {F::VaryIntensity, "Br6_track3", "Intensity variation"},
      {F::Falloff, "Br6_track4", "Falloff"}},
     4,
     nullptr,
     kStyle6Captions,
     2,
     "Line intensity"},
};

TSlideBar* MakeBar(QWidget* parent, const QString& name) {
  auto* bar = new TSlideBar(parent);
  bar->setObjectName(name);
  bar->SetOrientation(TSlideBar::orHorizontal);
  bar->SetTicks(false);
  bar->setMinimumWidth(150);
  return bar;
}

QSpinBox* MakeEdit(QWidget* parent, const char* name) {
  auto* edit = new QSpinBox(parent);
  edit->setObjectName(name);
  // Taken on Enter or leaving the edit: a half-typed size would cut the dependent tracks down.
  edit->setKeyboardTracking(false);
  edit->setMaximumWidth(72);
  return edit;
}

QCheckBox* MakeBox(QWidget* parent, const char* name, const char* caption) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  return box;
}

QLabel* MakeValueLabel(QWidget* parent, const QString& name) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setMinimumWidth(32);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return label;
}

// Changes only what differs, so a control the user is working does not lose its grip.
void SetTrack(TSlideBar* bar, int min, int max, int position, bool enabled) {
  if (bar->Min() != min) bar->SetMin(min);  // raises Max first when needed
  if (bar->Max() != max) bar->SetMax(max);
  if (bar->Position() != position) bar->SetPosition(position);
  bar->setEnabled(enabled);
}

void SetEdit(QSpinBox* edit, int min, int max, int value, bool enabled = true) {
  if (edit->minimum() != min || edit->maximum() != max) edit->setRange(min, max);
  if (edit->value() != value) edit->setValue(value);
  edit->setEnabled(enabled);
}

void SetLabel(QLabel* label, const QString& text, bool enabled = true) {
  if (label->text() != text) label->setText(text);
  label->setEnabled(enabled);
}

QString Percent(int value) {
  return QString("%1%").arg(value);
}

}  // namespace

TBrushForm::TBrushForm(BrushSettings& brush, TBrushDialog& kept, QWidget* parent)
    : QDialog(parent), brush_(brush), kept_(kept), state_(kept) {
  setObjectName("BrushForm");
  setWindowTitle("Brush styles & numeric parameters");
  setWindowFlags(kFixedDialog);

  // Styles.
  StyleButtons = new QButtonGroup(this);
  StyleButtons->setExclusive(true);
  auto* styleRow = new QHBoxLayout;
  QToolButton** styleButtons[] = {&BrBt_1, &BrBt_2, &BrBt_3, &BrBt_4, &BrBt_5, &BrBt_6};
  for (int s = 1; s <= kBrushStyleCount; ++s) {
    auto* button = new QToolButton(this);
    button->setObjectName(QString("BrBt_%1").arg(s));
    button->setText(kStyleCaptions[s - 1]);
    button->setCheckable(true);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    StyleButtons->addButton(button, s);
    styleRow->addWidget(button);
    *styleButtons[s - 1] = button;
  }
  styleRow->addStretch();

  // Numeric parameters: track bar, edit.
  TrackSize = MakeBar(this, "TrackSize");
  UDSize = MakeEdit(this, "UDSize");
  TrackQpct = MakeBar(this, "TrackQpct");
  UDQpct = MakeEdit(this, "UDQpct");
  TrackJitter = MakeBar(this, "TrackJitter");
  UDJitter = MakeEdit(this, "UDJitter");
  TrackLoop = MakeBar(this, "TrackLoop");
  UDLoop = MakeEdit(this, "UDLoop");
  TrackFade = MakeBar(this, "TrackFade");
  UDFade = MakeEdit(this, "UDFade");
  TrackSizeVary = MakeBar(this, "TrackSizeVary");
  UDSizeVary = MakeEdit(this, "UDSizeVary");
  TrackColorVary = MakeBar(this, "TrackColorVary");
  UDColorVary = MakeEdit(this, "UDColorVary");
  FH_combo1 = new QComboBox(this);
  FH_combo1->setObjectName("FH_combo1");
  for (const char* item : kFadeItems) FH_combo1->addItem(item);
  FH_chk1 = MakeBox(this, "FH_chk1", "Connected drawing");
  BrushRFall = MakeBox(this, "BrushRFall", "Recalculate falloff on size variation");

  auto* numeric = new QGridLayout;
  int row = 0;
  const auto addTrack = [&](const char* caption, TSlideBar* bar, QSpinBox* edit) {
    numeric->addWidget(new QLabel(caption, this), row, 0);
    numeric->addWidget(bar, row, 1);
    numeric->addWidget(edit, row, 2);
    ++row;
  };
  addTrack("Brush size", TrackSize, UDSize);
  addTrack("Capacity %", TrackQpct, UDQpct);
  addTrack("Jitter", TrackJitter, UDJitter);
  addTrack("Repeat", TrackLoop, UDLoop);
  addTrack("Size variation %", TrackSizeVary, UDSizeVary);
  addTrack("Color variation", TrackColorVary, UDColorVary);
  addTrack("Fade to size", TrackFade, UDFade);
  numeric->addWidget(FH_combo1, row++, 1);
  numeric->addWidget(FH_chk1, row++, 1, 1, 2);
  numeric->addWidget(BrushRFall, row++, 1, 1, 2);

  // Stamp options: chalk, invert, blur.
  Br_rand = MakeBox(this, "Br_rand", "chalk effect");
  Br_invert = MakeBox(this, "Br_invert", "invert intensity");
  Br_blur = MakeBox(this, "Br_blur", "blur kernel:");
  Br_UD = MakeEdit(this, "Br_UD");
  auto* stamp = new QGridLayout;
  stamp->addWidget(Br_rand, 0, 0);
  stamp->addWidget(Br_invert, 1, 0);
  stamp->addWidget(Br_blur, 2, 0);
  stamp->addWidget(Br_UD, 2, 1);

  // Bump.
  Br_bump = MakeBox(this, "Br_bump", "Bump");
  Br_UD1 = MakeEdit(this, "Br_UD1");
  Br_UD2 = MakeEdit(this, "Br_UD2");
  Br_UD3 = MakeEdit(this, "Br_UD3");
  ShiftLR = MakeValueLabel(this, "ShiftLR");
  ShiftUD = MakeValueLabel(this, "ShiftUD");
  auto* bumpBox = new QGroupBox(this);
  auto* bump = new QGridLayout(bumpBox);
  bump->addWidget(Br_bump, 0, 0, 1, 2);
  bump->addWidget(new QLabel("Scale", bumpBox), 1, 0);
  bump->addWidget(Br_UD1, 1, 1);
  bump->addWidget(new QLabel("Level", bumpBox), 2, 0);
  bump->addWidget(Br_UD2, 2, 1);
  bump->addWidget(new QLabel("Roughness", bumpBox), 3, 0);
  bump->addWidget(Br_UD3, 3, 1);
  auto* shifts = new QGridLayout;
  QPushButton** shiftButtons[] = {&ShiftNW, &ShiftN,  &ShiftNE, &ShiftW, &Shift00,
                                  &ShiftE,  &ShiftSW, &ShiftS,  &ShiftSE};
  const char* const shiftNames[] = {"ShiftNW", "ShiftN",  "ShiftNE", "ShiftW", "Shift00",
                                    "ShiftE",  "ShiftSW", "ShiftS",  "ShiftSE"};
  const char* const shiftGlyphs[] = {"\u2196", "\u2191", "\u2197", "\u2190", "0",
                                     "\u2192", "\u2199", "\u2193", "\u2198"};
  for (int tag = 0; tag < 9; ++tag) {
    auto* button = new QPushButton(QString::fromUtf8(shiftGlyphs[tag]), bumpBox);
    button->setObjectName(shiftNames[tag]);
    button->setFixedSize(24, 24);
    button->setAutoDefault(false);
    shifts->addWidget(button, tag / 3, tag % 3);
    *shiftButtons[tag] = button;
    connect(button, &QPushButton::clicked, this, [this, tag] { ShiftClick(tag); });
  }
  bump->addLayout(shifts, 0, 2, 3, 1);
  auto* offsets = new QHBoxLayout;
  offsets->addWidget(new QLabel("x", bumpBox));
  offsets->addWidget(ShiftLR);
  offsets->addWidget(new QLabel("y", bumpBox));
  offsets->addWidget(ShiftUD);
  bump->addLayout(offsets, 3, 2);

  // Style panels.
  StylePanels = new QStackedWidget(this);
  StylePanels->setObjectName("StylePanels");
  for (int s = 1; s <= kBrushStyleCount; ++s) BuildPanel(s);
  Br1Pan = panels_[0].Page;
  Br2Pan = panels_[1].Page;
  Br3Pan = panels_[2].Page;
  Br4Pan = panels_[3].Page;
  Br5Pan = panels_[4].Page;
  Br6Pan = panels_[5].Page;
  Br1_track1 = panels_[0].Falloff;
  Br1_track2 = panels_[0].Thickness;
  Br1_track3 = panels_[0].Count;
  Br2_track2 = panels_[1].Thickness;
  Br2_track3 = panels_[1].Count;
  Br3_track1 = panels_[2].Thickness;
  Br3_track2 = panels_[2].Vary;
  Br3_track3 = panels_[2].Count;
  Br4_track1 = panels_[3].Thickness;
  Br4_track2 = panels_[3].Vary;
  Br4_track3 = panels_[3].Count;
  Br5_track1 = panels_[4].Thickness;
  Br5_track2 = panels_[4].Vary;
  Br5_track3 = panels_[4].Count;
  Br6_track1 = panels_[5].Thickness;
  Br6_track2 = panels_[5].Count;
  Br6_track3 = panels_[5].Vary;
  Br6_track4 = panels_[5].Falloff;
  Br1_chk1 = panels_[0].Lines;
  Br2_chk1 = panels_[1].Lines;
  Br3_chk1 = panels_[2].Lines;
  Br4_chk1 = panels_[3].Lines;
  Br5_chk1 = panels_[4].Lines;
  const auto radios = [this](int style, auto& into) {
    for (std::size_t i = 0; i < into.size(); ++i)
      into[i] = qobject_cast<QRadioButton*>(
          panels_[static_cast<std::size_t>(style - 1)].Variants->button(static_cast<int>(i)));
  };
  radios(1, Br1_rad);
  radios(2, Br2_rad);
  radios(3, Br3_rad);
  radios(6, Br6_rad);

  BrushOK = new QPushButton("OK", this);
  BrushOK->setObjectName("BrushOK");
  BrushOK->setDefault(true);
  BrushCancel = new QPushButton("Cancel", this);
  BrushCancel->setObjectName("BrushCancel");
  BrushCancel->setAutoDefault(false);
  BrushDef = new QPushButton("Default", this);
  BrushDef->setObjectName("BrushDef");
  BrushDef->setAutoDefault(false);

  auto* left = new QVBoxLayout;
  left->addLayout(numeric);
  auto* options = new QHBoxLayout;
  options->addLayout(stamp);
  options->addWidget(bumpBox);
  left->addLayout(options);
  left->addStretch();
  auto* right = new QVBoxLayout;
  right->addWidget(StylePanels);
  right->addStretch();
  auto* body = new QHBoxLayout;
  body->addLayout(left);
  body->addLayout(right);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BrushOK);
  buttons->addWidget(BrushCancel);
  buttons->addWidget(BrushDef);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(styleRow);
  layout->addLayout(body);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  // Every control writes its own field of the working state.
  Bind(TrackSize, state_.TrackSize);
  Bind(UDSize, state_.TrackSize, 1);
  Bind(TrackQpct, state_.TrackQpct);
  Bind(UDQpct, state_.TrackQpct, 0);
  Bind(TrackJitter, state_.TrackJitter);
  Bind(UDJitter, state_.TrackJitter, 0);
  Bind(TrackLoop, state_.TrackLoop);
  Bind(UDLoop, state_.TrackLoop, 0);
  Bind(TrackFade, state_.TrackFade);
  Bind(UDFade, state_.TrackFade, 1);
  Bind(TrackSizeVary, state_.TrackSizeVary);
  Bind(UDSizeVary, state_.TrackSizeVary, 0);
  Bind(TrackColorVary, state_.TrackColorVary);
  Bind(UDColorVary, state_.TrackColorVary, 0);
  Bind(FH_chk1, state_.Connected);
  Bind(BrushRFall, state_.RecalcFalloff);
  Bind(Br_rand, state_.Chalk);
  Bind(Br_invert, state_.Invert);
  Bind(Br_blur, state_.Blur);
  Bind(Br_UD, state_.BlurKernel, 0);
  Bind(Br_bump, state_.Bump);
  Bind(Br_UD1, state_.BumpScale, 0);
  Bind(Br_UD2, state_.BumpLimit, 0);
  Bind(Br_UD3, state_.BumpRoughness, 0);
  connect(FH_combo1, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (updating_ || index < 0) return;
    state_.FadeType = index;
    Changed();
  });
  connect(StyleButtons, &QButtonGroup::idClicked, this, [this](int style) { StyleClick(style); });
  connect(BrushOK, &QPushButton::clicked, this, [this] { BrushOKClick(); });
  connect(BrushCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(BrushDef, &QPushButton::clicked, this, [this] { BrushDefClick(); });

  ShowState();
}

void TBrushForm::BuildPanel(int style) {
  const TPanelSpec& spec = kPanels[style - 1];
  TPanel& panel = panels_[static_cast<std::size_t>(style - 1)];
  TBrushStyleLines& lines = state_.Lines(style);
  auto* page = new QGroupBox(kStyleCaptions[style - 1], StylePanels);
  page->setObjectName(QString("Br%1Pan").arg(style));
  auto* grid = new QGridLayout(page);
  int row = 0;
  for (int i = 0; i < spec.TrackCount; ++i) {
    const TTrackSpec& t = spec.Tracks[i];
    TSlideBar* bar = MakeBar(page, t.Name);
    QLabel* label = MakeValueLabel(page, QString(t.Name).replace("track", "lab"));
    grid->addWidget(new QLabel(t.Caption, page), row, 0);
    grid->addWidget(bar, row, 1);
    grid->addWidget(label, row, 2);
    ++row;
    switch (t.Field) {
      case F::Falloff:
        panel.Falloff = bar;
        panel.FalloffLab = label;
        Bind(bar, lines.Falloff);
        break;
      case F::Thickness:
        panel.Thickness = bar;
        panel.ThicknessLab = label;
        Bind(bar, lines.Thickness);
        break;
      case F::Count:
        panel.Count = bar;
        panel.CountLab = label;
        Bind(bar, lines.Count);
        break;
      case F::VaryIntensity:
        panel.Vary = bar;
        panel.VaryLab = label;
        Bind(bar, lines.VaryIntensity);
        break;
      case F::Variant:
      case F::LinesChecked:
        break;
    }
  }
  if (spec.LinesBox) {
    panel.Lines = MakeBox(page, qPrintable(QString("Br%1_chk1").arg(style)), spec.LinesBox);
    grid->addWidget(panel.Lines, row++, 1);
    Bind(panel.Lines, lines.LinesChecked);
  }
  if (spec.VariantCount > 0) {
    auto* box = new QGroupBox(spec.VariantTitle, page);
    auto* column = new QVBoxLayout(box);
    panel.Variants = new QButtonGroup(page);
    panel.Variants->setExclusive(true);
    // Style 6 lists "Falloff" above "Vary ".
    for (int k = 0; k < spec.VariantCount; ++k) {
      const int value = style == ParallelLinesBrush ? spec.VariantCount - 1 - k : k;
      auto* radio = new QRadioButton(spec.Variants[value], box);
      radio->setObjectName(QString("Br%1_rad%2").arg(style).arg(value));
      panel.Variants->addButton(radio, value);
      column->addWidget(radio);
    }
    grid->addWidget(box, row++, 0, 1, 3);
    int* variant = &lines.Variant;
    connect(panel.Variants, &QButtonGroup::idToggled, this, [this, variant](int id, bool on) {
      if (updating_ || !on) return;
      *variant = id;
      Changed();
    });
  }
  grid->setRowStretch(row, 1);
  panel.Page = page;
  StylePanels->addWidget(page);
}

void TBrushForm::Bind(TSlideBar* bar, int& field) {
  connect(bar, &TSlideBar::OnChange, this, [this, bar, &field] {
    if (updating_) return;
    field = bar->Position();
    Changed();
  });
}

void TBrushForm::Bind(QSpinBox* edit, int& field, int offset) {
  connect(edit, &QSpinBox::valueChanged, this, [this, &field, offset](int value) {
    if (updating_) return;
    field = value + offset;
    Changed();
  });
}

void TBrushForm::Bind(QCheckBox* box, bool& field) {
  connect(box, &QCheckBox::toggled, this, [this, &field](bool on) {
    if (updating_) return;
    field = on;
    Changed();
  });
}

void TBrushForm::Changed() {
  ApplySizeDependencies(state_);
  ShowState();
}

QLabel* TBrushForm::TrackLabel(const TSlideBar* bar) const {
  for (const TPanel& p : panels_) {
    if (bar == p.Falloff) return p.FalloffLab;
    if (bar == p.Thickness) return p.ThicknessLab;
    if (bar == p.Count) return p.CountLab;
    if (bar == p.Vary) return p.VaryLab;
  }
  return nullptr;
}

void TBrushForm::ShowState() {
  updating_ = true;
  const TBrushDialog& d = state_;
  const int size = d.TrackSize;

  if (QAbstractButton* button = StyleButtons->button(d.Style)) button->setChecked(true);
  StylePanels->setCurrentIndex(d.Style - 1);

  SetTrack(TrackSize, kSizeTrack.Min, kSizeTrack.Max, size, true);
  SetEdit(UDSize, kSizeTrack.Min - 1, kSizeTrack.Max - 1, size - 1);
  SetTrack(TrackQpct, kCapacityTrack.Min, kCapacityTrack.Max, d.TrackQpct, true);
  SetEdit(UDQpct, kCapacityTrack.Min, kCapacityTrack.Max, d.TrackQpct);
  SetTrack(TrackJitter, kJitter.Min, kJitter.Max, d.TrackJitter, true);
  SetEdit(UDJitter, kJitter.Min, kJitter.Max, d.TrackJitter);
  SetTrack(TrackLoop, kRepeatCount.Min, kRepeatCount.Max, d.TrackLoop, true);
  SetEdit(UDLoop, kRepeatCount.Min, kRepeatCount.Max, d.TrackLoop);
  SetTrack(TrackSizeVary, kSizeVary.Min, kSizeVary.Max, d.TrackSizeVary, true);
  SetEdit(UDSizeVary, kSizeVary.Min, kSizeVary.Max, d.TrackSizeVary);
  SetTrack(TrackColorVary, kColorVary.Min, kColorVary.Max, d.TrackColorVary, true);
  SetEdit(UDColorVary, kColorVary.Min, kColorVary.Max, d.TrackColorVary);
  const TTrackState fade = FadeTrackState(size);
  SetTrack(TrackFade, fade.Min, fade.Max, d.TrackFade, fade.Enabled);
  SetEdit(UDFade, fade.Min - 1, fade.Max - 1, d.TrackFade - 1, fade.Enabled);
  if (FH_combo1->currentIndex() != d.FadeType) FH_combo1->setCurrentIndex(d.FadeType);
  FH_chk1->setChecked(d.Connected);
  BrushRFall->setChecked(d.RecalcFalloff);

  Br_rand->setChecked(d.Chalk);
  Br_invert->setChecked(d.Invert);
  Br_blur->setChecked(d.Blur);
  SetEdit(Br_UD, kBlurKernel.Min, kBlurKernel.Max, d.BlurKernel);
  Br_bump->setChecked(d.Bump);
  SetEdit(Br_UD1, kBumpScale.Min, kBumpScale.Max, d.BumpScale);
  SetEdit(Br_UD2, kBumpLimit.Min, kBumpLimit.Max, d.BumpLimit);
  SetEdit(Br_UD3, kBumpRoughness.Min, kBumpRoughness.Max, d.BumpRoughness);
  SetLabel(ShiftLR, QString::number(d.BumpOffsetX));
  SetLabel(ShiftUD, QString::number(d.BumpOffsetY));

  for (int s = 1; s <= kBrushStyleCount; ++s) {
    const TPanel& p = panels_[static_cast<std::size_t>(s - 1)];
    const TBrushStyleLines& l = d.Lines(s);
    const TStyleParams& decl = BrushStyleParams(s);
    if (p.Falloff) {
      const TBrushParam f = *decl.Find(F::Falloff);
      SetTrack(p.Falloff, f.Min, f.Max, l.Falloff, true);
      SetLabel(p.FalloffLab, Percent(l.Falloff));
    }
    if (p.Vary) {
      const TBrushParam v = *decl.Find(F::VaryIntensity);
      SetTrack(p.Vary, v.Min, v.Max, l.VaryIntensity, true);
      SetLabel(p.VaryLab, QString::number(l.VaryIntensity));
    }
    if (p.Thickness) {
      const TTrackState t = ThicknessTrackState(s, size);
      SetTrack(p.Thickness, t.Min, t.Max, l.Thickness, t.Enabled);
      SetLabel(p.ThicknessLab, QString::number(l.Thickness - 1), t.Enabled);
    }
    if (p.Count) {
      const TTrackState c = CountTrackState(s, size, l.LinesChecked);
      SetTrack(p.Count, c.Min, c.Max, l.Count, c.Enabled);
      // Style 6 shows the spacing itself, the others the line count.
      const int shown = s == ParallelLinesBrush ? l.Count : l.Count - 1;
      SetLabel(p.CountLab, QString::number(shown), c.Enabled);
    }
    if (p.Lines) p.Lines->setChecked(l.LinesChecked);
    if (p.Variants)
      if (QAbstractButton* radio = p.Variants->button(l.Variant)) radio->setChecked(true);
  }
  updating_ = false;
}

void TBrushForm::FormActivate() {
  state_ = kept_;
  LoadBrushDialog(brush_, state_);
  ShowState();
}

void TBrushForm::BrushOKClick() {
  kept_ = state_;
  ApplyBrushDialog(kept_, brush_);
  accept();
}

void TBrushForm::BrushDefClick() {
  DefaultBrushDialog(state_);
  ShowState();
}

void TBrushForm::StyleClick(int style) {
  // Each panel edits its own style's state, so a switch only changes which one is shown and
  // which one "OK" applies; the panel left keeps its values for the next visit.
  state_.Style = kBrushStyle.Clamp(style);
  ShowState();
}

void TBrushForm::ShiftClick(int tag) {
  ShiftBumpOffset(state_, tag);
  ShowState();
}

void TBrushForm::showEvent(QShowEvent* event) {
  FormActivate();
  QDialog::showEvent(event);
}
