#include "app/SDIAppForm.h"

#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <cmath>
#include <QClipboard>
#include <QCloseEvent>
#include <QColorDialog>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/Dialogs.h"
#include "app/GeneralParams.h"
#include "app/Toolform1.h"
#include "app/Tutorial.h"
#include "app/Usersave1.h"
#include "app/Glyphs.h"
#include "app/Random.h"
#include "app/Zoomform1.h"
#include "colour/AdjustPanel.h"
#include "colour/Channelform1.h"
#include "imageio/LzwHooks.h"
#include "imageio/Vxopensavedlg.h"
#include "colour/ColourTools.h"
#include "colour/ShiftPanel.h"
#include "filters/FilterTools.h"
#include "paint/Brushform1.h"
#include "paint/PaintTools.h"
#include "paint/Restrictform1.h"
#include "selection/MoverTools.h"
#include "view/Vistelview.h"
#include "widgets/Rulerbox.h"
#include "widgets/Slidebar.h"
#include "warp/WarpTools.h"

using namespace korvane;

namespace {

// The working directory's tutorial when there is one, else the one shipped beside the program
// (the build tree's copy, or the installed one).
QString DefaultTutorialDir() {
  const QString local = QDir::currentPath() + "/htmtutor";
  if (QFileInfo::exists(local + "/index.htm")) return local;
  const QString bin = QCoreApplication::applicationDirPath();
  for (const QString& dir : {bin + "/htmtutor", bin + "/../share/korvane/htmtutor"})
    if (QFileInfo::exists(dir + "/index.htm")) return QDir(dir).absolutePath();
  return local;
}

constexpr const char* kNothingToSave = "Nothing loaded, nothing to save. Press any button. ";

QColor ToQColor(TColor c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }
TColor FromQColor(const QColor& c) { return RGBColor(c.red(), c.green(), c.blue()); }

// Hints carry the tooltip and an empty long hint, as "text|".
QString Hint(const char* tooltip) { return QString::fromUtf8(tooltip) + "|"; }

// The tool column: button name, caption, code, panel, status text and popup.
struct ToolEntry {
  const char* button;
  const char* caption;
  int code;
};
constexpr ToolEntry kTools[] = {
    {"adjust", "Adjust", ToolAdjust},   {"exch", "Colors", ToolColors},
    {"move", "ImgCtrl", ToolImgCtrl},   {"warp", "Warp", ToolWarp},
    {"shifter", "Shift", ToolShift},    {"filter3", "FilterA", ToolFilterA},
    {"retouch", "Rtch", ToolRetouch},   {"draw", "Draw", ToolDraw},
    {"IPLfilt", "FilterB", ToolFilterB}};

const char* StatusTextFor(int code) {
  switch (code) {
    case ToolAdjust: return "Adjust RGB colors ...";
    case ToolColors: return "Color manipulation ...";
    case ToolImgCtrl: return "Image Control actions ...";
    case ToolWarp: return "Image warping ...";
    case ToolShift: return "Shift combining ...";
    case ToolFilterA: return "Apply 3x3 filters ...";
    case ToolRetouch: return "Retouch tools ...";
    case ToolDraw: return "Drawing ...";
    case ToolFilterB: return "IPL Filters ...";
    case ToolConvolve7x7: return "Convolve 7x7 ...";
    case ToolColorTwist: return "Color Twist ...";
    case ToolHistogram: return "Histogram & stretching...";
    default: return "";
  }
}

// Adds a radio group of items (a "-" is a separator) with the given tags.
QActionGroup* AddRadioItems(QMenu* menu, const QStringList& captions, const QList<int>& tags) {
  auto* group = new QActionGroup(menu);
  group->setExclusive(true);
  int k = 0;
  for (const QString& caption : captions) {
    if (caption == "-") {
      menu->addSeparator();
      continue;
    }
    QAction* item = menu->addAction(caption);
    item->setCheckable(true);
    item->setData(tags.isEmpty() ? k : tags.value(k));
    group->addAction(item);
    if (k == 0) item->setChecked(true);
    ++k;
  }
  return group;
}

}  // namespace

// --- colour swatch ---------------------------------------------------------------------------

TColorShape::TColorShape(QWidget* parent) : QFrame(parent) {}

void TColorShape::SetColor(const QColor& color) {
  color_ = color;
  update();
}

void TColorShape::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), color_);
  p.setPen(Qt::black);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TColorShape::mousePressEvent(QMouseEvent* event) {
  if (OnMouseDown) OnMouseDown(event);
}

// --- construction ------------------------------------------------------------------------------

TSDIAppForm::TSDIAppForm(QWidget* parent) : QMainWindow(parent) {
  setObjectName("SDIAppForm");
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPointSize(8);
  setFont(font);
  CanvasFont = font;
  resize(662, 572);
  clock_.start();
  Editor.SetDefaultColors();

  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  setCentralWidget(central);

  BuildSpeedPanel();
  column->addWidget(SpeedPanel);

  TabControl1 = new QWidget(central);
  TabControl1->setObjectName("TabControl1");
  auto* tabColumn = new QVBoxLayout(TabControl1);
  tabColumn->setContentsMargins(2, 2, 2, 2);
  tabColumn->setSpacing(0);
  TabBar1 = new QTabBar(TabControl1);
  TabBar1->setObjectName("TabBar1");
  QFont bold = font;
  bold.setBold(true);
  TabBar1->setFont(bold);
  TabBar1->setExpanding(false);
  TabBar1->setDrawBase(false);
  for (const char* tab : {"Basic", "Convolve7x7", "ColorTwist", "Histogram"}) TabBar1->addTab(tab);
  tabColumn->addWidget(TabBar1);
  auto* client = new QFrame(TabControl1);
  client->setObjectName("TabClient");
  client->setFrameShape(QFrame::StyledPanel);
  auto* row = new QHBoxLayout(client);
  row->setContentsMargins(2, 2, 2, 2);
  row->setSpacing(2);
  tabColumn->addWidget(client, 1);
  column->addWidget(TabControl1, 1);

  BuildToolColumn();
  row->addWidget(Panel1);
  BuildPaintArea();
  row->addWidget(PanelPaint, 1);
  BuildToolPanels();
  for (QFrame* panel : {AdjPan, ExchPan, MovPan, WarpPan, ShiftPan, Flt3Pan, RtchPan, DrawPan,
                        IPLPan1, Flt7Pan, TwistPan, HistoPan})
    row->addWidget(panel);

  BuildMenus();
  BuildPopups();
  AdjustPanel = BuildAdjustPanel(*this);
  ShiftPanel = BuildShiftPanel(*this);
  BuildStatusBar();

  connect(TabBar1, &QTabBar::currentChanged, this, &TSDIAppForm::TabControl1Change);
  qApp->installEventFilter(this);
  CreateForms();
  setWindowTitle(CaptionText);
  setAcceptDrops(true);
}

TSDIAppForm::~TSDIAppForm() {
  qApp->removeEventFilter(this);
  document_.Release();
}

