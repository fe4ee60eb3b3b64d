#pragma once

// The rows of an opened inventory, kept compactly so that a million of them fit in a few times
// the file's size: the texts of each row packed one after another in large blocks, and each
// source's results in a few bytes, with its labels as small codes and its note in a shared pool.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "categories.h"
#include "inventory.h"
#include "locations.h"
#include "nuclides.h"
#include "source.h"

namespace dovrin {

static_assert(categoryLabels.size() < 255, "a label code is one byte");

// A label as one byte: 0 for none, otherwise its place in categoryLabels plus one.
using LabelCode = std::uint8_t;
LabelCode labelCode(std::optional<std::string_view> label);
std::string_view labelText(LabelCode code); // empty for none

// A radionuclide as one byte: 0 for none, otherwise its place among the register's built-in
// radionuclides plus one.
using NuclideCode = std::uint8_t;
static_assert(nuclides.size() < 255, "a radionuclide code is one byte");
NuclideCode nuclideCode(std::string_view radionuclide);
std::string_view nuclideText(NuclideCode code);

// A due day as days since 1970-01-01, or noDueDay; a status as its DueStatus.
inline constexpr std::int32_t noDueDay = std::numeric_limits<std::int32_t>::min();
using StatusCode = std::uint8_t;

// One source's duties: their due days, and the leak-test exemption's reason.
struct StoredDuties {
    std::int32_t leakTestDay = noDueDay;
    std::int32_t inventoryDay = noDueDay;
    std::int32_t workingLifeEndDay = noDueDay;
    std::uint32_t leakTestExemption = 0; // place in the note pool; 0: not exempt
};

// The statuses of those duties, kept beside the result's other one-byte codes rather than in
// StoredDuties, whose padding would make every result 8 bytes longer.
struct StoredDueStatuses {
    StatusCode leakTest = 0;
    StatusCode inventory = 0;
    StatusCode workingLifeEnd = 0;
};

// One source's results; the labels and dates are those of SourceResult.
struct StoredResult {
    double activityTBq = 0;
    double currentActivityTBq = 0;
    double aOverD = 0;
    StoredDuties duties;
    std::int32_t nextChangeDay = 0;         // days since 1970-01-01
    std::int32_t nextChangeByAOverDDay = 0; // likewise
    std::uint32_t note = 0;                 // place in the note pool; 0 is the empty note
    NuclideCode radionuclide = 0;
    LabelCode category = 0;
    LabelCode currentCategory = 0;
    LabelCode categoryByAOverD = 0;
    LabelCode initialCategoryByAOverD = 0;
    LabelCode nextLabel = 0;         // 0: no next change
    LabelCode nextLabelByAOverD = 0; // likewise
    StoredDueStatuses dueStatuses;
    bool recordedCategoryDiffers = false;
    bool categorised = false;
};
// A million sources are kept: a byte more for each is a megabyte more.
static_assert(sizeof(StoredResult) == 64);

// The notes of an inventory by their numbers, 0 the empty note; add keeps each text once.
// The rows are stored on several threads at once, each batch's notes in a pool of its own that
// hands them over with the batch (release); the window's pool then adds each batch's notes,
// and the batch's rows take the numbers these have there (renumberNotes). A million-row
// inventory's notes are half the size they were as the batches kept them.
class NotePool {
public:
    NotePool() { views_.emplace_back(); }
    NotePool(const NotePool&) = delete; // views_ and index_ view the texts of this pool
    NotePool& operator=(const NotePool&) = delete;
    NotePool(NotePool&&) = default;
    NotePool& operator=(NotePool&&) = default;
    std::uint32_t add(std::string_view note);
    // The notes kept since the last release (the empty note aside), in the order of their
    // numbers; the pool then holds and finds none of them, and numbers the next after them.
    std::vector<std::string> release();
    // Of a note kept and not released.
    std::string_view operator[](std::uint32_t index) const { return views_[index - first_]; }
    std::size_t size() const { return first_ + views_.size(); }

private:
    std::string_view keep(std::string_view note);

