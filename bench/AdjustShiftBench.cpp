// Whole-image Adjust and a "Normal" shift on 4000 x 3000, undo copy and commit included,
// against a memcpy of the same image.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/Document.h"
#include "colour/Adjust.h"
#include "colour/Bitshift.h"

namespace {

struct Picture {
  korvane::TDocument doc;
  korvane::TEditorState editor;
  Picture() {
    editor.SetDefaultColors();
    if (!doc.LoadOrCreate(4000, 3000, korvane::clBlack)) std::abort();
    const std::size_t bytes = static_cast<std::size_t>(doc.RowStride()) * doc.ImageHeight();
    for (std::size_t i = 0; i < bytes; ++i)
      doc.WorkPixels()[i] = static_cast<std::uint8_t>(i * 7 + (i >> 12));
    doc.CommitWork();
  }
  std::size_t Bytes() const {
    return static_cast<std::size_t>(doc.RowStride()) * doc.ImageHeight();
  }
};

Picture& Shared() {
  static Picture picture;
  return picture;
}

void BM_AdjustMemcpy(benchmark::State& state) {
  Picture& p = Shared();
  std::vector<std::uint8_t> target(p.Bytes());
  for (auto _ : state) {
    std::memcpy(target.data(), p.doc.CleanPixels(), target.size());
    benchmark::ClobberMemory();
  }
}

// arg: mode 1..5
void BM_AdjustWholeImage(benchmark::State& state) {
  Picture& p = Shared();
  korvane::TNoProgress progress;
  const auto params = korvane::TAdjustParams::FromPercents(static_cast<int>(state.range(0)),
                                                           true, 10, -10, 5);
  for (auto _ : state) {
    korvane::ApplyAdjust(p.doc, p.editor, params, progress);
    benchmark::ClobberMemory();
  }
}

// arg: operation
void BM_ShiftWholeImage(benchmark::State& state) {
  Picture& p = Shared();
  korvane::TNoProgress progress;
  korvane::TShiftParams params;
  params.ShiftOffsetX = 3;
  params.ShiftOffsetY = -2;
  params.ShiftOperation = static_cast<int>(state.range(0));
  for (auto _ : state) {
    korvane::ApplyShift(p.doc, p.editor, params, progress);
    benchmark::ClobberMemory();
  }
}

}  // namespace

BENCHMARK(BM_AdjustMemcpy)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_AdjustWholeImage)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ShiftWholeImage)
    ->Arg(korvane::ShiftNormal)
    ->Arg(korvane::ShiftXor)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
