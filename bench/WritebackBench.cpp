// Mixing a processed image back into the original, against a memcpy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "colour/Writeback.h"

namespace {

struct Images {
  korvane::TDib original, processed;
  Images() {
    if (!original.SetSize(4000, 3000) || !processed.SetSize(4000, 3000)) std::abort();
    for (std::size_t i = 0; i < original.ByteSize(); ++i) {
      original.Rows()[i] = static_cast<std::uint8_t>(i * 7);
      processed.Rows()[i] = static_cast<std::uint8_t>(i * 13);
    }
  }
};

Images& Shared() {
  static Images images;
  return images;
}

void BM_BlendMemcpy(benchmark::State& state) {
  Images& im = Shared();
  const std::size_t bytes = im.original.ByteSize();
  std::vector<unsigned char> target(bytes);
  for (auto _ : state) {
    std::memcpy(target.data(), im.processed.Rows(), bytes);
    benchmark::ClobberMemory();
  }
}

// arg: restriction type (0 none)
void BM_BlendProcessedImage(benchmark::State& state) {
  Images& im = Shared();
  korvane::TEditorState editor;
  editor.SetDefaultColors();
  editor.WriteBack.Transparency = korvane::TWriteBackSettings::TransparencyFromPercent(30);
  editor.Restrict.RestrictType = static_cast<int>(state.range(0));
  editor.Restrict.RestrictEpsilon = 20;
  korvane::TWriteBack wb(editor);
  korvane::TNoProgress progress;
  for (auto _ : state) {
    wb.BlendProcessedImage(im.original, im.processed, editor.WriteBack.Transparency, progress);
    benchmark::ClobberMemory();
  }
}

}  // namespace

BENCHMARK(BM_BlendMemcpy)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_BlendProcessedImage)
    ->Arg(0)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
