// The ruler: where ticks and labels fall and what they read, the view limits, following the image
// view at several zooms, and the grips driven by the mouse.
#include <QSignalSpy>
#include <QTest>

#include <cmath>

#include "WidgetsTestSupport.h"
#include "widgets/Rulerbox.h"
#include "widgets/RulerboxModel.h"

using korvane::TRulerMark;
using korvane::TRulerScale;

Q_DECLARE_METATYPE(TRulerBox::TRulerDir)
Q_DECLARE_METATYPE(TRulerBox::TGripsDir)
Q_DECLARE_METATYPE(TRulerBox::TGripKind)

namespace {

// The image view's conversion from a client pixel to a bitmap pixel, written out independently:
// round((100 / zoom) * (x + origin - centring)), ties to even.
int ViewScreenToBitmap(int x, int zoom, int origin, int centring) {
  const long double q = 100.0L / zoom;
  return static_cast<int>(std::nearbyint(q * (x + origin - centring)));
}

QRgb Ink(const TRulerBox& r) {
  return r.palette().color(QPalette::WindowText).rgb();
}

// The pixel at device pixel `deviceAlong` along the ruler and `depth` logical pixels from the
// band's inner edge outwards (in the middle of that logical pixel).
QRgb BandDevicePixel(const QImage& image, const TRulerBox& r, int deviceAlong, int depth,
                     qreal dpr) {
  const bool vertical = r.RulerDir() == TRulerBox::rdVertical;
  const int across = vertical ? r.width() : r.height();
  const int band = r.BandThickness();
  const int row = r.GripsDir() == TRulerBox::gdUp ? band - 1 - depth : across - band + depth;
  const int b = static_cast<int>(row * dpr + dpr / 2);
  return (vertical ? image.pixel(b, deviceAlong) : image.pixel(deviceAlong, b)) | 0xFF000000u;
}

QRgb BandPixel(const QImage& image, const TRulerBox& r, int along, int depth, qreal dpr) {
  return BandDevicePixel(image, r, static_cast<int>(along * dpr + dpr / 2), depth, dpr);
}

TRulerBox* MakeRuler(TRulerBox::TRulerDir dir, TRulerBox::TGripsDir grips, int length) {
  auto* r = new TRulerBox;
  r->SetRulerDir(dir);
  r->SetGripsDir(grips);
  QFont f = r->font();
  f.setPixelSize(11);  // a band of round(11 * 1.7) + 3 = 22
  r->setFont(f);
  if (dir == TRulerBox::rdVertical) {
    r->resize(30, length);
  } else {
    r->resize(length, 30);
  }
  return r;
}

}  // namespace

class RulerboxTest : public QObject {
  Q_OBJECT

 private slots:
  void marks_data();
  void marks();
  void labelText_data();
  void labelText();
  void bandThickness();
  void ticksArePaintedAtTheirPixels_data();
  void ticksArePaintedAtTheirPixels();
  void viewLimits_data();
  void viewLimits();
  void fitInView();
  void followsTheView_data();
  void followsTheView();
  void labelsThinOutInsteadOfOverlapping();
  void gripDrag_data();
  void gripDrag();
  void gripClicksAndRulerClick();
  void gripShapes_data();
  void gripShapes();
};

void RulerboxTest::marks_data() {
  QTest::addColumn<double>("viewPos");
  QTest::addColumn<double>("dotPerUnit");
  QTest::addColumn<double>("frequency");
  QTest::addColumn<int>("count");
  QTest::addColumn<double>("firstValue");
  QTest::addColumn<int>("firstPixel");
  QTest::addColumn<int>("secondPixel");
  // 200 pixels: k = 0 ... 21, the last beyond the edge.
  QTest::newRow("1:1 from 0") << 0.0 << 1.0 << 10.0 << 22 << 0.0 << 0 << 10;
  QTest::newRow("from 15 starts at 10, x -5") << 15.0 << 1.0 << 10.0 << 22 << 10.0 << -5 << 5;
  QTest::newRow("labels every 40") << 0.0 << 1.0 << 40.0 << 7 << 0.0 << 0 << 40;
  QTest::newRow("negative position") << -15.0 << 1.0 << 10.0 << 22 << -10.0 << 5 << 15;
  QTest::newRow("two dots per unit") << 3.0 << 2.0 << 10.0 << 12 << 0.0 << -6 << 14;
  // Half a pixel per tick would be a solid smear: 2, then 5 times the step (2.5 pixels).
  QTest::newRow("too dense grows the step") << 0.0 << 0.05 << 10.0 << 0 << 0.0 << 0 << 0;
}

