// Whatever is typed or pasted into an input box gets its own response, a message, no change or
// a value, and never disturbs what stands in the other boxes.

#include <QTest>

#include "calculator_window.h"
#include "categorise.h"
#include "conversion.h"

using namespace testing;

namespace {

const QString practice = "Irradiators";

struct HostileText {
    const char* name;
    QString text;
    bool activity; // a whole, finite, non-negative number
    bool date;     // a real calendar day in a form the date box reads
};

const QList<HostileText>& hostileTexts() {
    // clang-format off
    static const QList<HostileText> all{
        {"empty", "", false, false},
        {"blank", " ", false, false},
        {"blanks", "     ", false, false},
        {"tab", "\t", false, false},
        {"line feed", "\n", false, false},
        {"a million digits", QString(1'000'000, '7'), false, false},
        {"1e309", "1e309", false, false},
        {"huge exponent", "1e99999999999999999999", false, false},
        {"tiny", "1e-400", true, false},
        {"minus zero", "-0", true, false},
        {"NaN", "NaN", false, false},
        {"Infinity", "Infinity", false, false},
        {"-Infinity", "-Infinity", false, false},
        {"hex", "0x10", false, false},
        {"binary", "0b101", false, false},
        {"Arabic-Indic three", QString::fromUtf8("٣"), false, false},
        {"fullwidth digits", QString::fromUtf8("１２"), false, false},
        {"right-to-left mark first", QString::fromUtf8("\u200F12"), false, false},
        {"right-to-left mark last", QString::fromUtf8("12\u200F"), false, false},
        {"emoji", QString::fromUtf8("😀"), false, false},
        {"digit and emoji", QString::fromUtf8("1😀"), false, false},
        {"NUL inside", QString("1") + QChar(0) + "2", false, false},
        {"NUL alone", QString(QChar(0)), false, false},
        {"plus sign", "+5", true, false},
        {"trailing point", "5.", true, false},
        {"leading point", ".5", true, false},
        {"lone point", ".", false, false},
        {"lone minus", "-", false, false},
        {"exponent without digits", "1e+", false, false},
        {"two points", "1.2.3", false, false},
        {"double minus", "--1", false, false},
        {"grouped by blanks", "1 000 000", true, false},
        {"blanks around", "  42  ", true, false},
        {"format string", "%s%n%x", false, false},
        {"markup", "<b>1</b>", false, false},
        {"quote", "\"1\"", false, false},
        {"backslash", "\\", false, false},
        {"leap day 2023", "02/29/2023", false, false},
        {"leap day 2024", "02/29/2024", false, true},
        {"last day", "12/31/9999", false, true},
        {"first day", "01/01/0001", false, true},
        {"99/99/99", "99/99/99", false, false},
        {"1/1/1", "1/1/1", false, false},
        {"month 13", "2026-13-01", false, false},
        {"ISO date", "2024-02-29", false, true},
        {"mixed separators", "12/07-2026", false, false},
        {"date with blanks", " 12/07/2026 ", false, true},
        {"three-digit year", "1/1/202", false, false},
        {"radionuclide", "Co-60", false, false},
        {"unit", "Ci", false, false},
    };
    // clang-format on
    return all;
}

void addHostileRows() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("activity");
    QTest::addColumn<bool>("date");
    for (const HostileText& row : hostileTexts())
        QTest::newRow(row.name) << row.text << row.activity << row.date;
}

// A complete source in every input box: 1 Ci of Co-60, made on 1 January 2020.
void enterValidSource(CalculatorWindow& w) {
    w.enterSource(practice, "Co-60", "1", "Ci", "1/1/2020");
    w.type("Text8", "earlier");
    w.type("Text11", "earlier");
}

QStringList inputs(CalculatorWindow& w) {
    return {w.text("Combo4"), w.text("Combo5"), w.text("Text5"), w.text("Combo6"), w.text("Text7")};
}

} // namespace

class HostileInputTest : public QObject {
    Q_OBJECT
private slots:
    void choiceBoxes_data();
    void choiceBoxes();
    void activityBox_data() { addHostileRows(); }
    void activityBox();
    void dateBox_data() { addHostileRows(); }
    void dateBox();
    void resultBoxes_data() { addHostileRows(); }
    void resultBoxes();
};

