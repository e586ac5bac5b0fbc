// The slide bar driven by real keys and mouse events, and its arithmetic at chosen values.
#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <climits>
#include <set>

#include "WidgetsTestSupport.h"
#include "widgets/Slidebar.h"
#include "widgets/SlidebarModel.h"

using korvane::TRgb;

Q_DECLARE_METATYPE(TSlideBar::TOrientation)
Q_DECLARE_METATYPE(TSlideBar::TThumbStyle)
Q_DECLARE_METATYPE(Qt::Key)
Q_DECLARE_METATYPE(TRgb)

namespace {

// A bar whose thumb travels exactly 100 pixels, so one pixel of drag is one unit on 0..100.
void MakeHundredPixelTravel(TSlideBar& bar, TSlideBar::TOrientation o) {
  bar.SetOrientation(o);
  const QSize t = TSlideBar::ThumbSize(bar.ThumbStyle(), o);
  if (o == TSlideBar::orVertical) {
    bar.resize(15, 100 + t.height());
  } else {
    bar.resize(100 + t.width(), 15);
  }
}

}  // namespace

class SlidebarTest : public QObject {
  Q_OBJECT

 private slots:
  void keyMap_data();
  void keyMap();
  void outOfRangeSetPositionKeepsPositionButFiresOnChange();
  void rangeChangesKeepPositionInside();
  void currentLabel_data();
  void currentLabel();
  void drag_data();
  void drag();
  void pressOnThumbWithoutMovingKeepsPosition();
  void clickBesideThumb_data();
  void clickBesideThumb();
  void flashColour_data();
  void flashColour();
  void focusedTrenchShowsFlashOfNewPosition();
  void colourTrackPreset();
  void handCursorOverTheThumbOnly();
  void paintsOnlyWholeDevicePixels_data();
  void paintsOnlyWholeDevicePixels();
  void trenchEdgesAreWholeLogicalPixels_data();
  void trenchEdgesAreWholeLogicalPixels();
};

void SlidebarTest::keyMap_data() {
  QTest::addColumn<int>("min");
  QTest::addColumn<int>("max");
  QTest::addColumn<int>("start");
  QTest::addColumn<Qt::Key>("key");
  QTest::addColumn<int>("expected");
  // StepLine 1, StepPage 20 throughout.
  QTest::newRow("Home on -100..100") << -100 << 100 << 0 << Qt::Key_Home << -100;
  QTest::newRow("End on -100..100") << -100 << 100 << 0 << Qt::Key_End << 100;
  QTest::newRow("PageUp from 95 clamped") << -100 << 100 << 95 << Qt::Key_PageUp << 100;
  QTest::newRow("PageDown from -95 clamped") << -100 << 100 << -95 << Qt::Key_PageDown << -100;
  QTest::newRow("PageUp") << 0 << 100 << 50 << Qt::Key_PageUp << 70;
  QTest::newRow("PageDown") << 0 << 100 << 50 << Qt::Key_PageDown << 30;
  QTest::newRow("Up") << 0 << 100 << 50 << Qt::Key_Up << 51;
  QTest::newRow("Right") << 0 << 100 << 50 << Qt::Key_Right << 51;
  QTest::newRow("Down") << 0 << 100 << 50 << Qt::Key_Down << 49;
  QTest::newRow("Left") << 0 << 100 << 50 << Qt::Key_Left << 49;
  QTest::newRow("Up at Max stays") << 0 << 100 << 100 << Qt::Key_Up << 100;
  QTest::newRow("Down at Min stays") << 0 << 100 << 0 << Qt::Key_Down << 0;
  QTest::newRow("PageUp near INT_MAX") << 0 << INT_MAX << INT_MAX - 5 << Qt::Key_PageUp << INT_MAX;
  QTest::newRow("PageDown near INT_MIN")
      << INT_MIN << 0 << INT_MIN + 5 << Qt::Key_PageDown << INT_MIN;
}