void RulerboxTest::marks() {
  QFETCH(double, viewPos);
  QFETCH(double, dotPerUnit);
  QFETCH(double, frequency);
  QFETCH(int, count);
  QFETCH(double, firstValue);
  QFETCH(int, firstPixel);
  QFETCH(int, secondPixel);
  const TRulerScale scale{viewPos, dotPerUnit, 0};
  const std::vector<TRulerMark> m = korvane::RulerMarks(scale, frequency, 200, 2);
  if (count == 0) {  // thinned
    QVERIFY(m.size() >= 2);
    QCOMPARE(m[1].Value - m[0].Value, 50.0);
    QVERIFY(m[1].Pixel - m[0].Pixel >= 2);
    return;
  }
  QCOMPARE(static_cast<int>(m.size()), count);
  QCOMPARE(m[0].Value, firstValue);
  QCOMPARE(m[0].Pixel, firstPixel);
  QCOMPARE(m[1].Pixel, secondPixel);
  for (std::size_t k = 1; k < m.size(); ++k) QCOMPARE(m[k].Value - m[k - 1].Value, frequency);
}

void RulerboxTest::labelText_data() {
  QTest::addColumn<double>("value");
  QTest::addColumn<bool>("hex");
  QTest::addColumn<QString>("expected");
  QTest::newRow("0") << 0.0 << false << "0";
  QTest::newRow("40") << 40.0 << false << "40";
  QTest::newRow("-40") << -40.0 << false << "-40";
  QTest::newRow("3 * 0.1 to 15 digits") << 3 * 0.1 << false << "0.3";
  QTest::newRow("fraction") << 123456.5 << false << "123456.5";
  QTest::newRow("15 digits stay fixed") << 999999999999999.0 << false << "999999999999999";
  QTest::newRow("16 digits go scientific") << 1e15 << false << "1E015";
  QTest::newRow("1E020") << 1e20 << false << "1E020";
  QTest::newRow("0.00001 fixed") << 0.00001 << false << "0.00001";
  QTest::newRow("below 0.00001 scientific") << 0.0000025 << false << "2.5E-006";
  QTest::newRow("hex 255") << 255.0 << true << "FF";
  QTest::newRow("hex 0") << 0.0 << true << "0";
  QTest::newRow("hex truncates") << 4096.9 << true << "1000";
  QTest::newRow("hex negative") << -255.0 << true << "-FF";
  QTest::newRow("hex -0.5 is 0") << -0.5 << true << "0";
}

void RulerboxTest::labelText() {
  QFETCH(double, value);
  QFETCH(bool, hex);
  QFETCH(QString, expected);
  QCOMPARE(QString::fromStdString(korvane::RulerLabelText(value, hex)), expected);
}

void RulerboxTest::bandThickness() {
  QCOMPARE(korvane::RulerBandThickness(11, true), 22);
  QCOMPARE(korvane::RulerBandThickness(-11, true), 22);  // the framework's negative heights
  QCOMPARE(korvane::RulerBandThickness(13, true), 25);   // 22.1
  QCOMPARE(korvane::RulerBandThickness(11, false), 0);
  std::unique_ptr<TRulerBox> r(MakeRuler(TRulerBox::rdHorizontal, TRulerBox::gdUp, 200));
  QCOMPARE(r->BandThickness(), 22);
  r->SetRuler(false);
  QCOMPARE(r->BandThickness(), 0);
  QVERIFY(r->TickMarks().size() > 0);  // the scale is only not drawn
}

void RulerboxTest::ticksArePaintedAtTheirPixels_data() {
  QTest::addColumn<TRulerBox::TRulerDir>("dir");
  QTest::addColumn<TRulerBox::TGripsDir>("grips");
  QTest::addColumn<qreal>("dpr");
  for (qreal dpr : {1.0, 2.0}) {
    for (auto dir : {TRulerBox::rdHorizontal, TRulerBox::rdVertical}) {
      for (auto g : {TRulerBox::gdUp, TRulerBox::gdDown}) {
        QTest::addRow("%s %s x%g", dir == TRulerBox::rdVertical ? "vertical" : "horizontal",
                      g == TRulerBox::gdUp ? "up" : "down", dpr)
            << dir << g << dpr;
      }
    }
  }
}

