// The window as it opens: its controls, lists, empty boxes, focus order; New and Close.

#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QTest>

#include "calculator_window.h"

using namespace testing;

namespace {

const QStringList practices = practiceNames();
const QStringList units{"uCi", "mCi", "Ci", "kCi", "Bq", "kBq", "MBq", "GBq", "TBq"};
const QStringList boxes{"Combo4", "Combo5", "Combo6", "Text4",  "Text5", "Text6",
                        "Text7",  "Text8",  "Text9",  "Text10", "Text11"};

} // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void opensWithListsFilledAndBoxesEmpty();
    void opensWithFocusInPracticeBox();
    void tabVisitsThirteenControlsInOrder();
    void backtabVisitsThemInReverse();
    void hiddenBoxesNeverShow();
    void controls_data();
    void controls();
    void fontsAndColours();
    void screenReadersNameEveryBox_data();
    void screenReadersNameEveryBox();
    void newEmptiesBoxesButKeepsListsAndTooltips();
    void newTwiceIsNewOnce();
    void closeRunsLostFocusThenEnds();
    void closingByFrameEndsWithoutHandlers();
};

void StartupTest::opensWithListsFilledAndBoxesEmpty() {
    CalculatorWindow w;
    QVERIFY(w.open());
    QCOMPARE(w.form.objectName(), "Form1");
    QCOMPARE(w.form.windowTitle(), "Dovrin Calculator ");
    QCOMPARE(w.items("Combo4"), practices);
    QCOMPARE(w.items("Combo6"), units);
    QVERIFY(w.items("Combo5").isEmpty());
    for (const QString& name : boxes)
        QVERIFY2(w.text(qPrintable(name)).isEmpty(), qPrintable(name));
    QVERIFY(!w.form.windowIcon().isNull());
}

void StartupTest::opensWithFocusInPracticeBox() {
    CalculatorWindow w;
    QVERIFY(w.open());
    QCOMPARE(w.focusedName(), "Combo4");
}

// The controls visited by pressing a key fourteen times from the practice box. An empty date
// box keeps the focus (it asks for the date), so the walk starts with one typed.
QStringList walk(bool forward) {
    CalculatorWindow w;
    if (!w.open())
        return {};
    w.type("Text7", "x");
    w.click("Combo4");
    QStringList visited;
    for (int i = 0; i < tabOrder.size() + 1; ++i) {
        visited << w.focusedName();
        forward ? w.tab() : w.backtab();
    }
    return visited;
}

void StartupTest::tabVisitsThirteenControlsInOrder() {
    QCOMPARE(walk(true), tabOrder + QStringList{"Combo4"});
}

void StartupTest::backtabVisitsThemInReverse() {
    QStringList expected{"Combo4"};
    for (auto it = tabOrder.rbegin(); it != tabOrder.rend(); ++it)
        expected << *it;
    QCOMPARE(walk(false), expected);
}

void StartupTest::hiddenBoxesNeverShow() {
    CalculatorWindow w;
    QVERIFY(w.open());
    w.type("Combo5", "Co-60");
    w.tab(); // Text4 gets the decay constant
    w.type("Text7", "1/1/2020");
    w.tab(); // Text10 gets the elapsed days
    QCOMPARE(w.text("Text4"), "0.00036");
    QVERIFY(!w.text("Text10").isEmpty());
    QVERIFY(!w.box("Text4")->isVisible());
    QVERIFY(!w.box("Text10")->isVisible());
}

