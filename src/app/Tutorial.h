// The link labels and the two boxes that use them: the tutorial box and the about box.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPixmap>
#include <QString>
#include <QUrl>

class QPushButton;

// A label that shows its target underlined in blue and opens it when the mouse button is
// released over it after a press on it.
class TLinkLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TLinkLabel(const QString& caption, QWidget* parent = nullptr);

  // The target; when empty the caption is opened.
  QString Url;
  bool Visited() const { return visited_; }
  void SetVisited(bool visited);
  // What a click opens: a "file://" target names a local file, whatever characters it holds.
  QUrl Target() const;

 signals:
  void Opened(const QUrl& target);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Restyle();
  bool pressed_ = false;
  bool visited_ = false;
};

inline constexpr const char* kTutorialOnline = "https://korvane.example.org/htmtutor/index.htm";
inline constexpr const char* kHomePage = "https://korvane.example.org";
inline constexpr const char* kMailAddress = "mailto:korvane@example.org";

class TTutorialBox : public QDialog {
  Q_OBJECT

 public:
  explicit TTutorialBox(QWidget* parent = nullptr);

  TLinkLabel* ProUrlLabel1;  // download
  TLinkLabel* ProUrlLabel2;  // on-line
  TLinkLabel* ProUrlLabel3;  // local disk
  QPushButton* OKButton;

  // Points the local row at `tutorialDir`/index.htm.
  void SetTutorialDir(const QString& tutorialDir);
  // Sets the local row and shows the box modally.
  void Tutorial1Click(const QString& tutorialDir);
};

// The program icon, drawn at the given size.
QPixmap ProgramIconPixmap(int width, int height);

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(QWidget* parent = nullptr);

  QLabel* ProgramIcon;
  QLabel* ProductName;
  QLabel* Version;
  TLinkLabel* HomeLabel;
  TLinkLabel* MailLabel;
  QPushButton* OKButton;

  void About1Click() { exec(); }
};