// ViewPos 15: ticks every 10 units at 5, 15, 25 ... pixels, band / 4 = 5 long; the ones on
// multiples of 40 (at 25, 65 ...) are labels, band / 2 = 11 long. Nothing between them.
void RulerboxTest::ticksArePaintedAtTheirPixels() {
  QFETCH(TRulerBox::TRulerDir, dir);
  QFETCH(TRulerBox::TGripsDir, grips);
  QFETCH(qreal, dpr);
  std::unique_ptr<TRulerBox> r(MakeRuler(dir, grips, 200));
  r->SetGripsCount(0);
  r->SetViewPos(15);
  const QImage image = test::RenderWidget(*r, dpr);
  const QRgb ink = Ink(*r);
  const QRgb band = r->RulerColor().rgb();
  for (int along = 5; along < 200; along += 10) {
    const bool label = (along + 15) % 40 == 0;
    QCOMPARE(BandPixel(image, *r, along, 1, dpr), ink);
    QCOMPARE(BandPixel(image, *r, along, 4, dpr), ink);
    QCOMPARE(BandPixel(image, *r, along, 6, dpr), label ? ink : band);
    QCOMPARE(BandPixel(image, *r, along, 9, dpr), label ? ink : band);
    QCOMPARE(BandPixel(image, *r, along + 1, 2, dpr), band);
    QCOMPARE(BandPixel(image, *r, along - 1, 2, dpr), band);
  }
  // The inner edge line runs the whole length, one logical pixel: the row beyond it is not ink.
  QCOMPARE(BandPixel(image, *r, 3, 0, dpr), ink);
  QCOMPARE(BandPixel(image, *r, 3, -1, dpr), r->Background().rgb());
  if (dpr == 2) {  // the tick at 5 covers device pixels 10 and 11, neither neighbour
    QCOMPARE(BandDevicePixel(image, *r, 10, 2, dpr), ink);
    QCOMPARE(BandDevicePixel(image, *r, 11, 2, dpr), ink);
    QCOMPARE(BandDevicePixel(image, *r, 9, 2, dpr), band);
    QCOMPARE(BandDevicePixel(image, *r, 12, 2, dpr), band);
    // The labels' text is drawn at the finer resolution, not doubled from the 1x picture.
    const QImage doubled = test::RenderWidget(*r, 1).scaled(image.size(), Qt::IgnoreAspectRatio,
                                                            Qt::FastTransformation);
    QVERIFY(doubled != image);
  }
}

void RulerboxTest::viewLimits_data() {
  QTest::addColumn<double>("viewMin");
  QTest::addColumn<double>("viewMax");
  QTest::addColumn<double>("dotPerUnit");
  QTest::addColumn<double>("requested");
  QTest::addColumn<double>("expected");
  // 200 pixels wide.
  QTest::newRow("inside") << 0.0 << 1000.0 << 1.0 << 300.0 << 300.0;
  QTest::newRow("below ViewMin") << 0.0 << 1000.0 << 1.0 << -5.0 << 0.0;
  QTest::newRow("beyond ViewMax - width") << 0.0 << 1000.0 << 1.0 << 900.0 << 800.0;
  QTest::newRow("at 2 dots per unit") << 0.0 << 1000.0 << 2.0 << 950.0 << 900.0;
  // A range shorter than the ruler starts at ViewMin instead of sliding below it.
  QTest::newRow("short range") << 0.0 << 100.0 << 1.0 << 0.0 << 0.0;
  QTest::newRow("short range, pushed") << 0.0 << 100.0 << 1.0 << 50.0 << 0.0;
  QTest::newRow("no range: no limits") << 0.0 << 0.0 << 1.0 << -70.0 << -70.0;
}

