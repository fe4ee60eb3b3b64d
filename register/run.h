#pragma once

// One run of the register: read an inventory, evaluate every row, write the results and the
// totals per location, and say what was found. The command line (command_line.h) and the
// register window's Export both call categoriseInventory, so a file exported from the window is
// the file the command line writes.

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "categories.h"
#include "inventory.h"
#include "locations.h"
#include "radionuclides.h"
#include "source.h"
#include "store.h"

namespace dovrin {

// The exit statuses of a run.
inline constexpr int allCategorised = 0;
inline constexpr int someErrorRows = 1;
inline constexpr int runImpossible = 2;

struct RunOptions {
    std::string input = "-";  // a file, or "-" for standard input
    std::string output = "-"; // a file, or "-" for standard output
    std::string locations;    // the totals per location: a file, "-", or empty for none
    InventoryOptions inventory;
    std::optional<LocalTime> asOf; // none: the present moment
    // A kept register given as the input is read as known at this moment (--known-at): the
    // events recorded up to it, inclusive. None: every event.
    std::optional<std::chrono::sys_seconds> knownAt;
    // The input is a regulator's registry (an address), read as its national inventory: every
    // holder's sources held on the day, the holder's name in a first column, and the summary's
    // counts by holder.
    bool national = false;
    DateOrder dateOrder = DateOrder::unstated;
    std::string nuclides; // the user's radionuclides: a CSV file, or empty for none
    DutyRules duties;
    std::string calendar;      // the due dates as iCalendar: a file, "-", or empty for none
    bool nrc = false;          // the US NRC's sums of fractions per location (--nrc)
    bool decimalComma = false; // activities "3,7" read as 3.7; refused for comma-separated text
};

// The radionuclides of a run: the built-in ones, and those of the user's file when one is named.
struct RunRadionuclides {
    std::unique_ptr<const RadionuclideTable> withUsers; // none without a file
    std::string error; // one line, naming the file, when the file cannot be used

    const RadionuclideTable& table() const {
        return withUsers ? *withUsers : RadionuclideTable::builtIn();
    }
};
RunRadionuclides radionuclidesOfRun(const std::string& nuclidesFile);

// A source with a duty overdue or due within 30 days, as the summary names it.
struct DueSource {
    std::string source; // its id, or "row N" without one
    std::string duties; // "leak test, inventory"
};
inline constexpr std::size_t dueSourcesListed = 20;

// What a run found, for the summary.
struct RunSummary {
    // What reading found: the row taken as the header, what is said of its columns, and the
    // rows that are no source (every field empty, or a totals row).
    std::uint64_t headerRow = 1;
    std::vector<std::string> headerRemarks;
    std::uint64_t blankRowsSkipped = 0;
    std::vector<std::uint64_t> totalsRows;
    std::uint64_t rowsRead = 0;
    std::uint64_t categorised = 0;
    std::uint64_t withErrors = 0;
    std::vector<std::uint64_t> firstErrorRows; // the first few, as the rows are numbered
    // Sources per current category, in the order of categoryLabels; the last counts the sources
    // without one (a radionuclide without bands).
    std::array<std::uint64_t, categoryLabels.size() + 1> perCategory{};
    std::array<std::uint64_t, categoryLabels.size() + 1> perCategoryByAOverD{}; // likewise
    std::vector<LocationTotal> raisedLocations; // above every one of their single sources
    // The sources with a duty overdue, and those with one due within 30 days: the first
    // dueSourcesListed of each, and how many there are in all.
    std::vector<DueSource> overdue;
    std::vector<DueSource> dueSoon;
    std::uint64_t overdueCount = 0;
    std::uint64_t dueSoonCount = 0;
    // With the NRC's sums of fractions, the locations that hold a category 1 or 2 quantity.
    std::vector<LocationTotal> nrcLocations;
    // The rows whose recorded category differs from both categories by A/D; none when the
    // inventory has no recorded category.
    std::optional<std::uint64_t> recordedCategoryDiffers;
    // Read from a kept register: its last event and hash, which a report filed elsewhere keeps
    // so that a later edit of the register can be told (registerHeadText); empty otherwise.
    std::string registerHead;
    // A national inventory's sources by holder, each holder's by category by A/D in the order of
    // categoryLabels (the last: not categorised by A/D); empty for another input.
    std::map<std::string, std::array<std::uint64_t, categoryLabels.size() + 1>, std::less<>>
        perHolder;
};

struct RunResult {
    int status = runImpossible;
    std::string error; // one line, when status is runImpossible
    RunSummary summary;
};

// Called now and then with the bytes read and the input's size (0 when unknown, as for a pipe);
// returning false cancels the run, which then leaves no file behind.
using Progress = std::function<bool(std::uint64_t consumed, std::uint64_t total)>;

// Reads the inventory (CSV text, or a sheet of a workbook: see inventory_input.h; or, from a kept
// register, the sources it holds on the as-of day: store/fold.h) and writes the output (and the
// totals per location and the calendar when asked) exactly as dovrin-register does. Each file is
// written beside its final name and renamed into place once complete: a run that fails leaves no
// file, and an existing file of that name as it was. An output that is the input, or two outputs to
// one file, are refused. "-" reads standard input and writes standard output, the two given here.
// now is the present moment.
RunResult categoriseInventory(const RunOptions& options, LocalTime now, std::FILE* standardInput,
                              std::FILE* standardOutput, const Progress& progress = {});

// "register: last event N, hash HEX", as the summary and verify print it.
std::string registerHeadText(const store::Head& head);

// The present local date and time of day, from the system clock.
LocalTime presentLocalTime();

} // namespace dovrin
