#include "history_pane.h"

#include <vector>

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "events.h"
#include "qt_text.h"

namespace dovrin {

namespace {

// "name=value; ..." of the fields the event gives.
std::string fieldsText(const store::Event& event) {
    std::string text;
    for (std::size_t i = 0; i < store::fieldNames.size(); ++i)
        if (!event.values[i].empty())
            text += (text.empty() ? "" : "; ") + std::string(store::fieldNames[i]) + "=" +
                    event.values[i];
    return text;
}

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

} // namespace

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
    const auto cursor = opening.store->events({source, knownAt});
    while (const store::Event* event = cursor->next())
        events.push_back(*event);
    title_->setText(cursor->error().empty()
                        ? tr("History of %1").arg(fromBytes(source))
                        : tr("History of %1 cannot be read to its end: %2")
                              .arg(fromBytes(source), fromBytes(cursor->error())));
    table_->setRowCount(static_cast<int>(events.size()));
    for (int row = 0; const store::Event& event : events) {
        const Standing marks = standingOf(event, events);
        const QStringList texts{QString::number(event.seq),
                                fromBytes(store::dayText(event.on)),
                                fromBytes(store::momentText(event.recordedAt)),
                                fromBytes(event.by),
                                fromBytes(store::nameOf(event.kind)),
                                fromBytes(fieldsText(event)),
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
    table_->resizeColumnsToContents();
}

} // namespace dovrin
