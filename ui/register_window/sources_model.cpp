#include "sources_model.h"

#include <algorithm>
#include <cctype>

#include <QColor>
#include <QLocale>

#include "conversion.h"
#include "inventory_loader.h"
#include "number_text.h"
#include "output.h"
#include "qt_text.h"

namespace dovrin {

namespace {

template <class T> int ordered(const T& left, const T& right) {
    return left < right ? -1 : right < left ? 1 : 0;
}

// Numbers in ascending order; rows without one after every row with one.
int numbersOrdered(std::optional<double> left, std::optional<double> right) {
    if (!left || !right)
        return ordered(!left, !right);
    return ordered(*left, *right);
}

bool containsIgnoringCase(std::string_view text, const QByteArray& lowerNeedle) {
    const auto found = std::search(
        text.begin(), text.end(), lowerNeedle.begin(), lowerNeedle.end(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == static_cast<unsigned char>(b);
        });
    return found != text.end();
}

// The number of a result cell that holds one.
std::optional<double> shownNumber(const StoredResult& stored, std::optional<std::size_t> column) {
    if (!stored.categorised || !column)
        return std::nullopt;
    switch (resultColumnTable[*column].column) {
    case ResultColumn::activityTBq:
        return stored.activityTBq;
    case ResultColumn::currentActivityTBq:
        return stored.currentActivityTBq;
    case ResultColumn::aOverD:
        return stored.aOverD;
    default:
        return std::nullopt;
    }
}

// A due day for numbersOrdered; none for noDueDay.
std::optional<double> dueDay(std::int32_t day) {
    return day == noDueDay ? std::nullopt : std::optional<double>(day);
}

// The more severe of the source's current categories by the table and by A/D: what the window
// colours and filters by, so that the table's "Not assigned" never hides a category by A/D.
LabelCode severerCategory(const StoredResult& stored) {
    const std::string_view table = labelText(stored.currentCategory);
    const std::string_view byAOverD = labelText(stored.categoryByAOverD);
    return moreSevere(table, byAOverD) ? stored.currentCategory : stored.categoryByAOverD;
}

} // namespace

QColor categoryColour(std::string_view label) {
    // Traffic-light shades in the order of categoryLabels, darkest for the most dangerous
    // category, light enough for black text; "Exempted" and "Not assigned" in neutral tones.
    static constexpr std::array<QRgb, categoryLabels.size()> shades{
        0xf48f8f, 0xf8b87c, 0xf6e07a, 0xc6e69a, 0xa6d8e8, 0xe0e0e0, 0xd8cce8};
    const std::size_t severity = severityOf(label);
    return QColor::fromRgb(severity < shades.size() ? shades[severity] : shades.back());
}

void SourcesModel::setInventory(std::shared_ptr<InventoryTexts> texts,
                                std::shared_ptr<InventoryResults> results) {
    beginResetModel();
    texts_ = std::move(texts);
    results_ = std::move(results);
    rowsShown_ = texts_ ? texts_->rows.size() : 0;
    endResetModel();
}

void SourcesModel::append(LoadedBatch& batch) {
    if (!texts_ || batch.rows.empty())
        return;
    std::size_t firstRow = texts_->rows.size();
    for (std::size_t block = 0; block < batch.blocks.size(); ++block) {
        texts_->blockFirstRows.push_back(firstRow);
        texts_->blocks.push_back(std::move(batch.blocks[block]));
        firstRow += batch.blockRows[block];
    }
    texts_->rows.insert(texts_->rows.end(), batch.rows.begin(), batch.rows.end());
    texts_->locations.insert(texts_->locations.end(), batch.locations.begin(),
                             batch.locations.end());
    texts_->unreadable.insert(texts_->unreadable.end(), batch.unreadable.begin(),
                              batch.unreadable.end());
    texts_->rowRuns.insert(texts_->rowRuns.end(), batch.rowRuns.begin(), batch.rowRuns.end());
    std::vector<std::uint32_t> notes; // the window's number of each of the batch's notes
    notes.reserve(batch.notes.size());
    for (const std::string& note : batch.notes)
        notes.push_back(results_->notes.add(note));
    for (StoredResult& result : batch.results) {
        renumberNotes(result, [&notes](std::uint32_t note) { return notes[note - 1]; });
        results_->rows.push_back(result);
        results_->errors += result.categorised ? 0 : 1;
    }
    if (texts_->rows.size() >= 2 * rowsShown_)
        showRowsKept();
}

void SourcesModel::showRowsKept() {
    if (!texts_ || rowsShown_ == texts_->rows.size())
        return;
    beginInsertRows({}, static_cast<int>(rowsShown_), static_cast<int>(texts_->rows.size() - 1));
    rowsShown_ = texts_->rows.size();
    endInsertRows();
}

void SourcesModel::setResults(std::shared_ptr<InventoryResults> results) {
    results_ = std::move(results);
    if (rowCount() > 0)
        emit dataChanged(index(0, static_cast<int>(inputColumns())),
                         index(rowCount() - 1, columnCount() - 1));
}

void SourcesModel::setLocations(std::vector<LocationTotal> locations) {
    if (results_)
        results_->locations = std::move(locations);
}

// A row patched in takes its fields to the end of the block that holds its place: the rows'
// places are offsets, so the block may grow, and every other row keeps its block.
void SourcesModel::replaceSourceRow(std::size_t row, std::string_view packed, RowPlace place,
                                    StoredResult result) {
    showRowsKept(); // a row's number is its place among every row kept
    std::string& block = texts_->blocks[texts_->blockOf(row)];
    place.offset = static_cast<std::uint32_t>(block.size());
    block += packed;
    texts_->rows[row] = place;
    results_->errors -= results_->rows[row].categorised ? 0U : 1U;
    results_->errors += result.categorised ? 0 : 1;
    results_->rows[row] = result;
    const int shown = static_cast<int>(row);
    emit dataChanged(index(shown, 0), index(shown, columnCount() - 1));
}

void SourcesModel::insertSourceRow(std::size_t row, std::string_view packed, RowPlace place,
                                   StoredResult result) {
    showRowsKept();
    const int shown = static_cast<int>(row);
    beginInsertRows({}, shown, shown);
    if (texts_->blocks.empty()) {
        texts_->blocks.emplace_back();
        texts_->blockFirstRows.push_back(0);
    }
    // The row joins the block of the row before it; the blocks after that begin a row later.
    const std::size_t owner = row == 0 ? 0 : texts_->blockOf(row - 1);
    for (std::size_t block = owner + 1; block < texts_->blockFirstRows.size(); ++block)
        ++texts_->blockFirstRows[block];
    place.offset = static_cast<std::uint32_t>(texts_->blocks[owner].size());
    texts_->blocks[owner] += packed;
    texts_->rows.insert(texts_->rows.begin() + shown, place);
    results_->errors += result.categorised ? 0 : 1;
    results_->rows.insert(results_->rows.begin() + shown, result);
    ++rowsShown_;
    endInsertRows();
}

void SourcesModel::removeSourceRow(std::size_t row) {
    showRowsKept();
    const int shown = static_cast<int>(row);
    beginRemoveRows({}, shown, shown);
    // The blocks after the row's begin a row earlier; one left with no row is never found.
    const std::size_t owner = texts_->blockOf(row);
    for (std::size_t block = owner + 1; block < texts_->blockFirstRows.size(); ++block)
        --texts_->blockFirstRows[block];
    texts_->rows.erase(texts_->rows.begin() + shown);
    results_->errors -= results_->rows[row].categorised ? 0U : 1U;
    results_->rows.erase(results_->rows.begin() + shown);
    --rowsShown_;
    endRemoveRows();
}

std::size_t SourcesModel::resultColumnsShown() const {
    return resultColumnCount(texts_ && texts_->columns[Column::recordedCategory].has_value());
}

std::optional<std::size_t> SourcesModel::resultColumn(int column) const {
    if (column < 0 || static_cast<std::size_t>(column) < inputColumns())
        return std::nullopt;
    const std::size_t result = static_cast<std::size_t>(column) - inputColumns();
    return result < resultColumnsShown() ? std::optional(result) : std::nullopt;
}

int SourcesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !texts_ ? 0 : static_cast<int>(rowsShown_);
}

int SourcesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !texts_ ? 0
                                       : static_cast<int>(inputColumns() + resultColumnsShown());
}

std::string SourcesModel::cellText(std::size_t row, int column) const {
    const auto result = resultColumn(column);
    if (!result)
        return std::string(texts_->fields(row)[static_cast<std::size_t>(column)]);
    const StoredResult& stored = results_->rows[row];
    const SourceResult restored = restoreResult(stored, results_->notes);
    std::array<char, resultFieldsSpace> space{};
    return std::string(resultFields(restored, space)[*result]);
}

QVariant SourcesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !texts_)
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    const StoredResult& stored = results_->rows[row];
    const auto result = resultColumn(index.column());
    // An input column is a text.
    const ResultKind kind = result ? resultColumnTable[*result].kind : ResultKind::text;
    const bool categoryCell = kind == ResultKind::category;
    const std::optional<double> number = shownNumber(stored, result);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        // Numbers as the calculator shows them, "6.43E+01"; the exact text in their tooltip.
        if (number)
            return QString::fromStdString(formatScientific(*number).value_or(std::string()));
        return fromBytes(cellText(row, index.column()));
    case Qt::ToolTipRole:
        if (!stored.categorised || (result && *result == indexOf(ResultColumn::note)))
            return fromBytes(results_->notes[stored.note]);
        if (number)
            return fromBytes(cellText(row, index.column()));
        if (categoryCell) {
            const std::string label = cellText(row, index.column());
            return label.empty() ? QVariant{} : QVariant(tr("Category %1").arg(fromBytes(label)));
        }
        return {};
    case Qt::BackgroundRole:
        if (!stored.categorised)
            return QColor(0xff, 0xd0, 0xd0);
        if (categoryCell && resultColumnTable[*result].column == ResultColumn::currentCategory)
            return QVariant(categoryColour(labelText(severerCategory(stored))));
        if (categoryCell) {
            const std::string label = cellText(row, index.column());
            return label.empty() ? QVariant{} : QVariant(categoryColour(label));
        }
        return {};
    case Qt::ForegroundRole:
        return stored.categorised ? QVariant{} : QVariant(QColor(0x90, 0, 0));
    case Qt::TextAlignmentRole:
        if (kind == ResultKind::number)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case numberRole:
        return number ? QVariant(*number) : QVariant{};
    default:
        return {};
    }
}

