// The practice box and the radionuclides it offers for each practice.

#include <QTest>

#include <set>
#include <string_view>
#include <vector>

#include "categorise.h"
#include "decay.h"
#include "practice_catalogue.h"
#include "test_support.h"

using namespace dovrin;
using namespace dovrin::testing;

class TestCatalogue : public QObject {
    Q_OBJECT

private slots:
    void practices_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("practice");
        QTest::addColumn<QStringList>("radionuclides");
        const QStringList highActivity{"Co-60", "Sr-90", "Cs-137", "Pu-238"};
        const QStringList radiography{"Co-60", "Sr-90", "Cs-137", "Ir-192", "Pu-238"};
        const QStringList gauges{"Co-60", "Sr-90", "Cs-137", "Pu-238", "Am-241/Be", "Cf-252"};
        const QStringList lowActivity{"Co-60",  "Kr-85",  "Sr-90",  "I-125", "Cs-137",
                                      "Po-210", "Ra-226", "Pu-238", "Am-241"};
        const QStringList checkSources{"Co-60", "Co-57", "Ge-68", "Sr-90", "Cs-137", "Pu-238"};
        int index = 0;
        const auto row = [&index](const char* practice, const QStringList& radionuclides) {
            QTest::addRow("%d", index + 1) << index << QString(practice) << radionuclides;
            ++index;
        };
        row("Radioisotope thermoelectric generators (RTGs)", highActivity);
        row("Irradiators", highActivity);
        row("Teletherapy sources", highActivity);
        row("Fixed, multi-beam teletherapy (gamma knife) sources", highActivity);
        row("Industrial gamma radiography sources", radiography);
        row("High/medium dose rate brachytherapy sources", radiography);
        row("Fixed industrial gauges that incorporate high activity sources", gauges);
        row("Well logging gauges", gauges);
        row("Low dose rate brachytherapy sources (except eye plaques & permanent implants)",
            lowActivity);
        row("Industrial gauges that do not incorporate high activity sources", lowActivity);
        row("Moisture/density gauges", lowActivity);
        row("Bone densitometers", lowActivity);
        row("Static eliminators", lowActivity);
        row("Low dose rate brachytherapy eye plaques & permanent implant sources", checkSources);
        row("X-ray fluorescence (XRF) devices", checkSources);
        row("Electron capture devices", checkSources);
        row("Mossbauer spectrometry sources", checkSources);
        row("Positron emission tomography (PET) check sources", checkSources);
    }
    void practices() {
        QFETCH(int, index);
        QFETCH(QString, practice);
        QFETCH(QStringList, radionuclides);
        QCOMPARE(practiceCatalogue.size(), std::size_t{18});
        const Practice& entry = practiceCatalogue[index];
        QCOMPARE(show(entry.name), practice);
        QStringList offered;
        for (const std::string_view radionuclide : entry.radionuclides)
            offered << show(radionuclide);
        QCOMPARE(offered, radionuclides);
    }

    // Fourteen radionuclides are offered, each with a decay constant and thresholds; the
    // three that only have a decay constant are offered by no practice.
    void offeredRadionuclidesAreKnown() {
        std::set<std::string_view> offered;
        for (const Practice& practice : practiceCatalogue)
            offered.insert(practice.radionuclides.begin(), practice.radionuclides.end());
        QCOMPARE(offered.size(), std::size_t{14});
        for (const std::string_view radionuclide : offered) {
            QVERIFY2(decayConstantOf(radionuclide), qPrintable(show(radionuclide)));
            QVERIFY2(hasThresholds(radionuclide), qPrintable(show(radionuclide)));
        }
        for (const char* unoffered : {"Se-75", "Yb-169", "Tm-170"}) {
            QVERIFY(!offered.contains(unoffered));
            QVERIFY2(decayConstantOf(unoffered), unoffered);
        }
    }
};

QTEST_APPLESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
