#include "report.h"

#include <array>

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>

#include "output.h"
#include "qt_text.h"
#include "run.h"
#include "sources_model.h"

namespace dovrin {

namespace {

QString isoMoment(LocalTime moment) {
    using namespace std::chrono;
    const auto day = floor<days>(moment);
    const year_month_day date{day};
    const hh_mm_ss time{floor<minutes>(moment - day)};
    QString text = QStringLiteral("%1-%2-%3")
                       .arg(static_cast<int>(date.year()), 4, 10, QChar(u'0'))
                       .arg(unsigned(date.month()), 2, 10, QChar(u'0'))
                       .arg(unsigned(date.day()), 2, 10, QChar(u'0'));
    if (time.hours().count() != 0 || time.minutes().count() != 0)
        text += QStringLiteral(" %1:%2")
                    .arg(time.hours().count(), 2, 10, QChar(u'0'))
                    .arg(time.minutes().count(), 2, 10, QChar(u'0'));
    return text;
}

QString cell(const QString& text, std::string_view category = {}) {
    if (category.empty())
        return QStringLiteral("<td>%1</td>").arg(text);
    return QStringLiteral("<td bgcolor=\"%1\">%2</td>").arg(categoryColour(category).name(), text);
}

// The heading row of a table.
QString headings(std::initializer_list<const char*> names) {
    QString row = QStringLiteral("<tr>");
    for (const char* name : names)
        row += QStringLiteral("<th align=\"left\">%1</th>").arg(QString::fromUtf8(name));
    return row + QStringLiteral("</tr>");
}

const QString tableStart =
    QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\">");

} // namespace