void SlidebarTest::keyMap() {
  QFETCH(int, min);
  QFETCH(int, max);
  QFETCH(int, start);
  QFETCH(Qt::Key, key);
  QFETCH(int, expected);
  TSlideBar bar;
  bar.SetMin(min);
  bar.SetMax(max);
  bar.SetStepPage(20);
  bar.SetPosition(start);
  QCOMPARE(bar.Position(), start);
  QSignalSpy changes(&bar, &TSlideBar::OnChange);
  QTest::keyClick(&bar, key);
  QCOMPARE(bar.Position(), expected);
  QCOMPARE(changes.count(), 1);
  QCOMPARE(changes.at(0).at(0).value<TSlideBar*>(), &bar);
}

void SlidebarTest::outOfRangeSetPositionKeepsPositionButFiresOnChange() {
  TSlideBar bar;  // 0 .. 100 at 1
  QSignalSpy changes(&bar, &TSlideBar::OnChange);
  bar.SetPosition(150);
  QCOMPARE(bar.Position(), 1);
  bar.SetPosition(-1);
  QCOMPARE(bar.Position(), 1);
  QCOMPARE(changes.count(), 2);
  bar.SetPosition(100);
  QCOMPARE(bar.Position(), 100);
  bar.SetPosition(100);  // unchanged, still reported
  QCOMPARE(changes.count(), 4);
}

void SlidebarTest::rangeChangesKeepPositionInside() {
  TSlideBar bar;
  bar.SetPosition(80);
  QSignalSpy changes(&bar, &TSlideBar::OnChange);
  bar.SetMax(50);
  QCOMPARE(bar.Position(), 50);
  QCOMPARE(changes.count(), 1);
  bar.SetMin(70);  // above Max: Max follows, the range is never empty
  QCOMPARE(bar.Max(), 70);
  QCOMPARE(bar.Position(), 70);
  bar.SetMax(10);
  QCOMPARE(bar.Min(), 10);
  QCOMPARE(bar.Position(), 10);
  changes.clear();
  bar.SetMax(500);  // a wider range leaves the position alone
  QCOMPARE(bar.Position(), 10);
  QCOMPARE(changes.count(), 0);
}

void SlidebarTest::currentLabel_data() {
  QTest::addColumn<QStringList>("labels");
  QTest::addColumn<int>("offset");  // Position - Min
  QTest::addColumn<QString>("expected");
  const QStringList two{"low", "high"};
  QTest::newRow("first") << two << 0 << "low";
  QTest::newRow("second") << two << 1 << "high";
  QTest::newRow("past the list") << two << 2 << "<Un-Defined>";
  QTest::newRow("no labels") << QStringList() << 0 << "<Un-Defined>";
}

void SlidebarTest::currentLabel() {
  QFETCH(QStringList, labels);
  QFETCH(int, offset);
  QFETCH(QString, expected);
  TSlideBar bar;
  bar.SetMin(-5);
  bar.SetMax(5);
  bar.SetLabels(labels);
  bar.SetPosition(-5 + offset);
  QCOMPARE(bar.CurrentLabel(), expected);
}

void SlidebarTest::drag_data() {
  QTest::addColumn<TSlideBar::TOrientation>("orientation");
  QTest::addColumn<int>("start");
  QTest::addColumn<QPoint>("move");  // mouse travel from the thumb's centre
  QTest::addColumn<int>("expected");
  const auto v = TSlideBar::orVertical;
  const auto h = TSlideBar::orHorizontal;
  QTest::newRow("vertical to the top is Max") << v << 50 << QPoint(0, -400) << 100;
  QTest::newRow("vertical to the bottom is Min") << v << 50 << QPoint(0, 400) << 0;
  QTest::newRow("horizontal to the right is Max") << h << 50 << QPoint(400, 0) << 100;
  QTest::newRow("horizontal to the left is Min") << h << 50 << QPoint(-400, 0) << 0;
  // One pixel is one unit; the thumb moves with the mouse, not to it.
  QTest::newRow("vertical up 30") << v << 20 << QPoint(0, -30) << 50;
  QTest::newRow("horizontal right 30") << h << 20 << QPoint(30, 0) << 50;
  QTest::newRow("across the bar does nothing") << h << 20 << QPoint(0, 40) << 20;
}

