#include "stored_inventory.h"

#include <algorithm>
#include <chrono>

#include "radionuclides.h"

namespace dovrin {

LabelCode labelCode(std::optional<std::string_view> label) {
    if (!label)
        return 0;
    const auto found = std::find(categoryLabels.begin(), categoryLabels.end(), *label);
    return found == categoryLabels.end()
               ? LabelCode{0}
               : static_cast<LabelCode>(found - categoryLabels.begin() + 1);
}

std::string_view labelText(LabelCode code) {
    return code == 0 || code > categoryLabels.size() ? std::string_view{}
                                                     : categoryLabels[code - 1u];
}

NuclideCode nuclideCode(std::string_view radionuclide) {
    const auto index = RadionuclideTable::builtIn().indexOf(radionuclide);
    return index ? static_cast<NuclideCode>(*index + 1) : NuclideCode{0};
}

std::string_view nuclideText(NuclideCode code) {
    const auto known = RadionuclideTable::builtIn().all();
    return code == 0 || code > known.size() ? std::string_view{} : known[code - 1u].name;
}

std::uint32_t NotePool::add(std::string_view note) {
    if (note.empty())
        return 0;
    if (const auto found = index_.find(note); found != index_.end())
        return found->second;
    const auto number = static_cast<std::uint32_t>(size());
    views_.push_back(keep(note));
    index_.emplace(views_.back(), number);
    return number;
}

std::string_view NotePool::keep(std::string_view note) {
    constexpr std::size_t blockBytes = 64 * 1024;
    if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < note.size()) {
        blocks_.emplace_back();
        blocks_.back().reserve(std::max(note.size(), blockBytes));
    }
    std::string& block = blocks_.back();
    const std::size_t at = block.size();
    block.append(note); // within its room: the block's texts stay where they are
    return std::string_view(block).substr(at);
}

std::vector<std::string> NotePool::release() {
    // The empty note, number 0, is every pool's own.
    const auto from = views_.begin() + (first_ == 0 && !views_.empty() ? 1 : 0);
    std::vector<std::string> kept(from, views_.end());
    first_ = static_cast<std::uint32_t>(size());
    index_.clear();
    views_.clear();
    blocks_.clear();
    return kept;
}

namespace {

std::int32_t dayNumber(std::chrono::year_month_day day) {
    return static_cast<std::int32_t>(std::chrono::sys_days{day}.time_since_epoch().count());
}

std::chrono::year_month_day dayOf(std::int32_t number) {
    return std::chrono::sys_days{std::chrono::days{number}};
}

void storeDue(const Due& due, std::int32_t& day, StatusCode& status) {
    if (!due.on)
        return;
    day = dayNumber(*due.on);
    status = static_cast<StatusCode>(due.status);
}

Due restoreDue(std::int32_t day, StatusCode status) {
    if (day == noDueDay)
        return {};
    return {dayOf(day), static_cast<DueStatus>(status)};
}

void storeDuties(const Duties& duties, StoredResult& stored, NotePool& notes) {
    StoredDuties& days = stored.duties;
    StoredDueStatuses& statuses = stored.dueStatuses;
    storeDue(duties.leakTest, days.leakTestDay, statuses.leakTest);
    storeDue(duties.inventory, days.inventoryDay, statuses.inventory);
    storeDue(duties.workingLifeEnd, days.workingLifeEndDay, statuses.workingLifeEnd);
    if (duties.leakTestExemption)
        days.leakTestExemption = notes.add(*duties.leakTestExemption);
}

Duties restoreDuties(const StoredResult& stored, const NotePool& notes) {
    const StoredDuties& days = stored.duties;
    const StoredDueStatuses& statuses = stored.dueStatuses;
    Duties duties;
    duties.leakTest = restoreDue(days.leakTestDay, statuses.leakTest);
    duties.inventory = restoreDue(days.inventoryDay, statuses.inventory);
    duties.workingLifeEnd = restoreDue(days.workingLifeEndDay, statuses.workingLifeEnd);
    if (days.leakTestExemption != 0)
        duties.leakTestExemption = std::string_view(notes[days.leakTestExemption]);
    return duties;
}

} // namespace

