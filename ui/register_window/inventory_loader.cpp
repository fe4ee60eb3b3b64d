#include "inventory_loader.h"

#include <algorithm>
#include <any>
#include <iterator>
#include <memory>
#include <span>
#include <string>

#include <QMetaObject>

#include "batches.h"
#include "events.h"
#include "fold.h"
#include "inventory_input.h"
#include "locations.h"
#include "run.h"
#include "vector_state.h"

namespace dovrin {

namespace {

// The first batch is small so that the first rows show at once; later ones grow to this.
constexpr std::size_t firstBatchRows = 256;
constexpr std::size_t largestBatchRows = 16384;
// Rows looked at for dates written with slashes before the first batch is evaluated.
constexpr std::size_t rowsCheckedForSlashDates = 1000;

QStringList qtTexts(std::span<const std::string_view> fields) {
    QStringList list;
    for (const std::string_view field : fields)
        list << QString::fromUtf8(field.data(), static_cast<qsizetype>(field.size()));
    return list;
}

// The first record of the file (of a workbook: the first row of its sheet that is not empty),
// as the reader splits it.
QStringList firstRecord(const std::string& path, const InventoryOptions& options) {
    InventoryFile file;
    if (!file.open(path, nullptr, options))
        return {};
    const auto record = file.rows().next();
    return record ? qtTexts(record->fields) : QStringList{};
}

} // namespace

InventoryLoader::InventoryLoader(QObject* parent)
    : QObject(parent) {}

InventoryLoader::~InventoryLoader() {
    cancel();
}

void InventoryLoader::cancel() {
    ++job_;
    busy_ = false;
    if (thread_.joinable()) {
        thread_.request_stop();
        batchesWaiting_ = 0; // a job waiting for the window goes on, to its end
        batchesWaiting_.notify_all();
        thread_.join();
    }
    batchesWaiting_ = 0; // the batches still on their way are not the next job's
}

template <class Call> void InventoryLoader::deliver(std::uint64_t job, Call call) {
    QMetaObject::invokeMethod(
        this,
        [this, job, call = std::move(call)]() mutable {
            if (job == job_)
                call();
        },
        Qt::QueuedConnection);
}

template <class Work> void InventoryLoader::start(Work work) {
    cancel();
    busy_ = true;
    thread_ = std::jthread([this, job = job_, work = std::move(work)](std::stop_token stop) {
        clearUpperVectorState(); // started by the window's thread (vector_state.h)
        work(job, stop);
    });
}

// Reads one inventory in the loader's thread: the header, then the rows in batches that grow
// from firstBatchRows, each handed to the window as it is full.
class InventoryLoader::LoadJob {
    // An evaluated batch's rows as the window keeps them, made on the worker that evaluated it:
    // their fields packed one row after another, where each row begins, their results, and the
    // notes these name, numbered from 1 in a pool of the batch's own.
    struct PackedRows {
        std::string block;
        std::vector<std::uint32_t> offsets;
        std::vector<StoredResult> results;
        std::vector<std::string> notes;
    };

public:
    LoadJob(InventoryLoader& loader, std::uint64_t job, const LoadRequest& request)
        : loader_(loader)
        , job_(job)
        , request_(request) {}

    void run(std::stop_token stop) {
        stop_ = stop;
        if (store::isStoreLocation(request_.path))
            return runRegister(stop);
        InventoryFile file;
        if (!file.open(request_.path, nullptr, request_.options))
            return fail(QString::fromStdString(file.error()));
        read(file.rows(), stop);
    }

private:
    // A kept register: the sources held on the as-of day, as known at the moment asked, read
    // as the rows of an inventory exactly as the command line's run reads them.
    void runRegister(std::stop_token stop) {
        const store::Opening opening = store::openStore(request_.path, store::Access::read);
        if (!opening.store)
            return fail(QString::fromStdString(opening.error));
        const auto head = opening.store->head(request_.knownAt);
        if (!head)
            return fail(QString::fromStdString(opening.store->error()));
        registerHead_ = registerHeadText(*head);
        registerSeq_ = head->seq;
        const std::chrono::year_month_day day{
            std::chrono::floor<std::chrono::days>(request_.evaluation.asOf)};
        store::HeldSourceRows rows(opening.store->eventsBySource({{}, request_.knownAt}), day);
        read(rows, stop);
    }

