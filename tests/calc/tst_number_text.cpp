// The number texts of the window: numberText, readNumber, formatScientific and the activity
// tooltip. Expected texts are written out by hand; the random checks compare with the C
// library's own decimal forms, which are correctly rounded.

#include <QTest>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "number_text.h"
#include "test_facts.h"
#include "test_support.h"

using namespace dovrin;
using namespace dovrin::testing;
using namespace dovrin::facts;

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double smallestSubnormal = std::numeric_limits<double>::denorm_min();

// The value carried to 15 significant digits, by the C library.
double fifteenDigitReference(double value) {
    return std::strtod(printed("%.14e", value).c_str(), nullptr);
}

// Finite values of every kind: random bit patterns, log-uniform magnitudes of either sign,
// and texts of 15 digits or of three digits and a 5 (the ties of the display pattern).
std::vector<double> randomValues() {
    std::mt19937_64 random(20260512);
    std::vector<double> values;
    std::uniform_real_distribution<double> log10Magnitude(-320, 308);
    std::uniform_int_distribution<long long> fifteenDigits(100000000000000, 999999999999999);
    std::uniform_int_distribution<int> threeDigits(100, 999), exponent(-300, 300);
    while (values.size() < 8000) {
        const double bits = std::bit_cast<double>(random());
        if (std::isfinite(bits) && bits != 0)
            values.push_back(bits);
        const double magnitude = std::pow(10.0, log10Magnitude(random));
        if (magnitude != 0 && std::isfinite(magnitude))
            values.push_back(random() % 2 ? magnitude : -magnitude);
        const std::string decimal =
            std::to_string(fifteenDigits(random)) + "e" + std::to_string(exponent(random));
        const double decimalValue = std::strtod(decimal.c_str(), nullptr);
        if (std::isfinite(decimalValue))
            values.push_back(decimalValue);
        const std::string tie =
            std::to_string(threeDigits(random)) + "5e" + std::to_string(exponent(random));
        values.push_back(std::strtod(tie.c_str(), nullptr));
    }
    return values;
}

} // namespace