void TSDIAppForm::CreateForms() {
  // The dialogs live for the whole run, created in this order after the main window:
  // AboutBox, TextForm, WngForm, BrushForm, NewImage, RestrictForm, ABrushForm, ContureForm,
  // ChannelForm, GrayScaleForm, ZoomForm, GeneralParams, UserSave, ToolForm, ResizeForm,
  // EnlargeForm, RotateForm, TutorialBox, LUTForm, ShadowForm.
  AboutBox = new TAboutBox(this);
  WngForm = new TWngForm(this);
  BrushForm = new TBrushForm(Editor.Brush, Editor.BrushDialog, this);
  NewImage = new TNewImage(this);
  RestrictForm = new TRestrictForm(Editor.Restrict, this);
  connect(RestrictForm, &TRestrictForm::RestrictChanged, this,
          [this](const QString& text) { SetStatusPanelText(4, text); });
  ChannelForm = new TChannelForm(Editor, this);
  ZoomForm = new TZoomForm(Editor, *Paint1, this);
  GeneralParams = new TGeneralParams(FileFormats, this);
  GeneralParams->UserFilterDir = QDir::currentPath() + "/userdef";
  GeneralParams->TutorialDir = DefaultTutorialDir();
  UserSave = new TUserSave(this);
  ToolForm = new TToolForm(this);
  UserSave->OnRebuild = [this] { RebuildUserLists(); };
  TutorialBox = new TTutorialBox(this);
  GeneralParams->OnApplied = [this] {
    RebuildUserLists();
    if (GeneralParams->SavePreview())
      SaveDialog->ExOptions.insert(sdShowPreview);
    else
      SaveDialog->ExOptions.erase(sdShowPreview);
    FormatsToIO(FileFormats, ImageIO.Params);
  };

  OpenDialog = new TOpenVistelDialog(this);
  OpenDialog->setObjectName("OpenDialog");
  OpenDialog->SetInitialDir(QDir::currentPath());
  SaveDialog = new TSaveVistelDialog(this);
  SaveDialog->setObjectName("SaveDialog");
  SaveDialog->SetInitialDir(QDir::currentPath());
  SaveDialog->AttachedVistelIO = &ImageIO;

  // The program's own LZW coders go into the record once; the record's defaults are empty.
  InstallLzwCoders(ImageIO.Params);
  FormatsToIO(FileFormats, ImageIO.Params);
  ImageIO.OnProgress = [this](void*, int percent) { ReportIOProgress(percent); };
}

void TSDIAppForm::BuildSpeedPanel() {
  SpeedPanel = new QWidget(this);
  SpeedPanel->setObjectName("SpeedPanel");
  SpeedPanel->setFixedHeight(29);
  auto* row = new QHBoxLayout(SpeedPanel);
  row->setContentsMargins(2, 2, 2, 2);
  row->setSpacing(0);
  struct Button {
    QToolButton** field;
    const char* name;
    const char* tooltip;
    void (TSDIAppForm::*handler)();
  };
  const Button buttons[] = {
      {&createnew, "createnew", "New", &TSDIAppForm::NewItemClick},
      {&open, "open", "Open", &TSDIAppForm::OpenItemClick},
      {&save, "save", "Save", &TSDIAppForm::SaveItemClick},
      {&saveas, "saveas", "Save As", &TSDIAppForm::SavAsItemClick},
      {&printer, "printer", "Print", &TSDIAppForm::PrintItemClick},
      {&fonts, "fonts", "Font", &TSDIAppForm::fontsClick},
      {&undo, "undo", "Undo", &TSDIAppForm::UndoItemClick},
      {&revert, "revert", "Revert", &TSDIAppForm::RevertItemClick},
      {&zoomin, "zoomin", "Zoom in", &TSDIAppForm::ImgCtrlZoomInClick},
      {&zoomout, "zoomout", "Zoom out", &TSDIAppForm::ImgCtrlZoomOutClick},
      {&fzoom, "fzoom", "Zoom floating", &TSDIAppForm::fzoomClick},
      {&repan, "repan", "Center image on/off", &TSDIAppForm::ImgCtrlRePanClick},
      {&brushes, "brushes", "Brushes", &TSDIAppForm::brushesClick},
      {&restrict, "restrict", "Restrictions", &TSDIAppForm::restrictClick},
      {&channels, "channels", "Transparency & channels", &TSDIAppForm::channelsClick},
      {&conture, "conture", "Contour", &TSDIAppForm::contureClick},
      {&adraw, "adraw", "Autobrush parameters", &TSDIAppForm::adrawClick},
      {&shadow, "shadow", "Shadow settings", &TSDIAppForm::shadowClick},
      {&panic, "panic", "Panic button", &TSDIAppForm::panicClick},
  };
  for (const Button& b : buttons) {
    auto* button = new QToolButton(SpeedPanel);
    button->setObjectName(b.name);
    button->setFixedSize(25, 25);
    button->setIconSize(QSize(20, 20));
    button->setIcon(SpeedGlyph(b.name));
    button->setAutoRaise(true);
    button->setToolTip(b.tooltip);
    button->setStatusTip(Hint(b.tooltip));
    connect(button, &QToolButton::clicked, this, b.handler);
    *b.field = button;
    row->addWidget(button);
  }
  row->addStretch();
}

