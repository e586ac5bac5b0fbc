#include "colour/ShiftPanel.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "app/SDIAppForm.h"
#include "colour/PanelButton.h"

namespace {

constexpr int kButtonLeft = 2;
constexpr int kButtonTop = 4;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 17;
constexpr int kBottomGap = 14;

// An arrow pointing along (dx, dy) in screen terms, or a dot for (0, 0).
QIcon ArrowGlyph(int dx, int dy) {
  QPixmap pixmap(14, 14);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 128));
  p.translate(7, 7);
  if (dx == 0 && dy == 0) {
    p.drawEllipse(QPointF(0, 0), 2.5, 2.5);
  } else {
    p.rotate(std::atan2(-dy, dx) * 180.0 / 3.14159265358979);
    QPainterPath arrow;
    arrow.moveTo(6, 0);
    arrow.lineTo(0, -5);
    arrow.lineTo(0, -2);
    arrow.lineTo(-6, -2);
    arrow.lineTo(-6, 2);
    arrow.lineTo(0, 2);
    arrow.lineTo(0, 5);
    arrow.closeSubpath();
    p.drawPath(arrow);
  }
  return QIcon(pixmap);
}


}  // namespace

TShiftPanel::TShiftPanel(TSDIAppForm& form) : QObject(form.ShiftPan), form_(form) {
  QFrame* pan = form.ShiftPan;
  auto* column = new QVBoxLayout(pan);
  column->setContentsMargins(2, 2, 2, 2);
  column->setSpacing(2);

  struct Arrow {
    QToolButton** button;
    const char* name;
    int dx, dy, row, col;
  };
  const Arrow arrows[] = {
      {&ShiftNW, "ShiftNW", -1, 1, 0, 0}, {&ShiftN, "ShiftN", 0, 1, 0, 1},
      {&ShiftNE, "ShiftNE", 1, 1, 0, 2},  {&ShiftW, "ShiftW", -1, 0, 1, 0},
      {&Shift00, "Shift00", 0, 0, 1, 1},  {&ShiftE, "ShiftE", 1, 0, 1, 2},
      {&ShiftSW, "ShiftSW", -1, -1, 2, 0}, {&ShiftS, "ShiftS", 0, -1, 2, 1},
      {&ShiftSE, "ShiftSE", 1, -1, 2, 2}};
  auto* grid = new QGridLayout;
  grid->setSpacing(1);
  for (const Arrow& a : arrows) {
    auto* b = new QToolButton(pan);
    b->setObjectName(a.name);
    b->setIcon(ArrowGlyph(a.dx, a.dy));
    b->setFixedSize(22, 20);
    grid->addWidget(b, a.row, a.col);
    *a.button = b;
    if (a.dx == 0 && a.dy == 0) {
      connect(b, &QToolButton::clicked, this, [this] { Shift00Click(); });
    } else {
      connect(b, &QToolButton::clicked, this, [this, a] { MoveOffset(a.dx, a.dy); });
    }
  }
  column->addLayout(grid);

  auto* offsets = new QHBoxLayout;
  ShiftLR = new QLabel("0", pan);
  ShiftLR->setObjectName("ShiftLR");
  ShiftUD = new QLabel("0", pan);
  ShiftUD->setObjectName("ShiftUD");
  for (QLabel* l : {ShiftLR, ShiftUD}) {
    l->setAlignment(Qt::AlignCenter);
    offsets->addWidget(l);
  }
  column->addLayout(offsets);

  auto* kind = new QButtonGroup(this);
  ShiftNorm = PanelButton(pan, "ShiftNorm", "Normal");
  ShiftComp = PanelButton(pan, "ShiftComp", "Complement");
  for (QToolButton* b : {ShiftNorm, ShiftComp}) {
    b->setCheckable(true);
    b->setAutoRaise(true);
    kind->addButton(b);
    column->addWidget(b);
  }
  ShiftNorm->setChecked(true);

  Shift_st = new QLabel("Bit Shifting", pan);
  Shift_st->setObjectName("Shift_st");
  column->addWidget(Shift_st);
  ShiftSBUD = new QSpinBox(pan);
  ShiftSBUD->setObjectName("ShiftSBUD");
  ShiftSBUD->setRange(korvane::kMinShiftBits, korvane::kMaxShiftBits);
  ShiftSBUD->setValue(korvane::kDefaultShiftBits);
  if (auto* edit = ShiftSBUD->findChild<QLineEdit*>()) {
    edit->setObjectName("ShiftSB");
    edit->setMaxLength(3);
  }
  column->addWidget(ShiftSBUD);

  ImgShift = PanelButton(pan, "ImgShift", "Apply");
  connect(ImgShift, &QToolButton::clicked, this, [this] { ImgShiftClick(); });
  column->addWidget(ImgShift);

  ShiftBox = new QFrame(pan);
  ShiftBox->setObjectName("ShiftBox");
  ShiftBox->setFrameShape(QFrame::StyledPanel);
  ShiftBox->setMinimumHeight(kButtonTop + kButtonHeight + kBottomGap);
  column->addWidget(ShiftBox, 1);
  ShiftBoxSU = new QToolButton(ShiftBox);
  ShiftBoxSU->setObjectName("ShiftBoxSU");
  ShiftBoxSU->setArrowType(Qt::UpArrow);
  ShiftBoxSD = new QToolButton(ShiftBox);
  ShiftBoxSD->setObjectName("ShiftBoxSD");
  ShiftBoxSD->setArrowType(Qt::DownArrow);
  for (QToolButton* b : {ShiftBoxSU, ShiftBoxSD}) b->hide();
  connect(ShiftBoxSU, &QToolButton::clicked, this, [this] { ShiftBoxSUClick(); });
  connect(ShiftBoxSD, &QToolButton::clicked, this, [this] { ShiftBoxSDClick(); });
  ShiftBox->installEventFilter(this);
}

