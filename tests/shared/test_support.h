#pragma once

// Small helpers shared by the Qt tests of the calculation core: exact comparison of doubles
// (QCOMPARE on doubles is fuzzy), readable texts for optional results, the tooltip of a zero
// activity, and the files and streams a run of the register reads and writes.

#include <QFile>
#include <QString>
#include <QTest>

#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace dovrin::testing {

// Bit for bit, so that 0 and -0 differ; NaN equals NaN.
inline bool sameDouble(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) ||
           std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

inline QString show(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return QString::fromLatin1(text);
}

inline QString show(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline QString show(std::chrono::year_month_day date) {
    return QString::asprintf("%04d-%02u-%02u", static_cast<int>(date.year()),
                             static_cast<unsigned>(date.month()),
                             static_cast<unsigned>(date.day()));
}

template <typename T> QString show(const std::optional<T>& value) {
    return value ? show(*value) : QStringLiteral("<no result>");
}

inline std::string_view view(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

// Everything written to a temporary stream, which is then closed.
inline QByteArray contents(std::FILE* file) {
    std::rewind(file);
    QByteArray text;
    char block[4096];
    for (std::size_t count; (count = std::fread(block, 1, sizeof block, file)) > 0;)
        text.append(block, static_cast<qsizetype>(count));
    std::fclose(file);
    return text;
}

// A file's bytes, or "<no file>".
inline QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
}

inline void writeFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

inline const QString zeroTooltip =
    QStringLiteral("0.00E+00 GBq  , 0.00E+00 MBq  , 0.00E+00 kBq  , 0.00E+00 Bq ");

} // namespace dovrin::testing

#define COMPARE_EXACT(actual, expected)                                                            \
    do {                                                                                           \
        const double actual_ = (actual);                                                           \
        const double expected_ = (expected);                                                       \
        QVERIFY2(::dovrin::testing::sameDouble(actual_, expected_),                                \
                 qPrintable(QStringLiteral(#actual " is %1, expected %2")                          \
                                .arg(::dovrin::testing::show(actual_),                             \
                                     ::dovrin::testing::show(expected_))));                        \
    } while (false)
