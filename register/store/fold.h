#pragma once

// The as-of fold: the state of each source on a day, from its events as known at a moment, and
// those states as the rows of an inventory, which the register's run reads as it reads a file.

#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "inventory.h"
#include "store.h"

namespace dovrin::store {

struct SourceState {
    std::string id;
    bool held = false;            // in custody on the day
    std::uint64_t receivedBy = 0; // the receipt whose fields the source has; 0: none
    FieldValues values;           // its sourceFields()
};

// A source's state as views into its events' texts (FoldedEvent), valid while they are: what the
// fold of a whole register makes of each source, copying no value.
struct SourceView {
    std::string_view id;
    bool held = false;
    std::uint64_t receivedBy = 0;
    std::array<std::string_view, fieldNames.size()> values; // its sourceFields()
    FieldValues made; // values no event holds, which values then view: a day the fold makes
};

// Folds one source's events, given in seq order: a void takes its event away, a correction
// changes its event's fields, whatever their days; the other events count in the order of their
// days (then of their seq), those dated up to asOf alone (none: every one). An event dated D
// counts from the start of D.
void foldSource(std::span<const Event> events, std::optional<std::chrono::year_month_day> asOf,
                SourceState& state);
void foldSource(std::span<const FoldedEvent> events,
                std::optional<std::chrono::year_month_day> asOf, SourceView& state);

// The fields of an event as they stand after the corrections among events (the source's, in seq
// order) that are not voided.
FieldValues correctedValues(const Event& target, std::span<const Event> events);

// Why the event cannot follow the source's events (given in seq order): a receipt of a source
// held, an end of custody of one not held, a correction or void of an event not the source's,
// a void voided, ...; empty when it can. Fills a correction's old values from the event it
// corrects, as it stands.
std::string registerProblem(Event& event, std::span<const Event> events);

// The states of the sources one after another, from a cursor that gives the events grouped by
// source, each source's in seq order. Keeps one source's events at a time.
class SourceFolder {
public:
    SourceFolder(std::unique_ptr<EventCursor> cursor,
                 std::optional<std::chrono::year_month_day> asOf);
    // The next source's state, held or not, valid until the next call; none at the end or on an
    // error.
    const SourceView* next();
    std::string error() const { return cursor_->error(); }

private:
    bool read(std::size_t index); // the cursor's next event into events_[index]

    std::unique_ptr<EventCursor> cursor_;
    std::optional<std::chrono::year_month_day> asOf_;
    std::vector<FoldedEvent> events_; // their room kept from one source to the next
    std::size_t count_ = 0;           // of the source folded last
    bool pending_ = false;            // events_[count_] is read, the first of the next source
    bool started_ = false;
    SourceView state_;
};

// The inventory's header of the as-of rows: id, then sourceFields().
std::vector<std::string_view> inventoryHeader();

// Rows of held sources, as a fold's thread hands them to the reading thread.
struct HeldBlock {
    // A row that is its text as it stands.
    static constexpr std::size_t plain = std::numeric_limits<std::size_t>::max();
    struct Row {
        std::size_t end;       // in text
        std::size_t fieldEnds; // where its fields' ends begin in fieldEnds; plain: none kept
    };
    std::string text; // each row's fields joined by commas, one row after another
    std::vector<Row> rows;
    // The end of each field in text, inventoryHeader()'s width a row, of the rows whose fields
    // need quotes alone: a plain row's fields are found by its commas.
    std::vector<std::size_t> fieldEnds;
};

// The sources held on the day as the rows of an inventory, comma-separated, in the byte order
// of their ids: the first record is inventoryHeader(). The events are read and folded on a
// thread of its own, a few blocks of rows ahead of the reader, so that the run's reading thread
// only hands lines on, as it does a file's: the store is not to be used while it reads.
class HeldSourceRows final : public RowSource {
public:
    explicit HeldSourceRows(std::unique_ptr<EventCursor> cursor,
                            std::optional<std::chrono::year_month_day> asOf);
    ~HeldSourceRows() override;
    HeldSourceRows(const HeldSourceRows&) = delete;
    HeldSourceRows& operator=(const HeldSourceRows&) = delete;
    std::optional<csv::Record> next() override;
    std::string error() const override;
    char separator() override { return ','; }
    bool hadByteOrderMark() const override { return false; }
    std::uint64_t bytesConsumed() const override { return 0; }
    std::uint64_t bytesTotal() const override { return 0; }
    bool rowsEndAtLastCell() const override { return false; }
    std::optional<PlainLine> nextPlainLine() override;

private:
    void fold();    // the fold's thread: fills blocks until the end or until stopped
    bool nextRow(); // the next row into block_ at row_, false at the end
    std::string_view rowText() const; // of the row given last

    SourceFolder folder_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<HeldBlock> full_;  // in the order of their rows
    std::vector<HeldBlock> free_; // given back, their room kept
    bool done_ = false;           // the fold has handed on its last block
    bool stop_ = false;           // the reader is gone
    std::string error_;           // the cursor's, once done
    HeldBlock block_;             // being read
    std::size_t row_ = 0;         // of block_, the row given last plus one
    std::uint64_t number_ = 0;
    bool pending_ = false; // block_'s row row_ - 1 is not yet given
    std::vector<std::string_view> fields_;
    std::thread folding_; // last: it starts once the rest is made
};

} // namespace dovrin::store