StoredResult storeResult(const SourceResult& result, NotePool& notes) {
    StoredResult stored;
    storeDuties(result.duties, stored, notes);
    stored.categorised = result.categorised;
    stored.note = notes.add(result.note);
    stored.radionuclide = nuclideCode(result.radionuclide);
    if (!result.categorised)
        return stored;
    stored.activityTBq = result.activityTBq;
    stored.currentActivityTBq = result.currentActivityTBq;
    stored.aOverD = result.aOverD;
    stored.category = labelCode(result.category);
    stored.currentCategory = labelCode(result.currentCategory);
    stored.categoryByAOverD = labelCode(result.categoryByAOverD);
    stored.initialCategoryByAOverD = labelCode(result.initialCategoryByAOverD);
    stored.recordedCategoryDiffers = result.recordedCategoryDiffers;
    if (result.nextChange) {
        stored.nextLabel = labelCode(result.nextChange->label);
        stored.nextChangeDay = dayNumber(result.nextChange->on);
    }
    if (result.nextChangeByAOverD) {
        stored.nextLabelByAOverD = labelCode(result.nextChangeByAOverD->label);
        stored.nextChangeByAOverDDay = dayNumber(result.nextChangeByAOverD->on);
    }
    return stored;
}

SourceResult restoreResult(const StoredResult& stored, const NotePool& notes) {
    SourceResult result;
    result.categorised = stored.categorised;
    result.note = notes[stored.note];
    result.duties = restoreDuties(stored, notes);
    result.radionuclide = nuclideText(stored.radionuclide);
    if (!stored.categorised)
        return result;
    const auto optionalLabel = [](LabelCode code) {
        return code == 0 ? std::optional<std::string_view>{} : labelText(code);
    };
    result.activityTBq = stored.activityTBq;
    result.category = optionalLabel(stored.category);
    result.currentActivityTBq = stored.currentActivityTBq;
    result.currentCategory = optionalLabel(stored.currentCategory);
    result.aOverD = stored.aOverD;
    result.categoryByAOverD = labelText(stored.categoryByAOverD);
    result.initialCategoryByAOverD = labelText(stored.initialCategoryByAOverD);
    result.recordedCategoryDiffers = stored.recordedCategoryDiffers;
    const auto change = [](LabelCode label, std::int32_t day) {
        return label == 0 ? std::optional<NextChange>{} : NextChange{labelText(label), dayOf(day)};
    };
    result.nextChange = change(stored.nextLabel, stored.nextChangeDay);
    result.nextChangeByAOverD = change(stored.nextLabelByAOverD, stored.nextChangeByAOverDDay);
    return result;
}

namespace {

void packLength(std::string& block, std::size_t length) {
    do {
        const auto low = static_cast<unsigned char>(length & 0x7fu);
        length >>= 7;
        block.push_back(static_cast<char>(length ? low | 0x80u : low));
    } while (length);
}

std::size_t unpackLength(const char*& at) {
    std::size_t length = 0;
    for (unsigned shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*at++);
        length |= static_cast<std::size_t>(byte & 0x7fu) << shift;
        if (!(byte & 0x80u))
            return length;
    }
}

} // namespace

void packFields(std::string& block, std::span<const std::string_view> fields,
                std::optional<std::size_t> keptElsewhere) {
    packLength(block, fields.size());
    for (std::size_t index = 0; index < fields.size(); ++index) {
        const std::string_view field = index == keptElsewhere ? std::string_view() : fields[index];
        packLength(block, field.size());
        block.append(field);
    }
}

PackedFields::PackedFields(const char* start, std::optional<FieldKeptElsewhere> kept)
    : first_(start)
    , kept_(kept) {
    count_ = unpackLength(first_);
}

std::string_view PackedFields::operator[](std::size_t index) const {
    if (index >= count_)
        return {};
    if (kept_ && index == kept_->index)
        return kept_->text;
    const char* at = first_;
    for (;;) {
        const std::size_t length = unpackLength(at);
        if (index-- == 0)
            return {at, length};
        at += length;
    }
}

std::vector<std::string_view> PackedFields::all() const {
    std::vector<std::string_view> fields;
    fields.reserve(count_);
    const char* at = first_;
    for (std::size_t index = 0; index < count_; ++index) {
        const std::size_t length = unpackLength(at);
        fields.emplace_back(at, length);
        at += length;
    }
    if (kept_ && kept_->index < count_)
        fields[kept_->index] = kept_->text;
    return fields;
}

} // namespace dovrin
