#include "locations_model.h"

#include <array>
#include <limits>

#include <QColor>
#include <QFont>
#include <QLocale>

#include "number_text.h"
#include "output.h"
#include "qt_text.h"
#include "sources_model.h"

namespace dovrin {

namespace {

const std::array<const char*, 11> headings{"Location",
                                           "Sources",
                                           "With errors",
                                           "Sum of A/D",
                                           "Sum of A/E",
                                           "Category",
                                           "Most severe single",
                                           "Raised by aggregation",
                                           "NRC fraction, category 1",
                                           "NRC fraction, category 2",
                                           "NRC quantity"};

QString exactText(double value) {
    std::array<char, 32> space{};
    return fromBytes(numberField(value, space));
}

} // namespace

void LocationsModel::setLocations(std::vector<LocationTotal> locations) {
    beginResetModel();
    locations_ = std::move(locations);
    endResetModel();
}

int LocationsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(locations_.size());
}

int LocationsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(headings.size());
}

QVariant LocationsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const LocationTotal& total = locations_[static_cast<std::size_t>(index.row())];
    const bool raisedHere = total.raisedByAggregation();
    switch (index.column()) {
    case name:
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == sortRole ||
            role == Qt::ToolTipRole) // whole in the tooltip, where the column is narrower
            return total.location.empty() ? tr("(no location)") : fromBytes(total.location);
        return {};
    case sources:
    case withErrors: {
        const auto count = index.column() == sources ? total.sources : total.sourcesWithErrors;
        if (role == sortRole)
            return static_cast<qulonglong>(count);
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
            return QLocale().toString(static_cast<qulonglong>(count));
        if (role == Qt::ToolTipRole && index.column() == withErrors && count > 0)
            return tr("Left out of the sum, which understates the risk by as much as they hold");
        if (role == Qt::TextAlignmentRole)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }
    case sumAOverD:
    case sumAOverE:
    case nrcFraction1:
    case nrcFraction2: {
        if (index.column() == sumAOverE && !total.everyExemptionKnown) {
            if (role == sortRole)
                return std::numeric_limits<double>::infinity();
            if (role == Qt::ToolTipRole)
                return tr("A radionuclide here has no exemption level: the location is not "
                          "exempt");
            return {};
        }
        const double sum = index.column() == sumAOverD      ? total.sumAOverD
                           : index.column() == sumAOverE    ? total.sumAOverE
                           : index.column() == nrcFraction1 ? total.nrcFractionCategory1
                                                            : total.nrcFractionCategory2;
        if (role == sortRole)
            return sum;
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
            return QString::fromStdString(formatScientific(sum).value_or(""));
        if (role == Qt::ToolTipRole)
            return exactText(sum);
        if (role == numberRole)
            return sum;
        if (role == Qt::TextAlignmentRole)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }
    case nrcQuantity:
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == sortRole)
            return fromBytes(total.nrcQuantity());
        if (role == Qt::ToolTipRole && !total.nrcQuantity().empty())
            return tr("A category %1 quantity under 10 CFR 37").arg(fromBytes(total.nrcQuantity()));
        return {};
    case category:
    case mostSevere: {
        const std::string_view label =
            index.column() == category ? total.categoryByAOverD() : total.mostSevereSingleCategory;
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == sortRole)
            return fromBytes(label);
        if (role == Qt::BackgroundRole && !label.empty())
            return categoryColour(label);
        if (role == Qt::FontRole && index.column() == category && raisedHere) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    }
    case raised:
        if (role == sortRole)
            return raisedHere;
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
            return raisedHere ? tr("▲ raised") : QString();
        if (role == Qt::ToolTipRole && raisedHere)
            return tr("Kept together, these sources reach category %1, above each one alone (%2)")
                .arg(fromBytes(total.categoryByAOverD()),
                     fromBytes(total.mostSevereSingleCategory));
        if (role == Qt::BackgroundRole && raisedHere)
            return QColor(0xff, 0xd8, 0x60);
        if (role == Qt::FontRole && raisedHere) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    default:
        return {};
    }
}

QVariant LocationsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 ||
        section >= static_cast<int>(headings.size()))
        return {};
    const QString heading = tr(headings[static_cast<std::size_t>(section)]);
    if (role == Qt::DisplayRole) // on two lines, whole in the tooltip
        return headingLines(heading);
    return role == Qt::ToolTipRole ? QVariant(heading) : QVariant{};
}

} // namespace dovrin
