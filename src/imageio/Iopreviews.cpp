#include "imageio/Iopreviews.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

#include "app/SDIAppForm.h"
#include "imageio/Stream.h"
#include "view/Vistelview.h"

using namespace korvane;

namespace {

// A stream that keeps nothing: the writers seek back to fill their headers, so it tracks the
// position and the furthest byte written.
class TCountingStream final : public TStream {
 public:
  std::size_t Read(void*, std::size_t) override { return 0; }
  std::size_t Write(const void*, std::size_t count) override {
    position_ += static_cast<std::int64_t>(count);
    size_ = std::max(size_, position_);
    return count;
  }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
    const std::int64_t base =
        origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? position_ : size_;
    if (base + offset < 0) throw EReadError("Stream read error");
    position_ = base + offset;
    return position_;
  }
  std::int64_t Size() override { return size_; }

 private:
  std::int64_t position_ = 0;
  std::int64_t size_ = 0;
};

struct TChoiceItem {
  const char* Caption;
  TColorChoice Choice;
};

constexpr TChoiceItem kTiffColors[] = {
    {"B/W", {1, 1, 2}}, {"16", {4, 1, 16}}, {"256", {8, 1, 256}},
    {"65536", {16, 1, 0}}, {"16M", {8, 3, 0}}};
constexpr TChoiceItem kBmpColors[] = {
    {"B/W", {1, 1, 2}},     {"16", {4, 1, 16}}, {"256", {8, 1, 256}},
    {"65536", {5, 3, 0}}, {"16M", {8, 3, 0}}, {"16M (32bit)", {8, 3, 0}}};
constexpr TChoiceItem kPcxColors[] = {
    {"B/W", {1, 1, 2}}, {"16", {4, 1, 16}}, {"256", {8, 1, 256}}, {"16M", {8, 3, 0}}};
constexpr TChoiceItem kPngColors[] = {{"B/W", {1, 1, 2}}, {"256", {8, 1, 256}}, {"16M", {8, 3, 0}}};
constexpr const char* kGifColors[] = {"B/W", "4", "8", "16", "32", "64", "128", "256"};
constexpr int kGifColorCount = 8;

constexpr int kTiffBW = 0;
constexpr int kTiff16M = 4;

template <std::size_t N>
std::vector<TChoiceItem> Items(const TChoiceItem (&items)[N]) {
  return std::vector<TChoiceItem>(items, items + N);
}

std::vector<TChoiceItem> ColorItems(TIOPreviewsPage page) {
  switch (page) {
    case ppTIFF: return Items(kTiffColors);
    case ppBMP: return Items(kBmpColors);
    case ppPCX: return Items(kPcxColors);
    case ppPNG: return Items(kPngColors);
    case ppJPEG:
    case ppGIF: break;
  }
  return {};
}

QString SizeText(std::int64_t bytes) { return QString("%1 bytes").arg(bytes); }
const QString kUnavailable = QStringLiteral("unavailable");

QComboBox* Combo(QWidget* parent, const char* name, std::initializer_list<const char*> items) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(name);
  for (const char* item : items) combo->addItem(item);
  return combo;
}

QSpinBox* Spin(QWidget* parent, const char* name, int min, int max) {
  auto* spin = new QSpinBox(parent);
  spin->setObjectName(name);
  spin->setRange(min, max);
  return spin;
}

QCheckBox* Check(QWidget* parent, const char* name, const char* caption) {
  auto* check = new QCheckBox(caption, parent);
  check->setObjectName(name);
  return check;
}

QLineEdit* Edit(QWidget* parent, const char* name) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  return edit;
}

TColorShape* Panel(QWidget* parent, const char* name) {
  auto* panel = new TColorShape(parent);
  panel->setObjectName(name);
  panel->setFixedSize(40, 20);
  panel->setCursor(Qt::PointingHandCursor);
  panel->setFocusPolicy(Qt::StrongFocus);  // a caption's mnemonic can reach it
  return panel;
}

// A caption whose mnemonic moves the focus to `buddy`, in the next free row of `grid`.
void Row(QGridLayout* grid, const char* caption, QWidget* buddy, QWidget* extra = nullptr) {
  const int row = grid->rowCount();
  grid->setColumnStretch(1, 1);
  auto* label = new QLabel(caption, grid->parentWidget());
  label->setBuddy(buddy);
  grid->addWidget(label, row, 0);
  grid->addWidget(buddy, row, 1);
  if (extra) grid->addWidget(extra, row, 2);
}

QColor ToQColor(TRGB c) { return QColor(c.r, c.g, c.b); }

}  // namespace