void TSDIAppForm::BuildToolColumn() {
  Panel1 = new QFrame(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFixedWidth(53);
  auto* column = new QVBoxLayout(Panel1);
  column->setContentsMargins(2, 2, 2, 2);
  column->setSpacing(0);
  ToolButtons = new QButtonGroup(this);
  ToolButtons->setExclusive(true);
  QFont bold = font();
  bold.setBold(true);
  QToolButton** fields[] = {&adjust, &exch,    &move,    &warp,   &shifter,
                            &filter3, &retouch, &draw, &IPLfilt};
  int k = 0;
  for (const ToolEntry& tool : kTools) {
    auto* button = new QToolButton(Panel1);
    button->setObjectName(tool.button);
    button->setText(tool.caption);
    button->setFixedSize(49, 20);
    button->setCheckable(true);
    button->setAutoRaise(true);
    button->setFont(bold);
    button->setStyleSheet("QToolButton { color: #0000ff; }");
    ToolButtons->addButton(button, tool.code);
    *fields[k++] = button;
    column->addWidget(button);
  }
  connect(ToolButtons, &QButtonGroup::idClicked, this, &TSDIAppForm::ToolButtonClick);
  column->addStretch();
  BuildColorPanel();
  column->addWidget(ColorPan);
}

void TSDIAppForm::BuildColorPanel() {
  ColorPan = new QFrame(Panel1);
  ColorPan->setObjectName("ColorPan");
  ColorPan->setFixedSize(49, 162);
  ColorBack = new TColorShape(ColorPan);
  ColorBack->setObjectName("ColorBack");
  ColorBack->setGeometry(16, 20, 30, 30);
  ColorBack->SetColor(Qt::black);
  ColorBack->setToolTip("Click to choose background color");
  ColorBack->setStatusTip(Hint("Click to choose background color"));
  ColorForg = new TColorShape(ColorPan);
  ColorForg->setObjectName("ColorForg");
  ColorForg->setGeometry(3, 4, 30, 30);
  ColorForg->SetColor(Qt::white);
  ColorForg->setToolTip("Click to choose foreground color");
  ColorForg->setStatusTip(Hint("Click to choose foreground color"));
  ReverseFB = new QToolButton(ColorPan);
  ReverseFB->setObjectName("ReverseFB");
  ReverseFB->setText("R");
  ReverseFB->setGeometry(3, 36, 12, 14);
  QFont bold = font();
  bold.setBold(true);
  ReverseFB->setFont(bold);
  ReverseFB->setStyleSheet("QToolButton { color: red; }");
  ReverseFB->setAutoRaise(true);
  ReverseFB->setToolTip("Click to revert colors");
  ReverseFB->setStatusTip(Hint("Click to revert colors"));
  const auto label = [this](const char* name, const char* text, int top) {
    auto* l = new QLabel(text, ColorPan);
    l->setObjectName(name);
    l->setGeometry(3, top, 45, 14);
    return l;
  };
  ColorRed = label("ColorRed", "R: 0", 56);
  ColorGreen = label("ColorGreen", "G: 0", 72);
  ColorBlue = label("ColorBlue", "B: 0", 88);
  ColorPass = new TColorShape(ColorPan);
  ColorPass->setObjectName("ColorPass");
  ColorPass->setGeometry(3, 108, 43, 48);
  ColorPass->SetColor(palette().color(QPalette::Button));

  ColorForg->OnMouseDown = [this](QMouseEvent*) { ColorForgMouseDown(); };
  ColorBack->OnMouseDown = [this](QMouseEvent*) { ColorBackMouseDown(); };
  connect(ReverseFB, &QToolButton::clicked, this, &TSDIAppForm::ReverseFBClick);
}

void TSDIAppForm::BuildPaintArea() {
  PanelPaint = new QWidget(this);
  PanelPaint->setObjectName("PanelPaint");
  auto* grid = new QGridLayout(PanelPaint);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(0);
  RulerBoxH = new TRulerBox(PanelPaint);
  RulerBoxH->setObjectName("RulerBoxH");
  ApplyMainWindowRuler(*RulerBoxH, TRulerBox::rdHorizontal);
  RulerBoxV = new TRulerBox(PanelPaint);
  RulerBoxV->setObjectName("RulerBoxV");
  ApplyMainWindowRuler(*RulerBoxV, TRulerBox::rdVertical);
  Paint1 = new TVistelView(PanelPaint);
  Paint1->setObjectName("Paint1");
  Paint1->viewport()->setCursor(ViewCursor(1784));
  Paint1->OnMouseDown = [this](QMouseEvent* e) { Paint1MouseDown(e); };
  Paint1->OnMouseMove = [this](QMouseEvent* e) { Paint1MouseMove(e); };
  Paint1->OnMouseUp = [this](QMouseEvent* e) { Paint1MouseUp(e); };
  Paint1->OnWheelZoom = [this](const QPoint& client, bool in) { ZoomAround(client, in); };
  Paint1->OnLayoutChanged = [this] { RulersFollowView(); };
  grid->addWidget(RulerBoxH, 0, 0, 1, 2);
  grid->addWidget(Paint1, 1, 0);
  grid->addWidget(RulerBoxV, 1, 1);
}

QFrame* TSDIAppForm::MakeToolPanel(const char* name, int width) {
  auto* panel = new QFrame(this);
  panel->setObjectName(name);
  panel->setFrameShape(QFrame::StyledPanel);
  panel->setFixedWidth(width);
  panel->hide();
  return panel;
}

void TSDIAppForm::BuildToolPanels() {
  constexpr int kNarrow = 83;
  constexpr int kWide = 281;
  AdjPan = MakeToolPanel("AdjPan", kNarrow);
  ExchPan = MakeToolPanel("ExchPan", kNarrow);
  MovPan = MakeToolPanel("MovPan", kNarrow);
  WarpPan = MakeToolPanel("WarpPan", kNarrow);
  ShiftPan = MakeToolPanel("ShiftPan", kNarrow);
  Flt3Pan = MakeToolPanel("Flt3Pan", kNarrow);
  RtchPan = MakeToolPanel("RtchPan", kNarrow);
  DrawPan = MakeToolPanel("DrawPan", kNarrow);
  IPLPan1 = MakeToolPanel("IPLPan1", kNarrow);
  Flt7Pan = MakeToolPanel("Flt7Pan", kWide);
  TwistPan = MakeToolPanel("TwistPan", kWide);
  HistoPan = MakeToolPanel("HistoPan", kWide);
  // The Adjust panel's colour sliders; the panel's other controls come with the tool.
  auto* adjustColumn = new QVBoxLayout(AdjPan);
  adjustColumn->setContentsMargins(4, 4, 4, 4);
  TSlideBar** tracks[3] = {&TrackRed, &TrackGreen, &TrackBlue};
  QLabel** labels[3] = {&TrackRedLab, &TrackGreenLab, &TrackBlueLab};
  const char* names[3] = {"TrackRed", "TrackGreen", "TrackBlue"};
  auto* row = new QHBoxLayout;
  for (int k = 0; k < 3; ++k) {
    auto* column = new QVBoxLayout;
    *tracks[k] = CreateColourTrack(AdjPan, names[k]);
    (*tracks[k])->SetOrientation(TSlideBar::orVertical);
    *labels[k] = new QLabel("0", AdjPan);
    (*labels[k])->setObjectName(QString(names[k]) + "Lab");
    (*labels[k])->setAlignment(Qt::AlignCenter);
    column->addWidget(*tracks[k], 1, Qt::AlignHCenter);
    column->addWidget(*labels[k]);
    row->addLayout(column);
    QLabel* label = *labels[k];
    connect(*tracks[k], &TSlideBar::OnChange, label,
            [label](TSlideBar* bar) { label->setText(QString::number(bar->Position())); });
  }
  adjustColumn->addLayout(row, 1);
  adjustColumn->addStretch();
  HistoPanA = new QFrame(HistoPan);
  HistoPanA->setObjectName("HistoPanA");
  auto* histo = new QVBoxLayout(HistoPan);
  histo->setContentsMargins(2, 2, 2, 2);
  histo->addWidget(HistoPanA, 1);
}

void TSDIAppForm::BuildMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("MainMenu");
  const auto item = [this](QMenu* menu, const QString& caption, void (TSDIAppForm::*handler)(),
                           const char* name) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, handler);
    return a;
  };
  QMenu* file = bar->addMenu("&File");
  NewItem = item(file, "&New...", &TSDIAppForm::NewItemClick, "NewItem");
  OpenItem = item(file, "&Open...", &TSDIAppForm::OpenItemClick, "OpenItem");
  SaveItem = item(file, "&Save", &TSDIAppForm::SaveItemClick, "SaveItem");
  SavAsItem = item(file, "Save &As...", &TSDIAppForm::SavAsItemClick, "SavAsItem");
  RevertItem = item(file, "&Revert", &TSDIAppForm::RevertItemClick, "RevertItem");
  RecentMenu = file->addMenu("Open &Recent");
  RecentMenu->setObjectName("RecentMenu");
  RecentMenu->setEnabled(false);
  file->addSeparator();
  PrintItem = item(file, "Print", &TSDIAppForm::PrintItemClick, "PrintItem");
  file->addSeparator();
  PreferencesItem =
      item(file, "Preferences...", &TSDIAppForm::PreferencesItemClick, "PreferencesItem");
  file->addSeparator();
  ExitItem = item(file, "E&xit", &TSDIAppForm::ExitItemClick, "ExitItem");
  ExitItem->setShortcut(QKeySequence(Qt::ALT | Qt::Key_X));

  QMenu* edit = bar->addMenu("&Edit");
  UndoItem = item(edit, "&Undo", &TSDIAppForm::UndoItemClick, "UndoItem");
  edit->addSeparator();
  CClipItem = item(edit, "Copy image to clipboard", &TSDIAppForm::CClipItemClick, "CClipItem");
  EClipItem = item(edit, "Empty clipboard", &TSDIAppForm::EClipItemClick, "EClipItem");
  edit->addSeparator();
  ClearItem = item(edit, "Clear Image", &TSDIAppForm::ClearItemClick, "ClearItem");

  QMenu* settings = bar->addMenu("Settings");
  BrushesItem = item(settings, "Brush specifications...", &TSDIAppForm::brushesClick, "BrushesItem");
  RestrictItem = item(settings, "Restrictions... ", &TSDIAppForm::restrictClick, "RestrictItem");
  // A doubled ampersand shows one.
  ChannelsItem =
      item(settings, "Transparency && channels...", &TSDIAppForm::channelsClick, "ChannelsItem");
  ContureItem = item(settings, "Contour definition...", &TSDIAppForm::contureClick, "ContureItem");
  AdrawItem = item(settings, "Autobrush parameters...", &TSDIAppForm::adrawClick, "AdrawItem");

  QMenu* view = bar->addMenu("View");
  ScrollItem = item(view, "&Scroll bars", &TSDIAppForm::ScrollItemClick, "ScrollItem");
  HRulerItem = item(view, "&Horizontal ruller", &TSDIAppForm::HRulerItemClick, "HRulerItem");
  VRulerItem = item(view, "&Vertical ruller", &TSDIAppForm::VRulerItemClick, "VRulerItem");
  for (QAction* a : {ScrollItem, HRulerItem, VRulerItem}) a->setCheckable(true);
  view->addSeparator();
  ZoomInMenu = view->addMenu("Zoom In");
  ZoomOutMenu = view->addMenu("Zoom Out");
  const auto ratios = [this](QMenu* menu, const QStringList& captions, const QList<int>& tags) {
    for (int k = 0; k < captions.size(); ++k) {
      QAction* a = menu->addAction(captions[k]);
      a->setData(tags[k]);
      connect(a, &QAction::triggered, this, [this, a] { ImgCtrlZoom(a); });
    }
  };
  ratios(ZoomInMenu, {"1:2", "1:3", "1:4", "1:5"}, {200, 300, 400, 500});
  ratios(ZoomOutMenu, {"2:1", "3:1", "4:1", "5:1"}, {50, 33, 25, 20});
  ZoomResetItem = item(view, "Reset to 1:1", &TSDIAppForm::ImgCtrlResetClick, "ZoomResetItem");
  ZoomFloatItem = item(view, "Float zooming...", &TSDIAppForm::fzoomClick, "ZoomFloatItem");
  CenterItem = item(view, "Toggle center image", &TSDIAppForm::ImgCtrlRePanClick, "CenterItem");
  // The usual viewer keys, beside the menu's own commands.
  const auto shortcut = [this](const QList<QKeySequence>& keys, void (TSDIAppForm::*handler)()) {
    auto* a = new QAction(this);
    a->setShortcuts(keys);
    a->setShortcutContext(Qt::WindowShortcut);
    connect(a, &QAction::triggered, this, handler);
    addAction(a);
  };
  shortcut({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
           &TSDIAppForm::ImgCtrlZoomInClick);
  shortcut({QKeySequence(Qt::CTRL | Qt::Key_Minus)}, &TSDIAppForm::ImgCtrlZoomOutClick);
  shortcut({QKeySequence(Qt::CTRL | Qt::Key_0)}, &TSDIAppForm::ImgCtrlResetClick);

  QMenu* help = bar->addMenu("&Help");
  About1 = item(help, "&About...", &TSDIAppForm::About1Click, "About1");
  Tutorial1 = item(help, "&Tutorial", &TSDIAppForm::Tutorial1Click, "Tutorial1");
}

