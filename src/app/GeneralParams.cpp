#include "app/GeneralParams.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

TGeneralParams::TGeneralParams(korvane::TFileFormats& formats, QWidget* parent)
    : QDialog(parent), formats_(formats) {
  setObjectName("GeneralParams");
  setWindowTitle("General Program Parameters...");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");

  auto* directories = new QWidget;
  auto* dirGrid = new QGridLayout(directories);
  auto dirRow = [&](int row, const char* caption, QLineEdit*& edit, const char* editName,
                    QPushButton*& button, const char* buttonName) {
    dirGrid->addWidget(new QLabel(caption), row * 2, 0, 1, 2);
    edit = new QLineEdit;
    edit->setObjectName(editName);
    button = new QPushButton("...");
    button->setObjectName(buttonName);
    button->setFixedWidth(28);
    dirGrid->addWidget(edit, row * 2 + 1, 0);
    dirGrid->addWidget(button, row * 2 + 1, 1);
  };
  dirRow(0, "User defined filters directory:", DirectoryEdit1, "DirectoryEdit1", SelDir1_btn,
         "SelDir1_btn");
  dirRow(1, "HTML tutorial directory:", DirectoryEdit2, "DirectoryEdit2", SelDir2_btn,
         "SelDir2_btn");
  dirGrid->setRowStretch(4, 1);
  PageControl1->addTab(directories, "Directories");

  auto* fileFormats = new QWidget;
  auto* formGrid = new QGridLayout(fileFormats);
  CheckBox1 = new QCheckBox("SaveAs dialog with preview");
  CheckBox1->setObjectName("CheckBox1");
  CheckBox1->setChecked(true);
  formGrid->addWidget(CheckBox1, 0, 0, 1, 2);
  auto comboRow = [&](int row, const char* caption, QComboBox*& combo, const char* name,
                      const QStringList& items) {
    formGrid->addWidget(new QLabel(caption), row, 0);
    combo = new QComboBox;
    combo->setObjectName(name);
    combo->addItems(items);
    formGrid->addWidget(combo, row, 1);
  };
  comboRow(1, "GIF format version:", GIFCombo, "GIFCombo", {"GIF89a", "GIF87a"});
  comboRow(2, "BMP format version:", BMPCombo, "BMPCombo",
           {"Win OLD", "Win NEW", "OS/2 v.1.x", "OS/2 v.2.x"});
  comboRow(3, "PCX format version:", PCXCombo, "PCXCombo",
           {"Ver 1.", "Ver 2.", "Ver 3.", "Ver 4.", "Ver 5."});
  formGrid->setRowStretch(4, 1);
  PageControl1->addTab(fileFormats, "File Formats");

  OKBtn = new QPushButton("OK");
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton("Cancel");
  CancelBtn->setObjectName("CancelBtn");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PageControl1);
  layout->addLayout(buttons);
  setFixedSize(380, 230);

  DirDialog1 = new QFileDialog(this);
  DirDialog1->setObjectName("DirDialog1");
  DirDialog1->setFileMode(QFileDialog::Directory);
  DirDialog1->setOption(QFileDialog::ShowDirsOnly);

  connect(SelDir1_btn, &QPushButton::clicked, this,
          [this] { Browse(UserFilterDir, DirectoryEdit1); });
  connect(SelDir2_btn, &QPushButton::clicked, this,
          [this] { Browse(TutorialDir, DirectoryEdit2); });
  // Cancel applies the edits too: the dialog has no way back.
  connect(OKBtn, &QPushButton::clicked, this, &TGeneralParams::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &TGeneralParams::OKBtnClick);
}

bool TGeneralParams::SavePreview() const { return CheckBox1->isChecked(); }

void TGeneralParams::showEvent(QShowEvent* event) {
  DirectoryEdit1->setText(UserFilterDir);
  DirectoryEdit2->setText(TutorialDir);
  GIFCombo->setCurrentIndex(formats_.GIF_Version == "GIF89a" ? 0 : 1);
  BMPCombo->setCurrentIndex(std::clamp(formats_.BMP_Version, 0, 3));
  PCXCombo->setCurrentIndex(std::clamp(formats_.PCX_Version - 1, 0, 4));
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  QDialog::showEvent(event);
}

void TGeneralParams::Browse(QString& kept, QLineEdit* edit) {
  DirDialog1->setDirectory(edit->text());
  if (DirDialog1->exec() != QDialog::Accepted) return;
  const QStringList chosen = DirDialog1->selectedFiles();
  if (chosen.isEmpty()) return;
  kept = chosen.front();
  edit->setText(kept);
}

void TGeneralParams::OKBtnClick() {
  UserFilterDir = DirectoryEdit1->text();
  TutorialDir = DirectoryEdit2->text();
  formats_.GIF_Version = GIFCombo->currentIndex() == 1 ? "GIF87a" : "GIF89a";
  formats_.BMP_Version = BMPCombo->currentIndex();
  formats_.PCX_Version = PCXCombo->currentIndex() + 1;
  if (OnApplied) OnApplied();
  accept();
}
