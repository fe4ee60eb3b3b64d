// One source of an inventory: how its texts are read, its category by A/D, the day its category
// next changes, and the totals of a location.

#include <QTest>

#include <chrono>
#include <string>

#include "categorise.h"
#include "decay.h"
#include "locations.h"
#include "source.h"
#include "test_support.h"

using namespace dovrin;
using namespace dovrin::testing;
using namespace std::chrono;

namespace {

// 2026-12-07 at 00:00, or at the given hour.
LocalTime asOf(int hour = 0) {
    return LocalTime{local_days{year{2026} / December / 7}} + hours{hour};
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
    // The radionuclide column: the table's name in a few spellings; anything else is an error.
    void radionuclide_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("name"); // empty: an error row
        QTest::addColumn<QString>("note");
        // clang-format off
        QTest::newRow("exact") << QByteArray("Co-60") << "Co-60" << "";
        QTest::newRow("blanks around") << QByteArray(" \tCo-60 ") << "Co-60" << "";
        QTest::newRow("lower case") << QByteArray("co-60") << "Co-60" << "";
        QTest::newRow("no hyphen") << QByteArray("Co60") << "Co-60" << "";
        QTest::newRow("blank for hyphen") << QByteArray("CO 60") << "Co-60" << "";
        QTest::newRow("mass first") << QByteArray("60Co") << "Co-60" << "";
        QTest::newRow("Am-241/Be lower") << QByteArray("am-241/be") << "Am-241/Be" << "";
        QTest::newRow("Am-241/Be mass first") << QByteArray("241Am/Be") << "Am-241/Be" << "";
        QTest::newRow("Am-241 not /Be") << QByteArray("am241") << "Am-241" << "";
        QTest::newRow("no thresholds") << QByteArray("se75") << "Se-75" << "";
        QTest::newRow("element name") << QByteArray("Cobalt") << "" << "unknown radionuclide 'Cobalt'";
        QTest::newRow("mass cut short") << QByteArray("Co-6") << "" << "unknown radionuclide 'Co-6'";
        QTest::newRow("mass too long") << QByteArray("Co-600") << "" << "unknown radionuclide 'Co-600'";
        QTest::newRow("two joints") << QByteArray("Co--60") << "" << "unknown radionuclide 'Co--60'";
        QTest::newRow("blank inside") << QByteArray("C o-60") << "" << "unknown radionuclide 'C o-60'";
        QTest::newRow("trailing letter") << QByteArray("Co-60m") << "" << "unknown radionuclide 'Co-60m'";
        QTest::newRow("empty") << QByteArray("  ") << "" << "radionuclide: empty";
        // clang-format on
    }
    void radionuclide() {
        QFETCH(QByteArray, text);
        QFETCH(QString, name);
        QFETCH(QString, note);
        const SourceResult result = evaluate(text, "1", "GBq", "2020-01-01");
        QCOMPARE(result.categorised, !name.isEmpty());
        QCOMPARE(dovrin::testing::show(result.radionuclide), name);
        if (!note.isEmpty())
            QCOMPARE(QString::fromStdString(result.note), note);
    }

