#include "output.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

#include "categories.h"
#include "csv.h"
#include "plain_text.h"

namespace dovrin {

namespace {

constexpr std::size_t numberSpace = 32;

// Which result columns hold the numbers, dates and category labels this program writes: digits,
// '.', '-', '+' and 'e', or a label of categoryLabels, none of which holds a separator an
// inventory may use, a quote or a line end, so they never need quotes.
constexpr auto plainColumns = [] {
    std::array<bool, resultColumns.size()> plain{};
    for (std::size_t i = 0; i < plain.size(); ++i)
        plain[i] = resultColumnTable[i].kind == ResultKind::number ||
                   resultColumnTable[i].kind == ResultKind::date ||
                   resultColumnTable[i].kind == ResultKind::category;
    return plain;
}();
static_assert(csv::separators.find_first_of("0123456789.-+e") == std::string_view::npos);
static_assert(std::ranges::none_of(categoryLabels, [](std::string_view label) {
    return label.find_first_of(csv::separators) != std::string_view::npos ||
           label.find_first_of("\"\r\n") != std::string_view::npos;
}));

// Appends the fields as one CSV line, each field written in place; the fields of then that
// plainThen marks are written as they are, with no look for what would need quotes.
void appendLine(std::string& out, std::span<const std::string_view> first,
                std::span<const std::string_view> then, char separator,
                std::span<const bool> plainThen = {}) {
    std::size_t room = 1;
    for (const auto fields : {first, then})
        for (const std::string_view field : fields)
            room += field.empty() ? 1 : csv::fieldRoom(field) + 1;
    const std::size_t start = out.size();
    out.resize(start + room);
    char* to = out.data() + start;
    for (const std::string_view field : first) {
        to = csv::writeField(to, field, separator);
        *to++ = separator;
    }
    for (std::size_t i = 0; i < then.size(); ++i) {
        const std::string_view field = then[i];
        if (field.empty()) {
            // nothing to write: many result fields, the due columns of most inventories among them
        } else if (i < plainThen.size() && plainThen[i]) {
            std::memcpy(to, field.data(), field.size());
            to += field.size();
        } else {
            to = csv::writeField(to, field, separator);
        }
        *to++ = separator;
    }
    if (!first.empty() || !then.empty())
        --to; // no separator after the last field
    *to++ = '\n';
    out.resize(static_cast<std::size_t>(to - out.data()));
}

// ---- The shortest text of a number of at most 15 significant digits ----
//
// Most activities are carried to 15 significant digits, and such a value has a quicker shortest
// text than the general search for one: no two decimals of at most 15 significant digits are
// the nearest double to the same value (a double holds any 15 digits and gives them back), so
// once 15 digits D and a power of ten are found whose quotient rounds to the value, D without
// its trailing zeros are the shortest text's digits. They are then laid out as to_chars lays
// them out: fixed or with an exponent, whichever is shorter, fixed when both are as long.

// The powers of ten that a double holds exactly.
constexpr std::array<double, 23> exactPowersOfTen = [] {
    std::array<double, 23> powers{};
    double power = 1;
    for (double& p : powers) {
        p = power;
        power *= 10;
    }
    return powers;
}();
constexpr int largestExactPower = static_cast<int>(exactPowersOfTen.size()) - 1;

struct Decimal {
    std::uint64_t digits; // no trailing zero
    int exponent;         // of the first digit: the value is d.ddd times 10^exponent
};

// The value's digits when it is the nearest double to 15 significant digits times an exact
// power of ten; no result otherwise (a value the shortest search must then find).
std::optional<Decimal> fifteenDigitDecimal(double value) {
    // Below 10^-7 the scaling would take more than one exact power. From 10^15 on, to_chars
    // writes a whole number's exact digits, not its shortest ones followed by zeros.
    if (!(value >= 1e-7 && value < 1e15))
        return std::nullopt; // also zero, negative, not finite
    // floor(log10(value)), or one off, from the binary exponent
    const int binaryExponent = std::ilogb(value);
    int exponent = binaryExponent * 78913 / 262144 - (binaryExponent < 0 ? 1 : 0);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int shift = 14 - exponent;
        if (shift > largestExactPower || -shift > largestExactPower)
            return std::nullopt;
        const double scaled = shift >= 0
                                  ? value * exactPowersOfTen[static_cast<std::size_t>(shift)]
                                  : value / exactPowersOfTen[static_cast<std::size_t>(-shift)];
        if (scaled < 1e14 - 0.5) {
            --exponent;
            continue;
        }
        if (scaled >= 1e15 - 0.5) {
            ++exponent;
            continue;
        }
        const double whole = std::nearbyint(scaled);
        // One correctly rounded operation on exact operands: the double nearest to the decimal.
        const double back = shift >= 0 ? whole / exactPowersOfTen[static_cast<std::size_t>(shift)]
                                       : whole * exactPowersOfTen[static_cast<std::size_t>(-shift)];
        if (back != value)
            return std::nullopt;
        auto digits = static_cast<std::uint64_t>(whole);
        while (digits % 10 == 0)
            digits /= 10;
        return Decimal{digits, exponent};
    }
    return std::nullopt;
}

// The decimal laid out as to_chars lays out a shortest text.
std::string_view shortestText(Decimal decimal, std::span<char, numberSpace> space) {
    std::array<char, 20> digitText;
    const char* const digitsEnd =
        std::to_chars(digitText.data(), digitText.data() + digitText.size(), decimal.digits).ptr;
    const auto count = static_cast<int>(digitsEnd - digitText.data());
    const std::string_view digits(digitText.data(), static_cast<std::size_t>(count));
    const int exponent = decimal.exponent;
    const int magnitude = exponent < 0 ? -exponent : exponent;
    const int scientificLength = count + (count > 1 ? 1 : 0) + 2 + (magnitude >= 100 ? 3 : 2);
    const int fixedLength = exponent >= count - 1 ? exponent + 1
                            : exponent >= 0       ? count + 1
                                                  : count + 1 - exponent;
    char* out = space.data();
    if (fixedLength <= scientificLength) {
        if (exponent >= count - 1) {
            out = std::ranges::copy(digits, out).out;
            out = std::fill_n(out, exponent - (count - 1), '0');
        } else if (exponent >= 0) {
            const auto point = static_cast<std::size_t>(exponent + 1);
            out = std::ranges::copy(digits.substr(0, point), out).out;
            *out++ = '.';
            out = std::ranges::copy(digits.substr(point), out).out;
        } else {
            *out++ = '0';
            *out++ = '.';
            out = std::fill_n(out, -exponent - 1, '0');
            out = std::ranges::copy(digits, out).out;
        }
    } else {
        *out++ = digits.front();
        if (count > 1) {
            *out++ = '.';
            out = std::ranges::copy(digits.substr(1), out).out;
        }
        *out++ = 'e';
        *out++ = exponent < 0 ? '-' : '+';
        if (magnitude < 10)
            *out++ = '0';
        out = std::to_chars(out, space.data() + space.size(), magnitude).ptr;
    }
    return {space.data(), out};
}

// The shortest text of a value of at most 15 significant digits; no result for other values.
std::optional<std::string_view> fewDigits(double value, std::span<char, numberSpace> space) {
    const auto decimal = fifteenDigitDecimal(value);
    if (!decimal)
        return std::nullopt;
    return shortestText(*decimal, space);
}

} // namespace

