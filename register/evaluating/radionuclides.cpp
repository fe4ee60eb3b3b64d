#include "radionuclides.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>

#include "categorise.h"
#include "conversion.h"
#include "number_text.h"
#include "plain_text.h"

namespace dovrin {

namespace {

// ---- Spellings ----

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view takeWhile(std::string_view& text, bool (*belongs)(char)) {
    std::size_t n = 0;
    while (n < text.size() && belongs(text[n]))
        ++n;
    const std::string_view taken = text.substr(0, n);
    text.remove_prefix(n);
    return taken;
}

// Consumes the character, letter case ignored.
bool take(std::string_view& text, char c) {
    if (text.empty() || lowerCase(text.front()) != c)
        return false;
    text.remove_prefix(1);
    return true;
}

// A '-' or a blank between the element and its mass number, or nothing.
void takeJoint(std::string_view& text) {
    if (!text.empty() && (text.front() == '-' || text.front() == ' '))
        text.remove_prefix(1);
}

// The whole of the text is "/Be", "/Be-9" or "/Be9", letter case ignored.
bool isBerylliumSuffix(std::string_view text) {
    if (!take(text, '/') || !take(text, 'b') || !take(text, 'e'))
        return false;
    if (!text.empty() && text.front() == '-')
        text.remove_prefix(1);
    return text.empty() || text == "9";
}

// A name cut into its parts.
struct Parts {
    std::string_view element;
    std::string_view mass;
    bool metastable = false;
    bool beryllium = false;
};

// What follows the mass number (and its 'm') up to the end: nothing, or an X/Be suffix.
bool takeEnd(std::string_view rest, Parts& parts) {
    parts.beryllium = !rest.empty();
    return rest.empty() || isBerylliumSuffix(rest);
}

// "Co-60", "tc99m", "Am 241/Be".
std::optional<Parts> elementFirst(std::string_view text) {
    Parts parts;
    parts.element = takeWhile(text, isLetter);
    takeJoint(text);
    parts.mass = takeWhile(text, isDigit);
    if (parts.element.empty() || parts.mass.empty())
        return std::nullopt;
    parts.metastable = take(text, 'm');
    return takeEnd(text, parts) ? std::optional(parts) : std::nullopt;
}

// "60Co", "60-co", "99mTc", "241Am/Be". After the mass number an 'm' may be the metastable
// state or the first letter of the element ("99Mo"): the caller tries both.
std::optional<Parts> massFirst(std::string_view text, bool metastable) {
    Parts parts;
    parts.mass = takeWhile(text, isDigit);
    if (parts.mass.empty() || (metastable && !take(text, 'm')))
        return std::nullopt;
    parts.metastable = metastable;
    takeJoint(text);
    parts.element = takeWhile(text, isLetter);
    if (parts.element.empty())
        return std::nullopt;
    return takeEnd(text, parts) ? std::optional(parts) : std::nullopt;
}

// The key under which a name is found: the element in lower case, '-', the mass number, 'm'
// for a metastable state, "/be" for an X/Be source: "tc-99m". Short, so never allocated.
class Key {
public:
    explicit Key(const Parts& parts) {
        for (const char c : parts.element)
            put(lowerCase(c));
        put('-');
        for (const char c : parts.mass)
            put(c);
        if (parts.metastable)
            put('m');
        if (parts.beryllium)
            for (const char c : std::string_view("/be"))
                put(c);
    }
    // "ambe" for "AmBe", "Am-Be" or "Am/Be": letters, then "be", with one joint or '/' between.
    static std::optional<Key> ofAlias(std::string_view text) {
        std::string_view element = takeWhile(text, isLetter);
        if (text.empty()) { // "AmBe": the element is what comes before "be"
            if (element.size() < 3 || lowerCase(element[element.size() - 2]) != 'b' ||
                lowerCase(element.back()) != 'e')
                return std::nullopt;
            element.remove_suffix(2);
        } else {
            if (text.front() != '-' && text.front() != ' ' && text.front() != '/')
                return std::nullopt;
            text.remove_prefix(1);
            if (!take(text, 'b') || !take(text, 'e') || !text.empty())
                return std::nullopt;
        }
        return ofBeryllium(element);
    }
    static Key ofBeryllium(std::string_view element) {
        Key key;
        for (const char c : element)
            key.put(lowerCase(c));
        key.put('b');
        key.put('e');
        return key;
    }

