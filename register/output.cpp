#include "output.h"

#include <charconv>
#include <cstdio>

#include "csv.h"

namespace dovrin {

namespace {

constexpr std::size_t numberSpace = 32;

// yyyy-mm-dd; a year beyond four digits keeps all of its digits.
std::string_view isoDate(std::chrono::year_month_day date, std::span<char> space) {
    const int length =
        std::snprintf(space.data(), space.size(), "%04d-%02u-%02u", static_cast<int>(date.year()),
                      unsigned(date.month()), unsigned(date.day()));
    return {space.data(), static_cast<std::size_t>(std::max(length, 0))};
}

void appendRow(std::string& out, std::span<const std::string_view> fields, char separator) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += separator;
        csv::appendField(out, fields[i], separator);
    }
}

} // namespace

std::string_view numberField(double value, std::span<char, 32> space) {
    const auto [end, error] = std::to_chars(space.data(), space.data() + space.size(), value);
    return error == std::errc() ? std::string_view(space.data(), end) : std::string_view();
}

std::array<std::string_view, resultColumns.size()> resultFields(const SourceResult& result,
                                                                std::span<char, 128> space) {
    std::array<std::string_view, resultColumns.size()> fields{};
    fields.back() = result.note;
    if (!result.categorised)
        return fields;
    const auto part = [&](std::size_t which) {
        return space.subspan(which * numberSpace).first<numberSpace>();
    };
    fields[0] = numberField(result.activityTBq, part(0));
    fields[1] = result.category.value_or(std::string_view());
    fields[2] = numberField(result.currentActivityTBq, part(1));
    fields[3] = result.currentCategory.value_or(std::string_view());
    fields[4] = numberField(result.aOverD, part(2));
    fields[5] = result.categoryByAOverD;
    if (result.nextChange) {
        fields[6] = result.nextChange->label;
        fields[7] = isoDate(result.nextChange->on, part(3));
    }
    return fields;
}

void appendOutputHeader(std::string& out, std::span<const std::string_view> header,
                        char separator) {
    appendRow(out, header, separator);
    for (const std::string_view name : resultColumns) {
        out += separator;
        out += name;
    }
    out += '\n';
}

void appendOutputRow(std::string& out, std::span<const std::string_view> fields,
                     const SourceResult& result, char separator) {
    appendRow(out, fields, separator);
    char space[128];
    for (const std::string_view field : resultFields(result, space)) {
        out += separator;
        csv::appendField(out, field, separator);
    }
    out += '\n';
}

void appendLocationsHeader(std::string& out, char separator) {
    appendRow(out, locationColumns, separator);
    out += '\n';
}

void appendLocationRow(std::string& out, const LocationTotal& total, char separator) {
    char sum[numberSpace];
    const std::string sources = std::to_string(total.sources);
    const std::string withErrors = std::to_string(total.sourcesWithErrors);
    const std::array<std::string_view, locationColumns.size()> fields{
        total.location,
        sources,
        withErrors,
        numberField(total.sumAOverD, sum),
        total.categoryByAOverD(),
        total.mostSevereSingleCategory,
        total.raisedByAggregation() ? "yes" : "no"};
    appendRow(out, fields, separator);
    out += '\n';
}

} // namespace dovrin
