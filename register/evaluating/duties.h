#pragma once

// The recurring duties of one source of an inventory: when its next leak test and physical
// inventory fall due, how they stand at the as-of moment, the leak-test exemption its decayed
// activity earns, and when its working life ends.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "decay.h"
#include "due_dates.h"
#include "leak_test_rules.h"

namespace dovrin {

// The texts of a row's duty columns; an absent column is an empty text.
struct DutyTexts {
    std::string_view lastLeakTest;
    std::string_view leakTestInterval; // empty: the run's interval
    std::string_view lastInventory;
    std::string_view inventoryInterval; // empty: the run's interval
    std::string_view workingLife;       // whole years from the date of manufacture
    std::string_view status{};          // "stored, not in use" frees the source from tests
    std::string_view form{};            // "Ir-192 seeds in nylon ribbon" likewise

    bool empty() const {
        return lastLeakTest.empty() && leakTestInterval.empty() && lastInventory.empty() &&
               inventoryInterval.empty() && workingLife.empty() && status.empty() && form.empty();
    }
};

// The run's choices for the duties.
struct DutyRules {
    Interval leakTestInterval{leakTestRules::defaultLeakTestMonths, Interval::Unit::months};
    Interval inventoryInterval{leakTestRules::defaultInventoryMonths, Interval::Unit::months};
    bool leakTestExemptions = true; // false: --leak-test-rules none
};

// One duty's due day and its status; no day when nothing is known of the duty.
struct Due {
    std::optional<std::chrono::year_month_day> on;
    DueStatus status = DueStatus::notDue;
};

struct Duties {
    Due leakTest;
    std::optional<std::string_view> leakTestExemption; // the reason; then no test is due
    Due inventory;
    Due workingLifeEnd;
};

// What the duties need to know of the categorised source.
struct DutySource {
    std::string_view radionuclide; // the decay table's name
    double decayConstantPerDay = 0;
    double activityTBq = 0;                                  // as of manufacture
    std::optional<std::chrono::year_month_day> manufactured; // none: not decayed
};

// The duties of the source into duties; a text that cannot be read leaves its duty empty and
// says why in note, in the manner of the other notes ("; " between two), and the result is
// false: the row is then an error row.
bool evaluateDuties(const DutyTexts& texts, const DutySource& source, const DutyRules& rules,
                    LocalTime asOf, DateOrder dateOrder, Duties& duties, std::string& note);

// The date in a column of the row, or none with a note when the text is not a date or could be
// read two ways; none without a note for an empty text.
std::optional<std::chrono::year_month_day> readDateColumn(std::string_view column,
                                                          std::string_view text, LocalTime asOf,
                                                          DateOrder order, std::string& note);

// The leak-test status as the output writes it: "overdue", "due within 30 days", "not due",
// "exempt: REASON", or empty when nothing is known.
std::string_view leakTestStatusText(const Duties& duties);

} // namespace dovrin
