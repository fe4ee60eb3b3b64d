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
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include "form1.h"
#include "test_facts.h"

namespace testing {

using namespace std::chrono;

using dovrin::facts::midnight;
// The same day, a quarter past three in the afternoon: the clock of a window opened without one.
inline const dovrin::LocalTime afternoon = midnight + hours{15} + minutes{15};

// The title and the texts of the message boxes, word for word, trailing blanks included.
namespace message {
inline const QString title = QStringLiteral("Categorisation of Radioactive Sources");
inline const QString choosePractice =
    QStringLiteral("Please! Chose Typical sources and practices ");
inline const QString chooseRadionuclide = QStringLiteral("Please! Chose Typical radionuclides ");
inline const QString enterActivity = QStringLiteral("Please! Enter the activity ");
inline const QString selectUnit =
    QStringLiteral("Please! Select Unit of Activity of Radioactive Sources ");
inline const QString enterDate = QStringLiteral("Please! Enter date of Manufacture");
inline const QStringList all{choosePractice, chooseRadionuclide, enterActivity, selectUnit,
                             enterDate};
} // namespace message

// The radionuclides each practice offers, written out here rather than read from the catalogue.
inline const QStringList highActivity{"Co-60", "Sr-90", "Cs-137", "Pu-238"};
inline const QStringList radiography{"Co-60", "Sr-90", "Cs-137", "Ir-192", "Pu-238"};
inline const QStringList highActivityGauges{"Co-60",  "Sr-90",     "Cs-137",
                                            "Pu-238", "Am-241/Be", "Cf-252"};
inline const QStringList lowActivityGauges{"Co-60",  "Kr-85",  "Sr-90",  "I-125", "Cs-137",
                                           "Po-210", "Ra-226", "Pu-238", "Am-241"};
inline const QStringList checkSources{"Co-60", "Co-57", "Ge-68", "Sr-90", "Cs-137", "Pu-238"};

struct PracticeItem {
    QString practice;
    QStringList radionuclides;
};

// The items of the practice box in their order, each with the radionuclides it offers.
inline const QList<PracticeItem> practiceItems{
    // clang-format off
    {"Radioisotope thermoelectric generators (RTGs)", highActivity},
    {"Irradiators", highActivity},
    {"Teletherapy sources", highActivity},
    {"Fixed, multi-beam teletherapy (gamma knife) sources", highActivity},
    {"Industrial gamma radiography sources", radiography},
    {"High/medium dose rate brachytherapy sources", radiography},
    {"Fixed industrial gauges that incorporate high activity sources", highActivityGauges},
    {"Well logging gauges", highActivityGauges},
    {"Low dose rate brachytherapy sources (except eye plaques & permanent implants)", lowActivityGauges},
    {"Industrial gauges that do not incorporate high activity sources", lowActivityGauges},
    {"Moisture/density gauges", lowActivityGauges},
    {"Bone densitometers", lowActivityGauges},
    {"Static eliminators", lowActivityGauges},
    {"Low dose rate brachytherapy eye plaques & permanent implant sources", checkSources},
    {"X-ray fluorescence (XRF) devices", checkSources},
    {"Electron capture devices", checkSources},
    {"Mossbauer spectrometry sources", checkSources},
    {"Positron emission tomography (PET) check sources", checkSources},
    // clang-format on
};

inline QStringList practiceNames() {
    QStringList names;
    for (const PracticeItem& item : practiceItems)
        names << item.practice;
    return names;
}

// The thirteen controls that Tab visits, in order, from the practice box.
inline const QStringList tabOrder{"Combo4",   "Combo5", "Text5",    "Combo6",   "Text6",
                                  "Text7",    "Text9",  "Command2", "Command3", "Command5",
                                  "Command6", "Text8",  "Text11"};

// The pattern of an activity the window shows: "0.00E+00", three digits for exponents past 99.
inline const QRegularExpression displayPattern(QStringLiteral("^-?\\d\\.\\d\\dE[+-]\\d{2,3}$"));

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
