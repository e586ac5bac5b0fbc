#include <QApplication>
#include <QTimer>

#include "app/SDIAppForm.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  TSDIAppForm form;
  form.showMaximized();
  // `korvane FILE` opens FILE once the window is up.
  const QStringList args = QApplication::arguments();
  if (args.size() > 1) {
    const QString file = args.at(1);
    QTimer::singleShot(0, &form, [&form, file] { form.OpenFile(file); });
  }
  return QApplication::exec();
}
