// The dialog that saves a user filter or look-up table under a name and a description.
#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;
class TToolForm;

class TUserSave : public QDialog {
  Q_OBJECT

 public:
  explicit TUserSave(QWidget* parent = nullptr);

  QComboBox* FileName;
  QLineEdit* FilterName;
  QPushButton* OKbtn;
  QPushButton* Cancelbtn;

  // The kind being saved (".F33", ".F77" or ".LUT"), the directory and the bytes the caller
  // wants stored; set before showing.
  QString Extension = ".F33";
  QString Directory;
  std::vector<std::uint8_t> Payload;
  // Runs after OK has tried to write, whether or not the file could be written.
  std::function<void()> OnRebuild;
  // Whether the last OK wrote the file.
  bool Written = false;

  // Refreshes the kind's list (33, 44 or 77) from `dir` and offers its names without their
  // extensions; also takes the kind's extension and the directory.
  void FillUserNames(TToolForm& tools, const QString& dir, int kind);

  void OKbtnClick();
};
