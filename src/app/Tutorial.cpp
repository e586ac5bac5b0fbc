#include "app/Tutorial.h"

#include <QDesktopServices>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr Qt::WindowFlags kFixedDialog = Qt::Dialog | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                                         Qt::MSWindowsFixedSizeDialogHint;
constexpr const char* kFileScheme = "file://";

QFont SmallFont() {
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPointSize(8);
  return font;
}

}  // namespace

TLinkLabel::TLinkLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
  setCursor(Qt::PointingHandCursor);
  setTextFormat(Qt::PlainText);
  QFont underlined = font();
  underlined.setUnderline(true);
  setFont(underlined);
  Restyle();
}

void TLinkLabel::SetVisited(bool visited) {
  visited_ = visited;
  Restyle();
}

void TLinkLabel::Restyle() {
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText, visited_ ? QColor(0x80, 0x00, 0x80) : QColor(Qt::blue));
  setPalette(colours);
}

QUrl TLinkLabel::Target() const {
  const QString target = Url.isEmpty() ? text() : Url;
  // A path may hold "#", "?" or "%", which a parsed address would take for parts of its own.
  if (target.startsWith(kFileScheme, Qt::CaseInsensitive))
    return QUrl::fromLocalFile(target.mid(static_cast<int>(qstrlen(kFileScheme))));
  return QUrl(target, QUrl::TolerantMode);
}

void TLinkLabel::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  QLabel::mousePressEvent(event);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  const bool click =
      pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  QLabel::mouseReleaseEvent(event);
  if (!click) return;
  SetVisited(true);
  const QUrl target = Target();
  QDesktopServices::openUrl(target);
  emit Opened(target);
}

TTutorialBox::TTutorialBox(QWidget* parent) : QDialog(parent) {
  setObjectName("TutorialBox");
  setWindowTitle("HTML Tutorial");
  setWindowFlags(kFixedDialog);
  setFont(SmallFont());
  ProUrlLabel1 = new TLinkLabel(kTutorialOnline, this);
  ProUrlLabel1->setObjectName("ProUrlLabel1");
  ProUrlLabel2 = new TLinkLabel(kTutorialOnline, this);
  ProUrlLabel2->setObjectName("ProUrlLabel2");
  ProUrlLabel3 = new TLinkLabel("index.htm", this);
  ProUrlLabel3->setObjectName("ProUrlLabel3");
  OKButton = new QPushButton("OK", this);
  OKButton->setObjectName("OKButton");
  OKButton->setDefault(true);

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel("Download tutorial:", this), 0, 0);
  grid->addWidget(ProUrlLabel1, 0, 1);
  grid->addWidget(new QLabel("On-line tutorial:", this), 1, 0);
  grid->addWidget(ProUrlLabel2, 1, 1);
  grid->addWidget(new QLabel("Tutorial on local disk:", this), 2, 0);
  grid->addWidget(ProUrlLabel3, 2, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKButton);
  buttons->addStretch();
  grid->addLayout(buttons, 3, 0, 1, 2);
  grid->setSizeConstraint(QLayout::SetFixedSize);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TTutorialBox::SetTutorialDir(const QString& tutorialDir) {
  ProUrlLabel3->setText(tutorialDir + "/index.htm");
  ProUrlLabel3->Url = kFileScheme + ProUrlLabel3->text();
}

void TTutorialBox::Tutorial1Click(const QString& tutorialDir) {
  SetTutorialDir(tutorialDir);
  exec();
}

QPixmap ProgramIconPixmap(int width, int height) {
  QPixmap pixmap(width, height);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  // The desktop icon's picture: a framed landscape with a sun and a red brush stroke, drawn on a
  // 64-unit square centred in the box.
  const double side = std::min(width, height);
  painter.translate((width - side) / 2.0, (height - side) / 2.0);
  painter.scale(side / 64.0, side / 64.0);
  painter.setPen(QPen(QColor(0x3b, 0x3f, 0x46), 3));
  painter.setBrush(QColor(0xf4, 0xf1, 0xe8));
  painter.drawRoundedRect(QRectF(4, 8, 56, 48), 4, 4);
  QPainterPath hills;
  hills.moveTo(8, 50);
  for (const QPointF p : {QPointF(24, 30), QPointF(34, 42), QPointF(42, 34), QPointF(56, 50)})
    hills.lineTo(p);
  hills.closeSubpath();
  painter.fillPath(hills, QColor(0x3f, 0x7f, 0xbf));
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0xe8, 0xa5, 0x31));
  painter.drawEllipse(QPointF(44, 20), 6, 6);
  painter.setPen(QPen(QColor(0xc0, 0x39, 0x2b), 5, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(QPointF(14, 14), QPointF(30, 30));
  return pixmap;
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName("AboutBox");
  setWindowTitle("About");
  setWindowFlags(kFixedDialog);
  setFont(SmallFont());
  auto* panel = new QFrame(this);
  panel->setObjectName("Panel1");
  panel->setFrameShape(QFrame::StyledPanel);
  panel->setFrameShadow(QFrame::Sunken);
  ProgramIcon = new QLabel(panel);
  ProgramIcon->setObjectName("ProgramIcon");
  ProgramIcon->setFixedSize(100, 120);
  ProgramIcon->setPixmap(ProgramIconPixmap(100, 120));
  ProductName = new QLabel("Korvane 24", panel);
  ProductName->setObjectName("ProductName");
  QFont bold = font();
  bold.setBold(true);
  bold.setPointSize(12);
  ProductName->setFont(bold);
  Version = new QLabel("Version:  0.43 beta", panel);
  Version->setObjectName("Version");
  HomeLabel = new TLinkLabel(kHomePage, panel);
  HomeLabel->setObjectName("HomeLabel");
  MailLabel = new TLinkLabel(QString(kMailAddress).mid(7), panel);
  MailLabel->setObjectName("MailLabel");
  MailLabel->Url = kMailAddress;
  OKButton = new QPushButton("OK", this);
  OKButton->setObjectName("OKButton");
  OKButton->setDefault(true);

  auto* links = new QGridLayout;
  links->addWidget(new QLabel("Home: ", panel), 0, 0);
  links->addWidget(HomeLabel, 0, 1);
  links->addWidget(new QLabel("E-mail:", panel), 1, 0);
  links->addWidget(MailLabel, 1, 1);
  auto* text = new QVBoxLayout;
  text->addWidget(ProductName);
  text->addWidget(Version);
  text->addStretch();
  text->addLayout(links);
  auto* inside = new QHBoxLayout(panel);
  inside->addWidget(ProgramIcon);
  inside->addLayout(text);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(panel);
  layout->addWidget(OKButton, 0, Qt::AlignHCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}
