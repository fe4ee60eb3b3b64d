// The register's radionuclide table against readings of other tables, typed here on their own:
// the D-values of the regulations that list them, and the calculator's decay constants against
// the evaluated half-lives.

#include <QTest>

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "decay_constants.h"
#include "nuclides.h"
#include "test_support.h"

using namespace dovrin;
using namespace dovrin::testing;

namespace {

bool near(double actual, double expected, double relative) {
    return std::abs(actual - expected) <= relative * std::abs(expected);
}

// (ln 2 / decay constant) / evaluated half-life - 1, to four digits, with 1 y = 365.2421905 d
// (the reference set's constants-vs-ddep.csv). A typo in the last digit of a constant or of a
// half-life moves the ratio beyond the tolerance.
struct ListedDifference {
    std::string_view radionuclide;
    double relativeDifference;
};

constexpr auto listedDifferences = std::to_array<ListedDifference>({
    {"Co-60", +9.387e-05},
    {"Ge-68", +6.592e-02}, // 288.8 d against 270.95 d
    {"Sr-90", +1.377e-02},
    {"Cs-137", -2.308e-03},
    {"Pu-238", +1.367e-03},
    {"Ir-192", +3.077e-03},
    {"Se-75", +3.090e-04},
    {"Yb-169", -6.134e-05},
    {"Am-241", -1.388e-03},
    {"Am-241/Be", -1.388e-03}, // the constant and the half-life of Am-241
    {"Cf-252", -2.847e-03},
    {"Tm-170", +6.623e-03},
    {"Kr-85", -3.420e-03},
    {"Ra-226", -4.476e-04},
    {"I-125", +1.207e-02},
    {"Po-210", +2.290e-04},
    {"Co-57", -3.121e-03},
});

} // namespace

class TestNuclides : public QObject {
    Q_OBJECT

private slots:
    // US NRC 10 CFR Part 73 Appendix I, Table: category 2 in TBq, D = category 2 / 10
    // (law.cornell.edu/cfr/text/10/part-73/appendix-I). Directive 2013/59/Euratom Annex III,
    // TBq (gesetze.legal/eu/rl_2013_59_euratom/anhang_iii). Both list the same radionuclides.
    void dValuesOfTheRegulations_data() {
        QTest::addColumn<QByteArray>("radionuclide");
        QTest::addColumn<double>("category2TBq");
        QTest::addColumn<double>("annexIIITBq");
        const auto add = [](const char* name, double category2, double annexIII) {
            QTest::newRow(name) << QByteArray(name) << category2 << annexIII;
        };
        add("Am-241", 0.6, 6e-2);
        add("Am-241/Be", 0.6, 6e-2);
        add("Cf-252", 0.2, 2e-2);
        add("Cm-244", 0.5, 5e-2);
        add("Co-60", 0.3, 3e-2);
        add("Cs-137", 1, 1e-1);
        add("Gd-153", 10, 1);
        add("Ir-192", 0.8, 8e-2);
        add("Pm-147", 400, 4e1);
        add("Pu-238", 0.6, 6e-2);
        add("Pu-239/Be", 0.6, 6e-2);
        add("Ra-226", 0.4, 4e-2);
        add("Se-75", 2, 2e-1);
        add("Sr-90", 10, 1);
        add("Tm-170", 200, 2e1);
        add("Yb-169", 3, 3e-1);
    }
    void dValuesOfTheRegulations() {
        QFETCH(QByteArray, radionuclide);
        QFETCH(double, category2TBq);
        QFETCH(double, annexIIITBq);
        const Nuclide* nuclide = nuclideNamed(view(radionuclide));
        QVERIFY(nuclide != nullptr);
        QVERIFY(nuclide->dTBq.has_value());
        QVERIFY2(near(*nuclide->dTBq, category2TBq / 10, 1e-12), qPrintable(show(*nuclide->dTBq)));
        COMPARE_EXACT(*nuclide->dTBq, annexIIITBq);
    }

    // Every radionuclide with a decay constant, with its difference listed above.
    void constantsAgainstEvaluatedHalfLives_data() {
        QTest::addColumn<QByteArray>("radionuclide");
        for (const DecayConstant& constant : decayConstants)
            QTest::newRow(constant.radionuclide.data()) << QByteArray(
                constant.radionuclide.data(), static_cast<qsizetype>(constant.radionuclide.size()));
    }
    void constantsAgainstEvaluatedHalfLives() {
        QFETCH(QByteArray, radionuclide);
        const auto listed = std::ranges::find(listedDifferences, view(radionuclide),
                                              &ListedDifference::radionuclide);
        QVERIFY2(listed != listedDifferences.end(), "no difference listed for it");
        const auto constant =
            std::ranges::find(decayConstants, view(radionuclide), &DecayConstant::radionuclide);
        const Nuclide* nuclide = nuclideNamed(view(radionuclide));
        QVERIFY(nuclide != nullptr);
        const double implied = std::log(2.0) / constant->perDay();
        const double difference = implied / nuclide->halfLifeDays() - 1;
        // Four digits: half a unit of the last one, at most.
        QVERIFY2(near(difference, listed->relativeDifference, 5e-4), qPrintable(show(difference)));
    }
};

QTEST_APPLESS_MAIN(TestNuclides)
#include "tst_nuclides.moc"
