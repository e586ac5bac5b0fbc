// The main window. It owns the document and shows the working bitmap.
#pragma once

#include <QMainWindow>

#include "app/Document.h"

class TSDIAppForm : public QMainWindow {
  Q_OBJECT

 public:
  explicit TSDIAppForm(QWidget* parent = nullptr);

  korvane::TDocument& Document() { return document_; }

 private:
  korvane::TDocument document_;
};
