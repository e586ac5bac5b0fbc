// Preferences: the two working directories and the default versions of three file formats.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>

#include "app/Fileformats.h"

class QCheckBox;
class QComboBox;
class QFileDialog;
class QLineEdit;
class QPushButton;
class QTabWidget;

class TGeneralParams : public QDialog {
  Q_OBJECT

 public:
  // `formats` are the main window's kept values, edited in place.
  TGeneralParams(korvane::TFileFormats& formats, QWidget* parent = nullptr);

  QString UserFilterDir;
  QString TutorialDir;
  // The save dialog shows its preview; the check box keeps this between showings only.
  bool SavePreview() const;
  // After OK or Cancel has applied the dialog: the main window hands the values on.
  std::function<void()> OnApplied;

  QTabWidget* PageControl1;
  QLineEdit* DirectoryEdit1;
  QLineEdit* DirectoryEdit2;
  QPushButton* SelDir1_btn;
  QPushButton* SelDir2_btn;
  QCheckBox* CheckBox1;
  QComboBox* GIFCombo;
  QComboBox* BMPCombo;
  QComboBox* PCXCombo;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QFileDialog* DirDialog1;

  void OKBtnClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Browse(QString& kept, QLineEdit* edit);
  korvane::TFileFormats& formats_;
};
