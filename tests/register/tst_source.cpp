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
                      Evaluation evaluation = {asOf()}, const QByteArray& recorded = {}) {
    return evaluateSource(
        {view(radionuclide), view(activity), view(unit), view(manufactured), view(recorded)},
        evaluation);
}

// The category by A/D as the window's rules give it: "Exempted" where the category table says
// so, or without one at or below the exemption level; else the band of A/D.
std::string_view categoryByAOverDOf(const Radionuclide& known, double activityTBq) {
    const bool exempted = known.rows.empty()
                              ? activityTBq <= known.exemptionTBq.value_or(0)
                              : categoriseActivity(known.rows, activityTBq) == labels::exempted;
    return exempted ? labels::exempted : categoriseAOverD(activityTBq / *known.dTBq);
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
        row("element name", "Cobalt", "1", "TBq", "unknown radionuclide 'Cobalt' (closest: Co-60, Co-57, Cs-137; --list-nuclides lists all)");
        row("mass too long", "Co-600", "1", "TBq", "unknown radionuclide 'Co-600' (closest: Co-60, Po-210, Co-57; --list-nuclides lists all)");
        row("two joints", "Co--60", "1", "TBq", "unknown radionuclide 'Co--60' (closest: Co-60, Co-57, Ge-68; --list-nuclides lists all)");
        row("trailing letter", "Co-60m", "1", "TBq", "unknown radionuclide 'Co-60m' (closest: Co-60, Co-57, Cd-109; --list-nuclides lists all)");
        row("beyond the calculator", "h 3", "1", "TBq", "H-3 1");
        row("metastable", "tc99m", "1", "TBq", "Tc-99m 1");
        row("metastable mass first", "99mTc", "1", "TBq", "Tc-99m 1");
        row("m of the element", "99Mo", "1", "TBq", "Mo-99 1");
        row("X/Be as Euratom writes it", "Pu-239/Be-9", "1", "TBq", "Pu-239/Be 1");
        row("AmBe", "AmBe", "1", "TBq", "Am-241/Be 1");
        row("unlimited D-value", "I-129", "1", "TBq", "I-129 1");
        row("no radionuclide", "  ", "1", "TBq", "radionuclide: empty");
        row("exponent", "Cs-137", "1.5e3", "GBq", "Cs-137 1.5");
        row("comma", "Cs-137", "1,5", "GBq", "activity: '1,5' is not one number (give --decimal-comma if the comma is a decimal comma)");
        row("blank inside", "Cs-137", "1 5", "Ci", "activity: '1 5' has a blank inside its number: only groups of three digits may be set apart ('1 000 000')");
        row("blank splits digits", "Cs-137", "12 34", "Ci", "activity: '12 34' has a blank inside its number: only groups of three digits may be set apart ('1 000 000')");
        row("blank in the fraction", "Cs-137", "1.5 2", "Ci", "activity: '1.5 2' has a blank inside its number: only groups of three digits may be set apart ('1 000 000')");
        row("groups of three", "Cs-137", "1 000 000", "Bq", "Cs-137 1e-06");
        row("no-break and thin spaces", "Cs-137", "2\u00A0000\u2009000.5", "Bq", "Cs-137 2.0000005e-06");
        row("unit glued to the number", "Cs-137", "150mCi", "", "Cs-137 0.00555");
        row("unit after the number", "Cs-137", "250 uCi", "", "Cs-137 9.25e-06");
        row("unit in both, alike", "Cs-137", "1 GBq", "gbq", "Cs-137 0.001");
        row("unit in both, unlike", "Cs-137", "1 GBq", "MBq", "activity: '1 GBq' names another unit than 'MBq' in the unit column");
        row("not a number", "Cs-137", "abc", "Ci", "activity: 'abc' is not a number");
        row("curie in small letters", "Cs-137", "1", "ci", "Cs-137 0.037");
        row("becquerel in capitals", "Cs-137", "1", "GBQ", "Cs-137 0.001");
        row("micro in small letters", "Cs-137", "1", "uci", "Cs-137 3.7e-08");
        row("megacurie", "Co-60", "1", "MCi", "Co-60 37000");
        row("milli or mega in capitals", "Cs-137", "1", "MCI", "unit: 'MCI' may be mCi (milli) or MCi (mega): write it with its letter case");
        row("no activity", "Cs-137", "", "GBq", "activity: empty");
        row("too many becquerel", "Cs-137", "1e300", "kCi", "activity: '1e300' kCi is beyond the range of a double in becquerel");
        row("micro sign", "Cs-137", "1", "\u00B5Ci", "Cs-137 3.7e-08");
        row("Greek mu", "Cs-137", "1", "\u03BCCi", "Cs-137 3.7e-08");
        row("milli or mega in small letters", "Cs-137", "1", "mbq", "unit: 'mbq' may be mBq (milli) or MBq (mega): write it with its letter case");
        row("no unit", "Cs-137", "1", "", "unit: empty");
        row("every error", "Cobalt", "x", "Bqs", "unknown radionuclide 'Cobalt' (closest: Co-60, Co-57, Cs-137; --list-nuclides lists all); activity: 'x' is not a number");
        row("unknown unit", "Co-60", "1", "Bqs", "unit: unknown unit 'Bqs' (known: uCi, mCi, Ci, kCi, Bq, kBq, MBq, GBq, TBq, MCi)");
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

    // Dates month first, day first, or as they can be read one way only; ISO in any order; a
    // time of day dropped; never swapped when impossible; none given is no error, but no decay.
    void manufactured_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("order");    // a DateOrder
        QTest::addColumn<QString>("date"); // "error", "either way", or "<no result>": not decayed
        const auto row = [](const char* text, DateOrder order, const char* date) {
            QTest::addRow("%s %d", text, static_cast<int>(order))
                << QByteArray(text) << static_cast<int>(order) << QString(date);
        };
        constexpr DateOrder mdy = DateOrder::monthFirst;
        constexpr DateOrder dmy = DateOrder::dayFirst;
        constexpr DateOrder unstated = DateOrder::unstated;
        // clang-format off
        row("2/3/2010", mdy, "2010-02-03");
        row("2/3/2010", dmy, "2010-03-02");
        row("02-03-26", dmy, "2026-03-02");
        row("03/02/27", dmy, "1927-02-03");
        row("2020-02-13", dmy, "2020-02-13");
        row("13/02/2020", mdy, "error");
        row("13/02/2020", dmy, "2020-02-13");
        row("25/11/2026", mdy, "error");
        row("31/02/2020", dmy, "error");
        row("yesterday", mdy, "error");
        row("  ", dmy, "<no result>");
        row("01/08/2026", unstated, "either way");
        row("13/08/2026", unstated, "2026-08-13");
        row("08/13/2026", unstated, "2026-08-13");
        row("05/05/2026", unstated, "2026-05-05");
        row("13/13/2026", unstated, "error");
        row("2020-02-13", unstated, "2020-02-13");
        row("2008-09-01 10:30", unstated, "2008-09-01");
        row("2008-09-01T10:30:00", unstated, "2008-09-01");
        row("01/09/2008 10:30:15.5", dmy, "2008-09-01");
        row("2008-09-01 10:75", unstated, "error");
        row("2008-09-01 soon", unstated, "error");
        // clang-format on
    }
    void manufactured() {
        QFETCH(QByteArray, text);
        QFETCH(int, order);
        QFETCH(QString, date);
        const Evaluation evaluation{asOf(), static_cast<DateOrder>(order)};
        const SourceResult result = evaluate("Co-60", "1", "TBq", text, evaluation);
        if (date == "error" || date == "either way") {
            QVERIFY(!result.categorised);
            const std::string why = date == "error" ? "' is not a date"
                                                    : "' reads as day/month/year and as "
                                                      "month/day/year: give --date-order dmy|mdy";
            QVERIFY2(result.note.starts_with("manufactured: '" + text.toStdString() + why),
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
        QTest::addColumn<QString>("on"); // "<no result>": no change
        QTest::addColumn<QString>("becomesByAOverD");
        QTest::addColumn<QString>("onByAOverD");
        const auto row = [](const char* tag, const char* radionuclide, const char* tbq,
                            const char* manufactured, int hour, const char* becomes, const char* on,
                            const char* becomesByAOverD, const char* onByAOverD) {
            QTest::newRow(tag) << QByteArray(radionuclide) << QByteArray(tbq)
                               << QByteArray(manufactured) << hour << QString(becomes)
                               << QString(on) << QString(becomesByAOverD) << QString(onByAOverD);
        };
        // clang-format off
        row("about 428 days", "Co-60", "0.35", "2026-12-07", 10, "3", "2028-02-09", "3", "2028-02-09");
        row("inclusive: at the bound stays", "Co-60", "0.3", "2026-12-17", 0, "3", "2026-12-18", "3", "2026-12-18");
        row("exclusive: at the bound leaves", "Cf-252", "0.2", "2026-12-17", 0, "3", "2026-12-17", "3", "2026-12-18");
        row("exclusive E", "Co-60", "1e-7", "2026-12-17", 0, "Exempted", "2026-12-17", "Exempted", "2026-12-17");
        row("by A/D, inclusive", "Se-75", "2", "2026-12-17", 0, "3", "2026-12-18", "3", "2026-12-18");
        row("first day is tomorrow", "Cf-252", "0.2", "2026-12-08", 10, "3", "2026-12-08", "3", "2026-12-09");
        row("by A/D, below the table", "Ir-192", "0.8", "2026-12-17", 0, "Not assigned", "2026-12-18", "3", "2026-12-18");
        row("Exempted stays", "Co-60", "1e-8", "2020-01-01", 0, "", "<no result>", "", "<no result>");
        row("category 5 by A/D stays", "Tm-170", "1", "2020-01-01", 0, "", "<no result>", "", "<no result>");
        row("A/D only, by its half-life", "P-32", "0.2", "2026-12-07", 0, "5", "2026-12-22", "5", "2026-12-22");
        row("A/D only, to Exempted", "Tc-99m", "2e-5", "2026-12-07", 0, "Exempted", "2026-12-08", "Exempted", "2026-12-08");
        row("after 9999", "Ra-226", "100", "2020-01-01", 0, "", "<no result>", "2", "4134-02-20");
        // clang-format on
    }
    void nextChange() {
        QFETCH(QByteArray, radionuclide);
        QFETCH(QByteArray, tbq);
        QFETCH(QByteArray, manufactured);
        QFETCH(int, hour);
        QFETCH(QString, becomes);
        QFETCH(QString, on);
        QFETCH(QString, becomesByAOverD);
        QFETCH(QString, onByAOverD);
        const SourceResult result = evaluate(radionuclide, tbq, "TBq", manufactured, {asOf(hour)});
        QVERIFY(result.categorised);
        QCOMPARE(result.note.find("only after 9999-12-31") != std::string::npos,
                 QTest::currentDataTag() == QByteArray("after 9999"));
        // Each change against the window's own rules on that day and the day before; by A/D,
        // Exempted at or below the exemption level.
        const Radionuclide& known = *RadionuclideTable::builtIn().named(result.radionuclide);
        const auto activityOn = [&](local_days day) {
            return *decayedActivityTBq(result.activityTBq, known.constantPerDay,
                                       elapsedDays(*result.manufactured, LocalTime{day}));
        };
        const auto categoryByAOverDOn = [&](local_days day) {
            return categoryByAOverDOf(known, activityOn(day));
        };
        const auto tableCategoryOn = [&](local_days day) -> std::string_view {
            return known.rows.empty() ? categoryByAOverDOn(day)
                                      : *categoriseActivity(known.rows, activityOn(day));
        };
        const auto check = [&](const std::optional<NextChange>& change, const QString& label,
                               const QString& date, const auto& categoryOn) {
            QCOMPARE(show(change ? std::optional{change->on} : std::nullopt), date);
            if (!change)
                return;
            QCOMPARE(dovrin::testing::show(change->label), label);
            const local_days day{change->on};
            QCOMPARE(dovrin::testing::show(categoryOn(day)), label);
            if (LocalTime{day - days{1}} >= asOf(hour))
                QVERIFY(categoryOn(day - days{1}) != change->label);
        };
        check(result.nextChange, becomes, on, tableCategoryOn);
        check(result.nextChangeByAOverD, becomesByAOverD, onByAOverD, categoryByAOverDOn);
    }

    // A row's duties: a text that cannot be read makes an error row that says why; the
    // exemption is judged on the due day's activity, or given by the status or form, and can be
    // turned off; an error row has no duties.
    void duties_data() {
        QTest::addColumn<QByteArray>("radionuclide");
        QTest::addColumn<QByteArray>("lastLeakTest");
        QTest::addColumn<QByteArray>("interval");
        QTest::addColumn<QByteArray>("workingLife");
        QTest::addColumn<QByteArray>("statusOrForm"); // "form: TEXT" for the form
        QTest::addColumn<bool>("exemptions");
        QTest::addColumn<QString>("due");    // leak_test_due
        QTest::addColumn<QString>("status"); // leak_test_status
        QTest::addColumn<QString>("ends");   // working_life_ends
        QTest::addColumn<QString>("note");
        const auto row = [](const char* tag, const char* radionuclide, const char* last,
                            const char* interval, const char* life, bool exemptions,
                            const char* due, const QString& status, const char* ends,
                            const char* note, const char* statusOrForm = "") {
            QTest::newRow(tag) << QByteArray(radionuclide) << QByteArray(last)
                               << QByteArray(interval) << QByteArray(life)
                               << QByteArray(statusOrForm) << exemptions << due << status << ends
                               << note;
        };
        // 3.8 MBq made on 2016-12-07: about 1 MBq of Co-60 in November 2026.
        const QString exempt =
            QString::fromUtf8("exempt: beta/gamma emitter of at most 3.7 MBq "
                              "(100 \u00B5Ci) on the due date (10 CFR 35.67(f)(3))");
        // As much Am-241 lies below the category table's range.
        const char* const belowTable =
            "the category table has no band for 3.74e-06 TBq of Am-241; category 5 by A/D";
        row("due in 31 days", "Co-60", "2026-07-07", "", "10", false, "2027-01-07", "not due",
            "2026-12-07", "");
        row("overdue", "Co-60", "2026-05-01", "", "", false, "2026-11-01", "overdue", "<no result>",
            "");
        row("exempt on the due day", "Co-60", "2026-05-01", "", "", true, "2026-11-01", exempt,
            "<no result>", "");
        row("alpha not exempt", "Am-241", "2026-11-20", "1 day", "", true, "2026-11-21", "overdue",
            "<no result>", belowTable);
        row("interval as schedules write it", "Co-60", "2026-05-01", "6 mo", "", false,
            "2026-11-01", "overdue", "<no result>", "");
        row("interval in years", "Am-241", "2025-12-20", "1 yr", "", true, "2026-12-20",
            "due within 30 days", "<no result>", belowTable);
        row("stored, not in use", "Am-241", "2025-12-20", "annual", "", true, "2026-12-20",
            "exempt while stored and not being used: test before any use or transfer unless "
            "tested within 6 months before it (10 CFR 35.67(f)(5))",
            "<no result>", belowTable, "Stored, not in use");
        row("in use", "Am-241", "2025-12-20", "annual", "", true, "2026-12-20",
            "due within 30 days", "<no result>", belowTable, "in use");
        row("seeds in nylon ribbon", "Ir-192", "2026-12-01", "quarterly", "", true, "2027-03-01",
            "exempt: seeds of Ir-192 encased in nylon ribbon (10 CFR 35.67(f)(4))", "<no result>",
            "", "form: Ir-192 seeds in nylon ribbon");
        row("bad interval", "Co-60", "2026-05-01", "12", "10", true, "<no result>", "",
            "<no result>",
            "leak_test_interval: '12' is not an interval (a whole number of days, weeks, months "
            "or years, as '6 months' or '1 yr', or annual, semi-annual, quarterly, monthly)");
        row("bad date and life", "Co-60", "2026-13-01", "", "7.5", true, "<no result>", "",
            "<no result>",
            "last_leak_test: '2026-13-01' is not a date (day/month/year or month/day/year or "
            "year-month-day); working_life: '7.5' is not a whole number of years from 1 to 100");
        row("error row", "Xx-1", "2026-05-01", "", "10", true, "<no result>", "", "<no result>",
            "unknown radionuclide 'Xx-1' (closest: H-3, C-14, P-32; --list-nuclides lists all)");
    }
    void duties() {
        QFETCH(QByteArray, radionuclide);
        QFETCH(QByteArray, lastLeakTest);
        QFETCH(QByteArray, interval);
        QFETCH(QByteArray, workingLife);
        QFETCH(QByteArray, statusOrForm);
        QFETCH(bool, exemptions);
        QFETCH(QString, due);
        QFETCH(QString, status);
        QFETCH(QString, ends);
        QFETCH(QString, note);
        Evaluation evaluation{asOf()};
        evaluation.duties.leakTestExemptions = exemptions;
        SourceText texts{view(radionuclide), "3.8", "MBq", "2016-12-07", {}};
        texts.duties = {view(lastLeakTest), view(interval), {}, {}, view(workingLife)};
        (statusOrForm.startsWith("form: ") ? texts.duties.form : texts.duties.status) =
            view(statusOrForm).substr(statusOrForm.startsWith("form: ") ? 6 : 0);
        const SourceResult result = evaluateSource(texts, evaluation);
        QCOMPARE(result.categorised,
                 radionuclide != "Xx-1" && !QByteArray(QTest::currentDataTag()).startsWith("bad"));
        QCOMPARE(show(result.duties.leakTest.on), due);
        QCOMPARE(dovrin::testing::show(leakTestStatusText(result.duties)), status);
        QCOMPARE(show(result.duties.workingLifeEnd.on), ends);
        QCOMPARE(dovrin::testing::show(result.note), note);
    }

    // The notes that say what a cell means: two different category numbers and the more severe,
    // an activity stated for a day after the as-of moment, and "Not assigned" below the table's
    // range. The categories themselves stay as they are.
    void notes_data() {
        QTest::addColumn<QByteArray>("radionuclide");
        QTest::addColumn<QByteArray>("tbq");
        QTest::addColumn<QByteArray>("manufactured");
        QTest::addColumn<QString>("note");
        const auto row = [](const char* tag, const char* radionuclide, const char* tbq,
                            const char* manufactured, const char* note) {
            QTest::newRow(tag) << QByteArray(radionuclide) << QByteArray(tbq)
                               << QByteArray(manufactured) << QString(note);
        };
        // clang-format off
        row("A/D more severe, at the top of 3", "Cf-252", "0.2", "",
            "category 3 by the table, 2 by A/D: the more severe is 2, by A/D; no date of manufacture: not decayed");
        row("A/D more severe, Sr-90's border", "Sr-90", "0.015", "2026-12-07",
            "category 5 by the table, 4 by A/D: the more severe is 4, by A/D");
        row("one number", "Co-60", "0.3", "2026-12-07", "");
        row("stated after the as-of moment", "Co-60", "1", "2027-01-05",
            "activity stated for 2027-01-05, after the as-of moment: decay-corrected backwards, higher than stated");
        row("stated on the as-of day", "Co-60", "1", "2026-12-07", "");
        row("Not assigned below category 2", "Ir-192", "1", "2026-12-01",
            "Not assigned from 2026-12-25 lies below the category table's range for category 2, not an unknown: category 3 by A/D on that day");
        row("Not assigned by the table, 2 by A/D", "Am-241/Be", "0.74", "2026-12-07",
            "the category table has no band for 0.74 TBq of Am-241/Be; category 2 by A/D");
        row("Ge-68's two D-values", "Ge-68", "0.001", "2026-12-07",
            "the category table rests on a D-value of 0.7 TBq, A/D on 0.07 TBq (StrlSchV 2018 Anlage 4 'Ge-68+'): the two differ by ten; category 5 by the table, 4 by A/D: the more severe is 4, by A/D");
        row("unlimited D-value", "U-238", "1", "",
            "no category table for U-238: categorised by A/D only; the D-value of U-238 is 'UL', unlimited (StrlSchV 2018 Anlage 4): no quantity is dangerous, A/D is 0; no date of manufacture: not decayed");
        // clang-format on
    }
    void notes() {
        QFETCH(QByteArray, radionuclide);
        QFETCH(QByteArray, tbq);
        QFETCH(QByteArray, manufactured);
        QFETCH(QString, note);
        const SourceResult result = evaluate(radionuclide, tbq, "TBq", manufactured);
        QVERIFY(result.categorised);
        QCOMPARE(QString::fromStdString(result.note), note);
        if (QTest::currentDataTag() == QByteArray("stated after the as-of moment"))
            QVERIFY(result.currentActivityTBq > result.activityTBq);
        if (QTest::currentDataTag() == QByteArray("unlimited D-value")) {
            QCOMPARE(result.aOverD, 0.0);
            QCOMPARE(dovrin::testing::show(result.categoryByAOverD), QString("5"));
        }
    }

    // A category a person recorded differs when it is neither category by A/D, of the initial
    // or of the current activity; blanks around it and letter case do not count.
    void recordedCategory_data() {
        QTest::addColumn<QByteArray>("source"); // radionuclide, TBq, manufactured or -
        QTest::addColumn<QByteArray>("recorded");
        QTest::addColumn<bool>("differs");
        // clang-format off
        QTest::newRow("as now") << QByteArray("Co-60 1 -") << QByteArray("2") << false;
        QTest::newRow("as initially") << QByteArray("Co-60 0.35 2020-01-01") << QByteArray("2") << false;
        QTest::newRow("as now, decayed") << QByteArray("Co-60 0.35 2020-01-01") << QByteArray("3") << false;
        QTest::newRow("blanks and case") << QByteArray("Co-60 1e-8 -") << QByteArray(" exempted ") << false;
        QTest::newRow("100 Bq recorded as 1") << QByteArray("Cs-137 1e-10 -") << QByteArray("1") << true;
        QTest::newRow("the table's, not A/D's") << QByteArray("Cf-252 0.2 -") << QByteArray("3") << true;
        QTest::newRow("nothing recorded") << QByteArray("Cs-137 1e-10 -") << QByteArray(" ") << false;
        // clang-format on
    }
    void recordedCategory() {
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, recorded);
        QFETCH(bool, differs);
        const QList<QByteArray> parts = source.split(' ');
        const SourceResult result =
            evaluate(parts[0], parts[1], "TBq", parts[2] == "-" ? QByteArray() : parts[2], {asOf()},
                     recorded);
        QCOMPARE(result.recordedCategoryDiffers, differs);
    }

    // Sources kept together: error rows counted but not summed; exempt together only when the
    // sum of A/E is at most 1, every exemption level known; otherwise the category of the sum
    // of A/D, which may be more severe than any single source.
    void locations_data() {
        // "radionuclide activity-in-TBq", or "N radionuclide activity-in-TBq" for N such sources
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<int>("errors");
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("mostSevere");
        QTest::addColumn<bool>("raised");
        // clang-format off
        QTest::newRow("three of 3 make a 2") << QStringList{"Co-60 0.2", "Co-60 0.2", "Cs-137 0.7", "Cobalt 1"} << 1 << "2" << "3" << true;
        QTest::newRow("a 2 keeps 2") << QStringList{"Co-60 0.3", "Co-60 0.001"} << 0 << "2" << "2" << false;
        QTest::newRow("A/E 1 in all") << QStringList{"Co-60 1e-7", "Cs-137 0"} << 0 << "Exempted" << "Exempted" << false;
        QTest::newRow("A/E 0.8 in all") << QStringList{"2 Co-60 4e-8"} << 0 << "Exempted" << "Exempted" << false;
        QTest::newRow("A/E 1.2 in all") << QStringList{"3 Co-60 4e-8"} << 0 << "5" << "Exempted" << true;
        QTest::newRow("10,000 exempt sources") << QStringList{"10000 Co-60 1e-7"} << 0 << "4" << "Exempted" << true;
        QTest::newRow("exempted and 5") << QStringList{"Co-60 1e-7", "Co-60 2e-7"} << 0 << "5" << "5" << false;
        QTest::newRow("no exemption level for Se-75") << QStringList{"Co-60 1e-9", "Se-75 1e-12"} << 0 << "5" << "5" << false;
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
        std::size_t count = 0;
        for (const QString& source : sources) {
            QStringList parts = source.split(' ');
            const int times = parts.size() == 3 ? parts.takeFirst().toInt() : 1;
            const SourceResult result = evaluate(parts[0].toUtf8(), parts[1].toUtf8(), "TBq");
            for (int i = 0; i < times; ++i, ++count) {
                sum += result.categorised ? result.aOverD : 0;
                totals.add("store", result);
            }
            totals.add("elsewhere", evaluate("Co-60", "1000", "TBq")); // kept apart, in order
        }
        QCOMPARE(totals.locations().size(), std::size_t{2});
        QCOMPARE(totals.locations()[0].sources, static_cast<std::size_t>(sources.size() + 1));
        const LocationTotal& store = totals.locations()[1];
        QCOMPARE(store.location, std::string("store"));
        QCOMPARE(store.sources, count);
        QCOMPARE(store.sourcesWithErrors, static_cast<std::size_t>(errors));
        COMPARE_EXACT(store.sumAOverD, sum);
        QCOMPARE(dovrin::testing::show(store.categoryByAOverD()), category);
        QCOMPARE(dovrin::testing::show(store.mostSevereSingleCategory), mostSevere);
        QCOMPARE(store.raisedByAggregation(), raised);
    }

    // The US NRC's sums of fractions over a location, against 10 CFR 37 Appendix A, Table 1
    // worked by hand: Co-60's thresholds are 30 and 0.3 TBq, Cs-137's 100 and 1 TBq; Kr-85 is
    // not in the table.
    void nrcSums_data() {
        QTest::addColumn<QStringList>("sources"); // "radionuclide activity-in-TBq"
        QTest::addColumn<double>("category1");
        QTest::addColumn<double>("category2");
        QTest::addColumn<QString>("quantity");
        // clang-format off
        QTest::newRow("Co-60 and Cs-137: category 2") << QStringList{"Co-60 0.15", "Cs-137 0.6"} << 0.011 << 1.1 << "2";
        QTest::newRow("just under") << QStringList{"Co-60 0.15", "Cs-137 0.4"} << 0.009 << 0.9 << "";
        QTest::newRow("category 1 at its threshold") << QStringList{"Co-60 30"} << 1.0 << 100.0 << "1";
        QTest::newRow("Kr-85 counts for nothing") << QStringList{"Kr-85 3000"} << 0.0 << 0.0 << "";
        // clang-format on
    }
    void nrcSums() {
        QFETCH(QStringList, sources);
        QFETCH(double, category1);
        QFETCH(double, category2);
        QFETCH(QString, quantity);
        LocationTotals totals;
        for (const QString& source : sources) {
            const QStringList parts = source.split(' ');
            totals.add("vault", evaluate(parts[0].toUtf8(), parts[1].toUtf8(), "TBq"));
        }
        const LocationTotal& vault = totals.locations().front();
        QCOMPARE(vault.nrcFractionCategory1, category1); // QCOMPARE on doubles is fuzzy
        QCOMPARE(vault.nrcFractionCategory2, category2);
        QCOMPARE(dovrin::testing::show(vault.nrcQuantity()), quantity);
    }
};

QTEST_APPLESS_MAIN(TestSource)
#include "tst_source.moc"
