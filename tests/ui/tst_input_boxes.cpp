// What leaving each input box does: the practice, radionuclide, unit and date boxes.

#include <QTest>

#include "calculator_window.h"

using namespace testing;

class InputBoxesTest : public QObject {
    Q_OBJECT
private slots:
    void leavingPracticeOffersItsRadionuclides_data();
    void leavingPracticeOffersItsRadionuclides();
    void practiceMustMatchExactly_data();
    void practiceMustMatchExactly();
    void practiceBoxEnteredTwiceOffersListOnce();
    void enteringPracticeBoxEmptiesRadionuclideBox();
    void typedRadionuclideIsNotRejected();
    void leavingRadionuclideSetsDecayConstant_data();
    void leavingRadionuclideSetsDecayConstant();
    void unknownRadionuclideKeepsDecayConstant();
    void leavingUnitConverts_data();
    void leavingUnitConverts();
    void unknownUnitChangesNothing_data();
    void unknownUnitChangesNothing();
    void changingUnitRescales();
    void activityTypedAfterUnitWaitsForUnitBox();
    void leavingDateDecays_data();
    void leavingDateDecays();
    void emptyDateAsksForIt();
    void unreadableDateChangesNothing();
    void dateIsReadMonthFirst();
    void decayUsesTypedInitialActivity();
    void overflowingDecayKeepsCurrentActivity();
    void unlimitedTextLength();
};

void InputBoxesTest::leavingPracticeOffersItsRadionuclides_data() {
    QTest::addColumn<QString>("practice");
    QTest::addColumn<QStringList>("radionuclides");
    for (const auto& [practice, radionuclides] : practiceItems)
        QTest::newRow(qPrintable(practice)) << practice << radionuclides;
}

void InputBoxesTest::leavingPracticeOffersItsRadionuclides() {
    QFETCH(QString, practice);
    QFETCH(QStringList, radionuclides);
    CalculatorWindow w;
    QVERIFY(w.open());
    QVERIFY(w.pick("Combo4", practice));
    QVERIFY(w.items("Combo5").isEmpty()); // picking computes nothing
    w.tab();
    QCOMPARE(w.items("Combo5"), radionuclides);
    QCOMPARE(w.text("Combo5"), ""); // nothing is picked for the user
    QCOMPARE(w.text("Combo4"), practice);
}

void InputBoxesTest::practiceMustMatchExactly_data() {
    QTest::addColumn<QString>("typed");
    QTest::newRow("lower case") << "irradiators";
    QTest::newRow("trailing blank") << "Irradiators ";
    QTest::newRow("empty") << "";
}

void InputBoxesTest::practiceMustMatchExactly() {
    QFETCH(QString, typed);
    CalculatorWindow w;
    QVERIFY(w.open());
    w.type("Combo4", typed);
    w.key(Qt::Key_Return); // Enter neither completes nor adds to the list
    w.tab();
    QVERIFY(w.items("Combo5").isEmpty());
    QCOMPARE(w.text("Combo4"), typed); // no completion or case folding
    QCOMPARE(w.items("Combo4").size(), 18);
    QVERIFY(w.messages.shown.isEmpty());
}

void InputBoxesTest::practiceBoxEnteredTwiceOffersListOnce() {
    CalculatorWindow w;
    QVERIFY(w.open());
    w.type("Combo4", "Well logging gauges");
    w.tab();
    w.backtab();
    w.tab();
    QCOMPARE(w.items("Combo5"), highActivityGauges);
}

void InputBoxesTest::enteringPracticeBoxEmptiesRadionuclideBox() {
    CalculatorWindow w;
    QVERIFY(w.open());
    w.enterSource("Irradiators", "Cs-137", "", "");
    w.click("Combo4");
    QVERIFY(w.items("Combo5").isEmpty());
    QCOMPARE(w.text("Combo5"), "");
    w.tab(); // the list comes back, the edit field stays empty
    QCOMPARE(w.items("Combo5"), highActivity);
    QCOMPARE(w.text("Combo5"), "");
}

void InputBoxesTest::typedRadionuclideIsNotRejected() {
    CalculatorWindow w;
    QVERIFY(w.open());
    w.enterSource("Irradiators", "", "", "");
    w.type("Combo5", "Ir-192");
    w.key(Qt::Key_Return);
    w.tab();
    QCOMPARE(w.text("Combo5"), "Ir-192");
    QCOMPARE(w.text("Text4"), "0.00936");
    QCOMPARE(w.items("Combo5"), highActivity); // Enter or Tab never adds to the list
}