void StartupTest::controls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("toolTip");

    const auto row = [](const char* name, const char* container, QRect twips,
                        const char* caption = "", const char* toolTip = "") {
        QTest::newRow(name) << QString(name) << QString(container) << twips << QString(caption)
                            << QString(toolTip);
    };
    row("Frame1", "Form1", {120, 120, 9855, 4575});
    row("Label1", "Frame1", {120, 480, 2175, 375}, "Typical sources / practices");
    row("Combo4", "Frame1", {2400, 480, 7335, 345}, "", "Slect Typical Sources or Practice");
    row("Label2", "Frame1", {120, 1080, 1935, 375}, "Typical radionuclides ");
    row("Combo5", "Frame1", {2400, 1080, 1695, 345});
    row("Text10", "Frame1", {4920, 1080, 1815, 285});
    row("Text4", "Frame1", {7680, 1200, 1455, 285});
    row("Label3", "Frame1", {240, 1680, 1815, 375}, "Initial Source Activity");
    row("Text5", "Frame1", {2400, 1680, 1695, 315}, "", "Enter Inital Source Activity");
    row("Combo6", "Frame1", {4200, 1680, 1335, 345}, "", "Slect Unit");
    row("Label5", "Frame1", {5640, 1680, 2295, 375}, "Initial Source Activity (TBq)");
    row("Text6", "Frame1", {8040, 1680, 1575, 330});
    row("Label4", "Frame1", {240, 2160, 1815, 375}, "Date of Manufacture");
    row("Text7", "Frame1", {2400, 2160, 1695, 315});
    row("Label7", "Frame1", {4200, 2160, 975, 375}, "mm/dd/yy");
    row("Label6", "Frame1", {5520, 2160, 2415, 375}, " Current Source Activity (TBq)");
    row("Text9", "Frame1", {8040, 2160, 1575, 360});
    row("Frame5", "Frame1", {240, 2640, 9375, 1695}, "Categorize the Radioactive Source ");
    row("Command2", "Frame5", {240, 480, 2655, 375}, "Categorize by Initial Activity  ");
    row("Text8", "Frame5", {3000, 480, 1455, 375});
    row("Command3", "Frame5", {4920, 480, 2655, 375}, "Categorize by Current Activity  ");
    row("Text11", "Frame5", {7680, 480, 1455, 375});
    row("Command5", "Frame5", {240, 1080, 4215, 375}, "New ");
    row("Command6", "Frame5", {4920, 1080, 4215, 375}, " Close ");
}

