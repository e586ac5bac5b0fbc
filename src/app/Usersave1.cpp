#include "app/Usersave1.h"

#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/Toolform1.h"
#include "app/UserFiles.h"

namespace {
constexpr Qt::WindowFlags kFixedDialog = Qt::Dialog | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                                         Qt::MSWindowsFixedSizeDialogHint;
}  // namespace

TUserSave::TUserSave(QWidget* parent) : QDialog(parent) {
  setObjectName("UserSave");
  setWindowTitle("Save 3x3 filter...");
  setWindowFlags(kFixedDialog);
  FileName = new QComboBox(this);
  FileName->setObjectName("FileName");
  FileName->setEditable(true);
  FileName->setInsertPolicy(QComboBox::NoInsert);
  FileName->setEditText("MyFile");
  FilterName = new QLineEdit(this);
  FilterName->setObjectName("FilterName");
  OKbtn = new QPushButton("OK", this);
  OKbtn->setObjectName("OKbtn");
  OKbtn->setDefault(true);
  Cancelbtn = new QPushButton("Cancel", this);
  Cancelbtn->setObjectName("Cancelbtn");

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel("File name:", this), 0, 0);
  grid->addWidget(FileName, 0, 1);
  grid->addWidget(new QLabel("Description:", this), 1, 0);
  grid->addWidget(FilterName, 1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKbtn);
  buttons->addWidget(Cancelbtn);
  grid->addLayout(buttons, 2, 0, 1, 2);
  grid->setColumnMinimumWidth(1, 220);
  grid->setSizeConstraint(QLayout::SetFixedSize);

  connect(OKbtn, &QPushButton::clicked, this, &TUserSave::OKbtnClick);
  connect(Cancelbtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TUserSave::FillUserNames(TToolForm& tools, const QString& dir, int kind) {
  TFileListBox* box = tools.BoxOfKind(kind);
  if (!box) return;
  Directory = dir;
  Extension = QString::fromStdString(korvane::UserFileExtension(kind));
  box->Directory = dir;
  box->Update();
  // Emptying the list must not lose the name being typed.
  const QString typed = FileName->currentText();
  FileName->clear();
  for (const QString& name : box->FileNames()) FileName->addItem(name.left(name.size() - 4));
  FileName->setEditText(typed);
}

void TUserSave::OKbtnClick() {
  Written =
      korvane::WriteUserFile(QFile::encodeName(Directory).toStdString(),
                             QFile::encodeName(FileName->currentText()).toStdString(),
                             FilterName->text().toStdString(), Extension.toStdString(), Payload);
  if (OnRebuild) OnRebuild();
  accept();
}
