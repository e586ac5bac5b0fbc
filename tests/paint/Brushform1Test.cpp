// The brush dialog driven by clicks and keys: what it shows, what "OK" applies, what every other
// close leaves alone, and the limits its controls hold.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QToolButton>
#include <QtTest>

#include <climits>

#include "paint/Brush.h"
#include "paint/Brushform1.h"
#include "widgets/Slidebar.h"

using namespace korvane;

namespace {

// What the first activation leaves: the defaults put into the dialog and applied.
struct TBrushState {
  BrushSettings Brush;
  TBrushDialog Kept;
  TBrushState() {
    DefaultBrushDialog(Kept);
    ApplyBrushDialog(Kept, Brush);
  }
};

void Press(QWidget* widget, Qt::Key key, int times = 1) {
  for (int i = 0; i < times; ++i) QTest::keyClick(widget, key);
}

// Check boxes and radios answer only on their indicator and text, not across their whole width.
void Click(QWidget* widget) {
  const bool indicator = qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget);
  const QPoint at = indicator ? QPoint(6, widget->height() / 2) : widget->rect().center();
  QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at);
}

int Field(const BrushSettings& b, const QString& name) {
  if (name == "BrushSize") return b.BrushSize;
  if (name == "Capacity") return b.Capacity;
  if (name == "Jitter") return b.Jitter;
  if (name == "RepeatCount") return b.RepeatCount;
  if (name == "FadeSize") return b.FadeSize;
  if (name == "SizeVaryPercent") return SizeVaryToPercent(b.SizeVary);
  if (name == "ColorVary") return b.ColorVary;
  if (name == "BlurKernel") return b.BlurKernel;
  if (name == "BumpScale") return b.BumpScale;
  if (name == "BumpLimit") return b.BumpLimit;
  if (name == "BumpRoughness") return b.BumpRoughness;
  if (name == "FalloffPercent") return b.FalloffPercent;
  if (name == "LineThickness") return b.LineThickness;
  if (name == "LineCount") return b.LineCount;
  if (name == "IntensityVary") return b.IntensityVary;
  return INT_MIN;
}

QStringList Texts(QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

template <std::size_t N>
QStringList Texts(const std::array<QRadioButton*, N>& radios) {
  QStringList texts;
  for (QRadioButton* r : radios) texts << r->text();
  return texts;
}

}  // namespace

class TestBrushForm : public QObject {
  Q_OBJECT

 private slots:
  void showsTheDefaults() {
    TBrushState s;
    TBrushForm form(s.Brush, s.Kept);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.windowTitle(), QString("Brush styles & numeric parameters"));
    QVERIFY(form.BrBt_1->isChecked());
    QVERIFY(form.Br1Pan->isVisible());
    for (QWidget* hidden : {form.Br2Pan, form.Br3Pan, form.Br4Pan, form.Br5Pan, form.Br6Pan})
      QVERIFY(!hidden->isVisible());
    QCOMPARE(form.TrackSize->Position(), 11);
    QCOMPARE(form.UDSize->value(), 10);
    QCOMPARE(form.TrackQpct->Position(), 100);
    QCOMPARE(form.TrackJitter->Position(), 0);
    QCOMPARE(form.TrackLoop->Position(), 0);
    QCOMPARE(form.TrackSizeVary->Position(), 0);
    QCOMPARE(form.TrackColorVary->Position(), 0);
    QCOMPARE(form.TrackFade->Position(), form.TrackFade->Min());
    QCOMPARE(form.UDFade->value(), 1);
    QCOMPARE(Texts(form.FH_combo1), (QStringList{"No fading", "Fade out", "Fade in",
                                                 "Fade out and back", "Fade in and back"}));
    QCOMPARE(form.FH_combo1->currentIndex(), 0);
    QCOMPARE(form.FH_chk1->text(), QString("Connected drawing"));
    QVERIFY(form.FH_chk1->isChecked());
    QCOMPARE(form.Br_rand->text(), QString("chalk effect"));
    QCOMPARE(form.Br_invert->text(), QString("invert intensity"));
    QCOMPARE(form.Br_blur->text(), QString("blur kernel:"));
    for (QCheckBox* off : {form.Br_rand, form.Br_invert, form.Br_blur, form.Br_bump})
      QVERIFY(!off->isChecked());
    QCOMPARE(form.Br_UD->value(), 3);
    QCOMPARE(form.Br_UD1->value(), 1);
    QCOMPARE(form.Br_UD2->value(), 64);
    QCOMPARE(form.Br_UD3->value(), 0);
    QCOMPARE(form.ShiftLR->text(), QString("1"));
    QCOMPARE(form.ShiftUD->text(), QString("-1"));

