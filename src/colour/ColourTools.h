// What the mouse routing calls on the colour tools' panels when a stroke begins.
#pragma once

class TSDIAppForm;

void AdjCapture(TSDIAppForm& form);      // Adjust panel
void ExchCapture(TSDIAppForm& form);     // colour exchange panel
void ShiftCapture(TSDIAppForm& form);    // bit-shift panel
void TwistCapture(TSDIAppForm& form);    // colour-twist panel
void PrepareStretch(TSDIAppForm& form);  // histogram panel
