#pragma once

// The locations of an inventory as a table: how many sources each keeps, the sum of their A/D,
// the category of that sum, and whether keeping them together raises the category.

#include <vector>

#include <QAbstractTableModel>

#include "locations.h"

namespace dovrin {

class LocationsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    enum LocationColumn { name, sources, withErrors, sumAOverD, category, mostSevere, raised };
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
