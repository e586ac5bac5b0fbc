// The File menu as a user drives it: open, save, save as, revert, print, preferences, drops.
#include <QStandardPaths>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <fstream>
#include <algorithm>
#include <functional>
#include <vector>
#include <memory>

#include "app/Dialogs.h"
#include "app/GeneralParams.h"
#include "app/SDIAppForm.h"
#include "imageio/Iopreviews.h"
#include "imageio/LzwHooks.h"
#include "imageio/Vxopensavedlg.h"
#include "support/Modal.h"
#include "support/TestData.h"

using namespace korvane;

namespace {

using korvane::test::WhenModal;
using korvane::test::WhenModalIs;


// Answers the next `count` message boxes, one after the other, noting their titles and texts.
void AnswerMessage(bool ok, QStringList* seen = nullptr, int count = 1) {
  WhenModal([ok, seen, count](QWidget* modal) {
    auto* box = qobject_cast<TWngForm*>(modal);
    QVERIFY(box);
    if (seen) *seen << box->windowTitle() + "|" + box->Wngmsg->text();
    QTest::mouseClick(ok ? box->WngOK : box->WngNOK, Qt::LeftButton);
    if (count > 1) AnswerMessage(ok, seen, count - 1);
  });
}

TColor WorkPixel(TSDIAppForm& form, int x, int y) {
  const std::uint8_t* p = form.Document().WorkBitmap().ScanLine(y) + 3 * x;
  return RGBColor(p[2], p[1], p[0]);
}

// A 24-bit BMP whose pixel (x, y) is red 10x, green 20y, blue 99, or a 1-bit one of a
// checkerboard.
QString WriteBmp(const QString& path, int w, int h, bool oneBit = false) {
  TDib image;
  if (!image.SetSize(w, h)) return {};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = image.ScanLine(y) + 3 * x;
      if (oneBit) {
        p[0] = p[1] = p[2] = (x + y) % 2 ? 255 : 0;
      } else {
        p[0] = 99;
        p[1] = static_cast<std::uint8_t>(20 * y);
        p[2] = static_cast<std::uint8_t>(10 * x);
      }
    }
  TVistelIO io;
  io.SetAttachedBitmap(&image);
  if (oneBit) {
    io.Params.BitsPerSample = 1;
    io.Params.SamplesPerPixel = 1;
  }
  return io.SaveToFile(path.toStdString()) ? path : QString();
}

}  // namespace

class TestFileCommands : public QObject {
  Q_OBJECT