    std::uint32_t first_ = 0; // the number of views_.front()
    // The texts one after another in blocks that never grow past their room, so that they
    // never move: a note costs its bytes and its view, not a string and its allocation each.
    std::deque<std::string> blocks_;
    std::vector<std::string_view> views_;
    std::unordered_map<std::string_view, std::uint32_t> index_;
};

StoredResult storeResult(const SourceResult& result, NotePool& notes);

// A result stored with one pool whose notes another pool keeps: its note numbers given anew,
// each number n (not 0, the empty note) becoming numberInOther(n).
template <class Renumber> void renumberNotes(StoredResult& stored, Renumber numberInOther) {
    for (std::uint32_t* note : {&stored.note, &stored.duties.leakTestExemption})
        if (*note != 0)
            *note = numberInOther(*note);
}

// The result as the register gave it, for the register's own writers; notes must outlive it. The
// sums' terms (A/E, the NRC's fractions) are not kept: the totals per location hold their sums.
SourceResult restoreResult(const StoredResult& stored, const NotePool& notes);

// Where a row's texts are in the block that holds it: the place where its fields begin.
struct RowPlace {
    std::uint32_t offset = 0;
    std::uint32_t location = 0; // place in the location totals
};

// Appends a row's fields to a block: their number, then each one's length and bytes. A field
// kept elsewhere is packed empty: a row's location, which the inventory's texts hold once for
// every row there, is a fifth of a million-row inventory's bytes.
void packFields(std::string& block, std::span<const std::string_view> fields,
                std::optional<std::size_t> keptElsewhere = std::nullopt);

// A field packed empty for being kept elsewhere, and its text.
struct FieldKeptElsewhere {
    std::size_t index = 0;
    std::string_view text;
};

// The fields of a row packed by packFields, read from its first byte.
class PackedFields {
public:
    explicit PackedFields(const char* start, std::optional<FieldKeptElsewhere> kept = {});
    std::size_t size() const { return count_; }
    std::string_view operator[](std::size_t index) const; // empty past the last field
    std::vector<std::string_view> all() const;

private:
    const char* first_;
    std::size_t count_;
    std::optional<FieldKeptElsewhere> kept_;
};

// The texts of an inventory: its header and its rows, in the file's order.
struct InventoryTexts {
    std::string path;
    std::vector<std::string> header;
    ColumnMap columns;
    std::uint64_t headerRow = 1;            // as a spreadsheet numbers it
    std::vector<std::string> headerRemarks; // what the summary says of the header's columns
    InventoryOptions options;               // as the file was read, separator included
    std::vector<std::uint32_t> unreadable;  // rows that are not well formed, in order
    // Where the file's row numbers break (after a blank or totals row that is no source): each
    // run's first row in the table and its number in the file. A sheet's row numbers, not the
    // table's, are what a person looks for in the file.
    struct RowRun {
        std::size_t first;
        std::uint64_t number;
    };
    std::vector<RowRun> rowRuns;
    std::deque<std::string> blocks;
    std::vector<std::size_t> blockFirstRows; // the first row of each block: a row's block
    std::deque<RowPlace> rows;
    std::vector<std::string> locations; // in the order of first appearance
    // Of a kept register: the moment its events were read as known at ("now" for all), and its
    // last event then, "register: last event N, hash H", which a report names so that a later
    // edit of the register can be told; both empty for an inventory file.
    std::string knownAt;
    std::string registerHead;
    std::uint64_t registerSeq = 0; // that last event's number

    // The row's number in the file, as a spreadsheet numbers it.
    std::uint64_t fileRow(std::size_t row) const {
        const auto after =
            std::upper_bound(rowRuns.begin(), rowRuns.end(), row,
                             [](std::size_t r, const RowRun& run) { return r < run.first; });
        if (after == rowRuns.begin()) // none kept: the rows follow the header
            return headerRow + 1 + row;
        const RowRun& run = *std::prev(after);
        return run.number + (row - run.first);
    }

    // The block that holds the row: the last whose first row is not after it.
    std::size_t blockOf(std::size_t row) const {
        const auto after = std::upper_bound(blockFirstRows.begin(), blockFirstRows.end(), row);
        return static_cast<std::size_t>(after - blockFirstRows.begin()) - 1;
    }

    // The row's fields, its location from locations.
    PackedFields fields(std::size_t row) const {
        const RowPlace& place = rows[row];
        std::optional<FieldKeptElsewhere> location;
        if (const auto column = columns[Column::location])
            location = FieldKeptElsewhere{*column, place.location < locations.size()
                                                       ? std::string_view(locations[place.location])
                                                       : std::string_view()};
        return PackedFields(blocks[blockOf(row)].data() + place.offset, location);
    }
};

// The results of an inventory at one as-of moment.
struct InventoryResults {
    Evaluation evaluation;
    std::deque<StoredResult> rows;
    NotePool notes;
    std::vector<LocationTotal> locations;
    std::size_t errors = 0;
};

} // namespace dovrin
