#include "history_pane.h"

#include <algorithm>
#include <utility>
#include <vector>

#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "events.h"
#include "qt_text.h"

namespace dovrin {

namespace {

// Whether later events void or correct this one, and which, in a few words.
struct Standing {
    QString text; // empty when none does
    bool voided = false;
};

Standing standingOf(const store::Event& event, const std::vector<store::Event>& events) {
    Standing standing;
    QStringList marks;
    for (const store::Event& later : events) {
        if (later.target != event.seq)
            continue;
        if (later.kind == store::Kind::voided) {
            marks << HistoryPane::tr("voided by %1").arg(later.seq);
            standing.voided = true;
        } else if (later.kind == store::Kind::correct) {
            marks << HistoryPane::tr("corrected by %1").arg(later.seq);
        }
    }
    standing.text = marks.join(QStringLiteral(", "));
    return standing;
}

// The kinds the Changes view lists: what changes a source's custody, place or record.
bool isChange(store::Kind kind) {
    return kind != store::Kind::inventoryCheck && kind != store::Kind::status &&
           kind != store::Kind::note;
}

// Each column as wide as its texts, up to a width that leaves the columns after a receipt's long
// list of fields in sight; a cut text shows whole as the cell's tooltip.
void fitColumns(QTableWidget& table) {
    table.resizeColumnsToContents();
    const int widest = table.fontMetrics().averageCharWidth() * 48;
    for (int column = 0; column < table.columnCount(); ++column)
        table.setColumnWidth(column, std::min(table.columnWidth(column), widest));
    for (int row = 0; row < table.rowCount(); ++row)
        for (int column = 0; column < table.columnCount(); ++column)
            if (QTableWidgetItem* item = table.item(row, column))
                item->setToolTip(item->text());
}

} // namespace

QString eventFieldsText(const store::Event& event) {
    QString text;
    for (std::size_t i = 0; i < store::fieldNames.size(); ++i)
        if (!event.values[i].empty())
            text += (text.isEmpty() ? QString() : QStringLiteral("; ")) +
                    fromBytes(store::fieldNames[i]) + u'=' + fromBytes(event.values[i]);
    return text;
}

HistoryPane::HistoryPane(QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("historyPane"));
    setAccessibleName(tr("History of the selected source"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    title_ = named(new QLabel(this), "historyTitle", tr("Whose history is shown"));
    layout->addWidget(title_);
    table_ = named(new QTableWidget(0, Column::count, this), "historyTable", tr("Events"));
    table_->setHorizontalHeaderLabels({tr("Event"), tr("Day"), tr("Recorded (UTC)"), tr("By"),
                                       tr("Kind"), tr("Fields"), tr("Was"), tr("Reason"),
                                       tr("Document"), tr("Standing")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table_);
    showSource({}, {}, std::nullopt);
}

void HistoryPane::showSource(const std::string& location, const std::string& source,
                             std::optional<std::chrono::sys_seconds> knownAt) {
    table_->setRowCount(0);
    if (location.empty() || source.empty()) {
        title_->setText(tr("Select a source of a register to see its history."));
        return;
    }
    const store::Opening opening = store::openStore(location, store::Access::read);
    if (!opening.store) {
        title_->setText(fromBytes(opening.error));
        return;
    }
    std::vector<store::Event> events;
    std::string error;
    title_->setText(store::readAll(*opening.store->events({source, knownAt}), events, error)
                        ? tr("History of %1").arg(fromBytes(source))
                        : tr("History of %1 cannot be read to its end: %2")
                              .arg(fromBytes(source), fromBytes(error)));
    table_->setRowCount(static_cast<int>(events.size()));
    for (int row = 0; const store::Event& event : events) {
        const Standing marks = standingOf(event, events);
        const QStringList texts{QString::number(event.seq),
                                fromBytes(store::dayText(event.on)),
                                fromBytes(store::momentText(event.recordedAt)),
                                fromBytes(event.by),
                                fromBytes(store::nameOf(event.kind)),
                                eventFieldsText(event),
                                fromBytes(store::previousText(event)),
                                fromBytes(event.reason),
                                fromBytes(event.document),
                                marks.text};
        for (int column = 0; column < Column::count; ++column) {
            auto* item = new QTableWidgetItem(texts[column]);
            if (marks.voided) { // still shown: what was recorded is never hidden
                QFont font = item->font();
                font.setStrikeOut(true);
                item->setFont(font);
            } else if (!marks.text.isEmpty()) {
                QFont font = item->font();
                font.setItalic(true);
                item->setFont(font);
            }
            table_->setItem(row, column, item);
        }
        ++row;
    }
    fitColumns(*table_);
}

ChangesView::ChangesView(std::string location, std::optional<std::chrono::sys_seconds> knownAt,
                         std::chrono::year_month_day from, std::chrono::year_month_day to,
                         QWidget* parent)
    : QWidget(parent)
    , location_(std::move(location))
    , knownAt_(knownAt) {
    setObjectName(QStringLiteral("changesView"));
    setAccessibleName(tr("Changes between two days"));
    setWindowTitle(tr("Changes"));
    auto* layout = new QVBoxLayout(this);
    auto* days = new QHBoxLayout;
    layout->addLayout(days);
    fromBox_ = named(new QDateEdit(qDate(from), this), "changesFromBox", tr("From"));
    toBox_ = named(new QDateEdit(qDate(to), this), "changesToBox", tr("To"));
    for (auto [box, text] : {std::pair{fromBox_, tr("&From:")}, std::pair{toBox_, tr("&To:")}}) {
        box->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        box->setCalendarPopup(true);
        auto* label = new QLabel(text, this);
        label->setBuddy(box);
        days->addWidget(label);
        days->addWidget(box);
        connect(box, &QDateEdit::dateChanged, this, &ChangesView::fill);
    }
    days->addStretch(1);
    title_ = named(new QLabel(this), "changesTitle", tr("What the changes are"));
    layout->addWidget(title_);
    table_ = named(new QTableWidget(0, Column::count, this), "changesTable", tr("Changes"));
    table_->setHorizontalHeaderLabels({tr("Day"), tr("Source"), tr("Kind"), tr("Fields"), tr("Was"),
                                       tr("By"), tr("Reason"), tr("Document"), tr("Event")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table_, 1);
    setTabOrder(fromBox_, toBox_);
    setTabOrder(toBox_, table_);
    fill();
}

void ChangesView::setDays(std::chrono::year_month_day from, std::chrono::year_month_day to) {
    fromBox_->setDate(qDate(from));
    toBox_->setDate(qDate(to));
    fill();
}

void ChangesView::fill() {
    table_->setRowCount(0);
    const auto from = dayOf(fromBox_->date()), to = dayOf(toBox_->date());
    const store::Opening opening = store::openStore(location_, store::Access::read);
    if (!opening.store) {
        title_->setText(fromBytes(opening.error));
        return;
    }
    std::vector<store::Event> events;
    const auto cursor = opening.store->events({std::nullopt, knownAt_});
    while (const store::Event* event = cursor->next())
        if (event->on >= from && event->on <= to && isChange(event->kind))
            events.push_back(*event);
    std::ranges::stable_sort(events, {}, &store::Event::on);
    title_->setText(
        cursor->error().empty()
            ? tr("%n change(s) from %1 to %2", nullptr, static_cast<int>(events.size()))
                  .arg(fromBox_->date().toString(Qt::ISODate), toBox_->date().toString(Qt::ISODate))
            : tr("The register cannot be read to its end: %1").arg(fromBytes(cursor->error())));
    table_->setRowCount(static_cast<int>(events.size()));
    for (int row = 0; const store::Event& event : events) {
        const QStringList texts{fromBytes(store::dayText(event.on)),
                                fromBytes(event.source),
                                fromBytes(store::nameOf(event.kind)),
                                eventFieldsText(event),
                                fromBytes(store::previousText(event)),
                                fromBytes(event.by),
                                fromBytes(event.reason),
                                fromBytes(event.document),
                                QString::number(event.seq)};
        for (int column = 0; column < Column::count; ++column)
            table_->setItem(row, column, new QTableWidgetItem(texts[column]));
        ++row;
    }
    fitColumns(*table_);
}

} // namespace dovrin
