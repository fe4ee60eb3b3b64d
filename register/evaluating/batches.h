#pragma once

// The rows of an inventory evaluated on several threads. The calling thread reads the rows and
// copies them into batches; worker threads evaluate and format whole batches side by side; the
// calling thread takes the finished batches back in the order of their rows. The output thus
// never depends on the number of threads, and memory holds a few batches, whatever the number
// of rows. evaluateSource is called from the workers: it must keep no shared mutable state.

#include <any>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "inventory.h"
#include "source.h"

namespace dovrin {

// Rows copied out of the reader, with their results and their output lines once evaluated.
struct RowBatch {
    std::string text;              // every field of every row, one after the other
    std::vector<std::size_t> ends; // the end of each field in text; a plain line is one
    std::vector<std::uint64_t> numbers;
    std::vector<bool> plain;              // the row is a plain line, split by the workers
    std::vector<std::string> problems;    // the first rows(): empty for a well-formed row
    std::vector<std::string_view> fields; // width per row, into text, once evaluated
    std::vector<SourceResult> results;
    std::string output; // the output lines of the rows
    // What the caller's Prepare made of the rows on the worker, for its consume to take.
    std::any prepared;

    std::size_t rows() const { return numbers.size(); }
};

class BatchEvaluator {
public:
    // Called on the calling thread with each finished batch, in order; false stops the run.
    // It may take what it needs out of the batch: the batch is filled anew afterwards.
    using Consume = std::function<bool(RowBatch&)>;
    // Called on a worker with each batch once evaluated, for a caller that keeps the rows in a
    // form of its own (in prepared): that work then shares the cores, rather than waiting for
    // the calling thread, which reads every row alone. Like evaluateSource, it must keep no
    // shared mutable state.
    using Prepare = std::function<void(RowBatch&)>;

    // Whether the workers write each row's output line, or only evaluate it for a caller that
    // keeps the results themselves.
    enum class Output { lines, none };

    // Its workers are as many as the cores, less coresTaken by other threads that are busy
    // throughout (a row source's own: RowSource::threadsOfItsOwn), and at least one.
    BatchEvaluator(const ColumnMap& columns, const Evaluation& evaluation, char separator,
                   Consume consume, Output output = Output::lines, Prepare prepare = {},
                   unsigned coresTaken = 0);
    ~BatchEvaluator(); // stops the workers; batches not yet consumed are dropped
    BatchEvaluator(const BatchEvaluator&) = delete;
    BatchEvaluator& operator=(const BatchEvaluator&) = delete;

    // Copies the row into the batch being filled. False once consume has stopped the run.
    bool add(const InventoryRow& row);
    // The same for a row that is one plain line: a worker splits it into its fields, and writes
    // it out as it came when it fits the header.
    bool add(const PlainLine& line);
    // Evaluates and consumes every row added. False when consume stopped the run.
    bool finish();

    // The fields of one row of a finished batch.
    std::span<const std::string_view> rowFields(const RowBatch& batch, std::size_t row) const {
        return std::span(batch.fields).subspan(row * columns_.width, columns_.width);
    }
    const ColumnMap& columns() const { return columns_; }

private:
    struct Slot {
        RowBatch batch;
        bool done = false;
    };

    bool submitWhenFull(RowBatch& batch);
    void submit();
    bool consumeFinished(bool all);
    void work();
    void evaluate(RowBatch& batch) const;

    const ColumnMap columns_;
    const Evaluation evaluation_;
    const char separator_;
    const Consume consume_;
    const Output output_;
    const Prepare prepare_;
    std::vector<Slot> slots_;
    std::uint64_t filled_ = 0;   // batches handed to the workers
    std::uint64_t consumed_ = 0; // batches handed back
    bool stopped_ = false;       // consume said to stop

    std::mutex mutex_;
    std::condition_variable workToDo_;
    std::condition_variable workDone_;
    std::deque<Slot*> queue_;
    bool closing_ = false;
    std::vector<std::jthread> workers_;
};

} // namespace dovrin
