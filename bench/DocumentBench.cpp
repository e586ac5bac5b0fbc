// Whole-image copies of the document against a plain memcpy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/Document.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

korvane::TDocument& Document() {
  static korvane::TDocument doc;
  if (!doc.HasDocument() && !doc.LoadOrCreate(kWidth, kHeight, korvane::RGBColor(10, 20, 30)))
    std::abort();
  return doc;
}

void BM_Memcpy(benchmark::State& state) {
  const std::size_t bytes = Document().WorkBitmap().ByteSize();
  std::vector<unsigned char> a(bytes, 1), b(bytes, 2);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_SaveUndo(benchmark::State& state) {
  korvane::TDocument& doc = Document();
  for (auto _ : state) {
    doc.SaveUndo();
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.CleanBitmap().ByteSize()));
}

void BM_CommitWork(benchmark::State& state) {
  korvane::TDocument& doc = Document();
  for (auto _ : state) {
    doc.CommitWork();
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.WorkBitmap().ByteSize()));
}

}  // namespace

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_SaveUndo)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_CommitWork)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
