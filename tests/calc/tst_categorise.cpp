// The security category of a radionuclide and an activity. The expected labels come from the
// band table below, written independently of the threshold table, so that a wrong bound, a
// wrong bound kind or a wrong label in either shows up.

#include <QLocale>
#include <QTest>

#include <cfloat>
#include <cmath>
#include <limits>
#include <random>
#include <string_view>
#include <vector>

#include "categorise.h"
#include "category_thresholds.h"
#include "test_support.h"

using namespace dovrin;
using namespace dovrin::testing;

namespace {

// A cut between two neighbouring bands; an activity equal to it gets the label below it or
// the label above it.
struct Cut {
    double at;
    bool equalGoesBelow;
};
constexpr bool below = true, above = false;

struct Bands {
    const char* radionuclide;
    std::vector<const char*> labels; // from the lowest activities up; one more than the cuts
    std::vector<Cut> cuts;           // ascending
};

const char* const ex = "Exempted";
const char* const na = "Not assigned";

// Activities in TBq, from the category bands of each radionuclide, in table order.
const std::vector<Bands> bandTable = {
    {"Co-60",
     {ex, "5", "4", "3", "2", "1"},
     {{1e-7, below}, {0.0003, above}, {0.03, above}, {0.3, above}, {30, above}}},
    {"Sr-90",
     {ex, "5", "4", "3", "2", "1"},
     {{1e-8, below}, {0.02, above}, {1, above}, {10, above}, {1000, above}}},
    {"Cs-137",
     {ex, "5", "4", "3", "2", "1"},
     {{1e-8, below}, {0.001, above}, {0.1, above}, {1, above}, {100, above}}},
    {"Pu-238",
     {ex, "5", "4", "3", "2", "1"},
     {{1e-8, below}, {0.0006, above}, {0.06, above}, {0.6, above}, {60, above}}},
    {"Ir-192", {ex, na, "2", "1"}, {{1e-8, below}, {0.8, above}, {80, above}}},
    {"Cf-252", {ex, na, "3", na}, {{1e-8, below}, {0.02, above}, {0.2, below}}},
    {"Am-241/Be", {ex, na, "3", na}, {{1e-8, below}, {0.06, above}, {0.6, below}}},
    {"Am-241", {ex, na, "3", na}, {{1e-8, below}, {0.06, above}, {0.6, below}}},
    {"Kr-85", {ex, na, "4", na}, {{1e-8, below}, {0.3, above}, {30, below}}},
    {"I-125", {ex, na, "4", na}, {{1e-6, below}, {0.002, above}, {0.2, below}}},
    {"Po-210", {ex, na, "4", na}, {{1e-8, below}, {0.0006, above}, {0.06, below}}},
    {"Ra-226", {ex, na, "4", na}, {{1e-8, below}, {0.0004, above}, {0.04, below}}},
    {"Co-57", {ex, "5", na}, {{1e-6, below}, {0.007, below}}},
    {"Ge-68", {ex, "5", na}, {{1e-7, below}, {0.007, below}}},
};

QString bandLabel(const Bands& bands, double activity) {
    std::size_t band = 0;
    while (band < bands.cuts.size() &&
           (activity > bands.cuts[band].at ||
            (activity == bands.cuts[band].at && !bands.cuts[band].equalGoesBelow)))
        ++band;
    return bands.labels[band];
}

bool satisfies(Bound bound, double activity, bool isLower) {
    switch (bound.kind) {
    case BoundKind::none:
        return true;
    case BoundKind::inclusive:
        return isLower ? activity >= bound.value : activity <= bound.value;
    case BoundKind::exclusive:
        return isLower ? activity > bound.value : activity < bound.value;
    }
    return false;
}

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
        row("Cf-252", 0.21, na);
        row("Cf-252", 0.019, na);
        row("Ir-192", 0.5, na);
        row("Ir-192", 500, "1");
        row("Kr-85", 31, na);
        row("I-125", 1.5e-6, na);
        row("Co-57", 0.007, "5");
        row("Co-57", 0.0071, na);
        row("Co-57", 5e-7, ex);
        row("Ge-68", 0.007, "5");
        row("Ge-68", 0.0071, na);
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
        const Bands& bands = bandTable[index];
        const double tiny = std::numeric_limits<double>::denorm_min();
        std::vector<double> activities{0.0,   -0.0,  -1.0,    -1e300,  -DBL_MAX, tiny,
                                       -tiny, 1e300, DBL_MAX, DBL_MIN, 1e-300};
        std::mt19937_64 random(4242 + index);
        std::uniform_real_distribution<double> log10Activity(-12, 6);
        for (int i = 0; i < 3000; ++i)
            activities.push_back(std::pow(10.0, log10Activity(random)));
        for (const double activity : activities) {
            const QString expected = bandLabel(bands, activity);
            const QString got = show(categoriseActivity(bands.radionuclide, activity));
            QVERIFY2(got == expected,
                     qPrintable(show(activity) + " gives " + got + ", expected " + expected));
            int matches = 0;
            for (const ThresholdRow& row : categoryThresholds) {
                if (row.radionuclide == bands.radionuclide &&
                    satisfies(row.lower, activity, true) && satisfies(row.upper, activity, false)) {
                    ++matches;
                    QCOMPARE(show(row.label), expected);
                }
            }
            QVERIFY2(matches == 1, qPrintable(show(activity)));
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

    // The rows stand radionuclide by radionuclide, in table order, from the highest band down.
    void tableOrder() {
        std::size_t row = 0;
        for (const Bands& bands : bandTable) {
            for (auto label = bands.labels.rbegin(); label != bands.labels.rend(); ++label, ++row) {
                QVERIFY(row < categoryThresholds.size());
                QCOMPARE(show(categoryThresholds[row].radionuclide), QString(bands.radionuclide));
                QCOMPARE(show(categoryThresholds[row].label), QString(*label));
            }
        }
        QCOMPARE(row, categoryThresholds.size());
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
