#pragma once

// The regulator's national inventory: every holder's sources held on a day, as the rows of one
// inventory with the holder's name as its first column, which the register's run reads as it
// reads a file. Each holder's rows are folded from its own events (fold.h), one holder after
// another in the order of their names.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fold.h"
#include "inventory.h"
#include "postgres_store.h"

namespace dovrin::store {

// The column the national inventory adds, and the summary counts by.
inline constexpr std::string_view holderColumn = "holder";

// "HOLDER: LOCATION", the place a national inventory's totals add a holder's sources up at:
// each holder's locations are its own. A holder's name has no colon (the registry refuses one),
// so that no two holders' places are ever one text. Written into text, which it returns.
std::string_view holdersLocation(std::string_view holder, std::string_view location,
                                 std::string& text);

class NationalRows final : public RowSource {
public:
    NationalRows(NationalRegistry& registry, std::vector<RegistryHolder> holders,
                 EventFilter filter, std::optional<std::chrono::year_month_day> asOf);
    std::optional<csv::Record> next() override;
    std::string error() const override { return error_; }
    unsigned threadsOfItsOwn() const override { return 1; } // each holder's journal's reader
    char separator() override { return ','; }
    bool hadByteOrderMark() const override { return false; }
    std::uint64_t bytesConsumed() const override { return 0; }
    std::uint64_t bytesTotal() const override { return 0; }
    bool rowsEndAtLastCell() const override { return false; }
    std::optional<PlainLine> nextPlainLine() override;

private:
    bool nextHolder(); // the next holder's rows into rows_, past their header; false at the end

    NationalRegistry& registry_;
    std::vector<RegistryHolder> holders_;
    EventFilter filter_;
    std::optional<std::chrono::year_month_day> asOf_;
    std::size_t holder_ = 0; // the next holder's index
    std::unique_ptr<HeldSourceRows> rows_;
    bool plainName_ = false; // the holder's name needs no quotes in a line of CSV
    std::uint64_t number_ = 0;
    std::vector<std::string_view> fields_;
    std::string line_;
    std::string error_;
};

} // namespace dovrin::store
