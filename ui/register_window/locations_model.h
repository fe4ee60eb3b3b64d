#pragma once

// The locations of an inventory as a table: how many sources each keeps, the sums of their A/D
// and of their A/E, the category of the location, whether keeping the sources together raises
// it, and the US NRC's sums of fractions.

#include <vector>

#include <QAbstractTableModel>

#include "locations.h"

namespace dovrin {

class LocationsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    enum LocationColumn {
        name,
        sources,
        withErrors,
        sumAOverD,
        sumAOverE,
        category,
        mostSevere,
        raised,
        nrcFraction1, // the NRC's columns, last
        nrcFraction2,
        nrcQuantity,
    };
    static constexpr int firstNrcColumn = nrcFraction1;
    static constexpr int sortRole = Qt::UserRole;

    void setLocations(std::vector<LocationTotal> locations);
    const std::vector<LocationTotal>& locations() const { return locations_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<LocationTotal> locations_;
};

} // namespace dovrin
