#pragma once

// The register's output: each input row with its results after it, and the totals per
// location. Numbers are the shortest text that reads back to the same double, with '.' whatever
// the locale; dates are ISO (yyyy-mm-dd).

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "locations.h"
#include "source.h"

namespace dovrin {

// The columns that follow the input's columns, in order.
inline constexpr std::array<std::string_view, 9> resultColumns{
    "activity_tbq",     "category",       "current_activity_tbq",
    "current_category", "a_over_d",       "category_by_a_over_d",
    "next_category",    "next_change_on", "note"};

// The columns of the totals per location, in order.
inline constexpr std::array<std::string_view, 7> locationColumns{"location",
                                                                 "sources",
                                                                 "sources_with_errors",
                                                                 "sum_a_over_d",
                                                                 "category_by_a_over_d",
                                                                 "most_severe_single_category",
                                                                 "raised_by_aggregation"};

// The shortest text that reads back to the same double ("0.35", "1e-07").
std::string_view numberField(double value, std::span<char, 32> space);

// The input's header followed by resultColumns, as one CSV line.
void appendOutputHeader(std::string& out, std::span<const std::string_view> header, char separator);

// One output line: the input's fields unchanged, then the results, empty for an error row.
void appendOutputRow(std::string& out, std::span<const std::string_view> fields,
                     const SourceResult& result, char separator);

// The results alone, as the texts of the nine result columns (for a window that shows them in
// cells); the views point into result or into space.
std::array<std::string_view, resultColumns.size()> resultFields(const SourceResult& result,
                                                                std::span<char, 128> space);

// The totals per location: the header line, then one line per location.
void appendLocationsHeader(std::string& out, char separator);
void appendLocationRow(std::string& out, const LocationTotal& total, char separator);

} // namespace dovrin
