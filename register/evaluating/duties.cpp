#include "duties.h"

#include <limits>
#include <string>

#include "number_text.h"
#include "source.h"

namespace dovrin {

namespace {

using namespace std::chrono;

constexpr std::string_view afterLastDay = " falls after 9999-12-31";

// The row's interval, or the run's for an empty text; none with a note for a text that is not
// one.
std::optional<Interval> readDutyInterval(std::string_view column, std::string_view text,
                                         Interval runInterval, std::string& note) {
    if (trimBlanks(text).empty())
        return runInterval;
    const auto interval = readInterval(text);
    if (!interval)
        addNote(note, {column, ": ", quotedForNote(text),
                       " is not an interval (a whole number of days, weeks, months or years, as "
                       "'6 months' or '1 yr', or annual, semi-annual, quarterly, monthly)"});
    return interval;
}

// The day the duty falls due after the last one, or none; a note when it cannot be told.
Due dueAfter(std::string_view dueColumn, std::optional<year_month_day> last,
             std::optional<Interval> interval, LocalTime asOf, std::string& note) {
    if (!last || !interval)
        return {};
    const auto on = addInterval(*last, *interval);
    if (!on) {
        addNote(note, {dueColumn, afterLastDay});
        return {};
    }
    return {on, dueStatus(*on, asOf)};
}

// The words of a status or form column, letter case and punctuation aside: "Stored, not in
// use" is "stored not in use".
std::string wordsOf(std::string_view text) {
    std::string words;
    for (const char c : text) {
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        const bool letter = (lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9');
        if (letter)
            words += lower;
        else if (!words.empty() && words.back() != ' ')
            words += ' ';
    }
    if (!words.empty() && words.back() == ' ')
        words.pop_back();
    return words;
}

// Only these words free a source from tests: a status written otherwise leaves it to be tested,
// which errs on the safe side.
bool saysStoredNotInUse(std::string_view status) {
    const std::string words = wordsOf(status);
    return words == "stored" || words == "in storage" || words == "storage" ||
           words == "stored not in use" || words == "not in use" ||
           words == "stored and not in use" || words == "stored and not being used";
}

bool saysNylonRibbon(std::string_view form) {
    return wordsOf(form).find("nylon ribbon") != std::string::npos;
}

} // namespace

std::optional<year_month_day> readDateColumn(std::string_view column, std::string_view text,
                                             LocalTime asOf, DateOrder order, std::string& note) {
    if (trimBlanks(text).empty())
        return std::nullopt;
    const year asOfYear = year_month_day{floor<days>(asOf)}.year();
    if (const auto date = readDate(text, asOfYear, order)) [[likely]]
        return date; // most dates carry no time of day and read one way
    const InventoryDate read = readInventoryDate(text, asOfYear, order);
    if (read.ambiguous)
        addNote(note, {column, ": ", quotedForNote(text),
                       " reads as day/month/year and as month/day/year: give --date-order "
                       "dmy|mdy"});
    else if (!read.date)
        addNote(note, {column, ": ", quotedForNote(text), " is not a date (", dateOrderText(order),
                       " or year-month-day)"});
    return read.date;
}

bool evaluateDuties(const DutyTexts& texts, const DutySource& source, const DutyRules& rules,
                    LocalTime asOf, DateOrder dateOrder, Duties& duties, std::string& note) {
    duties = {};
    if (texts.empty())
        return true;
    const std::size_t notedBefore = note.size();

    const auto lastLeakTest =
        readDateColumn("last_leak_test", texts.lastLeakTest, asOf, dateOrder, note);
    const auto leakTestInterval = readDutyInterval("leak_test_interval", texts.leakTestInterval,
                                                   rules.leakTestInterval, note);
    duties.leakTest = dueAfter("leak_test_due", lastLeakTest, leakTestInterval, asOf, note);
    if (duties.leakTest.on && rules.leakTestExemptions) {
        // The activity at 00:00 of the due day; a source without a date of manufacture is not
        // decayed, as everywhere in the register.
        double onDueDay = source.activityTBq;
        if (source.manufactured)
            onDueDay = decayedActivityTBq(source.activityTBq, source.decayConstantPerDay,
                                          elapsedDays(*source.manufactured,
                                                      LocalTime{local_days{*duties.leakTest.on}}))
                           .value_or(onDueDay);
        duties.leakTestExemption = leakTestExemption(
            {source.radionuclide, halfLifeDays(source.decayConstantPerDay), onDueDay,
             saysStoredNotInUse(texts.status), saysNylonRibbon(texts.form)});
    } else if (rules.leakTestExemptions) {
        // Without a due day, only what the row says of the source itself can be told: its
        // form or its being stored, whatever its activity.
        constexpr double unknownActivity = std::numeric_limits<double>::infinity();
        duties.leakTestExemption =
            leakTestExemption({source.radionuclide, 0, unknownActivity,
                               saysStoredNotInUse(texts.status), saysNylonRibbon(texts.form)});
    }
    // A text that could not be read leaves its duty unknown: the row must not pass for one with
    // nothing due.
    const bool unread = note.size() != notedBefore;

    const auto lastInventory =
        readDateColumn("last_inventory", texts.lastInventory, asOf, dateOrder, note);
    const auto inventoryInterval = readDutyInterval("inventory_interval", texts.inventoryInterval,
                                                    rules.inventoryInterval, note);
    duties.inventory = dueAfter("inventory_due", lastInventory, inventoryInterval, asOf, note);

    const bool inventoryUnread =
        (!trimBlanks(texts.lastInventory).empty() && !lastInventory) ||
        (!trimBlanks(texts.inventoryInterval).empty() && !inventoryInterval);
    if (!trimBlanks(texts.workingLife).empty()) {
        const auto years = readWorkingLifeYears(texts.workingLife);
        if (!years) {
            static_assert(mostWorkingLifeYears == 100, "the note names 100 years");
            addNote(note, {"working_life: ", quotedForNote(texts.workingLife),
                           " is not a whole number of years from 1 to 100"});
            return false;
        } else if (!source.manufactured) {
            addNote(note, "working_life: no date of manufacture to count the years from");
        } else if (const auto ends = workingLifeEnd(*source.manufactured, *years)) {
            duties.workingLifeEnd = {ends, dueStatus(*ends, asOf)};
        } else {
            addNote(note, {"working_life_ends", afterLastDay});
        }
    }
    return !unread && !inventoryUnread;
}

std::string_view leakTestStatusText(const Duties& duties) {
    if (duties.leakTestExemption)
        return *duties.leakTestExemption;
    if (!duties.leakTest.on)
        return {};
    return statusText(duties.leakTest.status);
}

} // namespace dovrin
