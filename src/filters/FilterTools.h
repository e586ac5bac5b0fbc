// What the mouse routing calls on the filter panels when a stroke begins.
#pragma once

class TSDIAppForm;

void Flt3Capture(TSDIAppForm& form);  // 3x3 panel
void Flt7Capture(TSDIAppForm& form);  // 7x7 panel
void IplCapture(TSDIAppForm& form);   // library-filter panel