TIOPreviewsPage PageForExtension(const QString& extension) {
  QString ext = extension.toLower();
  if (ext.startsWith('.')) ext.remove(0, 1);
  if (ext == "jpg" || ext == "jpeg") return ppJPEG;
  if (ext == "tif" || ext == "tiff") return ppTIFF;
  if (ext == "gif") return ppGIF;
  if (ext == "pcx") return ppPCX;
  if (ext == "png") return ppPNG;
  return ppBMP;
}

TColorChoice ColorChoiceOf(TIOPreviewsPage page, int index) {
  if (page == ppGIF) {
    const int bits = std::clamp(index, 0, kGifColorCount - 1) + 1;
    return {bits, 1, 1 << bits};
  }
  const std::vector<TChoiceItem> items = ColorItems(page);
  if (items.empty()) return {8, 3, 0};
  return items[static_cast<std::size_t>(std::clamp(index, 0, static_cast<int>(items.size()) - 1))]
      .Choice;
}

int ColorChoiceIndex(TIOPreviewsPage page, int bitsPerSample, int samplesPerPixel) {
  if (page == ppGIF) return std::clamp(bitsPerSample, 1, kGifColorCount) - 1;
  const std::vector<TChoiceItem> items = ColorItems(page);
  if (items.empty()) return 0;
  for (std::size_t i = 0; i < items.size(); ++i)
    if (items[i].Choice.BitsPerSample == bitsPerSample &&
        items[i].Choice.SamplesPerPixel == samplesPerPixel)
      return static_cast<int>(i);
  const long depth = static_cast<long>(bitsPerSample) * samplesPerPixel;
  for (std::size_t i = 0; i < items.size(); ++i)
    if (static_cast<long>(items[i].Choice.BitsPerSample) * items[i].Choice.SamplesPerPixel >= depth)
      return static_cast<int>(i);
  return static_cast<int>(items.size()) - 1;
}

QFont VistelPanelFont() {
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(8);
  return font;
}

// --- palette picker ------------------------------------------------------------------------------

TPalettePicker::TPalettePicker(const std::vector<TRGB>& palette, TRGB current, QWidget* parent)
    : QDialog(parent), palette_(palette), chosen_(current) {
  setObjectName("PalettePicker");
  setWindowTitle("Palette");
  auto* grid = new QGridLayout(this);
  grid->setSpacing(1);
  constexpr int kColumns = 16;
  for (std::size_t i = 0; i < palette_.size(); ++i) {
    auto* swatch = new TColorShape(this);
    swatch->setObjectName(QString("Swatch%1").arg(i));
    swatch->setFixedSize(14, 14);
    swatch->SetColor(ToQColor(palette_[i]));
    swatch->setToolTip(QString("%1").arg(i));
    const TRGB colour = palette_[i];
    swatch->OnMouseDown = [this, colour](QMouseEvent*) {
      chosen_ = colour;
      accept();
    };
    grid->addWidget(swatch, static_cast<int>(i) / kColumns, static_cast<int>(i) % kColumns);
    Swatches.push_back(swatch);
  }
  grid->setSizeConstraint(QLayout::SetFixedSize);
}

// --- the window ----------------------------------------------------------------------------------

