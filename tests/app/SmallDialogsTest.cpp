// The user-file save dialog, the tool form's lists and popups, and the link boxes, driven as a
// user drives them.
#include <QStandardPaths>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <cstdint>
#include <functional>
#include <vector>

#include "app/Toolform1.h"
#include "app/Tutorial.h"
#include "app/UserFiles.h"
#include "app/Usersave1.h"
#include "support/Modal.h"

namespace {

using korvane::test::WhenModal;


QByteArray FileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void PutUserFile(const QString& path, const QByteArray& description, int payloadSize, char fill) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(description.leftJustified(30, ' ', true));
  file.write(QByteArray(payloadSize, fill));
}

std::vector<std::uint8_t> Payload(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + 3 * i);
  return bytes;
}

// Receives what the link labels ask the shell to open.
class UrlCatcher : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> opened;

 public slots:
  void Open(const QUrl& url) { opened << url; }
};

void ClickAt(QWidget* widget, QPoint press, QPoint release) {
  QTest::mousePress(widget, Qt::LeftButton, {}, press);
  QTest::mouseRelease(widget, Qt::LeftButton, {}, release);
}

}  // namespace

class SmallDialogsTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir temp_;
  QString dir_;
  TToolForm* tools_ = nullptr;
  TUserSave* save_ = nullptr;
  QMenu* menu15_ = nullptr;
  QMenu* menu16_ = nullptr;
  QStringList lutList_;
  int rebuilds_ = 0;
  UrlCatcher catcher_;

  void Rebuild() {
    ++rebuilds_;
    RebuildUserLists(*tools_, dir_, {menu15_, menu16_, {}, {}, [this](const QStringList& list) {
                                       lutList_ = list;
                                     }});
  }

  // Shows the save dialog for a kind, types a name and a description and presses a button.
  void SaveThroughDialog(int kind, const QString& name, const QString& description,
                         std::vector<std::uint8_t> payload, bool ok) {
    save_->FillUserNames(*tools_, dir_, kind);
    save_->Payload = std::move(payload);
    WhenModal([=, this](QWidget* modal) {
      QCOMPARE(modal, save_);
      save_->FileName->setEditText(name);
      save_->FilterName->setText(description);
      QTest::mouseClick(ok ? save_->OKbtn : save_->Cancelbtn, Qt::LeftButton);
    });
    save_->exec();
  }

 private slots:
  // Qt's own settings (the file dialogs' history) go to a test location, not the user's.
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
  void init() {
    QVERIFY(temp_.isValid());
    dir_ = temp_.path() + "/user def";
    QVERIFY(QDir().mkpath(dir_));
    tools_ = new TToolForm;
    save_ = new TUserSave;
    menu15_ = new QMenu;
    menu16_ = new QMenu;
    save_->OnRebuild = [this] { Rebuild(); };
    rebuilds_ = 0;
    lutList_ = {"stale"};
  }

  void cleanup() {
    QDir(dir_).removeRecursively();
    delete tools_;
    delete save_;
    delete menu15_;
    delete menu16_;
  }

  void saveDialogStartsWithItsDefaults() {
    QCOMPARE(save_->windowTitle(), QString("Save 3x3 filter..."));
    QCOMPARE(save_->FileName->currentText(), QString("MyFile"));
    QCOMPARE(save_->Extension, QString(".F33"));
  }

  void okWritesTheFileAndRebuildsTheLists() {
    const auto payload = Payload(korvane::kFilterRecordSize, 7);
    SaveThroughDialog(33, "  Edges ", "A description longer than thirty bytes", payload, true);
    QVERIFY(save_->Written);
    QCOMPARE(rebuilds_, 1);
    const QByteArray file = FileBytes(dir_ + "/Edges.F33");
    QCOMPARE(file.size(), 270);
    QCOMPARE(file.left(30), QByteArray("A description longer than thir"));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(payload.data()), 240), file.mid(30));
    QCOMPARE(menu15_->actions().size(), 1);
    QCOMPARE(menu15_->actions()[0]->text(), QString("A description longer than thir"));

    // The dialog offers the saved name next time, and keeps the name last typed.
    save_->FillUserNames(*tools_, dir_, 33);
    QCOMPARE(save_->FileName->count(), 1);
    QCOMPARE(save_->FileName->itemText(0), QString("Edges"));
    QCOMPARE(save_->FileName->currentText(), QString("  Edges "));
  }

  void okStillRebuildsWhenTheFileCannotBeWritten() {
    QVERIFY(QDir(dir_).removeRecursively());
    SaveThroughDialog(77, "Lost", "x", Payload(korvane::kFilterRecordSize, 0), true);
    QVERIFY(!save_->Written);
    QCOMPARE(rebuilds_, 1);
    QVERIFY(menu16_->actions().isEmpty());
  }

  void cancelWritesNothingAndDoesNotRebuild() {
    SaveThroughDialog(44, "Curve", "Tone", Payload(korvane::kLutTableSize, 1), false);
    QCOMPARE(rebuilds_, 0);
    QVERIFY(QDir(dir_).isEmpty());
    QCOMPARE(lutList_, QStringList{"stale"});
  }

  void fillUserNamesPicksTheKind_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("3x3") << 33 << ".F33" << QStringList{"Blur", "sharp"};
    QTest::newRow("lut") << 44 << ".LUT" << QStringList{"Gamma"};
    QTest::newRow("7x7") << 77 << ".F77" << QStringList{};
  }

  void fillUserNamesPicksTheKind() {
    QFETCH(int, kind);
    QFETCH(QString, extension);
    QFETCH(QStringList, names);
    PutUserFile(dir_ + "/Blur.F33", "b", 240, 0);
    PutUserFile(dir_ + "/sharp.f33", "s", 240, 0);
    PutUserFile(dir_ + "/Gamma.LUT", "g", 1024, 0);
    save_->FileName->addItem("left over");
    save_->FillUserNames(*tools_, dir_, kind);
    QCOMPARE(save_->Extension, extension);
    QCOMPARE(save_->Directory, dir_);
    QStringList offered;
    for (int i = 0; i < save_->FileName->count(); ++i) offered << save_->FileName->itemText(i);
    QCOMPARE(offered, names);
  }

  void popupsListTheDescriptionsByPosition() {
    PutUserFile(dir_ + "/a.F33", "First", 240, 1);
    PutUserFile(dir_ + "/b.f33", "Second & more", 240, 2);
    PutUserFile(dir_ + "/c.F33", "Third, thirty characters long!", 240, 3);
    PutUserFile(dir_ + "/d.F77", "Seven", 240, 4);
    PutUserFile(dir_ + "/e.lut", "Tone", 1024, 5);
    QList<QAction*> chosen;
    const TUserMenus menus{menu15_,
                           menu16_,
                           [&chosen](QAction* a) { chosen << a; },
                           {},
                           [this](const QStringList& list) { lutList_ = list; }};
    // A second rebuild replaces the items instead of adding to them.
    RebuildUserLists(*tools_, dir_, menus);
    RebuildUserLists(*tools_, dir_, menus);

    const QStringList captions{QString("First").leftJustified(30),
                               QString("Second & more").leftJustified(30).replace("&", "&&"),
                               "Third, thirty characters long!"};
    const QList<QAction*> items = menu15_->actions();
    QCOMPARE(items.size(), 3);
    for (int i = 0; i < 3; ++i) {
      QCOMPARE(items[i]->text(), captions[i]);
      QCOMPARE(items[i]->data().toInt(), i);
      QVERIFY(items[i]->isCheckable());
      QVERIFY(items[i]->actionGroup() && items[i]->actionGroup()->isExclusive());
    }
    QCOMPARE(menu15_->findChildren<QActionGroup*>().size(), 1);
    QCOMPARE(items[0]->actionGroup(), items[2]->actionGroup());
    items[2]->trigger();
    items[1]->trigger();
    QCOMPARE(chosen, (QList<QAction*>{items[2], items[1]}));
    QVERIFY(items[1]->isChecked() && !items[2]->isChecked());

    QCOMPARE(menu16_->actions().size(), 1);
    QCOMPARE(menu16_->actions()[0]->text(), QString("Seven").leftJustified(30));
    QVERIFY(menu16_->actions()[0]->actionGroup() != items[0]->actionGroup());
    QCOMPARE(lutList_, QStringList{QString("Tone").leftJustified(30)});
    QCOMPARE(tools_->FileBox33->FileNames(), (QStringList{"a.F33", "b.f33", "c.F33"}));
  }

  void emptyDirectoryEmptiesEverything() {
    PutUserFile(dir_ + "/a.F33", "gone soon", 240, 0);
    Rebuild();
    QCOMPARE(menu15_->actions().size(), 1);
    QVERIFY(QFile::remove(dir_ + "/a.F33"));
    Rebuild();
    QVERIFY(menu15_->actions().isEmpty());
    QVERIFY(menu16_->actions().isEmpty());
    QVERIFY(lutList_.isEmpty());
    QCOMPARE(tools_->FileBox33->count(), 0);
  }

  void toolFormIsNeverShown() {
    QCOMPARE(tools_->windowTitle(), QString("Invisible form for various tools"));
    tools_->show();
    QVERIFY(!tools_->isVisible());
  }

  void tutorialLocalRowPointsAtTheIndex_data() {
    QTest::addColumn<QString>("dir");
    QTest::newRow("plain") << "/home/user/htmtutor";
    QTest::newRow("odd characters") << "/home/user/tutor #1 100%?";
  }

  void tutorialLocalRowPointsAtTheIndex() {
    QFETCH(QString, dir);
    TTutorialBox box;
    box.SetTutorialDir(dir);
    QCOMPARE(box.ProUrlLabel3->text(), dir + "/index.htm");
    QCOMPARE(box.ProUrlLabel3->Url, "file://" + dir + "/index.htm");
    QCOMPARE(box.ProUrlLabel3->Target().toLocalFile(), dir + "/index.htm");
  }

  void linkOpensOnReleaseOverItAfterAPress() {
    QDesktopServices::setUrlHandler("korvanetest", &catcher_, "Open");
    catcher_.opened.clear();
    TLinkLabel captionOnly("korvanetest://caption");
    TLinkLabel withUrl("shown text");
    withUrl.Url = "korvanetest://target";
    for (TLinkLabel* label : {&captionOnly, &withUrl}) {
      label->resize(120, 20);
      QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::blue));
      QVERIFY(label->font().underline());
    }
    // Pressed on it but released elsewhere: nothing opens.
    ClickAt(&withUrl, {5, 5}, {300, 5});
    QVERIFY(catcher_.opened.isEmpty());
    QVERIFY(!withUrl.Visited());
    // A release without a press on it opens nothing either.
    QTest::mouseRelease(&withUrl, Qt::LeftButton, {}, {5, 5});
    QVERIFY(catcher_.opened.isEmpty());

    ClickAt(&withUrl, {5, 5}, {10, 5});
    ClickAt(&captionOnly, {5, 5}, {5, 5});
    QCOMPARE(catcher_.opened,
             (QList<QUrl>{QUrl("korvanetest://target"), QUrl("korvanetest://caption")}));
    QVERIFY(withUrl.Visited());
    QVERIFY(withUrl.palette().color(QPalette::WindowText) != QColor(Qt::blue));
    QDesktopServices::unsetUrlHandler("korvanetest");
  }

  void tutorialBoxOpensTheLocalIndex() {
    QDesktopServices::setUrlHandler("file", &catcher_, "Open");
    catcher_.opened.clear();
    TTutorialBox box;
    QCOMPARE(box.windowTitle(), QString("HTML Tutorial"));
    WhenModal([&box](QWidget* modal) {
      QCOMPARE(modal, &box);
      ClickAt(box.ProUrlLabel3, {2, 2}, {2, 2});
      QTest::mouseClick(box.OKButton, Qt::LeftButton);
    });
    box.Tutorial1Click(dir_);
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(catcher_.opened, QList<QUrl>{QUrl::fromLocalFile(dir_ + "/index.htm")});
    QVERIFY(!box.isVisible());
  }

  void aboutBoxShowsNameVersionAndLinks() {
    TAboutBox box;
    QCOMPARE(box.windowTitle(), QString("About"));
    QCOMPARE(box.ProductName->text(), QString("Korvane 24"));
    QCOMPARE(box.Version->text(), QString("Version:  0.43 beta"));
    QCOMPARE(box.ProgramIcon->size(), QSize(100, 120));
    QVERIFY(!box.ProgramIcon->pixmap().isNull());
    QCOMPARE(box.MailLabel->Target(), QUrl("mailto:korvane@example.org"));
    QCOMPARE(box.HomeLabel->Target(), QUrl("https://korvane.example.org"));
    QVERIFY(box.OKButton->isDefault());
    WhenModal([&box](QWidget*) { QTest::keyClick(&box, Qt::Key_Return); });
    box.About1Click();
    QVERIFY(!box.isVisible());
  }
};

QTEST_MAIN(SmallDialogsTest)
#include "SmallDialogsTest.moc"