void SlidebarTest::drag() {
  QFETCH(TSlideBar::TOrientation, orientation);
  QFETCH(int, start);
  QFETCH(QPoint, move);
  QFETCH(int, expected);
  TSlideBar bar;
  MakeHundredPixelTravel(bar, orientation);
  bar.SetPosition(start);
  QSignalSpy changes(&bar, &TSlideBar::OnChange);
  const QPoint from = bar.ThumbRect().center();
  QTest::mousePress(&bar, Qt::LeftButton, {}, from);
  // Two steps, so the position is also set while moving, not only at the release.
  QTest::mouseMove(&bar, from + move / 2);
  QTest::mouseMove(&bar, from + move);
  QCOMPARE(bar.Position(), expected);
  QTest::mouseRelease(&bar, Qt::LeftButton, {}, from + move);
  QCOMPARE(bar.Position(), expected);
  QVERIFY(changes.count() >= 1);
}

void SlidebarTest::pressOnThumbWithoutMovingKeepsPosition() {
  for (auto o : {TSlideBar::orVertical, TSlideBar::orHorizontal}) {
    for (int max : {100, 1000}) {  // 1000: more positions than pixels
      TSlideBar bar;
      MakeHundredPixelTravel(bar, o);
      bar.SetMax(max);
      bar.SetPosition(37);
      QSignalSpy changes(&bar, &TSlideBar::OnChange);
      const QRect thumb = bar.ThumbRect();
      // Off-centre on purpose: the far corner of the thumb.
      QTest::mouseClick(&bar, Qt::LeftButton, {}, thumb.bottomRight());
      QCOMPARE(bar.Position(), 37);
      QTest::mouseClick(&bar, Qt::LeftButton, {}, thumb.topLeft());
      QCOMPARE(bar.Position(), 37);
      QCOMPARE(changes.count(), 2);  // the release still reports
    }
  }
}

void SlidebarTest::clickBesideThumb_data() {
  QTest::addColumn<TSlideBar::TOrientation>("orientation");
  QTest::addColumn<int>("start");
  QTest::addColumn<int>("side");  // +1: above (vertical) or right of (horizontal) the thumb
  QTest::addColumn<int>("expected");
  const auto v = TSlideBar::orVertical;
  const auto h = TSlideBar::orHorizontal;
  QTest::newRow("vertical above") << v << 50 << 1 << 51;
  QTest::newRow("vertical below") << v << 50 << -1 << 49;
  QTest::newRow("horizontal right") << h << 50 << 1 << 51;
  QTest::newRow("horizontal left") << h << 50 << -1 << 49;
  QTest::newRow("vertical above at Max") << v << 99 << 1 << 100;
}

void SlidebarTest::clickBesideThumb() {
  QFETCH(TSlideBar::TOrientation, orientation);
  QFETCH(int, start);
  QFETCH(int, side);
  QFETCH(int, expected);
  TSlideBar bar;
  MakeHundredPixelTravel(bar, orientation);
  bar.SetPosition(start);
  const QRect t = bar.ThumbRect();
  QPoint at;
  if (orientation == TSlideBar::orVertical) {
    at = side > 0 ? QPoint(t.center().x(), t.top() - 1) : QPoint(t.center().x(), t.bottom() + 1);
  } else {
    at = side > 0 ? QPoint(t.right() + 1, t.center().y()) : QPoint(t.left() - 1, t.center().y());
  }
  QTest::mouseClick(&bar, Qt::LeftButton, {}, at);
  QCOMPARE(bar.Position(), expected);
}

