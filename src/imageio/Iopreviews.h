// "Paramters preview": the format-options window of the save dialog. It shows the picture to be
// saved beside a preview of the result and one page of options for one format; "OK" writes the
// controls of that page, and only those, into the I/O component's parameter record, "Cancel"
// leaves the record as it was.
//
// The result comes from the codecs themselves: a JPEG is encoded into memory and decoded back;
// the other formats are encoded into a stream that only counts bytes, and the result shows the
// source reduced to the chosen number of colours. A codec that refuses leaves the result empty
// and the size "unavailable".
#pragma once

#include <QDialog>
#include <QFont>
#include <QString>

#include <vector>

#include "app/Dibactions.h"
#include "imageio/Stdquant.h"
#include "imageio/Vistelio.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class QToolButton;
class TColorShape;
class TVistelView;

// The pages in tab order.
enum TIOPreviewsPage { ppJPEG, ppTIFF, ppGIF, ppBMP, ppPCX, ppPNG };
inline constexpr int kIOPreviewsPageCount = 6;

// The page for a file extension with or without its dot, in any case: ".jpg"/".jpeg" JPEG,
// ".tif"/".tiff" TIFF, ".gif", ".pcx", ".png"; anything else is written as BMP.
TIOPreviewsPage PageForExtension(const QString& extension);

// What a "C&olors:" choice writes into BitsPerSample and SamplesPerPixel.
struct TColorChoice {
  int BitsPerSample;
  int SamplesPerPixel;
  int Colors;  // colours the result is reduced to; 0 for none
};
// The choice at `index` of a page's colour box (JPEG has none: 8, 3).
TColorChoice ColorChoiceOf(TIOPreviewsPage page, int index);
// The item that shows a record's depth: the exact choice where there is one, else the nearest
// larger one.
int ColorChoiceIndex(TIOPreviewsPage page, int bitsPerSample, int samplesPerPixel);

// The platform sans-serif at 8 pt: the dialogs' panel font.
QFont VistelPanelFont();

// Chooses one colour of a palette: a grid of swatches, a click picks one.
class TPalettePicker : public QDialog {
  Q_OBJECT

 public:
  TPalettePicker(const std::vector<korvane::TRGB>& palette, korvane::TRGB current,
                 QWidget* parent = nullptr);
  korvane::TRGB Chosen() const { return chosen_; }
  std::vector<TColorShape*> Swatches;

 private:
  std::vector<korvane::TRGB> palette_;
  korvane::TRGB chosen_;
};

class TfIOPreviews : public QDialog {
  Q_OBJECT

 public:
  // Edits io.Params; shows io's target bitmap as the source.
  explicit TfIOPreviews(korvane::TVistelIO& io, QWidget* parent = nullptr);
  ~TfIOPreviews() override;

  // Shows `page` alone with the record's values and runs the window; true after "OK".
  bool Execute(TIOPreviewsPage page);
  // Shows `page` alone with the record's values, without running the window.
  void SetPage(TIOPreviewsPage page);
  TIOPreviewsPage Page() const { return page_; }

  // Writes the visible page's controls into `params`; no other field changes.
  void WriteParams(korvane::TIOParamsVals& params) const;

  void OKClick();
  void CancelClick();
  void PreviewClick();
  // Any control changed: with the preview locked, the result follows at once.
  void ParamsChange();
  // Enables or forces the TIFF colour box from the photometric choice; `byUser` also turns a
  // "B/W" left over from a one-bit choice into "16M".
  void TiffPhotometChange(bool byUser);
  void GifTranspColorClick();
  void GifBackgroundClick();
  void PngBackgroundClick();

  TVistelView* SourceView;
  TVistelView* ResultView;
  QProgressBar* ProgressBar;
  QTabWidget* PageControl;
  QToolButton* LockPreviewButton;
  QPushButton* PreviewButton;
  QLabel* CompressedSizeLabel;
  QLabel* OriginalSizeLabel;
  QPushButton* OKButton;
  QPushButton* CancelButton;

  QSpinBox* JpegQualityEdit;
  QSlider* JpegQualityTrack;
  QComboBox* JpegDCTCombo;
  QSpinBox* JpegSmoothEdit;
  QCheckBox* JpegOptimalCheck;
  QCheckBox* JpegProgressiveCheck;
  QComboBox* JpegPhotometCombo;

  QComboBox* TiffCompressionCombo;
  QSpinBox* TiffImageIndexEdit;
  QComboBox* TiffPhotometCombo;
  QComboBox* TiffColorsCombo;
  QSpinBox* TiffXPosEdit;
  QSpinBox* TiffYPosEdit;
  QLineEdit* TiffNameEdit;
  QLineEdit* TiffDescriptionEdit;
  QLineEdit* TiffPageNameEdit;
  QSpinBox* TiffPageNumberEdit;
  QSpinBox* TiffPageCountEdit;

  QSpinBox* GifImageIndexEdit;
  QComboBox* GifColorsCombo;
  QCheckBox* GifTransparentCheck;
  TColorShape* GifTranspColorPanel;
  QCheckBox* GifInterlacedCheck;
  TColorShape* GifBackgroundPanel;
  QSpinBox* GifDelayEdit;
  QSpinBox* GifXPosEdit;
  QSpinBox* GifYPosEdit;

  QComboBox* BmpCompressionCombo;
  QComboBox* BmpColorsCombo;

  QComboBox* PcxCompressionCombo;
  QComboBox* PcxColorsCombo;

  QComboBox* PngColorsCombo;
  TColorShape* PngBackgroundPanel;
  QComboBox* PngFilterCombo;
  QCheckBox* PngInterlacedCheck;
  QComboBox* PngCompressionCombo;

 private:
  QWidget* BuildJpegPage();
  QWidget* BuildTiffPage();
  QWidget* BuildGifPage();
  QWidget* BuildBmpPage();
  QWidget* BuildPcxPage();
  QWidget* BuildPngPage();
  void ReadParams(const korvane::TIOParamsVals& params);
  void ComputeResult();
  void ClearResult();
  void ShowOriginalSize();
  void ChooseColor(TColorShape* panel, korvane::TRGB& color);
  QComboBox* ColorsComboOf(TIOPreviewsPage page) const;

  korvane::TVistelIO& io_;
  TIOPreviewsPage page_ = ppBMP;
  korvane::TDib result_;
  korvane::TRGB gifTranspColor_;
  korvane::TRGB gifBackground_;
  korvane::TRGB pngBackground_;
  bool reading_ = false;  // controls being filled from the record: no recomputation
  bool computing_ = false;
};
