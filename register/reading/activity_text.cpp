#include "activity_text.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "activity_units.h"
#include "inventory_units.h"
#include "number_text.h"
#include "plain_text.h"

namespace dovrin {

namespace {

constexpr auto allUnits = [] {
    std::array<ActivityUnit, activityUnits.size() + inventoryOnlyUnits.size()> units{};
    std::ranges::copy(activityUnits, units.begin());
    std::ranges::copy(inventoryOnlyUnits, units.begin() + activityUnits.size());
    return units;
}();

const ActivityUnit* unitNamed(std::string_view name) {
    const auto found = std::ranges::find(allUnits, name, &ActivityUnit::name);
    return found == allUnits.end() ? nullptr : &*found;
}

bool sameLetters(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) { return lowerCase(x) == lowerCase(y); });
}

std::string knownUnits() {
    std::string list;
    for (const ActivityUnit& unit : allUnits)
        list += (list.empty() ? "" : ", ") + std::string(unit.name);
    return list;
}

void addProblem(std::string& problems, std::string_view problem) {
    if (!problems.empty())
        problems += "; ";
    problems += problem;
}

std::string quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

// The unit's text in another letter case: read when one unit matches it so, refused when its
// first letter is an m that may be milli or mega.
std::optional<UnitRead> readUnitInAnyCase(std::string_view unit, std::string* why) {
    const ActivityUnit* match = nullptr;
    for (const ActivityUnit& known : allUnits)
        if (sameLetters(unit, known.name))
            match = match == nullptr ? &known : match;
    if (match != nullptr && lowerCase(match->name.front()) != 'm')
        return UnitRead{match->name, match->sizeInBq};
    if (why == nullptr)
        return std::nullopt;
    if (match != nullptr) {
        const std::string rest(match->name.substr(1));
        *why = "unit: " + quoted(unit) + " may be m" + rest + " (milli) or M" + rest +
               " (mega): write it with its letter case";
    } else {
        *why = "unit: unknown unit " + quoted(unit) + " (known: " + knownUnits() + ")";
    }
    return std::nullopt;
}

// The no-break and thin spaces that set thousands apart ("1 000"), each made a blank.
std::string withPlainSpaces(std::string_view text) {
    static constexpr std::array<std::string_view, 3> spaces{"\u00A0", "\u2009", "\u202F"};
    std::string plain;
    for (std::size_t i = 0; i < text.size();) {
        const auto space = std::ranges::find_if(
            spaces, [&](std::string_view s) { return text.substr(i, s.size()) == s; });
        if (space != spaces.end()) {
            plain += ' ';
            i += space->size();
        } else {
            plain += text[i++];
        }
    }
    return plain;
}

// Whether the blanks inside the number only set groups of three digits apart in its whole
// part: "1 000 000" but neither "1 5" nor "1.5 2".
bool blanksGroupThousands(std::string_view number) {
    if (!number.empty() && (number.front() == '-' || number.front() == '+'))
        number.remove_prefix(1);
    const std::size_t wholeEnd = std::min(number.find_first_of(".eE"), number.size());
    if (number.substr(wholeEnd).find_first_of(blanks) != std::string_view::npos)
        return false;
    std::string_view whole = number.substr(0, wholeEnd);
    bool first = true;
    for (;;) {
        const std::size_t blank = whole.find(' ');
        const std::string_view group = whole.substr(0, blank);
        const bool digits = std::ranges::all_of(group, [](char c) { return c >= '0' && c <= '9'; });
        if (!digits || group.empty() || group.size() > 3 || (!first && group.size() != 3))
            return false;
        if (blank == std::string_view::npos)
            return true;
        whole.remove_prefix(blank + 1);
        first = false;
    }
}

// The text with its one comma as a decimal point ("3,7" as "3.7"); unchanged when it has a
// point or more than one comma.
std::string withDecimalPoint(std::string_view text) {
    std::string point(text);
    const std::size_t comma = point.find(',');
    if (comma != std::string::npos && point.find(',', comma + 1) == std::string::npos &&
        point.find('.') == std::string::npos)
        point[comma] = '.';
    return point;
}

} // namespace

std::optional<UnitRead> readUnitText(std::string_view text, std::string* why) {
    const std::string_view unit = trimBlanks(text);
    if (const ActivityUnit* exact = unitNamed(unit))
        return UnitRead{exact->name, exact->sizeInBq};
    for (const std::string_view micro : {"\u00B5", "\u03BC"})
        if (unit.starts_with(micro))
            return readUnitText("u" + std::string(unit.substr(micro.size())), why);
    return readUnitInAnyCase(unit, why);
}

