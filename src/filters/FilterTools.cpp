#include "filters/FilterTools.h"

// Each panel fills its capture in when its tool arrives.
void Flt3Capture(TSDIAppForm&) {}
void Flt7Capture(TSDIAppForm&) {}
void IplCapture(TSDIAppForm&) {}
