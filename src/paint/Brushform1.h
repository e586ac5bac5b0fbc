// "Brush styles & numeric parameters": edits the brush. The controls mirror a working copy of the
// dialog state; "OK" keeps that copy and applies it to the brush, any other close drops it, so
// neither the brush nor the kept style panels change without "OK".
#pragma once

#include <QDialog>

#include <array>

#include "paint/Brush.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class QToolButton;
class TSlideBar;

class TBrushForm : public QDialog {
  Q_OBJECT

 public:
  // brush: the live brush, written on "OK"; kept: the dialog's state between showings (its style
  // panels above all), written on "OK".
  TBrushForm(korvane::BrushSettings& brush, korvane::TBrushDialog& kept, QWidget* parent = nullptr);

  // Style buttons, one group; Tags 1..6.
  QToolButton *BrBt_1, *BrBt_2, *BrBt_3, *BrBt_4, *BrBt_5, *BrBt_6;
  QButtonGroup* StyleButtons;

  // Track bars with their edits; the size and fade edits show position - 1.
  TSlideBar *TrackSize, *TrackQpct, *TrackJitter, *TrackLoop, *TrackFade, *TrackSizeVary,
      *TrackColorVary;
  QSpinBox *UDSize, *UDQpct, *UDJitter, *UDLoop, *UDFade, *UDSizeVary, *UDColorVary;
  QComboBox* FH_combo1;
  QCheckBox *FH_chk1, *BrushRFall, *Br_rand, *Br_invert, *Br_blur, *Br_bump;
  QSpinBox* Br_UD;                     // blur kernel
  QSpinBox *Br_UD1, *Br_UD2, *Br_UD3;  // bump scale, limit, roughness
  QLabel *ShiftLR, *ShiftUD;           // bump offsets x and y
  // Bump offset buttons, Tags 0..8 from north-west to south-east; Shift00 is Tag 4.
  QPushButton *ShiftNW, *ShiftN, *ShiftNE, *ShiftW, *Shift00, *ShiftE, *ShiftSW, *ShiftS, *ShiftSE;

  // Style panels; only the active style's is shown.
  QStackedWidget* StylePanels;
  QWidget *Br1Pan, *Br2Pan, *Br3Pan, *Br4Pan, *Br5Pan, *Br6Pan;
  // 1: falloff, thickness, count.  2: thickness, count.  3 to 5: thickness, intensity variation,
  // count.  6: thickness, spacing, intensity variation, falloff.
  TSlideBar *Br1_track1, *Br1_track2, *Br1_track3;
  TSlideBar *Br2_track2, *Br2_track3;
  TSlideBar *Br3_track1, *Br3_track2, *Br3_track3;
  TSlideBar *Br4_track1, *Br4_track2, *Br4_track3;
  TSlideBar *Br5_track1, *Br5_track2, *Br5_track3;
  TSlideBar *Br6_track1, *Br6_track2, *Br6_track3, *Br6_track4;
  // "Scratches" (1, 2) and "Lines" (3 to 5).
  QCheckBox *Br1_chk1, *Br2_chk1, *Br3_chk1, *Br4_chk1, *Br5_chk1;
  // Scratch radios of styles 1 and 2 and line types of style 3, indexed by the value they give;
  // style 6: index 0 "Vary ", 1 "Falloff".
  std::array<QRadioButton*, 6> Br1_rad{}, Br2_rad{};
  std::array<QRadioButton*, 4> Br3_rad{};
  std::array<QRadioButton*, 2> Br6_rad{};

  QPushButton *BrushOK, *BrushCancel, *BrushDef;

  // The value label beside a style panel's track bar.
  QLabel* TrackLabel(const TSlideBar* bar) const;

  void FormActivate();   // the live brush and the kept panels into the controls
  void BrushOKClick();   // apply and close
  void BrushDefClick();  // defaults into the controls; the brush changes only on "OK"
  void StyleClick(int style);
  void ShiftClick(int tag);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  struct TPanel {
    QWidget* Page = nullptr;
    TSlideBar* Falloff = nullptr;
    TSlideBar* Thickness = nullptr;
    TSlideBar* Count = nullptr;
    TSlideBar* Vary = nullptr;
    QLabel* FalloffLab = nullptr;
    QLabel* ThicknessLab = nullptr;
    QLabel* CountLab = nullptr;
    QLabel* VaryLab = nullptr;
    QCheckBox* Lines = nullptr;
    QButtonGroup* Variants = nullptr;  // button ids are the values they give
  };

  void BuildPanel(int style);
  void Bind(TSlideBar* bar, int& field);
  void Bind(QSpinBox* edit, int& field, int offset);
  void Bind(QCheckBox* box, bool& field);
  // A control changed state_: enforce what the size allows, then show it all again.
  void Changed();
  void ShowState();

  korvane::BrushSettings& brush_;
  korvane::TBrushDialog& kept_;
  korvane::TBrushDialog state_;
  std::array<TPanel, korvane::kBrushStyleCount> panels_{};
  bool updating_ = false;  // while ShowState writes the controls, their handlers stay out
};
