#include "imageio/Vxopensavedlg.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <optional>

#include "imageio/Giffilter.h"
#include "imageio/Iopreviews.h"
#include "imageio/LzwHooks.h"
#include "imageio/Stream.h"
#include "imageio/Tiffilt.h"
#include "view/Vistelview.h"

using namespace korvane;

namespace {

constexpr int kZoomPercents[] = {25, 50, 75, 100, 125, 150, 175, 200, 300, 400};

// Images in a GIF or TIFF file, from its headers; 1 when they cannot be counted.
int CountFrames(const QString& path, const QString& ext) {
  if (ext != "gif" && ext != "tif" && ext != "tiff") return 1;
  try {
    TFileStream file(path.toStdString(), TFileMode::fmOpenRead);
    TDib unused;
    TIOParamsVals params;
    InstallLzwCoders(params);
    TProgressRec silent;
    int images = 0;
    if (ext == "gif") ReadGifStream(file, unused, images, true, silent, params);
    else TIFFReadStream(unused, file, images, true, silent, params);
    return std::max(images, 1);
  } catch (const std::exception&) {
    return 1;
  }
}

// Qt reads the patterns from the last parentheses; with the details hidden the combo shows the
// description alone, exactly as the filter gives it.
QStringList QtNameFilters(const std::vector<TFilterEntry>& entries) {
  QStringList out;
  for (const TFilterEntry& e : entries) {
    QStringList patterns;
    for (const QString& ext : e.Extensions) patterns << "*." + ext;
    out << e.Description + " (" + patterns.join(' ') + ")";
  }
  return out;
}

QLabel* PanelLabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setMinimumWidth(180);
  return label;
}

}  // namespace

std::vector<TFilterEntry> ParseFilter(const QString& filter) {
  const QStringList parts = filter.split('|');
  std::vector<TFilterEntry> entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    TFilterEntry entry{parts[i], {}};
    for (const QString& pattern : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
      const QString p = pattern.trimmed();
      entry.Extensions << (p.startsWith("*.") ? p.mid(2) : p);
    }
    entries.push_back(entry);
  }
  return entries;
}

QString ByteSizeText(std::int64_t bytes) {
  return bytes > 1023 ? QString("%1 Kb").arg(bytes / 1024) : QString("%1 bytes").arg(bytes);
}

TPreviewLines FormatPreviewLines(const TIOParamsVals& params, std::int64_t fileBytes, int frames) {
  TPreviewLines lines;
  lines.PixelSize = QString("%1 x %2 pixel").arg(params.Width).arg(params.Height);
  if (frames > 1) lines.PixelSize += QString(" , %1 frames").arg(frames);
  lines.Dpi = QString("%1 x %2 dpi").arg(params.DpiX).arg(params.DpiY);
  // A record may claim 16 bits of 3 or 4 samples: the count needs 64 bits.
  const std::int64_t bits =
      std::clamp<std::int64_t>(static_cast<std::int64_t>(params.SamplesPerPixel) *
                                   params.BitsPerSample, 0, 62);
  lines.Colors = QString("%1 colors (%2 bit)").arg(std::int64_t{1} << bits).arg(bits);
  const bool blackWhite = params.BitsPerSample == 1 && params.SamplesPerPixel == 1;
  const std::int64_t rowBytes =
      (static_cast<std::int64_t>(std::max(params.Width, 0)) * (blackWhite ? 1 : 24) + 31) / 32 * 4;
  const std::int64_t mem = rowBytes * std::max(params.Height, 0) * std::max(frames, 1);
  lines.Sizes = "File: " + ByteSizeText(fileBytes) + "   Mem: " + ByteSizeText(mem);
  lines.FileType = QString::fromStdString(GetFileTypeStr(params));
  return lines;
}

// --- shared dialog ---------------------------------------------------------------------------