    // Style panels at their own defaults.
    QCOMPARE(form.Br1_track1->Position(), 100);
    QCOMPARE(form.TrackLabel(form.Br1_track1)->text(), QString("100%"));
    QCOMPARE(form.Br1_track2->Position(), 2);
    QCOMPARE(form.TrackLabel(form.Br1_track2)->text(), QString("1"));
    // "Scratches" unchecked: the count track rests at half the size and cannot be moved.
    QCOMPARE(form.Br1_chk1->text(), QString("Scratches"));
    QVERIFY(!form.Br1_chk1->isChecked());
    QVERIFY(!form.Br1_track3->isEnabled());
    QCOMPARE(form.TrackLabel(form.Br1_track3)->text(), QString("5"));
    QCOMPARE(form.Br3_chk1->text(), QString("Lines"));
    const QStringList scratches{"No scratch", "Parallel ", "Splash ",
                                "Mesh",       "To point",  "From point"};
    QCOMPARE(Texts(form.Br1_rad), scratches);
    QCOMPARE(Texts(form.Br2_rad), scratches);
    QCOMPARE(Texts(form.Br3_rad), (QStringList{"Parallel ", "Mesh", "To point", "From point"}));
    QCOMPARE(Texts(form.Br6_rad), (QStringList{"Vary ", "Falloff"}));
    QVERIFY(form.Br1_rad[0]->isChecked());
    QVERIFY(form.Br3_rad[0]->isChecked());
    QVERIFY(form.Br6_rad[0]->isChecked());
    QCOMPARE(form.Br6_track2->Position(), 0);
    QCOMPARE(form.TrackLabel(form.Br6_track2)->text(), QString("0"));
    QCOMPARE(form.Br6_track3->Position(), 0);
    QCOMPARE(form.TrackLabel(form.Br6_track4)->text(), QString("100%"));
    QCOMPARE(form.BrushOK->text(), QString("OK"));
    QCOMPARE(form.BrushCancel->text(), QString("Cancel"));
    QCOMPARE(form.BrushDef->text(), QString("Default"));

