#pragma once

// The as-of fold: the state of each source on a day, from its events as known at a moment, and
// those states as the rows of an inventory, which the register's run reads as it reads a file.

#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
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
// fold of a whole register makes of each source, copying no value. Not copied, since its values
// may view its own texts.
struct SourceView {
    SourceView() = default;
    SourceView(const SourceView&) = delete;
    SourceView& operator=(const SourceView&) = delete;

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

// Whole sources' events, one block after another.
struct SourceEvents {
    std::vector<FoldedEvent> events;     // their room kept: the first sourceEnds.back() are these
    std::vector<std::size_t> sourceEnds; // where each source's events end in events
    std::span<const FoldedEvent> source(std::size_t index) const;
};

// Whole sources' events from a cursor that gives them grouped by source, each source's in seq
// order: the event read past the last source of a block is carried to the next.
class SourceEventsReader {
public:
    explicit SourceEventsReader(std::unique_ptr<EventCursor> cursor)
        : cursor_(std::move(cursor)) {}
    // Up to that many sources' events into block, whose room is kept; false when it has none:
    // at the end, or on an error.
    bool fill(SourceEvents& block, std::size_t sources);
    std::string error() const { return cursor_->error(); }

private:
    std::unique_ptr<EventCursor> cursor_;
    FoldedEvent carried_;
    bool isCarried_ = false;
    bool ended_ = false;
};

// The states of the sources one after another, from a cursor that gives the events grouped by
// source, each source's in seq order. Keeps one source's events at a time.
class SourceFolder {
public:
    SourceFolder(std::unique_ptr<EventCursor> cursor,
                 std::optional<std::chrono::year_month_day> asOf);
    // The next source's state, held or not, valid until the next call; none at the end or on an
    // error.
    const SourceView* next();
    std::string error() const { return reader_.error(); }

private:
    SourceEventsReader reader_;
    std::optional<std::chrono::year_month_day> asOf_;
    SourceEvents source_;
    SourceView state_;
};

// The inventory's header of the as-of rows: id, then sourceFields().
std::vector<std::string_view> inventoryHeader();

// The sources held on the day as the rows of an inventory, comma-separated, in the byte order
// of their ids: the first record is inventoryHeader(). The events are read on a thread of its
// own, a few blocks of sources ahead of the reader, and folded into rows as the reader asks for
// them: the journal's reading and the fold, each half the work, go on side by side. The store is
// not to be used while it reads.
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
    unsigned threadsOfItsOwn() const override { return 1; } // the journal's reader

private:
    void readEvents(); // the journal's thread: fills blocks until the end or until stopped
    bool nextHeld();   // the next held source's row into row_, false at the end
    void writeRow();   // state_'s row

    SourceEventsReader reader_;
    std::optional<std::chrono::year_month_day> asOf_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<SourceEvents> full_;  // in the order of their sources
    std::vector<SourceEvents> free_; // given back, their room kept
    bool done_ = false;              // the journal's thread has handed on its last block
    bool stop_ = false;              // the reader is gone
    std::string error_;              // the cursor's, once done
    SourceEvents block_;             // being folded
    std::size_t source_ = 0;         // of block_, the next to fold
    SourceView state_;
    std::string row_;               // the held source's row, its fields joined by commas
    std::vector<std::size_t> ends_; // where each of its fields ends in row_
    bool plain_ = false;            // row_ is the row as it stands: no field needs quotes
    std::uint64_t number_ = 0;
    bool pending_ = false; // row_ is not yet given
    std::vector<std::string_view> fields_;
    std::thread reading_; // last: it starts once the rest is made
};

} // namespace dovrin::store
