#include "app/SDIAppForm.h"

TSDIAppForm::TSDIAppForm(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(QStringLiteral("Korvane_24 "));
  resize(662, 572);
}
