#pragma once

// What one recorded event changes in the window's table of a kept register: the source's row
// read again from the register and evaluated as a load reads it, and the totals of the
// locations it left or entered. Everything else stays as it was read, so that a record does
// not read the whole register again.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "stored_inventory.h"

namespace dovrin {

class SourcesModel;

// One source of a kept register as it is held on the as-of day.
struct SourceRow {
    std::string error;                              // one line when it could not be read
    std::optional<std::vector<std::string>> fields; // none: not held on that day
    std::string location;
    StoredResult result;
};

// Reads the source from the register at location as the table's rows were read (their header,
// options and evaluation); its notes go to the results' pool. An error when the row would not
// be one the table could hold as read (its columns differ, or it is not well formed).
SourceRow readSourceRow(const std::string& location, std::string_view id,
                        const InventoryTexts& texts, InventoryResults& results);

// Puts the source's row in the table: replaced, inserted in the order of the ids, or removed;
// the totals of the locations it was or is at worked out again, and the locations' numbers kept
// in the order of their first rows. False, with nothing changed, when the table cannot be
// patched so (rows that are not well formed, or breaks in the rows' numbers, whose places a
// change would shift): it is then to be read again.
bool patchSource(SourcesModel& sources, std::string_view id, const SourceRow& row);

} // namespace dovrin
