#include "source_patch.h"

#include <algorithm>
#include <chrono>

#include "fold.h"
#include "inventory.h"
#include "locations.h"
#include "sources_model.h"
#include "store.h"

namespace dovrin {

namespace {

std::string_view idOf(const InventoryTexts& texts, std::size_t row) {
    return texts.fields(row)[*texts.columns[Column::id]];
}

// Where the source's row is, or would go, among the rows in the byte order of their ids, the
// order in which the register gives its sources.
std::size_t placeOf(const InventoryTexts& texts, std::string_view id) {
    std::size_t low = 0;
    std::size_t high = texts.rows.size();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (idOf(texts, middle) < id)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

std::optional<std::uint32_t> locationNumber(const InventoryTexts& texts, std::string_view name) {
    const auto found = std::ranges::find(texts.locations, name);
    if (found == texts.locations.end())
        return std::nullopt;
    return static_cast<std::uint32_t>(found - texts.locations.begin());
}

// The number of the location, a new one after the others when no row was there.
std::uint32_t numberLocation(InventoryTexts& texts, InventoryResults& results,
                             std::string_view name) {
    if (const auto number = locationNumber(texts, name))
        return *number;
    texts.locations.emplace_back(name);
    LocationTotal total;
    total.location = name;
    results.locations.push_back(std::move(total));
    return static_cast<std::uint32_t>(texts.locations.size() - 1);
}

// The location's total from the sources there, each evaluated as a load evaluates it; a
// location no row is at any more is taken away, the numbers of those after it moved up.
void recount(InventoryTexts& texts, InventoryResults& results, std::string_view name) {
    const auto number = locationNumber(texts, name);
    if (!number)
        return;
    LocationTotals totals;
    for (std::size_t row = 0; row < texts.rows.size(); ++row) {
        if (texts.rows[row].location != *number)
            continue;
        const std::vector<std::string_view> fields = texts.fields(row).all();
        const RowTexts source = textsOf(fields, texts.columns);
        totals.add(source.location, evaluateRow(source.source, {}, results.evaluation));
    }
    if (!totals.locations().empty()) {
        results.locations[*number] = totals.locations().front();
        return;
    }
    texts.locations.erase(texts.locations.begin() + *number);
    results.locations.erase(results.locations.begin() + *number);
    for (RowPlace& place : texts.rows)
        if (place.location > *number)
            --place.location;
}

} // namespace

SourceRow readSourceRow(const std::string& location, std::string_view id,
                        const InventoryTexts& texts, InventoryResults& results) {
    SourceRow source;
    const store::Opening opening = store::openStore(location, store::Access::read);
    if (!opening.store) {
        source.error = opening.error;
        return source;
    }
    const std::chrono::year_month_day day{
        std::chrono::floor<std::chrono::days>(results.evaluation.asOf)};
    store::HeldSourceRows rows(opening.store->eventsBySource({std::string(id), std::nullopt}), day);
    InventoryReader reader(rows, texts.options);
    if (!reader.readHeader() || !std::ranges::equal(reader.header(), texts.header)) {
        source.error = "the register's columns are not those the table was read with";
        return source;
    }
    InventoryRow row;
    if (!reader.next(row)) { // not held on the day, unless the register could not be read
        source.error = reader.readError();
        return source;
    }
    if (!row.problem.empty()) {
        source.error = row.problem;
        return source;
    }
    source.fields.emplace(row.fields.begin(), row.fields.end());
    source.location = row.location;
    source.result = storeResult(evaluateRow(row, results.evaluation), results.notes);
    return source;
}

bool patchSource(SourcesModel& sources, std::string_view id, const SourceRow& row) {
    InventoryTexts& texts = *sources.texts();
    InventoryResults& results = *sources.results();
    // The rows' numbers run on from the first row unbroken, as a register's do: a row added or
    // taken away moves no other row's number out of its run.
    const bool unbroken =
        texts.rowRuns.empty() || (texts.rowRuns.size() == 1 && texts.rowRuns.front().first == 0);
    if (!texts.columns[Column::id] || !texts.unreadable.empty() || !unbroken)
        return false;
    const std::size_t place = placeOf(texts, id);
    const bool shown = place < texts.rows.size() && idOf(texts, place) == id;
    std::vector<std::string> changed; // the locations whose totals change
    if (shown)
        changed.push_back(texts.locations[texts.rows[place].location]);
    if (row.fields) {
        changed.push_back(row.location);
        std::string block;
        const std::vector<std::string_view> fields(row.fields->begin(), row.fields->end());
        packFields(block, fields, texts.columns[Column::location]); // kept in texts.locations
        RowPlace at;
        at.location = numberLocation(texts, results, row.location);
        if (shown)
            sources.replaceSourceRow(place, block, at, row.result);
        else
            sources.insertSourceRow(place, block, at, row.result);
    } else if (shown) {
        sources.removeSourceRow(place);
    }
    for (const std::string& location : changed)
        recount(texts, results, location);
    return true;
}

} // namespace dovrin
