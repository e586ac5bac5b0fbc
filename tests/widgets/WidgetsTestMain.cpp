// One executable for the widget suites: each runs in turn; the exit code counts failed suites.
#include <QApplication>

int RunSlidebarTests(int argc, char** argv);
int RunRulerboxTests(int argc, char** argv);

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int failed = 0;
  failed += RunSlidebarTests(argc, argv) != 0;
  failed += RunRulerboxTests(argc, argv) != 0;
  return failed;
}