void TSDIAppForm::BuildPopups() {
  const auto popup = [this](const char* name) {
    auto* menu = new QMenu(this);
    menu->setObjectName(name);
    return menu;
  };
  PMenu11 = popup("PMenu11");
  AddRadioItems(PMenu11,
                {"Free Hand (connected)", "-", "Apply on Contour", "Automatic brushing", "-",
                 "Free Handed Circles"},
                {});
  connect(PMenu11, &QMenu::triggered, this, &TSDIAppForm::P11Click);

  PMenu12 = popup("PMenu12");
  AddRadioItems(PMenu12,
                {"Free Hand", "Line", "Rectangle Outlined", "Rectangle Filled", "Ellipse Outlined",
                 "Ellipse Filled", "Text", "Circle Outlined", "Circle Filled", "-",
                 "Apply on Contour ", "-", "Free Handed Circles"},
                {});
  connect(PMenu12, &QMenu::triggered, this, &TSDIAppForm::P12Click);

  PMenu13 = popup("PMenu13");
  AddRadioItems(PMenu13,
                {"Soften", "Blur", "Sharpen", "Sharpen +", "Emboss Horizontal", "Emboss Vertical",
                 "Sobel Edges Horizontal", "Sobel Edges Vertical", "Top Hat", "Grease",
                 "Closest Color", "Focus", "UnFocus", "Graver Up", "Graver Down",
                 "Durer Horizontal", "Durer Vertical", "MinMax", "Contour Difference",
                 "Bevel Horizontal", "Bevel Vertical", "Nylon Raster", "Pencil Scratch",
                 "Full Multiply", "Metal Plate"},
                {});
  connect(PMenu13, &QMenu::triggered, this, &TSDIAppForm::P13Click);

  PMenu14 = popup("PMenu14");
  AddRadioItems(PMenu14,
                {"Blur 7x7", "Sharpen+ 7x7", "Grease 7x7", "Litograph 5x5",
                 "Structure Horizontal 7x7", "Structure Vertical 7x7", "Gaussian 7x7",
                 "Top-Hat 7x7", "Variance 7x7", "Psychedelic Distillation  4x5", "Contour 7x7 "},
                {});
  connect(PMenu14, &QMenu::triggered, this, &TSDIAppForm::P14Click);

  // The user-filter popups are filled from the user directory at run time.
  PMenu15 = popup("PMenu15");
  connect(PMenu15, &QMenu::triggered, this, &TSDIAppForm::P15Click);
  PMenu16 = popup("PMenu16");
  connect(PMenu16, &QMenu::triggered, this, &TSDIAppForm::P16Click);

  PMenu17 = popup("PMenu17");
  QMenu* method = PMenu17->addMenu("Warp method");
  AddRadioItems(method, {"Perspective", "Bilinear"}, {0, 1});
  connect(method, &QMenu::triggered, this, &TSDIAppForm::P170Click);
  QMenu* movement = PMenu17->addMenu("Movement settings");
  AddRadioItems(movement,
                {"Free points", "X length fixed", "Y length fixed", "X mirror", "Y mirror",
                 "Diagonal mirror", "All points fixed"},
                {1, 2, 3, 4, 5, 6, 7});
  connect(movement, &QMenu::triggered, this, &TSDIAppForm::P171Click);
  PMenu17->addSeparator();
  QAction* reset = PMenu17->addAction("Set ROI to image");
  connect(reset, &QAction::triggered, this, &TSDIAppForm::WROIReset);
  PMenu17->addSeparator();
  for (const auto& [caption, tag] : {std::pair{"Apply", 0}, std::pair{"Apply Full House", 1}}) {
    QAction* a = PMenu17->addAction(caption);
    a->setData(tag);
    connect(a, &QAction::triggered, this, [this, a] { WROIApply(a); });
  }

  PMenu18 = popup("PMenu18");
  AddRadioItems(PMenu18, {"Normal", "* 2", "* 3", "* 4", "* 8", "1 / 2", "1 / 3", "1 / 4", "1 / 8"},
                {1, 2, 3, 4, 8, -2, -3, -4, -8});
  connect(PMenu18, &QMenu::triggered, this, &TSDIAppForm::P18Click);
}

void TSDIAppForm::BuildStatusBar() {
  StatusBar = statusBar();
  StatusBar->setObjectName("StatusBar");
  StatusBar->setSizeGripEnabled(false);
  StatusBar->setFixedHeight(19);
  constexpr int widths[6] = {150, 100, 80, 100, 65, 50};
  const char* initial[6] = {"Korvane_24 running....", "X =  Y =", "", "Conture OFF ",
                            "Restrict 0", ""};
  for (int k = 0; k < 6; ++k) {
    auto* panel = new QLabel(initial[k], StatusBar);
    panel->setObjectName(QString("StatusPanel%1").arg(k));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setContentsMargins(2, 0, 2, 0);
    // The last panel takes the rest of the bar.
    if (k < 5)
      panel->setFixedWidth(widths[k]);
    else
      panel->setMinimumWidth(widths[k]);
    StatusBar->addWidget(panel, k == 5 ? 1 : 0);
    StatusPanels[static_cast<std::size_t>(k)] = panel;
  }
}

QString TSDIAppForm::StatusPanelText(int panel) const {
  return StatusPanels[static_cast<std::size_t>(panel)]->text();
}

void TSDIAppForm::SetStatusPanelText(int panel, const QString& text) {
  StatusPanels[static_cast<std::size_t>(panel)]->setText(text);
}

// --- activation, panels and tabs ---------------------------------------------------------

void TSDIAppForm::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TSDIAppForm::FormActivate() {
  if (initialized_) return;
  Editor.ZoomPercent = 100.0;
  Editor.ActiveTool = ToolNone;
  Panel1Tag = ToolNone;
  Editor.OverlayMode = 0;
  Editor.RoiShown = false;
  // Each tool panel is shown once and hidden again, so that its layout exists before first use.
  for (QFrame* panel : {AdjPan, ExchPan, MovPan, WarpPan, ShiftPan, Flt3Pan, RtchPan, DrawPan,
                        IPLPan1, Flt7Pan, TwistPan, HistoPan}) {
    panel->show();
    panel->hide();
  }
  setWindowTitle(CaptionText);
  Editor.DocumentLoaded = false;
  DefaultBrushDialog(Editor.BrushDialog);
  ApplyBrushDialog(Editor.BrushDialog, Editor.Brush);
  SetStatusPanelText(4, RestrictForm->StatusText());
  Editor.SetDefaultColors();
  ColorForg->SetColor(ToQColor(Editor.ForeColor.Color));
  ColorBack->SetColor(ToQColor(Editor.BackColor.Color));
  RandomSeed(static_cast<std::uint64_t>(QDateTime::currentSecsSinceEpoch()));
  Editor.RoiWarpMethod = 0;
  Editor.RoiMoveMode = 1;
  Editor.BumpMultiplier = 1;
  Editor.CompositeMode = 5;
  RebuildUserLists();
  initialized_ = true;
}

