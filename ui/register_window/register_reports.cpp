#include "register_reports.h"

#include <algorithm>
#include <vector>

#include <QFileInfo>

#include "calendar.h"
#include "events.h"
#include "fold.h"
#include "history_pane.h"
#include "qt_text.h"
#include "run.h"

namespace dovrin {

namespace {

using store::Event;
using store::Field;
using store::Kind;

const QString programName = QStringLiteral("Dovrin Register " DOVRIN_VERSION);

QString cell(const QString& text) {
    return QStringLiteral("<td>%1</td>").arg(text.toHtmlEscaped());
}

QString headings(const QStringList& titles) {
    QString row = QStringLiteral("<thead><tr>");
    for (const QString& title : titles)
        row += QStringLiteral("<th align=\"left\">%1</th>").arg(title.toHtmlEscaped());
    return row + QStringLiteral("</tr></thead>");
}

QString tableStart() {
    return QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" "
                          "width=\"100%\" style=\"border-collapse: collapse\">");
}

// Who the source came from or went to, as the event gives it.
QString counterparty(const Event& event) {
    for (const Field field : {Field::receivedFrom, Field::to, Field::facility})
        if (!event[field].empty())
            return fromBytes(event[field]);
    return {};
}

bool isTransaction(Kind kind) {
    return kind == Kind::receive || kind == Kind::transfer || kind == Kind::dispose ||
           kind == Kind::lost || kind == Kind::stolen || kind == Kind::recovered ||
           kind == Kind::correct || kind == Kind::voided;
}

struct Read {
    std::unique_ptr<store::Store> store;
    std::optional<store::Head> head;
};

std::optional<Read> openRegister(const std::string& location,
                                 std::optional<std::chrono::sys_seconds> knownAt, QString& error) {
    store::Opening opening = store::openStore(location, store::Access::read);
    if (!opening.store) {
        error = fromBytes(opening.error);
        return std::nullopt;
    }
    Read read{std::move(opening.store), std::nullopt};
    read.head = read.store->head(knownAt);
    if (!read.head) {
        error = fromBytes(read.store->error());
        return std::nullopt;
    }
    return read;
}

Report frame(const std::string& location, const Read& read, const QString& title,
             const QString& running, std::optional<std::chrono::sys_seconds> knownAt,
             LocalTime made) {
    Report report;
    report.title = title;
    report.running =
        running + QObject::tr(", as recorded on %1")
                      .arg(knownAt ? fromBytes(store::momentText(*knownAt)) : QObject::tr("now"));
    report.madeBy = QObject::tr("Made %1 by %2 · %3")
                        .arg(fromBytes(store::momentText(universalTime(made))), programName,
                             fromBytes(registerHeadText(*read.head)));
    const store::Holder& holder = read.store->holder();
    QString holderText = fromBytes(holder.name);
    if (!holder.licence.empty())
        holderText += QObject::tr(", licence %1").arg(fromBytes(holder.licence));
    report.html = QStringLiteral("<html><body style=\"font-size: 8pt\"><h1>%1</h1>"
                                 "<p><b>%2</b> %3 · <b>%4</b> %5 · %6</p>")
                      .arg(title.toHtmlEscaped(), QObject::tr("File").toHtmlEscaped(),
                           shownName(QString::fromStdString(location)).toHtmlEscaped(),
                           QObject::tr("Holder").toHtmlEscaped(), holderText.toHtmlEscaped(),
                           fromBytes(registerHeadText(*read.head)).toHtmlEscaped());
    return report;
}

} // namespace

