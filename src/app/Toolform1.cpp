#include "app/Toolform1.h"

#include <QAction>
#include <QActionGroup>
#include <QFile>
#include <QMenu>
#include <QVBoxLayout>

#include "app/UserFiles.h"

namespace {

std::string LocalPath(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

// The action group of a rebuilt popup, found again at the next rebuild.
QActionGroup* FreshGroup(QMenu* menu, const QString& name) {
  for (QActionGroup* old : menu->findChildren<QActionGroup*>(name, Qt::FindDirectChildrenOnly))
    delete old;
  auto* group = new QActionGroup(menu);
  group->setObjectName(name);
  group->setExclusive(true);
  return group;
}

void RebuildPopup(QMenu* menu, const QString& groupName, const QStringList& descriptions,
                  const std::function<void(QAction*)>& handler) {
  if (!menu) return;
  menu->clear();
  QActionGroup* group = FreshGroup(menu, groupName);
  for (int i = 0; i < descriptions.size(); ++i) {
    // A description's "&" is text, not a mnemonic.
    QString caption = descriptions[i];
    QAction* item = menu->addAction(caption.replace('&', "&&"));
    item->setCheckable(true);
    item->setData(i);
    group->addAction(item);
    if (handler)
      QObject::connect(item, &QAction::triggered, menu, [handler, item] { handler(item); });
  }
}

}  // namespace

TFileListBox::TFileListBox(const QString& extension, QWidget* parent)
    : QListWidget(parent), Extension(extension) {}

void TFileListBox::Update() {
  clear();
  for (const std::string& name : korvane::ListUserFiles(LocalPath(Directory), LocalPath(Extension)))
    addItem(QFile::decodeName(QByteArray::fromStdString(name)));
}

QStringList TFileListBox::FileNames() const {
  QStringList names;
  for (int i = 0; i < count(); ++i) names << item(i)->text();
  return names;
}

TToolForm::TToolForm(QWidget* parent) : QDialog(parent) {
  setObjectName("ToolForm");
  setWindowTitle("Invisible form for various tools");
  FileBox33 = new TFileListBox(".f33", this);
  FileBox33->setObjectName("FileBox33");
  FileBox77 = new TFileListBox(".f77", this);
  FileBox77->setObjectName("FileBox77");
  LUTBox = new TFileListBox(".lut", this);
  LUTBox->setObjectName("LUTBox");
  auto* layout = new QVBoxLayout(this);
  for (QWidget* box : {FileBox33, FileBox77, LUTBox}) layout->addWidget(box);
}

TFileListBox* TToolForm::BoxOfKind(int kind) const {
  switch (kind) {
    case 33:
      return FileBox33;
    case 44:
      return LUTBox;
    case 77:
      return FileBox77;
    default:
      return nullptr;
  }
}

void TToolForm::setVisible(bool visible) {
  if (!visible) QDialog::setVisible(false);
}

QStringList UserDescriptions(const TFileListBox& box) {
  QStringList descriptions;
  const std::string dir = LocalPath(box.Directory);
  const std::string extension = LocalPath(box.Extension);
  for (const QString& name : box.FileNames())
    descriptions << QString::fromStdString(
        korvane::ReadUserFile(dir, LocalPath(name), extension, false, nullptr));
  return descriptions;
}

void RebuildUserLists(TToolForm& tools, const QString& dir, const TUserMenus& menus) {
  for (TFileListBox* box : {tools.FileBox33, tools.FileBox77, tools.LUTBox}) {
    box->Directory = dir;
    box->Update();
  }
  RebuildPopup(menus.PMenu15, "UserGroup151", UserDescriptions(*tools.FileBox33), menus.P15Click);
  RebuildPopup(menus.PMenu16, "UserGroup161", UserDescriptions(*tools.FileBox77), menus.P16Click);
  if (menus.FillLutList) menus.FillLutList(UserDescriptions(*tools.LUTBox));
}
