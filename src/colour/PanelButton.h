// The buttons of the narrow tool panels: as wide as the panel, 19 pixels high, small text.
#pragma once

#include <QFont>
#include <QString>
#include <QToolButton>

// A checkable one looks like a speed button: flat until pressed.
inline QToolButton* PanelButton(QWidget* parent, const char* name, const QString& caption,
                                bool checkable = false) {
  auto* b = new QToolButton(parent);
  b->setObjectName(name);
  b->setText(caption);
  b->setCheckable(checkable);
  b->setAutoRaise(checkable);
  b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  b->setFixedHeight(19);
  QFont f = b->font();
  f.setPixelSize(11);
  b->setFont(f);
  return b;
}
