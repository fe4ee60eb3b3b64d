// The two categorisation buttons: their checks, their results, and the corrections that make a
// category always belong to the source on the screen.

#include <QTest>

#include "calculator_window.h"

using namespace testing;

namespace {

const QString practice = "Industrial gamma radiography sources";

// Puts earlier results in the result boxes, so that a click that must not write is seen.
void writeEarlierResults(CalculatorWindow& w) {
    w.type("Text6", "earlier");
    w.type("Text8", "earlier");
    w.type("Text11", "earlier");
    w.type("Text9", "earlier");
}

} // namespace

class CategorisationTest : public QObject {
    Q_OBJECT
private slots:
    void checks_data();
    void checks();
    void realMessageBox();
    void failedCheckWritesNothing_data();
    void failedCheckWritesNothing();
    void byInitialActivity_data();
    void byInitialActivity();
    void byCurrentActivity_data();
    void byCurrentActivity();
    void categorisesActivityOnScreenNotLastConverted();
    void bothButtonsAgreeOnTheSameSource();
    void buttonsWriteOnlyTheirOwnResults();
    void practiceThenButtonFillsRadionuclidesFirst();
    void stillCategorisesAfterNewWithFormValuesKept();
};

// Which input is reported, by which message, and where the focus goes. The same checks run
// for both buttons; only the current-activity button needs a date.
void CategorisationTest::checks_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("inputs"); // practice, radionuclide, activity, unit, date
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");

    const QStringList both{"Command2", "Command3"}, currentOnly{"Command3"};
    const auto row = [](const QStringList& buttons, const QString& name, const QStringList& inputs,
                        const QString& shown, const char* focus) {
        for (const QString& button : buttons)
            QTest::addRow("%s: %s", qPrintable(button), qPrintable(name))
                << button << inputs << shown << QString(focus);
    };
    // clang-format off
    row(both, "all empty", {"", "", "", "", ""}, message::choosePractice, "Combo4");
    row(both, "blank practice passes", {" ", "", "1", "Ci", "1/1/2020"}, message::chooseRadionuclide, "Combo5");
    row(both, "no radionuclide", {practice, "", "", "", ""}, message::chooseRadionuclide, "Combo5");
    row(both, "radionuclide without thresholds", {practice, "Se-75", "1", "Ci", "1/1/2020"}, message::chooseRadionuclide, "Combo5");
    row(both, "radionuclide in lower case", {practice, "co-60", "1", "Ci", "1/1/2020"}, message::chooseRadionuclide, "Combo5");
    row(both, "radionuclide without hyphen", {practice, "Ir192", "1", "Ci", "1/1/2020"}, message::chooseRadionuclide, "Combo5");
    row(both, "no activity", {practice, "Co-60", "", "Ci", "1/1/2020"}, message::enterActivity, "Text5");
    row(both, "no activity nor unit", {practice, "Co-60", "", "", ""}, message::enterActivity, "Text5");
    for (const char* activity : {" ", "abc", "l00", "1,5", "-3", "1e999", "12abc", "1e300 kCi", "0x10", "NaN", "Infinity"})
        row(both, QString("activity '%1'").arg(activity), {practice, "Co-60", activity, "Ci", "1/1/2020"}, message::enterActivity, "Text5");
    row(both, "activity beyond a double in Bq", {practice, "Co-60", "1e300", "kCi", "1/1/2020"}, message::enterActivity, "Text5");
    row(both, "no unit", {practice, "Co-60", "1", "", "1/1/2020"}, message::selectUnit, "Combo6");
    row(both, "unknown unit", {practice, "Co-60", "1", "kbq", "1/1/2020"}, message::selectUnit, "Combo6");
    row(currentOnly, "no date", {practice, "Co-60", "1", "Ci", ""}, message::enterDate, "Text7");
    row(currentOnly, "not a date", {practice, "Co-60", "1", "Ci", "abc"}, message::enterDate, "Text7");
    row(currentOnly, "decay overflows", {practice, "Ir-192", "1", "Ci", "12/31/9999"}, message::enterDate, "Text7");
    // clang-format on
}

void CategorisationTest::checks() {
    QFETCH(QString, button);
    QFETCH(QStringList, inputs);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    CalculatorWindow w;
    QVERIFY(w.open());
    w.enterSource(inputs[0], inputs[1], inputs[2], inputs[3], inputs[4]);
    const int before = int(w.messages.shown.size());
    w.click(qPrintable(button));
    QCOMPARE(w.messages.texts().mid(before), QStringList{message});
    QCOMPARE(w.focusedName(), focus);
}

