#include "command_line.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>
#include <utility>

#include "output.h"
#include "output_files.h"

#ifndef DOVRIN_VERSION
#define DOVRIN_VERSION "unknown"
#endif

namespace dovrin {

namespace {

constexpr std::string_view programName = "dovrin-register";
constexpr std::uint64_t largeInput = 32ull << 20; // an input worth a progress bar

constexpr std::string_view usage = R"(Usage: dovrin-register [OPTION]... INVENTORY
Categorise every sealed radioactive source of an inventory (a CSV file, or - for standard input)
and write each row with its results as CSV to standard output.

The header row names the columns, letter case and surrounding blanks ignored: radionuclide,
activity and unit are required; manufactured, location, id and recorded_category (a category
typed by a person, checked against the categories by A/D) are optional; every other column is
carried through unchanged.

Options:
  -o, --output FILE        write the results to FILE instead of standard output
      --locations FILE     write the totals per location to FILE: the sums of A/D and of A/E
                           (a location is Exempted only when its sum of A/E is at most 1)
      --nrc                add to the totals per location the US NRC's sums of fractions of
                           10 CFR 37 Appendix A, and name in the summary every location that
                           holds a category 1 or 2 quantity. A location should then be one area
                           behind a common security barrier; the activity of an Am-241/Be or
                           Pu-239/Be source is that of its alpha emitter.
      --as-of DATE         categorise at DATE (yyyy-mm-dd, 00:00) or yyyy-mm-ddThh:mm
                           instead of the present moment
      --separator SEP      comma, semicolon or tab (recognised from the header by default)
      --column NAME=HEADER read the column NAME (radionuclide, activity, unit, manufactured,
                           location, id or recorded_category) from the column headed HEADER;
                           repeatable
      --date-order ORDER   mdy (month first, the default) or dmy for dates such as 03/02/2020
  -h, --help               show this help and exit
      --version            show the version and exit

Exit status: 0 when every row was categorised, 1 when some rows are error rows (their note
says why), 2 when the run could not be done.

Example:
  dovrin-register --as-of 2026-01-01 --locations sites.csv -o results.csv inventory.csv
)";

struct Arguments {
    RunOptions options;
    bool help = false;
    bool version = false;
    std::string error; // why the arguments cannot be used
};

// yyyy-mm-dd or yyyy-mm-ddThh:mm, digits exactly where shown.
std::optional<LocalTime> readMoment(std::string_view text) {
    using namespace std::chrono;
    const auto number = [&](std::size_t from, std::size_t length) -> std::optional<int> {
        int value = 0;
        const char* first = text.data() + from;
        const auto [end, error] = std::from_chars(first, first + length, value);
        if (error != std::errc() || end != first + length || *first == '-' || *first == '+')
            return std::nullopt;
        return value;
    };
    if ((text.size() != 10 && text.size() != 16) || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    const auto y = number(0, 4), m = number(5, 2), d = number(8, 2);
    if (!y || !m || !d)
        return std::nullopt;
    const year_month_day date{year{*y}, month{static_cast<unsigned>(*m)},
                              day{static_cast<unsigned>(*d)}};
    if (!date.ok())
        return std::nullopt;
    LocalTime moment = local_days{date};
    if (text.size() == 16) {
        if (text[10] != 'T' || text[13] != ':')
            return std::nullopt;
        const auto h = number(11, 2), minute = number(14, 2);
        if (!h || !minute || *h > 23 || *minute > 59)
            return std::nullopt;
        moment += hours{*h} + minutes{*minute};
    }
    return moment;
}

// Reads one option that takes a value.
bool applyOption(std::string_view name, std::string_view value, Arguments& arguments) {
    RunOptions& options = arguments.options;
    const auto fail = [&](std::string why) {
        arguments.error = std::move(why);
        return false;
    };
    if ((name == "-o" || name == "--output" || name == "--locations") && value.empty())
        return fail(std::string(name) + " needs a file name, or - for standard output");
    if (name == "-o" || name == "--output") {
        options.output = value;
    } else if (name == "--locations") {
        options.locations = value;
    } else if (name == "--as-of") {
        options.asOf = readMoment(value);
        if (!options.asOf)
            return fail("--as-of takes yyyy-mm-dd or yyyy-mm-ddThh:mm, not '" + std::string(value) +
                        "'");
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
            return fail("--column takes NAME=HEADER, NAME one of radionuclide, activity, unit, "
                        "manufactured, location, id, recorded_category; not '" +
                        std::string(value) + "'");
        options.inventory.columns.push_back({*column, std::string(value.substr(equals + 1))});
    } else if (name == "--date-order") {
        if (value != "mdy" && value != "dmy")
            return fail("--date-order takes mdy or dmy, not '" + std::string(value) + "'");
        options.dateOrder = value == "dmy" ? DateOrder::dayFirst : DateOrder::monthFirst;
    } else {
        return fail("unknown option '" + std::string(name) + "'");
    }
    return true;
}

Arguments readArguments(std::span<const std::string_view> words) {
    constexpr std::array<std::string_view, 7> withValue{
        "-o", "--output", "--locations", "--as-of", "--separator", "--column", "--date-order"};
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
        } else if (word == "--nrc") {
            arguments.options.nrc = true;
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
    if (!input && !arguments.help && !arguments.version)
        arguments.error = "no inventory given (a CSV file, or - for standard input)";
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

std::string summaryText(const RunSummary& summary) {
    std::string text = std::to_string(summary.rowsRead) + " sources read, " +
                       std::to_string(summary.categorised) + " categorised, " +
                       std::to_string(summary.withErrors) + " with errors";
    if (!summary.firstErrorRows.empty()) {
        text += summary.withErrors == 1 ? " (row " : " (rows ";
        for (std::size_t i = 0; i < summary.firstErrorRows.size(); ++i)
            text += (i == 0 ? "" : ", ") + std::to_string(summary.firstErrorRows[i]);
        if (summary.withErrors > summary.firstErrorRows.size())
            text += ", ...";
        text += "; the header is row 1)";
    }
    text += "\n";
    if (summary.categorised > 0) {
        text += "by current category:";
        for (std::size_t i = 0; i < summary.perCategory.size(); ++i)
            if (summary.perCategory[i] > 0)
                text += " " +
                        (i < categoryLabels.size() ? std::string(categoryLabels[i])
                                                   : std::string("none (no table category)")) +
                        ": " + std::to_string(summary.perCategory[i]) + ",";
        text.back() = '\n';
    }
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
    return text;
}

int runRegister(std::span<const std::string_view> arguments, std::FILE* standardInput,
                std::FILE* standardOutput, std::FILE* standardError, bool errorIsTerminal,
                LocalTime now) {
    const Arguments read = readArguments(arguments);
    if (!read.error.empty()) {
        std::fprintf(standardError, "%s: %s (see %s --help)\n", programName.data(),
                     read.error.c_str(), programName.data());
        return runImpossible;
    }
    if (read.help) {
        std::fputs(usage.data(), standardOutput);
        return allCategorised;
    }
    if (read.version) {
        std::fprintf(standardOutput, "%s %s\n", programName.data(), DOVRIN_VERSION);
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