QVariant SourcesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (!texts_ || (role != Qt::DisplayRole && role != Qt::ToolTipRole) || section < 0 ||
        section >= (orientation == Qt::Vertical ? rowCount() : columnCount()))
        return {};
    if (orientation == Qt::Vertical) // the row's number in the file, as a spreadsheet has it
        return role == Qt::DisplayRole ? QVariant(QLocale().toString(static_cast<qulonglong>(
                                             texts_->fileRow(static_cast<std::size_t>(section)))))
                                       : QVariant{};
    // On two lines, whole in the tooltip, with the column's name in the CSV export.
    if (const auto result = resultColumn(section)) {
        const QString heading = fromBytes(resultColumnTable[*result].heading);
        return role == Qt::DisplayRole ? headingLines(heading)
                                       : tr("%1 (%2 in the CSV export)")
                                             .arg(heading, fromBytes(resultColumns[*result]));
    }
    const QString heading = fromBytes(texts_->header[static_cast<std::size_t>(section)]);
    return role == Qt::DisplayRole ? headingLines(heading) : heading;
}

int SourcesModel::compare(int column, std::size_t left, std::size_t right) const {
    const auto result = resultColumn(column);
    if (!result) {
        const PackedFields leftFields = texts_->fields(left);
        const PackedFields rightFields = texts_->fields(right);
        const auto index = static_cast<std::size_t>(column);
        if (texts_->columns[Column::activity] == index) {
            const auto a = readActivity(leftFields[index]);
            const auto b = readActivity(rightFields[index]);
            if (a || b)
                return numbersOrdered(a, b);
        }
        return leftFields[index].compare(rightFields[index]);
    }
    const StoredResult& a = results_->rows[left];
    const StoredResult& b = results_->rows[right];
    if (!a.categorised || !b.categorised) // error rows last
        return ordered(!a.categorised, !b.categorised);
    // Labels by their code, which is their order of severity.
    switch (resultColumnTable[*result].column) {
    case ResultColumn::activityTBq:
        return ordered(a.activityTBq, b.activityTBq);
    case ResultColumn::currentActivityTBq:
        return ordered(a.currentActivityTBq, b.currentActivityTBq);
    case ResultColumn::aOverD:
        return ordered(a.aOverD, b.aOverD);
    case ResultColumn::category:
        return ordered(a.category, b.category);
    case ResultColumn::currentCategory:
        return ordered(a.currentCategory, b.currentCategory);
    case ResultColumn::categoryByAOverD:
        return ordered(a.categoryByAOverD, b.categoryByAOverD);
    case ResultColumn::nextCategory:
        return ordered(a.nextLabel, b.nextLabel);
    case ResultColumn::nextChangeOn:
        return numbersOrdered(a.nextLabel ? std::optional<double>(a.nextChangeDay) : std::nullopt,
                              b.nextLabel ? std::optional<double>(b.nextChangeDay) : std::nullopt);
    case ResultColumn::nextCategoryByAOverD:
        return ordered(a.nextLabelByAOverD, b.nextLabelByAOverD);
    case ResultColumn::nextChangeByAOverDOn:
        return numbersOrdered(
            a.nextLabelByAOverD ? std::optional<double>(a.nextChangeByAOverDDay) : std::nullopt,
            b.nextLabelByAOverD ? std::optional<double>(b.nextChangeByAOverDDay) : std::nullopt);
    case ResultColumn::leakTestDue:
        return numbersOrdered(dueDay(a.duties.leakTestDay), dueDay(b.duties.leakTestDay));
    case ResultColumn::inventoryDue:
        return numbersOrdered(dueDay(a.duties.inventoryDay), dueDay(b.duties.inventoryDay));
    case ResultColumn::workingLifeEnds:
        return numbersOrdered(dueDay(a.duties.workingLifeEndDay),
                              dueDay(b.duties.workingLifeEndDay));
    case ResultColumn::leakTestStatus:
    case ResultColumn::recordedCategoryCheck:
        return cellText(left, column).compare(cellText(right, column));
    default:
        return results_->notes[a.note].compare(results_->notes[b.note]);
    }
}

