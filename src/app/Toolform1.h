// The invisible tool form: the lists of user files of each kind, and the rebuild of the user
// popups and the look-up-table editor's list from them.
#pragma once

#include <QDialog>
#include <QListWidget>
#include <QString>
#include <QStringList>

#include <functional>

class QAction;
class QMenu;

// A list of the files in a directory that match one extension (any letter case), in the order
// the user popups number them by.
class TFileListBox : public QListWidget {
  Q_OBJECT

 public:
  TFileListBox(const QString& extension, QWidget* parent = nullptr);

  QString Directory;
  QString Extension;
  // Re-reads the directory.
  void Update();
  QStringList FileNames() const;
};

class TToolForm : public QDialog {
  Q_OBJECT

 public:
  explicit TToolForm(QWidget* parent = nullptr);

  TFileListBox* FileBox33;  // "*.f33"
  TFileListBox* FileBox77;  // "*.f77"
  TFileListBox* LUTBox;     // "*.lut"

  // The list of a save-dialog kind: 33, 44 (".LUT") or 77; null for any other.
  TFileListBox* BoxOfKind(int kind) const;

  // Never shown: it only holds the lists.
  void setVisible(bool visible) override;
};

// What the rebuild fills beside the tool form's lists.
struct TUserMenus {
  QMenu* PMenu15 = nullptr;  // 3x3 user filters, radio group 151
  QMenu* PMenu16 = nullptr;  // 7x7 user convolutions, radio group 161
  // Called with the chosen item; may stay empty when the menu's triggered signal is wired.
  std::function<void(QAction*)> P15Click;
  std::function<void(QAction*)> P16Click;
  // Receives the descriptions of the ".LUT" files for the look-up-table editor's list.
  std::function<void(const QStringList&)> FillLutList;
};

// Refreshes the three lists from `dir` and rebuilds the popups: one checkable item per file,
// captioned with its description (trailing blanks kept), data = its list position.
void RebuildUserLists(TToolForm& tools, const QString& dir, const TUserMenus& menus);

// The descriptions of the files of a list, in list order ("?" for an unreadable one).
QStringList UserDescriptions(const TFileListBox& box);
