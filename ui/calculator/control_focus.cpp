#include "control_focus.h"

#include <QApplication>

ControlFocus::ControlFocus(QList<QWidget*> controls, QObject* parent)
    : QObject(parent)
    , controls_(std::move(controls)) {
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { focusChanged(now); });
}

void ControlFocus::focusChanged(QWidget* now) {
    QWidget* control = controlOf(now);
    if (control == nullptr || control == current_)
        return;
    QWidget* from = current_;
    current_ = control;
    emit moved(from, control);
}

QWidget* ControlFocus::controlOf(QWidget* widget) const {
    for (; widget != nullptr; widget = widget->parentWidget()) {
        if (controls_.contains(widget))
            return widget;
        if (widget->isWindow()) // a list's popup or a message box is a window of its own
            return nullptr;
    }
    return nullptr;
}