void SlidebarTest::flashColour_data() {
  QTest::addColumn<int>("min");
  QTest::addColumn<int>("max");
  QTest::addColumn<int>("position");
  QTest::addColumn<TRgb>("expected");
  // A range of 768 values makes b equal the position.
  QTest::newRow("b 0") << 0 << 767 << 0 << TRgb{0, 255, 255};
  QTest::newRow("b 100") << 0 << 767 << 100 << TRgb{0, 255, 155};
  QTest::newRow("b 256") << 0 << 767 << 256 << TRgb{0, 255, 0};
  QTest::newRow("b 300") << 0 << 767 << 300 << TRgb{44, 255, 0};
  QTest::newRow("b 512 joins yellow") << 0 << 767 << 512 << TRgb{255, 255, 0};
  QTest::newRow("b 600") << 0 << 767 << 600 << TRgb{255, 168, 0};
  QTest::newRow("b 767") << 0 << 767 << 767 << TRgb{255, 1, 0};
  QTest::newRow("b 768") << 1 << 768 << 768 << TRgb{255, 0, 0};
  QTest::newRow("b 900") << 200 << 967 << 900 << TRgb{255, 0, 132};
  QTest::newRow("b 1024 joins magenta") << 257 << 1024 << 1024 << TRgb{255, 0, 255};
  QTest::newRow("b 1100") << 400 << 1167 << 1100 << TRgb{180, 0, 255};
  QTest::newRow("b -1") << -767 << 0 << -1 << TRgb{0, 255, 255};
  QTest::newRow("b -100") << -767 << 0 << -100 << TRgb{0, 156, 255};
  QTest::newRow("b -256") << -767 << 0 << -256 << TRgb{0, 0, 255};
  QTest::newRow("b -300") << -767 << 0 << -300 << TRgb{212, 255, 0};
  // 768 / 201 * 100 = 382.08 truncates to 382.
  QTest::newRow("colour track at 100") << -100 << 100 << 100 << TRgb{126, 255, 0};
  QTest::newRow("colour track at -100") << -100 << 100 << -100 << TRgb{130, 255, 0};
}

void SlidebarTest::flashColour() {
  QFETCH(int, min);
  QFETCH(int, max);
  QFETCH(int, position);
  QFETCH(TRgb, expected);
  const TRgb got = korvane::SlideFlashColour(min, max, position);
  QVERIFY2(
      got == expected,
      qPrintable(QStringLiteral("got (%1, %2, %3)").arg(got.Red).arg(got.Green).arg(got.Blue)));
}

void SlidebarTest::focusedTrenchShowsFlashOfNewPosition() {
  QWidget window;
  auto* bar = CreateColourTrack(&window, QStringLiteral("TrackRed"));
  bar->SetOrientation(TSlideBar::orHorizontal);
  bar->setGeometry(10, 10, 140, 20);
  auto* other = new TSlideBar(&window);
  other->setGeometry(160, 0, 15, 40);
  window.resize(180, 40);
  window.show();
  window.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  // A press on the thumb that does not move it gives the bar the focus.
  other->setFocus();
  QVERIFY(!bar->hasFocus());
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->ThumbRect().center());
  QVERIFY(bar->hasFocus());
  QCOMPARE(bar->Position(), 0);

  QTest::keyClick(bar, Qt::Key_PageUp);  // 0 -> 20
  QCOMPARE(bar->Position(), 20);
  const TRgb f = korvane::SlideFlashColour(-100, 100, 20);
  const QColor flash(f.Red, f.Green, f.Blue);
  QCOMPARE(bar->FocusColor(), flash);
  // The trench's middle row, well away from the thumb.
  const QImage image = test::RenderWidget(*bar, 1);
  const int x = bar->ThumbRect().left() - 10;
  QCOMPARE(image.pixelColor(x, bar->height() / 2), flash);

  bar->clearFocus();
  const QImage unfocused = test::RenderWidget(*bar, 1);
  QVERIFY(unfocused.pixelColor(x, bar->height() / 2) != flash);
}

