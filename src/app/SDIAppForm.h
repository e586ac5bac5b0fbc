// The main window: the whole application shell. It owns the document, the view, the tool
// panels, the menus and popups, the status bar, and the dialogs (created once, in a fixed order,
// for the whole run).
#pragma once

#include <QElapsedTimer>
#include <QFont>
#include <QFrame>
#include <QMainWindow>
#include <QPoint>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "app/Document.h"
#include "app/EditorState.h"
#include "app/Fileformats.h"
#include "app/Progress.h"
#include "app/RubberBand.h"
#include "imageio/Vistelio.h"
#include "paint/Stroke.h"

class QAction;
class QActionGroup;
class QButtonGroup;
class QLabel;
class QMenu;
class QMouseEvent;
class QStatusBar;
class QTabBar;
class QToolButton;
class TColorShape;
class TNewImage;
class TRulerBox;
class TSlideBar;
class TVistelView;
class TWngForm;
class TBrushForm;
class TRestrictForm;
class TZoomForm;
class TChannelForm;
class TGeneralParams;
class TAdjustPanel;
class TShiftPanel;
class TAboutBox;
class TToolForm;
class TTutorialBox;
class TUserSave;
class TOpenVistelDialog;
class TSaveVistelDialog;
class QDialog;

// A filled rectangle with a border that reports presses: the colour swatches.
class TColorShape : public QFrame {
  Q_OBJECT

 public:
  explicit TColorShape(QWidget* parent = nullptr);
  QColor Color() const { return color_; }
  void SetColor(const QColor& color);
  std::function<void(QMouseEvent*)> OnMouseDown;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QColor color_ = Qt::white;
};

class TSDIAppForm : public QMainWindow, public korvane::IProgressHost {
  Q_OBJECT

 public:
  explicit TSDIAppForm(QWidget* parent = nullptr);
  ~TSDIAppForm() override;

  korvane::TDocument& Document() { return document_; }
  korvane::TEditorState Editor;
  korvane::TProgressReporter Progress{*this};  // what long operations report to
  int Panel1Tag = korvane::ToolNone;
  korvane::TRubberBand Rubber;
  korvane::TPoint PanAnchor;  // image pixels
  QPoint PressPoint;          // client pixels of the view
  korvane::TRoiPoints RoiPoints{};
  // The brush stroke in progress, and the pixel routine the active tool's panel gave at the
  // press (empty: the tool does not paint with the brush yet).
  std::unique_ptr<korvane::TStroke> Stroke;
  korvane::PixelRoutine ToolRoutine;
  // Whether the checked shape of PMenu12 is "Free Handed Circles".
  bool FreeHandedCircles() const;
  bool Initialized() const { return initialized_; }
  QFont CanvasFont;  // the font dialog's choice, for the text tool

  // Dialogs, in the order they are created.
  TAboutBox* AboutBox = nullptr;
  TWngForm* WngForm = nullptr;
  TBrushForm* BrushForm = nullptr;
  TNewImage* NewImage = nullptr;
  TRestrictForm* RestrictForm = nullptr;
  TChannelForm* ChannelForm = nullptr;
  TZoomForm* ZoomForm = nullptr;
  TGeneralParams* GeneralParams = nullptr;
  TUserSave* UserSave = nullptr;
  TToolForm* ToolForm = nullptr;
  TTutorialBox* TutorialBox = nullptr;

  // Loading and saving; the record keeps the format options between files.
  korvane::TIOParamsVals& IOParams() { return ImageIO.Params; }
  korvane::TVistelIO ImageIO;
  korvane::TFileFormats FileFormats;  // the defaults kept between runs
  TOpenVistelDialog* OpenDialog = nullptr;
  TSaveVistelDialog* SaveDialog = nullptr;

  // Speed-button bar.
  QWidget* SpeedPanel = nullptr;
  QToolButton *createnew, *open, *save, *saveas, *printer, *fonts, *undo, *revert, *zoomin,
      *zoomout, *fzoom, *repan, *brushes, *restrict, *channels, *conture, *adraw, *shadow, *panic;

