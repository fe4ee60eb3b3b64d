#pragma once

// Compile-time checks that the tables share. Lookups take the first row whose key equals the
// text, so a key written twice would leave the later row unreachable; the tables assert these
// beside themselves, and a typo then fails the build.

#include <algorithm>
#include <functional>

namespace dovrin::tableChecks {

// No two rows share a key.
constexpr bool eachKeyOnce(const auto& rows, auto key) {
    return std::ranges::all_of(rows, [&](const auto& row) {
        return std::ranges::count(rows, std::invoke(key, row), key) == 1;
    });
}

// The rows that share a key stand next to each other: a key that has ended its run of rows
// never comes back.
constexpr bool rowsOfOneKeyStandTogether(const auto& rows, auto key) {
    for (auto row = std::ranges::begin(rows); row != std::ranges::end(rows); ++row) {
        const auto next = std::ranges::next(row);
        if (next == std::ranges::end(rows) || std::invoke(key, *next) == std::invoke(key, *row))
            continue;
        if (std::ranges::find(next, std::ranges::end(rows), std::invoke(key, *row), key) !=
            std::ranges::end(rows))
            return false;
    }
    return true;
}

} // namespace dovrin::tableChecks