void RulerboxTest::viewLimits() {
  QFETCH(double, viewMin);
  QFETCH(double, viewMax);
  QFETCH(double, dotPerUnit);
  QFETCH(double, requested);
  QFETCH(double, expected);
  std::unique_ptr<TRulerBox> r(MakeRuler(TRulerBox::rdHorizontal, TRulerBox::gdUp, 200));
  r->SetDotPerUnit(dotPerUnit);
  r->SetViewMin(viewMin);
  r->SetViewMax(viewMax);
  r->SetViewPos(requested);
  QCOMPARE(r->ViewPos(), expected);
  QCOMPARE(r->Grip(0).Min, viewMin);  // the grips take the new limits
  QCOMPARE(r->Grip(0).Max, viewMax);
}

void RulerboxTest::fitInView() {
  std::unique_ptr<TRulerBox> r(MakeRuler(TRulerBox::rdHorizontal, TRulerBox::gdUp, 200));
  r->SetViewMin(100);
  r->SetViewMax(500);
  r->SetFitInView(true);
  QCOMPARE(r->DotPerUnit(), 0.5);
  QCOMPARE(r->ViewPos(), 100.0);
  QCOMPARE(r->UnitAt(200), 500.0);
  r->resize(400, 30);
  QCOMPARE(r->DotPerUnit(), 1.0);
  r->SetDotPerUnit(0);  // refused: it would divide by zero
  QCOMPARE(r->DotPerUnit(), 1.0);
}

void RulerboxTest::followsTheView_data() {
  QTest::addColumn<TRulerBox::TRulerDir>("dir");
  QTest::addColumn<int>("zoom");
  QTest::addColumn<int>("origin");
  QTest::addColumn<int>("centring");
  QTest::addColumn<int>("viewStart");  // where the view's client area begins in the ruler
  const auto h = TRulerBox::rdHorizontal;
  const auto v = TRulerBox::rdVertical;
  QTest::newRow("100") << h << 100 << 0 << 0 << 0;
  QTest::newRow("100 scrolled") << h << 100 << 137 << 0 << 0;
  QTest::newRow("200") << h << 200 << 0 << 0 << 0;
  QTest::newRow("200 scrolled") << h << 200 << 151 << 0 << 0;
  QTest::newRow("50") << h << 50 << 0 << 0 << 0;
  QTest::newRow("50 scrolled") << h << 50 << 63 << 0 << 0;
  QTest::newRow("50 centred") << h << 50 << 0 << 120 << 0;
  QTest::newRow("200 scrolled, view offset") << h << 200 << 45 << 0 << 7;
  QTest::newRow("vertical 200 scrolled") << v << 200 << 99 << 0 << 0;
  QTest::newRow("vertical 50 centred") << v << 50 << 0 << 33 << 0;
}

// The unit under every pixel, each label's value and a mouse click all give the image coordinate
// the view reports at that point.
void RulerboxTest::followsTheView() {
  QFETCH(TRulerBox::TRulerDir, dir);
  QFETCH(int, zoom);
  QFETCH(int, origin);
  QFETCH(int, centring);
  QFETCH(int, viewStart);
  std::unique_ptr<TRulerBox> r(MakeRuler(dir, TRulerBox::gdDown, 400));
  // As after loading a 1000-pixel image: the range does not hold the followed position back.
  r->SetViewMin(0);
  r->SetViewPos(0);
  r->SetViewMax(1000);
  r->FollowView(zoom, origin, centring, viewStart);

  for (int x = viewStart; x < 400; ++x) {
    const double unit = r->UnitAt(x);
    QCOMPARE(static_cast<int>(std::nearbyint(unit)),
             ViewScreenToBitmap(x - viewStart, zoom, origin, centring));
  }
  int labels = 0;
  for (const TRulerMark& m : r->LabelMarks()) {
    if (m.Pixel < viewStart || m.Pixel >= 400) continue;
    ++labels;
    const int image = ViewScreenToBitmap(m.Pixel - viewStart, zoom, origin, centring);
    QCOMPARE(m.Value, static_cast<double>(image));
    QCOMPARE(r->LabelText(m.Value), QString::number(image));
  }
  QVERIFY(labels >= 2);

  QSignalSpy clicks(r.get(), &TRulerBox::OnRulerClick);
  for (int x : {viewStart + 3, viewStart + 100, 399}) {
    const QPoint at = dir == TRulerBox::rdVertical ? QPoint(27, x) : QPoint(x, 27);  // the band
    QTest::mouseClick(r.get(), Qt::LeftButton, {}, at);
    const double value = clicks.takeLast().at(1).toDouble();
    QCOMPARE(static_cast<int>(std::nearbyint(value)),
             ViewScreenToBitmap(x - viewStart, zoom, origin, centring));
  }
}