    // The activity column is the window's check of the activity box; the unit column is the
    // unit list, letter case included, with the micro sign or mu for "u".
    void activityAndUnit_data() {
        QTest::addColumn<QByteArray>("activity");
        QTest::addColumn<QByteArray>("unit");
        QTest::addColumn<double>("tbq"); // negative: an error row
        QTest::addColumn<QString>("note");
        // clang-format off
        QTest::newRow("exponent") << QByteArray("1.5e3") << QByteArray("GBq") << 1.5 << "";
        QTest::newRow("blanks") << QByteArray(" 2 ") << QByteArray(" TBq\t") << 2.0 << "";
        QTest::newRow("uCi") << QByteArray("1") << QByteArray("uCi") << 3.7e-8 << "";
        QTest::newRow("micro sign") << QByteArray("1") << QByteArray("\u00B5Ci") << 3.7e-8 << "";
        QTest::newRow("Greek mu") << QByteArray("1") << QByteArray("\u03BCCi") << 3.7e-8 << "";
        QTest::newRow("comma") << QByteArray("1,5") << QByteArray("GBq") << -1.0
                               << "activity: '1,5' is not one number, finite and not negative";
        QTest::newRow("letters after") << QByteArray("12abc") << QByteArray("GBq") << -1.0 << "";
        QTest::newRow("negative") << QByteArray("-3") << QByteArray("GBq") << -1.0 << "";
        QTest::newRow("beyond a double") << QByteArray("1e999") << QByteArray("GBq") << -1.0 << "";
        QTest::newRow("no activity") << QByteArray("") << QByteArray("GBq") << -1.0 << "activity: empty";
        QTest::newRow("lower case unit") << QByteArray("1") << QByteArray("mbq") << -1.0
                                         << "unit: unknown unit 'mbq'";
        QTest::newRow("no unit") << QByteArray("1") << QByteArray("") << -1.0 << "unit: empty";
        QTest::newRow("too many becquerel") << QByteArray("1e300") << QByteArray("kCi") << -1.0 << "";
        QTest::newRow("both wrong") << QByteArray("x") << QByteArray("Bqs") << -1.0
                                    << "activity: 'x' is not one number, finite and not negative; "
                                       "unit: unknown unit 'Bqs'";
        // clang-format on
    }
    void activityAndUnit() {
        QFETCH(QByteArray, activity);
        QFETCH(QByteArray, unit);
        QFETCH(double, tbq);
        QFETCH(QString, note);
        const SourceResult result = evaluate("Cs-137", activity, unit);
        QCOMPARE(result.categorised, tbq >= 0);
        if (tbq >= 0)
            COMPARE_EXACT(result.activityTBq, tbq);
        if (!note.isEmpty())
            QCOMPARE(QString::fromStdString(result.note), note);
    }

