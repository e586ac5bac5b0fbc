#include "colour/ColourTools.h"

// Each panel fills its capture in when its tool arrives; until then a stroke reads nothing.
void AdjCapture(TSDIAppForm&) {}
void ExchCapture(TSDIAppForm&) {}
void ShiftCapture(TSDIAppForm&) {}
void TwistCapture(TSDIAppForm&) {}
void PrepareStretch(TSDIAppForm&) {}