std::optional<Report> makeTransactionsReport(const std::string& location,
                                             std::chrono::year_month_day from,
                                             std::chrono::year_month_day to,
                                             std::optional<std::chrono::sys_seconds> knownAt,
                                             LocalTime made, QString& error) {
    const auto read = openRegister(location, knownAt, error);
    if (!read)
        return std::nullopt;
    std::vector<Event> events;
    const auto cursor = read->store->events({std::nullopt, knownAt});
    while (const Event* event = cursor->next())
        if (event->on >= from && event->on <= to && isTransaction(event->kind))
            events.push_back(*event);
    if (!cursor->error().empty()) {
        error = fromBytes(cursor->error());
        return std::nullopt;
    }
    std::ranges::stable_sort(events, {}, &Event::on);
    const QString period =
        QObject::tr("%1 to %2").arg(fromBytes(store::dayText(from)), fromBytes(store::dayText(to)));
    Report report = frame(location, *read, QObject::tr("Transactions %1").arg(period),
                          QObject::tr("Transactions %1").arg(period), knownAt, made);
    report.html +=
        tableStart() + headings({QObject::tr("Day"), QObject::tr("Source"), QObject::tr("Kind"),
                                 QObject::tr("Counterparty"), QObject::tr("Licence"),
                                 QObject::tr("Document"), QObject::tr("Details"), QObject::tr("By"),
                                 QObject::tr("Reason"), QObject::tr("Event")});
    for (const Event& event : events)
        report.html +=
            QStringLiteral("<tr>") + cell(fromBytes(store::dayText(event.on))) +
            cell(fromBytes(event.source)) + cell(fromBytes(store::nameOf(event.kind))) +
            cell(counterparty(event)) + cell(fromBytes(event[Field::licence])) +
            cell(fromBytes(event.document)) +
            cell(event.kind == Kind::correct
                     ? eventFieldsText(event) +
                           QObject::tr(" (was: %1)").arg(fromBytes(store::previousText(event)))
                 : event.target != 0 ? QObject::tr("event %1").arg(event.target)
                                     : eventFieldsText(event)) +
            cell(fromBytes(event.by)) + cell(fromBytes(event.reason)) +
            cell(QString::number(event.seq)) + QStringLiteral("</tr>");
    report.html += QStringLiteral("</table>");
    if (events.empty())
        report.html += QObject::tr("<p>No transaction in this period.</p>");
    report.html += QStringLiteral("</body></html>");
    return report;
}

std::optional<Report> makeSourceRecord(const std::string& location, const std::string& source,
                                       std::optional<std::chrono::sys_seconds> knownAt,
                                       LocalTime made, QString& error) {
    const auto read = openRegister(location, knownAt, error);
    if (!read)
        return std::nullopt;
    std::vector<Event> events;
    std::string why;
    if (!store::readAll(*read->store->events({source, knownAt}), events, why) || events.empty()) {
        error = why.empty() ? QObject::tr("no source '%1' in the register").arg(fromBytes(source))
                            : fromBytes(why);
        return std::nullopt;
    }
    store::SourceState state;
    store::foldSource(events, std::nullopt, state);
    const QString title = QObject::tr("Record of source %1").arg(fromBytes(source));
    Report report = frame(location, *read, title, title, knownAt, made);
    report.html += QObject::tr("<h2>As it stands</h2>") + tableStart();
    report.html += QStringLiteral("<tr>") + cell(QObject::tr("In custody")) +
                   cell(state.held ? QObject::tr("yes") : QObject::tr("no")) +
                   QStringLiteral("</tr>");
    for (const Field field : store::sourceFields()) {
        const std::string& value = state.values[static_cast<std::size_t>(field)];
        if (!value.empty())
            report.html += QStringLiteral("<tr>") + cell(fromBytes(store::nameOf(field))) +
                           cell(fromBytes(value)) + QStringLiteral("</tr>");
    }
    report.html +=
        QStringLiteral("</table>") + QObject::tr("<h2>Every event, oldest first</h2>") +
        tableStart() +
        headings({QObject::tr("Event"), QObject::tr("Day"), QObject::tr("Recorded (UTC)"),
                  QObject::tr("By"), QObject::tr("Kind"), QObject::tr("Fields"), QObject::tr("Was"),
                  QObject::tr("Reason"), QObject::tr("Document"), QObject::tr("Names event")});
    for (const Event& event : events)
        report.html += QStringLiteral("<tr>") + cell(QString::number(event.seq)) +
                       cell(fromBytes(store::dayText(event.on))) +
                       cell(fromBytes(store::momentText(event.recordedAt))) +
                       cell(fromBytes(event.by)) + cell(fromBytes(store::nameOf(event.kind))) +
                       cell(eventFieldsText(event)) + cell(fromBytes(store::previousText(event))) +
                       cell(fromBytes(event.reason)) + cell(fromBytes(event.document)) +
                       cell(event.target ? QString::number(event.target) : QString()) +
                       QStringLiteral("</tr>");
    report.html += QStringLiteral("</table></body></html>");
    return report;
}

} // namespace dovrin