TVistelFileDialog::TVistelFileDialog(QWidget* parent)
    : QFileDialog(parent), filters_(ParseFilter(kVistelFilter)) {
  setOption(QFileDialog::DontUseNativeDialog, true);
  setOption(QFileDialog::HideNameFilterDetails, true);
  setNameFilters(QtNameFilters(filters_));
  VistelIO.SetAttachedBitmap(&picture_);
  // The library's own coder defaults are empty: without these no GIF or LZW TIFF would preview.
  InstallLzwCoders(VistelIO.Params);

  ImagePanel = new QFrame(this);
  ImagePanel->setObjectName("ImagePanel");
  ImagePanel->setFont(VistelPanelFont());
  auto* column = new QVBoxLayout(ImagePanel);
  column->setContentsMargins(4, 0, 0, 0);

  InfoPanel = new QFrame(ImagePanel);
  InfoPanel->setObjectName("InfoPanel");
  InfoPanel->setFrameShape(QFrame::StyledPanel);
  auto* info = new QVBoxLayout(InfoPanel);
  FileSizeLabel = PanelLabel(InfoPanel, "FileSizeLabel");
  FileTypeLabel = PanelLabel(InfoPanel, "FileTypeLabel");
  info->addWidget(FileSizeLabel);
  info->addWidget(FileTypeLabel);
  column->addWidget(InfoPanel);

  PreviewCheck = new QCheckBox("Preview", ImagePanel);
  PreviewCheck->setObjectName("PreviewCheck");
  PreviewCheck->setChecked(true);
  column->addWidget(PreviewCheck);

  PicturePanel = new QFrame(ImagePanel);
  PicturePanel->setObjectName("PicturePanel");
  PicturePanel->setFrameShape(QFrame::StyledPanel);
  auto* picture = new QVBoxLayout(PicturePanel);
  PixelSizeLabel = PanelLabel(PicturePanel, "PixelSizeLabel");
  DpiLabel = PanelLabel(PicturePanel, "DpiLabel");
  ColorsLabel = PanelLabel(PicturePanel, "ColorsLabel");
  picture->addWidget(PixelSizeLabel);
  picture->addWidget(DpiLabel);
  picture->addWidget(ColorsLabel);

  auto* tools = new QHBoxLayout;
  ZoomCombo = new QComboBox(PicturePanel);
  ZoomCombo->setObjectName("ZoomCombo");
  ZoomCombo->addItem("Fit");
  for (int percent : kZoomPercents) ZoomCombo->addItem(QString("%1%").arg(percent));
  ZoomCombo->setEnabled(false);
  PreviewButton = new QToolButton(PicturePanel);
  PreviewButton->setObjectName("PreviewButton");
  PreviewButton->setText("Show");
  PreviewButton->setToolTip("Preview the selected file");
  // Frames are not played yet; the button says how many there are.
  PlayButton = new QToolButton(PicturePanel);
  PlayButton->setObjectName("PlayButton");
  PlayButton->setText("Play");
  PlayButton->setEnabled(false);
  tools->addWidget(ZoomCombo, 1);
  tools->addWidget(PreviewButton);
  tools->addWidget(PlayButton);
  picture->addLayout(tools);

  ProgressBar = new QProgressBar(PicturePanel);
  ProgressBar->setObjectName("ProgressBar");
  ProgressBar->setRange(0, 100);
  ProgressBar->setTextVisible(false);
  ProgressBar->setMaximumHeight(8);
  ProgressBar->hide();
  picture->addWidget(ProgressBar);

  PreviewView = new TVistelView(PicturePanel);
  PreviewView->setObjectName("PreviewView");
  PreviewView->setMinimumSize(180, 180);
  PreviewView->SetCenter(true);
  PreviewView->SetScrollBars(ssBoth);
  PreviewView->SetBackGround(Qt::white);
  picture->addWidget(PreviewView, 1);
  column->addWidget(PicturePanel, 1);

  if (auto* grid = qobject_cast<QGridLayout*>(layout()))
    grid->addWidget(ImagePanel, 0, grid->columnCount(), grid->rowCount(), 1);
  else if (layout())
    layout()->addWidget(ImagePanel);

  VistelIO.OnProgress = [this](void*, int percent) { ProgressBar->setValue(percent); };
  connect(this, &QFileDialog::currentChanged, this,
          [this](const QString& path) { SelectionChange(path); });
  // A name typed into the name field previews too, once it names a file of the folder.
  if (auto* name = findChild<QLineEdit*>("fileNameEdit"))
    connect(name, &QLineEdit::textChanged, this, [this](const QString& text) {
      const QFileInfo typed(directory(), text);
      if (!text.isEmpty() && typed.isFile() && typed.absoluteFilePath() != current_)
        SelectionChange(typed.absoluteFilePath());
    });
  resize(860, 500);
  connect(ZoomCombo, &QComboBox::activated, this, [this] { ZoomComboChange(); });
  connect(PreviewCheck, &QCheckBox::clicked, this, [this] { PreviewCheckClick(); });
  connect(PreviewButton, &QToolButton::clicked, this, [this] { PreviewButtonClick(); });
}

