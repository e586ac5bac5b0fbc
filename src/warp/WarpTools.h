// The warp panel's mouse handlers, called by the mouse routing.
#pragma once

#include "app/RubberBand.h"

class TSDIAppForm;

void WarpPress(TSDIAppForm& form, int x, int y);
void WarpRelease(TSDIAppForm& form, int x, int y);
// Moves the grabbed corner of the region outline to (x, y), its partners by the movement setting.
void RoiMoveCorners(TSDIAppForm& form, korvane::TRoiPoints& roi, int x, int y);
// Whether the region warp is selected and (x, y) is close enough to a corner to grab it.
bool RoiNearCorner(TSDIAppForm& form, int x, int y);
