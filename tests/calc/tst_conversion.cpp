// The unit box and the conversion of the typed activity to TBq: unit sizes, the figure shown
// in the TBq box with its tooltip, the value kept for categorisation, and the activity check.

#include <QTest>

#include "conversion.h"
#include "test_support.h"

using namespace dovrin;
using namespace dovrin::testing;

class TestConversion : public QObject {
    Q_OBJECT

private slots:
    // Each unit of the unit box, looked up by its exact name, has its exact size.
    void unitSizes_data() {
        QTest::addColumn<QByteArray>("unit");
        QTest::addColumn<double>("size");
        const auto row = [](const char* unit, double size) {
            QTest::newRow(unit) << QByteArray(unit) << size;
        };
        row("uCi", 37000.0);
        row("mCi", 37000000.0);
        row("Ci", 37000000000.0);
        row("kCi", 37000000000000.0);
        row("Bq", 1.0);
        row("kBq", 1000.0);
        row("MBq", 1000000.0);
        row("GBq", 1000000000.0);
        row("TBq", 1000000000000.0);
    }
    void unitSizes() {
        QFETCH(QByteArray, unit);
        QFETCH(double, size);
        const std::optional<double> found = unitSizeInBq(view(unit));
        QVERIFY(found);
        COMPARE_EXACT(*found, size);
    }

    void unknownUnits() {
        for (const char* unit : {"", "tbq", "TBq ", " TBq", "kbq", "uci", "CI", "Bq.", "Becquerel"})
            QVERIFY2(!unitSizeInBq(unit), unit);
    }

