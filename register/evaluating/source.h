#pragma once

// One source of an inventory: its texts read as the calculator reads them, its category by
// initial and by current activity, its A/D and the days its categories next change.

#include <chrono>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "decay.h"
#include "duties.h"

namespace dovrin {

class RadionuclideTable;

// The texts of one inventory row that describe the source; an absent column is an empty text.
struct SourceText {
    std::string_view radionuclide;
    std::string_view activity;
    std::string_view unit;
    std::string_view manufactured;       // empty: the source is not decayed
    std::string_view recordedCategory{}; // a category a person typed; empty: none to check
    DutyTexts duties{};
    std::string_view headerUnit{}; // the unit in the activity's header: the default unit
};

// When and how the sources are evaluated.
struct Evaluation {
    LocalTime asOf;                                   // the present moment, or the --as-of moment
    DateOrder dateOrder = DateOrder::unstated;        // how slash dates are read
    const RadionuclideTable* radionuclides = nullptr; // none: the built-in ones
    DutyRules duties{};
    bool decimalComma = false; // an activity "3,7" reads as 3.7
};

// The first day, from the as-of moment on, at whose start decay has taken the source into
// another band (of the category table, or of A/D), and the label it becomes there.
struct NextChange {
    std::string_view label;
    std::chrono::year_month_day on;
};

struct SourceResult {
    bool categorised = false;      // false: an error row; note gives the reason, the rest is empty
    std::string_view radionuclide; // the table's name, "Co-60"
    std::optional<std::chrono::year_month_day> manufactured; // none: not decayed
    double activityTBq = 0;                                  // the window's shownActivityTBq
    std::optional<std::string_view> category; // by initial activity; none without bands
    double currentActivityTBq = 0;            // as "Categorize by Current Activity  "
    std::optional<std::string_view> currentCategory;
    double aOverD = 0;                            // current activity / D-value
    std::string_view categoryByAOverD;            // "1" to "5" or "Exempted"
    std::optional<NextChange> nextChange;         // of currentCategory (by A/D without bands)
    std::optional<NextChange> nextChangeByAOverD; // of categoryByAOverD
    std::optional<double> aOverE; // current activity / exemption level; none without a level
    // Current activity / the US NRC's category 1 and category 2 thresholds; 0 for a radionuclide
    // outside their table.
    double nrcFractionCategory1 = 0;
    double nrcFractionCategory2 = 0;
    // The recorded category is neither categoryByAOverD nor the category by A/D of the initial
    // activity, which is worked out only for a source with a recorded category.
    bool recordedCategoryDiffers = false;
    std::string_view initialCategoryByAOverD;
    Duties duties;    // none known for an error row
    std::string note; // the error, or what the reader should know
};

// Reads the texts as the calculator's checks read them and categorises the source. Never
// throws; a text that cannot be read gives an error row naming the column and the text.
SourceResult evaluateSource(const SourceText& source, const Evaluation& evaluation);

// The same into result, whose note keeps its room: a caller that evaluates many sources in turn
// then allocates no note for each.
void evaluateSource(const SourceText& source, const Evaluation& evaluation, SourceResult& result);

// Makes result a default SourceResult, its note's room kept.
void clearKeepingRoom(SourceResult& result);

// A text found in the inventory as a note quotes it; a long text is cut at a character boundary
// so that the note stays readable.
std::string quotedForNote(std::string_view text);

// Adds the parts to the note as one more remark, after "; " when the note has one already.
void addNote(std::string& note, std::initializer_list<std::string_view> parts);
void addNote(std::string& note, std::string_view part);

} // namespace dovrin
