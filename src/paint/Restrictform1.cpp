#include "paint/Restrictform1.h"

#include <QButtonGroup>
#include <QColorDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "app/SDIAppForm.h"
#include "widgets/Slidebar.h"

using namespace korvane;

namespace {

constexpr Qt::WindowFlags kFixedDialog = Qt::Dialog | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                                         Qt::MSWindowsFixedSizeDialogHint;

// Indexed by type; the blanks line the numbers up and are part of the captions.
constexpr std::array<const char*, kRestrictTypeCount> kCaptions = {
    "  0. No restrictions, apply action to all pixels.",
    "  1. Apply action to all pixels where: MAX(R,G,B) > Epsilon",
    "  2. Apply action to all pixels where: MIN(R,G,B) < Epsilon",
    "  3. Pixel restriction: RGB = FOREGROUND Color (+/- Epsilon)",
    "  4. Pixel restriction: R = G = B (+/- Epsilon)",
    "  5. Red ch. maximal : R = MAX(R,G,B) + Epsilon ",
    "  6. Red ch. medium: R = MID(R,G,B) + Epsilon",
    "  7. Red ch. minimal: R = MIN(R,G,B) - Epsilon",
    "  8. Green ch. maximal: G = MAX(R,G,B) + Epsilon ",
    "  9. Green ch. medium: G = MID(R,G,B) + Epsilon",
    "10. Green ch. minimal: G = MIN(R,G,B) - Epsilon",
    "11. Blue ch. maximal: B = MAX(R,G,B) + Epsilon ",
    "12. Blue ch. medium: B = MID(R,G,B) + Epsilon",
    "13. Blue ch. minimal: B = MIN(R,G,B) - Epsilon",
    "14. Apply action on randomly chosen pixels.",
    "15. Pixel restriction: RGB = BACKGROUND Color (+/- Epsilon)",
    "16. Color range restriction:",
};

QColor ToQColor(TColor c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }
TColor FromQColor(const QColor& c) { return RGBColor(c.red(), c.green(), c.blue()); }

}  // namespace