std::string_view numberField(double value, std::span<char, 32> space) {
    if (const auto shortest = fewDigits(value, space))
        return *shortest;
    const auto [end, error] = std::to_chars(space.data(), space.data() + space.size(), value);
    return error == std::errc() ? std::string_view(space.data(), end) : std::string_view();
}

std::array<std::string_view, resultColumns.size()>
resultFields(const SourceResult& result, std::span<char, resultFieldsSpace> space) {
    std::array<std::string_view, resultColumns.size()> fields{};
    const auto field = [&fields](ResultColumn column) -> std::string_view& {
        return fields[indexOf(column)];
    };
    field(ResultColumn::note) = result.note;
    if (!result.categorised)
        return fields;
    // Three numbers, five dates, and the recorded category's check in two parts.
    static_assert(resultFieldsSpace >= 10 * numberSpace);
    const auto part = [&](std::size_t which) {
        return space.subspan(which * numberSpace).first<numberSpace>();
    };
    field(ResultColumn::activityTBq) = numberField(result.activityTBq, part(0));
    field(ResultColumn::category) = result.category.value_or(std::string_view());
    field(ResultColumn::currentActivityTBq) = numberField(result.currentActivityTBq, part(1));
    field(ResultColumn::currentCategory) = result.currentCategory.value_or(std::string_view());
    field(ResultColumn::aOverD) = numberField(result.aOverD, part(2));
    field(ResultColumn::categoryByAOverD) = result.categoryByAOverD;
    if (result.nextChange) {
        field(ResultColumn::nextCategory) = result.nextChange->label;
        field(ResultColumn::nextChangeOn) = isoDate(result.nextChange->on, part(3));
    }
    const Duties& duties = result.duties;
    if (duties.leakTest.on) { // without a due day, there is no status either
        field(ResultColumn::leakTestDue) = isoDate(*duties.leakTest.on, part(4));
        field(ResultColumn::leakTestStatus) = leakTestStatusText(duties);
    }
    if (duties.inventory.on)
        field(ResultColumn::inventoryDue) = isoDate(*duties.inventory.on, part(5));
    if (duties.workingLifeEnd.on)
        field(ResultColumn::workingLifeEnds) = isoDate(*duties.workingLifeEnd.on, part(6));
    if (result.nextChangeByAOverD) {
        field(ResultColumn::nextCategoryByAOverD) = result.nextChangeByAOverD->label;
        const bool sameDay =
            result.nextChange && result.nextChange->on == result.nextChangeByAOverD->on;
        field(ResultColumn::nextChangeByAOverDOn) =
            sameDay ? field(ResultColumn::nextChangeOn)
                    : isoDate(result.nextChangeByAOverD->on, part(7));
    }
    if (result.recordedCategoryDiffers) {
        // "differs: by A/D Exempted now, Exempted initially" at its longest
        const std::span<char> text = space.subspan(8 * numberSpace);
        char* out = text.data();
        for (const std::string_view piece :
             {std::string_view("differs: by A/D "), result.categoryByAOverD,
              std::string_view(" now, "), result.initialCategoryByAOverD,
              std::string_view(" initially")})
            out = std::ranges::copy(piece, out).out;
        field(ResultColumn::recordedCategoryCheck) = {text.data(), out};
    }
    return fields;
}