// The message box is the real modal one: title, text, a single OK button, no icon.
void CategorisationTest::realMessageBox() {
    CalculatorWindow w;
    QVERIFY(w.open());
    w.click("Command2");
    QCOMPARE(w.messages.shown.size(), 1);
    const ShownMessage& shown = w.messages.shown.first();
    QCOMPARE(shown.title, message::title);
    QCOMPARE(shown.text, message::choosePractice);
    QCOMPARE(shown.icon, QMessageBox::NoIcon);
    QCOMPARE(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(shown.modal);
    QCOMPARE(w.messages.mostOpenAtOnce, 1);
}

void CategorisationTest::failedCheckWritesNothing_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("inputs");
    const QStringList both{"Command2", "Command3"}, currentOnly{"Command3"};
    const auto row = [](const QStringList& buttons, const char* name, const QStringList& inputs) {
        for (const QString& button : buttons)
            QTest::addRow("%s: %s", qPrintable(button), name) << button << inputs;
    };
    row(both, "no activity", {practice, "Co-60", "", "Ci", "1/1/2020"});
    row(both, "no unit", {practice, "Co-60", "5", "", "1/1/2020"});
    row(both, "Se-75", {practice, "Se-75", "5", "Ci", "1/1/2020"});
    row(currentOnly, "no date", {practice, "Co-60", "5", "Ci", ""});
    row(currentOnly, "not a date", {practice, "Co-60", "5", "Ci", "abc"});
}

// A failed check ends the click: the earlier results, the shown initial activity and its
// tooltip stay as they were, however stale.
void CategorisationTest::failedCheckWritesNothing() {
    QFETCH(QString, button);
    QFETCH(QStringList, inputs);
    CalculatorWindow w(midnight);
    QVERIFY(w.open());
    w.enterSource(inputs[0], inputs[1], inputs[2], inputs[3], inputs[4]);
    writeEarlierResults(w);
    const QStringList before = w.results();
    w.click(qPrintable(button));
    QCOMPARE(w.messages.shown.size(), 1);
    QCOMPARE(w.results(), before);
}

void CategorisationTest::byInitialActivity_data() {
    QTest::addColumn<QString>("radionuclide");
    QTest::addColumn<QString>("activity");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("category");
    const auto row = [](const char* radionuclide, const char* activity, const char* unit,
                        const char* category) {
        QTest::addRow("%s %s %s", radionuclide, activity, unit)
            << radionuclide << activity << unit << category;
    };
    row("Co-60", "1", "Ci", "3");
    row("Co-60", "30", "TBq", "1");
    row("Co-60", "10", "mCi", "4");
    row("Co-60", "1", "mCi", "5");
    row("Co-60", "0", "TBq", "Exempted");
    row("Co-60", "1 000", "Bq", "Exempted");
    row("Ir-192", "10", "Ci", "Not assigned");
    row("Ir-192", "100", "Ci", "2");
    row("Am-241/Be", "5", "Ci", "3");
    row("Am-241/Be", "1", "Ci", "Not assigned");
    row("Kr-85", "10", "Ci", "4");
    row("Co-57", "10", "mCi", "5");
    row("Co-57", "7", "GBq", "5");
    row("Co-57", "7.1", "GBq", "Not assigned");
    row("Sr-90", "20", "GBq", "4");
    row("Sr-90", "15", "GBq", "5");
    row("Cf-252", "0.2", "TBq", "3");
    row("Cf-252", "0.201", "TBq", "Not assigned");
    row("I-125", "1", "MBq", "Exempted");
    row("I-125", "1.5", "MBq", "Not assigned");
    row("Cs-137", "100", "mCi", "4");
    row("Cs-137", "  2.5e1 ", "mCi", "5"); // blanks around a number are no fault
    row("Cs-137", "-0", "TBq", "Exempted");
}

void CategorisationTest::byInitialActivity() {
    QFETCH(QString, radionuclide);
    QFETCH(QString, activity);
    QFETCH(QString, unit);
    QFETCH(QString, category);
    CalculatorWindow w;
    QVERIFY(w.open());
    w.enterSource(practice, radionuclide, activity, unit);
    w.click("Command2");
    QVERIFY(w.messages.shown.isEmpty());
    QCOMPARE(w.text("Text8"), category);
}

void CategorisationTest::byCurrentActivity_data() {
    QTest::addColumn<QString>("radionuclide");
    QTest::addColumn<QString>("activity");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("category");
    const auto row = [](const char* name, const char* radionuclide, const char* activity,
                        const char* date, const char* current, const char* category) {
        QTest::newRow(name) << QString(radionuclide) << QString(activity) << QString(date)
                            << QString(current) << QString(category);
    };
    // The clock stands at midnight starting 7 December 2026.
    row("Co-60, 1000 days", "Co-60", "50", "3/12/2024", "3.49E+01", "1");
    row("Co-60, 2000 days", "Co-60", "50", "6/16/2021", "2.43E+01", "2");
    row("Cf-252 at the bound", "Cf-252", "0.2", "12/07/2026", "2.00E-01", "3");
    row("Cf-252 above", "Cf-252", "0.201", "12/07/2026", "2.01E-01", "Not assigned");
    row("Ir-192, three half-lives", "Ir-192", "12", "4/29/2026", "1.50E+00", "2");
    row("Ir-192, four half-lives", "Ir-192", "12", "2/14/2026", "7.52E-01", "Not assigned");
    row("Co-60, very old", "Co-60", "1", "01/01/0001", "2.05E-116", "Exempted");
    row("future date", "Co-60", "25", "12/7/2036", "9.31E+01", "1");
}