    void convertActivity_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("unit");
        QTest::addColumn<double>("entered");
        QTest::addColumn<double>("unitInBq");
        QTest::addColumn<double>("shownTBq");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("tooltip");
        const auto row = [](const char* name, const QByteArray& text, const QByteArray& unit,
                            double entered, double size, double shownTBq, const char* shown,
                            const QString& tooltip) {
            QTest::newRow(name) << text << unit << entered << size << shownTBq << QString(shown)
                                << tooltip;
        };
        // clang-format off
        row("1 Ci", "1", "Ci", 1, 3.7e10, 0.037, "3.70E-02", "3.70E+01 GBq  , 3.70E+04 MBq  , 3.70E+07 kBq  , 3.70E+10 Bq ");
        row("2.5 mCi", "2.5", "mCi", 2.5, 3.7e7, 9.25e-5, "9.25E-05", "9.25E-02 GBq  , 9.25E+01 MBq  , 9.25E+04 kBq  , 9.25E+07 Bq ");
        row("37 uCi", "37", "uCi", 37, 37000, 1.369e-6, "1.37E-06", "1.37E-03 GBq  , 1.37E+00 MBq  , 1.37E+03 kBq  , 1.37E+06 Bq ");
        row("1000 Bq", "1000", "Bq", 1000, 1, 1e-9, "1.00E-09", "1.00E-06 GBq  , 1.00E-03 MBq  , 1.00E+00 kBq  , 1.00E+03 Bq ");
        row("1 TBq", "1", "TBq", 1, 1e12, 1, "1.00E+00", "1.00E+03 GBq  , 1.00E+06 MBq  , 1.00E+09 kBq  , 1.00E+12 Bq ");
        row("10 kCi", "10", "kCi", 10, 3.7e13, 370, "3.70E+02", "3.70E+05 GBq  , 3.70E+08 MBq  , 3.70E+11 kBq  , 3.70E+14 Bq ");
        row("100 mCi", "100", "mCi", 100, 3.7e7, 0.0037, "3.70E-03", "3.70E+00 GBq  , 3.70E+03 MBq  , 3.70E+06 kBq  , 3.70E+09 Bq ");
        row("blank inside", "1 000", "Bq", 1000, 1, 1e-9, "1.00E-09", "1.00E-06 GBq  , 1.00E-03 MBq  , 1.00E+00 kBq  , 1.00E+03 Bq ");
        row("letters after", "12abc", "GBq", 12, 1e9, 0.012, "1.20E-02", "1.20E+01 GBq  , 1.20E+04 MBq  , 1.20E+07 kBq  , 1.20E+10 Bq ");
        row("comma", "1,5", "GBq", 1, 1e9, 0.001, "1.00E-03", "1.00E+00 GBq  , 1.00E+03 MBq  , 1.00E+06 kBq  , 1.00E+09 Bq ");
        row("5 GBq", "5", "GBq", 5, 1e9, 0.005, "5.00E-03", "5.00E+00 GBq  , 5.00E+03 MBq  , 5.00E+06 kBq  , 5.00E+09 Bq ");
        row("5 MBq", "5", "MBq", 5, 1e6, 5e-6, "5.00E-06", "5.00E-03 GBq  , 5.00E+00 MBq  , 5.00E+03 kBq  , 5.00E+06 Bq ");
        row("empty", "", "Ci", 0, 3.7e10, 0, "0.00E+00", zeroTooltip);
        row("no number", "abc", "kBq", 0, 1000, 0, "0.00E+00", zeroTooltip);
        row("underflow", "1e-999", "Bq", 0, 1, 0, "0.00E+00", zeroTooltip);
        row("negative", "-3", "MBq", -3, 1e6, -3e-6, "-3.00E-06", "-3.00E-03 GBq  , -3.00E+00 MBq  , -3.00E+03 kBq  , -3.00E+06 Bq ");
        row("huge", "1e300", "Bq", 1e300, 1, 1e288, "1.00E+288", "1.00E+291 GBq  , 1.00E+294 MBq  , 1.00E+297 kBq  , 1.00E+300 Bq ");
        // clang-format on
    }
    void convertActivity() {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, unit);
        QFETCH(double, entered);
        QFETCH(double, unitInBq);
        QFETCH(double, shownTBq);
        QFETCH(QString, shown);
        QFETCH(QString, tooltip);
        const std::optional<Conversion> result = dovrin::convertActivity(view(text), view(unit));
        QVERIFY(result);
        COMPARE_EXACT(result->enteredActivity, entered);
        COMPARE_EXACT(result->unitInBq, unitInBq);
        COMPARE_EXACT(result->initialActivityTBq, (unitInBq * entered) * 1e-12);
        COMPARE_EXACT(result->shownActivityTBq, shownTBq);
        QCOMPARE(show(result->shownText), shown);
        QCOMPARE(show(result->tooltip), tooltip);
    }

    // The unrounded product lies just below 0.0037; the value kept for categorisation is the
    // double nearest 0.0037.
    void hundredMillicuries() {
        const std::optional<Conversion> result = dovrin::convertActivity("100", "mCi");
        QVERIFY(result);
        COMPARE_EXACT(result->initialActivityTBq, 0.0036999999999999997);
        COMPARE_EXACT(result->shownActivityTBq, 0.0037);
        QVERIFY(result->initialActivityTBq < result->shownActivityTBq);
    }

    void conversionRefused_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("unit");
        QTest::newRow("empty unit") << QByteArray("1") << QByteArray("");
        QTest::newRow("lower case") << QByteArray("1") << QByteArray("tbq");
        QTest::newRow("activity overflow") << QByteArray("1e999") << QByteArray("Bq");
        QTest::newRow("negative overflow") << QByteArray("-1e999") << QByteArray("TBq");
        QTest::newRow("310 digits") << "1" + QByteArray(309, '0') << QByteArray("Bq");
        QTest::newRow("Bq overflow kCi") << QByteArray("1e300") << QByteArray("kCi");
        QTest::newRow("Bq overflow TBq") << QByteArray("-1e308") << QByteArray("TBq");
    }
    void conversionRefused() {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, unit);
        QVERIFY(!dovrin::convertActivity(view(text), view(unit)));
    }

    void readActivity_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<double>("value");
        QTest::newRow("integer") << QByteArray("1") << true << 1.0;
        QTest::newRow("blanks around") << QByteArray("  2.5  ") << true << 2.5;
        QTest::newRow("zero") << QByteArray("0") << true << 0.0;
        QTest::newRow("blank inside") << QByteArray("1 000") << true << 1000.0;
        QTest::newRow("exponent") << QByteArray("1.369E-06") << true << 1.369e-6;
        QTest::newRow("plus") << QByteArray("+5") << true << 5.0;
        QTest::newRow("underflow") << QByteArray("1e-999") << true << 0.0;
        QTest::newRow("letters") << QByteArray("abc") << false << 0.0;
        QTest::newRow("letter l") << QByteArray("l00") << false << 0.0;
        QTest::newRow("comma") << QByteArray("1,5") << false << 0.0;
        QTest::newRow("negative") << QByteArray("-3") << false << 0.0;
        QTest::newRow("small negative") << QByteArray("-0.5") << false << 0.0;
        QTest::newRow("overflow") << QByteArray("1e999") << false << 0.0;
        QTest::newRow("empty") << QByteArray("") << false << 0.0;
        QTest::newRow("blanks") << QByteArray("   ") << false << 0.0;
        QTest::newRow("letters after") << QByteArray("12abc") << false << 0.0;
        QTest::newRow("e without digits") << QByteArray("1e") << false << 0.0;
        QTest::newRow("Infinity") << QByteArray("Infinity") << false << 0.0;
    }
    void readActivity() {
        QFETCH(QByteArray, text);
        QFETCH(bool, accepted);
        QFETCH(double, value);
        const std::optional<double> read = dovrin::readActivity(view(text));
        QCOMPARE(read.has_value(), accepted);
        if (read)
            COMPARE_EXACT(*read, value);
    }
};

QTEST_APPLESS_MAIN(TestConversion)
#include "tst_conversion.moc"