TVistelFileDialog::~TVistelFileDialog() { PreviewView->SetBitmap(nullptr); }

void TVistelFileDialog::SetInitialDir(const QString& dir) { setDirectory(dir); }

int TVistelFileDialog::FilterIndex() const {
  const QStringList names = nameFilters();
  const qsizetype index = names.indexOf(selectedNameFilter());
  if (index >= 0) return static_cast<int>(index);
  if (auto* combo = findChild<QComboBox*>("fileTypeCombo")) return std::max(combo->currentIndex(), 0);
  return 0;
}

void TVistelFileDialog::InsertPanelWidget(QWidget* widget) {
  auto* column = static_cast<QVBoxLayout*>(ImagePanel->layout());
  column->insertWidget(1, widget);
}

bool TVistelFileDialog::RunDialog() {
  fileName_.clear();
  ClearPreview();
  ClearFields();
  const int result = exec();
  // Return pressed while the name field's completion list was open leaves that list standing.
  if (auto* name = findChild<QLineEdit*>("fileNameEdit"); name && name->completer())
    name->completer()->popup()->hide();
  if (result != QDialog::Accepted) return false;
  const QStringList files = selectedFiles();
  if (files.isEmpty()) return false;
  fileName_ = files.first();
  return true;
}

void TVistelFileDialog::SelectionChange(const QString& path) {
  current_ = path;
  Preview(path);
}

void TVistelFileDialog::PreviewCheckClick() {
  if (PreviewCheck->isChecked()) {
    Preview(current_);
  } else {
    ClearPreview();
    ClearFields();
  }
}

void TVistelFileDialog::PreviewButtonClick() {
  const bool wasChecked = PreviewCheck->isChecked();
  PreviewCheck->setChecked(true);
  Preview(current_);
  PreviewCheck->setChecked(wasChecked);
}

void TVistelFileDialog::ClearPreview() {
  picture_.Release();
  PreviewView->SetBackGround(Qt::white);
  PreviewView->SetBitmap(nullptr);
  PreviewView->Update();
  ZoomCombo->setEnabled(false);
  PlayButton->setEnabled(false);
  PlayButton->setToolTip(QString());
}

void TVistelFileDialog::ClearFields() {
  for (QLabel* label : {FileSizeLabel, FileTypeLabel, PixelSizeLabel, DpiLabel, ColorsLabel})
    label->clear();
}

void TVistelFileDialog::Preview(const QString& path) {
  // A load reports progress; whatever that lets run must not start another.
  if (previewing_) return;
  const QFileInfo file(path);
  if (path.isEmpty() || !file.isFile()) {
    ClearPreview();
    ClearFields();
    return;
  }
  if (!PreviewCheck->isChecked()) return;
  previewing_ = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const std::int64_t fileBytes = file.size();
  ClearPreview();
  ClearFields();

  const QString ext = file.suffix().toLower();
  const int frames = CountFrames(path, ext);
  bool loaded = false;
  ProgressBar->setValue(0);
  ProgressBar->show();
  try {
    loaded = VistelIO.LoadFromFile(path.toStdString()) && !picture_.Empty();
  } catch (const std::exception&) {
    loaded = false;
  }
  ProgressBar->hide();

  if (loaded) {
    PreviewView->SetBitmap(&picture_);
    PreviewView->SetDPI(VistelIO.Params.DpiX, VistelIO.Params.DpiY);
    ZoomCombo->setEnabled(true);
    ApplyZoom();
    if (frames > 1) PlayButton->setToolTip(QString("%1 frames").arg(frames));
    const TPreviewLines lines = FormatPreviewLines(VistelIO.Params, fileBytes, frames);
    PixelSizeLabel->setText(lines.PixelSize);
    DpiLabel->setText(lines.Dpi);
    ColorsLabel->setText(lines.Colors);
    FileSizeLabel->setText(lines.Sizes);
    FileTypeLabel->setText(lines.FileType);
  } else {
    ClearPreview();
  }
  QApplication::restoreOverrideCursor();
  previewing_ = false;
}

void TVistelFileDialog::ZoomComboChange() { ApplyZoom(); }