TfIOPreviews::TfIOPreviews(TVistelIO& io, QWidget* parent) : QDialog(parent), io_(io) {
  setObjectName("fIOPreviews");
  setWindowTitle("Paramters preview");
  setFont(VistelPanelFont());

  const auto view = [this](const char* name) {
    auto* v = new TVistelView(this);
    v->setObjectName(name);
    v->setMinimumSize(160, 140);
    v->SetCenter(true);
    v->SetScrollBars(ssBoth);
    v->SetBackGround(Qt::white);
    return v;
  };
  SourceView = view("SourceView");
  ResultView = view("ResultView");
  ProgressBar = new QProgressBar(this);
  ProgressBar->setObjectName("ProgressBar");
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  ProgressBar->setTextVisible(false);

  PageControl = new QTabWidget(this);
  PageControl->setObjectName("PageControl");
  PageControl->setTabPosition(QTabWidget::South);
  PageControl->addTab(BuildJpegPage(), "JPEG");
  PageControl->addTab(BuildTiffPage(), "TIFF");
  PageControl->addTab(BuildGifPage(), "GIF");
  PageControl->addTab(BuildBmpPage(), "BMP");
  PageControl->addTab(BuildPcxPage(), "PCX");
  PageControl->addTab(BuildPngPage(), "PNG");

  LockPreviewButton = new QToolButton(this);
  LockPreviewButton->setObjectName("LockPreviewButton");
  LockPreviewButton->setText("Lock preview");
  LockPreviewButton->setCheckable(true);
  LockPreviewButton->setChecked(io_.PreviewsParams.count(ioppDefaultLockPreview) > 0);
  PreviewButton = new QPushButton("&Preview", this);
  PreviewButton->setObjectName("PreviewButton");
  CompressedSizeLabel = new QLabel(this);
  CompressedSizeLabel->setObjectName("CompressedSizeLabel");
  OriginalSizeLabel = new QLabel(this);
  OriginalSizeLabel->setObjectName("OriginalSizeLabel");
  OKButton = new QPushButton("OK", this);
  OKButton->setObjectName("OKButton");
  OKButton->setDefault(true);
  CancelButton = new QPushButton("Cancel", this);
  CancelButton->setObjectName("CancelButton");

  auto* pictures = new QGridLayout;
  pictures->addWidget(new QLabel("Source:", this), 0, 0);
  pictures->addWidget(new QLabel("Result:", this), 0, 1);
  pictures->addWidget(SourceView, 1, 0);
  pictures->addWidget(ResultView, 1, 1);
  pictures->addWidget(ProgressBar, 2, 0, 1, 2);
  auto* sizes = new QGridLayout;
  sizes->addWidget(new QLabel("Compressed size:", this), 0, 0);
  sizes->addWidget(CompressedSizeLabel, 0, 1);
  sizes->addWidget(new QLabel("Original size:", this), 1, 0);
  sizes->addWidget(OriginalSizeLabel, 1, 1);
  sizes->setColumnStretch(1, 1);
  auto* previewRow = new QHBoxLayout;
  previewRow->addWidget(LockPreviewButton);
  previewRow->addWidget(PreviewButton);
  previewRow->addStretch();
  auto* left = new QVBoxLayout;
  left->addLayout(pictures, 1);
  left->addLayout(previewRow);
  left->addLayout(sizes);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKButton);
  buttons->addWidget(CancelButton);
  auto* right = new QVBoxLayout;
  right->addWidget(PageControl, 1);
  right->addLayout(buttons);
  auto* top = new QHBoxLayout(this);
  top->addLayout(left, 1);
  top->addLayout(right);

  connect(OKButton, &QPushButton::clicked, this, [this] { OKClick(); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { CancelClick(); });
  connect(PreviewButton, &QPushButton::clicked, this, [this] { PreviewClick(); });
  connect(LockPreviewButton, &QToolButton::toggled, this, [this](bool on) {
    if (on) ParamsChange();
  });

  // Every control reports a change the same way.
  const auto changed = [this] { ParamsChange(); };
  for (QComboBox* c : findChildren<QComboBox*>())
    connect(c, &QComboBox::currentIndexChanged, this, changed);
  for (QSpinBox* s : findChildren<QSpinBox*>())
    connect(s, &QSpinBox::valueChanged, this, changed);
  for (QCheckBox* c : findChildren<QCheckBox*>()) connect(c, &QCheckBox::toggled, this, changed);
  for (QLineEdit* e : {TiffNameEdit, TiffDescriptionEdit, TiffPageNameEdit})
    connect(e, &QLineEdit::textChanged, this, changed);
  connect(JpegQualityTrack, &QSlider::valueChanged, JpegQualityEdit, &QSpinBox::setValue);
  connect(JpegQualityEdit, &QSpinBox::valueChanged, JpegQualityTrack, &QSlider::setValue);
  connect(TiffPhotometCombo, &QComboBox::activated, this, [this] { TiffPhotometChange(true); });
  GifTranspColorPanel->OnMouseDown = [this](QMouseEvent*) { GifTranspColorClick(); };
  GifBackgroundPanel->OnMouseDown = [this](QMouseEvent*) { GifBackgroundClick(); };
  PngBackgroundPanel->OnMouseDown = [this](QMouseEvent*) { PngBackgroundClick(); };

  SetPage(ppBMP);
}

TfIOPreviews::~TfIOPreviews() {
  // The views keep pointers to bitmaps that go before them.
  SourceView->SetBitmap(nullptr);
  ResultView->SetBitmap(nullptr);
}

QWidget* TfIOPreviews::BuildJpegPage() {
  auto* page = new QWidget;
  page->setObjectName("JpegPage");
  auto* grid = new QGridLayout(page);
  JpegQualityEdit = Spin(page, "JpegQualityEdit", 0, 100);
  JpegQualityTrack = new QSlider(Qt::Horizontal, page);
  JpegQualityTrack->setObjectName("JpegQualityTrack");
  JpegQualityTrack->setRange(0, 100);
  JpegQualityTrack->setPageStep(10);
  JpegQualityTrack->setTickPosition(QSlider::TicksBelow);
  JpegQualityTrack->setTickInterval(10);
  Row(grid, "&Quality:", JpegQualityEdit, JpegQualityTrack);
  JpegDCTCombo = Combo(page, "JpegDCTCombo", {"ISLOW", "IFAST", "FLOAT"});
  Row(grid, "&DCT method:", JpegDCTCombo);
  JpegSmoothEdit = Spin(page, "JpegSmoothEdit", 0, 100);
  Row(grid, "&Smoothing factor:", JpegSmoothEdit);
  JpegOptimalCheck = Check(page, "JpegOptimalCheck", "&Optimal Huffman");
  JpegProgressiveCheck = Check(page, "JpegProgressiveCheck", "P&rogressive");
  grid->addWidget(JpegOptimalCheck, grid->rowCount(), 0, 1, 3);
  grid->addWidget(JpegProgressiveCheck, grid->rowCount(), 0, 1, 3);
  JpegPhotometCombo =
      Combo(page, "JpegPhotometCombo", {"RGB", "GrayScale", "YCbCr", "CMYK", "YCbCrK"});
  Row(grid, "P&hotometric:", JpegPhotometCombo);
  grid->setRowStretch(grid->rowCount(), 1);
  return page;
}

