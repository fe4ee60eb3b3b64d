#pragma once

// The columns an inventory may have and the headers people write for them. This one table is
// what the reader matches a header against, what --help lists and what the manual page shows
// (a test holds the manual page to it), so that the three never disagree.

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

#include "table_checks.h"

namespace dovrin {

// The columns that describe a source, its duties, its recorded category, and two facts that
// free it from leak tests: its status (stored and not in use) and its form (seeds in ribbon).
enum class Column {
    radionuclide,
    activity,
    unit,
    manufactured,
    location,
    id,
    lastLeakTest,
    leakTestInterval,
    lastInventory,
    inventoryInterval,
    workingLife,
    recordedCategory,
    status,
    form,
};
inline constexpr std::array<std::string_view, 14> columnNames{
    "radionuclide",   "activity",
    "unit",           "manufactured",
    "location",       "id",
    "last_leak_test", "leak_test_interval",
    "last_inventory", "inventory_interval",
    "working_life",   "recorded_category",
    "status",         "form"};
// The first two of columnNames: without them a row is no source. The unit may come from its
// own column, from the activity's header ("Activity (mCi)") or from each activity cell.
inline constexpr std::size_t requiredColumns = 2;
static_assert(static_cast<std::size_t>(Column::form) + 1 == columnNames.size());

// A header people write for a column. Headers are compared without regard to letter case,
// blanks, punctuation and a trailing unit in brackets, so "Serial No." is "serial no" and
// "Activity (mCi)" is "activity".
struct ColumnSynonym {
    Column column;
    std::string_view header;
};

// For each column, its headers in order of preference: where two headers of one inventory name
// the same column ("Source ID" and "Serial No."), the one earlier here is taken and the other is
// carried through. Each column's own name comes first.
inline constexpr auto columnSynonyms = std::to_array<ColumnSynonym>({
    {Column::radionuclide, "radionuclide"},
    {Column::radionuclide, "nuclide"},
    {Column::radionuclide, "isotope"},
    {Column::radionuclide, "radioisotope"},
    {Column::radionuclide, "source nuclide"},
    {Column::activity, "activity"},
    {Column::activity, "nominal activity"},
    {Column::activity, "reference activity"},
    {Column::activity, "calibrated activity"},
    {Column::unit, "unit"},
    {Column::unit, "units"},
    {Column::manufactured, "manufactured"},
    {Column::manufactured, "date of manufacture"},
    {Column::manufactured, "manufacture date"},
    {Column::manufactured, "manufacturing date"},
    {Column::manufactured, "mfg date"},
    {Column::manufactured, "reference date"},
    {Column::manufactured, "ref date"},
    {Column::manufactured, "calibration date"},
    {Column::manufactured, "activity date"},
    {Column::manufactured, "assay date"},
    {Column::location, "location"},
    {Column::location, "room"},
    {Column::location, "lab"},
    {Column::location, "site"},
    {Column::location, "store"},
    {Column::location, "building"},
    {Column::id, "id"},
    {Column::id, "serial"},
    {Column::id, "serial number"},
    {Column::id, "serial no"},
    {Column::id, "source id"},
    {Column::id, "source number"},
    {Column::lastLeakTest, "last leak test"},
    {Column::lastLeakTest, "last wipe test"},
    {Column::lastLeakTest, "leak test date"},
    {Column::lastLeakTest, "wipe test date"},
    {Column::leakTestInterval, "leak test interval"},
    {Column::leakTestInterval, "wipe test interval"},
    {Column::leakTestInterval, "wipe interval"},
    {Column::leakTestInterval, "leak test frequency"},
    {Column::lastInventory, "last inventory"},
    {Column::lastInventory, "last physical inventory"},
    {Column::lastInventory, "inventory date"},
    {Column::inventoryInterval, "inventory interval"},
    {Column::workingLife, "working life"},
    {Column::workingLife, "recommended working life"},
    {Column::workingLife, "service life"},
    {Column::recordedCategory, "recorded category"},
    {Column::recordedCategory, "category"},
    {Column::recordedCategory, "security category"},
    {Column::status, "status"},
    {Column::form, "form"},
});

namespace tableChecks {
// Each column's own name, with '_' for the blank, is its first header.
constexpr bool ownNameFirst() {
    for (std::size_t c = 0; c < columnNames.size(); ++c) {
        const auto first =
            std::ranges::find(columnSynonyms, static_cast<Column>(c), &ColumnSynonym::column);
        if (first == columnSynonyms.end() || first->header.size() != columnNames[c].size())
            return false;
        for (std::size_t i = 0; i < first->header.size(); ++i)
            if (first->header[i] != (columnNames[c][i] == '_' ? ' ' : columnNames[c][i]))
                return false;
    }
    return true;
}
} // namespace tableChecks

static_assert(tableChecks::eachKeyOnce(columnSynonyms, &ColumnSynonym::header),
              "a header names one column only");
static_assert(tableChecks::ownNameFirst(), "each column's own name is its first header");

} // namespace dovrin
