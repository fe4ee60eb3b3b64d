// The register against the window: seeded random sources are typed into the real window, both
// categorisation buttons are clicked, and the boxes must show what the register computes for
// the same texts at the same moment.

#include <random>

#include <QTest>

#include "activity_units.h"
#include "calculator_window.h"
#include "categorise.h"
#include "conversion.h"
#include "number_text.h"
#include "source.h"

using namespace testing;

namespace {

// The seed of the sources; DOVRIN_RANDOM_SEED chooses others.
unsigned seed() {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue("DOVRIN_RANDOM_SEED", &ok);
    return ok ? static_cast<unsigned>(value) : 20261207u;
}

constexpr int sourceCount = 300;

struct SourceTexts {
    QString radionuclide, activity, unit, manufactured;
};

// A source with category bands, an activity from far below the exemption level to far above
// category 1 in any unit (now and then a bound of the table itself), and a date of manufacture
// in any of the window's forms, from long ago to a little ahead of the clock.
class RandomSources {
public:
    explicit RandomSources(unsigned seed)
        : random_(seed) {}

    template <typename Table> const typename Table::value_type& pick(const Table& table) {
        return table[std::uniform_int_distribution<std::size_t>(0, table.size() - 1)(random_)];
    }

    SourceTexts next() {
        const dovrin::ThresholdRow& row = pick(dovrin::categoryThresholds);
        const double d = *dovrin::dValueOf(row.radionuclide);
        const double boundTBq =
            row.lower.kind != dovrin::BoundKind::none ? row.lower.value : row.upper.value;
        const bool atBound = chance(4);
        const double tbq = atBound ? boundTBq : d * std::pow(10.0, uniform(-9, 4));
        const dovrin::ActivityUnit& unit =
            atBound ? dovrin::activityUnits.back() : pick(dovrin::activityUnits);
        const double inUnit = tbq * 1e12 / unit.sizeInBq;
        return {QString::fromUtf8(row.radionuclide.data(), qsizetype(row.radionuclide.size())),
                atBound ? QString::number(inUnit, 'g', 17) : QString::number(inUnit, 'g', 4),
                QString::fromUtf8(unit.name.data(), qsizetype(unit.name.size())), date()};
    }

private:
    bool chance(int oneIn) { return std::uniform_int_distribution(1, oneIn)(random_) == 1; }
    double uniform(double from, double to) {
        return std::uniform_real_distribution(from, to)(random_);
    }
    int between(int from, int to) { return std::uniform_int_distribution(from, to)(random_); }

    QString date() {
        const int daysBack = chance(2) ? between(-1000, 30) : between(-25000, 30);
        const year_month_day day{floor<days>(midnight) + days{daysBack}};
        const int y = static_cast<int>(day.year());
        const unsigned m = static_cast<unsigned>(day.month());
        const unsigned d = static_cast<unsigned>(day.day());
        switch (between(0, 3)) {
        case 0:
            return QString::asprintf("%04d-%02u-%02u", y, m, d);
        case 1:
            return QString::asprintf("%u/%u/%04d", m, d, y);
        case 2:
            return QString::asprintf("%02u-%02u-%04d", m, d, y);
        default: // two digits: the latest such year not after the clock's
            return QString::asprintf("%u/%u/%02d", m, d, y % 100);
        }
    }

    std::mt19937 random_;
};

QString text(std::string_view view) {
    return QString::fromUtf8(view.data(), qsizetype(view.size()));
}

QString scientific(double value) {
    return QString::fromStdString(*dovrin::formatScientific(value));
}

} // namespace

class RegisterVsWindowTest : public QObject {
    Q_OBJECT
private slots:
    void sameCategoriesAsTheWindow() {
        const dovrin::LocalTime clock = afternoon;
        CalculatorWindow w(clock);
        QVERIFY(w.open());
        w.paste("Combo4", "Industrial gamma radiography sources");
        RandomSources sources(seed());
        for (int i = 0; i < sourceCount; ++i) {
            const SourceTexts source = sources.next();
            w.paste("Combo5", source.radionuclide);
            w.paste("Text5", source.activity);
            w.paste("Combo6", source.unit);
            w.paste("Text7", source.manufactured);
            w.box("Text8")->clear(); // so that a click that writes nothing is seen
            w.box("Text11")->clear();
            w.click("Command2");
            w.click("Command3");
            QVERIFY(w.messages.shown.isEmpty());

            const std::string texts[] = {source.radionuclide.toStdString(),
                                         source.activity.toStdString(), source.unit.toStdString(),
                                         source.manufactured.toStdString()};
            const dovrin::SourceResult result =
                dovrin::evaluateSource({texts[0], texts[1], texts[2], texts[3]},
                                       {clock, dovrin::DateOrder::monthFirst}); // as the window
            const QString context =
                QStringLiteral("seed %1, source %2: %3 %4 %5 %6")
                    .arg(seed())
                    .arg(i)
                    .arg(source.radionuclide, source.activity, source.unit, source.manufactured);
            QVERIFY2(result.categorised, qPrintable(context + ": " + text(result.note)));
            const QStringList window{w.text("Text6"), w.text("Text8"), w.text("Text9"),
                                     w.text("Text11")};
            const QStringList registered{scientific(result.activityTBq), text(*result.category),
                                         scientific(result.currentActivityTBq),
                                         text(*result.currentCategory)};
            QVERIFY2(window == registered,
                     qPrintable(context + ": the window shows " + window.join(" | ") +
                                ", the register " + registered.join(" | ")));
        }
    }
};

QTEST_MAIN(RegisterVsWindowTest)
#include "tst_register_vs_window.moc"