QWidget* TfIOPreviews::BuildTiffPage() {
  auto* page = new QWidget;
  page->setObjectName("TiffPage");
  auto* column = new QVBoxLayout(page);
  auto* grid = new QGridLayout;
  column->addLayout(grid);
  TiffCompressionCombo =
      Combo(page, "TiffCompressionCombo",
            {"UNCOMPRESSED", "CCITT1D", "G3FAX1D", "G3FAX2D", "G4FAX", "LZW", "OLDJPEG", "JPEG",
             "PACKBITS"});
  Row(grid, "&Compression:", TiffCompressionCombo);
  TiffImageIndexEdit = Spin(page, "TiffImageIndexEdit", 0, 1000);
  Row(grid, "&Image index:", TiffImageIndexEdit);
  TiffPhotometCombo = Combo(page, "TiffPhotometCombo",
                            {"WHITEISZERO", "BLACKISZERO", "RGB", "RGBPALETTE", "TRANSPMASK",
                             "CMYK", "YCBCR", "CIELAB"});
  Row(grid, "P&hotometric:", TiffPhotometCombo);
  TiffColorsCombo = Combo(page, "TiffColorsCombo", {});
  for (const TChoiceItem& item : kTiffColors) TiffColorsCombo->addItem(item.Caption);
  Row(grid, "C&olors:", TiffColorsCombo);

  auto* group = new QGroupBox(" Scanned document info ", page);
  group->setObjectName("TiffDocumentGroup");
  column->addWidget(group);
  auto* info = new QGridLayout(group);
  TiffXPosEdit = Spin(group, "TiffXPosEdit", 0, 65535);
  Row(info, "H&oriz. Position (inch):", TiffXPosEdit);
  TiffYPosEdit = Spin(group, "TiffYPosEdit", 0, 65535);
  Row(info, "&Vert. Position (inch):", TiffYPosEdit);
  TiffNameEdit = Edit(group, "TiffNameEdit");
  Row(info, "&Name:", TiffNameEdit);
  TiffDescriptionEdit = Edit(group, "TiffDescriptionEdit");
  Row(info, "&Description:", TiffDescriptionEdit);
  TiffPageNameEdit = Edit(group, "TiffPageNameEdit");
  Row(info, "P&age name:", TiffPageNameEdit);
  TiffPageNumberEdit = Spin(group, "TiffPageNumberEdit", 0, 65535);
  TiffPageCountEdit = Spin(group, "TiffPageCountEdit", 0, 65535);
  auto* of = new QLabel("o&f", group);
  of->setBuddy(TiffPageCountEdit);
  auto* numbers = new QWidget(group);
  auto* numbersRow = new QHBoxLayout(numbers);
  numbersRow->setContentsMargins(0, 0, 0, 0);
  numbersRow->addWidget(of);
  numbersRow->addWidget(TiffPageCountEdit);
  Row(info, "Page N&umber:", TiffPageNumberEdit, numbers);
  column->addStretch();
  return page;
}