void InputBoxesTest::leavingRadionuclideSetsDecayConstant_data() {
    QTest::addColumn<QString>("radionuclide");
    QTest::addColumn<QString>("constantText");
    const auto row = [](const char* name, const char* radionuclide, const char* constantText) {
        QTest::newRow(name) << QString(radionuclide) << QString(constantText);
    };
    row("Co-60", "Co-60", "0.00036");
    row("Ra-226", "Ra-226", "1.18664E-06");
    row("Am-241/Be", "Am-241/Be", "4.393E-06");
    row("Yb-169 typed", "Yb-169", "0.02165");
}

void InputBoxesTest::leavingRadionuclideSetsDecayConstant() {
    QFETCH(QString, radionuclide);
    QFETCH(QString, constantText);
    CalculatorWindow w;
    QVERIFY(w.open());
    w.type("Combo5", radionuclide);
    w.tab();
    QCOMPARE(w.text("Text4"), constantText);
}

// The constant of the last known radionuclide stays, also when the practice box empties
// the radionuclide box: a date then decays with it.
void InputBoxesTest::unknownRadionuclideKeepsDecayConstant() {
    CalculatorWindow w(midnight);
    QVERIFY(w.open());
    w.type("Combo5", "Ir-192");
    w.tab();
    w.type("Combo5", "Ir192");
    w.tab();
    QCOMPARE(w.text("Text4"), "0.00936");
    w.click("Combo4");
    w.type("Text6", "3.70E-02");
    w.type("Text7", "9/24/2026"); // 74 days, one half-life of Ir-192
    w.tab();
    QCOMPARE(w.text("Text9"), "1.85E-02");
}

void InputBoxesTest::leavingUnitConverts_data() {
    QTest::addColumn<QString>("activity");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("tooltip");
    const auto row = [](const char* activity, const char* unit, const char* shown,
                        const char* tooltip) {
        QTest::addRow("%s %s", activity, unit) << activity << unit << shown << tooltip;
    };
    // clang-format off
    row("1", "Ci", "3.70E-02", "3.70E+01 GBq  , 3.70E+04 MBq  , 3.70E+07 kBq  , 3.70E+10 Bq ");
    row("2.5", "mCi", "9.25E-05", "9.25E-02 GBq  , 9.25E+01 MBq  , 9.25E+04 kBq  , 9.25E+07 Bq ");
    row("37", "uCi", "1.37E-06", "1.37E-03 GBq  , 1.37E+00 MBq  , 1.37E+03 kBq  , 1.37E+06 Bq ");
    row("1000", "Bq", "1.00E-09", "1.00E-06 GBq  , 1.00E-03 MBq  , 1.00E+00 kBq  , 1.00E+03 Bq ");
    row("1", "TBq", "1.00E+00", "1.00E+03 GBq  , 1.00E+06 MBq  , 1.00E+09 kBq  , 1.00E+12 Bq ");
    row("10", "kCi", "3.70E+02", "3.70E+05 GBq  , 3.70E+08 MBq  , 3.70E+11 kBq  , 3.70E+14 Bq ");
    row("1 000", "Bq", "1.00E-09", "1.00E-06 GBq  , 1.00E-03 MBq  , 1.00E+00 kBq  , 1.00E+03 Bq ");
    row("12abc", "GBq", "1.20E-02", "1.20E+01 GBq  , 1.20E+04 MBq  , 1.20E+07 kBq  , 1.20E+10 Bq ");
    row("1,5", "GBq", "1.00E-03", "1.00E+00 GBq  , 1.00E+03 MBq  , 1.00E+06 kBq  , 1.00E+09 Bq ");
    row("", "Ci", "0.00E+00", "0.00E+00 GBq  , 0.00E+00 MBq  , 0.00E+00 kBq  , 0.00E+00 Bq ");
    row("-3", "MBq", "-3.00E-06", "-3.00E-03 GBq  , -3.00E+00 MBq  , -3.00E+03 kBq  , -3.00E+06 Bq ");
    row("100", "mCi", "3.70E-03", "3.70E+00 GBq  , 3.70E+03 MBq  , 3.70E+06 kBq  , 3.70E+09 Bq ");
    // clang-format on
}

