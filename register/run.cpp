#include "run.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <memory>
#include <utility>

#include "batches.h"
#include "calendar.h"
#include "csv.h"
#include "events.h"
#include "fold.h"
#include "inventory_input.h"
#include "national.h"
#include "output.h"
#include "output_files.h"
#include "plain_text.h"
#include "postgres_store.h"

namespace dovrin {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t errorRowsListed = 10;
constexpr std::uint64_t progressStep = 1 << 20; // bytes between two progress reports

void count(std::uint64_t rowNumber, const SourceResult& result, RunSummary& summary) {
    ++summary.rowsRead;
    if (!result.categorised) {
        ++summary.withErrors;
        if (summary.firstErrorRows.size() < errorRowsListed)
            summary.firstErrorRows.push_back(rowNumber);
        return;
    }
    ++summary.categorised;
    ++summary.perCategory[severityOf(result.currentCategory.value_or(std::string_view()))];
    ++summary.perCategoryByAOverD[severityOf(result.categoryByAOverD)];
    if (result.recordedCategoryDiffers)
        ++*summary.recordedCategoryDiffers;
}

void countByHolder(std::string_view holder, const SourceResult& result, RunSummary& summary) {
    auto counts = summary.perHolder.find(holder);
    if (counts == summary.perHolder.end())
        counts = summary.perHolder.emplace(std::string(holder), decltype(counts->second){}).first;
    ++counts->second[severityOf(result.categoryByAOverD)];
}

bool hasDuties(const SourceResult& result) {
    const Duties& duties = result.duties;
    return duties.leakTest.on || duties.inventory.on || duties.workingLifeEnd.on;
}

// The source in the summary's lists of duties overdue and due soon, under each duty that is.
void countDue(SourceKey source, const SourceResult& result, RunSummary& summary) {
    const Duties& duties = result.duties;
    std::string overdue, dueSoon;
    const auto note = [&](const Due& due, std::string_view duty) {
        if (!due.on || due.status == DueStatus::notDue)
            return;
        std::string& list = due.status == DueStatus::overdue ? overdue : dueSoon;
        if (!list.empty())
            list += ", ";
        list += duty;
    };
    if (!duties.leakTestExemption)
        note(duties.leakTest, "leak test");
    note(duties.inventory, "inventory");
    note(duties.workingLifeEnd, "end of working life");
    const auto list = [&](std::string& found, std::vector<DueSource>& sources,
                          std::uint64_t& count) {
        if (found.empty())
            return;
        ++count;
        if (sources.size() < dueSourcesListed)
            sources.push_back(
                {source.id.empty() ? "row " + std::to_string(source.row) : std::string(source.id),
                 std::move(found)});
    };
    list(overdue, summary.overdue, summary.overdueCount);
    list(dueSoon, summary.dueSoon, summary.dueSoonCount);
}

// The source's due days as calendar events: the leak test unless exempt, the inventory, the end
// of the working life.
void appendEvents(std::string& out, SourceKey source, std::string_view location,
                  const SourceResult& result, std::chrono::sys_seconds stamp) {
    const Duties& duties = result.duties;
    const auto event = [&](const Due& due, Duty duty) {
        if (due.on)
            appendCalendarEvent(out, {source, duty, *due.on, result.radionuclide, location}, stamp);
    };
    if (!duties.leakTestExemption)
        event(duties.leakTest, Duty::leakTest);
    event(duties.inventory, Duty::inventory);
    event(duties.workingLifeEnd, Duty::workingLifeEnd);
}

bool writeAll(std::FILE* file, std::string_view text) {
    return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

// The day a register's sources are folded to: --as-of's, or today's.
std::chrono::year_month_day asOfDay(const RunOptions& options, LocalTime now) {
    return std::chrono::year_month_day{
        std::chrono::floor<std::chrono::days>(options.asOf.value_or(now))};
}

RunResult failure(std::string error) {
    RunResult result;
    result.error = std::move(error);
    return result;
}

// Evaluates the rows and writes the outputs: the run, whichever its source of rows.
RunResult categoriseRows(RowSource& rows, bool fromWorkbook, const RunOptions& options,
                         const RunRadionuclides& radionuclides, LocalTime now,
                         std::FILE* standardOutput, const Progress& progress);
RunResult categoriseRegister(const RunOptions& options, const RunRadionuclides& radionuclides,
                             LocalTime now, std::FILE* standardOutput, const Progress& progress);
RunResult categoriseRegistry(const RunOptions& options, const RunRadionuclides& radionuclides,
                             LocalTime now, std::FILE* standardOutput, const Progress& progress);

} // namespace

RunRadionuclides radionuclidesOfRun(const std::string& nuclidesFile) {
    RunRadionuclides radionuclides;
    if (nuclidesFile.empty())
        return radionuclides;
    const std::string name = "--nuclides " + quotedPath(nuclidesFile);
    std::error_code error;
    if (fs::is_directory(nuclidesFile, error)) {
        radionuclides.error = name + " is a folder, not a CSV file";
        return radionuclides;
    }
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
        std::fopen(nuclidesFile.c_str(), "rb"), &std::fclose);
    if (!file) {
        radionuclides.error = "cannot open " + name + ": " + systemError(errno);
        return radionuclides;
    }
    csv::FileSource source(file.get());
    std::string why;
    radionuclides.withUsers = RadionuclideTable::withUserFile(source, why);
    if (!radionuclides.withUsers)
        radionuclides.error = name + ": " + why;
    return radionuclides;
}