    const TBrushState before;
    Click(form.BrushOK);
    QVERIFY(!form.isVisible());
    QVERIFY(s.Brush == before.Brush);
    QVERIFY(s.Brush == BrushSettings{});
  }

  void showsTheLiveBrushOnEveryShowing() {
    TBrushState s;
    TBrushForm form(s.Brush, s.Kept);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    Click(form.BrushOK);
    // Changed behind the dialog's back, as the settings reader does.
    s.Brush.BrushSize = 33;
    s.Brush.Capacity = CapacityFromPercent(40) + 1;
    s.Brush.BrushStyle = SplashBrush;
    s.Brush.ChalkDivisor = 2;
    form.show();
    QCOMPARE(form.TrackSize->Position(), 34);
    QCOMPARE(form.UDSize->value(), 33);
    QCOMPARE(form.TrackQpct->Position(), 41);  // rounded up
    QVERIFY(form.BrBt_4->isChecked());
    QVERIFY(form.Br4Pan->isVisible());
    QVERIFY(!form.Br1Pan->isVisible());
    QVERIFY(form.Br_rand->isChecked());
  }

  void styleSwitchKeepsEveryStylesOwnValues() {
    TBrushState s;
    TBrushForm form(s.Brush, s.Kept);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    Press(form.UDSize, Qt::Key_PageUp);  // size 20
    QCOMPARE(form.TrackSize->Position(), 21);

    // Style 1: falloff 0 %, scratches on, "Mesh", widest and most scratches.
    Press(form.Br1_track1, Qt::Key_Home);
    Click(form.Br1_chk1);
    Click(form.Br1_rad[3]);
    Press(form.Br1_track2, Qt::Key_End);
    Press(form.Br1_track3, Qt::Key_End);
    QCOMPARE(form.TrackLabel(form.Br1_track2)->text(), QString("10"));
    QCOMPARE(form.TrackLabel(form.Br1_track3)->text(), QString("20"));

    // Style 3: strongest variation, "To point", thickness 2, "Lines" left unchecked.
    Click(form.BrBt_3);
    QVERIFY(form.Br3Pan->isVisible());
    QVERIFY(!form.Br1Pan->isVisible());
    Press(form.Br3_track2, Qt::Key_End);
    Click(form.Br3_rad[2]);
    Press(form.Br3_track1, Qt::Key_Right);

    // Style 6: falloff 90 % over line periods of thickness 1 + spacing 3.
    Click(form.BrBt_6);
    Click(form.Br6_rad[1]);
    Press(form.Br6_track2, Qt::Key_Right, 3);
    Press(form.Br6_track4, Qt::Key_PageDown);
    QCOMPARE(form.TrackLabel(form.Br6_track4)->text(), QString("90%"));

    Click(form.BrBt_1);
    QCOMPARE(form.Br1_track1->Position(), 0);
    QCOMPARE(form.TrackLabel(form.Br1_track1)->text(), QString("0%"));
    QVERIFY(form.Br1_chk1->isChecked());
    QVERIFY(form.Br1_rad[3]->isChecked());
    QCOMPARE(form.Br1_track2->Position(), 11);
    QCOMPARE(form.Br1_track3->Position(), 21);
    QVERIFY(form.Br1_track3->isEnabled());

    Click(form.BrBt_3);
    QCOMPARE(form.Br3_track2->Position(), 255);
    QVERIFY(form.Br3_rad[2]->isChecked());
    QCOMPARE(form.Br3_track1->Position(), 3);
    QVERIFY(!form.Br3_chk1->isChecked());

    Click(form.BrushOK);
    QCOMPARE(s.Brush.BrushStyle, int{RandomLinesBrush});
    QCOMPARE(s.Brush.LineVariant, 2);
    QCOMPARE(s.Brush.LineThickness, 2);
    QCOMPARE(s.Brush.IntensityVary, 255);
    QCOMPARE(s.Brush.LineCount, 10);  // "Lines" unchecked: half the size
    QCOMPARE(s.Brush.FalloffPercent, 0);
    QVERIFY(s.Kept.Lines(1) == (TBrushStyleLines{0, 3, 11, 21, 0, true}));

    // The kept panels come back with the next showing.
    form.show();
    QVERIFY(form.Br3Pan->isVisible());
    Click(form.BrBt_6);
    QVERIFY(form.Br6_rad[1]->isChecked());
    QCOMPARE(form.Br6_track2->Position(), 3);
    Click(form.BrBt_1);
    QCOMPARE(form.Br1_track3->Position(), 21);
    Click(form.BrBt_6);
    Click(form.BrushOK);
    QCOMPARE(s.Brush.BrushStyle, int{ParallelLinesBrush});
    QCOMPARE(s.Brush.LineThickness, 1);
    QCOMPARE(s.Brush.LineCount, 3);
    QCOMPARE(s.Brush.FalloffPercent, 90);
    QCOMPARE(s.Brush.FalloffStep, ComputeFalloffStep(20 / 4, 90));
    QCOMPARE(s.Brush.IntensityVary, 0);
  }

  void closingWithoutOkChangesNothing_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("Cancel") << 0;
    QTest::newRow("Escape") << 1;
    QTest::newRow("close box") << 2;
  }

  void closingWithoutOkChangesNothing() {
    QFETCH(int, how);
    TBrushState s;
    const TBrushState before;
    TBrushForm form(s.Brush, s.Kept);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    Press(form.UDSize, Qt::Key_PageUp);
    Press(form.TrackQpct, Qt::Key_Home);
    Press(form.FH_combo1, Qt::Key_Down);
    Click(form.Br_blur);
    Click(form.ShiftNE);
    Click(form.BrBt_2);
    Click(form.Br2_chk1);
    Click(form.Br2_rad[3]);
    Press(form.Br2_track3, Qt::Key_End);
    QCOMPARE(form.FH_combo1->currentIndex(), 1);

    switch (how) {
      case 0:
        Click(form.BrushCancel);
        break;
      case 1:
        QTest::keyClick(&form, Qt::Key_Escape);
        break;
      default:
        form.close();
        break;
    }
    QVERIFY(!form.isVisible());
    QVERIFY(s.Brush == before.Brush);
    QVERIFY(s.Kept == before.Kept);

    form.show();
    QCOMPARE(form.TrackSize->Position(), 11);
    QCOMPARE(form.TrackQpct->Position(), 100);
    QCOMPARE(form.FH_combo1->currentIndex(), 0);
    QVERIFY(!form.Br_blur->isChecked());
    QCOMPARE(form.ShiftLR->text(), QString("1"));
    QVERIFY(form.BrBt_1->isChecked());
    QVERIFY(!form.Br2_chk1->isChecked());
    QVERIFY(form.Br2_rad[0]->isChecked());
  }

  void defaultResetsTheControlsAndTakesEffectOnOk() {
    TBrushState s;
    TBrushForm form(s.Brush, s.Kept);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    Press(form.TrackSize, Qt::Key_End);
    Press(form.TrackFade, Qt::Key_End);
    Press(form.TrackJitter, Qt::Key_End);
    Press(form.Br_UD2, Qt::Key_PageUp);
    Click(form.FH_chk1);
    Click(form.Br_bump);
    Click(form.ShiftW);
    Click(form.BrBt_3);
    Press(form.Br3_track2, Qt::Key_End);
    Click(form.BrushOK);
    const BrushSettings changed = s.Brush;
    QCOMPARE(changed.BrushSize, 100);

    form.show();
    Click(form.BrushDef);
    QVERIFY(form.BrBt_1->isChecked());
    QVERIFY(form.Br1Pan->isVisible());
    QCOMPARE(form.TrackSize->Position(), 11);
    QCOMPARE(form.TrackFade->Position(), 2);
    QCOMPARE(form.TrackJitter->Position(), 0);
    QCOMPARE(form.Br_UD2->value(), 64);
    QVERIFY(form.FH_chk1->isChecked());
    QVERIFY(!form.Br_bump->isChecked());
    QCOMPARE(form.ShiftLR->text(), QString("1"));
    QCOMPARE(form.ShiftUD->text(), QString("-1"));
    QVERIFY(s.Brush == changed);  // not before "OK"

    Click(form.BrushOK);
    QVERIFY(s.Brush == BrushSettings{});
    // The style panels keep what the user set.
    QCOMPARE(s.Kept.Lines(3).VaryIntensity, 255);
  }

  void editsMirrorTheirTracks_data() {
    QTest::addColumn<QString>("track");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<int>("offset");  // edit value = position - offset
    QTest::newRow("size") << "TrackSize"
                          << "UDSize" << 1;
    QTest::newRow("capacity") << "TrackQpct"
                              << "UDQpct" << 0;
    QTest::newRow("jitter") << "TrackJitter"
                            << "UDJitter" << 0;
    QTest::newRow("repeat") << "TrackLoop"
                            << "UDLoop" << 0;
    QTest::newRow("fade") << "TrackFade"
                          << "UDFade" << 1;
    QTest::newRow("size variation") << "TrackSizeVary"
                                    << "UDSizeVary" << 0;
    QTest::newRow("colour variation") << "TrackColorVary"
                                      << "UDColorVary" << 0;
  }

  void editsMirrorTheirTracks() {
    QFETCH(QString, track);
    QFETCH(QString, edit);
    QFETCH(int, offset);
    TBrushState s;
    TBrushForm form(s.Brush, s.Kept);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* bar = form.findChild<TSlideBar*>(track);
    auto* box = form.findChild<QSpinBox*>(edit);
    QVERIFY(bar && box);
    Press(bar, Qt::Key_End);
    QCOMPARE(box->value(), bar->Max() - offset);
    Press(box, Qt::Key_Down);
    QCOMPARE(bar->Position(), bar->Max() - 1);
    QCOMPARE(box->value(), bar->Max() - 1 - offset);
  }

  void enterInAnEditTakesTheValueAndApplies() {
    TBrushState s;
    TBrushForm form(s.Brush, s.Kept);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.UDSize->selectAll();
    QTest::keyClicks(form.UDSize, "25");
    QCOMPARE(form.TrackSize->Position(), 11);  // nothing taken while typing
    QTest::keyClick(form.UDSize, Qt::Key_Enter);
    QVERIFY(!form.isVisible());
    QCOMPARE(s.Brush.BrushSize, 25);
  }

  void controlsHoldTheirLimits_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("presses");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("expected");
    const auto row = [](const char* name, int style, const char* control, Qt::Key key, int presses,
                        const char* field, int expected) {
      QTest::newRow(name) << style << QString(control) << int{key} << presses << QString(field)
                          << expected;
    };
    row("size track end", 1, "TrackSize", Qt::Key_End, 1, "BrushSize", 100);
    row("size track home", 1, "TrackSize", Qt::Key_Home, 1, "BrushSize", 1);
    row("size edit past max", 1, "UDSize", Qt::Key_PageUp, 12, "BrushSize", 100);
    row("size edit past min", 1, "UDSize", Qt::Key_Down, 15, "BrushSize", 1);
    row("capacity home", 1, "TrackQpct", Qt::Key_Home, 1, "Capacity", CapacityFromPercent(1));
    row("capacity edit past max", 1, "UDQpct", Qt::Key_PageUp, 3, "Capacity", 4194304);
    row("jitter end", 1, "TrackJitter", Qt::Key_End, 1, "Jitter", 20);
    row("jitter edit past max", 1, "UDJitter", Qt::Key_PageUp, 3, "Jitter", 20);
    row("repeat end", 1, "TrackLoop", Qt::Key_End, 1, "RepeatCount", 20);
    row("size variation end", 1, "TrackSizeVary", Qt::Key_End, 1, "SizeVaryPercent", 100);
    row("colour variation past max", 1, "UDColorVary", Qt::Key_PageUp, 20, "ColorVary", 128);
    row("fade stops at the size", 1, "TrackFade", Qt::Key_End, 1, "FadeSize", 10);
    row("fade edit stops at the size", 1, "UDFade", Qt::Key_PageUp, 3, "FadeSize", 10);
    row("blur kernel past max", 1, "Br_UD", Qt::Key_PageUp, 2, "BlurKernel", 9);
    row("blur kernel past min", 1, "Br_UD", Qt::Key_Down, 3, "BlurKernel", 3);
    row("bump scale past min", 1, "Br_UD1", Qt::Key_PageDown, 2, "BumpScale", -8);
    row("bump scale past max", 1, "Br_UD1", Qt::Key_PageUp, 2, "BumpScale", 8);
    row("bump level past max", 1, "Br_UD2", Qt::Key_PageUp, 30, "BumpLimit", 255);
    row("roughness past min", 1, "Br_UD3", Qt::Key_Down, 2, "BumpRoughness", 0);
    row("neon falloff home", 1, "Br1_track1", Qt::Key_Home, 1, "FalloffPercent", 0);
    row("scratch thickness stops at half the size", 1, "Br1_track2", Qt::Key_End, 1,
        "LineThickness", 5);
    row("unchecked scratch count does not move", 1, "Br1_track3", Qt::Key_End, 1, "LineCount", 5);
    row("line variation end", 3, "Br3_track2", Qt::Key_End, 1, "IntensityVary", 255);
    row("curve thickness stops at half the size", 5, "Br5_track1", Qt::Key_End, 1, "LineThickness",
        5);
    row("spacing stops at half the size", 6, "Br6_track2", Qt::Key_End, 1, "LineCount", 6);
    row("parallel variation end", 6, "Br6_track3", Qt::Key_End, 1, "IntensityVary", 255);
  }

  void controlsHoldTheirLimits() {
    QFETCH(int, style);
    QFETCH(QString, control);
    QFETCH(int, key);
    QFETCH(int, presses);
    QFETCH(QString, field);
    QFETCH(int, expected);
    TBrushState s;
    TBrushForm form(s.Brush, s.Kept);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    Click(form.StyleButtons->button(style));
    auto* widget = form.findChild<QWidget*>(control);
    QVERIFY(widget);
    Press(widget, static_cast<Qt::Key>(key), presses);
    Click(form.BrushOK);
    QCOMPARE(Field(s.Brush, field), expected);
  }

  void tracksFollowTheSize_data() {
    QTest::addColumn<int>("sizePosition");
    QTest::addColumn<bool>("fadeOn");
    QTest::addColumn<int>("fadeMax");
    QTest::addColumn<bool>("linesOn");
    QTest::addColumn<int>("thicknessMax");
    QTest::addColumn<int>("restingCount");  // unchecked count, and every track at small sizes
    QTest::newRow("2") << 2 << false << 2 << false << 2 << 2;
    QTest::newRow("3") << 3 << true << 3 << false << 2 << 2;
    QTest::newRow("4") << 4 << true << 4 << false << 2 << 2;
    QTest::newRow("5") << 5 << true << 5 << true << 3 << 3;
    QTest::newRow("12") << 12 << true << 12 << true << 6 << 6;
    QTest::newRow("101") << 101 << true << 101 << true << 51 << 51;
  }

  void tracksFollowTheSize() {
    QFETCH(int, sizePosition);
    QFETCH(bool, fadeOn);
    QFETCH(int, fadeMax);
    QFETCH(bool, linesOn);
    QFETCH(int, thicknessMax);
    QFETCH(int, restingCount);
    TBrushState s;
    TBrushForm form(s.Brush, s.Kept);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // Fade, thickness and spacing at the top first, so a smaller size has to pull them down.
    Press(form.TrackSize, Qt::Key_End);
    Press(form.TrackFade, Qt::Key_End);
    Press(form.Br1_track2, Qt::Key_End);
    Click(form.BrBt_6);
    Press(form.Br6_track2, Qt::Key_End);
    Press(form.TrackSize, Qt::Key_Left, form.TrackSize->Max() - sizePosition);
    QCOMPARE(form.TrackSize->Position(), sizePosition);
    QCOMPARE(form.TrackFade->Position(), fadeOn ? sizePosition : 2);

    QCOMPARE(form.TrackFade->isEnabled(), fadeOn);
    QCOMPARE(form.TrackFade->Max(), fadeMax);
    QCOMPARE(form.UDFade->isEnabled(), fadeOn);
    QCOMPARE(form.UDFade->maximum(), fadeMax - 1);
    const int thickness = linesOn ? thicknessMax : 2;
    for (TSlideBar* bar : {form.Br1_track2, form.Br2_track2, form.Br3_track1, form.Br4_track1,
                           form.Br5_track1, form.Br6_track1}) {
      QCOMPARE(bar->isEnabled(), linesOn);
      QCOMPARE(bar->Max(), thicknessMax);
    }
    QCOMPARE(form.Br1_track2->Position(), thickness);
    QCOMPARE(form.TrackLabel(form.Br1_track2)->text(), QString::number(thickness - 1));
    for (TSlideBar* bar :
         {form.Br1_track3, form.Br2_track3, form.Br3_track3, form.Br4_track3, form.Br5_track3}) {
      QVERIFY(!bar->isEnabled());
      QCOMPARE(bar->Position(), restingCount);
    }
    QCOMPARE(form.Br6_track2->isEnabled(), linesOn);
    QCOMPARE(form.Br6_track2->Position(), linesOn ? thicknessMax : 2);

    // Checking "Scratches" frees the count up to the size position.
    Click(form.BrBt_1);
    Click(form.Br1_chk1);
    QCOMPARE(form.Br1_track3->isEnabled(), linesOn);
    Press(form.Br1_track3, Qt::Key_End);
    QCOMPARE(form.Br1_track3->Position(), linesOn ? sizePosition : 2);
  }

  void bumpOffsetButtons() {
    TBrushState s;
    TBrushForm form(s.Brush, s.Kept);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    Click(form.ShiftNE);
    Click(form.ShiftNE);
    QCOMPARE(form.ShiftLR->text(), QString("3"));
    QCOMPARE(form.ShiftUD->text(), QString("1"));
    Click(form.ShiftSW);
    QCOMPARE(form.ShiftLR->text(), QString("2"));
    QCOMPARE(form.ShiftUD->text(), QString("0"));
    Click(form.Shift00);
    QCOMPARE(form.ShiftLR->text(), QString("0"));
    QCOMPARE(form.ShiftUD->text(), QString("0"));
    Click(form.ShiftW);
    Click(form.ShiftS);
    QVERIFY(form.isVisible());  // the offset buttons do not close the dialog
    Click(form.BrushOK);
    QCOMPARE(s.Brush.BumpOffsetX, -1);
    QCOMPARE(s.Brush.BumpOffsetY, -1);
  }
};

QTEST_MAIN(TestBrushForm)
#include "Brushform1Test.moc"
