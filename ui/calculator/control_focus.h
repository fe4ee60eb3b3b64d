#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

// Tells when the keyboard focus moves from one control of a window to another.
//
// Qt reports every change of the application's focus widget, including those that are not a
// move between controls: a list dropping down, a message box opening, another program being
// activated. Those take the focus out of the window's controls and later give it back to the
// same control, so this watcher only reports an arrival in a control other than the one that
// had the focus last. A widget inside a control (the edit field of a combo box) counts as the
// control.
class ControlFocus : public QObject {
    Q_OBJECT
public:
    ControlFocus(QList<QWidget*> controls, QObject* parent);

    QWidget* current() const { return current_; }

signals:
    // from is null when the focus arrives in a control for the first time.
    void moved(QWidget* from, QWidget* to);

private:
    void focusChanged(QWidget* now);
    QWidget* controlOf(QWidget* widget) const;

    QList<QWidget*> controls_;
    QPointer<QWidget> current_;
};