    // Dates month first or day first; ISO in either; never swapped when impossible.
    void manufactured_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("dayFirst");
        QTest::addColumn<QString>("date"); // "error", or "<none>" when not decayed
        // clang-format off
        QTest::newRow("m/d/yyyy") << QByteArray("2/3/2010") << false << "2010-02-03";
        QTest::newRow("d/m/yyyy") << QByteArray("2/3/2010") << true << "2010-03-02";
        QTest::newRow("d-m-yy") << QByteArray("02-03-26") << true << "2026-03-02";
        QTest::newRow("two-digit year ahead") << QByteArray("03/02/27") << true << "1927-02-03";
        QTest::newRow("ISO month first") << QByteArray("2020-02-13") << false << "2020-02-13";
        QTest::newRow("ISO day first") << QByteArray("2020-02-13") << true << "2020-02-13";
        QTest::newRow("13th month") << QByteArray("13/02/2020") << false << "error";
        QTest::newRow("13th day first") << QByteArray("13/02/2020") << true << "2020-02-13";
        QTest::newRow("no 31 February") << QByteArray("31/02/2020") << true << "error";
        QTest::newRow("words") << QByteArray("yesterday") << false << "error";
        QTest::newRow("blanks only") << QByteArray("  ") << true << "<none>";
        // clang-format on
    }
    void manufactured() {
        QFETCH(QByteArray, text);
        QFETCH(bool, dayFirst);
        QFETCH(QString, date);
        const Evaluation evaluation{asOf(), dayFirst ? DateOrder::dayFirst : DateOrder::monthFirst};
        const SourceResult result = evaluate("Co-60", "1", "TBq", text, evaluation);
        QCOMPARE(result.categorised, date != "error");
        if (date == "error") {
            QVERIFY2(result.note.starts_with("manufactured: '" + text.toStdString() + "'"),
                     result.note.c_str());
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
        // clang-format off
        QTest::newRow("A/D 1000") << QByteArray("Co-60") << 30.0 << "1" << "1";
        QTest::newRow("just below 1000") << QByteArray("Co-60") << 29.99 << "2" << "2";
        QTest::newRow("A/D 10") << QByteArray("Co-60") << 0.3 << "2" << "2";
        QTest::newRow("A/D 1") << QByteArray("Cs-137") << 0.1 << "3" << "3";
        QTest::newRow("A/D 0.01") << QByteArray("Pu-238") << 0.0006 << "4" << "4";
        QTest::newRow("Sr-90 border at 0.02") << QByteArray("Sr-90") << 0.015 << "5" << "4";
        QTest::newRow("not assigned above") << QByteArray("Cf-252") << 1.0 << "Not assigned" << "2";
        QTest::newRow("inclusive top of 3") << QByteArray("Cf-252") << 0.2 << "3" << "2";
        QTest::newRow("at E") << QByteArray("Co-60") << 1e-7 << "Exempted" << "Exempted";
        QTest::newRow("above E") << QByteArray("Co-60") << 2e-7 << "5" << "5";
        QTest::newRow("zero") << QByteArray("Kr-85") << 0.0 << "Exempted" << "Exempted";
        QTest::newRow("no table, tiny") << QByteArray("Tm-170") << 1e-12 << "" << "5";
        QTest::newRow("no table, A/D 10") << QByteArray("Se-75") << 2.0 << "" << "2";
        // clang-format on
    }
    void categoryByAOverD() {
        QFETCH(QByteArray, radionuclide);
        QFETCH(double, tbq);
        QFETCH(QString, table);
        QFETCH(QString, byAOverD);
        const SourceResult result = evaluate(radionuclide, QByteArray::number(tbq, 'g', 17), "TBq");
        QVERIFY(result.categorised);
        QCOMPARE(label(result.currentCategory), table);
        QCOMPARE(dovrin::testing::show(result.categoryByAOverD), byAOverD);
        COMPARE_EXACT(result.aOverD, tbq / *dValueOf(view(radionuclide)));
        QCOMPARE(result.note.find("categorised by A/D only") != std::string::npos, table.isEmpty());
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
        // clang-format off
        QTest::newRow("about 428 days") << QByteArray("Co-60") << QByteArray("0.35") << QByteArray("2026-12-07") << 10 << "3" << "2028-02-09";
        QTest::newRow("inclusive: at the bound stays") << QByteArray("Co-60") << QByteArray("0.3") << QByteArray("2026-12-17") << 0 << "3" << "2026-12-18";
        QTest::newRow("exclusive: at the bound leaves") << QByteArray("Cf-252") << QByteArray("0.2") << QByteArray("2026-12-17") << 0 << "3" << "2026-12-17";
        QTest::newRow("exclusive E") << QByteArray("Co-60") << QByteArray("1e-7") << QByteArray("2026-12-17") << 0 << "Exempted" << "2026-12-17";
        QTest::newRow("by A/D, inclusive") << QByteArray("Se-75") << QByteArray("2") << QByteArray("2026-12-17") << 0 << "3" << "2026-12-18";
        QTest::newRow("first day is tomorrow") << QByteArray("Cf-252") << QByteArray("0.2") << QByteArray("2026-12-08") << 10 << "3" << "2026-12-08";
        QTest::newRow("Exempted stays") << QByteArray("Co-60") << QByteArray("1e-8") << QByteArray("2020-01-01") << 0 << "" << "<none>";
        QTest::newRow("category 5 by A/D stays") << QByteArray("Tm-170") << QByteArray("1") << QByteArray("2020-01-01") << 0 << "" << "<none>";
        QTest::newRow("after 9999") << QByteArray("Ra-226") << QByteArray("100") << QByteArray("2020-01-01") << 0 << "" << "<none>";
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
        if (!change)
            return;
        QCOMPARE(dovrin::testing::show(change->label), becomes);
        // The window's own rules on that day and the day before.
        const std::string_view name = result.radionuclide;
        const auto categoryOn = [&](local_days day) -> std::string_view {
            const double activity =
                *decayedActivityTBq(result.activityTBq, *decayConstantOf(name),
                                    elapsedDays(*result.manufactured, LocalTime{day}));
            return hasThresholds(name) ? *categoriseActivity(name, activity)
                                       : categoriseAOverD(activity / *dValueOf(name));
        };
        const local_days day{change->on};
        QCOMPARE(dovrin::testing::show(categoryOn(day)), becomes);
        if (LocalTime{day - days{1}} >= asOf(hour))
            QVERIFY(categoryOn(day - days{1}) != change->label);
    }

    // Sources kept together: error rows counted but not summed, and a sum of A/D that reaches
    // a more severe category than any single source.
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
        }
        QCOMPARE(totals.locations().size(), std::size_t{2});
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