 private slots:
  // Qt's own settings (the file dialogs' history) go to a test location, not the user's.
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    previousDir_ = QDir::currentPath();
    QDir::setCurrent(dir_->path());
    form_ = new TSDIAppForm;
    form_->show();
    QVERIFY(QTest::qWaitForWindowActive(form_));
  }
  void cleanup() {
    delete form_;
    QDir::setCurrent(previousDir_);
  }

  void openShowsTheFileAndNamesIt() {
    const QString file = WriteBmp(dir_->filePath("five.bmp"), 5, 3);
    QVERIFY(!file.isEmpty());
    QVERIFY(form_->OpenFile(file));
    QCOMPARE(form_->windowTitle(), "Korvane_24  - " + file);
    QCOMPARE(QString::fromStdString(form_->Editor.CurrentFileName), file);
    QVERIFY(form_->Editor.DocumentLoaded);
    QCOMPARE(form_->StatusPanelText(2), QString("5 * 3"));
    QCOMPARE(WorkPixel(*form_, 4, 2), RGBColor(40, 40, 99));
    QCOMPARE(form_->RecentFiles(), QStringList{file});
    QVERIFY(form_->RecentMenu->isEnabled());
  }

  void openThroughTheDialogAndCancel() {
    const QString file = WriteBmp(dir_->filePath("pick.bmp"), 4, 4);
    WhenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    form_->OpenItemClick();
    QVERIFY(!form_->Document().HasDocument());
    QCOMPARE(form_->windowTitle(), QString("Korvane_24 "));

    WhenModal([file](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      QVERIFY(dialog);
      // As a user does: the name typed into the dialog's name field, then Enter.
      auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
      QVERIFY(name);
      name->setText(file);
      QTest::keyClick(name, Qt::Key_Return);
    });
    form_->OpenItemClick();
    QCOMPARE(QString::fromStdString(form_->Editor.CurrentFileName), file);
    QCOMPARE(form_->Document().ImageWidth(), 4);
  }

  void anUnreadableFileLeavesEverythingAndSaysWhyOnce() {
    const QString good = WriteBmp(dir_->filePath("good.bmp"), 6, 2);
    QVERIFY(form_->OpenFile(good));
    const QString title = form_->windowTitle();
    {
      std::ofstream bad(dir_->filePath("bad.bmp").toStdString(), std::ios::binary);
      bad << "BM this is not a picture";
    }
    QStringList seen;
    AnswerMessage(true, &seen);
    QVERIFY(!form_->OpenFile(dir_->filePath("bad.bmp")));
    QCOMPARE(seen.size(), 1);
    QVERIFY2(seen.front().startsWith("Error...|") && seen.front().size() > 9,
             qPrintable(seen.front()));
    QCOMPARE(form_->windowTitle(), title);
    QCOMPARE(QString::fromStdString(form_->Editor.CurrentFileName), good);
    QCOMPARE(form_->Document().ImageWidth(), 6);
    QCOMPARE(WorkPixel(*form_, 5, 1), RGBColor(50, 20, 99));
  }

  void aBlackAndWhiteFileOpensAsColour() {
    const QString file = WriteBmp(dir_->filePath("bw.bmp"), 4, 3, true);
    QVERIFY(!file.isEmpty());
    QVERIFY(form_->OpenFile(file));
    QCOMPARE(form_->Document().WorkBitmap().BitsPerPixel(), 24);
    QCOMPARE(WorkPixel(*form_, 0, 0), RGBColor(0, 0, 0));
    QCOMPARE(WorkPixel(*form_, 1, 0), RGBColor(255, 255, 255));
    QCOMPARE(WorkPixel(*form_, 3, 2), RGBColor(255, 255, 255));
  }

  void saveNeedsADocumentAndAsks() {
    QStringList seen;
    AnswerMessage(true, &seen);
    form_->SaveItemClick();
    AnswerMessage(true, &seen);
    form_->SavAsItemClick();
    const QString nothing = "Error...|Nothing loaded, nothing to save. Press any button. ";
    QCOMPARE(seen, (QStringList{nothing, nothing}));

    // After New, Save writes temp_picture.bmp where the program runs, once confirmed.
    WhenModal([](QWidget* modal) {
      QTest::mouseClick(modal->findChild<QPushButton*>("ButOK"), Qt::LeftButton);
    });
    form_->NewItemClick();
    AnswerMessage(false);
    form_->SaveItemClick();
    QVERIFY(!QFile::exists(dir_->filePath("temp_picture.bmp")));
    seen.clear();
    AnswerMessage(true, &seen);
    form_->SaveItemClick();
    QCOMPARE(seen, QStringList{"Save...|Press OK to save all changes !"});
    QVERIFY(QFile::exists(dir_->filePath("temp_picture.bmp")));
  }

  void revertReloadsTheLastSavedFile() {
    const QString file = WriteBmp(dir_->filePath("rev.bmp"), 3, 3);
    QVERIFY(form_->OpenFile(file));
    std::uint8_t* p = form_->Document().WorkBitmap().ScanLine(0);
    p[0] = p[1] = p[2] = 7;
    AnswerMessage(false);
    form_->RevertItemClick();
    QCOMPARE(WorkPixel(*form_, 0, 0), RGBColor(7, 7, 7));
    QStringList seen;
    AnswerMessage(true, &seen);
    form_->RevertItemClick();
    QCOMPARE(seen, QStringList{"Revert...|Press OK to lose all changes since your last save!"});
    QCOMPARE(WorkPixel(*form_, 0, 0), RGBColor(0, 0, 99));
  }

  void revertOfANewImageNeverSavedReportsTheMissingFile() {
    WhenModal([](QWidget* modal) {
      QTest::mouseClick(modal->findChild<QPushButton*>("ButOK"), Qt::LeftButton);
    });
    form_->NewItemClick();
    QVERIFY(form_->Document().HasDocument());
    QStringList seen;
    AnswerMessage(true, &seen, 2);  // the question, then the report
    form_->RevertItemClick();
    QVERIFY2(seen.size() == 2, qPrintable(seen.join(" / ") + " | " + form_->StatusPanelText(0)));
    QVERIFY2(seen[1].startsWith("Error...|") && !seen[1].contains("Wrong image format"),
             qPrintable(seen[1]));
    QVERIFY(form_->Document().HasDocument());
    QCOMPARE(QString::fromStdString(form_->Editor.CurrentFileName), QString(TempPictureName));
  }

  void saveAsRenamesAndAFailedWriteKeepsTheOldFile() {
    const QString file = WriteBmp(dir_->filePath("orig.bmp"), 4, 2);
    QVERIFY(form_->OpenFile(file));
    WhenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    form_->SavAsItemClick();
    QCOMPARE(QString::fromStdString(form_->Editor.CurrentFileName), file);

    const QString copy = dir_->filePath("copy.bmp");
    WhenModal([copy](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      QVERIFY(dialog);
      auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
      QVERIFY(name);
      name->setText(copy);
      QTest::keyClick(name, Qt::Key_Return);
    });
    form_->SavAsItemClick();
    QCOMPARE(form_->windowTitle(), "Korvane_24  - " + copy);
    QVERIFY(QFile::exists(copy));

    // A folder that does not exist: the reason is shown and nothing is written.
    QStringList seen;
    AnswerMessage(true, &seen);
    QVERIFY(!form_->WriteDocument(dir_->filePath("missing/out.bmp")));
    QCOMPARE(seen.size(), 1);
    QVERIFY(seen.front().startsWith("Error...|"));

    // A save stopped on the way (as Escape does) leaves the file there as it was.
    QFile saved(copy);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray before = saved.readAll();
    saved.close();
    form_->Document().WorkBitmap().ScanLine(0)[0] ^= 0xFF;
    form_->ImageIO.OnProgress = [this](void*, int) { form_->ImageIO.Aborting = true; };
    QVERIFY(!form_->WriteDocument(copy));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), before);
  }

  // As a user would: a PNG opened, saved as TIFF with LZW chosen through "Advanced", opened back.
  void pngSavedAsLzwTiffThroughAdvancedComesBack() {
    const auto data = test::TestDataDir();
    if (!data) QSKIP(test::TestDataMissing());
    const QString png = QString::fromStdString((*data / "png/good/basn2c08.png").string());
    QVERIFY(form_->OpenFile(png));
    const TDib& work = form_->Document().WorkBitmap();
    const std::vector<std::uint8_t> before(work.Rows(), work.Rows() + work.ByteSize());

    const QString tiff = dir_->filePath("saved.tif");
    WhenModalIs<TSaveVistelDialog>([tiff](TSaveVistelDialog* dialog) {
      auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
      QVERIFY(name);
      name->setText(tiff);
      WhenModalIs<TfIOPreviews>([](TfIOPreviews* options) {
        QVERIFY(options->TiffCompressionCombo->isVisible());
        options->TiffCompressionCombo->setCurrentText("LZW");
        QTest::mouseClick(options->OKButton, Qt::LeftButton);
      });
      QTest::mouseClick(dialog->AdvancedButton, Qt::LeftButton);
      QTest::keyClick(name, Qt::Key_Return);
    });
    form_->SavAsItemClick();
    QCOMPARE(form_->IOParams().TIFF_Compression, ioTIFF_LZW);
    TVistelIO probe;
    InstallLzwCoders(probe.Params);
    probe.ParamsFromFile(tiff.toStdString());
    QCOMPARE(probe.Params.FileType, ioTIFF);
    QCOMPARE(probe.Params.TIFF_Compression, ioTIFF_LZW);

    QVERIFY(form_->OpenFile(tiff));
    const TDib& back = form_->Document().WorkBitmap();
    QCOMPARE(back.Width(), 32);
    QVERIFY(std::equal(before.begin(), before.end(), back.Rows()));
  }

  void printSaysItIsNotThereYet() {
    QStringList seen;
    AnswerMessage(true, &seen);
    form_->PrintItemClick();
    QCOMPARE(seen, QStringList{"Printing...|This feature will be available in final version!"});
  }

  void preferencesApplyOnCancelToo() {
    form_->FileFormats.BMP_Version = 3;
    form_->FileFormats.PCX_Version = 2;
    WhenModal([](QWidget* modal) {
      auto* prefs = qobject_cast<TGeneralParams*>(modal);
      QVERIFY(prefs);
      QCOMPARE(prefs->windowTitle(), QString("General Program Parameters..."));
      QCOMPARE(prefs->GIFCombo->currentIndex(), 0);
      QCOMPARE(prefs->BMPCombo->currentIndex(), 3);
      QCOMPARE(prefs->PCXCombo->currentIndex(), 1);
      prefs->GIFCombo->setCurrentIndex(1);
      prefs->PCXCombo->setCurrentIndex(4);
      prefs->DirectoryEdit2->setText("/somewhere/tutor");
      QTest::mouseClick(prefs->CancelBtn, Qt::LeftButton);
    });
    form_->PreferencesItemClick();
    QCOMPARE(form_->FileFormats.GIF_Version, std::string("GIF87a"));
    QCOMPARE(form_->FileFormats.PCX_Version, 5);
    QCOMPARE(form_->IOParams().GIF_Version, std::string("GIF87a"));
    QCOMPARE(form_->IOParams().BMP_Version, ioBMP_BMOS2V2);
    QCOMPARE(form_->GeneralParams->TutorialDir, QString("/somewhere/tutor"));
  }

  void droppingAnImageOpensIt() {
    const QString file = WriteBmp(dir_->filePath("dropped.bmp"), 2, 5);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(file)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form_, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form_, &drop);
    QTRY_COMPARE(form_->Document().ImageHeight(), 5);
    QCOMPARE(QString::fromStdString(form_->Editor.CurrentFileName), file);

    QMimeData text;
    text.setUrls({QUrl::fromLocalFile(dir_->filePath("notes.txt"))});
    QDragEnterEvent other(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    other.setAccepted(false);
    QApplication::sendEvent(form_, &other);
    QVERIFY(!other.isAccepted());
  }

 private:
  std::unique_ptr<QTemporaryDir> dir_;  // a fresh folder for each test
  QString previousDir_;
  TSDIAppForm* form_ = nullptr;
};

QTEST_MAIN(TestFileCommands)
#include "FileCommandsTest.moc"
