#pragma once

// An import of an inventory into a kept register: the inventory compared with the register row
// by row, and the events that would make the register agree with it (receipts, moves, status
// changes, leak tests, inventory checks), the conflicts with what the register holds of a
// source, and the sources held and absent from the file. Planned without recording anything,
// or recorded in one write. The command line's import and the window's Import Inventory run it
// alike, so that the window shows the plan the command line prints.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "decay.h"
#include "run.h"
#include "store.h"

namespace dovrin::store_import {

struct ImportSetting {
    std::string registerLocation; // a register file or a registry's connection
    std::string inventoryPath;    // "-": standardInput
    std::FILE* standardInput = nullptr;
    RunOptions reading; // the inventory's reading options, as a run takes them
    std::chrono::year_month_day on;
    std::string by; // who records it, as its events are checked by their rules
    std::string document;
};

// One row of a plan. Its texts are valid during the call that passes it.
struct PlanRow {
    std::optional<std::uint64_t> row; // the inventory's row; none for a source absent from it
    std::string_view id;
    std::string_view kind;            // an event's kind, "conflict" or "absent"
    std::optional<std::uint64_t> seq; // the event's, once recorded
    std::string_view detail;
};

struct ImportCalls {
    // Each row of the plan in turn; none: not wanted.
    std::function<void(const PlanRow&)> planRow;
    // The inventory's bytes read and its size (0 when unknown), now and then; false stops the
    // import, nothing recorded. None: never stopped.
    std::function<bool(std::uint64_t done, std::uint64_t total)> progress;
};

struct ImportResult {
    // One line: why nothing was recorded (or planned); empty when it was.
    std::string error;
    // "would record ... events (...); ... conflicts ...; ... held and absent from the file", then
    // the register's head, a line each.
    std::string summary;
    std::string columnsNotKept; // "the columns 'a', 'b'" that give no field of the register
    std::uint64_t conflictsLeft = 0;
    // Refused as events were recorded after the plan was made: the plan is to be made again.
    bool stale = false;
    // The register's last event when the import began: what a plan was made against.
    store::Head startHead;
};

ImportResult planImport(const ImportSetting& setting, LocalTime now, const ImportCalls& calls);

// Records the events of the import, the conflicts as corrections when a reason is given.
// Refused, nothing recorded, when the register's last event is no longer expectedHead (none:
// not asked): another writer recorded events after the plan was shown, which may have made it
// wrong.
ImportResult commitImport(const ImportSetting& setting, std::string_view reason,
                          std::optional<store::Head> expectedHead, LocalTime now,
                          const ImportCalls& calls);

} // namespace dovrin::store_import