void TSDIAppForm::AttachViewPopup(QMenu* popup) { viewPopup_ = popup; }

void TSDIAppForm::HideAllPanels() {
  Paint1->DeSelect();
  if (Editor.RoiShown) {
    Editor.OverlayMode = 0;
    Editor.RoiShown = false;
  }
  if (MovPan->isVisible() && document_.HasDocument()) {
    document_.RestoreWork();
    RefreshView();
  }
  for (QFrame* panel :
       {AdjPan, ExchPan, MovPan, WarpPan, ShiftPan, Flt3Pan, RtchPan, DrawPan, IPLPan1, HistoPan})
    panel->hide();
  AttachViewPopup(nullptr);
}

void TSDIAppForm::ShowPanelForTool(int code) {
  Editor.ActiveTool = Panel1Tag;
  QFrame* panel = nullptr;
  QMenu* popup = PMenu12;
  switch (code) {
    case ToolAdjust: panel = AdjPan; break;
    case ToolColors: panel = ExchPan; break;
    case ToolImgCtrl: panel = MovPan; break;
    case ToolWarp:
      panel = WarpPan;
      popup = nullptr;  // PMenu17 comes only with the region warp
      break;
    case ToolShift: panel = ShiftPan; break;
    case ToolFilterA: panel = Flt3Pan; break;
    case ToolRetouch:
      panel = RtchPan;
      popup = PMenu11;
      break;
    case ToolDraw: panel = DrawPan; break;
    case ToolFilterB: panel = IPLPan1; break;
    default: return;
  }
  panel->show();
  SetStatusPanelText(0, StatusTextFor(code));
  AttachViewPopup(popup);
  if (code != ToolWarp) UpdateShapeText(popup);
}

void TSDIAppForm::ToolButtonClick(int code) {
  HideAllPanels();
  Panel1Tag = code;
  ShowPanelForTool(code);
}

void TSDIAppForm::TabControl1Change(int index) {
  if (index == 0) {
    Flt7Pan->hide();
    TwistPan->hide();
    HistoPan->hide();
    Panel1->show();
    PanelPaint->show();
    ShowPanelForTool(Panel1Tag);
    return;
  }
  Panel1->hide();
  QFrame* tabs[3] = {Flt7Pan, TwistPan, HistoPan};
  HideAllPanels();
  for (int k = 0; k < 3; ++k)
    if (k != index - 1) tabs[k]->hide();
  tabs[index - 1]->show();
  const int code = ToolConvolve7x7 + index - 1;
  SetStatusPanelText(0, StatusTextFor(code));
  AttachViewPopup(PMenu12);
  Editor.ActiveTool = code;
  PanelPaint->show();
}

void TSDIAppForm::UpdateShapeText(QMenu* popup) {
  if (!popup) return;
  for (QAction* a : popup->actions()) {
    if (a->isCheckable() && a->isChecked()) {
      SetStatusPanelText(5, "Shape: " + a->text());
      return;
    }
  }
}

// --- popups --------------------------------------------------------------------------------

void TSDIAppForm::P11Click(QAction* item) {
  if (item->text() == "Apply on Contour" && document_.HasDocument()) {
    std::uint8_t* mask = document_.MaskPixels();
    document_.CopyPlane(mask, mask, ContourPlane, StampPlane);
  }
}

void TSDIAppForm::P12Click(QAction*) { UpdateShapeText(PMenu12); }
void TSDIAppForm::P13Click(QAction*) {}
void TSDIAppForm::P14Click(QAction*) {}
void TSDIAppForm::P15Click(QAction*) {}
void TSDIAppForm::P16Click(QAction*) {}
void TSDIAppForm::P170Click(QAction* item) { Editor.RoiWarpMethod = item->data().toInt(); }
void TSDIAppForm::P171Click(QAction* item) { Editor.RoiMoveMode = item->data().toInt(); }
void TSDIAppForm::P18Click(QAction* item) { Editor.BumpMultiplier = item->data().toInt(); }
void TSDIAppForm::WROIReset() {}
void TSDIAppForm::WROIApply(QAction*) {}

// --- colours -------------------------------------------------------------------------------

void TSDIAppForm::SetForeColor(TColor color) {
  SetColorRecord(Editor.ForeColor, color);
  ColorForg->SetColor(ToQColor(color));
}

void TSDIAppForm::SetBackColor(TColor color) {
  SetColorRecord(Editor.BackColor, color);
  ColorBack->SetColor(ToQColor(color));
}

void TSDIAppForm::ColorForgMouseDown() {
  const QColor chosen = QColorDialog::getColor(ColorForg->Color(), this);
  if (chosen.isValid()) SetForeColor(FromQColor(chosen));
}

void TSDIAppForm::ColorBackMouseDown() {
  const QColor chosen = QColorDialog::getColor(ColorBack->Color(), this);
  if (chosen.isValid()) SetBackColor(FromQColor(chosen));
}

void TSDIAppForm::ReverseFBClick() {
  std::swap(Editor.ForeColor, Editor.BackColor);
  ColorForg->SetColor(ToQColor(Editor.ForeColor.Color));
  ColorBack->SetColor(ToQColor(Editor.BackColor.Color));
}

// --- dialogs and commands ------------------------------------------------------------------

bool TSDIAppForm::Confirm(const QString& title, const QString& message) {
  return WngForm->Ask(title, message);
}

void TSDIAppForm::brushesClick() {
  PlaceUnderButton(BrushForm, brushes);
  BrushForm->exec();
}
void TSDIAppForm::restrictClick() {
  PlaceUnderButton(RestrictForm, restrict);
  RestrictForm->exec();
}

void TSDIAppForm::CentreUnderButton(QDialog* dialog, QWidget* button) {
  const QPoint origin = frameGeometry().topLeft();
  dialog->adjustSize();
  dialog->move(origin.x() + button->x() - dialog->frameGeometry().width() / 2, origin.y() + 43);
}

void TSDIAppForm::channelsClick() {
  CentreUnderButton(ChannelForm, channels);
  ChannelForm->exec();
}
void TSDIAppForm::contureClick() {}
void TSDIAppForm::adrawClick() {}
void TSDIAppForm::shadowClick() {}

void TSDIAppForm::fontsClick() {
  bool accepted = false;
  const QFont chosen = QFontDialog::getFont(&accepted, CanvasFont, this);
  if (accepted && document_.HasDocument()) CanvasFont = chosen;
}

void TSDIAppForm::panicClick() {
  if (!Confirm("Reset all...", "Press OK to set all parameters to default!")) return;
  DefaultBrushDialog(Editor.BrushDialog);
  ApplyBrushDialog(Editor.BrushDialog, Editor.Brush);
  RestrictForm->Default();
  RestrictForm->OK();
  ChannelForm->Chann_defClick();
  ChannelForm->Chann_OKClick();
}

void TSDIAppForm::ExitItemClick() { close(); }

void TSDIAppForm::CClipItemClick() {}

void TSDIAppForm::EClipItemClick() { QGuiApplication::clipboard()->clear(); }

void TSDIAppForm::NewItemClick() {
  const std::string remembered = Editor.CurrentFileName;
  Editor.CurrentFileName = TempPictureName;
  NewImage->exec();
  bool ok = false;
  if (NewImage->Accepted) {
    {
      TBusy busy(*this);
      ok = LoadOrCreate(Editor.CurrentFileName, true);
    }
    if (ok) {
      Editor.DocumentLoaded = true;
      setWindowTitle(QString(CaptionText) + " - " + QString::fromStdString(Editor.CurrentFileName));
      ShowDocumentSize();
    } else {
      // After the busy cursor: the message box needs the mouse.
      Confirm("Error...",
              newImageFailure_.isEmpty() ? QString(kWrongImageFormat) : newImageFailure_);
      newImageFailure_.clear();
    }
  }
  if (!ok) Editor.CurrentFileName = remembered;
}

