// Random sessions on the real window: a seeded person presses Tab, clicks, picks, types and
// pastes in any order, and after every action the window must still tell the truth.
//
// DOVRIN_RANDOM_SEED and DOVRIN_RANDOM_ACTIONS choose the session; scripts/random_sessions.sh
// plays many.

#include <random>

#include <QRegularExpression>
#include <QTest>

#include "calculator_window.h"
#include "categorise.h"
#include "conversion.h"
#include "number_text.h"
#include "practice_catalogue.h"

using namespace testing;

namespace {

const QStringList labels{"1", "2", "3", "4", "5", "Exempted", "Not assigned"};

// Every control that Tab visits but Close, which would end the session.
const QStringList focusable = [] {
    QStringList controls = tabOrder;
    controls.removeOne("Command6");
    return controls;
}();
const QStringList typable{"Combo4", "Combo5", "Text5", "Combo6", "Text7",
                          "Text6",  "Text9",  "Text8", "Text11"};
const QStringList texts{"",
                        " ",
                        "Irradiators",
                        "Well logging gauges",
                        "Bone densitometers",
                        "Co-60",
                        "Ir-192",
                        "Cf-252",
                        "Se-75",
                        "co-60",
                        "Am-241/Be",
                        "Ge-68",
                        "Kr-85",
                        "I-125",
                        "0",
                        "1",
                        "2.5",
                        "100",
                        "1e3",
                        "-3",
                        "abc",
                        "12abc",
                        "1 000",
                        "1e999",
                        "1e300",
                        "0.029996",
                        "NaN",
                        "Ci",
                        "mCi",
                        "TBq",
                        "kbq",
                        "uCi",
                        "Bq",
                        "kCi",
                        "GBq",
                        "1/1/2020",
                        "12/07/2026",
                        "2/29/2024",
                        "02/30/2021",
                        "12/31/9999",
                        "01/01/0001",
                        "7/4/76",
                        "2026-12-08",
                        "yesterday",
                        "3.00E-02",
                        "5.00E+01",
                        "1.00E+300",
                        QString(QChar(0))};

std::string utf8(const QString& text) {
    return text.toStdString();
}

// What a categorisation click must do, worked out from the boxes as they stand.
struct Expected {
    QString message; // the check that fails, or empty
    QString label;
    QString current; // the shown current activity, for the current-activity button
};

Expected expectedClick(CalculatorWindow& w, bool current) {
    const std::string radionuclide = utf8(w.text("Combo5"));
    if (w.text("Combo4").isEmpty())
        return {message::choosePractice, {}, {}};
    if (!dovrin::hasThresholds(radionuclide))
        return {message::chooseRadionuclide, {}, {}};
    if (!dovrin::readActivity(utf8(w.text("Text5"))))
        return {message::enterActivity, {}, {}};
    if (!dovrin::unitSizeInBq(utf8(w.text("Combo6"))))
        return {message::selectUnit, {}, {}};
    const auto conversion = dovrin::convertActivity(utf8(w.text("Text5")), utf8(w.text("Combo6")));
    if (!conversion)
        return {message::enterActivity, {}, {}};
    if (!current)
        return {{},
                QString::fromStdString(std::string(
                    *dovrin::categoriseActivity(radionuclide, conversion->shownActivityTBq))),
                {}};
    const auto date =
        dovrin::readDate(utf8(w.text("Text7")), year_month_day{floor<days>(w.clock)}.year());
    if (!date)
        return {message::enterDate, {}, {}};
    const auto decayed = dovrin::currentActivity(conversion->shownActivityTBq,
                                                 *dovrin::decayConstantOf(radionuclide),
                                                 dovrin::elapsedDays(*date, w.clock));
    if (!decayed)
        return {message::enterDate, {}, {}};
    return {{},
            QString::fromStdString(
                std::string(*dovrin::categoriseActivity(radionuclide, decayed->tbq))),
            QString::fromStdString(decayed->shownText)};
}

QStringList practiceList(const dovrin::Practice& practice) {
    QStringList list;
    for (std::string_view name : practice.radionuclides)
        list << QString::fromUtf8(name.data(), qsizetype(name.size()));
    return list;
}

bool isOnePracticesList(const QStringList& items) {
    if (items.isEmpty())
        return true;
    for (const dovrin::Practice& practice : dovrin::practiceCatalogue)
        if (practiceList(practice) == items)
            return true;
    return false;
}

int environmentNumber(const char* name, int fallback) {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : fallback;
}

} // namespace

class RandomSessionsTest : public QObject {
    Q_OBJECT
private slots:
    void windowAlwaysTellsTheTruth();
};