void StartupTest::controls() {
    QFETCH(QString, name);
    QFETCH(QString, container);
    QFETCH(QRect, twips);
    QFETCH(QString, caption);
    QFETCH(QString, toolTip);

    CalculatorWindow w;
    QVERIFY(w.open());
    QWidget* control = w.control(qPrintable(name));
    QVERIFY(control);
    QCOMPARE(control->parentWidget()->objectName(), container);
    const QRect pixels(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
    QCOMPARE(control->geometry(), pixels);
    QCOMPARE(control->toolTip(), toolTip);
    QString shown;
    if (auto* label = qobject_cast<QLabel*>(control))
        shown = label->text();
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        shown = button->text();
    else if (auto* frame = qobject_cast<QGroupBox*>(control))
        shown = frame->title();
    QCOMPARE(shown, caption);
    QCOMPARE(w.form.size(), QSize(675, 323));
}

void StartupTest::fontsAndColours() {
    CalculatorWindow w;
    QVERIFY(w.open());
    for (const char* name : {"Label1", "Combo4", "Text5", "Combo6", "Text7", "Label7", "Command2",
                             "Command3", "Command5", "Command6", "Frame5", "Text6", "Text9"}) {
        const QFont font = w.control(name)->font();
        QCOMPARE(font.family(), "Arial");
        QCOMPARE(font.pointSizeF(), 9.0);
        QVERIFY2(font.italic() && font.weight() == QFont::Normal, name);
    }
    for (const char* name : {"Text8", "Text11"}) {
        const QFont font = w.control(name)->font();
        QCOMPARE(font.pointSizeF(), 9.75);
        QVERIFY2(font.italic() && font.weight() == QFont::Bold, name);
        QCOMPARE(w.control(name)->palette().color(QPalette::Text), QColor(255, 0, 0));
        QCOMPARE(w.box(name)->alignment(), Qt::AlignCenter);
    }
    QCOMPARE(w.control("Label7")->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QCOMPARE(w.control("Frame5")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(w.control("Label1")->palette().color(QPalette::WindowText), QColor(0, 0, 0));
}

void StartupTest::screenReadersNameEveryBox_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("accessibleName");
    const auto row = [](const char* name, const char* accessibleName) {
        QTest::newRow(name) << QString(name) << QString(accessibleName);
    };
    row("Combo4", "Typical sources / practices");
    row("Combo5", "Typical radionuclides");
    row("Text5", "Initial Source Activity");
    row("Combo6", "Unit of the initial activity");
    row("Text6", "Initial Source Activity (TBq)");
    row("Text7", "Date of Manufacture");
    row("Text9", "Current Source Activity (TBq)");
    row("Text8", "Category by initial activity");
    row("Text11", "Category by current activity");
}

void StartupTest::screenReadersNameEveryBox() {
    QFETCH(QString, name);
    QFETCH(QString, accessibleName);
    CalculatorWindow w;
    QVERIFY(w.open());
    QAccessibleInterface* box = QAccessible::queryAccessibleInterface(w.control(qPrintable(name)));
    QVERIFY(box);
    QCOMPARE(box->text(QAccessible::Name), accessibleName);
    QVERIFY(!box->text(QAccessible::Description).isEmpty());
    if (QComboBox* combo = w.combo(qPrintable(name)))
        QCOMPARE(combo->lineEdit()->accessibleName(), accessibleName);
}

void StartupTest::newEmptiesBoxesButKeepsListsAndTooltips() {
    CalculatorWindow w;
    QVERIFY(w.open());
    QVERIFY(w.pick("Combo4", "Well logging gauges"));
    QVERIFY(w.pick("Combo5", "Cs-137"));
    w.type("Text5", "1");
    QVERIFY(w.pick("Combo6", "Ci"));
    w.type("Text7", "1/1/2020");
    w.click("Command2");
    QCOMPARE(w.text("Text8"), "4");
    const QString tooltip = w.box("Text6")->toolTip();
    QVERIFY(!tooltip.isEmpty());

    w.click("Command5");
    for (const QString& name : boxes)
        QVERIFY2(w.text(qPrintable(name)).isEmpty(), qPrintable(name));
    QCOMPARE(w.items("Combo5").size(), 6); // the practice's radionuclides stay until Combo4
    QCOMPARE(w.items("Combo4"), practices);
    QCOMPARE(w.items("Combo6"), units);
    QCOMPARE(w.box("Text6")->toolTip(), tooltip);
    QVERIFY(!w.box("Text9")->toolTip().isEmpty());
    QCOMPARE(w.focusedName(), "Command5");

    // The boxes are empty, so a categorisation reports the missing practice.
    w.click("Command2");
    QCOMPARE(w.messages.texts().last(), message::choosePractice);
}

void StartupTest::newTwiceIsNewOnce() {
    CalculatorWindow w;
    QVERIFY(w.open());
    w.type("Text5", "5");
    w.click("Command5");
    const QStringList once{w.text("Text5"), w.text("Combo4")};
    w.click("Command5");
    QCOMPARE((QStringList{w.text("Text5"), w.text("Combo4")}), once);
    QVERIFY(w.messages.shown.isEmpty());
}

void StartupTest::closeRunsLostFocusThenEnds() {
    CalculatorWindow w;
    QVERIFY(w.open());
    w.type("Combo4", "Irradiators");
    w.click("Command6");
    QCOMPARE(w.items("Combo5").size(), 4);
    QVERIFY(!w.form.isVisible());
    QVERIFY(w.messages.shown.isEmpty());
}

void StartupTest::closingByFrameEndsWithoutHandlers() {
    CalculatorWindow w;
    QVERIFY(w.open());
    w.click("Text7"); // an empty date box, left by closing the window
    QVERIFY(w.form.close());
    QVERIFY(!w.form.isVisible());
    QCoreApplication::sendPostedEvents(); // whatever the close left to be handled
    QVERIFY(w.messages.shown.isEmpty());
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
