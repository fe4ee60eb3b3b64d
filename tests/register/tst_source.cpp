// One source of an inventory: how its texts are read, its category by A/D, the day its category
// next changes, and the totals of a location.

#include <QTest>

#include <chrono>
#include <string>

#include "categorise.h"
#include "decay.h"
#include "locations.h"
#include "radionuclides.h"
#include "source.h"
#include "test_facts.h"
#include "test_support.h"

using namespace dovrin;
using namespace dovrin::testing;
using namespace std::chrono;

namespace {

// 2026-12-07 at 00:00, or at the given hour.
LocalTime asOf(int hour = 0) {
    return facts::midnight + hours{hour};
}

SourceResult evaluate(const QByteArray& radionuclide, const QByteArray& activity,
                      const QByteArray& unit, const QByteArray& manufactured = {},
                      Evaluation evaluation = {asOf()}) {
    return evaluateSource({view(radionuclide), view(activity), view(unit), view(manufactured)},
                          evaluation);
}

QString show(const std::optional<year_month_day>& date) {
    if (!date)
        return QStringLiteral("<none>");
    return QString::asprintf("%04d-%02u-%02u", static_cast<int>(date->year()),
                             static_cast<unsigned>(date->month()),
                             static_cast<unsigned>(date->day()));
}

QString label(const std::optional<std::string_view>& text) {
    return text ? dovrin::testing::show(*text) : QString();
}

} // namespace

class TestSource : public QObject {
    Q_OBJECT

private slots:
    // The radionuclide, activity and unit columns: the table's names in a few spellings, the
    // window's check of the activity box, the unit list with the micro sign or mu for "u".
    // An error names the column and the text found.
    void columns_data() {
        QTest::addColumn<QByteArray>("radionuclide");
        QTest::addColumn<QByteArray>("activity");
        QTest::addColumn<QByteArray>("unit");
        QTest::addColumn<QString>("read"); // "name TBq", or the note of an error row
        const auto row = [](const char* tag, const char* radionuclide, const char* activity,
                            const char* unit, const char* read) {
            QTest::newRow(tag) << QByteArray(radionuclide) << QByteArray(activity)
                               << QByteArray(unit) << QString::fromUtf8(read);
        };
        // clang-format off
        row("exact", "Co-60", "1", "TBq", "Co-60 1");
        row("blanks around", " \tCo-60 ", " 2 ", " TBq\t", "Co-60 2");
        row("lower case", "co-60", "1", "TBq", "Co-60 1");
        row("no hyphen", "Co60", "1", "TBq", "Co-60 1");
        row("blank for hyphen", "CO 60", "1", "TBq", "Co-60 1");
        row("mass first", "60Co", "1", "TBq", "Co-60 1");
        row("Am-241/Be mass first", "241Am/Be", "1", "TBq", "Am-241/Be 1");
        row("Am-241 not /Be", "am241", "1", "TBq", "Am-241 1");
        row("no thresholds", "se75", "1", "TBq", "Se-75 1");
        row("element name", "Cobalt", "1", "TBq", "unknown radionuclide 'Cobalt'");
        row("mass too long", "Co-600", "1", "TBq", "unknown radionuclide 'Co-600'");
        row("two joints", "Co--60", "1", "TBq", "unknown radionuclide 'Co--60'");
        row("trailing letter", "Co-60m", "1", "TBq", "unknown radionuclide 'Co-60m'");
        row("beyond the calculator", "h 3", "1", "TBq", "H-3 1");
        row("metastable", "tc99m", "1", "TBq", "Tc-99m 1");
        row("metastable mass first", "99mTc", "1", "TBq", "Tc-99m 1");
        row("m of the element", "99Mo", "1", "TBq", "Mo-99 1");
        row("X/Be as Euratom writes it", "Pu-239/Be-9", "1", "TBq", "Pu-239/Be 1");
        row("AmBe", "AmBe", "1", "TBq", "Am-241/Be 1");
        row("no D-value", "I-129", "1", "TBq", "no source gives a D-value for I-129, so it has no category");
        row("no radionuclide", "  ", "1", "TBq", "radionuclide: empty");
        row("exponent", "Cs-137", "1.5e3", "GBq", "Cs-137 1.5");
        row("comma", "Cs-137", "1,5", "GBq", "activity: '1,5' is not one number, finite and not negative");
        row("no activity", "Cs-137", "", "GBq", "activity: empty");
        row("too many becquerel", "Cs-137", "1e300", "kCi", "activity: '1e300' kCi is beyond the range of a double in becquerel");
        row("micro sign", "Cs-137", "1", "\u00B5Ci", "Cs-137 3.7e-08");
        row("Greek mu", "Cs-137", "1", "\u03BCCi", "Cs-137 3.7e-08");
        row("unit case", "Cs-137", "1", "mbq", "unit: unknown unit 'mbq'");
        row("no unit", "Cs-137", "1", "", "unit: empty");
        row("every error", "Cobalt", "x", "Bqs", "unknown radionuclide 'Cobalt'; activity: 'x' is not one number, finite and not negative; unit: unknown unit 'Bqs'");
        // clang-format on
    }
    void columns() {
        QFETCH(QByteArray, radionuclide);
        QFETCH(QByteArray, activity);
        QFETCH(QByteArray, unit);
        QFETCH(QString, read);
        const SourceResult result = evaluate(radionuclide, activity, unit);
        QCOMPARE(result.categorised ? dovrin::testing::show(result.radionuclide) + ' ' +
                                          QString::number(result.activityTBq, 'g', 15)
                                    : QString::fromStdString(result.note),
                 read);
    }

