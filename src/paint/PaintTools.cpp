#include "paint/PaintTools.h"

#include "app/SDIAppForm.h"

using namespace korvane;

bool DrawCapture(TSDIAppForm&) { return false; }

void DrawPress(TSDIAppForm& form, int x, int y, int code, bool panelRead) {
  TDocument& doc = form.Document();
  if (panelRead) {
    doc.SaveUndo();
    doc.ClearMaskPlanes(true, false, true);
  }
  // The text shape opens its dialog once the text tool exists.
  if (code == ovTextStamp) return;
  form.Rubber.Begin(form.Editor, code, x, y);
  form.RefreshView();
}

void DrawMove(TSDIAppForm&, int, int) {}

void DrawRelease(TSDIAppForm& form, int x, int y) {
  form.Rubber.Finish(form.Editor, x, y);
  // The overlay goes with the clean copy; the tools apply themselves here as they arrive.
  form.Document().RestoreWork();
  form.RefreshView();
}

void RetouchPress(TSDIAppForm& form, int, int) { form.Editor.OverlayMode = ovRetouch; }
void RetouchMove(TSDIAppForm&, int, int) {}
void RetouchRelease(TSDIAppForm& form, int, int) { form.Editor.OverlayMode = ovNone; }
