#pragma once

// The sources of an inventory as a table: the input's columns as the file has them, then the
// register's results. Also the sort order of every column and the filters on the rows.

#include <cstdint>
#include <memory>
#include <optional>

#include <QAbstractTableModel>
#include <QByteArray>
#include <QSortFilterProxyModel>

#include "stored_inventory.h"

namespace dovrin {

struct LoadedBatch;

class SourcesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // An inventory whose rows are still to come, or none.
    void setInventory(std::shared_ptr<InventoryTexts> texts,
                      std::shared_ptr<InventoryResults> results);
    // Keeps a batch of rows read. The table is told of them when they are as many as the rows
    // it shows already (the first batch at once), and of the rest by showRowsKept: every batch
    // told is a layout and a paint of the table, which would otherwise cost a million-row
    // inventory more than reading it.
    void append(LoadedBatch& batch);
    void showRowsKept();
    void setResults(std::shared_ptr<InventoryResults> results);
    void setLocations(std::vector<LocationTotal> locations);
    // One source's row changed, added or taken away after an event of it was recorded
    // (source_patch.cpp); packed holds its fields, as packFields packs them.
    void replaceSourceRow(std::size_t row, std::string_view packed, RowPlace place,
                          StoredResult result);
    void insertSourceRow(std::size_t row, std::string_view packed, RowPlace place,
                         StoredResult result);
    void removeSourceRow(std::size_t row);

    const std::shared_ptr<InventoryTexts>& texts() const { return texts_; }
    const std::shared_ptr<InventoryResults>& results() const { return results_; }
    std::size_t inputColumns() const { return texts_ ? texts_->header.size() : 0; }
    // The result columns shown: the recorded category's check only for an inventory with one.
    std::size_t resultColumnsShown() const;
    // The result column of a table column, in the order of the register's output.
    std::optional<std::size_t> resultColumn(int column) const;
    // The text of a cell as the register writes it.
    std::string cellText(std::size_t row, int column) const;
    // Where the rows go in ascending order of a column: negative, zero or positive.
    int compare(int column, std::size_t left, std::size_t right) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::shared_ptr<InventoryTexts> texts_;
    std::shared_ptr<InventoryResults> results_;
    std::size_t rowsShown_ = 0; // the first rows kept, of which the table has been told
};

// The rows shown: those of one category by A/D (or the error rows), of one location, holding a
// text; sorted by any column.
class SourcesFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    // The category filter: none, a category label, or the error rows.
    struct Category {
        bool errors = false;
        LabelCode label = 0; // 0 with errors false: every row
    };

    // The due filter: every row, or those with a duty overdue or due within a number of days
    // of the as-of day (a leak test, an inventory or the end of the working life).
    enum class DueWindow { any, overdue, within30Days, within90Days };

    explicit SourcesFilter(SourcesModel* sources, QObject* parent = nullptr);

    void setCategory(Category category);
    void setText(const QString& text);
    void setDue(DueWindow due);
    void setLocation(std::optional<std::uint32_t> location);
    std::optional<std::uint32_t> location() const { return location_; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    bool dueAccepts(const StoredDuties& duties) const;

    SourcesModel* sources_;
    Category category_;
    DueWindow due_ = DueWindow::any;
    QByteArray text_; // in lower case
    std::optional<std::uint32_t> location_;
};

// The colour of a category label's cell; every label has one, shown beside its text.
QColor categoryColour(std::string_view label);

} // namespace dovrin
