// The one colour the set-up pages give a caption of their own: red for a
// problem the user must act on.
#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>

inline QColor VM_ProblemColour() { return QColor(0xd0, 0x20, 0x20); }

// The widget's text in the problem colour.
inline void VM_PaintProblem(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, VM_ProblemColour());
    widget->setPalette(palette);
}
