// TRulerBox: a painted ruler with ticks, decimal or hexadecimal labels and draggable grips.
//
// Units map to pixels through ViewPos (the unit at pixel ScaleOffset, 0 by default) and
// DotPerUnit. FollowView sets all three from the image view so that the unit under any pixel
// of the ruler is the image coordinate the view shows there.
#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

#include <vector>

#include "widgets/RulerboxModel.h"

class TRulerBox : public QWidget {
  Q_OBJECT

 public:
  enum TRulerDir { rdHorizontal, rdVertical };
  Q_ENUM(TRulerDir)
  enum TGripsDir { gdUp, gdDown };
  Q_ENUM(TGripsDir)
  enum TGripKind { gkTriangle, gkLeftTriangle, gkRightTriangle, gkArrow, gkArrow2 };
  Q_ENUM(TGripKind)

  Q_PROPERTY(QColor Background READ Background WRITE SetBackground)
  Q_PROPERTY(QColor RulerColor READ RulerColor WRITE SetRulerColor)
  Q_PROPERTY(TRulerDir RulerDir READ RulerDir WRITE SetRulerDir)
  Q_PROPERTY(TGripsDir GripsDir READ GripsDir WRITE SetGripsDir)
  Q_PROPERTY(double DotPerUnit READ DotPerUnit WRITE SetDotPerUnit)
  Q_PROPERTY(double Frequency READ Frequency WRITE SetFrequency)
  Q_PROPERTY(double LabelFreq READ LabelFreq WRITE SetLabelFreq)
  Q_PROPERTY(double ViewPos READ ViewPos WRITE SetViewPos)
  Q_PROPERTY(double ViewMin READ ViewMin WRITE SetViewMin)
  Q_PROPERTY(double ViewMax READ ViewMax WRITE SetViewMax)
  Q_PROPERTY(int ScaleOffset READ ScaleOffset WRITE SetScaleOffset)
  Q_PROPERTY(bool Ruler READ Ruler WRITE SetRuler)
  Q_PROPERTY(bool HexLabels READ HexLabels WRITE SetHexLabels)
  Q_PROPERTY(bool FitInView READ FitInView WRITE SetFitInView)
  Q_PROPERTY(int GripsCount READ GripsCount WRITE SetGripsCount)
  Q_PROPERTY(int GripBaseDim READ GripBaseDim WRITE SetGripBaseDim)

  struct TGrip {
    double Position = 0;
    QColor Color = Qt::black;
    TGripKind Kind = gkTriangle;
    double Min = 0;  // the drag limits, taken from ViewMin and ViewMax
    double Max = 0;
  };

  explicit TRulerBox(QWidget* parent = nullptr);

  QColor Background() const { return background_; }
  QColor RulerColor() const { return rulerColor_; }
  TRulerDir RulerDir() const { return rulerDir_; }
  TGripsDir GripsDir() const { return gripsDir_; }
  double DotPerUnit() const { return Scale().DotPerUnit; }
  double Frequency() const { return frequency_; }
  double LabelFreq() const { return labelFreq_; }
  double ViewPos() const { return Scale().ViewPos; }
  double ViewMin() const { return viewMin_; }
  double ViewMax() const { return viewMax_; }
  int ScaleOffset() const { return scale_.ScaleOffset; }
  bool Ruler() const { return ruler_; }
  bool HexLabels() const { return hexLabels_; }
  bool FitInView() const { return fitInView_; }
  int GripsCount() const { return static_cast<int>(grips_.size()); }
  int GripBaseDim() const { return gripBaseDim_; }

  void SetBackground(const QColor& value);
  void SetRulerColor(const QColor& value);
  void SetRulerDir(TRulerDir value);
  void SetGripsDir(TGripsDir value);
  void SetDotPerUnit(double value);  // refused unless positive and finite
  void SetFrequency(double value);   // no ticks unless positive
  void SetLabelFreq(double value);   // no labels unless positive
  // These three keep ViewPos within ViewMin ... ViewMax (when ViewMin < ViewMax) and repaint;
  // the new ViewMin or ViewMax also becomes every grip's limit.
  void SetViewPos(double value);
  void SetViewMin(double value);
  void SetViewMax(double value);
  void SetScaleOffset(int value);
  void SetRuler(bool value);
  void SetHexLabels(bool value);
  void SetFitInView(bool value);
  void SetGripsCount(int value);  // new grips sit at 0
  void SetGripBaseDim(int value);