    // Dates month first or day first; ISO in either; never swapped when impossible; none given
    // is no error, but no decay.
    void manufactured_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("dayFirst");
        QTest::addColumn<QString>("date"); // "error", or "<none>" when not decayed
        const auto row = [](const char* text, bool dayFirst, const char* date) {
            QTest::addRow("%s %s", text, dayFirst ? "d/m" : "m/d")
                << QByteArray(text) << dayFirst << QString(date);
        };
        // clang-format off
        row("2/3/2010", false, "2010-02-03");
        row("2/3/2010", true, "2010-03-02");
        row("02-03-26", true, "2026-03-02");
        row("03/02/27", true, "1927-02-03");
        row("2020-02-13", true, "2020-02-13");
        row("13/02/2020", false, "error");
        row("13/02/2020", true, "2020-02-13");
        row("31/02/2020", true, "error");
        row("yesterday", false, "error");
        row("  ", true, "<none>");
        // clang-format on
    }
    void manufactured() {
        QFETCH(QByteArray, text);
        QFETCH(bool, dayFirst);
        QFETCH(QString, date);
        const Evaluation evaluation{asOf(), dayFirst ? DateOrder::dayFirst : DateOrder::monthFirst};
        const SourceResult result = evaluate("Co-60", "1", "TBq", text, evaluation);
        if (date == "error") {
            QVERIFY(!result.categorised);
            QVERIFY(result.note.starts_with("manufactured: '" + text.toStdString() + "' is not"));
            return;
        }
        QCOMPARE(show(result.manufactured), date);
        if (!result.manufactured) {
            QCOMPARE(QString::fromStdString(result.note), "no date of manufacture: not decayed");
            COMPARE_EXACT(result.currentActivityTBq, result.activityTBq);
            QVERIFY(!result.nextChange);
        }
    }

    // The category of A/D, and "Exempted" only where the threshold table says so.
    void categoryByAOverD_data() {
        QTest::addColumn<QByteArray>("radionuclide");
        QTest::addColumn<double>("tbq");
        QTest::addColumn<QString>("table"); // the threshold table's category
        QTest::addColumn<QString>("byAOverD");
        const auto row = [](const char* tag, const char* radionuclide, double tbq,
                            const char* table, const char* byAOverD) {
            QTest::newRow(tag) << QByteArray(radionuclide) << tbq << QString(table)
                               << QString(byAOverD);
        };
        // clang-format off
        row("A/D 1000", "Co-60", 30, "1", "1");
        row("A/D 10", "Co-60", 0.3, "2", "2");
        row("Sr-90 border at 0.02", "Sr-90", 0.015, "5", "4");
        row("not assigned above", "Cf-252", 1, "Not assigned", "2");
        row("inclusive top of 3", "Cf-252", 0.2, "3", "2");
        row("at E", "Co-60", 1e-7, "Exempted", "Exempted");
        row("above E", "Co-60", 2e-7, "5", "5");
        row("no table, tiny", "Tm-170", 1e-12, "", "5");
        row("no table, A/D 10", "Se-75", 2, "", "2");
        row("A/D only", "Ni-63", 1, "", "4");
        row("A/D only, at E", "Ni-63", 1e-4, "", "Exempted");
        row("A/D only, above E", "Ni-63", 1.0001e-4, "", "5");
        row("A/D only, unknown E", "Pu-239/Be", 1e-12, "", "5");
        // clang-format on
    }
    void categoryByAOverD() {
        QFETCH(QByteArray, radionuclide);
        QFETCH(double, tbq);
        QFETCH(QString, table);
        QFETCH(QString, byAOverD);
        const SourceResult result = evaluate(radionuclide, QByteArray::number(tbq, 'g', 17), "TBq");
        QCOMPARE(label(result.currentCategory), table);
        QCOMPARE(dovrin::testing::show(result.categoryByAOverD), byAOverD);
        COMPARE_EXACT(result.aOverD,
                      tbq / *RadionuclideTable::builtIn().find(view(radionuclide))->dTBq);
        QCOMPARE(result.note.find("categorised by A/D only") != std::string::npos, table.isEmpty());
        QCOMPARE(result.note.find("exemption level of") != std::string::npos,
                 QByteArray(QTest::currentDataTag()).endsWith("unknown E"));
    }

    // The first day at whose start the source lies in another band. A date of manufacture ahead
    // of the as-of day puts the initial activity itself at the start of that day, so that an
    // activity equal to a bound falls on a day start exactly.
    void nextChange_data() {
        QTest::addColumn<QByteArray>("radionuclide");
        QTest::addColumn<QByteArray>("tbq");
        QTest::addColumn<QByteArray>("manufactured");
        QTest::addColumn<int>("hour"); // of the as-of moment on 2026-12-07
        QTest::addColumn<QString>("becomes");
        QTest::addColumn<QString>("on"); // "<none>": no change
        const auto row = [](const char* tag, const char* radionuclide, const char* tbq,
                            const char* manufactured, int hour, const char* becomes,
                            const char* on) {
            QTest::newRow(tag) << QByteArray(radionuclide) << QByteArray(tbq)
                               << QByteArray(manufactured) << hour << QString(becomes)
                               << QString(on);
        };
        // clang-format off
        row("about 428 days", "Co-60", "0.35", "2026-12-07", 10, "3", "2028-02-09");
        row("inclusive: at the bound stays", "Co-60", "0.3", "2026-12-17", 0, "3", "2026-12-18");
        row("exclusive: at the bound leaves", "Cf-252", "0.2", "2026-12-17", 0, "3", "2026-12-17");
        row("exclusive E", "Co-60", "1e-7", "2026-12-17", 0, "Exempted", "2026-12-17");
        row("by A/D, inclusive", "Se-75", "2", "2026-12-17", 0, "3", "2026-12-18");
        row("first day is tomorrow", "Cf-252", "0.2", "2026-12-08", 10, "3", "2026-12-08");
        row("Exempted stays", "Co-60", "1e-8", "2020-01-01", 0, "", "<none>");
        row("category 5 by A/D stays", "Tm-170", "1", "2020-01-01", 0, "", "<none>");
        row("A/D only, by its half-life", "P-32", "0.2", "2026-12-07", 0, "5", "2026-12-22");
        row("A/D only, to Exempted", "Tc-99m", "2e-5", "2026-12-07", 0, "Exempted", "2026-12-08");
        row("after 9999", "Ra-226", "100", "2020-01-01", 0, "", "<none>");
        // clang-format on
    }
    void nextChange() {
        QFETCH(QByteArray, radionuclide);
        QFETCH(QByteArray, tbq);
        QFETCH(QByteArray, manufactured);
        QFETCH(int, hour);
        QFETCH(QString, becomes);
        QFETCH(QString, on);
        const SourceResult result = evaluate(radionuclide, tbq, "TBq", manufactured, {asOf(hour)});
        QVERIFY(result.categorised);
        const auto change = result.nextChange;
        QCOMPARE(show(change ? std::optional{change->on} : std::nullopt), on);
        QCOMPARE(result.note.find("only after 9999-12-31") != std::string::npos,
                 QTest::currentDataTag() == QByteArray("after 9999"));
        if (!change)
            return;
        QCOMPARE(dovrin::testing::show(change->label), becomes);
        // The window's own rules on that day and the day before; by A/D, Exempted at or below
        // the exemption level.
        const Radionuclide& known = *RadionuclideTable::builtIn().named(result.radionuclide);
        const auto categoryOn = [&](local_days day) -> std::string_view {
            const double activity =
                *decayedActivityTBq(result.activityTBq, known.constantPerDay,
                                    elapsedDays(*result.manufactured, LocalTime{day}));
            if (!known.rows.empty())
                return *categoriseActivity(known.rows, activity);
            return activity <= known.exemptionTBq.value_or(0)
                       ? labels::exempted
                       : categoriseAOverD(activity / *known.dTBq);
        };
        const local_days day{change->on};
        QCOMPARE(dovrin::testing::show(categoryOn(day)), becomes);
        if (LocalTime{day - days{1}} >= asOf(hour))
            QVERIFY(categoryOn(day - days{1}) != change->label);
    }

    // Sources kept together: error rows counted but not summed, and a sum of A/D that reaches
    // a more severe category than any single source.
    // A row's duties: a text that cannot be read leaves its duty empty and says so in the note
    // while the row keeps its category; the exemption is judged on the due day's activity and
    // can be turned off; an error row has no duties.
    void duties_data() {
        QTest::addColumn<QByteArray>("radionuclide");
        QTest::addColumn<QByteArray>("lastLeakTest");
        QTest::addColumn<QByteArray>("interval");
        QTest::addColumn<QByteArray>("workingLife");
        QTest::addColumn<bool>("exemptions");
        QTest::addColumn<QString>("due");    // leak_test_due
        QTest::addColumn<QString>("status"); // leak_test_status
        QTest::addColumn<QString>("ends");   // working_life_ends
        QTest::addColumn<QString>("note");
        const auto row = [](const char* tag, const char* radionuclide, const char* last,
                            const char* interval, const char* life, bool exemptions,
                            const char* due, const QString& status, const char* ends,
                            const char* note) {
            QTest::newRow(tag) << QByteArray(radionuclide) << QByteArray(last)
                               << QByteArray(interval) << QByteArray(life) << exemptions << due
                               << status << ends << note;
        };
        // 3.8 MBq made on 2016-12-07: about 1 MBq of Co-60 in November 2026.
        const QString exempt =
            QString::fromUtf8("exempt: beta/gamma emitter of at most 3.7 MBq "
                              "(100 \u00B5Ci) on the due date (10 CFR 35.67(f))");
        row("due in 31 days", "Co-60", "2026-07-07", "", "10", false, "2027-01-07", "not due",
            "2026-12-07", "");
        row("overdue", "Co-60", "2026-05-01", "", "", false, "2026-11-01", "overdue", "<none>", "");
        row("exempt on the due day", "Co-60", "2026-05-01", "", "", true, "2026-11-01", exempt,
            "<none>", "");
        row("alpha not exempt", "Am-241", "2026-11-20", "1 day", "", true, "2026-11-21", "overdue",
            "<none>", "");
        row("bad interval", "Co-60", "2026-05-01", "6 mo", "10", true, "<none>", "", "2026-12-07",
            "leak_test_interval: '6 mo' is not an interval (a whole number of months or days, as "
            "'6 months' or '180 days')");
        row("bad date and life", "Co-60", "2026-13-01", "", "7.5", true, "<none>", "", "<none>",
            "last_leak_test: '2026-13-01' is not a date (month/day/year or year-month-day); "
            "working_life: '7.5' is not a whole number of years from 1 to 100");
        row("error row", "Xx-1", "2026-05-01", "", "10", true, "<none>", "", "<none>",
            "unknown radionuclide 'Xx-1'");
    }
    void duties() {
        QFETCH(QByteArray, radionuclide);
        QFETCH(QByteArray, lastLeakTest);
        QFETCH(QByteArray, interval);
        QFETCH(QByteArray, workingLife);
        QFETCH(bool, exemptions);
        QFETCH(QString, due);
        QFETCH(QString, status);
        QFETCH(QString, ends);
        QFETCH(QString, note);
        Evaluation evaluation{asOf()};
        evaluation.duties.leakTestExemptions = exemptions;
        SourceText texts{view(radionuclide), "3.8", "MBq", "2016-12-07"};
        texts.duties = {view(lastLeakTest), view(interval), {}, {}, view(workingLife)};
        const SourceResult result = evaluateSource(texts, evaluation);
        QCOMPARE(result.categorised, radionuclide != "Xx-1");
        QCOMPARE(show(result.duties.leakTest.on), due);
        QCOMPARE(dovrin::testing::show(leakTestStatusText(result.duties)), status);
        QCOMPARE(show(result.duties.workingLifeEnd.on), ends);
        QCOMPARE(dovrin::testing::show(result.note), note);
    }

    void locations_data() {
        QTest::addColumn<QStringList>("sources"); // "radionuclide activity-in-TBq"
        QTest::addColumn<int>("errors");
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("mostSevere");
        QTest::addColumn<bool>("raised");
        // clang-format off
        QTest::newRow("three of 3 make a 2") << QStringList{"Co-60 0.2", "Co-60 0.2", "Cs-137 0.7", "Cobalt 1"} << 1 << "2" << "3" << true;
        QTest::newRow("a 2 keeps 2") << QStringList{"Co-60 0.3", "Co-60 0.001"} << 0 << "2" << "2" << false;
        QTest::newRow("all exempted") << QStringList{"Co-60 1e-7", "Cs-137 0"} << 0 << "Exempted" << "Exempted" << false;
        QTest::newRow("exempted and 5") << QStringList{"Co-60 1e-7", "Co-60 2e-7"} << 0 << "5" << "5" << false;
        QTest::newRow("errors only") << QStringList{"Cobalt 1", "Co-60 -1"} << 2 << "" << "" << false;
        // clang-format on
    }
    void locations() {
        QFETCH(QStringList, sources);
        QFETCH(int, errors);
        QFETCH(QString, category);
        QFETCH(QString, mostSevere);
        QFETCH(bool, raised);
        LocationTotals totals;
        totals.add("elsewhere", evaluate("Co-60", "1000", "TBq"));
        double sum = 0;
        for (const QString& source : sources) {
            const QStringList parts = source.split(' ');
            const SourceResult result = evaluate(parts[0].toUtf8(), parts[1].toUtf8(), "TBq");
            sum += result.categorised ? result.aOverD : 0;
            totals.add("store", result);
            totals.add("elsewhere", evaluate("Co-60", "1000", "TBq")); // kept apart, in order
        }
        QCOMPARE(totals.locations().size(), std::size_t{2});
        QCOMPARE(totals.locations()[0].sources, static_cast<std::size_t>(sources.size() + 1));
        const LocationTotal& store = totals.locations()[1];
        QCOMPARE(store.location, std::string("store"));
        QCOMPARE(store.sources, static_cast<std::size_t>(sources.size()));
        QCOMPARE(store.sourcesWithErrors, static_cast<std::size_t>(errors));
        COMPARE_EXACT(store.sumAOverD, sum);
        QCOMPARE(dovrin::testing::show(store.categoryByAOverD()), category);
        QCOMPARE(dovrin::testing::show(store.mostSevereSingleCategory), mostSevere);
        QCOMPARE(store.raisedByAggregation(), raised);
    }
};

QTEST_APPLESS_MAIN(TestSource)
#include "tst_source.moc"
