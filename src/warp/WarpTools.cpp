#include "warp/WarpTools.h"

// The warps fill these in when they arrive.
void WarpPress(TSDIAppForm&, int, int) {}
void WarpRelease(TSDIAppForm&, int, int) {}
void RoiMoveCorners(TSDIAppForm&, korvane::TRoiPoints&, int, int) {}
bool RoiNearCorner(TSDIAppForm&, int, int) { return false; }
