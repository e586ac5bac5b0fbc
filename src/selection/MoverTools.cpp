#include "selection/MoverTools.h"

#include "paint/PaintTools.h"

// The mover fills these in when it arrives; until then every press marks.
void PrepareMover(TSDIAppForm&) {}
bool MoverMarkerMode(TSDIAppForm&) { return true; }
void MoverDown(TSDIAppForm&, int, int) {}
void MoverMove(TSDIAppForm&, int, int) {}
void MoverUp(TSDIAppForm& form, int x, int y) {
  if (MoverMarkerMode(form)) DrawRelease(form, x, y);
}