RunResult categoriseInventory(const RunOptions& options, LocalTime now, std::FILE* standardInput,
                              std::FILE* standardOutput, const Progress& progress) {
    std::vector<NamedOutput> outputs{{"results", options.output}};
    if (!options.locations.empty())
        outputs.push_back({"totals per location", options.locations});
    if (!options.calendar.empty())
        outputs.push_back({"calendar", options.calendar});
    if (std::string why = outputRefusal(options.input, outputs, standardInput, standardOutput);
        !why.empty())
        return failure(std::move(why));
    const RunRadionuclides radionuclides = radionuclidesOfRun(options.nuclides);
    if (!radionuclides.error.empty())
        return failure(radionuclides.error);

    // The input: a registry's national inventory, a kept register's sources held on the day, or
    // an inventory file.
    if (options.national)
        return categoriseRegistry(options, radionuclides, now, standardOutput, progress);
    if (options.input != standardStream && store::isStoreLocation(options.input))
        return categoriseRegister(options, radionuclides, now, standardOutput, progress);
    if (options.knownAt)
        return failure("--known-at reads a register, and " +
                       (options.input == standardStream ? std::string("standard input")
                                                        : quotedPath(options.input)) +
                       " is an inventory");
    InventoryFile input;
    if (!input.open(options.input, standardInput, options.inventory))
        return failure(input.error());
    return categoriseRows(input.rows(), input.isWorkbook(), options, radionuclides, now,
                          standardOutput, progress);
}

