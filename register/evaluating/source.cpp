#include "source.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <memory>
#include <span>

#include "activity_text.h"
#include "categories.h"
#include "categorise.h"
#include "conversion.h"
#include "number_text.h"
#include "plain_text.h"
#include "radionuclides.h"

namespace dovrin {

namespace {

using namespace std::chrono;

// ---- The next change ----

constexpr local_days lastDay{year{9999} / December / 31};
constexpr std::string_view afterLastDay = "the category changes only after 9999-12-31";
constexpr std::string_view unsettled = "the day of the next change could not be settled";

// The label of the band that holds an activity, and which band it is: two activities are in
// the same band when the identities are equal.
struct Band {
    const void* identity = nullptr;
    std::string_view label;
    double lowerTBq = 0; // 0: the band has no lower end, so decay never leaves it
    double upperTBq = std::numeric_limits<double>::infinity(); // infinity: no upper end
};

// The threshold table's band of the activity.
Band tableBand(std::span<const ThresholdRow> rows, double activityTBq) {
    const ThresholdRow* row = thresholdBandOf(rows, activityTBq);
    if (row == nullptr)
        return {};
    return {row, row->label, row->lower.kind == BoundKind::none ? 0 : row->lower.value,
            row->upper.kind == BoundKind::none ? std::numeric_limits<double>::infinity()
                                               : row->upper.value};
}

// The band of the category by A/D: "Exempted" up to the exemption level where the category
// table gives one (as the table itself places the source there), the A/D bands above it.
Band categoryByAOverDBand(const Radionuclide& radionuclide, double activityTBq) {
    const std::optional<double> exemption = radionuclide.exemptionTBq;
    if (exemption && activityTBq <= *exemption)
        return {&labels::exempted, labels::exempted, 0, *exemption};
    const AOverDBand& band = aOverDBandOf(activityTBq / *radionuclide.dTBq);
    const auto i = static_cast<std::size_t>(&band - aOverDBands.data());
    return {&band, band.label, radionuclide.aOverDLowerTBq[i], radionuclide.aOverDUpperTBq[i]};
}

// Whether a label is a category number, "1" to "5".
bool numbered(std::string_view label) {
    return moreSevere(label, labels::exempted);
}

// Whether a category a person recorded names neither category by A/D, surrounding blanks and
// letter case ignored.
bool recordDiffers(std::string_view recorded, std::string_view now, std::string_view initially) {
    const std::string_view text = trimBlanks(recorded);
    const auto names = [text](std::string_view label) {
        return std::ranges::equal(text, label,
                                  [](char a, char b) { return lowerCase(a) == lowerCase(b); });
    };
    return !names(now) && !names(initially);
}

class Decay {
public:
    Decay(double initialTBq, double constantPerDay, year_month_day manufactured)
        : initialTBq_(initialTBq)
        , constantPerDay_(constantPerDay)
        , manufactured_(manufactured) {}

    double constantPerDay() const { return constantPerDay_; }

    // The activity at 00:00 of the day, computed as the current activity is.
    std::optional<double> at(local_days day) const {
        return decayedActivityTBq(initialTBq_, constantPerDay_,
                                  elapsedDays(manufactured_, LocalTime{day}));
    }

    // The band of the activity at 00:00 of the day when that is clear before the activity is
    // carried to 15 significant digits, which moves a value well inside a double's range by
    // less than 10^-14 of itself: the band of the activity when a little below and a little
    // above it lie strictly between the band's ends, as the carried activity then does. A band
    // by A/D compares A/D, whose ends differ from the activities at the band's ends by a few
    // units in the last place, far less than the margin. No result near a band's end, or near
    // the ends of a double's range, where at() must settle it.
    template <typename BandOf>
    std::optional<Band> clearBandAt(local_days day, BandOf bandOf) const {
        constexpr double margin = 1e-13;
        const double activity = uncarriedAt(day);
        if (!std::isnormal(activity) || activity > 1e290)
            return std::nullopt; // also an exponential beyond a double's range
        const Band band = bandOf(activity);
        if (band.identity == nullptr || !(activity * (1 - margin) > band.lowerTBq) ||
            !(activity * (1 + margin) < band.upperTBq))
            return std::nullopt;
        return band;
    }

private:
    // The activity at 00:00 of the day before its carry. The last two days asked for are kept:
    // the table's search and the A/D search mostly ask for the same days, where the two share a
    // bound.
    double uncarriedAt(local_days day) const {
        for (std::size_t i = 0; i < recentDays_.size(); ++i)
            if (recentDays_[i] == day)
                return recentActivities_[i];
        const double activity =
            initialTBq_ * std::exp(constantPerDay_ * elapsedDays(manufactured_, LocalTime{day}));
        recentDays_[oldest_] = day;
        recentActivities_[oldest_] = activity;
        oldest_ = 1 - oldest_;
        return activity;
    }