  // Tab control and what it holds.
  QWidget* TabControl1 = nullptr;
  QTabBar* TabBar1 = nullptr;
  QFrame* Panel1 = nullptr;
  QButtonGroup* ToolButtons = nullptr;
  QToolButton *adjust, *exch, *move, *warp, *shifter, *filter3, *retouch, *draw, *IPLfilt;
  QFrame* ColorPan = nullptr;
  TColorShape *ColorForg, *ColorBack, *ColorPass;
  QToolButton* ReverseFB = nullptr;
  QLabel *ColorRed, *ColorGreen, *ColorBlue;
  QWidget* PanelPaint = nullptr;
  TVistelView* Paint1 = nullptr;
  TRulerBox* RulerBoxH = nullptr;
  TRulerBox* RulerBoxV = nullptr;
  QFrame *AdjPan, *ExchPan, *MovPan, *WarpPan, *ShiftPan, *Flt3Pan, *RtchPan, *DrawPan, *IPLPan1,
      *Flt7Pan, *TwistPan, *HistoPan, *HistoPanA;
  TSlideBar *TrackRed, *TrackGreen, *TrackBlue;
  TAdjustPanel* AdjustPanel = nullptr;  // the controls of AdjPan and ShiftPan
  TShiftPanel* ShiftPanel = nullptr;
  QLabel *TrackRedLab, *TrackGreenLab, *TrackBlueLab;

  // Menus.
  QAction *NewItem, *OpenItem, *SaveItem, *SavAsItem, *RevertItem, *PrintItem, *PreferencesItem,
      *ExitItem;
  QAction *UndoItem, *CClipItem, *EClipItem, *ClearItem;
  QAction *BrushesItem, *RestrictItem, *ChannelsItem, *ContureItem, *AdrawItem;
  QAction *ScrollItem, *HRulerItem, *VRulerItem, *ZoomResetItem, *ZoomFloatItem, *CenterItem;
  QMenu *ZoomInMenu, *ZoomOutMenu;
  QAction *About1, *Tutorial1;
  QMenu *PMenu11, *PMenu12, *PMenu13, *PMenu14, *PMenu15, *PMenu16, *PMenu17, *PMenu18;

  QStatusBar* StatusBar = nullptr;
  std::array<QLabel*, 6> StatusPanels{};
  QString StatusPanelText(int panel) const;
  void SetStatusPanelText(int panel, const QString& text);

  // The popup the view shows on the right button, or none.
  QMenu* ViewPopup() const { return viewPopup_; }

  // Handlers.
  void FormActivate();
  void TabControl1Change(int index);
  void ToolButtonClick(int code);
  void adjustClick() { ToolButtonClick(korvane::ToolAdjust); }
  void exchClick() { ToolButtonClick(korvane::ToolColors); }
  void moveClick() { ToolButtonClick(korvane::ToolImgCtrl); }
  void warpClick() { ToolButtonClick(korvane::ToolWarp); }
  void shifterClick() { ToolButtonClick(korvane::ToolShift); }
  void filter3Click() { ToolButtonClick(korvane::ToolFilterA); }
  void retouchClick() { ToolButtonClick(korvane::ToolRetouch); }
  void drawClick() { ToolButtonClick(korvane::ToolDraw); }
  void IPLfiltClick() { ToolButtonClick(korvane::ToolFilterB); }
  void P11Click(QAction* item);
  void P12Click(QAction* item);
  void P13Click(QAction* item);
  void P14Click(QAction* item);
  void P15Click(QAction* item);
  void P16Click(QAction* item);
  void P170Click(QAction* item);
  void P171Click(QAction* item);
  void P18Click(QAction* item);
  void WROIReset();
  void WROIApply(QAction* item);
  void ColorForgMouseDown();
  void ColorBackMouseDown();
  void ReverseFBClick();
  void brushesClick();
  void restrictClick();
  void channelsClick();
  void contureClick();
  void adrawClick();
  void shadowClick();
  void fontsClick();
  void panicClick();
  void ExitItemClick();
  void CClipItemClick();
  void EClipItemClick();
  void NewItemClick();
  void OpenItemClick();
  void SaveItemClick();
  void SavAsItemClick();
  void RevertItemClick();
  void PrintItemClick();
  void PreferencesItemClick();
  // The user-file popups from the files in the user directory.
  void RebuildUserLists();
  // Open's steps after the dialog: loads `fileName` as the document, or leaves everything as it
  // was and says why. Also used for a file named at start, dropped or chosen from the list.
  bool OpenFile(const QString& fileName);
  // Writes the document to `fileName` in the format of its extension; false (with the reason
  // shown) when it could not, the old file then being untouched.
  bool WriteDocument(const QString& fileName);
  // Recently opened files, newest first.
  QStringList RecentFiles() const { return recentFiles_; }
  QMenu* RecentMenu = nullptr;
  void UndoItemClick();
  void ClearItemClick();
  void About1Click();
  void Tutorial1Click();
  void ImgCtrlZoomInClick();
  void ImgCtrlZoomOutClick();
  void ImgCtrlZoom(QAction* item);
  void ImgCtrlResetClick();
  void fzoomClick();
  void ImgCtrlRePanClick();
  void ScrollItemClick();
  void HRulerItemClick();
  // Zoom steps: false when the limit is reached.
  bool ZoomIn();
  bool ZoomOut();
  static constexpr double kMaxZoomPercent = 1600;
  static constexpr double kMinZoomPercent = 10;
  // Ctrl + wheel: one step, keeping the image point under the cursor where it is.
  void ZoomAround(const QPoint& client, bool in);
  void VRulerItemClick();
  void Paint1MouseDown(QMouseEvent* event);
  void Paint1MouseMove(QMouseEvent* event);
  void Paint1MouseUp(QMouseEvent* event);

