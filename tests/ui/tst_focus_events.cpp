// When the handlers run: only when the focus moves from one control of the window to another,
// one at a time, and never again after the program ends.

#include <QTest>

#include "calculator_window.h"
#include "handler_queue.h"

using namespace testing;

class FocusEventsTest : public QObject {
    Q_OBJECT
private slots:
    void droppingListDownRunsNoHandler();
    void messageBoxRunsNoHandler();
    void deactivatingWindowRunsNoHandler();
    void buttonPressRunsLostFocusBeforeClick();
    void buttonFromEmptyDateAsksOnceForDate();
    void focusMoveInHandlerRunsAfterIt();
    void queuedHandlersRunInOrderAfterCurrent();
    void stoppedQueueRunsNothing();
};

// The unit box keeps the focus while its list is down and up again: no conversion yet.
void FocusEventsTest::droppingListDownRunsNoHandler() {
    CalculatorWindow w;
    QVERIFY(w.open());
    w.type("Text5", "1");
    w.type("Combo6", "Ci");
    QComboBox* unit = w.combo("Combo6");
    w.key(Qt::Key_F4);
    QVERIFY(QTest::qWaitFor([unit] { return unit->view()->isVisible(); }));
    QTest::keyClick(unit->view(), Qt::Key_Escape);
    QVERIFY(QTest::qWaitFor([unit] { return !unit->view()->isVisible(); }));
    w.settle();
    QCOMPARE(w.text("Text6"), "");
    QCOMPARE(w.focusedName(), "Combo6");
    w.tab();
    QCOMPARE(w.text("Text6"), "3.70E-02");
}

// The date message takes the focus into the message box and gives it back to the date box:
// neither move asks for the date again.
void FocusEventsTest::messageBoxRunsNoHandler() {
    CalculatorWindow w;
    QVERIFY(w.open());
    w.type("Combo4", "Irradiators");
    w.click("Text7");
    QCOMPARE(w.items("Combo5").size(), 4);
    w.tab();
    QCOMPARE(w.messages.shown.size(), 1);
    QCOMPARE(w.messages.mostOpenAtOnce, 1);
    QCOMPARE(w.focusedName(), "Text7");
    QCOMPARE(w.items("Combo5").size(), 4);
}

void FocusEventsTest::deactivatingWindowRunsNoHandler() {
    CalculatorWindow w;
    QVERIFY(w.open());
    w.type("Combo4", "Irradiators");
    QWidget other;
    other.setObjectName("AnotherProgram");
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(w.items("Combo5").isEmpty()); // the practice box was not left

    w.form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.form));
    QCOMPARE(w.focusedName(), "Combo4");
    w.click("Text7"); // an empty date box, then another program again
    QVERIFY(w.items("Combo5").size() == 4);
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    w.form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.form));
    QVERIFY(w.messages.shown.isEmpty());
}

// Pressing a button takes the focus from the unit box first, so the conversion is there
// before the click is handled.
void FocusEventsTest::buttonPressRunsLostFocusBeforeClick() {
    CalculatorWindow w;
    QVERIFY(w.open());
    w.enterSource("Irradiators", "Co-60", "2", "");
    QVERIFY(w.pick("Combo5", "Co-60"));
    QVERIFY(w.pick("Combo6", "kCi"));
    w.click("Command5"); // New runs after the unit box was left
    QCOMPARE(w.text("Text6"), "");
    QCOMPARE(w.box("Text6")->toolTip(),
             "7.40E+04 GBq  , 7.40E+07 MBq  , 7.40E+10 kBq  , 7.40E+13 Bq ");
}

// Leaving an empty date box by a button asks for the date, then the button does its work.
void FocusEventsTest::buttonFromEmptyDateAsksOnceForDate() {
    CalculatorWindow w;
    QVERIFY(w.open());
    w.enterSource("Irradiators", "Co-60", "2", "Ci");
    w.click("Text7");
    w.click("Command2");
    QCOMPARE(w.messages.texts(), QStringList{message::enterDate});
    QCOMPARE(w.messages.mostOpenAtOnce, 1);
    QCOMPARE(w.text("Text8"), "3");
}

// The practice check moves the focus to the practice box; its arrival empties the
// radionuclide box only after the click has ended.
void FocusEventsTest::focusMoveInHandlerRunsAfterIt() {
    CalculatorWindow w;
    QVERIFY(w.open());
    w.enterSource("Irradiators", "Co-60", "2", "Ci");
    w.click("Command5");
    QCOMPARE(w.items("Combo5").size(), 4);
    w.click("Command2");
    QCOMPARE(w.messages.texts(), QStringList{message::choosePractice});
    QCOMPARE(w.focusedName(), "Combo4");
    QVERIFY(w.items("Combo5").isEmpty());
}

void FocusEventsTest::queuedHandlersRunInOrderAfterCurrent() {
    HandlerQueue queue;
    QStringList ran;
    int depth = 0;
    int deepest = 0;
    const auto handler = [&](const QString& name, std::function<void()> inside = {}) {
        return [&, name, inside] {
            deepest = std::max(deepest, ++depth);
            ran << name + " begins";
            if (inside)
                inside();
            ran << name + " ends";
            --depth;
        };
    };
    queue.post(handler("click", [&] {
        queue.post(handler("lost focus"));
        queue.post(handler("got focus"));
    }));
    QCOMPARE(ran, (QStringList{"click begins", "click ends", "lost focus begins", "lost focus ends",
                               "got focus begins", "got focus ends"}));
    QCOMPARE(deepest, 1);
    QVERIFY(!queue.running());
}

void FocusEventsTest::stoppedQueueRunsNothing() {
    HandlerQueue queue;
    QStringList ran;
    queue.post([&] {
        queue.post([&] { ran << "after close"; });
        queue.stop();
        ran << "close";
    });
    queue.post([&] { ran << "later"; });
    QCOMPARE(ran, QStringList{"close"});
}

QTEST_MAIN(FocusEventsTest)
#include "tst_focus_events.moc"