QWidget* TfIOPreviews::BuildGifPage() {
  auto* page = new QWidget;
  page->setObjectName("GifPage");
  auto* column = new QVBoxLayout(page);
  auto* grid = new QGridLayout;
  column->addLayout(grid);
  GifImageIndexEdit = Spin(page, "GifImageIndexEdit", 0, 1000);
  Row(grid, "&Image index:", GifImageIndexEdit);
  GifColorsCombo = Combo(page, "GifColorsCombo", {});
  for (const char* item : kGifColors) GifColorsCombo->addItem(item);
  Row(grid, "&Colors:", GifColorsCombo);
  GifTransparentCheck = Check(page, "GifTransparentCheck", "&Transparent:");
  GifTranspColorPanel = Panel(page, "GifTranspColorPanel");
  grid->addWidget(GifTransparentCheck, grid->rowCount(), 0, 1, 2);
  auto* transpLabel = new QLabel("T&ransparent color:", page);
  transpLabel->setBuddy(GifTranspColorPanel);
  const int transpRow = grid->rowCount();
  grid->addWidget(transpLabel, transpRow, 0);
  grid->addWidget(GifTranspColorPanel, transpRow, 1);
  GifInterlacedCheck = Check(page, "GifInterlacedCheck", "I&nterlaced:");
  grid->addWidget(GifInterlacedCheck, grid->rowCount(), 0, 1, 2);
  GifBackgroundPanel = Panel(page, "GifBackgroundPanel");
  auto* backLabel = new QLabel("&Background:", page);
  backLabel->setBuddy(GifBackgroundPanel);
  const int backRow = grid->rowCount();
  grid->addWidget(backLabel, backRow, 0);
  grid->addWidget(GifBackgroundPanel, backRow, 1);

  auto* group = new QGroupBox(" Advanced ", page);
  group->setObjectName("GifAdvancedGroup");
  column->addWidget(group);
  auto* advanced = new QGridLayout(group);
  GifDelayEdit = Spin(group, "GifDelayEdit", 0, 65535);
  Row(advanced, "&Delay time:", GifDelayEdit, new QLabel("1/100 s", group));
  GifXPosEdit = Spin(group, "GifXPosEdit", 0, 65535);
  Row(advanced, "&Horiz. Position:", GifXPosEdit);
  GifYPosEdit = Spin(group, "GifYPosEdit", 0, 65535);
  Row(advanced, "&Vert. Position:", GifYPosEdit);
  column->addStretch();
  return page;
}

QWidget* TfIOPreviews::BuildBmpPage() {
  auto* page = new QWidget;
  page->setObjectName("BmpPage");
  auto* grid = new QGridLayout(page);
  BmpCompressionCombo = Combo(page, "BmpCompressionCombo", {"UNCOMPRESSED", "RLE"});
  Row(grid, "&Compression:", BmpCompressionCombo);
  BmpColorsCombo = Combo(page, "BmpColorsCombo", {});
  for (const TChoiceItem& item : kBmpColors) BmpColorsCombo->addItem(item.Caption);
  Row(grid, "C&olors:", BmpColorsCombo);
  grid->setRowStretch(grid->rowCount(), 1);
  return page;
}

QWidget* TfIOPreviews::BuildPcxPage() {
  auto* page = new QWidget;
  page->setObjectName("PcxPage");
  auto* grid = new QGridLayout(page);
  PcxCompressionCombo = Combo(page, "PcxCompressionCombo", {"UNCOMPRESSED", "RLE"});
  Row(grid, "&Compression:", PcxCompressionCombo);
  PcxColorsCombo = Combo(page, "PcxColorsCombo", {});
  for (const TChoiceItem& item : kPcxColors) PcxColorsCombo->addItem(item.Caption);
  Row(grid, "C&olors:", PcxColorsCombo);
  grid->setRowStretch(grid->rowCount(), 1);
  return page;
}

QWidget* TfIOPreviews::BuildPngPage() {
  auto* page = new QWidget;
  page->setObjectName("PngPage");
  auto* column = new QVBoxLayout(page);
  auto* grid = new QGridLayout;
  column->addLayout(grid);
  PngColorsCombo = Combo(page, "PngColorsCombo", {});
  for (const TChoiceItem& item : kPngColors) PngColorsCombo->addItem(item.Caption);
  Row(grid, "C&olors:", PngColorsCombo);
  PngBackgroundPanel = Panel(page, "PngBackgroundPanel");
  auto* backLabel = new QLabel("&Background:", page);
  backLabel->setBuddy(PngBackgroundPanel);
  const int backRow = grid->rowCount();
  grid->addWidget(backLabel, backRow, 0);
  grid->addWidget(PngBackgroundPanel, backRow, 1);

  auto* group = new QGroupBox(" Advanced ", page);
  group->setObjectName("PngAdvancedGroup");
  column->addWidget(group);
  auto* advanced = new QGridLayout(group);
  PngFilterCombo = Combo(group, "PngFilterCombo", {"NONE", "SUB", "PAETH"});
  Row(advanced, "&Filter", PngFilterCombo);
  PngInterlacedCheck = Check(group, "PngInterlacedCheck", "I&nterlaced:");
  advanced->addWidget(PngInterlacedCheck, advanced->rowCount(), 0, 1, 2);
  PngCompressionCombo = Combo(group, "PngCompressionCombo",
                              {"NONE", "1", "2", "3", "4", "5", "6", "7", "8", "MAX"});
  Row(advanced, "Co&mpression", PngCompressionCombo);
  column->addStretch();
  return page;
}

