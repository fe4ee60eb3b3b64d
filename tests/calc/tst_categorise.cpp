// The security category of a radionuclide and an activity. The expected labels come from the
// band table of test_facts.h, written independently of the threshold table, so that a wrong
// bound, a wrong bound kind or a wrong label in either shows up.

#include <QLocale>
#include <QTest>

#include <cfloat>
#include <cmath>
#include <limits>
#include <random>
#include <string_view>
#include <vector>

#include "categorise.h"
#include "test_facts.h"
#include "test_support.h"

using namespace dovrin;
using namespace dovrin::testing;
using namespace dovrin::facts;

namespace {

QString compact(double value) {
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace

class TestCategorise : public QObject {
    Q_OBJECT

private slots:
    // Each cut, and the next double either side of it.
    void bounds_data() {
        QTest::addColumn<QByteArray>("radionuclide");
        QTest::addColumn<double>("activity");
        QTest::addColumn<QString>("label");
        for (const Bands& bands : bandTable) {
            for (std::size_t i = 0; i < bands.cuts.size(); ++i) {
                const Cut cut = bands.cuts[i];
                const QString name = QString(bands.radionuclide) + " " + compact(cut.at);
                const char* lower = bands.labels[i];
                const char* upper = bands.labels[i + 1];
                QTest::addRow("%s at", qPrintable(name))
                    << QByteArray(bands.radionuclide) << cut.at
                    << QString(cut.equalGoesBelow ? lower : upper);
                QTest::addRow("%s below", qPrintable(name))
                    << QByteArray(bands.radionuclide) << std::nextafter(cut.at, -DBL_MAX)
                    << QString(lower);
                QTest::addRow("%s above", qPrintable(name))
                    << QByteArray(bands.radionuclide) << std::nextafter(cut.at, DBL_MAX)
                    << QString(upper);
            }
        }
    }
    void bounds() { checkLabel(); }

    // Activities between the bounds; those at a bound are among the rows above.
    void edgeCases_data() {
        QTest::addColumn<QByteArray>("radionuclide");
        QTest::addColumn<double>("activity");
        QTest::addColumn<QString>("label");
        const auto row = [](const char* radionuclide, double activity, const char* label) {
            QTest::addRow("%s %s", radionuclide, qPrintable(compact(activity)))
                << QByteArray(radionuclide) << activity << QString(label);
        };
        row("Co-60", 29.9, "2");
        row("Co-60", 0.0001, "5");
        row("Co-60", 2e-7, "5");
        row("Sr-90", 0.015, "5");
        row("Cf-252", 0.21, notAssigned);
        row("Cf-252", 0.019, notAssigned);
        row("Ir-192", 0.5, notAssigned);
        row("Ir-192", 500, "1");
        row("Kr-85", 31, notAssigned);
        row("I-125", 1.5e-6, notAssigned);
        row("Co-57", 0.007, "5");
        row("Co-57", 0.0071, notAssigned);
        row("Co-57", 5e-7, exempted);
        row("Ge-68", 0.007, "5");
        row("Ge-68", 0.0071, notAssigned);
        row("Ge-68", 5e-7, "5");
        row("Co-60", 0.0037, "4"); // 100 mCi as the conversion keeps it
    }
    void edgeCases() { checkLabel(); }

    // Zero, negatives, extremes and random activities each get the label of their band, and
    // exactly one row of the threshold table matches them.
    void everyActivityGetsOneLabel_data() {
        QTest::addColumn<int>("index");
        for (std::size_t i = 0; i < bandTable.size(); ++i)
            QTest::newRow(bandTable[i].radionuclide) << static_cast<int>(i);
    }
    void everyActivityGetsOneLabel() {
        QFETCH(int, index);
        const Bands& bands = bandTable[static_cast<std::size_t>(index)];
        const double tiny = std::numeric_limits<double>::denorm_min();
        std::vector<double> activities{0.0,   -0.0,  -1.0,    -1e300,  -DBL_MAX, tiny,
                                       -tiny, 1e300, DBL_MAX, DBL_MIN, 1e-300};
        std::mt19937_64 random(4242 + static_cast<unsigned>(index));
        std::uniform_real_distribution<double> log10Activity(-12, 6);
        for (int i = 0; i < 3000; ++i)
            activities.push_back(std::pow(10.0, log10Activity(random)));
        for (const double activity : activities) {
            const QString expected = bandLabel(bands, activity);
            const QString got = show(categoriseActivity(bands.radionuclide, activity));
            QVERIFY2(got == expected,
                     qPrintable(show(activity) + " gives " + got + ", expected " + expected));
            const std::vector<std::string_view> rows =
                labelsOfMatchingRows(bands.radionuclide, activity);
            QVERIFY2(rows.size() == 1, qPrintable(show(activity)));
            QCOMPARE(show(rows.front()), expected);
        }
    }

    void notANumber() {
        for (const Bands& bands : bandTable)
            QVERIFY(
                !categoriseActivity(bands.radionuclide, std::numeric_limits<double>::quiet_NaN()));
    }

    void radionuclidesWithoutRows() {
        for (const char* name :
             {"Se-75", "Yb-169", "Tm-170", "co-60", "CO-60", " Co-60", "Co-60 ", "", "Am-241/be"}) {
            QVERIFY2(!hasThresholds(name), name);
            QVERIFY2(!categoriseActivity(name, 1.0), name);
            QVERIFY2(!categoriseActivity(name, 0.0), name);
        }
        for (const Bands& bands : bandTable)
            QVERIFY2(hasThresholds(bands.radionuclide), bands.radionuclide);
    }

private:
    // The label of the current row of a radionuclide/activity/label table.
    void checkLabel() {
        QFETCH(QByteArray, radionuclide);
        QFETCH(double, activity);
        QFETCH(QString, label);
        QCOMPARE(show(categoriseActivity(view(radionuclide), activity)), label);
    }
};

QTEST_APPLESS_MAIN(TestCategorise)
#include "tst_categorise.moc"
