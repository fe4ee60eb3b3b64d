#pragma once

// The pictures of the register window: the decay of one source against its category bounds,
// and the sum of A/D of each location against the bands of A/D.

#include <chrono>
#include <optional>
#include <vector>

#include <QChartView>

#include "locations.h"
#include "source.h"

namespace dovrin {

// One source to draw: its radionuclide as the tables name it and its activity in TBq on its
// day of manufacture (none: not decayed, drawn flat from the as-of date on).
struct DecayedSource {
    std::string_view radionuclide;
    double initialTBq = 0;
    std::optional<std::chrono::year_month_day> manufactured;
    LocalTime asOf;
    std::optional<NextChange> nextChange;
};

class DecayChart : public QChartView {
    Q_OBJECT
public:
    explicit DecayChart(QWidget* parent = nullptr);
    void showSource(const DecayedSource& source);
    void showNothing(const QString& why);
};

class LocationsChart : public QChartView {
    Q_OBJECT
public:
    static constexpr std::size_t mostBars = 40;

    explicit LocationsChart(QWidget* parent = nullptr);
    // The locations with the highest sums, at most mostBars of them.
    void showLocations(const std::vector<LocationTotal>& locations);
};

} // namespace dovrin