    // The rows are evaluated on every core by the command line's own batches, as it evaluates
    // them, and packed there as the window keeps them; this thread, which reads every row
    // alone, keeps them in their order and adds them up. A plain line is split by the workers,
    // except while the dates of the first rows are looked at, which needs the row read here.
    void read(RowSource& rows, std::stop_token stop) {
        InventoryReader reader(rows, request_.options);
        if (!reader.readHeader())
            return askForColumns(reader.error(), qtTexts(reader.header()));
        keepHeader(reader);
        checkingDates_ = request_.askAboutSlashDates && texts_->columns[Column::manufactured];
        BatchEvaluator evaluator(
            texts_->columns, request_.evaluation, reader.separator(),
            [&](RowBatch& batch) {
                keep(batch, evaluator);
                if (batch_->rows.size() >= batchRows_)
                    send(reader);
                return !stop.stop_requested();
            },
            BatchEvaluator::Output::none, [&](RowBatch& batch) { pack(batch, evaluator); },
            rows.threadsOfItsOwn());
        InventoryRow row;
        for (bool going = true; going && !stop.stop_requested();) {
            if (!checkingDates_)
                if (const auto line = reader.nextPlainLine()) {
                    going = evaluator.add(*line);
                    continue;
                }
            if (!reader.next(row))
                break;
            if (checkingDates_ && !datesReadAlike(row, reader))
                return;
            going = evaluator.add(row);
        }
        if (stop.stop_requested() || !evaluator.finish())
            return;
        if (const std::string readError = reader.readError(); !readError.empty())
            return fail(QStringLiteral("It could not be read to its end: %1.")
                            .arg(QString::fromStdString(readError)));
        send(reader);
        loader_.deliver(job_, [&loader = loader_, locations = totals_.locations()] {
            loader.busy_ = false;
            emit loader.finished(locations);
        });
    }

    void fail(QString reason) {
        loader_.deliver(job_, [&loader = loader_, reason] {
            loader.busy_ = false;
            emit loader.failed(reason);
        });
    }

    // The header cannot be read as it stands: the window asks which columns to take, in the
    // row that came nearest to a header (below a title, perhaps), or else the first.
    void askForColumns(const std::string& error, QStringList nearest) {
        const QString reason = QString::fromStdString(error);
        const QStringList header =
            nearest.isEmpty() ? firstRecord(request_.path, request_.options) : nearest;
        if (header.isEmpty())
            return fail(reason);
        loader_.deliver(job_, [&loader = loader_, reason, header] {
            loader.busy_ = false;
            emit loader.columnsNeeded(reason, header);
        });
    }

    void keepHeader(InventoryReader& reader) {
        texts_ = std::make_shared<InventoryTexts>();
        texts_->path = request_.path;
        for (const std::string_view field : reader.header())
            texts_->header.emplace_back(field);
        texts_->columns = reader.columns();
        texts_->headerRow = reader.headerRow();
        texts_->headerRemarks.assign(reader.headerRemarks().begin(), reader.headerRemarks().end());
        texts_->options = request_.options;
        texts_->options.separator = reader.separator();
        if (!registerHead_.empty()) {
            texts_->registerHead = registerHead_;
            texts_->registerSeq = registerSeq_;
            texts_->knownAt = request_.knownAt ? store::momentText(*request_.knownAt) : "now";
        }
    }

    // False when the dates of the first rows are written with slashes, which read month first
    // or day first: the window then asks which, and the job ends.
    bool datesReadAlike(const InventoryRow& row, InventoryReader& reader) {
        if (row.source.manufactured.find('/') != std::string_view::npos) {
            loader_.deliver(job_, [&loader = loader_, header = qtTexts(reader.header())] {
                loader.busy_ = false;
                emit loader.dateOrderNeeded(header);
            });
            return false;
        }
        checkingDates_ = ++rowsChecked_ < rowsCheckedForSlashDates;
        return true;
    }

    // On a worker: the batch's rows packed and their results stored.
    static void pack(RowBatch& batch, const BatchEvaluator& evaluator) {
        if (!batch.prepared.has_value())
            batch.prepared = PackedRows{};
        auto& packed = std::any_cast<PackedRows&>(batch.prepared);
        thread_local std::string block; // its room kept: the window's copy is made to measure
        block.clear();
        packed.offsets.clear();
        packed.results.clear();
        NotePool notes;
        // The window keeps each location's text once (InventoryTexts::locations).
        const std::optional<std::size_t> location = evaluator.columns()[Column::location];
        for (std::size_t row = 0; row < batch.rows(); ++row) {
            packed.offsets.push_back(static_cast<std::uint32_t>(block.size()));
            packFields(block, evaluator.rowFields(batch, row), location);
            packed.results.push_back(storeResult(batch.results[row], notes));
        }
        packed.block.assign(block);
        packed.notes = notes.release();
    }

    // Keeps an evaluated batch's rows, packed by pack: their block, their notes after those of
    // the batch for the window, where each row is in the file, and their results; and adds
    // them up.
    void keep(RowBatch& batch, const BatchEvaluator& evaluator) {
        auto& packed = std::any_cast<PackedRows&>(batch.prepared);
        const std::uint32_t notesBefore = notesKept_;
        notesKept_ += static_cast<std::uint32_t>(packed.notes.size());
        std::ranges::move(packed.notes, std::back_inserter(batch_->notes));
        batch_->blocks.push_back(std::move(packed.block));
        batch_->blockRows.push_back(batch.rows());
        for (std::size_t row = 0; row < batch.rows(); ++row) {
            const auto fields = evaluator.rowFields(batch, row);
            const RowPlace place{
                packed.offsets[row],
                keepPlace(fields, batch.results[row], batch.problems[row], batch.numbers[row])};
            batch_->rows.push_back(place);
            StoredResult& result = batch_->results.emplace_back(packed.results[row]);
            renumberNotes(result, [notesBefore](std::uint32_t note) { return notesBefore + note; });
        }
    }