void CategorisationTest::byCurrentActivity() {
    QFETCH(QString, radionuclide);
    QFETCH(QString, activity);
    QFETCH(QString, date);
    QFETCH(QString, current);
    QFETCH(QString, category);
    CalculatorWindow w(midnight);
    QVERIFY(w.open());
    w.enterSource(practice, radionuclide, activity, "TBq", date);
    w.type("Text9", "");
    w.click("Command3");
    QVERIFY(w.messages.shown.isEmpty());
    QCOMPARE(w.text("Text9"), current);
    QCOMPARE(w.text("Text11"), category);
}

// Unit chosen first, activity typed afterwards: both buttons categorise what is on the screen
// and refresh the shown initial activity with it.
void CategorisationTest::categorisesActivityOnScreenNotLastConverted() {
    CalculatorWindow w(midnight);
    QVERIFY(w.open());
    w.enterSource(practice, "Co-60", "", "Ci", "1/1/2026");
    w.type("Text5", "100");
    w.click("Command2");
    QCOMPARE(w.text("Text8"), "2");
    QCOMPARE(w.text("Text6"), "3.70E+00");
    QCOMPARE(w.box("Text6")->toolTip(),
             "3.70E+03 GBq  , 3.70E+06 MBq  , 3.70E+09 kBq  , 3.70E+12 Bq ");

    w.type("Text5", "1000");
    w.click("Command3");
    QCOMPARE(w.text("Text11"), "1");
    QCOMPARE(w.text("Text6"), "3.70E+01");
}

// 0.029996 TBq shows as 3.00E-02, yet is below the category 3 bound of Co-60: the current
// activity an hour after manufacture is decayed from the full figure, not from the shown one.
void CategorisationTest::bothButtonsAgreeOnTheSameSource() {
    CalculatorWindow w(midnight + hours{1});
    QVERIFY(w.open());
    w.enterSource(practice, "Co-60", "0.029996", "TBq", "12/7/2026");
    QCOMPARE(w.text("Text6"), "3.00E-02");
    w.click("Command2");
    w.click("Command3");
    QCOMPARE(w.text("Text8"), "4");
    QCOMPARE(w.text("Text11"), "4");
}

void CategorisationTest::buttonsWriteOnlyTheirOwnResults() {
    CalculatorWindow w(midnight);
    QVERIFY(w.open());
    w.enterSource(practice, "Co-60", "1", "Ci", "1/1/2020");
    writeEarlierResults(w);
    w.click("Command2");
    QCOMPARE(w.text("Text8"), "3");
    QCOMPARE((QStringList{w.text("Text9"), w.text("Text10"), w.text("Text11")}),
             (QStringList{"earlier", "-2532", "earlier"}));
    w.type("Text8", "earlier");
    w.click("Command3");
    QCOMPARE(w.text("Text8"), "earlier");
    QCOMPARE(w.text("Text11"), "4");
    QCOMPARE(w.text("Text9"), "1.49E-02");
}

// Leaving the practice box by pressing a button fills the radionuclide list first; the
// button then finds no radionuclide chosen.
void CategorisationTest::practiceThenButtonFillsRadionuclidesFirst() {
    CalculatorWindow w;
    QVERIFY(w.open());
    w.type("Combo4", practice);
    w.click("Command2");
    QCOMPARE(w.items("Combo5").size(), 5);
    QCOMPARE(w.messages.texts(), QStringList{message::chooseRadionuclide});
    QCOMPARE(w.focusedName(), "Combo5");
}

// New leaves the kept values as they were; the next source is still categorised by what the
// user enters for it.
void CategorisationTest::stillCategorisesAfterNewWithFormValuesKept() {
    CalculatorWindow w;
    QVERIFY(w.open());
    w.enterSource(practice, "Co-60", "30", "TBq");
    w.click("Command2");
    QCOMPARE(w.text("Text8"), "1");
    w.click("Command5");
    w.enterSource(practice, "Co-60", "1", "mCi");
    w.click("Command2");
    QCOMPARE(w.text("Text8"), "5");
}

QTEST_MAIN(CategorisationTest)
#include "tst_categorisation.moc"
