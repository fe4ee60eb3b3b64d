#pragma once

// Reads an inventory in a background thread and hands its rows to the window in batches, the
// first batch small so that the table shows rows at once. Also evaluates the rows already read
// again at another as-of moment. One job runs at a time: starting one cancels the one before.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <QObject>
#include <QStringList>

#include "stored_inventory.h"

namespace dovrin {

struct LoadRequest {
    std::string path; // in the file system's encoding
    InventoryOptions options;
    Evaluation evaluation;
    bool askAboutSlashDates = true; // stop before evaluating when the dates use slashes
    // Of a kept register: the events recorded up to this moment alone (none: every one). Its
    // sources are those held on the evaluation's as-of day.
    std::optional<std::chrono::sys_seconds> knownAt;
};

// Rows read since the last batch.
struct LoadedBatch {
    // Their packed fields, in blocks of a few thousand rows each: the rows of each block follow
    // those of the block before.
    std::vector<std::string> blocks;
    std::vector<std::size_t> blockRows; // how many rows each block holds
    std::vector<RowPlace> rows;         // each in its block
    std::vector<StoredResult> results;  // one per row
    std::vector<std::string> notes;     // the results' notes, numbered from 1 in this order
    std::vector<std::string> locations; // locations first seen in this batch, likewise
    // Rows, counted from the first data row, that are not well formed: their error stays at
    // every as-of moment.
    std::vector<std::uint32_t> unreadable;
    // Where the file's row numbers break, counted from the first data row (InventoryTexts).
    std::vector<InventoryTexts::RowRun> rowRuns;
    std::uint64_t bytesRead = 0;
    std::uint64_t fileSize = 0;
    // The rows read so far that are no sources: blank rows and totals rows.
    std::uint64_t blankRowsSkipped = 0;
    std::uint64_t totalsRowsSkipped = 0;
};

class InventoryLoader : public QObject {
    Q_OBJECT
public:
    explicit InventoryLoader(QObject* parent = nullptr);
    ~InventoryLoader() override;

    void load(LoadRequest request);
    // Every row of a complete inventory at another moment; the rows that are not well formed
    // keep their result.
    void reevaluate(std::shared_ptr<const InventoryTexts> texts,
                    std::shared_ptr<const InventoryResults> current, Evaluation evaluation);
    void cancel();
    bool busy() const { return busy_; }

signals:
    // The header and its columns, once read; the rows are then added to texts as they come.
    void started(std::shared_ptr<dovrin::InventoryTexts> texts);
    void batchRead(std::shared_ptr<dovrin::LoadedBatch> batch);
    void finished(std::vector<dovrin::LocationTotal> locations);
    void reevaluated(std::shared_ptr<dovrin::InventoryResults> results);
    // The header needs columns chosen: why, and its fields.
    void columnsNeeded(QString reason, QStringList header);
    // The dates are written with slashes, which read month first or day first.
    void dateOrderNeeded(QStringList header);
    void failed(QString reason);
    void progress(std::uint64_t done, std::uint64_t total);

private:
    class LoadJob;

    template <class Work> void start(Work work);
    // Runs in the GUI thread what the job asks, unless the job has been cancelled since.
    template <class Call> void deliver(std::uint64_t job, Call call);

    std::jthread thread_;
    std::uint64_t job_ = 0;
    std::atomic<int> batchesWaiting_ = 0; // sent by the job and not yet kept by the window
    bool busy_ = false;
};

} // namespace dovrin