bool TShiftPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ShiftBox) {
    if (event->type() == QEvent::Show) {
      CreateOperationButtons();
      ShowPage();
    } else if (event->type() == QEvent::Resize && operations_) {
      ShowPage();
    }
  }
  return QObject::eventFilter(watched, event);
}

void TShiftPanel::CreateOperationButtons() {
  if (operations_) return;
  operations_ = new QButtonGroup(this);
  QFont font("Tahoma");
  font.setPixelSize(11);
  font.setBold(true);
  QPalette palette = ShiftBox->palette();
  palette.setColor(QPalette::ButtonText, QColor(0, 0, 128));
  for (int i = 0; i < korvane::kShiftOperationCount; ++i) {
    auto* b = new QToolButton(ShiftBox);
    b->setObjectName(QString("ShiftOp%1").arg(i));
    b->setText(korvane::kShiftOperationCaptions[static_cast<std::size_t>(i)]);
    b->setCheckable(true);
    b->setAutoRaise(true);
    b->setFont(font);
    b->setPalette(palette);
    b->setGeometry(kButtonLeft, kButtonTop + kButtonHeight * i, kButtonWidth, kButtonHeight);
    operations_->addButton(b, i);
    Operations[static_cast<std::size_t>(i)] = b;
    if (i == korvane::ShiftBump || i == korvane::ShiftBumpColor) {
      b->setContextMenuPolicy(Qt::CustomContextMenu);
      connect(b, &QToolButton::customContextMenuRequested, this, [this, b](const QPoint& at) {
        form_.PMenu18->popup(b->mapToGlobal(at));
      });
    }
  }
  Operations[0]->setChecked(true);
  ShiftBoxSU->raise();
  ShiftBoxSD->raise();
}

int TShiftPanel::ButtonsThatFit() const {
  const int room = ShiftBox->height() - kBottomGap - kButtonTop;
  return std::max(1, room / kButtonHeight);
}

void TShiftPanel::ShowPage() {
  if (!operations_) return;
  const int fit = ButtonsThatFit();
  const bool paged = fit < korvane::kShiftOperationCount;
  if (!paged) first_ = 0;
  first_ = std::clamp(first_, 0, korvane::kShiftOperationCount - 1);
  for (QToolButton* b : Operations) b->hide();
  for (int place = 0; place < fit && first_ + place < korvane::kShiftOperationCount; ++place) {
    QToolButton* b = Operations[static_cast<std::size_t>(first_ + place)];
    b->move(kButtonLeft, kButtonTop + kButtonHeight * place);
    b->show();
  }
  const int top = ShiftBox->height() - kButtonHeight;
  const int half = ShiftBox->width() / 2;
  ShiftBoxSU->setGeometry(0, top, half, kButtonHeight);
  ShiftBoxSD->setGeometry(half, top, ShiftBox->width() - half, kButtonHeight);
  ShiftBoxSU->setVisible(paged);
  ShiftBoxSD->setVisible(paged);
}

void TShiftPanel::ShiftBoxSDClick() {
  const int last =
      std::min(first_ + ButtonsThatFit(), korvane::kShiftOperationCount) - 1;
  if (last < korvane::kShiftOperationCount - 1) first_ = last;
  ShowPage();
}

void TShiftPanel::ShiftBoxSUClick() {
  first_ = std::max(0, first_ - (ButtonsThatFit() - 1));
  ShowPage();
}

void TShiftPanel::MoveOffset(int dx, int dy) {
  ShiftOffsetX += dx;
  ShiftOffsetY += dy;
  ShiftUD->setText(QString::number(ShiftOffsetY));
  ShiftLR->setText(QString::number(ShiftOffsetX));
}

void TShiftPanel::Shift00Click() {
  ShiftOffsetX = 0;
  ShiftOffsetY = 0;
  ShiftUD->setText("0");
  ShiftLR->setText("0");
}

korvane::TShiftParams TShiftPanel::Capture() const {
  korvane::TShiftParams p;
  p.ShiftOffsetX = ShiftOffsetX;
  p.ShiftOffsetY = ShiftOffsetY;
  p.ShiftOperation =
      operations_ && operations_->checkedId() >= 0 ? operations_->checkedId() : korvane::ShiftNormal;
  p.ShiftComplement = ShiftComp->isChecked();
  p.ShiftBits = ShiftSBUD->value();
  return p;
}

void TShiftPanel::ImgShiftClick() {
  korvane::TDocument& doc = form_.Document();
  if (!doc.HasDocument()) return;
  {
    TSDIAppForm::TBusy busy(form_);
    const korvane::TShiftParams params = Capture();
    korvane::ApplyShift(doc, form_.Editor, params, form_.Progress);
  }
  form_.RefreshView();
}

TShiftPanel* BuildShiftPanel(TSDIAppForm& form) { return new TShiftPanel(form); }
