#include "batches.h"

#include <algorithm>
#include <cstring>

#include "output.h"
#include "vector_state.h"

namespace dovrin {

namespace {

// A batch is handed to the workers once it holds this many rows or bytes of fields: large
// enough that handing over costs little, small enough that a few batches are little memory.
constexpr std::size_t rowsPerBatch = 2048;
constexpr std::size_t bytesPerBatch = 256 * 1024;

unsigned workerCount(unsigned coresTaken) {
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(cores > coresTaken ? cores - coresTaken : 1u, 1u, 8u);
}

} // namespace

BatchEvaluator::BatchEvaluator(const ColumnMap& columns, const Evaluation& evaluation,
                               char separator, Consume consume, Output output, Prepare prepare,
                               unsigned coresTaken)
    : columns_(columns)
    , evaluation_(evaluation)
    , separator_(separator)
    , consume_(std::move(consume))
    , output_(output)
    , prepare_(std::move(prepare)) {
    const unsigned workers = workerCount(coresTaken);
    // Every worker busy with one batch, one more waiting for each, one being filled.
    slots_.resize(2 * workers + 1);
    for (unsigned i = 0; i < workers; ++i)
        workers_.emplace_back([this] { work(); });
}

BatchEvaluator::~BatchEvaluator() {
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
    }
    workToDo_.notify_all();
    workers_.clear(); // joins
}

bool BatchEvaluator::add(const InventoryRow& row) {
    if (stopped_)
        return false;
    RowBatch& batch = slots_[filled_ % slots_.size()].batch;
    std::size_t size = 0;
    for (const std::string_view field : row.fields)
        size += field.size();
    std::size_t end = batch.text.size();
    batch.text.resize(end + size);
    for (const std::string_view field : row.fields) {
        if (!field.empty())
            std::memcpy(batch.text.data() + end, field.data(), field.size());
        end += field.size();
        batch.ends.push_back(end);
    }
    if (batch.problems.size() <= batch.rows())
        batch.problems.resize(batch.rows() + 1);
    batch.problems[batch.rows()] = row.problem;
    batch.numbers.push_back(row.number);
    batch.plain.push_back(false);
    return submitWhenFull(batch);
}

bool BatchEvaluator::add(const PlainLine& line) {
    if (stopped_)
        return false;
    RowBatch& batch = slots_[filled_ % slots_.size()].batch;
    batch.text.append(line.bytes);
    batch.ends.push_back(batch.text.size());
    if (batch.problems.size() <= batch.rows())
        batch.problems.resize(batch.rows() + 1);
    batch.numbers.push_back(line.number);
    batch.plain.push_back(true);
    return submitWhenFull(batch);
}

bool BatchEvaluator::submitWhenFull(RowBatch& batch) {
    if (batch.rows() < rowsPerBatch && batch.text.size() < bytesPerBatch)
        return true;
    submit();
    return consumeFinished(false);
}

bool BatchEvaluator::finish() {
    if (stopped_)
        return false;
    if (slots_[filled_ % slots_.size()].batch.rows() > 0)
        submit();
    return consumeFinished(true);
}

void BatchEvaluator::submit() {
    Slot& slot = slots_[filled_ % slots_.size()];
    {
        const std::lock_guard lock(mutex_);
        slot.done = false;
        queue_.push_back(&slot);
    }
    workToDo_.notify_one();
    ++filled_;
}

// Hands back the finished batches in order: all of them, or at least as many as it takes to
// free the slot to be filled next.
bool BatchEvaluator::consumeFinished(bool all) {
    while (consumed_ < filled_) {
        Slot& slot = slots_[consumed_ % slots_.size()];
        const bool needed = all || consumed_ + slots_.size() <= filled_;
        {
            std::unique_lock lock(mutex_);
            if (!needed && !slot.done)
                return true;
            workDone_.wait(lock, [&slot] { return slot.done; });
        }
        if (!consume_(slot.batch)) {
            stopped_ = true;
            return false;
        }
        RowBatch& batch = slot.batch;
        batch.text.clear();
        batch.ends.clear();
        batch.numbers.clear();
        batch.plain.clear();
        ++consumed_;
    }
    return true;
}

void BatchEvaluator::work() {
    clearUpperVectorState(); // this thread may have been started by a window's (vector_state.h)
    for (;;) {
        Slot* slot = nullptr;
        {
            std::unique_lock lock(mutex_);
            workToDo_.wait(lock, [this] { return closing_ || !queue_.empty(); });
            if (closing_)
                return;
            slot = queue_.front();
            queue_.pop_front();
        }
        evaluate(slot->batch);
        if (prepare_)
            prepare_(slot->batch);
        {
            const std::lock_guard lock(mutex_);
            slot->done = true;
        }
        workDone_.notify_all();
    }
}

void BatchEvaluator::evaluate(RowBatch& batch) const {
    batch.fields.clear();
    batch.results.resize(batch.rows());
    batch.output.clear();
    std::size_t start = 0;
    auto end = batch.ends.begin();
    for (std::size_t row = 0; row < batch.rows(); ++row) {
        std::string_view line;
        if (batch.plain[row]) {
            line = std::string_view(batch.text).substr(start, *end - start);
            start = *end++;
            splitPlainLine(line, separator_, columns_.width, batch.fields, batch.problems[row]);
        } else {
            for (std::size_t field = 0; field < columns_.width; ++field, ++end) {
                batch.fields.emplace_back(batch.text.data() + start, *end - start);
                start = *end;
            }
        }
        const auto fields = rowFields(batch, row);
        SourceResult& result = batch.results[row];
        evaluateRow(textsOf(fields, columns_).source, batch.problems[row], evaluation_, result);
        if (output_ == Output::none)
            continue;
        // A plain line that fits the header holds its fields as they are written out.
        const bool recordedCategory = columns_[Column::recordedCategory].has_value();
        if (batch.plain[row] && batch.problems[row].empty())
            appendOutputRow(batch.output, line, result, separator_, recordedCategory);
        else
            appendOutputRow(batch.output, fields, result, separator_, recordedCategory);
    }
}

} // namespace dovrin