void RulerboxTest::labelsThinOutInsteadOfOverlapping() {
  std::unique_ptr<TRulerBox> r(MakeRuler(TRulerBox::rdHorizontal, TRulerBox::gdDown, 400));
  const QFontMetrics fm(r->font());
  for (int zoom : {100, 50, 25, 12, 6}) {
    r->FollowView(zoom, 0, 0, 0);
    const auto m = r->LabelMarks();
    QVERIFY(m.size() >= 2);
    const int widest = fm.horizontalAdvance(r->LabelText(m.back().Value));
    QVERIFY2(m[1].Pixel - m[0].Pixel > widest, qPrintable(QString::number(zoom)));
    // Still multiples of LabelFreq, so they read round numbers.
    QCOMPARE(std::fmod(m[1].Value, 40.0), 0.0);
  }
  r->FollowView(100, 0, 0, 0);
  QCOMPARE(r->LabelMarks()[1].Value, 40.0);  // at 1:1 every LabelFreq
}

void RulerboxTest::gripDrag_data() {
  QTest::addColumn<double>("dotPerUnit");
  QTest::addColumn<int>("move");
  QTest::addColumn<double>("expected");
  QTest::newRow("1:1 by 30") << 1.0 << 30 << 50.0;
  QTest::newRow("2 dots per unit by 30") << 2.0 << 30 << 35.0;
  QTest::newRow("held at the grip's maximum") << 1.0 << 500 << 100.0;
  QTest::newRow("held at the grip's minimum") << 1.0 << -500 << 0.0;
}

void RulerboxTest::gripDrag() {
  QFETCH(double, dotPerUnit);
  QFETCH(int, move);
  QFETCH(double, expected);
  std::unique_ptr<TRulerBox> r(MakeRuler(TRulerBox::rdHorizontal, TRulerBox::gdDown, 300));
  r->SetViewMin(0);
  r->SetViewMax(100);
  r->SetDotPerUnit(dotPerUnit);
  r->SetGripPosition(0, 20);
  QSignalSpy moves(r.get(), &TRulerBox::OnRulerPosChange);
  QSignalSpy gripClicks(r.get(), &TRulerBox::OnRulerGripClick);
  const QRect g = r->GripRect(0);
  QVERIFY(!g.isEmpty());
  // Taken off its tip: the grip moves by the mouse's travel.
  const QPoint from = g.center() + QPoint(3, 0);
  QTest::mousePress(r.get(), Qt::LeftButton, {}, from);
  QTest::mouseMove(r.get(), from + QPoint(move, 0));
  QTest::mouseRelease(r.get(), Qt::LeftButton, {}, from + QPoint(move, 0));
  QCOMPARE(r->Grip(0).Position, expected);
  QCOMPARE(moves.count(), 1);
  QCOMPARE(moves.at(0).at(1).toInt(), 0);
  QCOMPARE(moves.at(0).at(2).toDouble(), expected);
  QCOMPARE(gripClicks.count(), 0);  // a drag is not a click
  QCOMPARE(r->GripRect(0).center().x(), r->PixelOf(expected));
}

