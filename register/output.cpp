#include "output.h"

#include <algorithm>
#include <charconv>

#include "csv.h"

namespace dovrin {

namespace {

constexpr std::size_t numberSpace = 32;

// yyyy-mm-dd; a year beyond four digits keeps all of its digits.
std::string_view isoDate(std::chrono::year_month_day date, std::span<char, numberSpace> space) {
    char* out = space.data();
    int year = static_cast<int>(date.year());
    if (year < 0)
        *out++ = '-';
    const unsigned magnitude =
        year < 0 ? static_cast<unsigned>(-year) : static_cast<unsigned>(year);
    char* const yearStart = out;
    if (magnitude < 1000)
        for (unsigned power = 1000; power > std::max(magnitude, 1u); power /= 10)
            *out++ = '0';
    out = std::to_chars(out, yearStart + 8, magnitude).ptr;
    const auto twoDigits = [&out](unsigned value) {
        *out++ = static_cast<char>('0' + value / 10);
        *out++ = static_cast<char>('0' + value % 10);
    };
    *out++ = '-';
    twoDigits(unsigned(date.month()));
    *out++ = '-';
    twoDigits(unsigned(date.day()));
    return {space.data(), out};
}

// Appends the fields as one CSV line, each field written in place.
void appendLine(std::string& out, std::span<const std::string_view> first,
                std::span<const std::string_view> then, char separator) {
    std::size_t room = 1;
    for (const auto fields : {first, then})
        for (const std::string_view field : fields)
            room += csv::fieldRoom(field) + 1;
    const std::size_t start = out.size();
    out.resize(start + room);
    char* to = out.data() + start;
    bool firstField = true;
    for (const auto fields : {first, then})
        for (const std::string_view field : fields) {
            if (!firstField)
                *to++ = separator;
            firstField = false;
            to = csv::writeField(to, field, separator);
        }
    *to++ = '\n';
    out.resize(static_cast<std::size_t>(to - out.data()));
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
    appendLine(out, header, resultColumns, separator);
}

void appendOutputRow(std::string& out, std::span<const std::string_view> fields,
                     const SourceResult& result, char separator) {
    char space[128];
    appendLine(out, fields, resultFields(result, space), separator);
}

void appendLocationsHeader(std::string& out, char separator) {
    appendLine(out, locationColumns, {}, separator);
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
    appendLine(out, fields, {}, separator);
}

} // namespace dovrin
