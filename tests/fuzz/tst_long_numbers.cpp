// Number texts too long for the fuzzers, which try inputs of a few kilobytes: a million digits
// or more, as a pasted text may have. Past a double's range such a number reads as infinity, and
// below it as zero, however many digits stand before the exponent.

#include <QTest>

#include <cmath>
#include <string>

#include "number_text.h"
#include "test_support.h"

using namespace dovrin;
using namespace dovrin::testing;

namespace {

std::string repeated(char c, std::size_t count) {
    return std::string(count, c);
}

} // namespace

class LongNumbersTest : public QObject {
    Q_OBJECT
private slots:
    void readsBeyondRange_data();
    void readsBeyondRange();
};

void LongNumbersTest::readsBeyondRange_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("value"); // +-infinity or +-0

    constexpr double inf = HUGE_VAL;
    const auto row = [](const char* name, const std::string& text, double value) {
        QTest::newRow(name) << QByteArray::fromStdString(text) << value;
    };
    // 10^(1400 - 1001) and 10^(1000 - 1400): a thousand digits before the exponent.
    row("1e399 after a thousand zeros", "0." + repeated('0', 1000) + "1e1400", inf);
    row("1e-400 after a thousand digits", "1" + repeated('0', 1000) + "e-1400", 0.0);
    // The same with a million digits: 10^(1000400 - 1000001) = 1e399, and
    // 10^(1000000 - 1000400) = 1e-400.
    row("1e399 after a million zeros", "0." + repeated('0', 1'000'000) + "1e1000400", inf);
    row("-1e399 after a million zeros", "-0." + repeated('0', 1'000'000) + "1e1000400", -inf);
    row("1e-400 after a million digits", "1" + repeated('0', 1'000'000) + "e-1000400", 0.0);
    row("-1e-400 after a million digits", "-1" + repeated('0', 1'000'000) + "e-1000400", -0.0);
    // Within range, for comparison: 10^(1000010 - 1000001) and 10^(1000000 - 1000010).
    row("1e9 after a million zeros", "0." + repeated('0', 1'000'000) + "1e1000010", 1e9);
    row("1e-10 after a million digits", "1" + repeated('0', 1'000'000) + "e-1000010", 1e-10);
}

void LongNumbersTest::readsBeyondRange() {
    QFETCH(QByteArray, text);
    QFETCH(double, value);
    const NumberRead read = readNumber(view(text));
    QVERIFY(read.found);
    QCOMPARE(read.end, static_cast<std::size_t>(text.size()));
    COMPARE_EXACT(read.value, value);
    QCOMPARE(read.finite, std::isfinite(value));
}

QTEST_APPLESS_MAIN(LongNumbersTest)
#include "tst_long_numbers.moc"
