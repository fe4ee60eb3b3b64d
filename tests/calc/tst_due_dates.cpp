// The recurring duties: intervals as typed, month ends and leap years, due today against overdue,
// and the leak-test exemptions at their bounds.

#include <QTest>

#include <chrono>
#include <cmath>
#include <limits>

#include "decay.h"
#include "due_dates.h"
#include "test_support.h"

using namespace dovrin;
using namespace dovrin::testing;
using namespace std::chrono;

namespace {

year_month_day date(const QString& iso) {
    const auto read = readDate(iso.toStdString(), year{2026});
    if (!read)
        qFatal("bad date in the test: %s", qPrintable(iso));
    return *read;
}

LocalTime at(const QString& iso, int hour = 0, int minute = 0) {
    return LocalTime{local_days{date(iso)}} + hours{hour} + minutes{minute};
}

} // namespace

Q_DECLARE_METATYPE(dovrin::LocalTime)

class TestDueDates : public QObject {
    Q_OBJECT

private slots:
    // Clear spellings of months and days only; nothing else is guessed at.
    void intervalsAsTyped_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("count"); // 0: no result
        QTest::addColumn<bool>("months");
        const auto row = [](const char* text, int count, bool months = true) {
            QTest::newRow(text) << QByteArray(text) << count << months;
        };
        row("6 months", 6);
        row("1 month", 1);
        row(" 3 Months ", 3);
        row("6months", 6);
        row("180 days", 180, false);
        row("1 DAY", 1, false);
        row("9999 days", 9999, false);
        row("6 mo", 6);
        row("1 year", 12);
        row("2 Yrs", 24);
        row("6 weeks", 42, false);
        row("annual", 12);
        row("Semi-annual", 6);
        row("quarterly", 3);
        row("monthly", 1);
        row("834 years", 0); // beyond 9999 months
        row("1.5 months", 0);
        row("0 months", 0);
        row("-6 months", 0);
        row("+6 months", 0);
        row("10000 days", 0);
        row("6", 0);
        row("months", 0);
        row("12 parsecs", 0);
        row("1.5 years", 0);
        row("6 months ago", 0);
        row("", 0);
    }
    void intervalsAsTyped() {
        QFETCH(QByteArray, text);
        QFETCH(int, count);
        QFETCH(bool, months);
        const auto read = readInterval(view(text));
        if (count == 0) {
            QVERIFY(!read);
            return;
        }
        QVERIFY(read);
        QCOMPARE(read->count, count);
        QCOMPARE(read->unit == Interval::Unit::months, months);
    }

    // A month without the day takes its last day; days cross month and year ends; nothing after
    // 9999-12-31 is given.
    void monthEndsAndLeapYears_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QByteArray>("interval");
        QTest::addColumn<QString>("due");
        const auto row = [](const char* from, const char* interval, const char* due) {
            QTest::addRow("%s + %s", from, interval) << from << QByteArray(interval) << due;
        };
        row("2024-08-31", "6 months", "2025-02-28");
        row("2023-08-31", "6 months", "2024-02-29");
        row("2024-01-31", "1 month", "2024-02-29");
        row("2024-03-31", "1 month", "2024-04-30");
        row("2024-02-29", "12 months", "2025-02-28");
        row("2024-02-29", "48 months", "2028-02-29");
        row("2024-10-15", "3 months", "2025-01-15");
        row("2024-08-31", "180 days", "2025-02-27");
        row("2024-02-28", "1 day", "2024-02-29");
        row("2023-02-28", "1 day", "2023-03-01");
        row("9999-06-30", "6 months", "9999-12-30");
        row("9999-07-01", "6 months", "<no result>");
        row("9999-12-31", "1 day", "<no result>");
    }
    void monthEndsAndLeapYears() {
        QFETCH(QString, from);
        QFETCH(QByteArray, interval);
        QFETCH(QString, due);
        const auto read = readInterval(view(interval));
        QVERIFY(read);
        QCOMPARE(show(addInterval(date(from), *read)), due);
    }

    // Whole years from the date of manufacture; a fraction is refused, not rounded.
    void workingLife_data() {
        QTest::addColumn<QByteArray>("years");
        QTest::addColumn<QString>("manufactured");
        QTest::addColumn<QString>("ends");
        const auto row = [](const char* years, const char* manufactured, const char* ends) {
            QTest::addRow("%s from %s", years, manufactured)
                << QByteArray(years) << manufactured << ends;
        };
        row("10", "2016-05-17", "2026-05-17");
        row("15 years", "2016-05-17", "2031-05-17");
        row("1 Year", "2024-02-29", "2025-02-28");
        row("4", "2024-02-29", "2028-02-29");
        row("100", "9950-01-01", "<no result>");
        row("7.5", "2016-05-17", "<refused>");
        row("0", "2016-05-17", "<refused>");
        row("101", "2016-05-17", "<refused>");
        row("10 months", "2016-05-17", "<refused>");
        row("ten", "2016-05-17", "<refused>");
    }
    void workingLife() {
        QFETCH(QByteArray, years);
        QFETCH(QString, manufactured);
        QFETCH(QString, ends);
        const auto read = readWorkingLifeYears(view(years));
        if (ends == "<refused>") {
            QVERIFY(!read);
            return;
        }
        QVERIFY(read);
        QCOMPARE(show(workingLifeEnd(date(manufactured), *read)), ends);
    }

    // The as-of day decides, not the hour: due today is due within 30 days until midnight.
    void dueTodayAgainstOverdue_data() {
        QTest::addColumn<QString>("due");
        QTest::addColumn<LocalTime>("asOf");
        QTest::addColumn<QString>("status");
        const auto row = [](const char* tag, const char* due, LocalTime asOf, const char* status) {
            QTest::newRow(tag) << due << asOf << status;
        };
        row("due today, last minute", "2026-12-07", at("2026-12-07", 23, 59), "due within 30 days");
        row("due yesterday", "2026-12-07", at("2026-12-08"), "overdue");
        row("in 30 days", "2027-01-06", at("2026-12-07", 18), "due within 30 days");
        row("in 31 days", "2027-01-07", at("2026-12-07"), "not due");
        row("a year ago", "2025-12-07", at("2026-12-07"), "overdue");
    }
    void dueTodayAgainstOverdue() {
        QFETCH(QString, due);
        QFETCH(LocalTime, asOf);
        QFETCH(QString, status);
        QCOMPARE(show(statusText(dueStatus(date(due), asOf))), status);
    }

    // The four exemptions at their bounds: a half-life below 30 days, a gas, at most 3.7 MBq of
    // a beta or gamma emitter, at most 0.37 MBq of an alpha emitter.
    void exemptionBounds_data() {
        QTest::addColumn<QByteArray>("radionuclide");
        QTest::addColumn<double>("halfLife");
        QTest::addColumn<double>("tbq");
        QTest::addColumn<QString>("reason"); // the start of the reason; empty: to be tested
        const double large = 1.0;
        const double above = std::numeric_limits<double>::infinity();
        const auto row = [](const char* tag, const char* radionuclide, double halfLife, double tbq,
                            const char* reason) {
            QTest::newRow(tag) << QByteArray(radionuclide) << halfLife << tbq << QString(reason);
        };
        row("half-life 29.99 days", "Xx-1", 29.99, large, "exempt: half-life of less than 30");
        row("half-life 30 days", "Xx-1", 30.0, large, "");
        row("gas", "Kr-85", 3913.7, large, "exempt: only radioactive material as a gas");
        row("beta/gamma at 3.7 MBq", "Co-60", 1925.4, 3.7e-6, "exempt: beta/gamma emitter");
        row("beta/gamma above 3.7 MBq", "Co-60", 1925.4, std::nextafter(3.7e-6, above), "");
        row("alpha at 0.37 MBq", "Am-241", 157784.5, 3.7e-7, "exempt: alpha emitter");
        row("alpha above 0.37 MBq", "Am-241", 157784.5, std::nextafter(3.7e-7, above), "");
        row("alpha at 1 MBq", "Am-241", 157784.5, 1e-6, "");
        row("beta/gamma at 1 MBq", "Cs-137", 10950.2, 1e-6, "exempt: beta/gamma emitter");
        row("Am-241/Be is alpha", "Am-241/Be", 157784.5, 1e-6, "");
        row("Cf-252 is alpha", "Cf-252", 964.0, 3.7e-7, "exempt: alpha emitter");
    }
    void exemptionBounds() {
        QFETCH(QByteArray, radionuclide);
        QFETCH(double, halfLife);
        QFETCH(double, tbq);
        QFETCH(QString, reason);
        const auto exemption = leakTestExemption({view(radionuclide), halfLife, tbq});
        if (reason.isEmpty()) {
            QVERIFY2(!exemption, qPrintable(show(exemption.value_or(""))));
            return;
        }
        QVERIFY(exemption);
        QVERIFY2(show(*exemption).startsWith(reason), qPrintable(show(*exemption)));
    }

    // Decay between two due dates earns the exemption: the source is tested at the first and
    // not at the second.
    void exemptionEarnedByDecay_data() {
        QTest::addColumn<QByteArray>("radionuclide");
        QTest::addColumn<double>("initialTBq");
        QTest::addColumn<QString>("due");
        QTest::addColumn<bool>("exempt");
        // Co-60 from 4 MBq on 2020-01-01 passes 3.7 MBq in August 2020; Po-210 from 0.5 MBq
        // passes 0.37 MBq in early March 2020.
        QTest::newRow("Co-60 on 2020-06-01")
            << QByteArray("Co-60") << 4e-6 << "2020-06-01" << false;
        QTest::newRow("Co-60 on 2020-12-01") << QByteArray("Co-60") << 4e-6 << "2020-12-01" << true;
        QTest::newRow("Po-210 on 2020-01-31")
            << QByteArray("Po-210") << 5e-7 << "2020-01-31" << false;
        QTest::newRow("Po-210 on 2020-04-01")
            << QByteArray("Po-210") << 5e-7 << "2020-04-01" << true;
    }
    void exemptionEarnedByDecay() {
        QFETCH(QByteArray, radionuclide);
        QFETCH(double, initialTBq);
        QFETCH(QString, due);
        QFETCH(bool, exempt);
        const double constant = decayConstantOf(view(radionuclide)).value();
        const auto tbq =
            decayedActivityTBq(initialTBq, constant,
                               elapsedDays(date("2020-01-01"), LocalTime{local_days{date(due)}}));
        QVERIFY(tbq);
        const auto exemption =
            leakTestExemption({view(radionuclide), halfLifeDays(constant), *tbq});
        QCOMPARE(exemption.has_value(), exempt);
    }
};

QTEST_APPLESS_MAIN(TestDueDates)
#include "tst_due_dates.moc"
