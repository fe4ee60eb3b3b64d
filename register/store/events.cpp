#include "events.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <memory>
#include <vector>

#include "plain_text.h"

namespace dovrin::store {

namespace {

using enum Field;

// A source's own fields, as a receipt gives them and an inventory has them as columns.
constexpr std::array ownFields{radionuclide,  activity,
                               unit,          manufactured,
                               location,      status,
                               lastLeakTest,  leakTestInterval,
                               lastInventory, inventoryInterval,
                               workingLife,   device,
                               make,          model,
                               serial,        receivedFrom};
constexpr std::array requiredOfReceipt{radionuclide, activity, unit};
constexpr std::array locationAlone{location};
constexpr std::array leakTestFields{outcome, resultBq, tester};
constexpr std::array inventoryCheckFields{found, location};
constexpr std::array foundAlone{found};
constexpr std::array statusAlone{status};
constexpr std::array transferFields{to, licence};
constexpr std::array toAlone{to};
constexpr std::array disposalFields{method, facility};
constexpr std::array methodAlone{method};
constexpr std::array textAlone{text};
// A correction may change any field of the event it names; which of them that event's kind has is
// checked against the register, where the event is known.
constexpr auto everyField = [] {
    std::array<Field, fieldNames.size()> fields{};
    for (std::size_t i = 0; i < fields.size(); ++i)
        fields[i] = static_cast<Field>(i);
    return fields;
}();

template <std::size_t size>
std::optional<std::size_t> indexIn(const std::array<std::string_view, size>& names,
                                   std::string_view name) {
    const auto found = std::ranges::find(names, name);
    if (found == names.end())
        return std::nullopt;
    return static_cast<std::size_t>(found - names.begin());
}

// The command line's option for a field: --last-leak-test for last_leak_test.
std::string optionOf(Field field) {
    std::string option = "--" + std::string(nameOf(field));
    std::ranges::replace(option, '_', '-');
    return option;
}

bool isOneOf(std::string_view value, std::initializer_list<std::string_view> allowed) {
    return std::ranges::find(allowed, value) != allowed.end();
}

} // namespace

std::optional<Kind> kindNamed(std::string_view name) {
    const auto index = indexIn(kindNames, name);
    return index ? std::optional(static_cast<Kind>(*index)) : std::nullopt;
}

std::string_view nameOf(Kind kind) {
    return kindNames[static_cast<std::size_t>(kind)];
}

std::optional<Field> fieldNamed(std::string_view name) {
    const auto index = indexIn(fieldNames, name);
    return index ? std::optional(static_cast<Field>(*index)) : std::nullopt;
}

std::string_view nameOf(Field field) {
    return fieldNames[static_cast<std::size_t>(field)];
}

std::span<const Field> sourceFields() {
    return ownFields;
}

std::span<const Field> fieldsOf(Kind kind) {
    switch (kind) {
    case Kind::receive:
        return ownFields;
    case Kind::move:
    case Kind::lost:
    case Kind::stolen:
    case Kind::recovered:
        return locationAlone;
    case Kind::leakTest:
        return leakTestFields;
    case Kind::inventoryCheck:
        return inventoryCheckFields;
    case Kind::status:
        return statusAlone;
    case Kind::transfer:
        return transferFields;
    case Kind::dispose:
        return disposalFields;
    case Kind::note:
        return textAlone;
    case Kind::correct:
        return everyField;
    case Kind::voided:
        break;
    }
    return {};
}

std::span<const Field> requiredFieldsOf(Kind kind) {
    switch (kind) {
    case Kind::receive:
        return requiredOfReceipt;
    case Kind::move:
        return locationAlone;
    case Kind::inventoryCheck:
        return foundAlone;
    case Kind::status:
        return statusAlone;
    case Kind::transfer:
        return toAlone;
    case Kind::dispose:
        return methodAlone;
    case Kind::note:
        return textAlone;
    default:
        return {};
    }
}

bool endsCustody(Kind kind) {
    return kind == Kind::transfer || kind == Kind::dispose || kind == Kind::lost ||
           kind == Kind::stolen;
}

bool opensCustody(Kind kind) {
    return kind == Kind::receive || kind == Kind::recovered;
}

std::string eventProblem(const Event& event) {
    const std::string kind(nameOf(event.kind));
    if (event.source.empty())
        return "a " + kind + " needs the source's id (--source)";
    if (event.by.empty())
        return "a " + kind + " needs who records it (--by)";
    if (!event.on.ok())
        return "a " + kind + " needs the day it happened (--on yyyy-mm-dd)";
    const bool namesEvent = event.kind == Kind::correct || event.kind == Kind::voided;
    if (namesEvent && event.target == 0)
        return "a " + kind + " names the event it " +
               (event.kind == Kind::correct ? "corrects" : "voids") + " (--event SEQ)";
    if (!namesEvent && event.target != 0)
        return "only correct and void name an event (--event)";
    if (namesEvent && event.reason.empty())
        return "a " + kind + " needs a reason (--reason)";
    const std::span<const Field> allowed = fieldsOf(event.kind);
    bool anyField = false;
    for (std::size_t i = 0; i < fieldNames.size(); ++i) {
        if (event.values[i].empty())
            continue;
        anyField = true;
        if (std::ranges::find(allowed, static_cast<Field>(i)) == allowed.end())
            return "a " + kind + " takes no " + optionOf(static_cast<Field>(i)) + " (it takes" +
                   [&] {
                       std::string list;
                       for (const Field field : allowed)
                           list += " " + optionOf(field);
                       return list.empty() ? std::string(" no field") : list;
                   }() +
                   ")";
    }
    for (const Field field : requiredFieldsOf(event.kind))
        if (event[field].empty())
            return "a " + kind + " needs " + optionOf(field);
    if (event.kind == Kind::correct && !anyField)
        return "a correct names at least one field with its new value";
    if (!event[status].empty() && !isOneOf(event[status], {"in use", "in storage"}))
        return "--status takes 'in use' or 'in storage', not '" + event[status] + "'";
    if (!event[outcome].empty() && !isOneOf(event[outcome], {"pass", "fail"}))
        return "--outcome takes pass or fail, not '" + event[outcome] + "'";
    if (!event[found].empty() && !isOneOf(event[found], {"present", "missing"}))
        return "--found takes present or missing, not '" + event[found] + "'";
    return {};
}

std::string dayText(std::chrono::year_month_day day) {
    char space[32];
    return std::string(isoDate(day, space));
}

namespace {

std::optional<int> digits(std::string_view text, std::size_t from, std::size_t length) {
    return fixedDigits(text, from, length);
}

} // namespace

std::optional<std::chrono::year_month_day> readDay(std::string_view text) {
    using namespace std::chrono;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    const auto y = digits(text, 0, 4), m = digits(text, 5, 2), d = digits(text, 8, 2);
    if (!y || !m || !d)
        return std::nullopt;
    const year_month_day day{year{*y}, month{static_cast<unsigned>(*m)},
                             std::chrono::day{static_cast<unsigned>(*d)}};
    return day.ok() ? std::optional(day) : std::nullopt;
}

std::string momentText(std::chrono::sys_seconds moment) {
    using namespace std::chrono;
    const auto day = floor<days>(moment);
    const hh_mm_ss time{moment - day};
    char text[32];
    std::snprintf(text, sizeof text, "%sT%02d:%02d:%02dZ", dayText(year_month_day{day}).c_str(),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

std::optional<std::chrono::sys_seconds> readMomentText(std::string_view text) {
    using namespace std::chrono;
    if (text.size() != 20 || text[10] != 'T' || text[13] != ':' || text[16] != ':' ||
        text[19] != 'Z')
        return std::nullopt;
    const auto day = readDay(text.substr(0, 10));
    const auto h = digits(text, 11, 2), m = digits(text, 14, 2), s = digits(text, 17, 2);
    if (!day || !h || !m || !s || *h > 23 || *m > 59 || *s > 59)
        return std::nullopt;
    return sys_days{*day} + hours{*h} + minutes{*m} + seconds{*s};
}

std::string previousText(const Event& event) {
    std::string text;
    for (std::size_t i = 0; i < fieldNames.size(); ++i)
        if (!event.values[i].empty() && event.kind == Kind::correct)
            text +=
                (text.empty() ? "" : "; ") + std::string(fieldNames[i]) + "=" + event.previous[i];
    return text;
}

namespace {

// The bytes an event is hashed from, written into room kept from one event to the next. An import
// seals a million events of some forty parts each: a string's capacity check and growth for each
// part cost more than the hashing itself, so the room is made large enough once per event and
// each part copied straight in.
class HashInput {
public:
    // Room for parts whose bytes total at most textBytes.
    void start(std::size_t parts, std::size_t textBytes) {
        const std::size_t bound = sizeof(Hash) + parts * (numberDigits + 1) + textBytes;
        if (room_.size() < bound)
            room_.resize(bound);
        used_ = 0;
    }
    void put(std::string_view bytes) {
        std::memcpy(room_.data() + used_, bytes.data(), bytes.size());
        used_ += bytes.size();
    }
    // A part: its length, a colon and its bytes.
    void part(std::string_view bytes) {
        putNumber(bytes.size());
        room_[used_++] = ':';
        put(bytes);
    }
    void numberPart(std::uint64_t number) {
        char digits[numberDigits];
        part(std::string_view(
            digits, static_cast<std::size_t>(
                        std::to_chars(digits, digits + numberDigits, number).ptr - digits)));
    }
    const char* data() const { return room_.data(); }
    std::size_t size() const { return used_; }

private:
    static constexpr std::size_t numberDigits = 20; // of the largest 64-bit number
    void putNumber(std::uint64_t number) {
        char* end = room_.data() + room_.size();
        used_ = static_cast<std::size_t>(std::to_chars(room_.data() + used_, end, number).ptr -
                                         room_.data());
    }
    std::vector<char> room_;
    std::size_t used_ = 0;
};

// Each field's name as the part it makes ("12:radionuclide"), made once.
const std::array<std::string, fieldNames.size()>& fieldNameParts() {
    static const std::array<std::string, fieldNames.size()> parts = [] {
        std::array<std::string, fieldNames.size()> made;
        for (std::size_t i = 0; i < fieldNames.size(); ++i)
            made[i] = std::to_string(fieldNames[i].size()) + ":" + std::string(fieldNames[i]);
        return made;
    }();
    return parts;
}

struct DigestContext {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct Digest {
    void operator()(EVP_MD* digest) const { EVP_MD_free(digest); }
};

} // namespace

Hash chainHash(const Hash& previous, const Event& event) {
    char day[32];
    const std::string_view dayPart = isoDate(event.on, day);
    // The events of one write share their moment: its text is made once.
    thread_local std::chrono::sys_seconds lastMoment{};
    thread_local std::string lastMomentText = momentText(lastMoment);
    if (event.recordedAt != lastMoment) {
        lastMoment = event.recordedAt;
        lastMomentText = momentText(lastMoment);
    }
    std::size_t textBytes = event.source.size() + nameOf(event.kind).size() + dayPart.size() +
                            lastMomentText.size() + event.by.size() + event.reason.size() +
                            event.document.size() + 2 * 20; // seq and target
    std::size_t parts = 9;
    for (std::size_t i = 0; i < fieldNames.size(); ++i) {
        textBytes += fieldNameParts()[i].size() + event.values[i].size() + event.previous[i].size();
        parts += 2;
    }
    thread_local HashInput bytes;
    bytes.start(parts, textBytes);
    bytes.put(std::string_view(reinterpret_cast<const char*>(previous.data()), previous.size()));
    bytes.numberPart(event.seq);
    bytes.part(event.source);
    bytes.part(nameOf(event.kind));
    bytes.part(dayPart);
    bytes.part(lastMomentText);
    bytes.part(event.by);
    bytes.part(event.reason);
    bytes.part(event.document);
    bytes.numberPart(event.target);
    for (std::size_t i = 0; i < fieldNames.size(); ++i) {
        if (event.values[i].empty() && event.previous[i].empty())
            continue; // a field not given is left out, named or not
        bytes.put(fieldNameParts()[i]);
        bytes.part(event.values[i]);
        bytes.part(event.previous[i]);
    }
    // SHA-256 fetched once and one context per thread, reused: fetching it anew for each event
    // would cost more than hashing it.
    thread_local const std::unique_ptr<EVP_MD, Digest> sha256(
        EVP_MD_fetch(nullptr, "SHA256", nullptr));
    thread_local const std::unique_ptr<EVP_MD_CTX, DigestContext> context(EVP_MD_CTX_new());
    Hash hash{};
    unsigned int length = 0;
    if (!sha256 || !context || EVP_DigestInit_ex(context.get(), sha256.get(), nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1 ||
        EVP_DigestFinal_ex(context.get(), hash.data(), &length) != 1 || length != hash.size())
        hash.fill(0); // never a hash of an event: verify then names it
    return hash;
}

std::string hexText(const Hash& hash) {
    static constexpr char digitsOf[] = "0123456789abcdef";
    std::string text;
    text.reserve(hash.size() * 2);
    for (const unsigned char byte : hash) {
        text += digitsOf[byte >> 4];
        text += digitsOf[byte & 15];
    }
    return text;
}

void sealEvent(Event& event, const Head& head, std::chrono::sys_seconds recordedAt) {
    event.seq = head.seq + 1;
    event.recordedAt = recordedAt;
    for (std::size_t i = 0; i < fieldNames.size(); ++i)
        if (event.kind != Kind::correct || event.values[i].empty())
            event.previous[i].clear();
    event.hash = chainHash(head.hash, event);
}

} // namespace dovrin::store
