#pragma once

// A calculator window under test, driven as a person drives it: keys go to the widget that has
// the focus, clicks go to the control's own widget, and every message box that opens is the
// real modal one, answered with the Enter key once it is up.

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "form1.h"

namespace testing {

using namespace std::chrono;

// 7 December 2026, a quarter past three in the afternoon, local time.
inline const dovrin::LocalTime afternoon =
    local_days{year{2026} / December / 7} + hours{15} + minutes{15};

struct ShownMessage {
    QString title;
    QString text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    bool modal;
};

// Answers every message box that opens, with the Enter key, and remembers what it showed.
class MessageBoxAnswerer : public QObject {
public:
    MessageBoxAnswerer() { qApp->installEventFilter(this); }
    ~MessageBoxAnswerer() override { qApp->removeEventFilter(this); }

    QList<ShownMessage> shown;
    int openNow = 0;
    int mostOpenAtOnce = 0;

    QStringList texts() const {
        QStringList all;
        for (const ShownMessage& message : shown)
            all << message.text;
        return all;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (box && event->type() == QEvent::Show) {
            shown.append({box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                          box->isModal()});
            mostOpenAtOnce = std::max(mostOpenAtOnce, ++openNow);
            QTimer::singleShot(0, box, [box] { QTest::keyClick(box, Qt::Key_Return); });
        } else if (box && event->type() == QEvent::Hide) {
            --openNow;
        }
        return false;
    }
};

class CalculatorWindow {
public:
    explicit CalculatorWindow(dovrin::LocalTime now = afternoon)
        : form([this] { return clock; })
        , clock(now) {}

    // Opens the window and waits until it is active, with the focus in the practice box.
    bool open() {
        form.show();
        return QTest::qWaitForWindowActive(&form);
    }

    QComboBox* combo(const char* name) { return form.findChild<QComboBox*>(name); }
    QLineEdit* box(const char* name) { return form.findChild<QLineEdit*>(name); }
    QPushButton* button(const char* name) { return form.findChild<QPushButton*>(name); }
    QWidget* control(const char* name) { return form.findChild<QWidget*>(name); }

    // The text of a combo box's edit field or of a text box.
    QString text(const char* name) {
        if (QComboBox* c = combo(name))
            return c->currentText();
        return box(name)->text();
    }

    QStringList items(const char* name) {
        QStringList all;
        QComboBox* c = combo(name);
        for (int i = 0; i < c->count(); ++i)
            all << c->itemText(i);
        return all;
    }

    // The control that has the keyboard focus (a combo box for its edit field).
    QWidget* focused() {
        QWidget* widget = QApplication::focusWidget();
        if (widget && qobject_cast<QComboBox*>(widget->parentWidget()))
            return widget->parentWidget();
        return widget;
    }
    QString focusedName() {
        QWidget* widget = focused();
        return widget ? widget->objectName() : QString();
    }

    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        settle();
    }

    // Lets the window become active again after a message box, as a window manager would.
    void settle() {
        if (form.isVisible())
            (void)QTest::qWaitFor([this] { return form.isActiveWindow(); }, 1000);
    }
    void tab(int times = 1) {
        for (int i = 0; i < times; ++i)
            key(Qt::Key_Tab);
    }
    void backtab() { key(Qt::Key_Backtab, Qt::ShiftModifier); }

    // A mouse click on a control: on a combo box, on its edit field.
    void click(const char* name) {
        QWidget* target = control(name);
        if (auto* c = qobject_cast<QComboBox*>(target))
            target = c->lineEdit();
        QTest::mouseClick(target, Qt::LeftButton, {}, target->rect().center());
        settle();
    }

    // Clicks into a box, replaces its text by typing, and stays there.
    void type(const char* name, const QString& text) {
        click(name);
        key(Qt::Key_A, Qt::ControlModifier);
        key(Qt::Key_Delete);
        QTest::keyClicks(QApplication::focusWidget(), text);
    }

    // Clicks into a box, selects everything in it and pastes the text over it.
    void paste(const char* name, const QString& text) {
        click(name);
        QLineEdit* edit = combo(name) ? combo(name)->lineEdit() : box(name);
        edit->selectAll();
        edit->insert(text);
    }

    // Clicks into a combo box, drops its list down and picks the item with the keyboard.
    bool pick(const char* name, const QString& item) {
        click(name);
        QComboBox* c = combo(name);
        if (focused() != c) // the focus went elsewhere, after a message box
            return false;
        const int index = c->findText(item, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index < 0)
            return false;
        key(Qt::Key_F4);
        if (!QTest::qWaitFor([c] { return c->view()->isVisible(); }))
            return false;
        c->view()->setCurrentIndex(c->model()->index(index, 0));
        QTest::keyClick(c->view(), Qt::Key_Return);
        return QTest::qWaitFor([c] { return !c->view()->isVisible(); });
    }

    // Fills the five inputs as a person would, leaving each box by Tab; empty texts are skipped.
    void enterSource(const QString& practice, const QString& radionuclide, const QString& activity,
                     const QString& unit, const QString& date = {}) {
        const std::pair<const char*, QString> inputs[] = {
            {"Combo4", practice}, {"Combo5", radionuclide}, {"Text5", activity},
            {"Combo6", unit},     {"Text7", date},
        };
        for (const auto& [name, text] : inputs) {
            if (text.isEmpty())
                continue;
            type(name, text);
            tab();
        }
    }

    // The texts of the boxes that results are written to, and their tooltips.
    QStringList results() {
        return {text("Text6"),  box("Text6")->toolTip(), text("Text9"), box("Text9")->toolTip(),
                text("Text10"), text("Text8"),           text("Text11")};
    }

    MessageBoxAnswerer messages;
    Form1 form;
    dovrin::LocalTime clock;
};

} // namespace testing