QComboBox* TfIOPreviews::ColorsComboOf(TIOPreviewsPage page) const {
  switch (page) {
    case ppTIFF: return TiffColorsCombo;
    case ppGIF: return GifColorsCombo;
    case ppBMP: return BmpColorsCombo;
    case ppPCX: return PcxColorsCombo;
    case ppPNG: return PngColorsCombo;
    case ppJPEG: break;
  }
  return nullptr;
}

void TfIOPreviews::SetPage(TIOPreviewsPage page) {
  page_ = page;
  for (int i = 0; i < kIOPreviewsPageCount; ++i) PageControl->setTabVisible(i, i == page);
  PageControl->setCurrentIndex(page);
  ReadParams(io_.Params);

  TDib* source = io_.Bitmap();
  SourceView->SetBitmap(source && !source->Empty() ? source : nullptr);
  SourceView->Update();
  ClearResult();
  ShowOriginalSize();
  if (LockPreviewButton->isChecked()) ComputeResult();
}

bool TfIOPreviews::Execute(TIOPreviewsPage page) {
  SetPage(page);
  return exec() == QDialog::Accepted;
}

void TfIOPreviews::ReadParams(const TIOParamsVals& p) {
  reading_ = true;
  JpegQualityEdit->setValue(p.JPEG_Quality);
  JpegDCTCombo->setCurrentIndex(std::clamp(static_cast<int>(p.JPEG_DCTMethod), 0, 2));
  JpegSmoothEdit->setValue(p.JPEG_Smooth);
  JpegOptimalCheck->setChecked(p.JPEG_OptimalHuffman);
  JpegProgressiveCheck->setChecked(p.JPEG_Progressive);
  JpegPhotometCombo->setCurrentIndex(std::clamp(static_cast<int>(p.JPEG_ColorSpace), 0, 4));

  TiffCompressionCombo->setCurrentIndex(std::clamp(static_cast<int>(p.TIFF_Compression), 0, 8));
  TiffImageIndexEdit->setValue(p.TIFF_ImageIndex);
  TiffColorsCombo->setCurrentIndex(ColorChoiceIndex(ppTIFF, p.BitsPerSample, p.SamplesPerPixel));
  TiffPhotometCombo->setCurrentIndex(
      std::clamp(static_cast<int>(p.TIFF_PhotometInterpret), 0, 7));
  TiffPhotometChange(false);
  TiffXPosEdit->setValue(p.TIFF_XPos);
  TiffYPosEdit->setValue(p.TIFF_YPos);
  TiffNameEdit->setText(QString::fromStdString(p.TIFF_DocumentName));
  TiffDescriptionEdit->setText(QString::fromStdString(p.TIFF_ImageDescription));
  TiffPageNameEdit->setText(QString::fromStdString(p.TIFF_PageName));
  TiffPageNumberEdit->setValue(p.TIFF_PageNumber);
  TiffPageCountEdit->setValue(p.TIFF_PageCount);

  GifImageIndexEdit->setValue(p.GIF_ImageIndex);
  GifColorsCombo->setCurrentIndex(ColorChoiceIndex(ppGIF, p.BitsPerSample, p.SamplesPerPixel));
  GifTransparentCheck->setChecked(p.GIF_Transparent);
  gifTranspColor_ = p.GIF_TranspColor;
  GifTranspColorPanel->SetColor(ToQColor(gifTranspColor_));
  GifInterlacedCheck->setChecked(p.GIF_Interlaced);
  gifBackground_ = p.GIF_Background;
  GifBackgroundPanel->SetColor(ToQColor(gifBackground_));
  GifDelayEdit->setValue(p.GIF_DelayTime);
  GifXPosEdit->setValue(p.GIF_XPos);
  GifYPosEdit->setValue(p.GIF_YPos);

  BmpCompressionCombo->setCurrentIndex(p.BMP_Compression == ioBMP_RLE ? 1 : 0);
  BmpColorsCombo->setCurrentIndex(ColorChoiceIndex(ppBMP, p.BitsPerSample, p.SamplesPerPixel));

  PcxCompressionCombo->setCurrentIndex(p.PCX_Compression == ioPCX_RLE ? 1 : 0);
  PcxColorsCombo->setCurrentIndex(ColorChoiceIndex(ppPCX, p.BitsPerSample, p.SamplesPerPixel));

  PngColorsCombo->setCurrentIndex(ColorChoiceIndex(ppPNG, p.BitsPerSample, p.SamplesPerPixel));
  pngBackground_ = p.PNG_Background;
  PngBackgroundPanel->SetColor(ToQColor(pngBackground_));
  PngFilterCombo->setCurrentIndex(std::clamp(static_cast<int>(p.PNG_Filter), 0, 2));
  PngInterlacedCheck->setChecked(p.PNG_Interlaced);
  PngCompressionCombo->setCurrentIndex(std::clamp(p.PNG_Compression, 0, 9));
  reading_ = false;
}