namespace {

// The activity of most rows: one number alone, its unit in the unit column as the tables write
// it. None for anything else, which readCarefully then reads or refuses.
std::optional<ActivityRead> readPlainly(const ActivityTexts& texts) {
    const std::string_view activity = trimBlanks(texts.activity);
    const bool plain = std::ranges::none_of(activity, [](char c) {
        return isBlank(c) || c == ',' || static_cast<unsigned char>(c) >= 0x80;
    });
    if (!plain || activity.empty())
        return std::nullopt;
    const NumberRead number = readNumber(activity);
    if (!number.found || number.end != activity.size() || !number.finite || number.value < 0)
        return std::nullopt;
    const ActivityUnit* unit = unitNamed(trimBlanks(texts.unit));
    if (unit == nullptr)
        return std::nullopt;
    return ActivityRead{number.value, {unit->name, unit->sizeInBq}};
}

[[gnu::noinline]] std::optional<ActivityRead> readCarefully(const ActivityTexts& texts,
                                                            std::string& problems) {
    std::string_view activity = trimBlanks(texts.activity);
    if (activity.empty()) {
        addProblem(problems, "activity: empty");
        return std::nullopt;
    }
    // The rare texts that need rewriting before they are read; most rows need neither.
    std::string rewritten;
    if (texts.decimalComma && activity.find(',') != std::string_view::npos)
        activity = rewritten = withDecimalPoint(activity);
    if (std::ranges::any_of(activity, [](char c) { return static_cast<unsigned char>(c) >= 0xC2; }))
        activity = rewritten = withPlainSpaces(activity);

    const NumberRead number = readNumber(activity);
    const std::string_view digits = activity.substr(0, number.end);
    const std::string_view after = trimBlanks(activity.substr(number.end));
    const auto notANumber = [&](std::string_view why) {
        addProblem(problems, "activity: " + quoted(texts.activity) + " " + std::string(why));
        return std::nullopt;
    };
    if (!number.found)
        return notANumber("is not a number");
    if (std::ranges::any_of(digits, isBlank) && !blanksGroupThousands(digits))
        return notANumber("has a blank inside its number: only groups of three digits may be set "
                          "apart ('1 000 000')");
    if (!number.finite || number.value < 0)
        return notANumber("is not one number, finite and not negative");

    std::optional<UnitRead> cellUnit;
    if (!after.empty()) {
        std::string why;
        cellUnit = readUnitText(after, &why);
        const unsigned char next = static_cast<unsigned char>(after.front());
        const bool letter = (next | 0x20) >= 'a' && (next | 0x20) <= 'z';
        if (!cellUnit && next == ',' && !texts.decimalComma)
            return notANumber("is not one number (give --decimal-comma if the comma is a decimal "
                              "comma)");
        if (!cellUnit && !letter && next < 0x80)
            return notANumber("is not one number");
        if (!cellUnit) {
            addProblem(problems, why);
            return std::nullopt;
        }
    }
    const std::string_view unitCell = trimBlanks(texts.unit);
    std::optional<UnitRead> columnUnit;
    if (!unitCell.empty()) {
        std::string why;
        columnUnit = readUnitText(unitCell, &why);
        if (!columnUnit) {
            addProblem(problems, why);
            return std::nullopt;
        }
    }
    if (cellUnit && columnUnit && cellUnit->sizeInBq != columnUnit->sizeInBq) {
        addProblem(problems, "activity: " + quoted(texts.activity) + " names another unit than " +
                                 quoted(unitCell) + " in the unit column");
        return std::nullopt;
    }
    if (cellUnit)
        return ActivityRead{number.value, *cellUnit};
    if (columnUnit)
        return ActivityRead{number.value, *columnUnit};
    if (!texts.headerUnit.empty()) {
        std::string why;
        if (const auto headerUnit = readUnitText(texts.headerUnit, &why))
            return ActivityRead{number.value, *headerUnit};
        addProblem(problems, "the activity's header: " + why);
        return std::nullopt;
    }
    addProblem(problems, "unit: empty");
    return std::nullopt;
}

} // namespace

std::optional<ActivityRead> readActivityTexts(const ActivityTexts& texts, std::string& problems) {
    if (auto plain = readPlainly(texts)) [[likely]]
        return plain;
    return readCarefully(texts, problems);
}

std::string_view unitInHeader(std::string_view header) {
    header = trimBlanks(header);
    if (header.empty())
        return {};
    std::string_view inside;
    const char last = header.back();
    if (last == ')' || last == ']') {
        const std::size_t open = header.find_last_of(last == ')' ? '(' : '[');
        if (open == std::string_view::npos)
            return {};
        inside = header.substr(open + 1, header.size() - open - 2);
    } else if (const std::size_t slash = header.find_last_of('/');
               slash != std::string_view::npos) {
        inside = header.substr(slash + 1);
    }
    inside = trimBlanks(inside);
    std::string why;
    if (readUnitText(inside, &why) || why.find(" (mega)") != std::string::npos)
        return inside; // an m that may be milli or mega is refused on every row, not ignored
    return {};
}

} // namespace dovrin