namespace {

RunResult categoriseRows(RowSource& rows, bool fromWorkbook, const RunOptions& options,
                         const RunRadionuclides& radionuclides, LocalTime now,
                         std::FILE* standardOutput, const Progress& progress) {
    const bool fromStandardInput = options.input == standardStream;
    InventoryReader reader(rows, options.inventory);
    if (!reader.readHeader())
        return failure(reader.error());
    if (options.decimalComma && !fromWorkbook && reader.separator() == ',')
        return failure("--decimal-comma cannot read a file whose separator is the comma: \"3,7\" "
                       "would be two fields (give --separator semicolon or tab if the file has "
                       "another)");

    // The outputs, pending until the whole input is read.
    OutputFile results;
    OutputFile totals;
    OutputFile calendarFile;
    if (!results.open(options.output, standardOutput))
        return failure(results.error());
    if (!options.locations.empty() && !totals.open(options.locations, standardOutput))
        return failure(totals.error());
    if (!options.calendar.empty() && !calendarFile.open(options.calendar, standardOutput))
        return failure(calendarFile.error());
    std::optional<csv::Writer> calendar;
    if (calendarFile.stream() != nullptr) {
        calendar.emplace(calendarFile.stream());
        appendCalendarStart(calendar->text());
    }
    const std::chrono::sys_seconds stamp = universalTime(now);

    const char separator = reader.separator();
    const Evaluation evaluation{options.asOf.value_or(now), options.dateOrder,
                                &radionuclides.table(), options.duties, options.decimalComma};
    RunResult run;
    LocationTotals locations;
    {
        std::string head;
        if (reader.hadByteOrderMark())
            head += "\xEF\xBB\xBF";
        const bool recordedCategory = reader.columns()[Column::recordedCategory].has_value();
        if (recordedCategory)
            run.summary.recordedCategoryDiffers = 0;
        appendOutputHeader(head, reader.header(), separator, recordedCategory);
        // A national inventory's rows are counted by their holder too, and its locations are
        // the holders' own: two licensees' "Store" are two places, never added up together.
        std::optional<std::size_t> holderField;
        if (options.national)
            if (const auto found = std::ranges::find(reader.header(), store::holderColumn);
                found != reader.header().end())
                holderField = static_cast<std::size_t>(found - reader.header().begin());
        std::string holdersLocation;
        int writeError = 0; // errno of the first write that failed
        const auto write = [&](std::string_view text) {
            if (writeError == 0 && !writeAll(results.stream(), text))
                writeError = errno != 0 ? errno : EIO;
            return writeError == 0;
        };
        write(head);
        BatchEvaluator evaluator(
            reader.columns(), evaluation, separator,
            [&](const RowBatch& batch) {
                for (std::size_t row = 0; row < batch.rows(); ++row) {
                    const auto fields = evaluator.rowFields(batch, row);
                    const std::string_view location =
                        textOf(fields, reader.columns(), Column::location);
                    const SourceResult& result = batch.results[row];
                    if (holderField)
                        locations.add(
                            store::holdersLocation(fields[*holderField], location, holdersLocation),
                            result);
                    else
                        locations.add(location, result);
                    count(batch.numbers[row], result, run.summary);
                    if (holderField && result.categorised)
                        countByHolder(fields[*holderField], result, run.summary);
                    if (!hasDuties(result))
                        continue;
                    const SourceKey key{textOf(fields, reader.columns(), Column::id),
                                        batch.numbers[row]};
                    countDue(key, result, run.summary);
                    if (calendar)
                        appendEvents(calendar->text(), key, location, result, stamp);
                }
                if (calendar)
                    calendar->write();
                const bool written = write(batch.output);
                results.startWriteBack();
                return written;
            },
            BatchEvaluator::Output::lines, {}, rows.threadsOfItsOwn());
        InventoryRow row;
        std::uint64_t nextReport = progressStep;
        bool going = writeError == 0;
        // Most rows are plain lines, which the workers split: this thread only finds their ends.
        const auto readRow = [&] {
            if (const auto line = reader.nextPlainLine()) {
                going = evaluator.add(*line);
                return true;
            }
            if (!reader.next(row))
                return false;
            going = evaluator.add(row);
            return true;
        };
        while (going && readRow()) {
            if (progress && reader.bytesConsumed() >= nextReport) {
                nextReport = reader.bytesConsumed() + progressStep;
                if (!progress(reader.bytesConsumed(), reader.bytesTotal()))
                    return failure("cancelled");
            }
        }
        going = going && evaluator.finish();
        if (going && std::fflush(results.stream()) != 0)
            writeError = errno;
        if (writeError != 0)
            return failure("cannot write " + results.name() + ": " + systemError(writeError));
        if (const std::string readError = reader.readError(); !readError.empty())
            return failure(
                "cannot read " +
                (fromStandardInput ? std::string("standard input") : quotedPath(options.input)) +
                ": " + readError);
    }
    if (totals.stream() != nullptr) {
        csv::Writer writer(totals.stream());
        appendLocationsHeader(writer.text(), separator, options.nrc);
        for (const LocationTotal& total : locations.locations()) {
            appendLocationRow(writer.text(), total, separator, options.nrc);
            writer.write();
        }
        if (!writer.flush())
            return failure("cannot write " + totals.name() + ": " + systemError(errno));
    }
    if (calendar) {
        appendCalendarEnd(calendar->text());
        if (!calendar->flush())
            return failure("cannot write " + calendarFile.name() + ": " + systemError(errno));
        calendar.reset(); // done with the stream before it is closed
    }
    // Every file complete before any replaces what was there.
    for (OutputFile* output : {&results, &totals, &calendarFile})
        if (!output->finish())
            return failure(output->error());
    for (OutputFile* output : {&results, &totals, &calendarFile})
        if (!output->commit())
            return failure(output->error());

    for (const LocationTotal& total : locations.locations()) {
        if (total.raisedByAggregation())
            run.summary.raisedLocations.push_back(total);
        if (options.nrc && !total.nrcQuantity().empty())
            run.summary.nrcLocations.push_back(total);
    }
    run.summary.headerRow = reader.headerRow();
    run.summary.headerRemarks.assign(reader.headerRemarks().begin(), reader.headerRemarks().end());
    run.summary.blankRowsSkipped = reader.blankRowsSkipped();
    run.summary.totalsRows.assign(reader.totalsRows().begin(), reader.totalsRows().end());
    run.status = run.summary.withErrors == 0 ? allCategorised : someErrorRows;
    return run;
}

// The register's sources held on the as-of day, as known at --known-at, read as the rows of an
// inventory by the same run as a file's.
RunResult categoriseRegister(const RunOptions& options, const RunRadionuclides& radionuclides,
                             LocalTime now, std::FILE* standardOutput, const Progress& progress) {
    const store::Opening opening = store::openStore(options.input, store::Access::read);
    if (!opening.store)
        return failure(opening.error);
    const auto head = opening.store->head(options.knownAt);
    if (!head)
        return failure("cannot read " + store::shownLocation(options.input) + ": " +
                       opening.store->error());
    store::HeldSourceRows rows(opening.store->eventsBySource({{}, options.knownAt}),
                               asOfDay(options, now));
    RunResult run =
        categoriseRows(rows, false, options, radionuclides, now, standardOutput, progress);
    if (run.status != runImpossible)
        run.summary.registerHead = registerHeadText(*head);
    return run;
}

// Every holder's sources held on the as-of day, as known at --known-at, through the same run.
RunResult categoriseRegistry(const RunOptions& options, const RunRadionuclides& radionuclides,
                             LocalTime now, std::FILE* standardOutput, const Progress& progress) {
    if (!store::isRegistryAddress(options.input))
        return failure(store::shownLocation(options.input) +
                       " is not a registry's address (postgresql://..., postgres://... or "
                       "service=NAME)");
    const store::NationalOpening opening = store::openNationalRegistry(options.input);
    if (!opening.registry)
        return failure(opening.error);
    auto holders = opening.registry->holders();
    if (!holders)
        return failure("cannot read the registry's holders: " + opening.registry->error());
    store::NationalRows rows(*opening.registry, std::move(*holders), {{}, options.knownAt},
                             asOfDay(options, now));
    return categoriseRows(rows, false, options, radionuclides, now, standardOutput, progress);
}

} // namespace

std::string registerHeadText(const store::Head& head) {
    return "register: last event " + std::to_string(head.seq) + ", hash " +
           store::hexText(head.hash);
}

LocalTime presentLocalTime() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t sinceEpoch = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&sinceEpoch, &local);
    const year_month_day date{year{local.tm_year + 1900},
                              month{static_cast<unsigned>(local.tm_mon + 1)},
                              day{static_cast<unsigned>(local.tm_mday)}};
    const auto millisecond = duration_cast<milliseconds>(now.time_since_epoch()) % seconds{1};
    return local_days{date} + hours{local.tm_hour} + minutes{local.tm_min} +
           std::chrono::seconds{local.tm_sec} + millisecond;
}

} // namespace dovrin