QString reportHtml(const SourcesModel& sources, const QString& path) {
    const InventoryTexts& texts = *sources.texts();
    const InventoryResults& results = *sources.results();
    const QLocale locale;
    QString html = QStringLiteral("<html><body style=\"font-size:9pt\">");
    html += QStringLiteral("<h2>Inventory of sealed sources: security categories</h2>");
    html +=
        QStringLiteral("<p>Inventory: %1<br>As of: %2<br>Sources: %3, of which %4 with "
                       "errors</p>")
            .arg(QDir::toNativeSeparators(path).toHtmlEscaped(), isoMoment(results.evaluation.asOf),
                 locale.toString(static_cast<qulonglong>(results.rows.size())),
                 locale.toString(static_cast<qulonglong>(results.errors)));

    // Sources per category, by the category table and by A/D.
    std::array<qulonglong, categoryLabels.size() + 1> byTable{}, byAOverD{};
    const auto place = [](LabelCode code) {
        const std::string_view label = labelText(code);
        std::size_t index = 0;
        while (index < categoryLabels.size() && categoryLabels[index] != label)
            ++index;
        return index;
    };
    for (const StoredResult& result : results.rows)
        if (result.categorised) {
            ++byTable[place(result.currentCategory)];
            ++byAOverD[place(result.categoryByAOverD)];
        }
    html += QStringLiteral("<h3>Sources per category</h3>") + tableStart +
            headings({"Category", "By the category table (current activity)", "By A/D"});
    for (std::size_t index = 0; index <= categoryLabels.size(); ++index) {
        const std::string_view label =
            index < categoryLabels.size() ? categoryLabels[index] : std::string_view{};
        html +=
            QStringLiteral("<tr>") +
            cell(label.empty() ? QStringLiteral("none (no bands)") : htmlFromBytes(label), label) +
            cell(locale.toString(byTable[index])) + cell(locale.toString(byAOverD[index])) +
            QStringLiteral("</tr>");
    }
    html += QStringLiteral("</table>");

    html += QStringLiteral("<h3>Locations</h3><p>The sum of A/D of the sources kept at each "
                           "location, and its category; ▲ marks a location where keeping the "
                           "sources together raises the category above each one alone.</p>") +
            tableStart +
            headings({"Location", "Sources", "With errors", "Sum of A/D", "Category of the sum",
                      "Most severe single", "Raised"});
    for (const LocationTotal& total : results.locations) {
        std::array<char, 32> space{};
        const bool raised = total.raisedByAggregation();
        html +=
            QStringLiteral("<tr>") +
            cell(total.location.empty() ? QStringLiteral("(no location)")
                                        : htmlFromBytes(total.location)) +
            cell(locale.toString(static_cast<qulonglong>(total.sources))) +
            cell(locale.toString(static_cast<qulonglong>(total.sourcesWithErrors))) +
            cell(htmlFromBytes(numberField(total.sumAOverD, space))) +
            cell(htmlFromBytes(total.categoryByAOverD()), total.categoryByAOverD()) +
            cell(htmlFromBytes(total.mostSevereSingleCategory), total.mostSevereSingleCategory) +
            cell(raised ? QStringLiteral("<b>▲ raised</b>") : QString()) + QStringLiteral("</tr>");
    }
    html += QStringLiteral("</table>");

    // The sources of categories 1 to 3 by A/D first, then all the others, error rows among them,
    // each list in the inventory's order.
    const int inputs = static_cast<int>(sources.inputColumns());
    const auto resultCell = [&](std::size_t row, ResultColumn column) {
        const std::string text = sources.cellText(row, inputs + static_cast<int>(indexOf(column)));
        const bool coloured = resultColumnTable[indexOf(column)].kind == ResultKind::category;
        return cell(htmlFromBytes(text), coloured ? std::string_view(text) : std::string_view{});
    };
    const auto inputCell = [&](std::size_t row, Column column) {
        const auto index = texts.columns[column];
        return cell(index ? htmlFromBytes(texts.fields(row)[*index]) : QString());
    };
    const auto sourceRow = [&](std::size_t row) {
        return QStringLiteral("<tr>") + cell(locale.toString(static_cast<qulonglong>(row + 2))) +
               inputCell(row, Column::id) + inputCell(row, Column::location) +
               inputCell(row, Column::radionuclide) +
               resultCell(row, ResultColumn::currentActivityTBq) +
               resultCell(row, ResultColumn::aOverD) +
               resultCell(row, ResultColumn::categoryByAOverD) +
               resultCell(row, ResultColumn::currentCategory) +
               resultCell(row, ResultColumn::nextCategory) +
               resultCell(row, ResultColumn::nextChangeOn) + resultCell(row, ResultColumn::note) +
               QStringLiteral("</tr>");
    };
    const auto sourceHeadings = headings(
        {"Row", "Id", "Location", "Radionuclide", "Current activity (TBq)", "A/D",
         "Category by A/D", "Current category", "Next category", "Next change on", "Note"});
    const auto severe = [&](const StoredResult& result) {
        const std::string_view label = labelText(result.categoryByAOverD);
        return result.categorised && !moreSevere("3", label);
    };
    html += QStringLiteral("<h3>Sources of categories 1 to 3 by A/D</h3>") + tableStart +
            sourceHeadings;
    // The rows of one kind, at most mostSourcesListed of them, and how many more there are.
    const auto listRows = [&](bool ofSevere) {
        int listed = 0;
        qulonglong unlisted = 0;
        for (std::size_t row = 0; row < results.rows.size(); ++row) {
            if (severe(results.rows[row]) != ofSevere)
                continue;
            if (listed++ < mostSourcesListed)
                html += sourceRow(row);
            else
                ++unlisted;
        }
        html += QStringLiteral("</table>");
        if (unlisted > 0)
            html += QStringLiteral("<p>%1 more are not listed here; the CSV export holds every "
                                   "source.</p>")
                        .arg(locale.toString(unlisted));
    };
    listRows(true);
    html += QStringLiteral("<h3>The other sources</h3>") + tableStart + sourceHeadings;
    listRows(false);
    return html + QStringLiteral("</body></html>");
}

void printReport(const QString& html, QPagedPaintDevice& device) {
    QTextDocument document;
    document.setHtml(html);
    document.print(&device);
}

QString writeReportPdf(const QString& html, const QString& title, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    {
        QPdfWriter writer(&file);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Dovrin Register"));
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageOrientation(QPageLayout::Landscape);
        writer.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
        printReport(html, writer);
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

} // namespace dovrin