    bool fits() const { return size_ <= text_.size(); }
    std::string_view view() const { return {text_.data(), std::min(size_, text_.size())}; }

private:
    Key() = default;
    void put(char c) {
        if (size_ < text_.size())
            text_[size_] = c;
        ++size_;
    }

    std::array<char, 24> text_{};
    std::size_t size_ = 0;
};

// ---- The built-in table ----

constexpr double ln2 = std::numbers::ln2;

// The exemption level in TBq as an activity typed in Bq becomes: compared with a source's
// activity converted the same way, a source typed at the level is at it exactly.
std::optional<double> exemptionTBqOf(std::optional<double> exemptionBq) {
    if (!exemptionBq)
        return std::nullopt;
    const auto tbq = activityInTBq(*exemptionBq, 1);
    return tbq ? std::optional(tbq->shownActivityTBq) : std::nullopt;
}

std::string sourceOfTableRow(const Nuclide& nuclide) {
    std::string text = "T1/2 DDEP (LNE-LNHB) recommended data; D ";
    if (std::ranges::count(dInAnnexIII, nuclide.name) == 1)
        text += "Directive 2013/59/Euratom Annex III = 10 CFR 73 App. I category 2 / 10";
    else if (std::ranges::count(dInConsolidatedTextOnly, nuclide.name) == 1)
        text += "StrlSchV Anlage 4 Tab. 1 Sp. 4, consolidated text only";
    else if (nuclide.dTBq && std::isinf(*nuclide.dTBq))
        text += "'UL', unlimited, StrlSchV 2018 Anlage 4 Tab. 1 Sp. 4";
    else if (nuclide.dTBq)
        text += "StrlSchV 2018 Anlage 4 Tab. 1 Sp. 4 (EPR-D-VALUES 2006)";
    else
        text = "T1/2 DDEP (LNE-LNHB) recommended data; no D-value in any source";
    text += nuclide.exemptionBq ? "; E StrlSchV 2018 Anlage 4 Tab. 1 Sp. 2"
                                : "; no exemption level in any source";
    return text;
}

constexpr std::string_view calculatorSourceDApart =
    "the calculator's decay constant, category table and exemption level; D StrlSchV 2018 "
    "Anlage 4 Tab. 1 Sp. 4 (EPR-D-VALUES 2006), not the calculator's; T1/2 DDEP shown, not used";
constexpr std::string_view calculatorSource =
    "the calculator's decay constant, D-value, category table and exemption level; T1/2 DDEP "
    "shown, not used";
constexpr std::string_view calculatorSourceWithoutTable =
    "the calculator's decay constant and D-value, no category table; T1/2 DDEP shown, not used";

// ---- A user's file ----

constexpr std::array<std::string_view, 6> userColumns{
    "radionuclide", "half_life", "half_life_unit", "d_value_tbq", "exemption_bq", "source"};

std::string quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

std::string lowerCased(std::string_view text) {
    std::string lower(text);
    std::ranges::transform(lower, lower.begin(), lowerCase);
    return lower;
}

// A number above 0, finite, the only thing in the text but blanks.
std::optional<double> readPositive(std::string_view text) {
    const auto number = readActivity(text);
    return number && *number > 0 ? number : std::nullopt;
}

// "Sm-153", written element first with a hyphen; the name as the tables write it.
std::optional<std::string> tableName(std::string_view text) {
    const auto parts = elementFirst(text);
    if (!parts || parts->element.size() > 2 || text.find('-') != parts->element.size() ||
        parts->mass.front() == '0')
        return std::nullopt;
    std::string name(parts->element);
    name[0] = static_cast<char>(name[0] - ('a' <= name[0] && name[0] <= 'z' ? 'a' - 'A' : 0));
    if (name.size() == 2)
        name[1] = lowerCase(name[1]);
    name += "-" + std::string(parts->mass) + (parts->metastable ? "m" : "") +
            (parts->beryllium ? "/Be" : "");
    return name;
}

} // namespace

const RadionuclideTable& RadionuclideTable::builtIn() {
    static const std::unique_ptr<const RadionuclideTable> table = [] {
        std::unique_ptr<RadionuclideTable> built(new RadionuclideTable);
        for (const DecayConstant& constant : decayConstants) {
            Radionuclide calculator;
            calculator.name = constant.radionuclide;
            calculator.constantPerDay = constant.perDay();
            calculator.dTBq = dValueOf(calculator.name);
            if (std::ranges::count(dValuesApart, calculator.name) == 1) {
                calculator.tableDTBq = calculator.dTBq;
                calculator.dTBq = nuclideNamed(calculator.name)->dTBq;
            }
            calculator.rows = thresholdRowsOf(calculator.name);
            // "Exempted" by A/D where the category table places the source there.
            calculator.exemptionTBq = exemptionLevelOf(calculator.rows);
            for (const ThresholdRow& row : calculator.rows)
                if (row.label == labels::exempted)
                    calculator.exemptionBq = std::round(row.upper.value * 1e12);
            if (const Nuclide* evaluated = nuclideNamed(calculator.name))
                calculator.halfLife = evaluated->halfLife;
            calculator.origin = NuclideOrigin::calculator;
            calculator.source = calculator.tableDTBq      ? calculatorSourceDApart
                                : calculator.rows.empty() ? calculatorSourceWithoutTable
                                                          : calculatorSource;
            built->add(calculator);
        }
        for (const Nuclide& nuclide : nuclides) {
            if (built->indexOf(nuclide.name))
                continue; // the calculator's own
            Radionuclide evaluated;
            evaluated.name = nuclide.name;
            evaluated.constantPerDay = ln2 / nuclide.halfLifeDays();
            evaluated.dTBq = nuclide.dTBq;
            evaluated.exemptionTBq = exemptionTBqOf(nuclide.exemptionBq);
            evaluated.exemptionBq = nuclide.exemptionBq;
            evaluated.halfLife = nuclide.halfLife;
            evaluated.origin = NuclideOrigin::table;
            evaluated.source = built->texts_.emplace_back(sourceOfTableRow(nuclide));
            built->add(evaluated);
        }
        built->indexAliases();
        return built;
    }();
    return *table;
}

namespace {

// The activities at the ends of the A/D bands of a radionuclide whose D and exemption level
// (when it has one) are set.
void setAOverDEnds(Radionuclide& radionuclide) {
    if (!radionuclide.dTBq)
        return;
    const double d = *radionuclide.dTBq;
    const double exemption = radionuclide.exemptionTBq.value_or(0);
    for (std::size_t i = 0; i < aOverDBands.size(); ++i) {
        const double floor = aOverDBands[i].atLeast;
        radionuclide.aOverDLowerTBq[i] = std::max(std::isfinite(floor) ? floor * d : 0, exemption);
        radionuclide.aOverDUpperTBq[i] =
            i == 0 ? std::numeric_limits<double>::infinity() : aOverDBands[i - 1].atLeast * d;
    }
}

} // namespace

void RadionuclideTable::add(const Radionuclide& radionuclide) {
    const auto index = static_cast<std::uint32_t>(entries_.size());
    entries_.push_back(radionuclide);
    entries_.back().nrc = nrcThresholdOf(radionuclide.name);
    setAOverDEnds(entries_.back());
    names_.emplace(radionuclide.name, index);
    if (const auto parts = elementFirst(radionuclide.name))
        spellings_.emplace(std::string(Key(*parts).view()), index);
}

// "AmBe" for the one X/Be source of its element; none where two share the element.
void RadionuclideTable::indexAliases() {
    std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>> aliases;
    std::vector<std::string> shared;
    for (std::uint32_t i = 0; i < entries_.size(); ++i) {
        const auto parts = elementFirst(entries_[i].name);
        if (!parts || !parts->beryllium)
            continue;
        std::string alias(Key::ofBeryllium(parts->element).view());
        if (!aliases.emplace(alias, i).second)
            shared.push_back(alias);
    }
    for (const std::string& alias : shared)
        aliases.erase(alias);
    spellings_.merge(aliases);
}

const Radionuclide* RadionuclideTable::find(std::string_view text) const {
    const std::string_view name = trimBlanks(text);
    const auto lookUp = [this](const std::optional<Key>& key) -> const Radionuclide* {
        if (!key || !key->fits())
            return nullptr;
        const auto found = spellings_.find(key->view());
        return found == spellings_.end() ? nullptr : &entries_[found->second];
    };
    const auto keyOf = [](const std::optional<Parts>& parts) {
        return parts ? std::optional(Key(*parts)) : std::nullopt;
    };
    if (name.empty())
        return nullptr;
    // Most inventories write the names as the table does: one look-up, no parsing.
    if (const auto exact = names_.find(name); exact != names_.end())
        return &entries_[exact->second];
    if (isLetter(name.front())) {
        if (const auto* found = lookUp(keyOf(elementFirst(name))))
            return found;
        return lookUp(Key::ofAlias(name));
    }
    if (const auto* found = lookUp(keyOf(massFirst(name, false))))
        return found;
    return lookUp(keyOf(massFirst(name, true)));
}

namespace {

// The letters, in lower case, and digits of a name: "Co-60" is "co60".
std::string lettersAndDigits(std::string_view text) {
    std::string kept;
    for (const char c : text)
        if (std::isalnum(static_cast<unsigned char>(c)))
            kept += lowerCase(c);
    return kept;
}

// The fewest insertions, deletions and substitutions that make a into b.
std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

std::vector<std::string_view> RadionuclideTable::closestNames(std::string_view text,
                                                              std::size_t count) const {
    const std::string wanted = lettersAndDigits(text);
    std::vector<std::pair<std::size_t, std::string_view>> byDistance;
    for (const Radionuclide& radionuclide : entries_)
        byDistance.emplace_back(editDistance(wanted, lettersAndDigits(radionuclide.name)),
                                radionuclide.name);
    std::ranges::stable_sort(byDistance, {}, &std::pair<std::size_t, std::string_view>::first);
    std::vector<std::string_view> names;
    for (std::size_t i = 0; i < byDistance.size() && i < count; ++i)
        names.push_back(byDistance[i].second);
    return names;
}

std::optional<std::size_t> RadionuclideTable::indexOf(std::string_view name) const {
    const auto found = names_.find(name);
    return found == names_.end() ? std::nullopt : std::optional<std::size_t>(found->second);
}

std::unique_ptr<RadionuclideTable> RadionuclideTable::withUserFile(csv::ByteSource& file,
                                                                   std::string& error) {
    std::unique_ptr<RadionuclideTable> table(new RadionuclideTable);
    for (const Radionuclide& known : builtIn().all())
        table->add(known); // its texts are the built-in table's, which lives to the end
    csv::Reader reader(file);
    const auto fail = [&](std::uint64_t row, const std::string& why) {
        error = "row " + std::to_string(row) + ": " + why;
        return nullptr;
    };

    const auto header = reader.next();
    if (!header) {
        error = reader.error().empty() ? "the file is empty; its first row names the columns"
                                       : "cannot read it: " + reader.error();
        return nullptr;
    }
    std::array<std::optional<std::size_t>, userColumns.size()> at;
    for (std::size_t field = 0; field < header->fields.size(); ++field) {
        const std::string name = lowerCased(trimBlanks(header->fields[field]));
        const auto column = std::ranges::find(userColumns, name);
        if (column == userColumns.end())
            continue; // carried by the file, not read
        auto& place = at[static_cast<std::size_t>(column - userColumns.begin())];
        if (place)
            return fail(header->number, "two columns named " + name);
        place = field;
    }
    for (std::size_t column = 0; column < userColumns.size(); ++column)
        if (!at[column])
            return fail(header->number, "no column " + std::string(userColumns[column]) +
                                            " (the header names radionuclide, half_life, "
                                            "half_life_unit, d_value_tbq, exemption_bq, source)");
    const std::size_t width = header->fields.size();

    std::unordered_map<std::string, std::uint64_t> given; // a user's name -> its row
    while (const auto record = reader.next()) {
        const std::uint64_t row = record->number;
        if (record->problem != csv::RecordProblem::none)
            return fail(row, "a quote does not close where it should");
        if (record->fields.size() != width)
            return fail(row, std::to_string(record->fields.size()) +
                                 " fields where the header has " + std::to_string(width));
        const auto field = [&](std::size_t column) {
            return trimBlanks(record->fields[*at[column]]);
        };
        const std::string_view text = field(0);
        if (text.empty())
            return fail(row, "radionuclide: empty");
        if (const Radionuclide* known = builtIn().find(text))
            return fail(row, quoted(text) + " is the built-in radionuclide " +
                                 std::string(known->name) +
                                 ": a file may only add radionuclides, so that results stay "
                                 "comparable between users");
        const auto name = tableName(text);
        if (!name)
            return fail(row, "radionuclide: " + quoted(text) +
                                 " is not written as element-mass number (as Sm-153, Lu-177m, "
                                 "Pu-238/Be)");
        if (const auto first = given.find(*name); first != given.end())
            return fail(row, *name + " is given again (first in row " +
                                 std::to_string(first->second) + ")");
        const auto halfLife = readPositive(field(1));
        if (!halfLife)
            return fail(row, "half_life: " + quoted(field(1)) +
                                 " is not one number, finite and above 0");
        const auto unit = std::ranges::find(timeUnits, field(2), &TimeUnit::name);
        if (unit == timeUnits.end())
            return fail(row, "half_life_unit: " + quoted(field(2)) + " is none of s, min, h, d, y");
        const auto d = readPositive(field(3));
        if (!d)
            return fail(row, "d_value_tbq: " + quoted(field(3)) +
                                 " is not one number, finite and above 0");
        const std::optional<double> exemption =
            field(4).empty() ? std::nullopt : readPositive(field(4));
        if (!field(4).empty() && !exemption)
            return fail(row, "exemption_bq: " + quoted(field(4)) +
                                 " is not one number, finite and above 0 (or empty: not known)");
        if (field(5).empty())
            return fail(row, "source: empty (name the document the values come from)");
        const double days = *halfLife * unit->days;
        const double constant = ln2 / days;
        if (!std::isnormal(constant))
            return fail(row, "half_life: " + quoted(field(1)) + " " + std::string(unit->name) +
                                 " is beyond the range of a decay constant");
        given.emplace(*name, row);
        Radionuclide added;
        added.name = table->texts_.emplace_back(*name);
        added.constantPerDay = constant;
        added.dTBq = d;
        added.exemptionTBq = exemptionTBqOf(exemption);
        added.exemptionBq = exemption;
        added.halfLife = HalfLife{*halfLife, 0, unit->name};
        added.origin = NuclideOrigin::user;
        added.source = table->texts_.emplace_back(field(5));
        table->add(added);
    }
    if (!reader.error().empty()) {
        error = "cannot read it: " + reader.error();
        return nullptr;
    }
    table->indexAliases();
    return table;
}

std::string nuclideListCsv(const RadionuclideTable& table) {
    const auto number = [](std::string& out, std::optional<double> value) {
        if (value) {
            char text[32];
            const auto end =
                std::to_chars(text, text + sizeof text, *value, std::chars_format::general, 15).ptr;
            out.append(text, end);
        }
        out += ',';
    };
    std::string out = "radionuclide,half_life,half_life_unit,d_value_tbq,exemption_bq,source,"
                      "half_life_uncertainty,decay_constant_per_day,categorised_by\n";
    for (const Radionuclide& radionuclide : table.all()) {
        csv::appendField(out, radionuclide.name, ',');
        out += ',';
        const auto& halfLife = radionuclide.halfLife;
        number(out, halfLife ? std::optional(halfLife->value) : std::nullopt);
        out += halfLife ? halfLife->unit : std::string_view{};
        out += ',';
        if (radionuclide.dTBq && std::isinf(*radionuclide.dTBq))
            out += "UL,"; // as the source writes it: unlimited
        else
            number(out, radionuclide.dTBq);
        number(out, radionuclide.exemptionBq);
        csv::appendField(out, radionuclide.source, ',');
        out += ',';
        number(out, halfLife && halfLife->uncertainty > 0 ? std::optional(halfLife->uncertainty)
                                                          : std::nullopt);
        number(out, radionuclide.constantPerDay);
        out += !radionuclide.dTBq          ? "none (no D-value)"
               : radionuclide.rows.empty() ? "A/D"
                                           : "category table";
        out += '\n';
    }
    return out;
}

} // namespace dovrin