void SlidebarTest::colourTrackPreset() {
  QWidget parent;
  TSlideBar* bar = CreateColourTrack(&parent, QStringLiteral("TrackGreen"));
  QCOMPARE(bar->parent(), &parent);
  QCOMPARE(bar->objectName(), QStringLiteral("TrackGreen"));
  QCOMPARE(bar->Min(), -100);
  QCOMPARE(bar->Max(), 100);
  QCOMPARE(bar->Position(), 0);
  QCOMPARE(bar->ThumbStyle(), TSlideBar::tsDiamond2);
  QVERIFY(!bar->Ticks());
  QVERIFY(bar->FlashColor());
  QCOMPARE(bar->StepPage(), 20);
  // 16318208 is 0x00F8FF00: blue 248, green 255, red 0.
  QCOMPARE(bar->FocusColor(), QColor(0, 255, 248));
  QCOMPARE(bar->cursor().shape(), Qt::PointingHandCursor);
  // Defaults the preset leaves alone.
  QCOMPARE(bar->Orientation(), TSlideBar::orVertical);
  QCOMPARE(bar->StepLine(), 1);
  QCOMPARE(bar->TicksColor(), QColor(128, 128, 128));
}

void SlidebarTest::handCursorOverTheThumbOnly() {
  TSlideBar bar;
  bar.SetHandCursor(true);
  bar.setCursor(Qt::CrossCursor);  // the owner's own, to come back when the hand goes
  auto hover = [&](QPoint at) {
    QMouseEvent move(QEvent::MouseMove, at, bar.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&bar, &move);
  };
  const QPoint onThumb = bar.ThumbRect().center();
  const QPoint beside(onThumb.x(), bar.ThumbRect().top() - 20);
  hover(onThumb);
  QCOMPARE(bar.cursor().shape(), Qt::PointingHandCursor);
  hover(beside);
  QCOMPARE(bar.cursor().shape(), Qt::CrossCursor);
  // While dragging the hand stays, even when the mouse outruns the thumb.
  QTest::mousePress(&bar, Qt::LeftButton, {}, onThumb);
  QTest::mouseMove(&bar, beside + QPoint(30, 0));
  QCOMPARE(bar.cursor().shape(), Qt::PointingHandCursor);
  QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(60, 200));  // let go outside
  QCOMPARE(bar.cursor().shape(), Qt::CrossCursor);
  bar.SetHandCursor(false);
  hover(bar.ThumbRect().center());
  QCOMPARE(bar.cursor().shape(), Qt::CrossCursor);
}

void SlidebarTest::paintsOnlyWholeDevicePixels_data() {
  QTest::addColumn<TSlideBar::TThumbStyle>("style");
  QTest::addColumn<TSlideBar::TOrientation>("orientation");
  QTest::addColumn<qreal>("dpr");
  const QMetaEnum styles = QMetaEnum::fromType<TSlideBar::TThumbStyle>();
  for (int i = 0; i < styles.keyCount(); ++i) {
    const auto s = static_cast<TSlideBar::TThumbStyle>(styles.value(i));
    for (qreal dpr : {1.0, 2.0}) {
      for (auto o : {TSlideBar::orVertical, TSlideBar::orHorizontal}) {
        QTest::addRow("%s %s x%g", styles.key(i), o == TSlideBar::orVertical ? "v" : "h", dpr)
            << s << o << dpr;
      }
    }
  }
}