void RandomSessionsTest::windowAlwaysTellsTheTruth() {
    const int seed = environmentNumber("DOVRIN_RANDOM_SEED", 20261207);
    const int actions = environmentNumber("DOVRIN_RANDOM_ACTIONS", 1500);
    std::mt19937 random(static_cast<unsigned>(seed));
    const auto any = [&random](const QStringList& list) {
        return list[std::uniform_int_distribution<qsizetype>(0, list.size() - 1)(random)];
    };

    CalculatorWindow w(midnight + hours{10});
    QVERIFY(w.open());
    const QStringList practices = w.items("Combo4");
    const QStringList units = w.items("Combo6");
    QMap<QString, QString> typedInto; // the last text the person typed into each output box

    for (int step = 0; step < actions; ++step) {
        const int action = std::uniform_int_distribution<int>(0, 9)(random);
        QString done;
        const int messagesBefore = int(w.messages.shown.size());
        const QString focusBefore = w.focusedName();
        const bool dateMessageFirst = focusBefore == "Text7" && w.text("Text7").isEmpty();
        std::optional<Expected> expected;
        QString button;
        const QStringList resultsBefore = w.results();

        if (action <= 1) {
            done = "Tab";
            action == 0 ? w.tab() : w.backtab();
        } else if (action <= 4) {
            const QString target = any(focusable);
            done = "click " + target;
            if (target == "Command2" || target == "Command3") {
                button = target;
                expected = expectedClick(w, target == "Command3");
            }
            w.click(qPrintable(target));
        } else if (action == 5) {
            const QString combo = any({"Combo4", "Combo5", "Combo6"});
            const QStringList items = w.items(qPrintable(combo));
            if (items.isEmpty())
                continue;
            const QString item = any(items);
            done = "pick " + item + " in " + combo;
            if (!w.pick(qPrintable(combo), item)) // an empty date box asked for its date first
                QVERIFY2(w.messages.texts().endsWith(message::enterDate), qPrintable(done));
        } else if (action <= 8) {
            const QString target = any(typable);
            const QString text = any(texts);
            done = "type '" + text + "' into " + target;
            w.paste(qPrintable(target), text);
            typedInto[target] = text;
        } else {
            w.clock += hours{std::uniform_int_distribution<int>(0, 24 * 400)(random)};
            done = "time passes";
        }
        const QString where = QString("seed %1, step %2: %3").arg(seed).arg(step).arg(done);

        // At most one message box at a time, always ours.
        QVERIFY2(w.messages.mostOpenAtOnce <= 1, qPrintable(where));
        const QStringList shownNow = w.messages.texts().mid(messagesBefore);
        for (const ShownMessage& shown : w.messages.shown.mid(messagesBefore)) {
            QVERIFY2(shown.title == message::title, qPrintable(where));
            QVERIFY2(message::all.contains(shown.text), qPrintable(where));
        }

        // A click categorises exactly the source on the screen, or reports what is missing.
        if (expected) {
            QStringList expectedMessages;
            if (dateMessageFirst)
                expectedMessages << message::enterDate;
            if (!expected->message.isEmpty())
                expectedMessages << expected->message;
            // The date message put the focus back in the empty date box; the check moving it
            // to another box leaves that box again, which asks for the date once more.
            if (dateMessageFirst && !expected->message.isEmpty() &&
                expected->message != message::enterDate)
                expectedMessages << message::enterDate;
            QVERIFY2(shownNow == expectedMessages,
                     qPrintable(where + ": " + shownNow.join('|') + " instead of " +
                                expectedMessages.join('|')));
            const char* result = button == "Command2" ? "Text8" : "Text11";
            if (expected->message.isEmpty()) {
                QVERIFY2(
                    w.text(result) == expected->label,
                    qPrintable(where + ": " + w.text(result) + " instead of " + expected->label));
                if (button == "Command3")
                    QVERIFY2(w.text("Text9") == expected->current, qPrintable(where));
            } else {
                // Nothing written, but what leaving the box before the click wrote.
                const QStringList after = w.results();
                const auto unchanged = [&](int from, int count) {
                    return after.mid(from, count) == resultsBefore.mid(from, count);
                };
                QVERIFY2(unchanged(5, 2), qPrintable(where));
                QVERIFY2(focusBefore == "Combo6" || unchanged(0, 2), qPrintable(where));
                QVERIFY2(focusBefore == "Text7" || unchanged(2, 3), qPrintable(where));
            }
        }

        // Result boxes hold a result, what the person typed there, or nothing.
        for (const char* result : {"Text8", "Text11"}) {
            const QString shown = w.text(result);
            QVERIFY2(shown.isEmpty() || labels.contains(shown) || shown == typedInto[result],
                     qPrintable(where + ": " + result + " shows " + shown));
        }
        for (const char* activity : {"Text6", "Text9"}) {
            const QString shown = w.text(activity);
            QVERIFY2(shown.isEmpty() || displayPattern.match(shown).hasMatch() ||
                         shown == typedInto[activity],
                     qPrintable(where + ": " + activity + " shows " + shown));
        }

        // The lists: the fixed two never change, the radionuclides are one practice's.
        QVERIFY2(w.items("Combo4") == practices, qPrintable(where));
        QVERIFY2(w.items("Combo6") == units, qPrintable(where));
        QVERIFY2(isOnePracticesList(w.items("Combo5")), qPrintable(where));
        QVERIFY2(w.form.isVisible(), qPrintable(where));
    }
}

QTEST_MAIN(RandomSessionsTest)
#include "tst_random_sessions.moc"
