// TSlideBar: the program's own painted slider. An integer Position between Min and Max, a
// lowered or raised trench, optional ticks, one of eighteen thumb images, and a trench colour
// that can follow the position. Vertical bars grow upwards.
#pragma once

#include <QColor>
#include <QCursor>
#include <QImage>
#include <QStringList>
#include <QWidget>

#include <optional>

class TSlideBar : public QWidget {
  Q_OBJECT

 public:
  enum TOrientation { orVertical, orHorizontal };
  Q_ENUM(TOrientation)
  enum TBarStyle { bsLowered, bsRaised };
  Q_ENUM(TBarStyle)
  // The images are named after the value without its two-letter prefix ("Bar1" ...
  // "StdLeftRight"); the last value carries "st", not "ts".
  enum TThumbStyle {
    tsBar1,
    tsBar2,
    tsBar3,
    tsBar4,
    tsCircle1,
    tsSquare1,
    tsDiamond1,
    tsDiamond2,
    tsDiamond3,
    tsDiamond4,
    tsStdDown,
    tsStdUp,
    tsStdVBar,
    tsStdUpDown,
    tsStdLeft,
    tsStdRight,
    tsStdHBar,
    stStdLeftRight
  };
  Q_ENUM(TThumbStyle)

  Q_PROPERTY(int Min READ Min WRITE SetMin)
  Q_PROPERTY(int Max READ Max WRITE SetMax)
  Q_PROPERTY(int Position READ Position WRITE SetPosition)
  Q_PROPERTY(TOrientation Orientation READ Orientation WRITE SetOrientation)
  Q_PROPERTY(TBarStyle Style READ Style WRITE SetStyle)
  Q_PROPERTY(int Thickness READ Thickness WRITE SetThickness)
  Q_PROPERTY(TThumbStyle ThumbStyle READ ThumbStyle WRITE SetThumbStyle)
  Q_PROPERTY(bool Ticks READ Ticks WRITE SetTicks)
  Q_PROPERTY(int Frequency READ Frequency WRITE SetFrequency)
  Q_PROPERTY(QColor TicksColor READ TicksColor WRITE SetTicksColor)
  Q_PROPERTY(QColor FocusColor READ FocusColor WRITE SetFocusColor)
  Q_PROPERTY(bool FlashColor READ FlashColor WRITE SetFlashColor)
  Q_PROPERTY(int StepLine READ StepLine WRITE SetStepLine)
  Q_PROPERTY(int StepPage READ StepPage WRITE SetStepPage)
  Q_PROPERTY(bool HandCursor READ HandCursor WRITE SetHandCursor)
  Q_PROPERTY(QStringList Labels READ Labels WRITE SetLabels)

  explicit TSlideBar(QWidget* parent = nullptr);

  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  TOrientation Orientation() const { return orientation_; }
  TBarStyle Style() const { return style_; }
  int Thickness() const { return thickness_; }
  TThumbStyle ThumbStyle() const { return thumbStyle_; }
  bool Ticks() const { return ticks_; }
  int Frequency() const { return frequency_; }
  QColor TicksColor() const { return ticksColor_; }
  QColor FocusColor() const { return focusColor_; }
  bool FlashColor() const { return flashColor_; }
  int StepLine() const { return stepLine_; }
  int StepPage() const { return stepPage_; }
  bool HandCursor() const { return handCursor_; }
  QStringList Labels() const { return labels_; }

  // Min above Max raises Max, and Max below Min lowers Min, so the range is never empty; a
  // Position left outside the new range is moved to its nearer end (with OnChange).
  void SetMin(int value);
  void SetMax(int value);
  // Stores `value` only inside Min..Max, then fires OnChange in every case.
  void SetPosition(int value);
  // Swaps width and height, so a bar keeps its shape when it turns.
  void SetOrientation(TOrientation value);
  void SetStyle(TBarStyle value);
  void SetThickness(int value);  // 0 ... 255
  void SetThumbStyle(TThumbStyle value);
  void SetTicks(bool value);
  void SetFrequency(int value);  // no ticks when 0 or less
  void SetTicksColor(const QColor& value);
  void SetFocusColor(const QColor& value);
  void SetFlashColor(bool value);
  void SetStepLine(int value) { stepLine_ = value; }
  void SetStepPage(int value) { stepPage_ = value; }
  void SetHandCursor(bool value);
  void SetLabels(const QStringList& value) { labels_ = value; }

  // Entry Position - Min of Labels, or "<Un-Defined>".
  QString CurrentLabel() const;

  // Where the thumb is drawn now, in widget coordinates.
  QRect ThumbRect() const;
  // The thumb image's size for a style; bars lie across the trench in either orientation.
  static QSize ThumbSize(TThumbStyle style, TOrientation orientation);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  void OnChange(TSlideBar* Sender);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  bool Vertical() const { return orientation_ == orVertical; }
  int Along(QPoint p) const { return Vertical() ? p.y() : p.x(); }
  int Travel() const;
  int DragPosition(QPoint mouse) const;
  void ClampPositionToRange();
  void ShowHand(bool show);
  const QImage& ThumbImage(qreal dpr);

  int min_ = 0;
  int max_ = 100;
  int position_ = 1;
  TOrientation orientation_ = orVertical;
  TBarStyle style_ = bsLowered;
  int thickness_ = 2;
  TThumbStyle thumbStyle_ = tsBar3;
  bool ticks_ = true;
  int frequency_ = 2;
  QColor ticksColor_;
  QColor focusColor_;
  bool flashColor_ = false;
  int stepLine_ = 1;
  int stepPage_ = 10;
  bool handCursor_ = false;
  QStringList labels_;

  bool pressed_ = false;   // left button went down on the bar
  bool dragging_ = false;  // ... on the thumb
  QPoint pressPos_;
  int grabOffset_ = 0;  // where inside the thumb it was taken, along the bar
  int lastAlong_ = 0;
  bool dragMoved_ = false;
  bool handShown_ = false;
  std::optional<QCursor> cursorBeforeHand_;  // the owner's own cursor, put back afterwards

  QImage thumbCache_;
  qint64 thumbCacheKey_ = -1;
};

// The main window's red, green and blue adjustment sliders: -100 ... 100 from 0, diamond thumb,
// no ticks, flash colour, page step 20, hand-point cursor.
void ApplyColourTrackSettings(TSlideBar& bar);
TSlideBar* CreateColourTrack(QWidget* parent, const QString& objectName);
