#include "command_line.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <optional>
#include <span>
#include <utility>

#include "due_dates.h"
#include "output.h"
#include "output_files.h"
#include "plain_text.h"
#include "registry_commands.h"
#include "store_commands.h"

#ifndef DOVRIN_VERSION
#define DOVRIN_VERSION "unknown"
#endif

namespace dovrin {

namespace {

constexpr std::string_view programName = "dovrin-register";
constexpr std::uint64_t largeInput = 32ull << 20; // an input worth a progress bar

constexpr std::string_view usage = R"usage(Usage: dovrin-register [OPTION]... INVENTORY
       dovrin-register [OPTION]... REGISTER [--as-of DATE] [--known-at MOMENT]
       dovrin-register init REGISTER --holder NAME [--licence TEXT]
       dovrin-register import REGISTER INVENTORY --on DATE --by NAME [--commit] [--reason TEXT]
       dovrin-register record REGISTER KIND --source ID --on DATE --by NAME [--FIELD VALUE]...
       dovrin-register history REGISTER [--source ID] [--from DATE] [--to DATE]
       dovrin-register export REGISTER --as-of DATE -o FILE
       dovrin-register verify REGISTER
       dovrin-register registry init URI
       dovrin-register registry add-holder URI NAME --role ROLE [--licence TEXT]
       dovrin-register registry add-inspector URI ROLE
       dovrin-register registry [OPTION]... URI [--as-of DATE] [--known-at MOMENT]
Categorise every sealed radioactive source of an inventory (a CSV file, a sheet of an .xlsx or
.ods workbook, or - for standard input) and write each row with its results as CSV to standard
output. A workbook is recognised by what the file holds, whatever its name.

The header is the first row, among the first 50, that names the radionuclide and activity
columns; the rows above it (a title, blank rows) are skipped, and the summary says which row it
was. Headers are matched without regard to letter case, blanks, punctuation and a trailing unit
in brackets, by these names (the first of each line is the column's name in --column):
@SYNONYMS@
radionuclide and activity are required. The unit comes from the unit column, from the
activity's cell ("250 uCi", "150mCi"), or from the activity's header ("Activity (mCi)") for the
rows that give none. recorded_category is a category typed by a person, checked against the
categories by A/D. Every other column is carried through unchanged. A row whose every field is
empty, and a totals row (no radionuclide, its first text "Total", "Subtotal" or "Sum"), are no
sources: they are skipped and counted in the summary.

Due dates: the optional columns last_leak_test and last_inventory (dates), leak_test_interval
and inventory_interval (a number of days, weeks, months or years, "6 months", "1 yr", or
annual, semi-annual, quarterly, monthly) and working_life (whole years from the date of
manufacture) give the columns leak_test_due, leak_test_status, inventory_due and
working_life_ends. A source is exempt from leak tests by the rules of US NRC 10 CFR 35.67(f),
judged on its decayed activity on the due date; a status column saying "stored, not in use" and
a form column saying "seeds in nylon ribbon" (of Ir-192) give the exemptions (f)(5) and (f)(4).

A register (conventionally NAME.dovrin, made by init) keeps every event of its sources:
received, moved, leak-tested, transferred, disposed of, lost, corrected. Given as the
inventory, it gives the sources held on the as-of day, as a file of them would.

Register commands:
  init REGISTER --holder NAME [--licence TEXT]
                           make a new register file (never over an existing file)
  import REGISTER INVENTORY --on DATE --by NAME [--commit] [--reason TEXT] [--document TEXT]
                           compare an inventory (keyed by its id column) with the register and
                           write, as CSV, the events it would record: receive, move, status,
                           leak-test, inventory-check, conflict (a changed record, recorded as
                           a correct only with --commit and --reason) and absent (held, not in
                           the file: nothing recorded). --commit records them. Takes the
                           reading options --separator, --column, --sheet, --decimal-comma and
                           --date-order
  record REGISTER KIND --source ID --on DATE --by NAME [--FIELD VALUE]... [--reason TEXT]
                           record one event. KIND: receive, move, leak-test, inventory-check,
                           status, transfer, dispose, lost, stolen, recovered, correct, void,
                           note. Fields: the inventory's columns (--radionuclide, --activity,
                           --unit, --manufactured, --location, --status, ...), --device,
                           --make, --model, --serial, --received-from; --outcome pass|fail,
                           --result-bq, --tester (leak-test); --found present|missing
                           (inventory-check); --to, --licence (transfer); --method, --facility
                           (dispose); --text (note); --event SEQ (correct, void: the event they
                           name; both need --reason); --document TEXT
  history REGISTER [--source ID] [--from DATE] [--to DATE] [--known-at MOMENT]
                           write the events as CSV, one row per event
  export REGISTER --as-of DATE -o FILE [--known-at MOMENT]
                           write the sources held on DATE as an inventory that imports with no
                           events
  verify REGISTER          check the database and the hash chain of its events: names the first
                           event that does not match (exit status 1)

A registry keeps the registers of many holders on a PostgreSQL server. Wherever a command takes
a REGISTER, a registry's address (a postgresql:// URI or service=NAME) also works: the role it
connects as is the holder whose register it is.

Registry commands (URI: a postgresql:// or postgres:// URI, or service=NAME):
  registry init URI        make the registry's tables, roles and policies, as their owner
  registry add-holder URI NAME --role ROLE [--licence TEXT]
                           add a holder, whose events the database role ROLE records
  registry add-inspector URI ROLE
                           let ROLE read every holder's events, and write none
  registry [OPTION]... URI the national inventory: every holder's sources held on the as-of
                           day, with a first column holder; the summary counts them by holder
                           and category by A/D

Options:
  -o, --output FILE        write the results to FILE instead of standard output
      --locations FILE     write the totals per location to FILE: the sums of A/D and of A/E
                           (a location is Exempted only when its sum of A/E is at most 1)
      --nrc                add to the totals per location the US NRC's sums of fractions of
                           10 CFR 37 Appendix A, and name in the summary every location that
                           holds a category 1 or 2 quantity. A location should then be one area
                           behind a common security barrier; the activity of an Am-241/Be or
                           Pu-239/Be source is that of its alpha emitter.
      --as-of DATE         categorise at DATE (yyyy-mm-dd, 00:00), yyyy-mm-ddThh:mm or
                           yyyy-mm-ddThh:mm:ss instead of the present moment
      --known-at MOMENT    read a register as it was known at MOMENT (yyyy-mm-ddThh:mm[:ss],
                           local time, or UTC with a final Z): the events recorded up to then
      --separator SEP      comma, semicolon or tab (recognised from the first lines by default)
      --header-row N       the header is row N (as a spreadsheet numbers its rows)
      --column NAME=HEADER read the column NAME (one of the names above) from the column
                           headed HEADER; repeatable. The unit may name the activity's
                           column: each of its cells is then read as a number and a unit,
                           "100 mCi"
      --sheet NAME         read the workbook's sheet NAME (by default its first sheet)
      --decimal-comma      read activities such as 3,7 as 3.7 (not with the comma separator)
      --date-order ORDER   dmy (day first) or mdy (month first) for dates such as 03/02/2020;
                           without it a slash date reads only where a part above 12 shows
                           which is the day, and 03/02/2020 is an error row
      --nuclides FILE      add the radionuclides of FILE, a CSV file with the columns
                           radionuclide, half_life, half_life_unit (s, min, h, d or y),
                           d_value_tbq, exemption_bq (empty: not known) and source; a
                           radionuclide the register knows is refused
      --list-nuclides      write the radionuclides a run would use, each value with its
                           source, as CSV to standard output and exit
      --leak-test-interval INTERVAL
                           the interval of a row without one (default 6 months)
      --inventory-interval INTERVAL
                           the same for physical inventories (default 6 months)
      --leak-test-rules RULES
                           nrc (the exemptions of 10 CFR 35.67(f), the default) or none
      --calendar FILE      write the due dates to FILE as an iCalendar file (.ics)
  -h, --help               show this help and exit
      --version            show the version and exit

The register knows the calculator's radionuclides, categorised by its category tables, and
the common sealed-source radionuclides (H-3, C-14, Ni-63, Tc-99m, Am-241/Be, ...), categorised
by A/D alone; --list-nuclides shows them all. Names may be written "Co-60", "co60", "60Co",
"Tc-99m", "99mTc", "Am-241/Be", "AmBe".

Exit status: 0 when every row was categorised (a command done), 1 when some rows are error rows (their note
says why; an import with conflicts not recorded; verify finding a fault), 2 when the run could
not be done.

Example:
  dovrin-register --as-of 2026-01-01 --locations sites.csv -o results.csv inventory.csv
)usage";

// "radionuclide, activity, ..., working_life"
std::string columnNameList() {
    std::string list;
    for (const std::string_view name : columnNames)
        list += (list.empty() ? "" : ", ") + std::string(name);
    return list;
}

struct Arguments {
    RunOptions options;
    bool help = false;
    bool version = false;
    bool listNuclides = false;
    std::string error; // why the arguments cannot be used
};

} // namespace

std::optional<LocalTime> readMoment(std::string_view text) {
    using namespace std::chrono;
    const auto number = [&](std::size_t from, std::size_t length) {
        return fixedDigits(text, from, length);
    };
    if ((text.size() != 10 && text.size() != 16 && text.size() != 19) || text[4] != '-' ||
        text[7] != '-')
        return std::nullopt;
    const auto y = number(0, 4), m = number(5, 2), d = number(8, 2);
    if (!y || !m || !d)
        return std::nullopt;
    const year_month_day date{year{*y}, month{static_cast<unsigned>(*m)},
                              day{static_cast<unsigned>(*d)}};
    if (!date.ok())
        return std::nullopt;
    LocalTime moment = local_days{date};
    if (text.size() >= 16) {
        if (text[10] != 'T' || text[13] != ':')
            return std::nullopt;
        const auto h = number(11, 2), minute = number(14, 2);
        if (!h || !minute || *h > 23 || *minute > 59)
            return std::nullopt;
        moment += hours{*h} + minutes{*minute};
    }
    if (text.size() == 19) {
        const auto second = text[16] == ':' ? number(17, 2) : std::nullopt;
        if (!second || *second > 59)
            return std::nullopt;
        moment += seconds{*second};
    }
    return moment;
}

namespace {

// Reads one option that takes a value.
bool applyOption(std::string_view name, std::string_view value, Arguments& arguments) {
    RunOptions& options = arguments.options;
    const auto fail = [&](std::string why) {
        arguments.error = std::move(why);
        return false;
    };
    if ((name == "-o" || name == "--output" || name == "--locations" || name == "--calendar") &&
        value.empty())
        return fail(std::string(name) + " needs a file name, or - for standard output");
    if (name == "-o" || name == "--output") {
        options.output = value;
    } else if (name == "--locations") {
        options.locations = value;
    } else if (name == "--calendar") {
        options.calendar = value;
    } else if (name == "--leak-test-interval" || name == "--inventory-interval") {
        const auto interval = readInterval(value);
        if (!interval)
            return fail(std::string(name) +
                        " takes a whole number of days, weeks, months or years, as '6 months' or "
                        "'1 yr', or annual, semi-annual, quarterly, monthly; not '" +
                        std::string(value) + "'");
        (name == "--leak-test-interval" ? options.duties.leakTestInterval
                                        : options.duties.inventoryInterval) = *interval;
    } else if (name == "--leak-test-rules") {
        if (value != "nrc" && value != "none")
            return fail("--leak-test-rules takes nrc or none, not '" + std::string(value) + "'");
        options.duties.leakTestExemptions = value == "nrc";
    } else if (name == "--as-of") {
        options.asOf = readMoment(value);
        if (!options.asOf)
            return fail("--as-of takes yyyy-mm-dd, yyyy-mm-ddThh:mm or yyyy-mm-ddThh:mm:ss, not '" +
                        std::string(value) + "'");
    } else if (name == "--known-at") {
        options.knownAt = readKnownAt(value);
        if (!options.knownAt)
            return fail("--known-at takes yyyy-mm-ddThh:mm[:ss], local time, or the same with a "
                        "final Z for UTC; not '" +
                        std::string(value) + "'");
    } else if (name == "--separator") {
        constexpr std::array<std::pair<std::string_view, char>, 3> names{
            {{"comma", ','}, {"semicolon", ';'}, {"tab", '\t'}}};
        const auto found =
            std::ranges::find(names, value, &std::pair<std::string_view, char>::first);
        if (found == names.end())
            return fail("--separator takes comma, semicolon or tab, not '" + std::string(value) +
                        "'");
        options.inventory.separator = found->second;
    } else if (name == "--column") {
        const std::size_t equals = value.find('=');
        const auto column =
            equals == std::string_view::npos ? std::nullopt : columnNamed(value.substr(0, equals));
        if (!column)
            return fail("--column takes NAME=HEADER, NAME one of " + columnNameList() + "; not '" +
                        std::string(value) + "'");
        options.inventory.columns.push_back({*column, std::string(value.substr(equals + 1))});
    } else if (name == "--header-row") {
        std::uint64_t row = 0;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), row);
        if (error != std::errc() || end != value.data() + value.size() || row == 0)
            return fail("--header-row takes a row number from 1, not '" + std::string(value) + "'");
        options.inventory.headerRow = row;
    } else if (name == "--sheet") {
        if (value.empty())
            return fail("--sheet needs the name of a sheet");
        options.inventory.sheet = value;
    } else if (name == "--date-order") {
        if (value != "mdy" && value != "dmy")
            return fail("--date-order takes mdy or dmy, not '" + std::string(value) + "'");
        options.dateOrder = value == "dmy" ? DateOrder::dayFirst : DateOrder::monthFirst;
    } else if (name == "--nuclides") {
        if (value.empty())
            return fail("--nuclides needs a file name");
        options.nuclides = value;
    } else {
        return fail("unknown option '" + std::string(name) + "'");
    }
    return true;
}

