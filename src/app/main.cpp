#include <QApplication>

#include "app/SDIAppForm.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  TSDIAppForm form;
  form.showMaximized();
  return QApplication::exec();
}