  // Operations other parts of the program call.
  void HideAllPanels();
  void ShowPanelForTool(int code);
  void UpdateShapeText(QMenu* popup);
  // The shape code of the checked PMenu12 item; twoColor picks the second column.
  int ShapeCode(bool twoColor) const;
  // The pen width rubber bands use for shape-applied tools.
  int ShapePenWidth() const;
  // Repaints the part of the view that shows the last rubber-band step.
  void RefreshRubber();
  void SetForeColor(korvane::TColor color);
  void SetBackColor(korvane::TColor color);
  // Builds the document from a new image (isNew) or the file; false when it could not.
  bool LoadOrCreate(const std::string& fileName, bool isNew);
  void RefreshView();
  // Keeps both rulers counting the image pixels the view shows.
  void RulersFollowView();
  // The message box, answering whether the user pressed OK.
  bool Confirm(const QString& title, const QString& message);
  // Dialog placement of the speed-button launchers: left under the button, top below the bar.
  void PlaceUnderButton(QDialog* dialog, QWidget* button);
  void CentreUnderButton(QDialog* dialog, QWidget* button);

  // Long operations: hourglass cursor, input held back except Escape, until the scope ends.
  class TBusy {
   public:
    explicit TBusy(TSDIAppForm& form);
    ~TBusy();
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;

   private:
    TSDIAppForm& form_;
  };

  // IProgressHost.
  std::string StatusText() const override;
  void SetStatusText(const std::string& text) override;
  bool EscapeHeld() override;
  void WaitEscapeReleased() override;
  std::int64_t NowMilliseconds() override;
  void OnAborted() override;

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateForms();
  void BuildSpeedPanel();
  void BuildToolColumn();
  void BuildColorPanel();
  void BuildPaintArea();
  void BuildToolPanels();
  void BuildMenus();
  void BuildPopups();
  void BuildStatusBar();
  void AttachViewPopup(QMenu* popup);
  void BeginShapeStroke(int x, int y, bool twoColor);
  void FinishCtrlGesture(QMouseEvent* event);
  void ColorReadout(const QPoint& client);
  void AfterDocumentReplaced();
  void ShowDocumentSize();  // status panel 2
  // Loads the file into a picture and makes it the document; throws the I/O component's error.
  bool LoadFile(const std::string& fileName);
  // The load of Open and Revert: false when it failed, the reason shown once.
  bool LoadWithMessages(const std::string& fileName);
  void RememberRecent(const QString& fileName);
  void RebuildRecentMenu();
  void ReportIOProgress(int percent);
  // The status text of a load or save, from start to end.
  class TIOProgress {
   public:
    explicit TIOProgress(TSDIAppForm& form);
    ~TIOProgress();
    TIOProgress(const TIOProgress&) = delete;
    TIOProgress& operator=(const TIOProgress&) = delete;

   private:
    TSDIAppForm& form_;
  };
  void SetZoomPercent(double percent);
  QFrame* MakeToolPanel(const char* name, int width);

  korvane::TDocument document_;
  bool initialized_ = false;
  QMenu* viewPopup_ = nullptr;
  int busy_ = 0;
  bool escapeHeld_ = false;
  QElapsedTimer clock_;
  QStringList recentFiles_;
  QString newImageFailure_;  // why the last new image could not be made
  QString loadFailure_;      // why the last loaded picture could not become the document
};