Arguments readArguments(std::span<const std::string_view> words) {
    constexpr std::array<std::string_view, 15> withValue{
        "-o",           "--output",          "--locations",
        "--as-of",      "--separator",       "--column",
        "--date-order", "--nuclides",        "--leak-test-interval",
        "--calendar",   "--leak-test-rules", "--inventory-interval",
        "--sheet",      "--header-row",      "--known-at"};
    Arguments arguments;
    std::optional<std::string_view> input;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string_view word = words[i];
        if (optionsEnded || word == standardStream || !word.starts_with('-')) {
            if (input) {
                arguments.error = "one inventory at a time: '" + std::string(*input) + "' and '" +
                                  std::string(word) + "'";
                return arguments;
            }
            input = word;
        } else if (word == "--") {
            optionsEnded = true;
        } else if (word == "-h" || word == "--help") {
            arguments.help = true;
        } else if (word == "--version") {
            arguments.version = true;
        } else if (word == "--list-nuclides") {
            arguments.listNuclides = true;
        } else if (word == "--nrc") {
            arguments.options.nrc = true;
        } else if (word == "--decimal-comma") {
            arguments.options.decimalComma = true;
        } else {
            const std::size_t equals = word.starts_with("--") ? word.find('=') : word.npos;
            const std::string_view name = word.substr(0, equals);
            if (std::ranges::find(withValue, name) == withValue.end()) {
                arguments.error = "unknown option '" + std::string(word) + "'";
                return arguments;
            }
            std::string_view value;
            if (equals != word.npos) {
                value = word.substr(equals + 1);
            } else if (i + 1 < words.size()) {
                value = words[++i];
            } else {
                arguments.error = std::string(name) + " needs a value";
                return arguments;
            }
            if (!applyOption(name, value, arguments))
                return arguments;
        }
    }
    if (!input && !arguments.help && !arguments.version && !arguments.listNuclides)
        arguments.error =
            "no inventory given (a CSV file, an .xlsx or .ods workbook, or - for standard input)";
    arguments.options.input = input.value_or(standardStream);
    return arguments;
}

