// The image mover's mouse handlers, called by the mouse routing.
#pragma once

class TSDIAppForm;

void PrepareMover(TSDIAppForm& form);
// True in "Marker" mode, where a press begins a shape stroke instead of a mover drag.
bool MoverMarkerMode(TSDIAppForm& form);
void MoverDown(TSDIAppForm& form, int x, int y);
void MoverMove(TSDIAppForm& form, int x, int y);
void MoverUp(TSDIAppForm& form, int x, int y);