  // Follows the image view: zoom in percent, its origin (pixels of the zoomed image scrolled off
  // in this ruler's direction), its centring offset, and where its client area starts in this
  // ruler's coordinates. The view keeps its own origin in range and its visible extent differs
  // from the ruler's (scroll bar, the corner over the other ruler), so ViewMin/ViewMax do not
  // limit the position set here.
  void FollowView(int zoomPercent, int viewOrigin, int centringOffset, int viewStart = 0);

  // The mapping in use: with FitInView, ViewMin ... ViewMax spread over the whole length.
  korvane::TRulerScale Scale() const;
  double UnitAt(int pixel) const { return korvane::RulerUnitAt(Scale(), pixel); }
  int PixelOf(double unit) const { return korvane::RulerPixelOf(Scale(), unit); }

  const TGrip& Grip(int index) const { return grips_.at(static_cast<std::size_t>(index)); }
  // Held within the grip's limits when its Min < Max.
  void SetGripPosition(int index, double value);
  void SetGripColor(int index, const QColor& value);
  void SetGripKind(int index, TGripKind value);
  void SetGripLimits(int index, double min, double max);
  QRect GripRect(int index) const;
  int GripAt(QPoint point) const;  // -1 over no grip; the one drawn last wins

  // The scale band's thickness, and the marks and texts the scale draws now.
  int BandThickness() const;
  std::vector<korvane::TRulerMark> TickMarks() const;
  std::vector<korvane::TRulerMark> LabelMarks() const;
  QString LabelText(double value) const;

  QSize sizeHint() const override;

 signals:
  void OnRulerPosChange(TRulerBox* Sender, int Grip, double Position);
  void OnRulerGripClick(TRulerBox* Sender, int Grip);
  void OnRulerGripDblClick(TRulerBox* Sender, int Grip);
  void OnRulerClick(TRulerBox* Sender, double Value);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  bool Vertical() const { return rulerDir_ == rdVertical; }
  int Length() const { return Vertical() ? height() : width(); }
  int Across() const { return Vertical() ? width() : height(); }
  int Along(QPoint p) const { return Vertical() ? p.y() : p.x(); }
  bool Fitting() const { return fitInView_ && viewMin_ < viewMax_ && Length() > 0; }
  void ApplyLimits();
  void Invalidate();
  void Render(qreal dpr);
  void DrawScale(QPainter& p, int band);
  void DrawGrip(QPainter& p, const TGrip& grip, qreal dpr);

  QColor background_;
  QColor rulerColor_;
  TRulerDir rulerDir_ = rdHorizontal;
  TGripsDir gripsDir_ = gdUp;
  korvane::TRulerScale scale_;
  double frequency_ = 10;
  double labelFreq_ = 40;
  double viewMin_ = 0;
  double viewMax_ = 0;
  bool ruler_ = true;
  bool hexLabels_ = false;
  bool fitInView_ = false;
  int gripBaseDim_ = 12;
  std::vector<TGrip> grips_;

  int dragGrip_ = -1;
  bool dragMoved_ = false;
  bool pressed_ = false;
  double dragStart_ = 0;
  int pressAlong_ = 0;

  QImage buffer_;  // the whole control, 24 bits, at the target's pixel ratio
  bool dirty_ = true;
};

// The main window's rulers: RulerBoxH above the view (grips pointing down, labels every 40),
// RulerBoxV at its right (labels every 50); ticks every 10, 1:1, light background, pale green
// band, 30 pixels thick, hidden.
void ApplyMainWindowRuler(TRulerBox& ruler, TRulerBox::TRulerDir dir);
