#pragma once

// The radionuclides the register knows, and how an inventory names them. The calculator's own
// are decayed and categorised by the calculator's tables, so that the register and the window
// agree on them; the others of data/nuclides.h, and those a user adds from a file, are decayed
// by their half-life and categorised by A/D alone.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "category_thresholds.h"
#include "csv.h"
#include "d_values.h"
#include "nrc_thresholds.h"
#include "nuclides.h"

namespace dovrin {

enum class NuclideOrigin { calculator, table, user };

struct Radionuclide {
    std::string_view name; // as the tables write it: "Co-60", "Tc-99m", "Am-241/Be"
    double constantPerDay = 0;
    // None: no source gives one, so no category either; infinite: "UL", unlimited, so that A/D
    // is 0 and the category by A/D 5, or Exempted at or below the exemption level.
    std::optional<double> dTBq;
    // Where the category table's bounds rest on another D-value than dTBq (Ge-68), that value.
    std::optional<double> tableDTBq;
    std::span<const ThresholdRow> rows; // the calculator's category table; empty: by A/D only
    // By A/D only: "Exempted" at or below this activity; none: the exemption level is unknown.
    std::optional<double> exemptionTBq;
    std::optional<double> exemptionBq; // as published, or the calculator's in Bq
    // The evaluated half-life: what a radionuclide outside the calculator decays by, and for
    // the calculator's own a reference shown beside its decay constant.
    std::optional<HalfLife> halfLife;
    NuclideOrigin origin = NuclideOrigin::table;
    std::string_view source;           // where the values come from, in a few words
    const NrcThreshold* nrc = nullptr; // none outside the US NRC's table
    // The activities at the ends of each A/D band, in the order of aOverDBands: D times the
    // band's floor, raised to the exemption level, and D times the next band's floor. The
    // categorisation compares A/D itself; these serve the search for the next change. Set by
    // the table for a radionuclide with a D-value.
    std::array<double, aOverDBands.size()> aOverDLowerTBq{};
    std::array<double, aOverDBands.size()> aOverDUpperTBq{};
};

class RadionuclideTable {
public:
    // The calculator's radionuclides, then the rest of data/nuclides.h.
    static const RadionuclideTable& builtIn();

    // The built-in radionuclides and those of a user's CSV file (columns radionuclide,
    // half_life, half_life_unit, d_value_tbq, exemption_bq, source; others are ignored). None,
    // with error set to one line that names the row and the reason, for a file that cannot be
    // used: a row that is not well formed, or that names a radionuclide the table knows.
    static std::unique_ptr<RadionuclideTable> withUserFile(csv::ByteSource& file,
                                                           std::string& error);

    RadionuclideTable(const RadionuclideTable&) = delete; // the entries view texts_
    RadionuclideTable& operator=(const RadionuclideTable&) = delete;

    // The radionuclide the text names, blanks around it ignored: element and mass number in
    // either order ("Co-60", "co60", "CO 60", "60Co", "60-co"), a metastable state after the
    // mass number ("Tc-99m", "99mTc"), an X/Be source ("Am-241/Be", "241Am/Be-9", and "AmBe"
    // when one X/Be source has that element). None for anything else.
    const Radionuclide* find(std::string_view text) const;

    // The names nearest to a text that names none, by the edits that make one of the other
    // (letter case and punctuation aside), nearest first: what an error row proposes.
    std::vector<std::string_view> closestNames(std::string_view text, std::size_t count) const;

    // The place in all() of the radionuclide whose name equals the text exactly.
    std::optional<std::size_t> indexOf(std::string_view name) const;
    // That radionuclide itself.
    const Radionuclide* named(std::string_view name) const {
        const auto index = indexOf(name);
        return index ? &entries_[*index] : nullptr;
    }

    std::span<const Radionuclide> all() const { return entries_; }

private:
    RadionuclideTable() = default;
    void add(const Radionuclide& radionuclide);
    void indexAliases();

    std::vector<Radionuclide> entries_;
    std::deque<std::string> texts_; // the user's names and sources, which never move
    // FNV-1a: the keys are a few bytes, looked up once for every row of an inventory.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            std::uint64_t hash = 14695981039346656037u;
            for (const char c : text)
                hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
            return static_cast<std::size_t>(hash);
        }
    };
    // The key of each name ("tc-99m", and "ambe" for AmBe) -> its entry.
    std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>> spellings_;
    std::unordered_map<std::string_view, std::uint32_t, TextHash, std::equal_to<>> names_;
};

// The table a run uses as CSV: the columns of a user's file, then the decay constant the run
// decays by and whether a category table or A/D categorises.
std::string nuclideListCsv(const RadionuclideTable& table);

} // namespace dovrin