// Draws a bar on a terminal: "[=========>          ]  45 %", redrawn when the percentage
// changes, wiped at the end.
class ProgressBar {
public:
    explicit ProgressBar(std::FILE* terminal)
        : terminal_(terminal) {}
    ~ProgressBar() {
        if (shown_ >= 0)
            std::fprintf(terminal_, "\r%*s\r", 60, "");
    }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    bool operator()(std::uint64_t consumed, std::uint64_t total) {
        if (total < largeInput)
            return true;
        const int percent = static_cast<int>(std::min<std::uint64_t>(consumed * 100 / total, 100));
        if (percent == shown_)
            return true;
        shown_ = percent;
        constexpr int width = 40;
        const int filled = percent * width / 100;
        std::fprintf(terminal_, "\r[%.*s%*s] %3d %%", filled,
                     "========================================", width - filled, "", percent);
        std::fflush(terminal_);
        return true;
    }

private:
    std::FILE* terminal_;
    int shown_ = -1;
};

} // namespace

std::string applyRunOption(std::string_view name, std::string_view value, RunOptions& options) {
    Arguments arguments;
    arguments.options = std::move(options);
    applyOption(name, value, arguments);
    options = std::move(arguments.options);
    return arguments.error;
}

namespace {

// "  radionuclide: nuclide, isotope, ...", one line for each column of the synonym table: its
// name, then the other headers it goes by (its first header is its name).
std::string synonymLines() {
    constexpr std::size_t width = 94;
    std::string lines;
    for (std::size_t c = 0; c < columnNames.size(); ++c) {
        std::string line = "  " + std::string(columnNames[c]);
        std::size_t taken = 0;
        for (const ColumnSynonym& synonym : columnSynonyms) {
            if (synonym.column != static_cast<Column>(c) || taken++ == 0)
                continue;
            const std::string next = (taken == 2 ? ": " : ", ") + std::string(synonym.header);
            if (line.size() + next.size() > width) {
                lines += line + ",\n";
                line = "      " + next.substr(2);
            } else {
                line += next;
            }
        }
        lines += line + "\n";
    }
    return lines;
}

std::string helpText() {
    std::string text(usage);
    const std::string_view mark = "@SYNONYMS@\n";
    text.replace(text.find(mark), mark.size(), synonymLines());
    return text;
}

// "2: 4, Not assigned: 3" for the labels counted.
std::string countsByLabel(std::span<const std::uint64_t> counts) {
    std::string text;
    for (std::size_t i = 0; i < counts.size(); ++i)
        if (counts[i] > 0)
            text += " " +
                    (i < categoryLabels.size() ? std::string(categoryLabels[i])
                                               : std::string("none (no table category)")) +
                    ": " + std::to_string(counts[i]) + ",";
    text.pop_back();
    return text;
}

// What reading found, said before the counts: the header row and what its columns lack or
// carry, and the rows that were no source.
std::string readingText(const RunSummary& summary) {
    std::string text = "header: row " + std::to_string(summary.headerRow) + "\n";
    for (const std::string& remark : summary.headerRemarks)
        text += remark + "\n";
    if (summary.blankRowsSkipped > 0)
        text += std::to_string(summary.blankRowsSkipped) + " blank " +
                (summary.blankRowsSkipped == 1 ? "row" : "rows") + " skipped\n";
    if (!summary.totalsRows.empty()) {
        text += summary.totalsRows.size() == 1 ? "totals row skipped: row "
                                               : "totals rows skipped: rows ";
        for (std::size_t i = 0; i < summary.totalsRows.size(); ++i)
            text += (i == 0 ? "" : ", ") + std::to_string(summary.totalsRows[i]);
        text += "\n";
    }
    return text;
}

} // namespace