void RulerboxTest::gripClicksAndRulerClick() {
  std::unique_ptr<TRulerBox> r(MakeRuler(TRulerBox::rdHorizontal, TRulerBox::gdDown, 300));
  r->SetGripsCount(3);
  r->SetGripPosition(1, 50);
  r->SetGripPosition(2, 50);  // on top of grip 1: drawn last, so it is the one hit
  r->SetViewPos(10);
  QSignalSpy clicks(r.get(), &TRulerBox::OnRulerGripClick);
  QSignalSpy doubles(r.get(), &TRulerBox::OnRulerGripDblClick);
  QSignalSpy rulerClicks(r.get(), &TRulerBox::OnRulerClick);
  QSignalSpy moves(r.get(), &TRulerBox::OnRulerPosChange);

  const QPoint onGrips = r->GripRect(2).center();
  QCOMPARE(r->GripAt(onGrips), 2);
  QTest::mouseClick(r.get(), Qt::LeftButton, {}, onGrips);
  QCOMPARE(clicks.count(), 1);
  QCOMPARE(clicks.at(0).at(1).toInt(), 2);

  QTest::mouseDClick(r.get(), Qt::LeftButton, {}, onGrips);
  QTest::mouseRelease(r.get(), Qt::LeftButton, {}, onGrips);
  QCOMPARE(doubles.count(), 1);
  QCOMPARE(doubles.at(0).at(1).toInt(), 2);
  QCOMPARE(clicks.count(), 1);
  QCOMPARE(rulerClicks.count(), 0);

  // Off the grips, on the band: the unit there.
  QTest::mouseClick(r.get(), Qt::LeftButton, {}, QPoint(73, 25));
  QCOMPARE(rulerClicks.count(), 1);
  QCOMPARE(rulerClicks.at(0).at(1).toDouble(), 83.0);
  QCOMPARE(moves.count(), 0);
  // The right button does nothing.
  QTest::mouseClick(r.get(), Qt::RightButton, {}, onGrips);
  QTest::mouseClick(r.get(), Qt::RightButton, {}, QPoint(73, 25));
  QCOMPARE(clicks.count(), 1);
  QCOMPARE(rulerClicks.count(), 1);
}

void RulerboxTest::gripShapes_data() {
  QTest::addColumn<TRulerBox::TGripKind>("kind");
  QTest::addColumn<TRulerBox::TGripsDir>("grips");
  QTest::addColumn<QList<int>>("filled");  // offsets from the grip's pixel, at its far end
  QTest::addColumn<QList<int>>("empty");
  for (auto g : {TRulerBox::gdUp, TRulerBox::gdDown}) {
    const char* d = g == TRulerBox::gdUp ? "up" : "down";
    QTest::addRow("triangle %s", d)
        << TRulerBox::gkTriangle << g << QList<int>{-5, 0, 5} << QList<int>{-7, 7};
    QTest::addRow("left triangle %s", d)
        << TRulerBox::gkLeftTriangle << g << QList<int>{-5, 0} << QList<int>{1, -7};
    QTest::addRow("right triangle %s", d)
        << TRulerBox::gkRightTriangle << g << QList<int>{0, 5} << QList<int>{-1, 7};
    QTest::addRow("arrow %s", d) << TRulerBox::gkArrow << g << QList<int>{-2, 0, 2}
                                 << QList<int>{-4, 4};
    QTest::addRow("arrow2 %s", d) << TRulerBox::gkArrow2 << g << QList<int>{0} << QList<int>{-1, 1};
  }
}

// Each grip's tip touches the band at its position; its far end has the kind's shape.
void RulerboxTest::gripShapes() {
  QFETCH(TRulerBox::TGripKind, kind);
  QFETCH(TRulerBox::TGripsDir, grips);
  QFETCH(QList<int>, filled);
  QFETCH(QList<int>, empty);
  std::unique_ptr<TRulerBox> r(MakeRuler(TRulerBox::rdHorizontal, grips, 200));
  r->resize(200, 40);  // 18 pixels for the grips: the arrows get their full 12
  r->SetGripKind(0, kind);
  r->SetGripColor(0, Qt::red);
  r->SetGripPosition(0, 60);
  const QImage image = test::RenderWidget(*r, 1);
  const int band = r->BandThickness();
  const bool up = grips == TRulerBox::gdUp;
  const int tipRow = up ? band : 40 - band - 1;
  const QRect g = r->GripRect(0);
  const int farRow = up ? g.bottom() : g.top();
  QCOMPARE(image.pixelColor(60, tipRow), QColor(Qt::red));
  QCOMPARE(image.pixelColor(58, tipRow), r->Background());
  QCOMPARE(image.pixelColor(62, tipRow), r->Background());
  for (int dx : filled) QCOMPARE(image.pixelColor(60 + dx, farRow), QColor(Qt::red));
  for (int dx : empty) QVERIFY(image.pixelColor(60 + dx, farRow) != QColor(Qt::red));
}

int RunRulerboxTests(int argc, char** argv) {
  RulerboxTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "RulerboxTest.moc"
