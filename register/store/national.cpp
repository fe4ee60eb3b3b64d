#include "national.h"

#include <utility>

namespace dovrin::store {

NationalRows::NationalRows(NationalRegistry& registry, std::vector<RegistryHolder> holders,
                           EventFilter filter, std::optional<std::chrono::year_month_day> asOf)
    : registry_(registry)
    , holders_(std::move(holders))
    , filter_(std::move(filter))
    , asOf_(asOf) {}

bool NationalRows::nextHolder() {
    rows_.reset(); // its cursor closed before the next one opens
    if (holder_ == holders_.size())
        return false;
    const RegistryHolder& holder = holders_[holder_++];
    rows_ = std::make_unique<HeldSourceRows>(registry_.eventsBySource(holder.role, filter_), asOf_);
    rows_->next(); // the inventory's header, given once for every holder
    plainName_ = holder.holder.name.find_first_of(",\"\r\n") == std::string::npos;
    return true;
}

std::optional<csv::Record> NationalRows::next() {
    if (number_ == 0) {
        fields_.assign({holderColumn});
        for (const std::string_view column : inventoryHeader())
            fields_.push_back(column);
        return csv::Record{fields_, ++number_};
    }
    while (rows_ || nextHolder()) {
        if (const auto record = rows_->next()) {
            fields_.assign({holders_[holder_ - 1].holder.name});
            fields_.insert(fields_.end(), record->fields.begin(), record->fields.end());
            return csv::Record{fields_, ++number_};
        }
        if (error_ = rows_->error(); !error_.empty()) {
            error_ = holders_[holder_ - 1].holder.name + "'s events: " + error_;
            return std::nullopt;
        }
        rows_.reset();
    }
    return std::nullopt;
}

std::string_view holdersLocation(std::string_view holder, std::string_view location,
                                 std::string& text) {
    text.assign(holder);
    text += ": ";
    text += location;
    return text;
}

std::optional<PlainLine> NationalRows::nextPlainLine() {
    // A holder's first row, the last one's end and every row with quotes go through next().
    if (!rows_ || !plainName_)
        return std::nullopt;
    const auto line = rows_->nextPlainLine();
    if (!line)
        return std::nullopt;
    line_.assign(holders_[holder_ - 1].holder.name);
    line_ += ',';
    line_ += line->bytes;
    return PlainLine{++number_, line_};
}

} // namespace dovrin::store
