// The stroke engine on a 4000 x 3000 document: one mouse move of 20 pixels with the 60-pixel
// airbrush at 50 % capacity and with the largest brush, and the press's clear of the whole mask,
// against copying the same bytes (memcpy of the move's box, memset of the mask) in the same run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

#include "app/Document.h"
#include "app/EditorState.h"
#include "app/Random.h"
#include "paint/Brush.h"
#include "paint/Stroke.h"

namespace {

using namespace korvane;

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr int kMove = 20;

TDocument& Document() {
  static TDocument* doc = [] {
    auto* d = new TDocument;
    if (!d->LoadOrCreate(kWidth, kHeight, 0x00808080)) std::abort();
    return d;
  }();
  return *doc;
}

TEditorState Airbrush(int size) {
  TEditorState editor;
  editor.SetDefaultColors();
  SetColorRecord(editor.ForeColor, 0x000000FF);
  editor.Brush.BrushStyle = NeonBrush;
  editor.Brush.BrushSize = size;
  editor.Brush.Capacity = CapacityFromPercent(50);
  editor.Brush.FalloffPercent = 100;
  editor.Brush.FalloffStep = ComputeFalloffStep(size, 100);
  return editor;
}

// Moves of kMove pixels across the image in rows a brush apart, so every move paints fresh
// pixels; a new stroke (untimed) when the path has covered the image.
void Moves(benchmark::State& state, int size, bool circles) {
  TDocument& doc = Document();
  TEditorState editor = Airbrush(size);
  RandomSeed(1);
  TStroke stroke(doc, editor);
  stroke.Pixel = [](TWriteBack& wb) { wb.WriteBrushPixel(); };
  stroke.Circles = circles;
  const int margin = size;
  int x = margin, y = margin;
  stroke.BeginStroke(x, y);
  for (auto _ : state) {
    x += kMove;
    if (x > kWidth - margin) {
      x = margin;
      y += 2 * size;
      if (y > kHeight - margin) {
        state.PauseTiming();
        stroke.EndStroke(x, y);
        y = margin;
        stroke.BeginStroke(x, y);
        state.ResumeTiming();
      }
      state.PauseTiming();
      stroke.ContinueStroke(x, y);  // the jump to the next row is not a 20-pixel move
      state.ResumeTiming();
      continue;
    }
    stroke.ContinueStroke(x, y);
  }
  stroke.EndStroke(x, y);
}

void BM_StrokeMove60(benchmark::State& state) { Moves(state, 60, false); }
void BM_StrokeMove100(benchmark::State& state) { Moves(state, kBrushSize.Max, false); }
void BM_StrokeMoveCircles60(benchmark::State& state) { Moves(state, 60, true); }

// The least a move can cost: copying its box (the segment with the brush around it) once.
void BM_StrokeMoveReferenceMemcpy(benchmark::State& state) {
  TDocument& doc = Document();
  const int size = static_cast<int>(state.range(0));
  const int rows = size + 4, bytes = 3 * (kMove + size + 4);
  const std::ptrdiff_t stride = doc.RowStride();
  for (auto _ : state) {
    for (int r = 0; r < rows; ++r)
      std::memcpy(doc.WorkPixels() + (1000 + r) * stride + 3000,
                  doc.CleanPixels() + (1000 + r) * stride + 3000, static_cast<std::size_t>(bytes));
    benchmark::ClobberMemory();
  }
}

void BM_StrokePressClear(benchmark::State& state) {
  TDocument& doc = Document();
  for (auto _ : state) {
    ClearStrokePlanes(doc.MaskBitmap());
    benchmark::ClobberMemory();
  }
}

void BM_StrokePressClearReferenceMemset(benchmark::State& state) {
  TDocument& doc = Document();
  for (auto _ : state) {
    std::memset(doc.MaskPixels(), 0, doc.MaskBitmap().ByteSize());
    benchmark::ClobberMemory();
  }
}

// The whole press: the undo copy and the clear.
void BM_StrokePress(benchmark::State& state) {
  TDocument& doc = Document();
  TEditorState editor = Airbrush(60);
  TStroke stroke(doc, editor);
  for (auto _ : state) {
    stroke.BeginStroke(100, 100);
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_StrokeMove60)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StrokeMove100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StrokeMoveCircles60)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StrokeMoveReferenceMemcpy)->Arg(60)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StrokePressClear)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StrokePressClearReferenceMemset)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StrokePress)->Unit(benchmark::kMillisecond);

}  // namespace
