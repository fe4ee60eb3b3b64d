// Decay from the date of manufacture: the decay constants, reading the date, the elapsed
// days against a set clock, and the current activity with its display texts.

#include <QTest>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "decay.h"
#include "number_text.h"
#include "test_support.h"

using namespace dovrin;
using namespace dovrin::testing;
using namespace std::chrono;

namespace {

LocalTime at(int y, unsigned m, unsigned d, int h = 0, int min = 0, int s = 0, int ms = 0) {
    return LocalTime{local_days{year{y} / month{m} / day{d}}} + hours{h} + minutes{min} +
           seconds{s} + milliseconds{ms};
}

double halfLife(double constant) {
    return std::log(2.0) / constant;
}

} // namespace

Q_DECLARE_METATYPE(dovrin::LocalTime)

class TestDecay : public QObject {
    Q_OBJECT

private slots:
    void constantsAndHalfLives_data() {
        QTest::addColumn<QByteArray>("radionuclide");
        QTest::addColumn<double>("mantissa");
        QTest::addColumn<int>("exponent");
        QTest::addColumn<double>("halfLifeDays");
        const auto add = [](const char* name, double mantissa, int exponent, double days) {
            QTest::newRow(name) << QByteArray(name) << mantissa << exponent << days;
        };
        add("Co-60", 3.6, -4, 1925.4);
        add("Ge-68", 2.4, -3, 288.8);
        add("Sr-90", 6.5, -5, 10663.8);
        add("Cs-137", 6.33, -5, 10950.2);
        add("Pu-238", 2.16, -5, 32090.1);
        add("Ir-192", 9.36, -3, 74.1);
        add("Se-75", 5.785, -3, 119.8);
        add("Yb-169", 2.165, -2, 32.0);
        add("Am-241", 4.393, -6, 157784.5);
        add("Am-241/Be", 4.393, -6, 157784.5);
        add("Cf-252", 7.19, -4, 964.0);
        add("Tm-170", 5.388, -3, 128.6);
        add("Kr-85", 1.7711, -4, 3913.7);
        add("Ra-226", 1.18664, -6, 584125.9);
        add("I-125", 1.15323, -2, 60.1);
        add("Po-210", 5.008, -3, 138.4);
        add("Co-57", 2.5581, -3, 271.0);
    }
    void constantsAndHalfLives() {
        QFETCH(QByteArray, radionuclide);
        QFETCH(double, mantissa);
        QFETCH(int, exponent);
        QFETCH(double, halfLifeDays);
        // The power of ten first (the double nearest it), then the mantissa.
        const double powerOfTen = std::strtod(("1e" + std::to_string(exponent)).c_str(), nullptr);
        const std::optional<double> constant = decayConstantOf(view(radionuclide));
        QVERIFY(constant);
        COMPARE_EXACT(*constant, powerOfTen * mantissa);
        QVERIFY2(std::abs(std::log(2.0) / *constant - halfLifeDays) <= 0.05 + 1e-9,
                 qPrintable(show(std::log(2.0) / *constant)));
    }

    void decayLookupIsExact() {
        for (const char* name :
             {"", "co-60", "CO-60", " Co-60", "Co-60 ", "Ir192", "Am-241/be", "Am241", "Cs137"})
            QVERIFY2(!decayConstantOf(name), name);
    }