class TestNumberText : public QObject {
    Q_OBJECT

private slots:
    void numberText_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        const auto row = [](const char* name, double value, const char* text) {
            QTest::newRow(name) << value << QString(text);
        };
        row("zero", 0.0, "0");
        row("negative zero", -0.0, "0");
        row("binary noise dropped", 0.1 + 0.2, "0.3");
        row("mCi product", 0.0036999999999999997, "0.0037");
        row("16-digit integer", 1234567890123456.0, "1.23456789012346E+15");
        row("1e15", 1e15, "1E+15");
        row("carry to 1e15", 999999999999999.9, "1E+15");
        row("0.0001 plain", 0.0001, "0.0001");
        row("carry to 0.0001", 0.00009999999999999995, "0.0001");
        row("1e-5 exponent", 0.00001, "1E-05");
        row("3.7e-8", 3.7e-8, "3.7E-08");
        row("1.5e20", 1.5e20, "1.5E+20");
        row("smallest subnormal", smallestSubnormal, "4.94065645841247E-324");
        row("infinity", inf, "Infinity");
        row("minus infinity", -inf, "-Infinity");
        row("NaN", notANumber, "NaN");
    }
    void numberText() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(show(dovrin::numberText(value)), text);
    }

    // Digits and the choice of the exponent form are those of "%.15G".
    void numberTextOfRandomValues() {
        for (const double value : randomValues()) {
            if (!std::isfinite(fifteenDigitReference(value)))
                continue; // the very top of the range has no 15-digit text
            const std::string expected = printed("%.15G", value);
            QVERIFY2(dovrin::numberText(value) == expected,
                     qPrintable(show(value) + " gives " + show(dovrin::numberText(value))));
        }
    }

    void readNumber_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("found");
        QTest::addColumn<int>("end");
        QTest::addColumn<bool>("finite");
        const auto row = [](const char* name, const QByteArray& text, double value, bool found,
                            int end, bool finite = true) {
            QTest::newRow(name) << text << value << found << end << finite;
        };
        row("empty", "", 0, false, 0);
        row("letters", "abc", 0, false, 0);
        row("blanks only", "   ", 0, false, 0);
        row("point only", ".", 0, false, 0);
        row("sign only", "-", 0, false, 0);
        row("exponent without digits", "+e5", 0, false, 0);
        row("point and exponent", ".e3", 0, false, 0);
        row("Infinity", "Infinity", 0, false, 0);
        row("NaN", "NaN", 0, false, 0);
        row("integer", "42", 42, true, 2);
        row("leading blanks", "   42", 42, true, 5);
        row("minus", "-3", -3, true, 2);
        row("plus", "+3", 3, true, 2);
        row("blank after sign", "- 3", -3, true, 3);
        row("blank inside", "1 000", 1000, true, 5);
        row("tab and line feed inside", "1\t0\n0", 100, true, 5);
        row("blank before point", "1 .5", 1.5, true, 4);
        row("trailing blank not part", "12 ", 12, true, 2);
        row("stops at letter", "12abc", 12, true, 2);
        row("comma stops", "1,5", 1, true, 1);
        row("second point stops", "1.2.3", 1.2, true, 3);
        row("leading point", ".5", 0.5, true, 2);
        row("trailing point", "5.", 5, true, 2);
        row("nearest double to 0.0037", "0.0037", 0.0037, true, 6);
        row("exponent form", "1.369E-06", 1.369e-6, true, 9);
        row("small e", "1e3", 1000, true, 3);
        row("exponent then letter", "2.5E-3x", 0.0025, true, 6);
        row("blank before exponent", "1 e3", 1000, true, 4);
        row("e without digits", "1e", 1, true, 1);
        row("e and sign without digits", "7e+x", 7, true, 1);
        row("largest exponent in range", "1e308", 1e308, true, 5);
        row("overflow", "1e999", inf, true, 5, false);
        row("negative overflow", "-1e999", -inf, true, 6, false);
        row("huge exponent", "1e99999999999999999999", inf, true, 22, false);
        row("310 digits", "1" + QByteArray(309, '0'), inf, true, 310, false);
        row("underflow", "1e-999", 0, true, 6);
        row("negative underflow", "-1e-999", -0.0, true, 7);
        row("403 digits below one", "0." + QByteArray(400, '0') + "1", 0, true, 403);
        row("long fraction and exponent", "0." + QByteArray(400, '0') + "1e401", 1, true, 407);
        row("long integer and exponent", "1" + QByteArray(400, '0') + "e-400", 1, true, 406);
        row("subnormal", "1e-320", 1e-320, true, 6);
        row("zero with huge exponent", "0e999", 0, true, 5);
    }
    void readNumber() {
        QFETCH(QByteArray, text);
        QFETCH(double, value);
        QFETCH(bool, found);
        QFETCH(int, end);
        QFETCH(bool, finite);
        const NumberRead read = dovrin::readNumber(view(text));
        COMPARE_EXACT(read.value, value);
        QCOMPARE(read.found, found);
        QCOMPARE(read.end, static_cast<std::size_t>(end));
        QCOMPARE(read.finite, finite);
    }

    // What numberText writes, readNumber reads back to 15 significant digits; a value that
    // is itself a 15-digit decimal comes back exactly.
    void roundTrip() {
        std::vector<double> values = randomValues();
        values.insert(values.end(), {0.0, 1.0, -1.0, 0.0037, 1.369e-6, 0.0036999999999999997,
                                     std::numeric_limits<double>::min(),
                                     std::numeric_limits<double>::denorm_min(), 1e-320});
        for (const double value : values) {
            const std::string text = dovrin::numberText(value);
            const NumberRead read = dovrin::readNumber(text);
            const double expected = fifteenDigitReference(value);
            if (!std::isfinite(expected))
                continue; // above 1.797693134862315E+308 no 15-digit decimal is a double
            QVERIFY2(read.found && read.finite && read.end == text.size(), text.c_str());
            COMPARE_EXACT(read.value, expected);
            COMPARE_EXACT(dovrin::fifteenDigits(value), expected);
            QCOMPARE(show(dovrin::numberText(read.value)), show(text));
        }
    }

    void formatScientific_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        const auto row = [](const char* name, double value, const char* text) {
            QTest::newRow(name) << value << QString(text);
        };
        row("zero", 0.0, "0.00E+00");
        row("negative zero", -0.0, "0.00E+00");
        row("exact tie 1.125", 1.125, "1.13E+00");
        row("negative tie", -1.125, "-1.13E+00");
        row("decimal tie 1.135", 1.135, "1.14E+00");
        row("decimal tie 2.675", 2.675, "2.68E+00");
        row("decimal tie 1.005", 1.005, "1.01E+00");
        row("mCi product", 0.0036999999999999997, "3.70E-03");
        row("carry 9.995", 9.995, "1.00E+01");
        row("carry 99.95", 99.95, "1.00E+02");
        row("0.037", 0.037, "3.70E-02");
        row("1.369e-6", 1.369e-6, "1.37E-06");
        row("-3e-6", -3e-6, "-3.00E-06");
        row("1e-100", 1e-100, "1.00E-100");
        row("carry into three digits", 9.999e99, "1.00E+100");
        row("carry out of three digits", 9.995e-100, "1.00E-99");
        row("largest", DBL_MAX, "1.80E+308");
        row("smallest subnormal", smallestSubnormal, "4.94E-324");
    }
    void formatScientific() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(show(dovrin::formatScientific(value)), text);
    }

    void formatScientificOfRandomValues() {
        for (const double value : randomValues()) {
            const std::optional<std::string> text = dovrin::formatScientific(value);
            QVERIFY2(text == expectedScientific(value),
                     qPrintable(show(value) + " gives " + show(text)));
        }
    }

    void activityBreakdown_data() {
        QTest::addColumn<double>("becquerel");
        QTest::addColumn<QString>("text");
        const auto row = [](const char* name, double becquerel, const char* text) {
            QTest::newRow(name) << becquerel << QString(text);
        };
        // clang-format off
        row("one curie", 3.7e10, "3.70E+01 GBq  , 3.70E+04 MBq  , 3.70E+07 kBq  , 3.70E+10 Bq ");
        row("zero", 0.0, "0.00E+00 GBq  , 0.00E+00 MBq  , 0.00E+00 kBq  , 0.00E+00 Bq ");
        row("37 uCi", 1369000.0, "1.37E-03 GBq  , 1.37E+00 MBq  , 1.37E+03 kBq  , 1.37E+06 Bq ");
        row("negative", -3e6, "-3.00E-03 GBq  , -3.00E+00 MBq  , -3.00E+03 kBq  , -3.00E+06 Bq ");
        row("tie", 1.125e9, "1.13E+00 GBq  , 1.13E+03 MBq  , 1.13E+06 kBq  , 1.13E+09 Bq ");
        row("three-digit exponents", 1e300, "1.00E+291 GBq  , 1.00E+294 MBq  , 1.00E+297 kBq  , 1.00E+300 Bq ");
        // clang-format on
    }
    void activityBreakdown() {
        QFETCH(double, becquerel);
        QFETCH(QString, text);
        QCOMPARE(show(dovrin::activityBreakdown(becquerel)), text);
    }

    // A value that is not finite never reaches the screen: no display text, no tooltip.
    void notFiniteGivesNoResult() {
        for (const double value : {inf, -inf, notANumber}) {
            QVERIFY2(!dovrin::formatScientific(value), qPrintable(show(value)));
            QVERIFY2(!dovrin::activityBreakdown(value), qPrintable(show(value)));
        }
    }
};

QTEST_APPLESS_MAIN(TestNumberText)
#include "tst_number_text.moc"
