// The small dialogs the shell needs from the start: the confirmation box and the new-image dialog.
#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QLineEdit;

// The program's only message box: a title, a message, OK and Cancel.
class TWngForm : public QDialog {
  Q_OBJECT

 public:
  explicit TWngForm(QWidget* parent = nullptr);

  // Sets the title and the message, shows the box modally and answers Confirmed.
  bool Ask(const QString& title, const QString& message);

  bool Confirmed = false;
  QLabel* WngSign;
  QLabel* Wngmsg;
  QPushButton* WngOK;
  QPushButton* WngNOK;

 protected:
  void showEvent(QShowEvent* event) override;
};

class TNewImage : public QDialog {
  Q_OBJECT

 public:
  explicit TNewImage(QWidget* parent = nullptr);

  int ImageWidth() const;
  int ImageHeight() const;

  QSpinBox* UDWidth;
  QSpinBox* UDHeight;
  QLineEdit* EdWidth;
  QLineEdit* EdHeight;
  QComboBox* ComboBack;
  QPushButton* ButOK;
  QPushButton* ButCancel;

  int BackgroundIndex = 0;  // kept between showings
  bool Accepted = false;

 protected:
  void showEvent(QShowEvent* event) override;
};