void InputBoxesTest::leavingUnitConverts() {
    QFETCH(QString, activity);
    QFETCH(QString, unit);
    QFETCH(QString, shown);
    QFETCH(QString, tooltip);
    CalculatorWindow w;
    QVERIFY(w.open());
    w.type("Text5", activity);
    QVERIFY(w.pick("Combo6", unit));
    QCOMPARE(w.text("Text6"), ""); // picking computes nothing
    w.tab();
    QCOMPARE(w.text("Text6"), shown);
    QCOMPARE(w.box("Text6")->toolTip(), tooltip);
}

void InputBoxesTest::unknownUnitChangesNothing_data() {
    QTest::addColumn<QString>("activity");
    QTest::addColumn<QString>("unit");
    const auto row = [](const char* name, const char* activity, const char* unit) {
        QTest::newRow(name) << QString(activity) << QString(unit);
    };
    row("empty unit", "5", "");
    row("lower case", "5", "kbq");
    row("trailing blank", "5", "TBq ");
    row("beyond a double", "1e999", "Bq");
    row("beyond a double in Bq", "1e300", "kCi");
}

// An earlier conversion stays, its text and its tooltip.
void InputBoxesTest::unknownUnitChangesNothing() {
    QFETCH(QString, activity);
    QFETCH(QString, unit);
    CalculatorWindow w;
    QVERIFY(w.open());
    w.enterSource("", "", "1", "Ci");
    const QStringList before = w.results();
    w.type("Text5", activity);
    w.type("Combo6", unit);
    w.tab();
    QCOMPARE(w.results(), before);
    QCOMPARE(w.text("Combo6"), unit);
}

void InputBoxesTest::changingUnitRescales() {
    CalculatorWindow w;
    QVERIFY(w.open());
    w.enterSource("", "", "5", "GBq");
    QCOMPARE(w.text("Text6"), "5.00E-03");
    QVERIFY(w.pick("Combo6", "MBq"));
    w.tab();
    QCOMPARE(w.text("Text6"), "5.00E-06");
}

void InputBoxesTest::activityTypedAfterUnitWaitsForUnitBox() {
    CalculatorWindow w;
    QVERIFY(w.open());
    w.enterSource("", "", "", "Ci");
    QCOMPARE(w.text("Text6"), "0.00E+00");
    w.type("Text5", "100");
    w.tab();
    QCOMPARE(w.text("Text6"), "0.00E+00");
}

void InputBoxesTest::leavingDateDecays_data() {
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("radionuclide");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("tooltip");
    QTest::addColumn<QString>("elapsed");
    const auto row = [](const char* name, const char* initial, const char* radionuclide,
                        const char* date, const char* current, const char* tooltip,
                        const char* elapsed) {
        QTest::newRow(name) << QString(initial) << QString(radionuclide) << QString(date)
                            << QString(current) << QString(tooltip) << QString(elapsed);
    };
    // The clock stands at midnight starting 7 December 2026.
    // clang-format off
    row("Co-60, one half-life", "1.00E+00", "Co-60", "8/30/2021", "5.00E-01", "5.00E+02 GBq  , 5.00E+05 MBq  , 5.00E+08 kBq  , 5.00E+11 Bq ", "-1925");
    row("Ir-192, one half-life", "3.70E-02", "Ir-192", "9/24/2026", "1.85E-02", "1.85E+01 GBq  , 1.85E+04 MBq  , 1.85E+07 kBq  , 1.85E+10 Bq ", "-74");
    row("Cs-137, today", "3.70E-02", "Cs-137", "12/07/2026", "3.70E-02", "3.70E+01 GBq  , 3.70E+04 MBq  , 3.70E+07 kBq  , 3.70E+10 Bq ", "0");
    row("no initial activity", "", "Cs-137", "1/1/2000", "0.00E+00", "0.00E+00 GBq  , 0.00E+00 MBq  , 0.00E+00 kBq  , 0.00E+00 Bq ", "-9837");
    row("no radionuclide yet", "2.50E+01", "", "1/1/2000", "2.50E+01", "2.50E+04 GBq  , 2.50E+07 MBq  , 2.50E+10 kBq  , 2.50E+13 Bq ", "-9837");
    row("Ra-226, two-digit year", "1.00E+00", "Ra-226", "1/1/26", "1.00E+00", "1.00E+03 GBq  , 1.00E+06 MBq  , 1.00E+09 kBq  , 1.00E+12 Bq ", "-340");
    row("future date", "1.00E+00", "Co-60", "12/8/2026", "1.00E+00", "1.00E+03 GBq  , 1.00E+06 MBq  , 1.00E+09 kBq  , 1.00E+12 Bq ", "1");
    // clang-format on
}

