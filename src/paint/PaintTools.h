// The drawing and retouch handlers the mouse routing calls.
#pragma once

class TSDIAppForm;

// Reads the Draw panel; answers whether shapes use the two-colour codes.
bool DrawCapture(TSDIAppForm& form);
// A shape stroke: begins at the press with the shape code, follows a free-hand drag, and ends
// (removing the rubber band) at the release. panelRead: the tool's panel was read at the press.
void DrawPress(TSDIAppForm& form, int x, int y, int code, bool panelRead);
void DrawMove(TSDIAppForm& form, int x, int y);
void DrawRelease(TSDIAppForm& form, int x, int y);

void RetouchPress(TSDIAppForm& form, int x, int y);
void RetouchMove(TSDIAppForm& form, int x, int y);
void RetouchRelease(TSDIAppForm& form, int x, int y);