void TSDIAppForm::ShowDocumentSize() {
  SetStatusPanelText(2,
                     QString("%1 * %2").arg(document_.ImageWidth()).arg(document_.ImageHeight()));
}

void TSDIAppForm::OpenItemClick() {
  if (OpenDialog->Execute()) OpenFile(OpenDialog->GetFileName());
}

bool TSDIAppForm::OpenFile(const QString& fileName) {
  // Progress lets events through; a drop or a timer must not start a second load inside one.
  if (busy_ > 0) return false;
  FormActivate();  // a file named at start may come before the window was ever active
  const std::string remembered = Editor.CurrentFileName;
  Editor.CurrentFileName = fileName.toStdString();
  if (!LoadWithMessages(Editor.CurrentFileName)) {
    Editor.CurrentFileName = remembered;
    return false;
  }
  Editor.DocumentLoaded = true;
  setWindowTitle(QString(CaptionText) + " - " + fileName);
  ShowDocumentSize();
  OpenDialog->SetInitialDir(QFileInfo(fileName).absolutePath());
  RememberRecent(QFileInfo(fileName).absoluteFilePath());
  return true;
}

void TSDIAppForm::SaveItemClick() {
  if (!Editor.DocumentLoaded) {
    Confirm("Error...", kNothingToSave);
    return;
  }
  if (!Confirm("Save...", "Press OK to save all changes !")) return;
  WriteDocument(QString::fromStdString(Editor.CurrentFileName));
}

void TSDIAppForm::SavAsItemClick() {
  if (!Editor.DocumentLoaded) {
    Confirm("Error...", kNothingToSave);
    return;
  }
  if (!SaveDialog->Execute()) return;
  const QString fileName = SaveDialog->GetFileName();
  SaveDialog->SetInitialDir(QFileInfo(fileName).absolutePath());
  // Named after the file only once it is written: a later Save or Revert must not reach a file
  // that holds something else.
  if (!WriteDocument(fileName)) return;
  Editor.CurrentFileName = fileName.toStdString();
  setWindowTitle(QString(CaptionText) + " - " + fileName);
}

bool TSDIAppForm::WriteDocument(const QString& fileName) {
  if (busy_ > 0) return false;
  ImageIO.Aborting = false;
  bool written = false;
  QString failure;
  {
    TBusy busy(*this);
    TIOProgress progress(*this);
    ImageIO.SetAttachedBitmap(&document_.WorkBitmap());
    try {
      written = ImageIO.SaveToFile(std::filesystem::path(fileName.toStdString()));
    } catch (const std::exception& e) {
      failure = QString::fromStdString(e.what());
    }
    ImageIO.SetAttachedBitmap(nullptr);
  }
  if (!failure.isEmpty())
    Confirm("Error...", failure);
  else if (!written && ImageIO.Aborting)
    SetStatusPanelText(0, "Save stopped; the file is as it was.");
  return written;
}

void TSDIAppForm::RevertItemClick() {
  if (!Confirm("Revert...", "Press OK to lose all changes since your last save!")) return;
  if (!LoadWithMessages(Editor.CurrentFileName)) return;
  Editor.DocumentLoaded = true;
  ShowDocumentSize();
}

void TSDIAppForm::PrintItemClick() {
  Confirm("Printing...", "This feature will be available in final version!");
}

void TSDIAppForm::PreferencesItemClick() { GeneralParams->exec(); }

bool TSDIAppForm::LoadWithMessages(const std::string& fileName) {
  if (busy_ > 0) return false;
  ImageIO.Aborting = false;
  loadFailure_.clear();
  QString failure;
  {
    TBusy busy(*this);
    if (document_.HasDocument()) RefreshView();
    TIOProgress progress(*this);
    try {
      if (LoadOrCreate(fileName, false)) return true;
      if (!ImageIO.Aborting) failure = loadFailure_.isEmpty() ? kWrongImageFormat : loadFailure_;
    } catch (const std::exception& e) {
      // The component's own words; the document is untouched.
      failure = QString::fromStdString(e.what());
    }
  }
  // Only once the busy cursor is gone: the message box needs the mouse.
  if (failure.isEmpty())
    SetStatusPanelText(0, "Loading stopped.");
  else
    Confirm("Error...", failure);
  return false;
}

bool TSDIAppForm::LoadFile(const std::string& fileName) {
  TDib picture;
  ImageIO.SetAttachedBitmap(&picture);
  bool loaded = false;
  try {
    loaded = ImageIO.LoadFromFile(std::filesystem::path(fileName));
  } catch (...) {
    ImageIO.SetAttachedBitmap(nullptr);
    throw;
  }
  ImageIO.SetAttachedBitmap(nullptr);
  if (!loaded || picture.Empty()) return false;
  // Black-and-white files open as a 24-bit picture in their two colours.
  if (picture.PixelFormat() == TPixelFormat::pf1bit) {
    TDib wide;
    if (const TStatus s = ConvertTo24Bit(picture, wide); !s) {
      loadFailure_ = QString::fromStdString(s.message());
      return false;
    }
    picture = std::move(wide);
  }
  if (const TStatus s = document_.LoadOrCreate(std::move(picture)); !s) {
    loadFailure_ = QString::fromStdString(s.message());
    return false;
  }
  AfterDocumentReplaced();
  return true;
}

void TSDIAppForm::ReportIOProgress(int percent) {
  if (Progress.ReportProgress(std::clamp(percent, 1, 99), 100)) ImageIO.Aborting = true;
}

// The codecs report from wherever they start; the status text is taken and given back here.
TSDIAppForm::TIOProgress::TIOProgress(TSDIAppForm& form) : form_(form) {
  form_.Progress.ReportProgress(0, 100);
}

TSDIAppForm::TIOProgress::~TIOProgress() { form_.Progress.ReportProgress(100, 100); }

void TSDIAppForm::RememberRecent(const QString& fileName) {
  recentFiles_.removeAll(fileName);
  recentFiles_.prepend(fileName);
  constexpr int kRecentCount = 8;
  while (recentFiles_.size() > kRecentCount) recentFiles_.removeLast();
  RebuildRecentMenu();
}

void TSDIAppForm::RebuildRecentMenu() {
  RecentMenu->clear();
  for (int i = 0; i < recentFiles_.size(); ++i) {
    const QString fileName = recentFiles_[i];
    QAction* a = RecentMenu->addAction(QString("&%1 %2").arg(i + 1).arg(fileName));
    connect(a, &QAction::triggered, this, [this, fileName] { OpenFile(fileName); });
  }
  RecentMenu->setEnabled(!recentFiles_.isEmpty());
}

namespace {
// The one local image file a drag carries, or nothing.
QString DroppedImage(const QMimeData* mime) {
  if (!mime->hasUrls() || mime->urls().size() != 1) return {};
  const QUrl url = mime->urls().front();
  if (!url.isLocalFile()) return {};
  static const QStringList kExtensions = {"jpg", "jpeg", "gif", "tif", "tiff", "pcx", "png", "bmp"};
  const QString file = url.toLocalFile();
  return kExtensions.contains(QFileInfo(file).suffix().toLower()) ? file : QString();
}
}  // namespace