// Scaled or smoothed drawing would leave blends between the few colours the bar paints with.
void SlidebarTest::paintsOnlyWholeDevicePixels() {
  QFETCH(TSlideBar::TThumbStyle, style);
  QFETCH(TSlideBar::TOrientation, orientation);
  QFETCH(qreal, dpr);
  TSlideBar bar;
  bar.SetThumbStyle(style);
  bar.SetOrientation(orientation);
  bar.resize(bar.sizeHint());
  bar.SetPosition(40);
  const QPalette& pal = bar.palette();
  const std::set<QRgb> allowed{
      pal.color(QPalette::Window).rgb(), pal.color(QPalette::Button).rgb(),
      pal.color(QPalette::Light).rgb(),  pal.color(QPalette::Midlight).rgb(),
      pal.color(QPalette::Mid).rgb(),    pal.color(QPalette::Dark).rgb(),
      pal.color(QPalette::Shadow).rgb(), pal.color(QPalette::Highlight).rgb(),
      QColor(Qt::white).rgb(),           bar.TicksColor().rgb()};
  const QImage image = test::RenderWidget(bar, dpr);
  QCOMPARE(image.size(), bar.size() * dpr);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, y) | 0xFF000000u;
      if (!allowed.count(c)) {
        QFAIL(qPrintable(QStringLiteral("blended colour %1 at %2,%3").arg(c, 8, 16).arg(x).arg(y)));
      }
    }
  }
  // The thumb is really there: its outline stands out from the window around it.
  const QRect thumb(bar.ThumbRect().topLeft() * dpr, bar.ThumbRect().size() * dpr);
  int outline = 0;
  for (int y = thumb.top(); y <= thumb.bottom(); ++y) {
    for (int x = thumb.left(); x <= thumb.right(); ++x) {
      const QRgb c = image.pixel(x, y) | 0xFF000000u;
      outline += c == pal.color(QPalette::Shadow).rgb() || c == pal.color(QPalette::Mid).rgb();
    }
  }
  QVERIFY(outline >= 8 * dpr);

  // Slanted and round edges use the finer pixels: not the 1x picture with its pixels doubled.
  const bool rectangular = style <= TSlideBar::tsSquare1 && style != TSlideBar::tsCircle1;
  if (dpr == 2 && !rectangular && style != TSlideBar::tsStdVBar && style != TSlideBar::tsStdHBar) {
    const QImage doubled = test::RenderWidget(bar, 1).scaled(image.size(), Qt::IgnoreAspectRatio,
                                                             Qt::FastTransformation);
    QVERIFY(doubled.copy(thumb) != image.copy(thumb));
  }
}

void SlidebarTest::trenchEdgesAreWholeLogicalPixels_data() {
  QTest::addColumn<qreal>("dpr");
  QTest::addColumn<TSlideBar::TBarStyle>("style");
  QTest::newRow("x1 lowered") << 1.0 << TSlideBar::bsLowered;
  QTest::newRow("x2 lowered") << 2.0 << TSlideBar::bsLowered;
  QTest::newRow("x2 raised") << 2.0 << TSlideBar::bsRaised;
}

// Across a horizontal bar, away from the thumb: background, one edge colour, the inside
// (Thickness pixels), the other edge, background, each exactly whole logical pixels thick.
void SlidebarTest::trenchEdgesAreWholeLogicalPixels() {
  QFETCH(qreal, dpr);
  QFETCH(TSlideBar::TBarStyle, style);
  TSlideBar bar;
  bar.SetOrientation(TSlideBar::orHorizontal);
  bar.SetStyle(style);
  bar.SetThickness(3);
  bar.SetTicks(false);
  bar.resize(100, 15);
  bar.SetPosition(100);
  const QImage image = test::RenderWidget(bar, dpr);
  const QPalette& pal = bar.palette();
  const QRgb bg = pal.color(QPalette::Window).rgb();
  const QRgb dark = pal.color(QPalette::Dark).rgb();
  const QRgb light = pal.color(QPalette::Light).rgb();
  const QRgb inside = pal.color(QPalette::Midlight).rgb();
  const QRgb first = style == TSlideBar::bsLowered ? dark : light;
  const QRgb last = style == TSlideBar::bsLowered ? light : dark;
  const int x = static_cast<int>(20 * dpr);
  QList<QPair<QRgb, int>> runs;  // colour and length in device pixels
  for (int y = 0; y < image.height(); ++y) {
    const QRgb c = image.pixel(x, y) | 0xFF000000u;
    if (!runs.isEmpty() && runs.last().first == c) {
      ++runs.last().second;
    } else {
      runs.append({c, 1});
    }
  }
  const int d = static_cast<int>(dpr);
  QCOMPARE(runs.size(), 5);
  QCOMPARE(runs[0].first, bg);
  QCOMPARE(runs[1], qMakePair(first, d));
  QCOMPARE(runs[2], qMakePair(inside, 3 * d));
  QCOMPARE(runs[3], qMakePair(last, d));
  QCOMPARE(runs[4].first, bg);
}

int RunSlidebarTests(int argc, char** argv) {
  SlidebarTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "SlidebarTest.moc"