void TfIOPreviews::WriteParams(TIOParamsVals& p) const {
  const auto colours = [&p, this](TIOPreviewsPage page) {
    const TColorChoice c = ColorChoiceOf(page, ColorsComboOf(page)->currentIndex());
    p.BitsPerSample = c.BitsPerSample;
    p.SamplesPerPixel = c.SamplesPerPixel;
  };
  switch (page_) {
    case ppJPEG:
      // The record's quality runs from 1; the track bar's 0 is the coarsest quality there is.
      p.JPEG_Quality = std::max(1, JpegQualityEdit->value());
      p.JPEG_DCTMethod = static_cast<TIOJPEGDctMethod>(JpegDCTCombo->currentIndex());
      p.JPEG_Smooth = JpegSmoothEdit->value();
      p.JPEG_OptimalHuffman = JpegOptimalCheck->isChecked();
      p.JPEG_Progressive = JpegProgressiveCheck->isChecked();
      p.JPEG_ColorSpace = static_cast<TIOJPEGColorspace>(JpegPhotometCombo->currentIndex());
      break;
    case ppTIFF:
      p.TIFF_Compression = static_cast<TIOTIFFCompression>(TiffCompressionCombo->currentIndex());
      p.TIFF_ImageIndex = TiffImageIndexEdit->value();
      p.TIFF_PhotometInterpret =
          static_cast<TIOTIFFPhotometInterpret>(TiffPhotometCombo->currentIndex());
      colours(ppTIFF);
      p.TIFF_XPos = TiffXPosEdit->value();
      p.TIFF_YPos = TiffYPosEdit->value();
      p.TIFF_DocumentName = TiffNameEdit->text().toStdString();
      p.TIFF_ImageDescription = TiffDescriptionEdit->text().toStdString();
      p.TIFF_PageName = TiffPageNameEdit->text().toStdString();
      p.TIFF_PageNumber = TiffPageNumberEdit->value();
      p.TIFF_PageCount = TiffPageCountEdit->value();
      break;
    case ppGIF:
      p.GIF_ImageIndex = GifImageIndexEdit->value();
      p.BitsPerSample = ColorChoiceOf(ppGIF, GifColorsCombo->currentIndex()).BitsPerSample;
      p.GIF_Transparent = GifTransparentCheck->isChecked();
      p.GIF_TranspColor = gifTranspColor_;
      p.GIF_Interlaced = GifInterlacedCheck->isChecked();
      p.GIF_Background = gifBackground_;
      p.GIF_DelayTime = GifDelayEdit->value();
      p.GIF_XPos = GifXPosEdit->value();
      p.GIF_YPos = GifYPosEdit->value();
      break;
    case ppBMP:
      p.BMP_Compression = BmpCompressionCombo->currentIndex() == 1 ? ioBMP_RLE : ioBMP_UNCOMPRESSED;
      colours(ppBMP);
      break;
    case ppPCX:
      p.PCX_Compression = PcxCompressionCombo->currentIndex() == 1 ? ioPCX_RLE : ioPCX_UNCOMPRESSED;
      colours(ppPCX);
      break;
    case ppPNG:
      colours(ppPNG);
      p.PNG_Background = pngBackground_;
      p.PNG_Filter = static_cast<TIOPNGFilter>(PngFilterCombo->currentIndex());
      p.PNG_Interlaced = PngInterlacedCheck->isChecked();
      p.PNG_Compression = PngCompressionCombo->currentIndex();
      break;
  }
}

void TfIOPreviews::OKClick() {
  WriteParams(io_.Params);
  accept();
}

void TfIOPreviews::CancelClick() { reject(); }

void TfIOPreviews::PreviewClick() { ComputeResult(); }

void TfIOPreviews::ParamsChange() {
  if (reading_) return;
  ShowOriginalSize();
  if (LockPreviewButton->isChecked()) ComputeResult();
}

void TfIOPreviews::TiffPhotometChange(bool byUser) {
  switch (TiffPhotometCombo->currentIndex()) {
    case ioTIFF_CMYK:
    case ioTIFF_YCBCR:
    case ioTIFF_CIELAB:
      TiffColorsCombo->setCurrentIndex(kTiff16M);
      TiffColorsCombo->setEnabled(false);
      break;
    case ioTIFF_WHITEISZERO:
    case ioTIFF_BLACKISZERO:
      TiffColorsCombo->setCurrentIndex(kTiffBW);
      TiffColorsCombo->setEnabled(false);
      break;
    default:
      if (byUser && TiffColorsCombo->currentIndex() == kTiffBW)
        TiffColorsCombo->setCurrentIndex(kTiff16M);
      TiffColorsCombo->setEnabled(true);
      break;
  }
}