    void readDate_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("currentYear");
        QTest::addColumn<QString>("date"); // empty: no result
        const auto row = [](const char* text, const char* date, int currentYear = 2026) {
            QTest::addRow("%s in %d", text, currentYear)
                << QByteArray(text) << currentYear << QString(date);
        };
        row("12/07/2026", "2026-12-07");
        row("2/3/2010", "2010-02-03");
        row("02/03/2010", "2010-02-03");
        row("2-3-2010", "2010-02-03");
        row("02-03-10", "2010-02-03");
        row("2010-02-03", "2010-02-03");
        row("  12/07/2026  ", "2026-12-07");
        row("\t12/07/2026\n", "2026-12-07"); // the blanks the number reader skips too
        row("12/07/26", "2026-12-07");
        row("12/31/26", "2026-12-31");
        row("01/15/27", "1927-01-15");
        row("01/15/00", "2000-01-15");
        row("03/04/00", "2000-03-04", 2000);
        row("03/04/01", "1901-03-04", 2000);
        row("02/29/2024", "2024-02-29");
        row("02/29/2000", "2000-02-29");
        row("02/29/00", "2000-02-29");
        row("2024-02-29", "2024-02-29");
        row("02/29/2023", "");
        row("02/29/1900", "");
        row("2023-02-29", "");
        row("02/30/2021", "");
        row("13/01/2020", "");
        row("00/10/2020", "");
        row("01/00/2020", "");
        row("2020-13-01", "");
        row("yesterday", "");
        row("", "");
        row("   ", "");
        row("12/07", "");
        row("12/07/2026x", "");
        row("12.07.2026", "");
        row("12/07/126", "");
        row("1/2/3", "");
        row("12 /07/2026", "");
    }
    void readDate() {
        QFETCH(QByteArray, text);
        QFETCH(int, currentYear);
        QFETCH(QString, date);
        const std::optional<year_month_day> read = dovrin::readDate(view(text), year{currentYear});
        QCOMPARE(show(read), date.isEmpty() ? QStringLiteral("<no result>") : date);
    }

    void elapsedDays_data() {
        QTest::addColumn<QString>("manufactured");
        QTest::addColumn<LocalTime>("now");
        QTest::addColumn<double>("days");
        // clang-format off
        QTest::newRow("today 06:00") << "2026-12-07" << at(2026, 12, 7, 6) << -0.25;
        QTest::newRow("today midnight") << "2026-12-07" << at(2026, 12, 7) << 0.0;
        QTest::newRow("today last ms") << "2026-12-07" << at(2026, 12, 7, 23, 59, 59, 999) << -86399.999 / 86400;
        QTest::newRow("yesterday") << "2026-12-06" << at(2026, 12, 7) << -1.0;
        QTest::newRow("tomorrow") << "2026-12-08" << at(2026, 12, 7, 12) << 0.5;
        QTest::newRow("across a clock change") << "2026-03-01" << at(2026, 4, 1) << -31.0;
        QTest::newRow("leap day") << "2024-02-28" << at(2024, 3, 1) << -2.0;
        QTest::newRow("ten years") << "2016-01-01" << at(2026, 1, 1, 18) << -3653.75;
        // clang-format on
    }
    void elapsedDays() {
        QFETCH(QString, manufactured);
        QFETCH(LocalTime, now);
        QFETCH(double, days);
        const std::optional<year_month_day> date =
            dovrin::readDate(manufactured.toStdString(), year{2026});
        QVERIFY(date);
        const double t = dovrin::elapsedDays(*date, now);
        QVERIFY2(std::abs(t - days) <= 1e-9, qPrintable(show(t)));
    }

    void currentActivity_data() {
        QTest::addColumn<double>("initial");
        QTest::addColumn<double>("constant");
        QTest::addColumn<double>("t");
        QTest::addColumn<double>("tbq"); // NaN: only close to initial * e^(constant * t)
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("tooltip");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double co60 = 3.6e-4, ir192 = 9.36e-3;
        const QString half = "5.00E+02 GBq  , 5.00E+05 MBq  , 5.00E+08 kBq  , 5.00E+11 Bq ";
        const QString ir = "1.85E+01 GBq  , 1.85E+04 MBq  , 1.85E+07 kBq  , 1.85E+10 Bq ";
        const QString curie = "3.70E+01 GBq  , 3.70E+04 MBq  , 3.70E+07 kBq  , 3.70E+10 Bq ";
        const auto row = [](const char* name, double initial, double constant, double t, double tbq,
                            const char* shown, const QString& tooltip) {
            QTest::newRow(name) << initial << constant << t << tbq << QString(shown) << tooltip;
        };
        // clang-format off
        row("Co-60 -1925.4", 1.0, co60, -1925.4, nan, "5.00E-01", half);
        row("Co-60 one half-life", 1.0, co60, -halfLife(co60), 0.5, "5.00E-01", half);
        row("Ir-192 -74.1", 0.037, ir192, -74.1, nan, "1.85E-02", ir);
        row("Ir-192 one half-life", 0.037, ir192, -halfLife(ir192), 0.0185, "1.85E-02", ir);
        row("Cs-137 -0.4", 0.037, 6.33e-5, -0.4, nan, "3.70E-02", curie);
        row("Ra-226 ten half-lives", 1.0, 1.18664e-6, -10 * halfLife(1.18664e-6), 0.0009765625, "9.77E-04", "9.77E-01 GBq  , 9.77E+02 MBq  , 9.77E+05 kBq  , 9.77E+08 Bq ");
        row("future date", 1.0, co60, halfLife(co60), 2.0, "2.00E+00", "2.00E+03 GBq  , 2.00E+06 MBq  , 2.00E+09 kBq  , 2.00E+12 Bq ");
        row("no activity", 0.0, co60, -100.0, 0.0, "0.00E+00", zeroTooltip);
        row("no radionuclide", 0.037, 0.0, -5000.0, 0.037, "3.70E-02", curie);
        row("very old date", 1.0, 2.165e-2, -50000.0, 0.0, "0.00E+00", zeroTooltip);
        // clang-format on
    }
    void currentActivity() {
        QFETCH(double, initial);
        QFETCH(double, constant);
        QFETCH(double, t);
        QFETCH(double, tbq);
        QFETCH(QString, shown);
        QFETCH(QString, tooltip);
        const std::optional<CurrentActivity> current =
            dovrin::currentActivity(initial, constant, t);
        QVERIFY(current);
        const double exact = initial * std::exp(constant * t);
        QVERIFY2(std::abs(current->tbq - exact) <= 1e-13 * std::abs(exact),
                 qPrintable(show(current->tbq)));
        COMPARE_EXACT(fifteenDigits(current->tbq), current->tbq);
        if (!std::isnan(tbq))
            COMPARE_EXACT(current->tbq, tbq);
        QCOMPARE(show(current->shownText), shown);
        QCOMPARE(show(current->tooltip), tooltip);
    }

    void currentActivityRefused_data() {
        QTest::addColumn<double>("initial");
        QTest::addColumn<double>("constant");
        QTest::addColumn<double>("t");
        QTest::newRow("factor overflows") << 1.0 << 2.165e-2 << 1e6;
        QTest::newRow("factor overflows, no activity") << 0.0 << 2.165e-2 << 1e6;
        QTest::newRow("TBq overflows") << 1e300 << 1e-2 << 2000.0;
        QTest::newRow("Bq overflows") << 1e297 << 0.0 << -1.0;
        QTest::newRow("negative Bq overflows") << -1e300 << 0.0 << 0.0;
    }
    void currentActivityRefused() {
        QFETCH(double, initial);
        QFETCH(double, constant);
        QFETCH(double, t);
        QVERIFY(!dovrin::currentActivity(initial, constant, t));
    }
};

QTEST_APPLESS_MAIN(TestDecay)
#include "tst_decay.moc"
