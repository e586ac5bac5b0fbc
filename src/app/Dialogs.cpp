#include "app/Dialogs.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/Document.h"

namespace {
// A fixed dialog border: title and close box only.
constexpr Qt::WindowFlags kFixedDialog = Qt::Dialog | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                                         Qt::MSWindowsFixedSizeDialogHint;
}  // namespace

TWngForm::TWngForm(QWidget* parent) : QDialog(parent) {
  setObjectName("WngForm");
  setWindowFlags(kFixedDialog);
  WngSign = new QLabel("!", this);
  WngSign->setObjectName("WngSign");
  QFont sign("Times New Roman");
  sign.setPixelSize(96);
  sign.setBold(true);
  WngSign->setFont(sign);
  WngSign->setStyleSheet("color: red;");
  WngSign->setFixedWidth(56);
  WngSign->setAlignment(Qt::AlignCenter);
  Wngmsg = new QLabel(this);
  Wngmsg->setObjectName("Wngmsg");
  Wngmsg->setWordWrap(true);
  Wngmsg->setFixedSize(225, 98);
  Wngmsg->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  WngOK = new QPushButton("OK", this);
  WngOK->setObjectName("WngOK");
  WngNOK = new QPushButton("Cancel", this);
  WngNOK->setObjectName("WngNOK");
  WngOK->setDefault(true);

  auto* buttons = new QVBoxLayout;
  buttons->addStretch();
  buttons->addWidget(WngOK);
  buttons->addWidget(WngNOK);
  buttons->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(WngSign);
  layout->addWidget(Wngmsg);
  layout->addLayout(buttons);
  setFixedSize(363, 105);

  connect(WngOK, &QPushButton::clicked, this, [this] {
    Confirmed = true;
    accept();
  });
  connect(WngNOK, &QPushButton::clicked, this, [this] {
    Confirmed = false;
    reject();
  });
}

void TWngForm::showEvent(QShowEvent* event) {
  // Closing by the window's close box answers no.
  Confirmed = false;
  QDialog::showEvent(event);
}

bool TWngForm::Ask(const QString& title, const QString& message) {
  setWindowTitle(title);
  Wngmsg->setText(message);
  exec();
  return Confirmed;
}

TNewImage::TNewImage(QWidget* parent) : QDialog(parent) {
  setObjectName("NewImage");
  setWindowTitle("Create new image...");
  setWindowFlags(kFixedDialog);
  const auto makeSize = [this](const char* name) {
    auto* box = new QSpinBox(this);
    box->setObjectName(name);
    box->setRange(korvane::kNewImageMinSide, korvane::kNewImageMaxSide);
    box->setValue(korvane::kNewImageDefaultSide);
    return box;
  };
  UDWidth = makeSize("UDWidth");
  UDHeight = makeSize("UDHeight");
  EdWidth = UDWidth->findChild<QLineEdit*>();
  EdHeight = UDHeight->findChild<QLineEdit*>();
  ComboBack = new QComboBox(this);
  ComboBack->setObjectName("ComboBack");
  ComboBack->addItems({"White", "Black", "Foreground color", "Background color"});
  ButOK = new QPushButton("OK", this);
  ButOK->setObjectName("ButOK");
  ButOK->setDefault(true);
  ButCancel = new QPushButton("Cancel", this);
  ButCancel->setObjectName("ButCancel");

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel("Width", this), 0, 0);
  grid->addWidget(UDWidth, 0, 1);
  grid->addWidget(new QLabel("Height", this), 1, 0);
  grid->addWidget(UDHeight, 1, 1);
  grid->addWidget(new QLabel("Background", this), 2, 0);
  grid->addWidget(ComboBack, 2, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ButOK);
  buttons->addWidget(ButCancel);
  grid->addLayout(buttons, 3, 0, 1, 2);
  grid->setSizeConstraint(QLayout::SetFixedSize);
  grid->setColumnMinimumWidth(1, 170);

  connect(ButOK, &QPushButton::clicked, this, [this] {
    Accepted = true;
    BackgroundIndex = ComboBack->currentIndex();
    accept();
  });
  connect(ButCancel, &QPushButton::clicked, this, &QDialog::reject);
}

int TNewImage::ImageWidth() const { return UDWidth->value(); }
int TNewImage::ImageHeight() const { return UDHeight->value(); }

void TNewImage::showEvent(QShowEvent* event) {
  Accepted = false;
  ComboBack->setCurrentIndex(BackgroundIndex);
  QDialog::showEvent(event);
}