TRestrictForm::TRestrictForm(TRestrictSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
  setObjectName("RestrictForm");
  setWindowTitle("Color restrictions ...");
  setWindowFlags(kFixedDialog);

  auto* group = new QGroupBox("Restriction type", this);
  group->setObjectName("RestGroupBox");
  RestGroup = new QButtonGroup(this);
  auto* column = new QVBoxLayout(group);
  column->setSpacing(2);
  for (int type = 0; type < kRestrictTypeCount; ++type) {
    auto* radio = new QRadioButton(kCaptions[static_cast<std::size_t>(type)], group);
    radio->setObjectName(QString("Rest%1").arg(type));
    RestGroup->addButton(radio, type);
    Rest[static_cast<std::size_t>(type)] = radio;
  }
  const auto shape = [group](const char* name, const char* hint) {
    auto* s = new TColorShape(group);
    s->setObjectName(name);
    s->setFixedSize(40, 18);
    s->setToolTip(hint);
    return s;
  };
  ColorLow = shape("ColorLow", "Lower bound of the colour range");
  ColorHigh = shape("ColorHigh", "Upper bound of the colour range");
  for (int type = 0; type < RestrictRange; ++type)
    column->addWidget(Rest[static_cast<std::size_t>(type)]);
  auto* rangeRow = new QHBoxLayout;
  rangeRow->addWidget(Rest[RestrictRange]);
  rangeRow->addWidget(ColorLow);
  rangeRow->addWidget(ColorHigh);
  rangeRow->addStretch();
  column->addLayout(rangeRow);

  TrackEpsi = new TSlideBar(this);
  TrackEpsi->setObjectName("TrackEpsi");
  TrackEpsi->SetOrientation(TSlideBar::orHorizontal);
  TrackEpsi->SetMin(kMinRestrictEpsilon);
  TrackEpsi->SetMax(kMaxRestrictEpsilon);
  TrackEpsi->SetStepPage(16);
  TrackEpsi->SetFrequency(16);
  TrackEpsi->setMinimumWidth(260);
  LabEpsi = new QLabel(this);
  LabEpsi->setObjectName("LabEpsi");
  LabEpsi->setMinimumWidth(30);
  RestOK = new QPushButton("OK", this);
  RestOK->setObjectName("RestOK");
  RestOK->setDefault(true);
  RestDef = new QPushButton("Default", this);
  RestDef->setObjectName("RestDef");
  RestNOK = new QPushButton("Cancel", this);
  RestNOK->setObjectName("RestNOK");

  auto* grid = new QGridLayout(this);
  grid->addWidget(group, 0, 0, 1, 3);
  grid->addWidget(new QLabel("Epsilon", this), 1, 0);
  grid->addWidget(TrackEpsi, 1, 1);
  grid->addWidget(LabEpsi, 1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(RestOK);
  buttons->addWidget(RestDef);
  buttons->addWidget(RestNOK);
  grid->addLayout(buttons, 2, 0, 1, 3);
  grid->setSizeConstraint(QLayout::SetFixedSize);

  connect(TrackEpsi, &TSlideBar::OnChange, this, [this] { TrackEpsiChange(); });
  connect(RestOK, &QPushButton::clicked, this, [this] { RestOKClick(); });
  connect(RestDef, &QPushButton::clicked, this, [this] { RestDefClick(); });
  connect(RestNOK, &QPushButton::clicked, this, [this] { RestNOKClick(); });
  ColorLow->OnMouseDown = [this](QMouseEvent*) { ColorLowMouseDown(); };
  ColorHigh->OnMouseDown = [this](QMouseEvent*) { ColorHighMouseDown(); };
  FormActivate();
}

void TRestrictForm::FormActivate() {
  Rest[static_cast<std::size_t>(ClampRestrictType(settings_.RestrictType))]->setChecked(true);
  TrackEpsi->SetPosition(ClampRestrictEpsilon(settings_.RestrictEpsilon));
  TrackEpsiChange();
  pendingLow_ = settings_.RestrictLow;
  pendingHigh_ = settings_.RestrictHigh;
  ColorLow->SetColor(ToQColor(pendingLow_));
  ColorHigh->SetColor(ToQColor(pendingHigh_));
}

void TRestrictForm::TrackEpsiChange() { LabEpsi->setText(QString::number(TrackEpsi->Position())); }

void TRestrictForm::RestOKClick() {
  settings_.RestrictType = RestGroup->checkedId();
  settings_.RestrictEpsilon = TrackEpsi->Position();
  settings_.RestrictLow = pendingLow_;
  settings_.RestrictHigh = pendingHigh_;
  emit RestrictChanged(StatusText());
  accept();
}

void TRestrictForm::RestDefClick() {
  Rest[RestrictNone]->setChecked(true);
  TrackEpsi->SetPosition(kDefaultRestrictEpsilon);
}

void TRestrictForm::RestNOKClick() { reject(); }

void TRestrictForm::ColorLowMouseDown() { ChooseColor(ColorLow, pendingLow_); }
void TRestrictForm::ColorHighMouseDown() { ChooseColor(ColorHigh, pendingHigh_); }

void TRestrictForm::ChooseColor(TColorShape* shape, TColor& pending) {
  const QColor chosen = QColorDialog::getColor(shape->Color(), this);
  if (!chosen.isValid()) return;
  pending = FromQColor(chosen);
  shape->SetColor(chosen);
}

void TRestrictForm::Default() {
  // Controls left by an earlier showing, or settings changed since, must not reach "OK".
  FormActivate();
  RestDefClick();
}

QString TRestrictForm::StatusText() const {
  return QString("Restrict: %1").arg(ClampRestrictType(settings_.RestrictType));
}

void TRestrictForm::showEvent(QShowEvent* event) {
  // Not when the window system shows it again after a minimise: the user's edits stay.
  if (!event->spontaneous()) FormActivate();
  QDialog::showEvent(event);
}
