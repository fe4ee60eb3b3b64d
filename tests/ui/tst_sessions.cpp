// Whole sessions as a person runs them: one source after another, both buttons, New.

#include <QTest>

#include "calculator_window.h"

using namespace testing;

class SessionsTest : public QObject {
    Q_OBJECT
private slots:
    void radiographySourceThenGauge();
    void keyboardOnly();
};

void SessionsTest::radiographySourceThenGauge() {
    CalculatorWindow w(midnight + hours{9});
    QVERIFY(w.open());

    QVERIFY(w.pick("Combo4", "Industrial gamma radiography sources"));
    w.tab();
    QVERIFY(w.pick("Combo5", "Ir-192"));
    w.tab();
    QTest::keyClicks(w.box("Text5"), "100");
    w.tab();
    QVERIFY(w.pick("Combo6", "Ci"));
    w.tab();
    QCOMPARE(w.text("Text6"), "3.70E+00");
    w.tab(); // Text6 to the date box
    QTest::keyClicks(w.box("Text7"), "10/01/2026");
    w.tab();
    QCOMPARE(w.text("Text9"), "1.97E+00");
    w.click("Command2");
    QCOMPARE(w.text("Text8"), "2");
    w.click("Command3");
    QCOMPARE(w.text("Text11"), "2");
    QCOMPARE(w.text("Text10"), "-67.375");

    // Four months later the same source has decayed below category 2.
    w.clock += days{120};
    w.click("Command3");
    QCOMPARE(w.text("Text11"), "Not assigned");
    QCOMPARE(w.text("Text8"), "2");

    w.click("Command5");
    QVERIFY(w.pick("Combo4", "Moisture/density gauges"));
    w.tab();
    QCOMPARE(w.items("Combo5"), lowActivityGauges);
    QVERIFY(w.pick("Combo5", "Am-241"));
    w.type("Text5", "50");
    QVERIFY(w.pick("Combo6", "mCi"));
    w.type("Text7", "3/15/1998");
    w.click("Command2");
    QCOMPARE(w.text("Text6"), "1.85E-03");
    QCOMPARE(w.text("Text8"), "Not assigned");
    w.click("Command3");
    QCOMPARE(w.text("Text11"), "Not assigned");
    QVERIFY(w.messages.shown.isEmpty());

    w.click("Command6");
    QVERIFY(!w.form.isVisible());
}

void SessionsTest::keyboardOnly() {
    CalculatorWindow w(midnight);
    QVERIFY(w.open());
    const auto typeAndTab = [&w](const QString& text) {
        QTest::keyClicks(QApplication::focusWidget(), text);
        w.tab();
    };
    typeAndTab("Teletherapy sources");
    typeAndTab("Co-60");
    typeAndTab("1500");
    typeAndTab("Ci");
    QCOMPARE(w.text("Text6"), "5.55E+01");
    w.tab();
    typeAndTab("12/7/2021");
    QCOMPARE(w.text("Text9"), "2.88E+01");
    w.tab(); // Text9 to Command2
    w.key(Qt::Key_Space);
    QCOMPARE(w.text("Text8"), "1");
    w.tab();
    w.key(Qt::Key_Space);
    QCOMPARE(w.text("Text11"), "2");
    w.key(Qt::Key_Return); // no default button: Enter presses nothing
    w.key(Qt::Key_Escape);
    QVERIFY(w.form.isVisible());
    QCOMPARE(w.focusedName(), "Command3");
}

QTEST_MAIN(SessionsTest)
#include "tst_sessions.moc"