    double initialTBq_;
    double constantPerDay_;
    year_month_day manufactured_;
    mutable std::array<local_days, 2> recentDays_{local_days::min(), local_days::min()};
    mutable std::array<double, 2> recentActivities_{};
    mutable std::size_t oldest_ = 0;
};

// The first day from the as-of moment on whose start lies in another band than now. The decay
// formula gives the day on which the activity reaches the current band's lower end; the bands
// on that day and the day before then settle it, so that the bound's inclusive or exclusive
// kind is honoured exactly as the categorisation honours it. Where a later band exists but no
// day is given, whyNoDay says why, so that an empty day never passes for "no further change".
template <typename BandOf>
std::optional<NextChange> nextChange(const Decay& decay, LocalTime asOf, double currentTBq,
                                     BandOf bandOf, std::string_view& whyNoDay) {
    const Band now = bandOf(currentTBq);
    if (now.identity == nullptr || now.lowerTBq <= 0 || decay.constantPerDay() <= 0)
        return std::nullopt;
    const local_days firstDay = ceil<days>(asOf);
    if (firstDay > lastDay) {
        whyNoDay = afterLastDay;
        return std::nullopt;
    }
    // The moment the activity reaches the lower end, in days since the calendar's epoch; the
    // first day that starts at or after it, kept between the first day and the last.
    const double reached = duration<double, days::period>(asOf - LocalTime{}).count() +
                           std::log(currentTBq / now.lowerTBq) / decay.constantPerDay();
    const auto firstCount = static_cast<double>(firstDay.time_since_epoch().count());
    const auto lastCount = static_cast<double>(lastDay.time_since_epoch().count());
    const double estimate = std::clamp(std::ceil(reached), firstCount, lastCount);
    local_days day{days{static_cast<days::rep>(estimate)}};
    const auto bandOn = [&](local_days candidate) {
        if (const auto band = decay.clearBandAt(candidate, bandOf))
            return *band;
        const auto activity = decay.at(candidate);
        return activity ? bandOf(*activity) : now;
    };
    Band band = bandOn(day);
    constexpr int mostSteps = 16; // the estimate is off by a day at most
    for (int step = 0; step < mostSteps; ++step) {
        if (band.identity == now.identity) {
            if (day == lastDay) {
                whyNoDay = afterLastDay;
                return std::nullopt;
            }
            ++day;
            band = bandOn(day);
            continue;
        }
        if (day > firstDay) {
            const Band before = bandOn(day - days{1});
            if (before.identity != now.identity) {
                --day;
                band = before;
                continue;
            }
        }
        return NextChange{band.label, year_month_day{day}};
    }
    whyNoDay = unsettled;
    return std::nullopt;
}

// Where the table and A/D give two different category numbers, which is the more severe.
void noteTwoCategories(SourceResult& result) {
    if (!result.currentCategory || *result.currentCategory == result.categoryByAOverD)
        return;
    const std::string_view table = *result.currentCategory;
    const std::string_view byAOverD = result.categoryByAOverD;
    if (!numbered(table) || !numbered(byAOverD))
        return;
    const bool tableMoreSevere = moreSevere(table, byAOverD);
    addNote(result.note,
            {"category ", table, " by the table, ", byAOverD, " by A/D: the more severe is ",
             tableMoreSevere ? table : byAOverD, tableMoreSevere ? ", by the table" : ", by A/D"});
}

// The note of a radionuclide the table does not know, naming the nearest names it does know.
std::string unknownRadionuclide(std::string_view text, const RadionuclideTable& table) {
    std::string note = "unknown radionuclide " + quotedForNote(text) + " (closest: ";
    constexpr std::size_t namesProposed = 3;
    bool first = true;
    for (const std::string_view name : table.closestNames(text, namesProposed)) {
        note += (first ? "" : ", ") + std::string(name);
        first = false;
    }
    return note + "; --list-nuclides lists all)";
}

// A value to three significant digits, as printf's %.3g writes it, into space.
std::string_view threeDigits(double value, std::array<char, 32>& space) {
    const auto written = std::to_chars(space.data(), space.data() + space.size(), value,
                                       std::chars_format::general, 3);
    return {space.data(), static_cast<std::size_t>(written.ptr - space.data())};
}

// The D-values a reader might take for an error: one that is unlimited, and one that is not the
// one the category table rests on.
void noteDValue(const Radionuclide& radionuclide, std::string& note) {
    if (std::isinf(*radionuclide.dTBq))
        addNote(note, {"the D-value of ", radionuclide.name,
                       " is 'UL', unlimited (StrlSchV 2018 Anlage 4): no quantity is dangerous, "
                       "A/D is 0"});
    if (radionuclide.tableDTBq) {
        std::array<char, 32> table{};
        std::array<char, 32> d{};
        addNote(note, {"the category table rests on a D-value of ",
                       threeDigits(*radionuclide.tableDTBq, table), " TBq, A/D on ",
                       threeDigits(*radionuclide.dTBq, d), " TBq (StrlSchV 2018 Anlage 4 '",
                       radionuclide.name, "+'): the two differ by ten"});
    }
}

// Where the category table has no band for the activity, but A/D gives a category, the
// category by A/D is what the reader must see.
void noteNotAssigned(const SourceResult& result, std::string_view name, std::string& note) {
    if (result.currentCategory != labels::notAssigned || !numbered(result.categoryByAOverD))
        return;
    std::array<char, 32> activity{};
    addNote(note, {"the category table has no band for ",
                   threeDigits(result.currentActivityTBq, activity), " TBq of ", name,
                   "; category ", result.categoryByAOverD, " by A/D"});
}

} // namespace

void evaluateSource(const SourceText& source, const Evaluation& evaluation, SourceResult& result) {
    clearKeepingRoom(result);
    std::string& note = result.note;

    const RadionuclideTable& table =
        evaluation.radionuclides ? *evaluation.radionuclides : RadionuclideTable::builtIn();
    const Radionuclide* radionuclide = table.find(source.radionuclide);
    if (!radionuclide)
        addNote(note, trimBlanks(source.radionuclide).empty()
                          ? "radionuclide: empty"
                          : unknownRadionuclide(source.radionuclide, table));
    else if (!radionuclide->dTBq)
        addNote(note,
                {"no source gives a D-value for ", radionuclide->name, ", so it has no category"});

    const auto activity = readActivityTexts(
        {source.activity, source.unit, source.headerUnit, evaluation.decimalComma}, note);

    const auto manufactured = readDateColumn("manufactured", source.manufactured, evaluation.asOf,
                                             evaluation.dateOrder, note);

    if (!note.empty())
        return;

    const auto tbq = activityInTBq(activity->value, activity->unit.sizeInBq);
    if (!tbq) {
        note = "activity: " + quotedForNote(source.activity) + " " +
               std::string(activity->unit.name) + " is beyond the range of a double in becquerel";
        return;
    }

    const double constant = radionuclide->constantPerDay;
    const double d = *radionuclide->dTBq;
    const std::optional<double> exemption = radionuclide->exemptionTBq;
    const std::span<const ThresholdRow> rows = radionuclide->rows;
    double current = tbq->shownActivityTBq;
    bool statedAfterAsOf = false; // decay-corrected backwards
    if (manufactured) {
        const double elapsed = elapsedDays(*manufactured, evaluation.asOf);
        statedAfterAsOf = elapsed > 0;
        const auto decayed = decayedActivityTBq(tbq->shownActivityTBq, constant, elapsed);
        if (!decayed) {
            note = "manufactured: " + quotedForNote(source.manufactured) +
                   " lies so far ahead that the decay exceeds the range of a double";
            return;
        }
        current = *decayed;
    }

    const bool hasTable = !rows.empty();
    result.radionuclide = radionuclide->name;
    result.manufactured = manufactured;
    result.activityTBq = tbq->shownActivityTBq;
    result.category = categoriseActivity(rows, tbq->shownActivityTBq);
    result.currentActivityTBq = current;
    result.currentCategory = categoriseActivity(rows, current);
    result.aOverD = current / d;
    result.categoryByAOverD = categoryByAOverDBand(*radionuclide, current).label;
    if (radionuclide->exemptionTBq)
        result.aOverE = current / *radionuclide->exemptionTBq;
    if (const NrcThreshold* nrc = radionuclide->nrc) {
        result.nrcFractionCategory1 = current / nrc->category1TBq;
        result.nrcFractionCategory2 = current / nrc->category2TBq;
    }
    if (!trimBlanks(source.recordedCategory).empty()) {
        result.initialCategoryByAOverD =
            categoryByAOverDBand(*radionuclide, tbq->shownActivityTBq).label;
        result.recordedCategoryDiffers = recordDiffers(
            source.recordedCategory, result.categoryByAOverD, result.initialCategoryByAOverD);
    }
    result.categorised = true;

    if (!hasTable)
        addNote(note, {"no category table for ", radionuclide->name, ": categorised by A/D only"});
    noteDValue(*radionuclide, note);
    noteNotAssigned(result, radionuclide->name, note);
    if (!hasTable && !exemption && radionuclide->origin != NuclideOrigin::calculator)
        addNote(note, {"the exemption level of ", radionuclide->name, " is not known"});
    if (!source.duties.empty()) {
        const std::size_t notedBefore = note.size();
        if (!evaluateDuties(
                source.duties, {radionuclide->name, constant, result.activityTBq, manufactured},
                evaluation.duties, evaluation.asOf, evaluation.dateOrder, result.duties, note)) {
            std::string why = note.substr(notedBefore == 0 ? 0 : notedBefore + 2);
            clearKeepingRoom(result);
            result.note = std::move(why);
            return;
        }
    }
    noteTwoCategories(result);
    if (!manufactured) {
        addNote(note, "no date of manufacture: not decayed");
        return;
    }
    char day[32];
    if (statedAfterAsOf)
        addNote(note, {"activity stated for ", isoDate(*manufactured, day),
                       ", after the as-of moment: decay-corrected backwards, higher than stated"});

    const Decay decay{tbq->shownActivityTBq, constant, *manufactured};
    const auto byAOverD = [radionuclide](double tbqThen) {
        return categoryByAOverDBand(*radionuclide, tbqThen);
    };
    std::string_view whyNoDay;
    std::string_view whyNoDayByAOverD;
    result.nextChangeByAOverD =
        nextChange(decay, evaluation.asOf, current, byAOverD, whyNoDayByAOverD);
    if (hasTable) {
        const auto band = [rows](double tbqThen) { return tableBand(rows, tbqThen); };
        result.nextChange = nextChange(decay, evaluation.asOf, current, band, whyNoDay);
    } else {
        // Without threshold rows the source's only category is its category by A/D.
        result.nextChange = result.nextChangeByAOverD;
        whyNoDay = whyNoDayByAOverD;
    }
    if (!whyNoDay.empty())
        addNote(note, whyNoDay);
    if (!whyNoDayByAOverD.empty() && whyNoDayByAOverD != whyNoDay)
        addNote(note, {"by A/D, ", whyNoDayByAOverD});
    if (result.nextChange && result.nextChange->label == labels::notAssigned) {
        // Decay only lowers the activity, so this band lies below the current one.
        const auto then = decay.at(local_days{result.nextChange->on});
        addNote(note,
                {"Not assigned from ", isoDate(result.nextChange->on, day),
                 " lies below the category table's range for category ",
                 result.currentCategory.value_or(""), ", not an unknown: category ",
                 then ? byAOverD(*then).label : std::string_view("?"), " by A/D on that day"});
    }
}

std::string quotedForNote(std::string_view text) {
    constexpr std::size_t longest = 60;
    std::string result = "'";
    if (text.size() <= longest) {
        result += text;
    } else {
        std::size_t end = longest;
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end; // not inside a UTF-8 sequence
        result += text.substr(0, end);
        result += "...";
    }
    return result + "'";
}

void addNote(std::string& note, std::initializer_list<std::string_view> parts) {
    if (!note.empty())
        note += "; ";
    for (const std::string_view part : parts)
        note += part;
}

void addNote(std::string& note, std::string_view part) {
    addNote(note, {part});
}

SourceResult evaluateSource(const SourceText& source, const Evaluation& evaluation) {
    SourceResult result;
    evaluateSource(source, evaluation, result);
    return result;
}

void clearKeepingRoom(SourceResult& result) {
    std::string note = std::move(result.note);
    note.clear();
    // Made anew in place: assigning a fresh result would build it aside and copy it over.
    std::destroy_at(&result);
    std::construct_at(&result);
    result.note = std::move(note);
}

} // namespace dovrin