void InputBoxesTest::leavingDateDecays() {
    QFETCH(QString, initial);
    QFETCH(QString, radionuclide);
    QFETCH(QString, date);
    QFETCH(QString, current);
    QFETCH(QString, tooltip);
    QFETCH(QString, elapsed);
    CalculatorWindow w(midnight);
    QVERIFY(w.open());
    w.enterSource("", radionuclide, "", "");
    w.type("Text6", initial);
    w.type("Text7", date);
    w.tab();
    QCOMPARE(w.text("Text9"), current);
    QCOMPARE(w.box("Text9")->toolTip(), tooltip);
    QCOMPARE(w.text("Text10"), elapsed);
    QVERIFY(w.messages.shown.isEmpty());
}

void InputBoxesTest::emptyDateAsksForIt() {
    CalculatorWindow w;
    QVERIFY(w.open());
    w.click("Text7");
    const QStringList before = w.results();
    w.tab();
    QCOMPARE(w.messages.texts(), QStringList{message::enterDate});
    QCOMPARE(w.focusedName(), "Text7");
    QCOMPARE(w.results(), before);
    w.tab(); // asked again each time the empty box is left
    QCOMPARE(w.messages.shown.size(), 2);
    w.type("Text7", " "); // blanks are not empty: no message, and no date either
    w.tab();
    QCOMPARE(w.messages.shown.size(), 2);
    QCOMPARE(w.results(), before);
}

void InputBoxesTest::unreadableDateChangesNothing() {
    CalculatorWindow w;
    QVERIFY(w.open());
    w.enterSource("", "Co-60", "", "");
    w.type("Text6", "1.00E+00");
    w.type("Text7", "1/1/2020");
    w.tab();
    const QStringList before = w.results();
    for (const char* text : {"yesterday", "02/30/2021", "13/01/2020", "1/1/1"}) {
        w.type("Text7", text);
        w.tab();
        QCOMPARE(w.results(), before);
    }
    QVERIFY(w.messages.shown.isEmpty());
}

void InputBoxesTest::dateIsReadMonthFirst() {
    CalculatorWindow w(local_days{2010y / February / 13});
    QVERIFY(w.open());
    w.type("Text7", "2/3/2010");
    w.tab();
    QCOMPARE(w.text("Text10"), "-10");
}

// The current activity follows the text of Text6, also when the user typed it there.
void InputBoxesTest::decayUsesTypedInitialActivity() {
    CalculatorWindow w(midnight + hours{12});
    QVERIFY(w.open());
    w.enterSource("", "Co-60", "1", "Ci");
    w.type("Text6", "5.00E+01");
    w.type("Text7", "12/07/2026");
    w.tab();
    QCOMPARE(w.text("Text10"), "-0.5");
    QCOMPARE(w.text("Text9"), "5.00E+01");
}

// A factor beyond a double: Text10 takes the new time, the current activity stays.
void InputBoxesTest::overflowingDecayKeepsCurrentActivity() {
    CalculatorWindow w(midnight);
    QVERIFY(w.open());
    w.enterSource("", "Yb-169", "1", "Ci", "1/1/2020");
    const QString current = w.text("Text9");
    const QString tooltip = w.box("Text9")->toolTip();
    w.type("Text7", "12/31/9999");
    w.tab();
    QCOMPARE(w.text("Text10"), "2912102");
    QCOMPARE(w.text("Text9"), current);
    QCOMPARE(w.box("Text9")->toolTip(), tooltip);

    w.type("Text6", "1e999"); // typed beyond a double: never shown as a number
    w.type("Text7", "1/1/2020");
    w.tab();
    QCOMPARE(w.text("Text9"), current);
}

void InputBoxesTest::unlimitedTextLength() {
    CalculatorWindow w;
    QVERIFY(w.open());
    const QString digits = QString(40000, '1');
    w.box("Text5")->setText(digits); // pasted
    QCOMPARE(w.text("Text5"), digits);
    w.combo("Combo4")->setEditText(digits);
    QCOMPARE(w.text("Combo4"), digits);
}

QTEST_MAIN(InputBoxesTest)
#include "tst_input_boxes.moc"
