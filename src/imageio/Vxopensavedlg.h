// The open and save dialogs: the platform's file dialog in its widget form with a panel beside
// it that previews the selected picture and lists its properties. The save dialog adds
// "Advanced", the format-options window for the type being saved, and undoes its changes to the
// attached parameter record when the user cancels.
#pragma once

#include <QFileDialog>
#include <QString>
#include <QStringList>

#include <set>
#include <vector>

#include "app/Dibactions.h"
#include "imageio/Vistelio.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;
class TVistelView;

// Both dialogs' filter, in the framework's "description|patterns|..." form.
inline constexpr const char* kVistelFilter =
    "All supported graphics|*.jpg;*.jpeg;*.gif;*.tif;*.tiff;*.pcx;*.png;*.bmp;|"
    "JPEG files (*.jpg;*.jpeg)|*.jpg;*.jpeg|GIF files (*.gif)|*.gif|"
    "TIFF files (*.tif;*.tiff)|*.tif;*.tiff|PCX files (*.pcx)|*.pcx|PNG files (*.png)|*.png|"
    "BMP files (*.bmp)|*.bmp";

struct TFilterEntry {
  QString Description;
  QStringList Extensions;  // without "*.", in the filter's order
};
// The entries of a "description|patterns|..." filter; empty patterns are dropped.
std::vector<TFilterEntry> ParseFilter(const QString& filter);

// The property lines the preview panel shows for a loaded picture.
struct TPreviewLines {
  QString PixelSize;  // "3 x 2 pixel", with " , 3 frames" for several frames
  QString Dpi;        // "96 x 96 dpi"
  QString Colors;     // "16777216 colors (24 bit)"
  QString Sizes;      // "File: 78 bytes   Mem: 24 bytes"
  QString FileType;   // "Windows Bitmap (BMP) Uncompressed"
};
TPreviewLines FormatPreviewLines(const korvane::TIOParamsVals& params, std::int64_t fileBytes,
                                 int frames);
// Bytes as " Kb" (div 1024) above 1023, else " bytes".
QString ByteSizeText(std::int64_t bytes);

// The shared part: the file dialog, the filter and the preview panel.
class TVistelFileDialog : public QFileDialog {
  Q_OBJECT

 public:
  explicit TVistelFileDialog(QWidget* parent = nullptr);
  ~TVistelFileDialog() override;

  QString GetFileName() const { return fileName_; }
  void SetInitialDir(const QString& dir);

  // The selection moved to `path`: preview it when it is a file and previewing is on.
  void SelectionChange(const QString& path);
  void ZoomComboChange();
  void PreviewCheckClick();
  void PreviewButtonClick();
  // The index of the selected filter in ParseFilter(kVistelFilter).
  int FilterIndex() const;

  QFrame* ImagePanel;  // the panel beside the file dialog's controls
  QFrame* InfoPanel;
  QLabel* FileSizeLabel;
  QLabel* FileTypeLabel;
  QCheckBox* PreviewCheck;
  QFrame* PicturePanel;
  QLabel* PixelSizeLabel;
  QLabel* DpiLabel;
  QLabel* ColorsLabel;
  QComboBox* ZoomCombo;
  QToolButton* PreviewButton;
  QToolButton* PlayButton;
  QProgressBar* ProgressBar;
  TVistelView* PreviewView;

  // The dialog's own I/O component and the picture it loads.
  korvane::TVistelIO VistelIO;

 protected:
  // A place in the panel below the information panel, for the save dialog's button.
  void InsertPanelWidget(QWidget* widget);
  bool RunDialog();
  void ClearPreview();
  void ClearFields();
  void Preview(const QString& path);

  std::vector<TFilterEntry> filters_;
  QString fileName_;

 private:
  void ApplyZoom();

  korvane::TDib picture_;
  bool previewing_ = false;
  QString current_;
};

class TOpenVistelDialog : public TVistelFileDialog {
  Q_OBJECT

 public:
  explicit TOpenVistelDialog(QWidget* parent = nullptr);
  // True when a file was chosen.
  bool Execute();
};

enum TSaveDialogExOption { sdShowPreview, sdShowAdvanced };

class TSaveVistelDialog : public TVistelFileDialog {
  Q_OBJECT

 public:
  explicit TSaveVistelDialog(QWidget* parent = nullptr);

  // Copies the attached record, runs the dialog and puts the copy back when the user cancels.
  // A chosen name without extension gets the current filter's.
  bool Execute();

  QString DefaultExt = "bmp";
  std::set<TSaveDialogExOption> ExOptions{sdShowPreview, sdShowAdvanced};
  korvane::TVistelIO* AttachedVistelIO = nullptr;

  // The extension the current filter gives a name: its first pattern's, and DefaultExt for a
  // filter of several formats.
  QString FilterExtension() const;
  // The name in the file-name field.
  QString NameText() const;
  void SetNameText(const QString& name);

  void AdvancedButtonClick();
  // Replaces the extension in the file-name field by the new filter's.
  void FilterChange();

  QPushButton* AdvancedButton;

 private:
  void ApplyExOptions();

  bool previewShown_ = true;
};
