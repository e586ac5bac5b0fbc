// The open and save dialogs and the format-options window, driven by clicks and keys: the
// preview's property lines, the filter and extension rules of the save dialog, the undo of
// "Advanced" on cancel, and what each options page writes into the parameter record.
#include <QStandardPaths>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <functional>

#include "app/SDIAppForm.h"
#include "imageio/Iopreviews.h"
#include "imageio/Stream.h"
#include "imageio/Vistelio.h"
#include "imageio/Vxopensavedlg.h"
#include "view/Vistelview.h"

using namespace korvane;

Q_DECLARE_METATYPE(TIOPreviewsPage)

namespace {

// Runs `act` on the modal window of type T once it is up; gives up (closing whatever is modal)
// after a few seconds, so a wrong window fails the test instead of hanging it.
template <typename T>
void WhenModal(std::function<void(T*)> act, int tries = 300) {
  QTimer::singleShot(10, [act, tries] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* wanted = qobject_cast<T*>(modal)) {
      act(wanted);
      return;
    }
    if (tries <= 0) {
      if (modal) modal->close();
      return;
    }
    WhenModal<T>(act, tries - 1);
  });
}

// A picture with a different colour in every pixel.
void MakePicture(TDib& dib, int width, int height) {
  QVERIFY(dib.SetSize(width, height).ok());
  for (int y = 0; y < height; ++y) {
    std::uint8_t* px = dib.ScanLine(y);
    for (int x = 0; x < width; ++x, px += 3) {
      px[0] = static_cast<std::uint8_t>(40 * x);
      px[1] = static_cast<std::uint8_t>(90 * y);
      px[2] = static_cast<std::uint8_t>(200 - 30 * x);
    }
  }
}

// Writes a BMP with the given depth and compression.
QString WriteBmp(const QTemporaryDir& dir, const QString& name, int width, int height, int bits,
                 int samples, TIOBMPCompression compression = ioBMP_UNCOMPRESSED) {
  TDib dib;
  MakePicture(dib, width, height);
  TVistelIO io;
  io.SetAttachedBitmap(&dib);
  io.Params.BitsPerSample = bits;
  io.Params.SamplesPerPixel = samples;
  io.Params.BMP_Compression = compression;
  io.Params.DpiX = 300;
  io.Params.DpiY = 150;
  const QString path = dir.filePath(name);
  io.SaveToFile(path.toStdString());
  return path;
}

QString WriteBytes(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
  const QString path = dir.filePath(name);
  QFile file(path);
  file.open(QIODevice::WriteOnly);
  file.write(bytes);
  return path;
}

QLineEdit* NameEdit(QFileDialog* dialog) { return dialog->findChild<QLineEdit*>("fileNameEdit"); }
QComboBox* TypeCombo(QFileDialog* dialog) { return dialog->findChild<QComboBox*>("fileTypeCombo"); }
QPushButton* DialogButton(QFileDialog* dialog, QDialogButtonBox::StandardButton which) {
  auto* box = dialog->findChild<QDialogButtonBox*>("buttonBox");
  return box ? box->button(which) : nullptr;
}

// Chooses a combo's item with the arrow keys, as a user would.
void ChooseByKeys(QComboBox* combo, const QString& text) {
  const int target = combo->findText(text);
  QVERIFY2(target >= 0, qPrintable(text));
  for (int guard = 0; combo->currentIndex() != target && guard < 50; ++guard)
    QTest::keyClick(combo, combo->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
  QCOMPARE(combo->currentText(), text);
}

// Replaces a spin box's text by typing.
void TypeInto(QSpinBox* spin, const QString& text) {
  QLineEdit* edit = spin->findChild<QLineEdit*>();
  edit->selectAll();
  QTest::keyClicks(edit, text);
  QTest::keyClick(edit, Qt::Key_Tab);
}

// Check boxes answer only on their indicator and text.
void Click(QWidget* widget) {
  const bool check = qobject_cast<QCheckBox*>(widget) != nullptr;
  QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier,
                    check ? QPoint(6, widget->height() / 2) : widget->rect().center());
}

// The size the core writes for `params` (BMP), or -1.
std::int64_t CoreBmpSize(const TDib& source, const TIOParamsVals& params) {
  TDib copy;
  if (!copy.Assign(source)) return -1;
  TVistelIO io;
  io.StreamHeaders = false;
  io.Params = params;
  io.SetAttachedBitmap(&copy);
  TMemoryStream stream;
  return io.SaveToStreamBMP(stream) ? stream.Size() : -1;
}

QStringList VisibleTabs(const QTabWidget* tabs) {
  QStringList out;
  for (int i = 0; i < tabs->count(); ++i)
    if (tabs->isTabVisible(i)) out << tabs->tabText(i);
  return out;
}

}  // namespace

class FileDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  // Qt's own settings (the file dialogs' history) go to a test location, not the user's.
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
  // --- filter and property lines ---------------------------------------------------------------

  void filterShowsTheDescriptions() {
    TOpenVistelDialog dialog;
    QComboBox* combo = TypeCombo(&dialog);
    QVERIFY(combo);
    const QStringList expected = {"All supported graphics", "JPEG files (*.jpg;*.jpeg)",
                                  "GIF files (*.gif)",      "TIFF files (*.tif;*.tiff)",
                                  "PCX files (*.pcx)",      "PNG files (*.png)",
                                  "BMP files (*.bmp)"};
    QStringList shown;
    for (int i = 0; i < combo->count(); ++i) shown << combo->itemText(i);
    QCOMPARE(shown, expected);
    const std::vector<TFilterEntry> entries = ParseFilter(kVistelFilter);
    QCOMPARE(entries.front().Extensions,
             QStringList({"jpg", "jpeg", "gif", "tif", "tiff", "pcx", "png", "bmp"}));
    QCOMPARE(entries[3].Extensions, QStringList({"tif", "tiff"}));
  }

  void propertyLines_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("compression");
    QTest::addColumn<QString>("colors");
    QTest::addColumn<QString>("memory");
    QTest::addColumn<QString>("type");
    QTest::newRow("3x2 24-bit") << 3 << 2 << 8 << 3 << int(ioBMP_UNCOMPRESSED)
                                << "16777216 colors (24 bit)" << "24 bytes"
                                << "Windows Bitmap (BMP) Uncompressed";
    QTest::newRow("3x2 black and white") << 3 << 2 << 1 << 1 << int(ioBMP_UNCOMPRESSED)
                                         << "2 colors (1 bit)" << "8 bytes"
                                         << "Windows Bitmap (BMP) Uncompressed";
    QTest::newRow("3x2 256 colours RLE") << 3 << 2 << 8 << 1 << int(ioBMP_RLE)
                                         << "256 colors (8 bit)" << "24 bytes"
                                         << "Windows Bitmap (BMP) RLE";
    QTest::newRow("40x30 in Kb") << 40 << 30 << 8 << 3 << int(ioBMP_UNCOMPRESSED)
                                 << "16777216 colors (24 bit)" << "3 Kb"
                                 << "Windows Bitmap (BMP) Uncompressed";
  }

  void propertyLines() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, bits);
    QFETCH(int, samples);
    QFETCH(int, compression);
    QFETCH(QString, colors);
    QFETCH(QString, memory);
    QFETCH(QString, type);
    QTemporaryDir dir;
    const QString path = WriteBmp(dir, "small.bmp", width, height, bits, samples,
                                  static_cast<TIOBMPCompression>(compression));
    const qint64 bytes = QFileInfo(path).size();
    QVERIFY(bytes > 0);
    const QString file = bytes > 1023 ? QString("%1 Kb").arg(bytes / 1024)
                                      : QString("%1 bytes").arg(bytes);

    TOpenVistelDialog dialog;
    dialog.SelectionChange(path);
    QCOMPARE(dialog.PixelSizeLabel->text(), QString("%1 x %2 pixel").arg(width).arg(height));
    QCOMPARE(dialog.DpiLabel->text(), QString("300 x 150 dpi"));
    QCOMPARE(dialog.ColorsLabel->text(), colors);
    QCOMPARE(dialog.FileSizeLabel->text(), "File: " + file + "   Mem: " + memory);
    QCOMPARE(dialog.FileTypeLabel->text(), type);
    QVERIFY(dialog.ZoomCombo->isEnabled());
    QVERIFY(dialog.PreviewView->GetFBitmap() != nullptr);
    QCOMPARE(dialog.PreviewView->GetFBitmap()->Width(), width);
  }

  void twentyFourBitFileSize() {
    QTemporaryDir dir;
    TOpenVistelDialog dialog;
    dialog.SelectionChange(WriteBmp(dir, "small.bmp", 3, 2, 8, 3));
    QCOMPARE(dialog.FileSizeLabel->text(), QString("File: 78 bytes   Mem: 24 bytes"));
  }

  void gifFramesAreCounted_data() {
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("memory");
    QTest::newRow("one") << 1 << "1 x 1 pixel" << "4 bytes";
    QTest::newRow("three") << 3 << "1 x 1 pixel , 3 frames" << "12 bytes";
  }

  void gifFramesAreCounted() {
    QFETCH(int, frames);
    QFETCH(QString, size);
    QFETCH(QString, memory);
    // A 1 x 1 screen with a black and white table and `frames` images of one black pixel.
    QByteArray gif("GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xFF\xFF\xFF", 19);
    for (int i = 0; i < frames; ++i)
      gif += QByteArray("\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00", 15);
    gif += '\x3B';
    QTemporaryDir dir;
    const QString path = WriteBytes(dir, "frames.gif", gif);
    TOpenVistelDialog dialog;
    dialog.SelectionChange(path);
    QCOMPARE(dialog.PixelSizeLabel->text(), size);
    QCOMPARE(dialog.ColorsLabel->text(), QString("2 colors (1 bit)"));
    QCOMPARE(dialog.FileSizeLabel->text(),
             QString("File: %1 bytes   Mem: %2").arg(gif.size()).arg(memory));
    QCOMPARE(dialog.FileTypeLabel->text(), QString("CompuServe Bitmap (GIF)"));
    QVERIFY(!dialog.PlayButton->isEnabled());
    QCOMPARE(dialog.PlayButton->toolTip(), frames > 1 ? QString("3 frames") : QString());
  }

  void linesOfSeveralFramesAndWideRecords() {
    TIOParamsVals p;
    p.Width = 3;
    p.Height = 2;
    p.DpiX = 72;
    p.DpiY = 72;
    p.FileType = ioGIF;
    p.BitsPerSample = 8;
    p.SamplesPerPixel = 1;
    const TPreviewLines three = FormatPreviewLines(p, 1024, 3);
    QCOMPARE(three.PixelSize, QString("3 x 2 pixel , 3 frames"));
    QCOMPARE(three.Sizes, QString("File: 1 Kb   Mem: 72 bytes"));
    QCOMPARE(three.FileType, QString("CompuServe Bitmap (GIF)"));
    // 48 bits and a 65535 x 65535 picture stay exact.
    p.BitsPerSample = 16;
    p.SamplesPerPixel = 3;
    p.Width = 65535;
    p.Height = 65535;
    const TPreviewLines wide = FormatPreviewLines(p, 1023, 1);
    QCOMPARE(wide.Colors, QString("281474976710656 colors (48 bit)"));
    QCOMPARE(wide.Sizes, QString("File: 1023 bytes   Mem: %1 Kb")
                             .arg(std::int64_t{196608} * 65535 / 1024));
  }

  void unreadableFileClearsTheFields_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("truncated BMP") << "broken.bmp" << QByteArray("BM\x10\0\0\0garbage", 13);
    QTest::newRow("text as GIF") << "note.gif" << QByteArray("hello, not a picture");
    QTest::newRow("unknown extension") << "note.txt" << QByteArray("hello");
    QTest::newRow("empty PNG") << "empty.png" << QByteArray();
  }

  void unreadableFileClearsTheFields() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    TOpenVistelDialog dialog;
    dialog.SelectionChange(WriteBmp(dir, "good.bmp", 3, 2, 8, 3));
    QVERIFY(!dialog.PixelSizeLabel->text().isEmpty());
    dialog.SelectionChange(WriteBytes(dir, name, bytes));
    for (QLabel* label : {dialog.PixelSizeLabel, dialog.DpiLabel, dialog.ColorsLabel,
                          dialog.FileSizeLabel, dialog.FileTypeLabel})
      QCOMPARE(label->text(), QString());
    QVERIFY(dialog.PreviewView->GetFBitmap() == nullptr);
    QVERIFY(!dialog.ZoomCombo->isEnabled());
    // Still usable: the next good file shows again.
    dialog.SelectionChange(dir.filePath("good.bmp"));
    QCOMPARE(dialog.PixelSizeLabel->text(), QString("3 x 2 pixel"));
  }

  void selectingInTheDialogPreviews() {
    QTemporaryDir dir;
    const QString path = WriteBmp(dir, "small.bmp", 3, 2, 8, 3);
    TOpenVistelDialog dialog;
    dialog.SetInitialDir(dir.path());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // Click the file in the list once the folder has been read.
    auto* list = dialog.findChild<QListView*>("listView");
    QVERIFY(list);
    QModelIndex item;
    QTRY_VERIFY((item = list->model()->index(0, 0, list->rootIndex())).isValid());
    QCOMPARE(item.data().toString(), QString("small.bmp"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualRect(item).center());
    QTRY_COMPARE(dialog.PixelSizeLabel->text(), QString("3 x 2 pixel"));
    QCOMPARE(QFileInfo(dialog.GetFileName()).fileName(), QString());  // nothing chosen yet
  }

  void previewCheckSwitchesThePreview() {
    QTemporaryDir dir;
    const QString path = WriteBmp(dir, "small.bmp", 3, 2, 8, 3);
    TOpenVistelDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.SelectionChange(path);
    Click(dialog.PreviewCheck);
    QVERIFY(!dialog.PreviewCheck->isChecked());
    QCOMPARE(dialog.PixelSizeLabel->text(), QString());
    QVERIFY(dialog.PreviewView->GetFBitmap() == nullptr);
    dialog.SelectionChange(path);
    QCOMPARE(dialog.PixelSizeLabel->text(), QString());
    Click(dialog.PreviewButton);
    QCOMPARE(dialog.PixelSizeLabel->text(), QString("3 x 2 pixel"));
    QVERIFY(!dialog.PreviewCheck->isChecked());
    Click(dialog.PreviewCheck);
    QCOMPARE(dialog.ColorsLabel->text(), QString("16777216 colors (24 bit)"));
  }

  void zoomCombo_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("zoom");
    for (int percent : {25, 50, 75, 100, 125, 150, 175, 200, 300, 400})
      QTest::newRow(qPrintable(QString("%1%").arg(percent))) << QString("%1%").arg(percent)
                                                            << percent;
    QTest::newRow("Fit") << "Fit" << -1;
  }

  void zoomCombo() {
    QFETCH(QString, entry);
    QFETCH(int, zoom);
    QTemporaryDir dir;
    TOpenVistelDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.SelectionChange(WriteBmp(dir, "wide.bmp", 40, 20, 8, 3));
    QCOMPARE(dialog.ZoomCombo->count(), 11);
    dialog.ZoomCombo->setCurrentIndex(dialog.ZoomCombo->findText(entry) == 5 ? 6 : 5);
    ChooseByKeys(dialog.ZoomCombo, entry);
    if (zoom < 0) {
      const TVistelView* view = dialog.PreviewView;
      zoom = std::min(static_cast<int>(view->width() / 0.4), static_cast<int>(view->height() / 0.2));
    }
    QCOMPARE(dialog.PreviewView->Zoom(), zoom);
  }

  void openExecuteGivesTheChosenFile() {
    QTemporaryDir dir;
    const QString path = WriteBmp(dir, "small.bmp", 3, 2, 8, 3);
    TOpenVistelDialog dialog;
    dialog.SetInitialDir(dir.path());
    WhenModal<TOpenVistelDialog>([](TOpenVistelDialog* d) {
      NameEdit(d)->setText("small.bmp");
      Click(DialogButton(d, QDialogButtonBox::Open));
    });
    QVERIFY(dialog.Execute());
    QCOMPARE(QFileInfo(dialog.GetFileName()).canonicalFilePath(),
             QFileInfo(path).canonicalFilePath());

    WhenModal<TOpenVistelDialog>(
        [](TOpenVistelDialog* d) { Click(DialogButton(d, QDialogButtonBox::Cancel)); });
    QVERIFY(!dialog.Execute());
    QCOMPARE(dialog.GetFileName(), QString());
  }

  // --- save dialog -----------------------------------------------------------------------------

  void missingExtensionComesFromTheFilter_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");
    QTest::newRow("PNG") << "PNG files (*.png)" << "picture" << "picture.png";
    QTest::newRow("JPEG") << "JPEG files (*.jpg;*.jpeg)" << "picture" << "picture.jpg";
    QTest::newRow("TIFF") << "TIFF files (*.tif;*.tiff)" << "picture" << "picture.tif";
    QTest::newRow("all: the default") << "All supported graphics" << "picture" << "picture.bmp";
    QTest::newRow("own extension kept") << "PNG files (*.png)" << "picture.gif" << "picture.gif";
  }

  void missingExtensionComesFromTheFilter() {
    QFETCH(QString, filter);
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    QTemporaryDir dir;
    TSaveVistelDialog dialog;
    dialog.SetInitialDir(dir.path());
    WhenModal<TSaveVistelDialog>([filter, typed](TSaveVistelDialog* d) {
      ChooseByKeys(TypeCombo(d), filter);
      NameEdit(d)->setText(typed);
      Click(DialogButton(d, QDialogButtonBox::Save));
    });
    QVERIFY(dialog.Execute());
    QCOMPARE(QFileInfo(dialog.GetFileName()).fileName(), saved);
    QCOMPARE(QFileInfo(dialog.GetFileName()).absolutePath(), QFileInfo(dir.path()).absoluteFilePath());
  }

  void changingTheFilterReplacesTheExtension() {
    QTemporaryDir dir;
    TSaveVistelDialog dialog;
    dialog.SetInitialDir(dir.path());
    QStringList seen;
    WhenModal<TSaveVistelDialog>([&seen](TSaveVistelDialog* d) {
      NameEdit(d)->setText("holiday.photo.bmp");
      for (const char* filter : {"PNG files (*.png)", "JPEG files (*.jpg;*.jpeg)",
                                 "All supported graphics", "PCX files (*.pcx)"}) {
        ChooseByKeys(TypeCombo(d), filter);
        seen << NameEdit(d)->text();
      }
      NameEdit(d)->setText("noextension");
      ChooseByKeys(TypeCombo(d), "GIF files (*.gif)");
      seen << NameEdit(d)->text();
      Click(DialogButton(d, QDialogButtonBox::Cancel));
    });
    QVERIFY(!dialog.Execute());
    QCOMPARE(seen, QStringList({"holiday.photo.png", "holiday.photo.jpg", "holiday.photo.bmp",
                                "holiday.photo.pcx", "noextension"}));
  }

  void overwriteIsConfirmed() {
    QTemporaryDir dir;
    WriteBmp(dir, "old.bmp", 3, 2, 8, 3);
    TSaveVistelDialog dialog;
    QVERIFY(!dialog.testOption(QFileDialog::DontConfirmOverwrite));
    dialog.SetInitialDir(dir.path());
    bool asked = false;
    WhenModal<TSaveVistelDialog>([&asked](TSaveVistelDialog* d) {
      // The question comes up while the click is handled; answer it "No".
      WhenModal<QMessageBox>([&asked](QMessageBox* box) {
        asked = true;
        Click(box->button(QMessageBox::No));
      });
      ChooseByKeys(TypeCombo(d), "BMP files (*.bmp)");
      NameEdit(d)->setText("old");
      Click(DialogButton(d, QDialogButtonBox::Save));
      QVERIFY(d->isVisible());
      Click(DialogButton(d, QDialogButtonBox::Cancel));
    });
    QVERIFY(!dialog.Execute());
    QVERIFY(asked);
  }

  void exOptionsShowPanelParts_data() {
    QTest::addColumn<bool>("preview");
    QTest::addColumn<bool>("advanced");
    QTest::newRow("both") << true << true;
    QTest::newRow("preview only") << true << false;
    QTest::newRow("advanced only") << false << true;
    QTest::newRow("neither") << false << false;
  }

  void exOptionsShowPanelParts() {
    QFETCH(bool, preview);
    QFETCH(bool, advanced);
    TSaveVistelDialog dialog;
    dialog.ExOptions.clear();
    if (preview) dialog.ExOptions.insert(sdShowPreview);
    if (advanced) dialog.ExOptions.insert(sdShowAdvanced);
    bool previewShown = !preview, advancedShown = !advanced;
    WhenModal<TSaveVistelDialog>([&](TSaveVistelDialog* d) {
      previewShown = d->PreviewCheck->isVisible();
      advancedShown = d->AdvancedButton->isVisible();
      Click(DialogButton(d, QDialogButtonBox::Cancel));
    });
    QVERIFY(!dialog.Execute());
    QCOMPARE(previewShown, preview);
    QCOMPARE(advancedShown, advanced);
  }

  void advancedChangesAreUndoneOnCancel_data() {
    QTest::addColumn<bool>("save");
    QTest::newRow("cancelled") << false;
    QTest::newRow("saved") << true;
  }

  void advancedChangesAreUndoneOnCancel() {
    QFETCH(bool, save);
    QTemporaryDir dir;
    TDib picture;
    MakePicture(picture, 3, 2);
    TVistelIO io;
    io.SetAttachedBitmap(&picture);
    io.Params.JPEG_Quality = 50;
    TSaveVistelDialog dialog;
    dialog.AttachedVistelIO = &io;
    dialog.SetInitialDir(dir.path());
    int qualityInside = 0;
    QStringList tabs;
    WhenModal<TSaveVistelDialog>([&, save](TSaveVistelDialog* d) {
      NameEdit(d)->setText("photo.jpg");
      WhenModal<TfIOPreviews>([&tabs](TfIOPreviews* options) {
        tabs = VisibleTabs(options->PageControl);
        TypeInto(options->JpegQualityEdit, "90");
        Click(options->OKButton);
      });
      Click(d->AdvancedButton);
      qualityInside = io.Params.JPEG_Quality;
      Click(DialogButton(d, save ? QDialogButtonBox::Save : QDialogButtonBox::Cancel));
    });
    QCOMPARE(dialog.Execute(), save);
    QCOMPARE(tabs, QStringList({"JPEG"}));
    QCOMPARE(qualityInside, 90);
    QCOMPARE(io.Params.JPEG_Quality, save ? 90 : 50);
  }

  void advancedForTifShowsOnlyTiff() {
    TDib picture;
    MakePicture(picture, 3, 2);
    TVistelIO io;
    io.SetAttachedBitmap(&picture);
    io.Params.JPEG_Quality = 77;
    io.Params.JPEG_DCTMethod = ioJPEG_FLOAT;
    io.Params.JPEG_Smooth = 12;
    io.Params.JPEG_OptimalHuffman = true;
    io.Params.JPEG_Progressive = true;
    io.Params.JPEG_ColorSpace = ioJPEG_GRAYLEV;
    const TIOParamsVals before = io.Params;
    TSaveVistelDialog dialog;
    dialog.AttachedVistelIO = &io;
    QStringList tabs;
    QTabWidget::TabPosition position = QTabWidget::North;
    TIOParamsVals inside;
    WhenModal<TSaveVistelDialog>([&](TSaveVistelDialog* d) {
      NameEdit(d)->setText("scan.TIF");
      WhenModal<TfIOPreviews>([&](TfIOPreviews* options) {
        tabs = VisibleTabs(options->PageControl);
        position = options->PageControl->tabPosition();
        ChooseByKeys(options->TiffCompressionCombo, "LZW");
        Click(options->OKButton);
      });
      Click(d->AdvancedButton);
      inside = io.Params;
      Click(DialogButton(d, QDialogButtonBox::Cancel));
    });
    QVERIFY(!dialog.Execute());
    QCOMPARE(tabs, QStringList({"TIFF"}));
    QCOMPARE(position, QTabWidget::South);
    QCOMPARE(inside.TIFF_Compression, ioTIFF_LZW);
    QCOMPARE(inside.JPEG_Quality, before.JPEG_Quality);
    QCOMPARE(inside.JPEG_DCTMethod, before.JPEG_DCTMethod);
    QCOMPARE(inside.JPEG_Smooth, before.JPEG_Smooth);
    QCOMPARE(inside.JPEG_OptimalHuffman, before.JPEG_OptimalHuffman);
    QCOMPARE(inside.JPEG_Progressive, before.JPEG_Progressive);
    QCOMPARE(inside.JPEG_ColorSpace, before.JPEG_ColorSpace);
    QCOMPARE(io.Params.TIFF_Compression, before.TIFF_Compression);
  }

  void advancedPageFollowsTheName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("tab");
    QTest::newRow("jpeg") << "a.jpeg" << "JPEG";
    QTest::newRow("tiff") << "a.tiff" << "TIFF";
    QTest::newRow("gif") << "a.gif" << "GIF";
    QTest::newRow("pcx") << "a.pcx" << "PCX";
    QTest::newRow("png") << "a.PNG" << "PNG";
    QTest::newRow("bmp") << "a.bmp" << "BMP";
    QTest::newRow("none: the default") << "a" << "BMP";
    QTest::newRow("unknown: written as BMP") << "a.xyz" << "BMP";
  }

  void advancedPageFollowsTheName() {
    QFETCH(QString, name);
    QFETCH(QString, tab);
    TVistelIO io;
    TSaveVistelDialog dialog;
    dialog.AttachedVistelIO = &io;
    QStringList tabs;
    WhenModal<TSaveVistelDialog>([&](TSaveVistelDialog* d) {
      NameEdit(d)->setText(name);
      WhenModal<TfIOPreviews>([&](TfIOPreviews* options) {
        tabs = VisibleTabs(options->PageControl);
        Click(options->CancelButton);
      });
      Click(d->AdvancedButton);
      Click(DialogButton(d, QDialogButtonBox::Cancel));
    });
    QVERIFY(!dialog.Execute());
    QCOMPARE(tabs, QStringList({tab}));
  }

  // --- format-options window -------------------------------------------------------------------

  void windowCaptionAndCaptions() {
    TVistelIO io;
    TfIOPreviews options(io);
    QCOMPARE(options.windowTitle(), QString("Paramters preview"));
    QCOMPARE(options.PreviewButton->text(), QString("&Preview"));
    QCOMPARE(options.LockPreviewButton->text(), QString("Lock preview"));
    QVERIFY(options.LockPreviewButton->isCheckable());
    QVERIFY(!options.LockPreviewButton->isChecked());
    QStringList labels;
    for (QLabel* label : options.findChildren<QLabel*>()) labels << label->text();
    for (const char* caption :
         {"Source:", "Result:", "Compressed size:", "Original size:", "&Quality:", "&DCT method:",
          "&Smoothing factor:", "P&hotometric:", "&Compression:", "&Image index:", "C&olors:",
          "H&oriz. Position (inch):", "&Vert. Position (inch):", "&Name:", "&Description:",
          "P&age name:", "Page N&umber:", "o&f", "&Colors:", "T&ransparent color:",
          "&Background:", "&Delay time:", "1/100 s", "&Horiz. Position:", "&Vert. Position:",
          "&Filter", "Co&mpression"})
      QVERIFY2(labels.contains(caption), caption);
    QStringList items;
    for (int i = 0; i < options.TiffPhotometCombo->count(); ++i)
      items << options.TiffPhotometCombo->itemText(i);
    QCOMPARE(items, QStringList({"WHITEISZERO", "BLACKISZERO", "RGB", "RGBPALETTE", "TRANSPMASK",
                                 "CMYK", "YCBCR", "CIELAB"}));
    items.clear();
    for (int i = 0; i < options.PngCompressionCombo->count(); ++i)
      items << options.PngCompressionCombo->itemText(i);
    QCOMPARE(items, QStringList({"NONE", "1", "2", "3", "4", "5", "6", "7", "8", "MAX"}));
  }

  void colourChoices_data() {
    QTest::addColumn<TIOPreviewsPage>("page");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("samples");
    constexpr int kUnchanged = 7;  // GIF writes BitsPerSample alone
    const struct {
      const char* name;
      TIOPreviewsPage page;
      const char* choice;
      int bits, samples;
    } rows[] = {
        {"BMP B/W", ppBMP, "B/W", 1, 1},
        {"BMP 16", ppBMP, "16", 4, 1},
        {"BMP 256", ppBMP, "256", 8, 1},
        {"BMP 65536", ppBMP, "65536", 5, 3},
        {"BMP 16M", ppBMP, "16M", 8, 3},
        {"BMP 16M (32bit)", ppBMP, "16M (32bit)", 8, 3},
        {"TIFF B/W", ppTIFF, "B/W", 1, 1},
        {"TIFF 16", ppTIFF, "16", 4, 1},
        {"TIFF 256", ppTIFF, "256", 8, 1},
        {"TIFF 65536", ppTIFF, "65536", 16, 1},
        {"TIFF 16M", ppTIFF, "16M", 8, 3},
        {"PCX B/W", ppPCX, "B/W", 1, 1},
        {"PCX 16", ppPCX, "16", 4, 1},
        {"PCX 256", ppPCX, "256", 8, 1},
        {"PCX 16M", ppPCX, "16M", 8, 3},
        {"PNG B/W", ppPNG, "B/W", 1, 1},
        {"PNG 256", ppPNG, "256", 8, 1},
        {"PNG 16M", ppPNG, "16M", 8, 3},
        {"GIF B/W", ppGIF, "B/W", 1, kUnchanged},
        {"GIF 4", ppGIF, "4", 2, kUnchanged},
        {"GIF 16", ppGIF, "16", 4, kUnchanged},
        {"GIF 128", ppGIF, "128", 7, kUnchanged},
        {"GIF 256", ppGIF, "256", 8, kUnchanged},
    };
    for (const auto& r : rows)
      QTest::newRow(r.name) << r.page << QString(r.choice) << r.bits << r.samples;
  }

  void colourChoices() {
    QFETCH(TIOPreviewsPage, page);
    QFETCH(QString, choice);
    QFETCH(int, bits);
    QFETCH(int, samples);
    TVistelIO io;
    io.Params.BitsPerSample = 3;
    io.Params.SamplesPerPixel = 7;
    TfIOPreviews options(io);
    options.SetPage(page);
    QComboBox* combo = page == ppBMP    ? options.BmpColorsCombo
                       : page == ppTIFF ? options.TiffColorsCombo
                       : page == ppPCX  ? options.PcxColorsCombo
                       : page == ppPNG  ? options.PngColorsCombo
                                        : options.GifColorsCombo;
    QVERIFY(combo->isEnabled());
    ChooseByKeys(combo, choice);
    Click(options.OKButton);
    QCOMPARE(options.result(), int(QDialog::Accepted));
    QCOMPARE(io.Params.BitsPerSample, bits);
    QCOMPARE(io.Params.SamplesPerPixel, samples);
  }

  void recordDepthShownOnOpening_data() {
    QTest::addColumn<TIOPreviewsPage>("page");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("samples");
    QTest::addColumn<QString>("shown");
    QTest::newRow("BMP 24") << ppBMP << 8 << 3 << "16M";
    QTest::newRow("BMP 16-bit file") << ppBMP << 5 << 3 << "65536";
    QTest::newRow("TIFF 16 grey") << ppTIFF << 16 << 1 << "65536";
    QTest::newRow("PNG 4-bit: next larger") << ppPNG << 4 << 1 << "256";
    QTest::newRow("PCX 2-bit: next larger") << ppPCX << 2 << 1 << "16";
    QTest::newRow("GIF 24: its most") << ppGIF << 8 << 3 << "256";
    QTest::newRow("GIF 3 bits") << ppGIF << 3 << 1 << "8";
  }

  void recordDepthShownOnOpening() {
    QFETCH(TIOPreviewsPage, page);
    QFETCH(int, bits);
    QFETCH(int, samples);
    QFETCH(QString, shown);
    TVistelIO io;
    io.Params.BitsPerSample = bits;
    io.Params.SamplesPerPixel = samples;
    TfIOPreviews options(io);
    options.SetPage(page);
    QComboBox* combo = page == ppBMP    ? options.BmpColorsCombo
                       : page == ppTIFF ? options.TiffColorsCombo
                       : page == ppPCX  ? options.PcxColorsCombo
                       : page == ppPNG  ? options.PngColorsCombo
                                        : options.GifColorsCombo;
    QCOMPARE(combo->currentText(), shown);
  }

  void tiffPhotometricForcesTheColours_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("photometric");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("samples");
    QTest::newRow("WhiteIsZero") << "16M" << "WHITEISZERO" << "B/W" << false << 1 << 1;
    QTest::newRow("BlackIsZero") << "256" << "BLACKISZERO" << "B/W" << false << 1 << 1;
    QTest::newRow("CMYK") << "B/W" << "CMYK" << "16M" << false << 8 << 3;
    QTest::newRow("YCbCr") << "16" << "YCBCR" << "16M" << false << 8 << 3;
    QTest::newRow("CIE Lab") << "256" << "CIELAB" << "16M" << false << 8 << 3;
    QTest::newRow("RGB after B/W") << "B/W" << "RGB" << "16M" << true << 8 << 3;
    QTest::newRow("palette keeps 256") << "256" << "RGBPALETTE" << "256" << true << 8 << 1;
    QTest::newRow("mask keeps 16") << "16" << "TRANSPMASK" << "16" << true << 4 << 1;
    QTest::newRow("mask after B/W") << "B/W" << "TRANSPMASK" << "16M" << true << 8 << 3;
  }

  void tiffPhotometricForcesTheColours() {
    QFETCH(QString, before);
    QFETCH(QString, photometric);
    QFETCH(QString, shown);
    QFETCH(bool, enabled);
    QFETCH(int, bits);
    QFETCH(int, samples);
    TVistelIO io;
    TfIOPreviews options(io);
    options.SetPage(ppTIFF);
    // Start from a photometric interpretation that leaves the box alone.
    const int start = before == "B/W" ? int(ioTIFF_WHITEISZERO) : int(ioTIFF_RGB);
    options.TiffPhotometCombo->setCurrentIndex(start);
    options.TiffPhotometChange(false);
    options.TiffColorsCombo->setEnabled(true);
    options.TiffColorsCombo->setCurrentText(before);
    QCOMPARE(options.TiffColorsCombo->currentText(), before);
    ChooseByKeys(options.TiffPhotometCombo, photometric);
    QCOMPARE(options.TiffColorsCombo->currentText(), shown);
    QCOMPARE(options.TiffColorsCombo->isEnabled(), enabled);
    Click(options.OKButton);
    QCOMPARE(io.Params.BitsPerSample, bits);
    QCOMPARE(io.Params.SamplesPerPixel, samples);
    QCOMPARE(options.TiffPhotometCombo->currentText(), photometric);
    QCOMPARE(int(io.Params.TIFF_PhotometInterpret), options.TiffPhotometCombo->currentIndex());
  }

  void tiffRecordWithCmykOpensForced() {
    TVistelIO io;
    io.Params.TIFF_PhotometInterpret = ioTIFF_CMYK;
    io.Params.BitsPerSample = 8;
    io.Params.SamplesPerPixel = 1;
    TfIOPreviews options(io);
    options.SetPage(ppTIFF);
    QCOMPARE(options.TiffColorsCombo->currentText(), QString("16M"));
    QVERIFY(!options.TiffColorsCombo->isEnabled());
  }

  void jpegPageWritesItsFields() {
    TVistelIO io;
    TIOParamsVals before = io.Params;
    TfIOPreviews options(io);
    options.SetPage(ppJPEG);
    QCOMPARE(options.JpegQualityEdit->value(), 50);
    QCOMPARE(options.JpegQualityTrack->value(), 50);
    TypeInto(options.JpegQualityEdit, "75");
    QCOMPARE(options.JpegQualityTrack->value(), 75);
    ChooseByKeys(options.JpegDCTCombo, "FLOAT");
    TypeInto(options.JpegSmoothEdit, "10");
    Click(options.JpegOptimalCheck);
    Click(options.JpegProgressiveCheck);
    ChooseByKeys(options.JpegPhotometCombo, "GrayScale");
    // Pages not shown keep their fields whatever their controls say.
    options.BmpCompressionCombo->setCurrentIndex(1);
    options.PngCompressionCombo->setCurrentIndex(9);
    Click(options.OKButton);
    QCOMPARE(io.Params.JPEG_Quality, 75);
    QCOMPARE(io.Params.JPEG_DCTMethod, ioJPEG_FLOAT);
    QCOMPARE(io.Params.JPEG_Smooth, 10);
    QVERIFY(io.Params.JPEG_OptimalHuffman);
    QVERIFY(io.Params.JPEG_Progressive);
    QCOMPARE(io.Params.JPEG_ColorSpace, ioJPEG_GRAYLEV);
    QCOMPARE(io.Params.BMP_Compression, before.BMP_Compression);
    QCOMPARE(io.Params.PNG_Compression, before.PNG_Compression);
    QCOMPARE(io.Params.BitsPerSample, before.BitsPerSample);
    QCOMPARE(io.Params.SamplesPerPixel, before.SamplesPerPixel);
  }

  void jpegQualityZeroIsTheCoarsest() {
    TVistelIO io;
    TfIOPreviews options(io);
    options.SetPage(ppJPEG);
    options.JpegQualityTrack->setFocus();
    QTest::keyClick(options.JpegQualityTrack, Qt::Key_Home);
    QCOMPARE(options.JpegQualityEdit->value(), 0);
    Click(options.OKButton);
    QCOMPARE(io.Params.JPEG_Quality, 1);
  }

  void cancelLeavesTheRecord() {
    TVistelIO io;
    TfIOPreviews options(io);
    options.SetPage(ppPNG);
    ChooseByKeys(options.PngCompressionCombo, "MAX");
    ChooseByKeys(options.PngFilterCombo, "PAETH");
    Click(options.PngInterlacedCheck);
    Click(options.CancelButton);
    QCOMPARE(options.result(), int(QDialog::Rejected));
    QCOMPARE(io.Params.PNG_Compression, 5);
    QCOMPARE(io.Params.PNG_Filter, ioPNG_FILTER_NONE);
    QVERIFY(!io.Params.PNG_Interlaced);
  }

  void pngAndGifPagesWriteTheirFields() {
    TVistelIO io;
    {
      TfIOPreviews options(io);
      options.SetPage(ppPNG);
      ChooseByKeys(options.PngCompressionCombo, "NONE");
      ChooseByKeys(options.PngFilterCombo, "SUB");
      Click(options.PngInterlacedCheck);
      Click(options.OKButton);
    }
    QCOMPARE(io.Params.PNG_Compression, 0);
    QCOMPARE(io.Params.PNG_Filter, ioPNG_FILTER_SUB);
    QVERIFY(io.Params.PNG_Interlaced);
    {
      TfIOPreviews options(io);
      options.SetPage(ppGIF);
      TypeInto(options.GifImageIndexEdit, "4");
      Click(options.GifTransparentCheck);
      Click(options.GifInterlacedCheck);
      TypeInto(options.GifDelayEdit, "25");
      TypeInto(options.GifXPosEdit, "7");
      TypeInto(options.GifYPosEdit, "9");
      Click(options.OKButton);
    }
    QCOMPARE(io.Params.GIF_ImageIndex, 4);
    QVERIFY(io.Params.GIF_Transparent);
    QVERIFY(io.Params.GIF_Interlaced);
    QCOMPARE(io.Params.GIF_DelayTime, 25);
    QCOMPARE(io.Params.GIF_XPos, 7);
    QCOMPARE(io.Params.GIF_YPos, 9);
  }

  void tiffDocumentFields() {
    TVistelIO io;
    TfIOPreviews options(io);
    options.SetPage(ppTIFF);
    QTest::keyClicks(options.TiffNameEdit, "Letter");
    QTest::keyClicks(options.TiffDescriptionEdit, "Scanned at home");
    QTest::keyClicks(options.TiffPageNameEdit, "Front");
    TypeInto(options.TiffPageNumberEdit, "2");
    TypeInto(options.TiffPageCountEdit, "5");
    TypeInto(options.TiffXPosEdit, "3");
    TypeInto(options.TiffImageIndexEdit, "1");
    Click(options.OKButton);
    QCOMPARE(io.Params.TIFF_DocumentName, std::string("Letter"));
    QCOMPARE(io.Params.TIFF_ImageDescription, std::string("Scanned at home"));
    QCOMPARE(io.Params.TIFF_PageName, std::string("Front"));
    QCOMPARE(io.Params.TIFF_PageNumber, 2);
    QCOMPARE(io.Params.TIFF_PageCount, 5);
    QCOMPARE(io.Params.TIFF_XPos, 3);
    QCOMPARE(io.Params.TIFF_ImageIndex, 1);
  }

  void lockedPreviewFollowsEveryChange() {
    TDib picture;
    MakePicture(picture, 3, 2);
    TVistelIO io;
    io.SetAttachedBitmap(&picture);
    io.PreviewsParams.insert(ioppDefaultLockPreview);
    TfIOPreviews options(io);
    QVERIFY(options.LockPreviewButton->isChecked());
    options.SetPage(ppBMP);
    TIOParamsVals expected = io.Params;
    QCOMPARE(options.CompressedSizeLabel->text(),
             QString("%1 bytes").arg(CoreBmpSize(picture, expected)));
    QCOMPARE(options.OriginalSizeLabel->text(), QString("24 bytes"));
    ChooseByKeys(options.BmpColorsCombo, "B/W");
    expected.BitsPerSample = 1;
    expected.SamplesPerPixel = 1;
    QCOMPARE(options.CompressedSizeLabel->text(),
             QString("%1 bytes").arg(CoreBmpSize(picture, expected)));
    QCOMPARE(options.OriginalSizeLabel->text(), QString("8 bytes"));
    // The result shows the picture in black and white only.
    const TDib* result = options.ResultView->GetFBitmap();
    QVERIFY(result && result->Width() == 3 && result->Height() == 2);
    for (int y = 0; y < 2; ++y)
      for (int i = 0; i < 9; ++i) {
        const int v = result->ScanLine(y)[i];
        QVERIFY2(v == 0 || v == 255, qPrintable(QString::number(v)));
      }
    // The source is not touched.
    QCOMPARE(int(picture.ScanLine(0)[3]), 40);
  }

  void unlockedPreviewWaitsForTheButton() {
    TDib picture;
    MakePicture(picture, 3, 2);
    TVistelIO io;
    io.SetAttachedBitmap(&picture);
    TfIOPreviews options(io);
    options.SetPage(ppBMP);
    QCOMPARE(options.CompressedSizeLabel->text(), QString());
    ChooseByKeys(options.BmpColorsCombo, "256");
    QCOMPARE(options.CompressedSizeLabel->text(), QString());
    QVERIFY(options.ResultView->GetFBitmap() == nullptr);
    Click(options.PreviewButton);
    TIOParamsVals expected = io.Params;
    expected.BitsPerSample = 8;
    expected.SamplesPerPixel = 1;
    QCOMPARE(options.CompressedSizeLabel->text(),
             QString("%1 bytes").arg(CoreBmpSize(picture, expected)));
    QVERIFY(options.ResultView->GetFBitmap() != nullptr);
    // Locking recomputes at once.
    ChooseByKeys(options.BmpColorsCombo, "16M");
    Click(options.LockPreviewButton);
    expected.SamplesPerPixel = 3;
    QCOMPARE(options.CompressedSizeLabel->text(),
             QString("%1 bytes").arg(CoreBmpSize(picture, expected)));
  }

  void jpegResultIsReallyEncoded() {
    TDib picture;
    MakePicture(picture, 16, 8);
    TVistelIO io;
    io.SetAttachedBitmap(&picture);
    // What the core makes of it, or that it refuses.
    std::int64_t size = -1;
    try {
      TDib copy;
      QVERIFY(copy.Assign(picture).ok());
      TVistelIO encoder;
      encoder.StreamHeaders = false;
      encoder.SetAttachedBitmap(&copy);
      TMemoryStream stream;
      if (encoder.SaveToStreamJpeg(stream)) size = stream.Size();
    } catch (const std::exception&) {
    }
    TfIOPreviews options(io);
    options.SetPage(ppJPEG);
    Click(options.PreviewButton);
    if (size < 0) {
      QCOMPARE(options.CompressedSizeLabel->text(), QString("unavailable"));
      QVERIFY(options.ResultView->GetFBitmap() == nullptr);
    } else {
      QCOMPARE(options.CompressedSizeLabel->text(), QString("%1 bytes").arg(size));
      QVERIFY(options.ResultView->GetFBitmap() != nullptr);
      QCOMPARE(options.ResultView->GetFBitmap()->Width(), 16);
    }
    QCOMPARE(options.OriginalSizeLabel->text(), QString("384 bytes"));
  }

  void noSourceMeansNoResult() {
    TVistelIO io;
    TfIOPreviews options(io);
    options.SetPage(ppPCX);
    Click(options.PreviewButton);
    QCOMPARE(options.CompressedSizeLabel->text(), QString("unavailable"));
    QCOMPARE(options.OriginalSizeLabel->text(), QString());
  }

  void colourPanelUsesTheFilePalette() {
    TVistelIO io;
    io.Params.SetColorMap({TRGB{0, 0, 255}, TRGB{0, 255, 0}, TRGB{255, 0, 0}});
    TfIOPreviews options(io);
    options.SetPage(ppPNG);
    int swatches = 0;
    WhenModal<TPalettePicker>([&swatches](TPalettePicker* picker) {
      swatches = static_cast<int>(picker->Swatches.size());
      Click(picker->Swatches[1]);
    });
    Click(options.PngBackgroundPanel);
    QCOMPARE(swatches, 3);
    QCOMPARE(options.PngBackgroundPanel->Color(), QColor(0, 255, 0));
    Click(options.OKButton);
    QCOMPARE(io.Params.PNG_Background, (TRGB{0, 255, 0}));
  }

  void colourPanelWithoutPaletteAsksTheColourDialog() {
    TVistelIO io;
    TfIOPreviews options(io);
    options.SetPage(ppGIF);
    WhenModal<QColorDialog>([](QColorDialog* dialog) {
      dialog->setCurrentColor(QColor(10, 20, 30));
      Click(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok));
    });
    Click(options.GifTranspColorPanel);
    WhenModal<QColorDialog>([](QColorDialog* dialog) {
      dialog->setCurrentColor(QColor(200, 100, 50));
      Click(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel));
    });
    Click(options.GifBackgroundPanel);
    Click(options.OKButton);
    QCOMPARE(io.Params.GIF_TranspColor, (TRGB{30, 20, 10}));
    QCOMPARE(io.Params.GIF_Background, TRGB{});
  }

  void byteSizes_data() {
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << qint64(0) << "0 bytes";
    QTest::newRow("1023") << qint64(1023) << "1023 bytes";
    QTest::newRow("1024") << qint64(1024) << "1 Kb";
    QTest::newRow("2047") << qint64(2047) << "1 Kb";
    QTest::newRow("5 GB") << qint64(5) * 1024 * 1024 * 1024 << "5242880 Kb";
  }

  void byteSizes() {
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(ByteSizeText(bytes), text);
  }
};

QTEST_MAIN(FileDialogsTest)
#include "FileDialogsTest.moc"
