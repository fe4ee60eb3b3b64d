#pragma once

// The rules of the events that every backend shares: which fields each kind takes and needs,
// and the texts of days and moments as the journal keeps them.

#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "store.h"

namespace dovrin::store {

// A source's own fields, in the order of the inventory's columns that the as-of fold writes
// after the id: what a receipt records.
std::span<const Field> sourceFields();

// The fields an event of that kind may carry.
std::span<const Field> fieldsOf(Kind kind);
// The fields it must carry (a receipt its radionuclide, activity and unit, a move its location).
std::span<const Field> requiredFieldsOf(Kind kind);
// Whether it ends custody (transfer, dispose, lost, stolen) or opens it (receive, recovered).
bool endsCustody(Kind kind);
bool opensCustody(Kind kind);

// Why the event cannot be recorded as it stands (a field its kind does not take, one missing,
// no reason for a correction, ...); empty when it can. Checks the event alone, not the register.
std::string eventProblem(const Event& event);

// yyyy-mm-dd, and back; none for any other text.
std::string dayText(std::chrono::year_month_day day);
std::optional<std::chrono::year_month_day> readDay(std::string_view text);
// yyyy-mm-ddThh:mm:ssZ, and back.
std::string momentText(std::chrono::sys_seconds moment);
std::optional<std::chrono::sys_seconds> readMomentText(std::string_view text);

// "field=old; field=old" of a correction's old values, as history shows them.
std::string previousText(const Event& event);

// The hash of an event after the previous event's hash: SHA-256 of that hash's 32 bytes and of
// every part of the event (its hash apart) in order: seq, source, kind, on, recorded_at, by,
// reason, document, target, then for each field given, its name, value and old value. Each part
// is written as its length in decimal digits, a colon and its bytes, so that no two events give
// the same bytes. Every backend chains its events so, and verify recomputes it.
Hash chainHash(const Hash& previous, const Event& event);
std::string hexText(const Hash& hash);

// Gives an event its place after the head: the next seq, the moment it is recorded at, old
// values only for the fields a correction changes, and its hash. Every backend seals its events
// so, so that the same event chains to the same hash in either.
void sealEvent(Event& event, const Head& head, std::chrono::sys_seconds recordedAt);

} // namespace dovrin::store