SourcesFilter::SourcesFilter(SourcesModel* sources, QObject* parent)
    : QSortFilterProxyModel(parent)
    , sources_(sources) {
    setSourceModel(sources);
}

void SourcesFilter::setCategory(Category category) {
    category_ = category;
    invalidateRowsFilter();
}

void SourcesFilter::setText(const QString& text) {
    text_ = text.trimmed().toUtf8().toLower();
    invalidateRowsFilter();
}

void SourcesFilter::setDue(DueWindow due) {
    due_ = due;
    invalidateRowsFilter();
}

bool SourcesFilter::dueAccepts(const StoredDuties& duties) const {
    if (due_ == DueWindow::any)
        return true;
    const auto today = static_cast<std::int32_t>(
        std::chrono::floor<std::chrono::days>(sources_->results()->evaluation.asOf)
            .time_since_epoch()
            .count());
    const std::int32_t last = due_ == DueWindow::overdue        ? today - 1
                              : due_ == DueWindow::within30Days ? today + 30
                                                                : today + 90;
    // An exempt source owes no leak test.
    const std::int32_t leakTest = duties.leakTestExemption ? noDueDay : duties.leakTestDay;
    return std::ranges::any_of(std::array{leakTest, duties.inventoryDay, duties.workingLifeEndDay},
                               [last](std::int32_t day) { return day != noDueDay && day <= last; });
}

void SourcesFilter::setLocation(std::optional<std::uint32_t> location) {
    location_ = location;
    invalidateRowsFilter();
}

bool SourcesFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    const auto row = static_cast<std::size_t>(sourceRow);
    const InventoryTexts& texts = *sources_->texts();
    const InventoryResults& results = *sources_->results();
    const StoredResult& result = results.rows[row];
    if (category_.errors && result.categorised)
        return false;
    if (category_.label != 0 && (!result.categorised || severerCategory(result) != category_.label))
        return false;
    if (location_ && texts.rows[row].location != *location_)
        return false;
    if (!dueAccepts(result.duties))
        return false;
    if (text_.isEmpty())
        return true;
    for (const std::string_view field : texts.fields(row).all())
        if (containsIgnoringCase(field, text_))
            return true;
    return containsIgnoringCase(results.notes[result.note], text_);
}

bool SourcesFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    return sources_->compare(left.column(), static_cast<std::size_t>(left.row()),
                             static_cast<std::size_t>(right.row())) < 0;
}

} // namespace dovrin
