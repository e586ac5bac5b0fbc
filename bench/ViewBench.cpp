// Painting the view's client area: the cost must follow the client size, not the document's.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <cstdlib>
#include <map>
#include <memory>

#include "app/Dibactions.h"
#include "view/Vistelview.h"

namespace {

constexpr int kClientWidth = 1920;
constexpr int kClientHeight = 1080;

const korvane::TDib& Document(int side) {
  static std::map<int, std::unique_ptr<korvane::TDib>> documents;
  auto& doc = documents[side];
  if (!doc) {
    doc = std::make_unique<korvane::TDib>();
    if (!doc->SetSize(side, side)) std::abort();
    for (int y = 0; y < side; ++y) {
      std::uint8_t* row = doc->Row(y);
      for (int x = 0; x < 3 * side; ++x) row[x] = static_cast<std::uint8_t>(x ^ y);
    }
  }
  return *doc;
}

// args: document side, zoom percent
void BM_PaintClient(benchmark::State& state) {
  const korvane::TDib& bitmap = Document(static_cast<int>(state.range(0)));
  TVistelView view;
  view.resize(kClientWidth, kClientHeight);
  view.SetBitmap(&bitmap);
  view.SetZoom(static_cast<int>(state.range(1)));
  view.SetViewXY(1234, 567);
  QImage surface(kClientWidth, kClientHeight, QImage::Format_RGB32);
  for (auto _ : state) {
    view.viewport()->render(&surface);
    benchmark::DoNotOptimize(surface.constBits());
  }
}

}  // namespace

BENCHMARK(BM_PaintClient)
    ->ArgsProduct({{1000, 10000}, {100, 300}})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