void appendOutputHeader(std::string& out, std::span<const std::string_view> header, char separator,
                        bool recordedCategory) {
    appendLine(out, header, std::span(resultColumns).first(resultColumnCount(recordedCategory)),
               separator);
}

void appendOutputRow(std::string& out, std::span<const std::string_view> fields,
                     const SourceResult& result, char separator, bool recordedCategory) {
    char space[resultFieldsSpace];
    const bool separatorKnown = csv::separators.find(separator) != std::string_view::npos;
    const auto results = resultFields(result, space);
    appendLine(out, fields, std::span(results).first(resultColumnCount(recordedCategory)),
               separator,
               separatorKnown ? std::span<const bool>(plainColumns) : std::span<const bool>());
}

void appendOutputRow(std::string& out, std::string_view inputLine, const SourceResult& result,
                     char separator, bool recordedCategory) {
    out += inputLine;
    out += separator;
    appendOutputRow(out, std::span<const std::string_view>(), result, separator, recordedCategory);
}

namespace {

std::size_t locationColumnCount(bool nrc) {
    return locationColumns.size() - (nrc ? 0 : nrcLocationColumns);
}

} // namespace

void appendLocationsHeader(std::string& out, char separator, bool nrc) {
    appendLine(out, std::span(locationColumns).first(locationColumnCount(nrc)), {}, separator);
}

void appendLocationRow(std::string& out, const LocationTotal& total, char separator, bool nrc) {
    char sumAOverD[numberSpace];
    char sumAOverE[numberSpace];
    char fraction1[numberSpace];
    char fraction2[numberSpace];
    const std::string sources = std::to_string(total.sources);
    const std::string withErrors = std::to_string(total.sourcesWithErrors);
    const std::array<std::string_view, locationColumns.size()> fields{
        total.location,
        sources,
        withErrors,
        numberField(total.sumAOverD, sumAOverD),
        total.everyExemptionKnown ? numberField(total.sumAOverE, sumAOverE) : std::string_view(),
        total.categoryByAOverD(),
        total.mostSevereSingleCategory,
        total.raisedByAggregation() ? "yes" : "no",
        numberField(total.nrcFractionCategory1, fraction1),
        numberField(total.nrcFractionCategory2, fraction2),
        total.nrcQuantity()};
    appendLine(out, std::span(fields).first(locationColumnCount(nrc)), {}, separator);
}

} // namespace dovrin