    // Adds an evaluated row to its location's totals and keeps where it is in the file; returns
    // its location's place in the totals.
    std::uint32_t keepPlace(std::span<const std::string_view> fields, const SourceResult& result,
                            const std::string& problem, std::uint64_t fileRow) {
        const std::string_view location = textOf(fields, texts_->columns, Column::location);
        // The totals number the locations in the order of their first appearance, as the
        // window's table of texts keeps them.
        const std::size_t known = totals_.locations().size();
        const std::size_t locationPlace = totals_.add(location, result);
        if (totals_.locations().size() > known)
            batch_->locations.emplace_back(location);
        if (!problem.empty())
            batch_->unreadable.push_back(rowNumber_);
        if (fileRow != nextFileRow_)
            batch_->rowRuns.push_back({rowNumber_, fileRow});
        nextFileRow_ = fileRow + 1;
        ++rowNumber_;
        return static_cast<std::uint32_t>(locationPlace);
    }

    void send(const InventoryReader& reader) {
        if (!announced_) {
            announced_ = true;
            loader_.deliver(job_,
                            [&loader = loader_, texts = texts_] { emit loader.started(texts); });
        }
        waitForWindow();
        ++loader_.batchesWaiting_;
        batch_->bytesRead = reader.bytesConsumed();
        batch_->fileSize = reader.bytesTotal();
        batch_->blankRowsSkipped = reader.blankRowsSkipped();
        batch_->totalsRowsSkipped = reader.totalsRows().size();
        loader_.deliver(job_, [&loader = loader_, batch = batch_] {
            --loader.batchesWaiting_;
            loader.batchesWaiting_.notify_all();
            emit loader.progress(batch->bytesRead, batch->fileSize);
            emit loader.batchRead(batch);
        });
        batch_ = std::make_shared<LoadedBatch>();
        notesKept_ = 0;
        batchRows_ = std::min(batchRows_ * 4, largestBatchRows);
        makeRoom();
    }

    // One batch at most waits for the window at a time: the workers evaluate faster than the
    // window keeps rows while it paints, and each batch that waits is memory.
    void waitForWindow() {
        constexpr int mostWaiting = 1;
        for (int waiting = loader_.batchesWaiting_;
             waiting >= mostWaiting && !stop_.stop_requested(); waiting = loader_.batchesWaiting_)
            loader_.batchesWaiting_.wait(waiting);
    }

    // Room for a batch of rows, so that its vectors are not copied as they grow row by row.
    void makeRoom() {
        batch_->rows.reserve(batchRows_);
        batch_->results.reserve(batchRows_);
    }

    InventoryLoader& loader_;
    std::stop_token stop_;
    const std::uint64_t job_;
    const LoadRequest& request_;
    std::string registerHead_; // of a kept register, as it was read
    std::uint64_t registerSeq_ = 0;
    std::shared_ptr<InventoryTexts> texts_;
    LocationTotals totals_;
    std::uint32_t notesKept_ = 0;   // in batch_, numbered from 1 there
    std::uint32_t rowNumber_ = 0;   // of the rows kept
    std::size_t rowsChecked_ = 0;   // for their dates
    std::uint64_t nextFileRow_ = 0; // the file's number of the row that follows the last one
    std::size_t batchRows_ = firstBatchRows;
    std::shared_ptr<LoadedBatch> batch_ = std::make_shared<LoadedBatch>();
    bool checkingDates_ = false;
    bool announced_ = false;
};

void InventoryLoader::load(LoadRequest request) {
    start([this, request = std::move(request)](std::uint64_t job, std::stop_token stop) {
        LoadJob(*this, job, request).run(stop);
    });
}

void InventoryLoader::reevaluate(std::shared_ptr<const InventoryTexts> texts,
                                 std::shared_ptr<const InventoryResults> current,
                                 Evaluation evaluation) {
    start([this, texts, current, evaluation](std::uint64_t job, std::stop_token stop) {
        auto results = std::make_shared<InventoryResults>();
        results->evaluation = evaluation;
        LocationTotals totals;
        auto unreadable = texts->unreadable.begin();
        const std::size_t rowCount = texts->rows.size();
        for (std::size_t index = 0; index < rowCount; ++index) {
            if (stop.stop_requested())
                return;
            const std::vector<std::string_view> fields = texts->fields(index).all();
            const RowTexts row = textsOf(fields, texts->columns);
            SourceResult result;
            if (unreadable != texts->unreadable.end() && *unreadable == index) {
                ++unreadable; // not well formed: its error stays
                const StoredResult& kept = current->rows[index];
                result = restoreResult(kept, current->notes);
            } else {
                result = evaluateRow(row.source, {}, evaluation);
            }
            totals.add(row.location, result);
            results->rows.push_back(storeResult(result, results->notes));
            results->errors += result.categorised ? 0 : 1;
            if (index % 65536 == 0)
                deliver(job, [this, index, rowCount] { emit progress(index, rowCount); });
        }
        results->locations = totals.locations();
        deliver(job, [this, results] {
            busy_ = false;
            emit reevaluated(results);
        });
    });
}

} // namespace dovrin