// Every text in each of the three boxes that offer a list, with what then stands in the five
// inputs and what both buttons report when the text is not the one of the valid source.
void HostileInputTest::choiceBoxes_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("standing"); // the five inputs after leaving the box
    QTest::addColumn<QStringList>("offered");  // the radionuclide box's list after leaving the box
    QTest::addColumn<bool>("valid");           // the valid source's own text: both buttons answer
    QTest::addColumn<QString>("refusal");      // what both buttons report for any other text
    // Entering the practice box empties the radionuclide box, and no text is a practice.
    for (const HostileText& row : hostileTexts())
        QTest::addRow("Combo4: %s", row.name)
            << "Combo4" << row.text << QStringList{row.text, "", "1", "Ci", "1/1/2020"}
            << QStringList{} << false
            << (row.text.isEmpty() ? message::choosePractice : message::chooseRadionuclide);
    for (const HostileText& row : hostileTexts())
        QTest::addRow("Combo5: %s", row.name)
            << "Combo5" << row.text << QStringList{practice, row.text, "1", "Ci", "1/1/2020"}
            << highActivity << (row.text == "Co-60") << message::chooseRadionuclide;
    for (const HostileText& row : hostileTexts())
        QTest::addRow("Combo6: %s", row.name)
            << "Combo6" << row.text << QStringList{practice, "Co-60", "1", row.text, "1/1/2020"}
            << highActivity << (row.text == "Ci") << message::selectUnit;
}

void HostileInputTest::choiceBoxes() {
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QStringList, standing);
    QFETCH(QStringList, offered);
    QFETCH(bool, valid);
    QFETCH(QString, refusal);
    CalculatorWindow w(midnight);
    QVERIFY(w.open());
    enterValidSource(w);
    const QString shown = w.text("Text6");
    w.paste(qPrintable(box), text);
    w.tab();
    QCOMPARE(w.items("Combo5"), offered);
    QCOMPARE(w.text("Text4"), "0.00036"); // Co-60's constant stays
    QCOMPARE(w.text("Text6"), shown);
    QCOMPARE(inputs(w), standing);
    w.click("Command2");
    w.click("Command3");
    QCOMPARE(inputs(w), standing);
    if (valid) {
        QVERIFY(w.messages.shown.isEmpty());
        QCOMPARE(w.text("Text8"), "3");
        QCOMPARE(w.text("Text11"), "4");
    } else {
        QCOMPARE(w.messages.texts(), QStringList(2, refusal));
        QCOMPARE(w.text("Text8"), "earlier");
        QCOMPARE(w.text("Text11"), "earlier");
    }
}

void HostileInputTest::activityBox() {
    QFETCH(QString, text);
    QFETCH(bool, activity);
    CalculatorWindow w(midnight);
    QVERIFY(w.open());
    enterValidSource(w);
    w.paste("Text5", text);
    w.click("Command2");
    QCOMPARE(inputs(w), (QStringList{practice, "Co-60", text, "Ci", "1/1/2020"}));
    if (activity) {
        QVERIFY(w.messages.shown.isEmpty());
        const auto conversion = dovrin::convertActivity(text.toStdString(), "Ci");
        QVERIFY(conversion);
        const auto category = dovrin::categoriseActivity("Co-60", conversion->shownActivityTBq);
        QCOMPARE(w.text("Text8").toStdString(), *category);
    } else {
        QCOMPARE(w.messages.texts(), QStringList{message::enterActivity});
        QCOMPARE(w.focusedName(), "Text5");
        QCOMPARE(w.text("Text8"), "earlier");
    }
}

void HostileInputTest::dateBox() {
    QFETCH(QString, text);
    QFETCH(bool, date);
    CalculatorWindow w(midnight);
    QVERIFY(w.open());
    enterValidSource(w);
    const QString current = w.text("Text9");
    w.paste("Text7", text);
    w.tab();
    if (text.isEmpty())
        QCOMPARE(w.messages.texts(), QStringList{message::enterDate});
    else
        QVERIFY(w.messages.shown.isEmpty());
    const bool overflows = text.contains("9999"); // Co-60 grows beyond a double by then
    if (!date || overflows)
        QCOMPARE(w.text("Text9"), current);
    w.click("Command3");
    QCOMPARE(inputs(w), (QStringList{practice, "Co-60", "1", "Ci", text}));
    if (date && !overflows) {
        QVERIFY(w.messages.texts().count(message::enterDate) == (text.isEmpty() ? 1 : 0));
        QVERIFY(w.text("Text11") != "earlier");
    } else {
        QVERIFY(w.messages.texts().endsWith(message::enterDate));
        QCOMPARE(w.text("Text11"), "earlier");
    }
}

// The result boxes are editable like any box; what is typed there stays until a result
// replaces it, and a typed initial activity is read as a number or as nothing.
void HostileInputTest::resultBoxes() {
    QFETCH(QString, text);
    CalculatorWindow w(midnight);
    QVERIFY(w.open());
    enterValidSource(w);
    for (const char* name : {"Text6", "Text9", "Text8", "Text11"})
        w.paste(name, text);
    w.paste("Text7", "1/1/2020");
    w.tab();
    const QString current = w.text("Text9");
    QVERIFY2(current == text || displayPattern.match(current).hasMatch(), qPrintable(current));
    QCOMPARE(w.text("Text8"), text);
    QCOMPARE(w.text("Text11"), text);
}

QTEST_MAIN(HostileInputTest)
#include "tst_hostile_input.moc"