std::string summaryText(const RunSummary& summary) {
    std::string text = readingText(summary) + std::to_string(summary.rowsRead) + " sources read, " +
                       std::to_string(summary.categorised) + " categorised, " +
                       std::to_string(summary.withErrors) + " with errors";
    if (!summary.firstErrorRows.empty()) {
        text += summary.withErrors == 1 ? " (row " : " (rows ";
        for (std::size_t i = 0; i < summary.firstErrorRows.size(); ++i)
            text += (i == 0 ? "" : ", ") + std::to_string(summary.firstErrorRows[i]);
        if (summary.withErrors > summary.firstErrorRows.size())
            text += ", ...";
        text += "; the header is row " + std::to_string(summary.headerRow) + ")";
    }
    text += "\n";
    if (summary.categorised > 0) {
        text += "by current category:" + countsByLabel(summary.perCategory) + "\n";
        text += "by A/D:" + countsByLabel(summary.perCategoryByAOverD) + "\n";
    }
    const auto listDue = [&text](std::string_view heading, const std::vector<DueSource>& sources,
                                 std::uint64_t count) {
        if (count == 0)
            return;
        text += std::string(heading) + " (" + std::to_string(count) + "): ";
        for (std::size_t i = 0; i < sources.size(); ++i)
            text += (i == 0 ? "" : ", ") + sources[i].source + " (" + sources[i].duties + ")";
        if (count > sources.size())
            text += " and " + std::to_string(count - sources.size()) + " more";
        text += "\n";
    };
    listDue("overdue", summary.overdue, summary.overdueCount);
    listDue("due within 30 days", summary.dueSoon, summary.dueSoonCount);
    const auto nameOf = [](const LocationTotal& total) {
        return total.location.empty() ? std::string("(no location)")
                                      : "location '" + total.location + "'";
    };
    for (const LocationTotal& total : summary.raisedLocations) {
        char sum[32];
        text += nameOf(total) + ": " + std::to_string(total.sources) + " sources, sum of A/D " +
                std::string(numberField(total.sumAOverD, sum)) + ", category " +
                std::string(total.categoryByAOverD()) +
                " together, above its most severe single source (" +
                std::string(total.mostSevereSingleCategory) + ")\n";
    }
    for (const LocationTotal& total : summary.nrcLocations) {
        char sum[32];
        const bool first = total.nrcQuantity() == "1";
        text += nameOf(total) + ": a category " + std::string(total.nrcQuantity()) +
                " quantity under 10 CFR 37, sum of fractions " +
                std::string(numberField(
                    first ? total.nrcFractionCategory1 : total.nrcFractionCategory2, sum)) +
                " for category " + std::string(total.nrcQuantity()) + "\n";
    }
    if (const auto differ = summary.recordedCategoryDiffers)
        text += std::to_string(*differ) + (*differ == 1 ? " row's" : " rows'") +
                " recorded category differs from both categories by A/D\n";
    if (!summary.registerHead.empty())
        text += summary.registerHead + "\n";
    // A national inventory's: its sources by category by A/D, in all and for each holder.
    if (summary.perHolder.empty())
        return text;
    const auto appendCounts = [&text](const auto& counts) {
        for (std::size_t i = 0; i < counts.size(); ++i)
            if (counts[i] > 0)
                text += " " +
                        (i < categoryLabels.size() ? std::string(categoryLabels[i])
                                                   : std::string("none")) +
                        ": " + std::to_string(counts[i]) + ",";
        text.back() = '\n';
    };
    std::array<std::uint64_t, categoryLabels.size() + 1> all{};
    for (const auto& [holder, counts] : summary.perHolder)
        for (std::size_t i = 0; i < counts.size(); ++i)
            all[i] += counts[i];
    text += "by category by A/D:";
    appendCounts(all);
    text += "by holder and category by A/D:\n";
    for (const auto& [holder, counts] : summary.perHolder) {
        text += "  " + holder + ":";
        appendCounts(counts);
    }
    return text;
}

