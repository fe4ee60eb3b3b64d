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
    nextCategoryByAOverD,
    nextChangeByAOverDOn,
    note,
    leakTestDue,
    leakTestStatus,
    inventoryDue,
    workingLifeEnds,
    recordedCategoryCheck, // only for an inventory with a recorded category
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
    {ResultColumn::nextCategoryByAOverD, "next_category_by_a_over_d", "Next category by A/D",
     ResultKind::category},
    {ResultColumn::nextChangeByAOverDOn, "next_change_by_a_over_d_on", "Next change by A/D on",
     ResultKind::date},
    {ResultColumn::note, "note", "Note", ResultKind::text},
    {ResultColumn::leakTestDue, "leak_test_due", "Leak test due", ResultKind::date},
    {ResultColumn::leakTestStatus, "leak_test_status", "Leak test status", ResultKind::text},
    {ResultColumn::inventoryDue, "inventory_due", "Inventory due", ResultKind::date},
    {ResultColumn::workingLifeEnds, "working_life_ends", "Working life ends", ResultKind::date},
    {ResultColumn::recordedCategoryCheck, "recorded_category_check", "Recorded category check",
     ResultKind::text},
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
static_assert(resultColumnTable.back().column == ResultColumn::recordedCategoryCheck,
              "the recorded category's check comes last, so that an inventory without a "
              "recorded category leaves it out by its output ending one column earlier");

// The names of the result columns, in order, as the output's header writes them.
inline constexpr auto resultColumns = [] {
    std::array<std::string_view, resultColumnTable.size()> names{};
    for (std::size_t i = 0; i < names.size(); ++i)
        names[i] = resultColumnTable[i].name;
    return names;
}();

// How many result columns an output has: every one, or all but the recorded category's check
// for an inventory without a recorded category.
constexpr std::size_t resultColumnCount(bool recordedCategory) {
    return resultColumns.size() - (recordedCategory ? 0 : 1);
}

// The columns of the totals per location, in order; the last three only with the US NRC's sums
// of fractions (--nrc).
inline constexpr std::array<std::string_view, 11> locationColumns{"location",
                                                                  "sources",
                                                                  "sources_with_errors",
                                                                  "sum_a_over_d",
                                                                  "sum_a_over_e",
                                                                  "category_by_a_over_d",
                                                                  "most_severe_single_category",
                                                                  "raised_by_aggregation",
                                                                  "nrc_fraction_category_1",
                                                                  "nrc_fraction_category_2",
                                                                  "nrc_quantity"};
inline constexpr std::size_t nrcLocationColumns = 3;

// The room resultFields writes its numbers, dates and texts into.
inline constexpr std::size_t resultFieldsSpace = 320;

// The shortest text that reads back to the same double ("0.35", "1e-07").
std::string_view numberField(double value, std::span<char, 32> space);

// The input's header followed by the result columns' names, as one CSV line; the recorded
// category's check only when the inventory has a recorded category.
void appendOutputHeader(std::string& out, std::span<const std::string_view> header, char separator,
                        bool recordedCategory);

// One output line: the input's fields unchanged, then the results, empty for an error row.
void appendOutputRow(std::string& out, std::span<const std::string_view> fields,
                     const SourceResult& result, char separator, bool recordedCategory);

// The same for a row whose input is a line of fields that need no quotes, written as it is.
void appendOutputRow(std::string& out, std::string_view inputLine, const SourceResult& result,
                     char separator, bool recordedCategory);

// The results alone, as the texts of the result columns (for a window that shows them in
// cells); the views point into result or into space.
std::array<std::string_view, resultColumns.size()>
resultFields(const SourceResult& result, std::span<char, resultFieldsSpace> space);

// The totals per location: the header line, then one line per location; the NRC's columns
// only when nrc is true.
void appendLocationsHeader(std::string& out, char separator, bool nrc);
void appendLocationRow(std::string& out, const LocationTotal& total, char separator, bool nrc);

} // namespace dovrin