void TSDIAppForm::dragEnterEvent(QDragEnterEvent* event) {
  if (busy_ == 0 && !DroppedImage(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TSDIAppForm::dropEvent(QDropEvent* event) {
  const QString file = DroppedImage(event->mimeData());
  if (file.isEmpty()) return;
  event->acceptProposedAction();
  // Not inside the drop: the message box must not run in the drag's event loop.
  QTimer::singleShot(0, this, [this, file] { OpenFile(file); });
}

void TSDIAppForm::About1Click() { AboutBox->About1Click(); }
void TSDIAppForm::Tutorial1Click() { TutorialBox->Tutorial1Click(GeneralParams->TutorialDir); }

void TSDIAppForm::RebuildUserLists() {
  // The popups' own connections run P15Click and P16Click; the table editor comes later.
  ::RebuildUserLists(*ToolForm, GeneralParams->UserFilterDir, {PMenu15, PMenu16, {}, {}, {}});
}

bool TSDIAppForm::LoadOrCreate(const std::string& fileName, bool isNew) {
  if (!isNew) return LoadFile(fileName);
  const TColor background = NewImageBackground(NewImage->BackgroundIndex, Editor.ForeColor.Color,
                                                Editor.BackColor.Color);
  const TStatus status =
      document_.LoadOrCreate(NewImage->ImageWidth(), NewImage->ImageHeight(), background);
  if (!status) {
    newImageFailure_ = QString::fromStdString(status.message());
    return false;
  }
  AfterDocumentReplaced();
  return true;
}

void TSDIAppForm::AfterDocumentReplaced() {
  Paint1->SetBitmap(&document_.WorkBitmap());
  SetZoomPercent(100.0);
  Paint1->SetViewXY(0, 0);
  Paint1->SetBackGround(palette().color(QPalette::Button));
  SetStatusPanelText(3, "Contour: OFF");
  RulerBoxH->SetViewMin(0);
  RulerBoxH->SetViewMax(document_.ImageWidth());
  RulerBoxH->SetViewPos(0);
  RulerBoxV->SetViewMin(0);
  RulerBoxV->SetViewMax(document_.ImageHeight());
  RulerBoxV->SetViewPos(0);
  RulersFollowView();
  RefreshView();
}

void TSDIAppForm::RefreshView() { Paint1->Update(); }

void TSDIAppForm::RulersFollowView() {
  // The unit under any ruler pixel is the image pixel the view shows beside it.
  const korvane::TViewGeometry& g = Paint1->Geometry();
  const QPoint start = Paint1->viewport()->mapTo(PanelPaint, QPoint(0, 0));
  RulerBoxH->FollowView(g.Zoom, g.ViewX, g.OffsetX(), start.x() - RulerBoxH->x());
  RulerBoxV->FollowView(g.Zoom, g.ViewY, g.OffsetY(), start.y() - RulerBoxV->y());
}

void TSDIAppForm::UndoItemClick() {
  if (!document_.HasDocument()) return;
  const int width = document_.ImageWidth(), height = document_.ImageHeight();
  document_.Undo();
  if (Editor.RoiShown) {
    Editor.OverlayMode = 0;
    Editor.RoiShown = false;
  }
  if (document_.ImageWidth() != width || document_.ImageHeight() != height) {
    Paint1->SetBitmap(&document_.WorkBitmap());
    SetZoomPercent(100.0);
    ShowDocumentSize();
  }
  RefreshView();
}

void TSDIAppForm::ClearItemClick() {
  if (!document_.HasDocument()) return;
  document_.ClearImage(Editor.BackColor.Color);
  SetStatusPanelText(3, "Contour: OFF");
  RefreshView();
}

// --- view commands -------------------------------------------------------------------------

void TSDIAppForm::SetZoomPercent(double percent) {
  Editor.ZoomPercent = percent;
  Paint1->SetZoom(static_cast<int>(percent));
}

bool TSDIAppForm::ZoomIn() {
  if (Editor.ZoomPercent >= kMaxZoomPercent) return false;
  SetZoomPercent(Editor.ZoomPercent * 2);
  return true;
}

bool TSDIAppForm::ZoomOut() {
  if (Editor.ZoomPercent <= kMinZoomPercent) return false;
  SetZoomPercent(Editor.ZoomPercent * 0.5);
  return true;
}

void TSDIAppForm::ImgCtrlZoomInClick() { ZoomIn(); }
void TSDIAppForm::ImgCtrlZoomOutClick() { ZoomOut(); }

void TSDIAppForm::ImgCtrlZoom(QAction* item) { SetZoomPercent(item->data().toInt()); }

void TSDIAppForm::ImgCtrlResetClick() {
  Editor.ZoomPercent = 100;
  Paint1->SetViewXY(0, 0);
  Paint1->SetZoom(100);
}

void TSDIAppForm::PlaceUnderButton(QDialog* dialog, QWidget* button) {
  const QPoint origin = frameGeometry().topLeft();
  dialog->move(origin.x() + button->x() + 4, origin.y() + 43);
}

void TSDIAppForm::fzoomClick() {
  PlaceUnderButton(ZoomForm, fzoom);
  ZoomForm->exec();
}

void TSDIAppForm::ImgCtrlRePanClick() {
  Paint1->SetCenter(!Paint1->Center());
  Paint1->SetViewXY(0, 0);
}

void TSDIAppForm::ScrollItemClick() {
  // Triggered from the menu the check has already flipped; from code it has not.
  if (sender() != ScrollItem) ScrollItem->setChecked(!ScrollItem->isChecked());
  Paint1->SetScrollBars(ScrollItem->isChecked() ? ssBoth : ssNone);
}

void TSDIAppForm::HRulerItemClick() {
  if (sender() != HRulerItem) HRulerItem->setChecked(!HRulerItem->isChecked());
  RulerBoxH->setVisible(HRulerItem->isChecked());
}

void TSDIAppForm::VRulerItemClick() {
  if (sender() != VRulerItem) VRulerItem->setChecked(!VRulerItem->isChecked());
  RulerBoxV->setVisible(VRulerItem->isChecked());
}

void TSDIAppForm::ZoomAround(const QPoint& client, bool in) {
  const korvane::TViewGeometry& g = Paint1->Geometry();
  // The image point under the cursor, in unzoomed pixels, stays under the cursor.
  const double px = (client.x() + g.ViewX - g.OffsetX()) * 100.0 / g.Zoom;
  const double py = (client.y() + g.ViewY - g.OffsetY()) * 100.0 / g.Zoom;
  if (!(in ? ZoomIn() : ZoomOut())) return;
  const korvane::TViewGeometry& h = Paint1->Geometry();
  Paint1->SetViewXY(static_cast<int>(std::lround(px * h.Zoom / 100.0 - (client.x() - h.OffsetX()))),
                    static_cast<int>(std::lround(py * h.Zoom / 100.0 - (client.y() - h.OffsetY()))));
}

// --- mouse on the view ---------------------------------------------------------------------

int TSDIAppForm::ShapeCode(bool twoColor) const {
  struct Entry {
    const char* caption;
    int code, twoColorCode;
  };
  static const Entry kShapes[] = {
      {"Free Hand", ovFreeHand, ovFreeHand},
      {"Line", ovLine, ovLine},
      {"Rectangle Outlined", ovRectOutlined, ovRectOutlined},
      {"Rectangle Filled", ovRectFilled, ovRectTwoColor},
      {"Ellipse Outlined", ovEllipseOutlined, ovEllipseOutlined},
      {"Ellipse Filled", ovEllipseFilled, ovEllipseTwoColor},
      {"Text", ovTextStamp, ovTextStamp},
      {"Circle Outlined", ovCircleOutlined, ovCircleOutlined},
      {"Circle Filled", ovCircleFilled, ovCircleTwoColor},
      {"Free Handed Circles", ovFreeHand, ovFreeHand},
      {"Apply on Contour ", ovThinLine, ovThinLine},
  };
  for (QAction* a : PMenu12->actions()) {
    if (!a->isCheckable() || !a->isChecked()) continue;
    for (const Entry& e : kShapes)
      if (a->text() == e.caption) return twoColor ? e.twoColorCode : e.code;
  }
  return ovFreeHand;
}

int TSDIAppForm::ShapePenWidth() const { return Editor.Brush.BrushSize; }

void TSDIAppForm::RefreshRubber() { Paint1->UpdateBitmapRect(Rubber.Dirty()); }

bool TSDIAppForm::FreeHandedCircles() const {
  for (QAction* a : PMenu12->actions())
    if (a->isChecked()) return a->text() == "Free Handed Circles";
  return false;
}

void TSDIAppForm::BeginShapeStroke(int x, int y, bool twoColor) {
  DrawPress(*this, x, y, ShapeCode(twoColor), true);
  Rubber.RubberPenWidth = ShapePenWidth();
}

void TSDIAppForm::Paint1MouseDown(QMouseEvent* event) {
  if (!document_.HasDocument()) return;
  const QPoint client = event->position().toPoint();
  const int x = Paint1->XScr2Bmp(client.x());
  const int y = Paint1->YScr2Bmp(client.y());
  if (event->modifiers() & Qt::ControlModifier) {
    Editor.OverlayMode = ovCtrlGesture;
    PanAnchor = {x, y};
    PressPoint = client;
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  ToolRoutine = nullptr;  // a panel's capture gives its tool's routine for this press only
  const auto libraryStroke = [&](void (*capture)(TSDIAppForm&)) {
    capture(*this);
    document_.CloneCleanIntoScratch();
    BeginShapeStroke(x, y, false);
  };
  switch (Editor.ActiveTool) {
    case ToolAdjust:
      AdjCapture(*this);
      BeginShapeStroke(x, y, false);
      break;
    case ToolColors:
      ExchCapture(*this);
      BeginShapeStroke(x, y, false);
      break;
    case ToolImgCtrl:
      PrepareMover(*this);
      if (MoverMarkerMode(*this))
        BeginShapeStroke(x, y, false);
      else
        MoverDown(*this, x, y);
      Rubber.RubberPenWidth = ShapePenWidth();
      break;
    case ToolWarp:
      Rubber.RubberPenWidth = 1;
      WarpPress(*this, x, y);
      break;
    case ToolShift:
      ShiftCapture(*this);
      BeginShapeStroke(x, y, false);
      break;
    case ToolFilterA:
      Flt3Capture(*this);
      BeginShapeStroke(x, y, false);
      break;
    case ToolRetouch:
      Rubber.RubberPenWidth = 1;
      RetouchPress(*this, x, y);
      break;
    case ToolDraw:
      BeginShapeStroke(x, y, DrawCapture(*this));
      break;
    case ToolFilterB: libraryStroke(&IplCapture); break;
    case ToolConvolve7x7: libraryStroke(&Flt7Capture); break;
    case ToolColorTwist: libraryStroke(&TwistCapture); break;
    case ToolHistogram: libraryStroke(&PrepareStretch); break;
    default: break;
  }
}

void TSDIAppForm::ColorReadout(const QPoint& client) {
  // The pixel shown under the cursor: the one a Ctrl-click there would pick.
  const QColor c = Paint1->DisplayedColor(client);
  ColorBlue->setText(QString("B: %1").arg(c.blue()));
  ColorGreen->setText(QString("G: %1").arg(c.green()));
  ColorRed->setText(QString("R: %1").arg(c.red()));
  ColorPass->SetColor(c);
}

void TSDIAppForm::Paint1MouseMove(QMouseEvent* event) {
  if (!document_.HasDocument()) return;
  const QPoint client = event->position().toPoint();
  const int x = Paint1->XScr2Bmp(client.x());
  const int y = Paint1->YScr2Bmp(client.y());
  SetStatusPanelText(1, QString(" X = %1 Y = %2").arg(x).arg(y));
  TDib& work = document_.WorkBitmap();
  switch (Editor.OverlayMode) {
    case ovNone:
      ColorReadout(client);
      Paint1->viewport()->setCursor(Panel1Tag == ToolWarp && RoiNearCorner(*this, x, y)
                                        ? QCursor(Qt::PointingHandCursor)
                                        : ViewCursor(1784));
      return;
    case ovLine: Rubber.LineStep(work, x, y, Rubber.RubberPenWidth); break;
    case ovThinLine: Rubber.LineStep(work, x, y, 1); break;
    case ovRectFilled:
    case ovRectOutlined:
    case ovRectTwoColor: Rubber.RectangleStep(work, x, y); break;
    case ovEllipseFilled:
    case ovEllipseOutlined:
    case ovEllipseTwoColor: Rubber.EllipseStep(work, x, y); break;
    case ovCircle:
    case ovCircleFilled:
    case ovCircleOutlined:
    case ovCircleTwoColor: Rubber.CircleStep(work, x, y); break;
    case ovTextStamp: Rubber.TextStampStep(work, document_.PieceBitmap(), x, y); break;
    case ovCtrlGesture:
      if (event->modifiers() & Qt::ControlModifier) {
        // The view scrolls so that the image point under the cursor returns to the anchor.
        const double f = Editor.ZoomPercent * 0.01;
        Paint1->SetViewXY(Paint1->ViewX() + static_cast<int>((PanAnchor.x - x) * f),
                          Paint1->ViewY() + static_cast<int>((PanAnchor.y - y) * f));
      }
      return;
    case ovRetouch: RetouchMove(*this, x, y); return;
    case ovFreeHand: DrawMove(*this, x, y); return;
    case ovRegionOutline:
      Rubber.RegionOutlineStep(work, RoiPoints, x, y, [this](TRoiPoints& roi, int cx, int cy) {
        RoiMoveCorners(*this, roi, cx, cy);
      });
      break;
    case ovMover: MoverMove(*this, x, y); return;
    default: return;
  }
  RefreshRubber();
}

void TSDIAppForm::FinishCtrlGesture(QMouseEvent* event) {
  const QPoint client = event->position().toPoint();
  if (client == PressPoint) {
    const TColor picked = FromQColor(Paint1->DisplayedColor(client));
    if (event->button() == Qt::LeftButton)
      SetForeColor(picked);
    else
      SetBackColor(picked);
  }
  Editor.OverlayMode = ovNone;
}

void TSDIAppForm::Paint1MouseUp(QMouseEvent* event) {
  if (!document_.HasDocument()) return;
  const QPoint client = event->position().toPoint();
  const int x = Paint1->XScr2Bmp(client.x());
  const int y = Paint1->YScr2Bmp(client.y());
  if (Editor.OverlayMode == ovCtrlGesture) {
    FinishCtrlGesture(event);
    return;
  }
  if (event->button() != Qt::LeftButton) {
    if (viewPopup_) viewPopup_->popup(event->globalPosition().toPoint());
    return;
  }
  switch (Editor.ActiveTool) {
    case ToolAdjust:
    case ToolColors:
    case ToolShift:
    case ToolFilterA:
    case ToolDraw: DrawRelease(*this, x, y); break;
    case ToolImgCtrl: MoverUp(*this, x, y); break;
    case ToolWarp: WarpRelease(*this, x, y); break;
    case ToolRetouch: RetouchRelease(*this, x, y); break;
    case ToolFilterB:
    case ToolConvolve7x7:
    case ToolColorTwist:
    case ToolHistogram:
      DrawRelease(*this, x, y);
      document_.ReleaseScratchPixels();
      break;
    default: break;
  }
}

// --- shut-down -----------------------------------------------------------------------------

void TSDIAppForm::closeEvent(QCloseEvent* event) {
  // Settings are written here once they persist.
  QMainWindow::closeEvent(event);
}

// --- long operations -----------------------------------------------------------------------

TSDIAppForm::TBusy::TBusy(TSDIAppForm& form) : form_(form) {
  if (form_.busy_++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
}

TSDIAppForm::TBusy::~TBusy() {
  if (--form_.busy_ == 0) QApplication::restoreOverrideCursor();
}

bool TSDIAppForm::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Escape && !key->isAutoRepeat())
        escapeHeld_ = event->type() == QEvent::KeyPress;
      // While an operation runs, only Escape gets through (and it only stops the operation).
      return busy_ > 0;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
      return busy_ > 0;
    default:
      return QMainWindow::eventFilter(watched, event);
  }
}

std::string TSDIAppForm::StatusText() const { return StatusPanelText(0).toStdString(); }

void TSDIAppForm::SetStatusText(const std::string& text) {
  SetStatusPanelText(0, QString::fromStdString(text));
  StatusPanels[0]->repaint();
}

bool TSDIAppForm::EscapeHeld() {
  QCoreApplication::processEvents();
  return escapeHeld_;
}

void TSDIAppForm::WaitEscapeReleased() {
  QElapsedTimer waited;
  waited.start();
  while (escapeHeld_ && waited.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

std::int64_t TSDIAppForm::NowMilliseconds() { return clock_.elapsed(); }

void TSDIAppForm::OnAborted() {
  RefreshView();
  escapeHeld_ = false;
}
