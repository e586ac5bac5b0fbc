#include "paint/PaintTools.h"

#include <memory>
#include <utility>

#include "app/SDIAppForm.h"
#include "paint/Stroke.h"

using namespace korvane;

bool DrawCapture(TSDIAppForm&) { return false; }

namespace {
// Free hand with a tool that has a pixel routine: the brush paints along the path.
bool BeginBrushStroke(TSDIAppForm& form, int x, int y, int code) {
  if (code != ovFreeHand || !form.ToolRoutine) return false;
  form.Stroke = std::make_unique<TStroke>(form.Document(), form.Editor);
  TStroke& stroke = *form.Stroke;
  stroke.Pixel = std::exchange(form.ToolRoutine, nullptr);
  stroke.Circles = form.FreeHandedCircles();
  stroke.Refresh = [&form](const TRectI&) { form.RefreshView(); };
  form.Rubber.Begin(form.Editor, code, x, y);
  stroke.BeginStroke(x, y);
  form.RefreshView();
  return true;
}
}  // namespace

void DrawPress(TSDIAppForm& form, int x, int y, int code, bool panelRead) {
  TDocument& doc = form.Document();
  if (BeginBrushStroke(form, x, y, code)) return;
  if (panelRead) {
    doc.SaveUndo();
    doc.ClearMaskPlanes(true, false, true);
  }
  // The text shape opens its dialog once the text tool exists.
  if (code == ovTextStamp) return;
  form.Rubber.Begin(form.Editor, code, x, y);
  form.RefreshView();
}

void DrawMove(TSDIAppForm& form, int x, int y) {
  if (form.Stroke && form.Stroke->Open()) form.Stroke->ContinueStroke(x, y);
}

void DrawRelease(TSDIAppForm& form, int x, int y) {
  form.Rubber.Finish(form.Editor, x, y);
  if (form.Stroke && form.Stroke->Open()) {
    // The stroke commits itself: the whole of it is one undo step.
    form.Stroke->EndStroke(x, y);
    form.Stroke.reset();
    form.RefreshView();
    return;
  }
  // The overlay goes with the clean copy; the tools apply themselves here as they arrive.
  form.Document().RestoreWork();
  form.RefreshView();
}

void RetouchPress(TSDIAppForm& form, int, int) { form.Editor.OverlayMode = ovRetouch; }
void RetouchMove(TSDIAppForm&, int, int) {}
void RetouchRelease(TSDIAppForm& form, int, int) { form.Editor.OverlayMode = ovNone; }
