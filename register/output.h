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

// The columns that follow the input's columns, in their order: the writer, the register
// window's table and its report all go by this enum and resultColumnTable, so that reordering
// or adding a column cannot mislabel one of them.
enum class ResultColumn {
    activityTBq,
    category,
    currentActivityTBq,
    currentCategory,
    aOverD,
    categoryByAOverD,
    nextCategory,
    nextChangeOn,
    note,
    leakTestDue,
    leakTestStatus,
    inventoryDue,
    workingLifeEnds,
};

// What a result column holds: a number, a category label, an ISO date or a text.
enum class ResultKind { number, category, date, text };

struct ResultColumnInfo {
    ResultColumn column;
    std::string_view name;    // in the output's header
    std::string_view heading; // for people, in the register window and its report
    ResultKind kind;
};

inline constexpr auto resultColumnTable = std::to_array<ResultColumnInfo>({
    {ResultColumn::activityTBq, "activity_tbq", "Activity (TBq)", ResultKind::number},
    {ResultColumn::category, "category", "Category", ResultKind::category},
    {ResultColumn::currentActivityTBq, "current_activity_tbq", "Current activity (TBq)",
     ResultKind::number},
    {ResultColumn::currentCategory, "current_category", "Current category", ResultKind::category},
    {ResultColumn::aOverD, "a_over_d", "A/D", ResultKind::number},
    {ResultColumn::categoryByAOverD, "category_by_a_over_d", "Category by A/D",
     ResultKind::category},
    {ResultColumn::nextCategory, "next_category", "Next category", ResultKind::category},
    {ResultColumn::nextChangeOn, "next_change_on", "Next change on", ResultKind::date},
    {ResultColumn::note, "note", "Note", ResultKind::text},
    {ResultColumn::leakTestDue, "leak_test_due", "Leak test due", ResultKind::date},
    {ResultColumn::leakTestStatus, "leak_test_status", "Leak test status", ResultKind::text},
    {ResultColumn::inventoryDue, "inventory_due", "Inventory due", ResultKind::date},
    {ResultColumn::workingLifeEnds, "working_life_ends", "Working life ends", ResultKind::date},
});

// The place of a column among the result columns.
constexpr std::size_t indexOf(ResultColumn column) {
    return static_cast<std::size_t>(column);
}

constexpr bool resultColumnsInEnumOrder() {
    for (std::size_t i = 0; i < resultColumnTable.size(); ++i)
        if (indexOf(resultColumnTable[i].column) != i)
            return false;
    return true;
}
static_assert(resultColumnsInEnumOrder(), "resultColumnTable lists the columns in enum order");
// The duties' columns came later than the note: they follow it, so that a reader of the earlier
// columns by their place still finds them there.
static_assert(indexOf(ResultColumn::note) + 1 == indexOf(ResultColumn::leakTestDue));

// The names of the result columns, in order, as the output's header writes them.
inline constexpr auto resultColumns = [] {
    std::array<std::string_view, resultColumnTable.size()> names{};
    for (std::size_t i = 0; i < names.size(); ++i)
        names[i] = resultColumnTable[i].name;
    return names;
}();

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

// The same for a row whose input is a line of fields that need no quotes, written as it is.
void appendOutputRow(std::string& out, std::string_view inputLine, const SourceResult& result,
                     char separator);

// The results alone, as the texts of the result columns (for a window that shows them in
// cells); the views point into result or into space.
inline constexpr std::size_t resultFieldsSpace = 256;
std::array<std::string_view, resultColumns.size()>
resultFields(const SourceResult& result, std::span<char, resultFieldsSpace> space);

// The totals per location: the header line, then one line per location.
void appendLocationsHeader(std::string& out, char separator);
void appendLocationRow(std::string& out, const LocationTotal& total, char separator);

} // namespace dovrin
