#include "colour/ColourTools.h"

#include "app/SDIAppForm.h"
#include "colour/Adjust.h"
#include "colour/AdjustPanel.h"
#include "colour/Bitshift.h"
#include "colour/ShiftPanel.h"

// A capture reads the panel at the press and gives the tool's pixel routine to the brush stroke;
// panels whose tools come later give none.
void AdjCapture(TSDIAppForm& form) {
  form.ToolRoutine = korvane::MakeAdjustRoutine(form.AdjustPanel->Capture(), form.Editor);
}
void ExchCapture(TSDIAppForm& form) { form.ToolRoutine = nullptr; }
void ShiftCapture(TSDIAppForm& form) {
  form.ToolRoutine =
      korvane::MakeShiftRoutine(form.ShiftPanel->Capture(), form.Editor, form.Document());
}
void TwistCapture(TSDIAppForm&) {}
void PrepareStretch(TSDIAppForm&) {}