void TfIOPreviews::ChooseColor(TColorShape* panel, TRGB& color) {
  const std::vector<TRGB>& map = io_.Params.ColorMap;
  const std::size_t count =
      std::min(map.size(), static_cast<std::size_t>(std::max(0, io_.Params.ColorMapCount)));
  if (count > 0) {
    TPalettePicker picker(std::vector<TRGB>(map.begin(), map.begin() + static_cast<long>(count)),
                          color, this);
    if (picker.exec() != QDialog::Accepted) return;
    color = picker.Chosen();
  } else {
    const QColor chosen = QColorDialog::getColor(ToQColor(color), this);
    if (!chosen.isValid()) return;
    color = TRGB{static_cast<std::uint8_t>(chosen.blue()), static_cast<std::uint8_t>(chosen.green()),
                 static_cast<std::uint8_t>(chosen.red())};
  }
  panel->SetColor(ToQColor(color));
  ParamsChange();
}

void TfIOPreviews::GifTranspColorClick() { ChooseColor(GifTranspColorPanel, gifTranspColor_); }
void TfIOPreviews::GifBackgroundClick() { ChooseColor(GifBackgroundPanel, gifBackground_); }
void TfIOPreviews::PngBackgroundClick() { ChooseColor(PngBackgroundPanel, pngBackground_); }

void TfIOPreviews::ShowOriginalSize() {
  const TDib* source = io_.Bitmap();
  if (!source || source->Empty()) {
    OriginalSizeLabel->clear();
    return;
  }
  QComboBox* colours = ColorsComboOf(page_);
  const bool blackWhite =
      colours && ColorChoiceOf(page_, colours->currentIndex()).BitsPerSample == 1 &&
      ColorChoiceOf(page_, colours->currentIndex()).SamplesPerPixel == 1;
  const std::int64_t bytes =
      RowBytes(source->Width(), blackWhite ? TPixelFormat::pf1bit : TPixelFormat::pf24bit) *
      source->Height();
  OriginalSizeLabel->setText(SizeText(bytes));
}

void TfIOPreviews::ClearResult() {
  result_.Release();
  ResultView->SetBitmap(nullptr);
  ResultView->Update();
  CompressedSizeLabel->clear();
  ProgressBar->setValue(0);
}

void TfIOPreviews::ComputeResult() {
  if (computing_) return;
  TDib* source = io_.Bitmap();
  ClearResult();
  if (!source || source->Empty()) {
    CompressedSizeLabel->setText(kUnavailable);
    return;
  }
  computing_ = true;
  setCursor(Qt::WaitCursor);
  TDib picture;
  std::int64_t size = -1;
  try {
    TVistelIO encoder;
    encoder.StreamHeaders = false;
    encoder.Params = io_.Params;
    WriteParams(encoder.Params);
    encoder.OnProgress = [this](void*, int percent) { ProgressBar->setValue(percent); };
    TDib work;
    if (!work.Assign(*source)) throw std::runtime_error("out of memory");
    encoder.SetAttachedBitmap(&work);
    if (page_ == ppJPEG) {
      TMemoryStream stream;
      if (encoder.SaveToStreamJpeg(stream)) {
        size = stream.Size();
        stream.SetPosition(0);
        TVistelIO decoder;
        decoder.StreamHeaders = false;
        decoder.Params = encoder.Params;
        decoder.SetAttachedBitmap(&picture);
        if (!decoder.LoadFromStreamJpeg(stream)) size = -1;
      }
    } else {
      TCountingStream counter;
      bool written = false;
      switch (page_) {
        case ppTIFF: written = encoder.SaveToStreamTIFF(counter); break;
        case ppGIF: written = encoder.SaveToStreamGif(counter); break;
        case ppPCX: written = encoder.SaveToStreamPCX(counter); break;
        case ppPNG: written = encoder.SaveToStreamPNG(counter); break;
        default: written = encoder.SaveToStreamBMP(counter); break;
      }
      if (written) {
        size = counter.Size();
        const int colours = ColorChoiceOf(page_, ColorsComboOf(page_)->currentIndex()).Colors;
        picture = std::move(work);
        if (colours > 0) {
          TVistelProc proc;
          proc.SetAttachedBitmap(&picture);
          if (!proc.ConvertTo(colours)) size = -1;
        }
      }
    }
  } catch (const std::exception&) {
    size = -1;
  }
  if (size >= 0 && !picture.Empty()) {
    result_ = std::move(picture);
    ResultView->SetBitmap(&result_);
    ResultView->Update();
    CompressedSizeLabel->setText(SizeText(size));
  } else {
    CompressedSizeLabel->setText(kUnavailable);
  }
  ProgressBar->setValue(0);
  unsetCursor();
  computing_ = false;
}
