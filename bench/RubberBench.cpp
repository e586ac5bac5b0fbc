// A rectangle rubber band moving over a large document: two XOR drawings per move, never a copy.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "app/RubberBand.h"

namespace {

korvane::TDib& Large() {
  static korvane::TDib bitmap;
  if (bitmap.Empty() && !bitmap.SetSize(10000, 10000)) std::abort();
  return bitmap;
}

// arg: pen width
void BM_RectangleRubberMove(benchmark::State& state) {
  korvane::TDib& work = Large();
  korvane::TEditorState editor;
  korvane::TRubberBand band;
  band.RubberPenWidth = static_cast<int>(state.range(0));
  band.Begin(editor, korvane::ovRectOutlined, 200, 300);
  int k = 0;
  for (auto _ : state) {
    // A band of about 9000 x 9000 pixels whose corner wanders.
    band.RectangleStep(work, 9000 + (k % 50), 9200 - (k % 37));
    ++k;
    benchmark::ClobberMemory();
  }
}

}  // namespace

BENCHMARK(BM_RectangleRubberMove)
    ->Arg(1)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
