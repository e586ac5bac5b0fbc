#include "app/EditorState.h"

namespace korvane {

void SetColorRecord(TColorRecord& record, TColor color) {
  record.Color = color;
  record.PixelBytes[0] = BlueOf(color);
  record.PixelBytes[1] = GreenOf(color);
  record.PixelBytes[2] = RedOf(color);
  record.Factor = 1.0f;
}

void TEditorState::SetDefaultColors() {
  SetColorRecord(ForeColor, clWhite);
  SetColorRecord(BackColor, clBlack);
  SetColorRecord(DivColor, clWhite);
  SetColorRecord(LowColor, clBlack);
  SetColorRecord(HighColor, clWhite);
}

}  // namespace korvane
