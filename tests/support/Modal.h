// Driving modal dialogs from Qt tests: the act is queued before the call that opens the dialog
// and runs inside its event loop.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace korvane::test {

// Runs `act` on the modal dialog that the next call opens.
inline void WhenModal(std::function<void(QWidget*)> act) {
  QTimer::singleShot(0, [act] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) {
      WhenModal(act);
      return;
    }
    act(modal);
  });
}

// Runs `act` on the next modal dialog of type T, another modal one may be open beneath it.
template <class T>
void WhenModalIs(std::function<void(T*)> act) {
  QTimer::singleShot(0, [act] {
    auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!modal) {
      WhenModalIs<T>(act);
      return;
    }
    act(modal);
  });
}

}  // namespace korvane::test
