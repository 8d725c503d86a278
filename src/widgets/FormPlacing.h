#pragma once
// Putting a designed control on a form: its designed name and its place, in one call.
#include <QLabel>
#include <QString>

namespace lumora {

template <class T>
T* place(T* control, const char* name, int x, int y, int w, int h) {
  control->setObjectName(QString::fromUtf8(name));
  control->setGeometry(x, y, w, h);
  return control;
}

inline QLabel* label(QWidget* parent, const char* name, const char* caption, int x, int y, int w,
                     int h) {
  return place(new QLabel(QString::fromUtf8(caption), parent), name, x, y, w, h);
}

}  // namespace lumora