void TVistelFileDialog::ApplyZoom() {
  const int index = ZoomCombo->currentIndex();
  if (index > 0) {
    PreviewView->SetZoom(kZoomPercents[index - 1]);
  } else if (!picture_.Empty()) {
    // The largest zoom at which the whole picture fits the view.
    const double w = picture_.Width() / 100.0, h = picture_.Height() / 100.0;
    const int zoom = std::min(static_cast<int>(PreviewView->width() / w),
                              static_cast<int>(PreviewView->height() / h));
    PreviewView->SetZoom(std::max(zoom, 1));
  }
  PreviewView->Update();
}

// --- open dialog -------------------------------------------------------------------------------

TOpenVistelDialog::TOpenVistelDialog(QWidget* parent) : TVistelFileDialog(parent) {
  setObjectName("OpenDialog");
  setAcceptMode(QFileDialog::AcceptOpen);
  setFileMode(QFileDialog::ExistingFile);
}

bool TOpenVistelDialog::Execute() { return RunDialog(); }

// --- save dialog -------------------------------------------------------------------------------

TSaveVistelDialog::TSaveVistelDialog(QWidget* parent) : TVistelFileDialog(parent) {
  setObjectName("SaveDialog");
  setAcceptMode(QFileDialog::AcceptSave);
  setFileMode(QFileDialog::AnyFile);
  AdvancedButton = new QPushButton("Advanced", ImagePanel);
  AdvancedButton->setObjectName("AdvancedButton");
  InsertPanelWidget(AdvancedButton);
  connect(AdvancedButton, &QPushButton::clicked, this, [this] { AdvancedButtonClick(); });
  connect(this, &QFileDialog::filterSelected, this, [this] { FilterChange(); });
  setDefaultSuffix(FilterExtension());
}

QString TSaveVistelDialog::FilterExtension() const {
  const int index = FilterIndex();
  if (index < 0 || static_cast<std::size_t>(index) >= filters_.size()) return DefaultExt;
  const TFilterEntry& entry = filters_[static_cast<std::size_t>(index)];
  if (entry.Extensions.isEmpty()) return DefaultExt;
  // A filter of several formats leaves the choice to the default.
  const TIOPreviewsPage format = PageForExtension(entry.Extensions.first());
  for (const QString& ext : entry.Extensions)
    if (PageForExtension(ext) != format) return DefaultExt;
  return entry.Extensions.first();
}

QString TSaveVistelDialog::NameText() const {
  auto* edit = findChild<QLineEdit*>("fileNameEdit");
  return edit ? edit->text() : QString();
}

void TSaveVistelDialog::SetNameText(const QString& name) {
  if (auto* edit = findChild<QLineEdit*>("fileNameEdit")) edit->setText(name);
  else selectFile(name);
}

void TSaveVistelDialog::ApplyExOptions() {
  const bool preview = ExOptions.count(sdShowPreview) > 0;
  PreviewCheck->setVisible(preview);
  PicturePanel->setVisible(preview);
  // The user's choice of the check box stands until the option itself changes.
  if (preview != previewShown_) PreviewCheck->setChecked(preview);
  previewShown_ = preview;
  AdvancedButton->setVisible(ExOptions.count(sdShowAdvanced) > 0);
}

void TSaveVistelDialog::FilterChange() {
  const QString ext = FilterExtension();
  setDefaultSuffix(ext);
  QString name = NameText();
  const qsizetype slash = std::max(name.lastIndexOf('/'), name.lastIndexOf('\\'));
  const qsizetype dot = name.lastIndexOf('.');
  if (dot <= slash + 1 || dot == name.size() - 1) return;  // no extension to replace
  name = name.left(dot + 1) + ext;
  SetNameText(name);
}

void TSaveVistelDialog::AdvancedButtonClick() {
  if (!AttachedVistelIO) return;
  QString ext = QFileInfo(NameText()).suffix();
  if (ext.isEmpty()) ext = DefaultExt;
  TfIOPreviews options(*AttachedVistelIO, this);
  options.Execute(PageForExtension(ext));
}

bool TSaveVistelDialog::Execute() {
  ApplyExOptions();
  setDefaultSuffix(FilterExtension());
  std::optional<TIOParamsVals> saved;
  if (AttachedVistelIO) saved = AttachedVistelIO->Params;
  if (!RunDialog()) {
    if (AttachedVistelIO && saved) AttachedVistelIO->Params = *saved;
    return false;
  }
  if (QFileInfo(fileName_).suffix().isEmpty()) {
    if (!fileName_.endsWith('.')) fileName_ += '.';
    fileName_ += FilterExtension();
  }
  return true;
}
