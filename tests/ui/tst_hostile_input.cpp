// Whatever is typed or pasted into an input box gets its own response, a message, no change or
// a value, and never disturbs what stands in the other boxes.

#include <QTest>

#include "calculator_window.h"
#include "categorise.h"
#include "conversion.h"

using namespace std::chrono;
using testing::CalculatorWindow;

namespace {

const QString practice = "Irradiators";
const QString enterDate = "Please! Enter date of Manufacture";

struct HostileText {
    const char* name;
    QString text;
    bool activity; // a whole, finite, non-negative number
    bool date;     // a real calendar day in a form the date box reads
};

const QList<HostileText>& hostileTexts() {
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
    return all;
}

void addHostileRows() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("activity");
    QTest::addColumn<bool>("date");
    for (const HostileText& row : hostileTexts())
        QTest::newRow(row.name) << row.text << row.activity << row.date;
}

const dovrin::LocalTime midnight = local_days{2026y / December / 7};

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
    void practiceBox_data() { addHostileRows(); }
    void practiceBox();
    void radionuclideBox_data() { addHostileRows(); }
    void radionuclideBox();
    void activityBox_data() { addHostileRows(); }
    void activityBox();
    void unitBox_data() { addHostileRows(); }
    void unitBox();
    void dateBox_data() { addHostileRows(); }
    void dateBox();
    void resultBoxes_data() { addHostileRows(); }
    void resultBoxes();
};

void HostileInputTest::practiceBox() {
    QFETCH(QString, text);
    CalculatorWindow w(midnight);
    QVERIFY(w.open());
    enterValidSource(w);
    w.paste("Combo4", text);
    w.tab();
    QVERIFY(w.items("Combo5").isEmpty());
    QStringList expected = {text, "", "1", "Ci", "1/1/2020"};
    QCOMPARE(inputs(w), expected);
    w.click("Command2");
    QCOMPARE(w.messages.texts(),
             QStringList{text.isEmpty() ? "Please! Chose Typical sources and practices "
                                        : "Please! Chose Typical radionuclides "});
    QCOMPARE(w.text("Text8"), "earlier");
}

void HostileInputTest::radionuclideBox() {
    QFETCH(QString, text);
    CalculatorWindow w(midnight);
    QVERIFY(w.open());
    enterValidSource(w);
    w.paste("Combo5", text);
    w.tab();
    QCOMPARE(w.text("Text4"), "0.00036"); // Co-60's constant stays
    QCOMPARE(inputs(w), (QStringList{practice, text, "1", "Ci", "1/1/2020"}));
    w.click("Command2");
    w.click("Command3");
    if (text == "Co-60") {
        QVERIFY(w.messages.shown.isEmpty());
        QCOMPARE(w.text("Text8"), "3");
        QCOMPARE(w.text("Text11"), "4");
    } else {
        QCOMPARE(w.messages.texts(), QStringList(2, "Please! Chose Typical radionuclides "));
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
        QCOMPARE(w.messages.texts(), QStringList{"Please! Enter the activity "});
        QCOMPARE(w.focusedName(), "Text5");
        QCOMPARE(w.text("Text8"), "earlier");
    }
}

void HostileInputTest::unitBox() {
    QFETCH(QString, text);
    CalculatorWindow w(midnight);
    QVERIFY(w.open());
    enterValidSource(w);
    const QString shown = w.text("Text6");
    w.paste("Combo6", text);
    w.tab();
    QCOMPARE(w.text("Text6"), shown);
    w.click("Command2");
    QCOMPARE(inputs(w), (QStringList{practice, "Co-60", "1", text, "1/1/2020"}));
    if (text == "Ci") {
        QVERIFY(w.messages.shown.isEmpty());
        QCOMPARE(w.text("Text8"), "3");
    } else {
        QCOMPARE(w.messages.texts(),
                 QStringList{"Please! Select Unit of Activity of Radioactive Sources "});
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
        QCOMPARE(w.messages.texts(), QStringList{enterDate});
    else
        QVERIFY(w.messages.shown.isEmpty());
    const bool overflows = text.contains("9999"); // Co-60 grows beyond a double by then
    if (!date || overflows)
        QCOMPARE(w.text("Text9"), current);
    w.click("Command3");
    QCOMPARE(inputs(w), (QStringList{practice, "Co-60", "1", "Ci", text}));
    if (date && !overflows) {
        QVERIFY(w.messages.texts().count(enterDate) == (text.isEmpty() ? 1 : 0));
        QVERIFY(w.text("Text11") != "earlier");
    } else {
        QVERIFY(w.messages.texts().endsWith(enterDate));
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
    QVERIFY2(current == text ||
                 QRegularExpression("^-?\\d\\.\\d\\dE[+-]\\d{2,3}$").match(current).hasMatch(),
             qPrintable(current));
    QCOMPARE(w.text("Text8"), text);
    QCOMPARE(w.text("Text11"), text);
}

QTEST_MAIN(HostileInputTest)
#include "tst_hostile_input.moc"
