#pragma once

// Sources kept together at one location: the sum of their A/D and the category of that sum, the
// sum of their A/E that decides whether they are exempt together, and the US NRC's sums of
// fractions.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "source.h"

namespace dovrin {

struct LocationTotal {
    std::string location;
    std::size_t sources = 0;           // every row at the location, error rows included
    std::size_t sourcesWithErrors = 0; // rows left out of the sum
    double sumAOverD = 0;
    double sumAOverE = 0;            // of the sources whose radionuclide has an exemption level
    bool everyExemptionKnown = true; // no categorised source lacks an exemption level
    double nrcFractionCategory1 = 0; // the sums of the sources' NRC fractions
    double nrcFractionCategory2 = 0;
    std::string_view mostSevereSingleCategory; // by A/D; empty when no source was categorised

    // Exemption applies to the total held: the location is "Exempted" only when the sum of A/E
    // is at most 1, with every radionuclide's exemption level known; otherwise the category of
    // the sum of A/D. Empty when no source was categorised.
    std::string_view categoryByAOverD() const;
    bool raisedByAggregation() const; // the sum's category is above every single one
    // "1" or "2" when the sum of fractions for that category reaches 1, else empty.
    std::string_view nrcQuantity() const;
};

// Totals per location, in the order in which the locations first appear. Memory grows with the
// number of locations, never with the number of rows.
class LocationTotals {
public:
    // Adds the source to its location's totals; the location's place in locations().
    std::size_t add(std::string_view location, const SourceResult& source);
    const std::vector<LocationTotal>& locations() const { return totals_; }

private:
    // Looked up by the row's text itself, without a copy of it per row.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };
    std::vector<LocationTotal> totals_;
    std::unordered_map<std::string, std::size_t, TextHash, std::equal_to<>> index_;
};

} // namespace dovrin