int runRegister(std::span<const std::string_view> arguments, std::FILE* standardInput,
                std::FILE* standardOutput, std::FILE* standardError, bool errorIsTerminal,
                LocalTime now) {
    if (!arguments.empty() && isStoreCommand(arguments.front()))
        return runStoreCommand(arguments, standardInput, standardOutput, standardError, now);
    if (isRegistryOwnerCommand(arguments))
        return runRegistryOwnerCommand(arguments.subspan(1), standardOutput, standardError, now);
    // registry URI: the national inventory, read by the run as any inventory is.
    const bool national = !arguments.empty() && arguments.front() == "registry";
    Arguments read = readArguments(national ? arguments.subspan(1) : arguments);
    read.options.national = national;
    if (!read.error.empty()) {
        std::fprintf(standardError, "%s: %s (see %s --help)\n", programName.data(),
                     read.error.c_str(), programName.data());
        return runImpossible;
    }
    if (read.help) {
        std::fputs(helpText().c_str(), standardOutput);
        return allCategorised;
    }
    if (read.version) {
        std::fprintf(standardOutput, "%s %s\n", programName.data(), DOVRIN_VERSION);
        return allCategorised;
    }
    if (read.listNuclides) {
        const RunRadionuclides radionuclides = radionuclidesOfRun(read.options.nuclides);
        if (!radionuclides.error.empty()) {
            std::fprintf(standardError, "%s: %s\n", programName.data(),
                         radionuclides.error.c_str());
            return runImpossible;
        }
        const std::string list = nuclideListCsv(radionuclides.table());
        const bool written =
            std::fwrite(list.data(), 1, list.size(), standardOutput) == list.size() &&
            std::fflush(standardOutput) == 0;
        if (!written) {
            std::fprintf(standardError, "%s: cannot write the list: %s\n", programName.data(),
                         systemError(errno).c_str());
            return runImpossible;
        }
        return allCategorised;
    }
    RunResult result;
    {
        ProgressBar bar(standardError); // wiped before the summary is written
        Progress progress;
        if (errorIsTerminal)
            progress = [&bar](std::uint64_t consumed, std::uint64_t total) {
                return bar(consumed, total);
            };
        result = categoriseInventory(read.options, now, standardInput, standardOutput, progress);
    }
    if (result.status == runImpossible) {
        std::fprintf(standardError, "%s: %s\n", programName.data(), result.error.c_str());
        return runImpossible;
    }
    std::fputs(summaryText(result.summary).c_str(), standardError);
    return result.status;
}

} // namespace dovrin
