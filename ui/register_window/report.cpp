#include "report.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <functional>
#include <limits>
#include <numeric>
#include <optional>

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QDate>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextTable>
#include <QUrl>

#include "activity_units.h"
#include "charts.h"
#include "locations_model.h"
#include "output.h"
#include "qt_text.h"
#include "sources_model.h"

namespace dovrin {

namespace {

const QString programName = QStringLiteral("Dovrin Register " DOVRIN_VERSION);
const QString reportTitle = QStringLiteral("Security categories of sealed radioactive sources");
const QChar noBreak(0x00a0);
constexpr qreal pageMargin = 12; // millimetres on every side

QString text(const char* english) {
    return QCoreApplication::translate("Report", english);
}

QString isoMoment(LocalTime moment, bool withTime) {
    using namespace std::chrono;
    const auto day = floor<days>(moment);
    const hh_mm_ss time{floor<minutes>(moment - day)};
    QString written = qDate(year_month_day{day}).toString(Qt::ISODate);
    if (withTime || time.hours().count() != 0 || time.minutes().count() != 0)
        written += QStringLiteral(" %1:%2")
                       .arg(time.hours().count(), 2, 10, QChar(u'0'))
                       .arg(time.minutes().count(), 2, 10, QChar(u'0'));
    return written;
}

// A positive value rounded to three significant digits: the digits, and the power of ten for
// which the first stands.
struct Rounded {
    std::array<char, 3> digits;
    int power;
};

std::optional<Rounded> rounded(double value) {
    if (!(value > 0) || !std::isfinite(value))
        return std::nullopt;
    std::array<char, 32> written{}; // "6.43e+01"
    const auto end = std::to_chars(written.data(), written.data() + written.size(), value,
                                   std::chars_format::scientific, 2)
                         .ptr;
    const char* exponent = std::find(written.data(), end, 'e') + 1;
    if (*exponent == '+')
        ++exponent;
    Rounded result{{written[0], written[2], written[3]}, 0};
    std::from_chars(exponent, end, result.power);
    return result;
}

// The digits written out with the first standing for 10^power, "64.3", "0.0643", "6430", from
// 10^-5 to 10^5; beyond, with a power of ten, "6.43×10⁻⁷".
QString decimal(const Rounded& value, int power) {
    const QString digits = QString::fromLatin1(value.digits.data(), 3);
    if (power > 5 || power < -5) {
        static const QString superscripts = QStringLiteral("⁰¹²³⁴⁵⁶⁷⁸⁹");
        QString exponent = power < 0 ? QStringLiteral("⁻") : QString();
        for (const QChar digit : QString::number(std::abs(power)))
            exponent += superscripts[digit.digitValue()];
        return digits.left(1) + u'.' + digits.mid(1) + QStringLiteral("×10") + exponent;
    }
    if (power >= 2)
        return digits + QString(power - 2, u'0');
    if (power >= 0)
        return digits.left(power + 1) + u'.' + digits.mid(power + 1);
    return QStringLiteral("0.") + QString(-power - 1, u'0') + digits;
}

// The power of ten of a unit of becquerel.
int powerOf(const ActivityUnit& unit) {
    return static_cast<int>(std::lround(std::log10(unit.sizeInBq)));
}

const ActivityUnit& unitNamed(std::string_view name) {
    return *std::ranges::find(activityUnits, name, &ActivityUnit::name);
}

} // namespace

QString threeDigits(double value) {
    if (value == 0)
        return QStringLiteral("0");
    if (value < 0)
        return u'-' + threeDigits(-value);
    const auto digits = rounded(value);
    return digits ? decimal(*digits, digits->power) : QString();
}

QString activityText(double tbq) {
    const ActivityUnit& terabecquerel = unitNamed("TBq");
    const auto digits = rounded(tbq);
    if (!digits)
        return threeDigits(tbq) + noBreak + fromBytes(terabecquerel.name);
    // The largest unit of becquerel that the value reaches, Bq for less than one.
    const int power = digits->power + powerOf(terabecquerel);
    const ActivityUnit* unit = &unitNamed("Bq");
    for (const ActivityUnit& candidate : activityUnits)
        if (candidate.name.ends_with("Bq") && powerOf(candidate) <= power &&
            powerOf(candidate) > powerOf(*unit))
            unit = &candidate;
    return decimal(*digits, power - powerOf(*unit)) + noBreak + fromBytes(unit->name);
}

QPageSize reportPageSize(const QLocale& locale) {
    // The territories whose paper for business letters is US Letter, as Unicode Technical
    // Standard #35 (version 42), Supplemental, "Measurement System Data", lists them:
    // BZ CA CL CO CR GT MX NI PA PH PR SV US VE; A4 is the paper of the rest of the world.
    static constexpr std::array letterTerritories{
        QLocale::Belize,       QLocale::Canada,      QLocale::Chile,      QLocale::Colombia,
        QLocale::CostaRica,    QLocale::Guatemala,   QLocale::Mexico,     QLocale::Nicaragua,
        QLocale::Panama,       QLocale::Philippines, QLocale::PuertoRico, QLocale::ElSalvador,
        QLocale::UnitedStates, QLocale::Venezuela};
    return QPageSize(std::ranges::find(letterTerritories, locale.territory()) !=
                             letterTerritories.end()
                         ? QPageSize::Letter
                         : QPageSize::A4);
}

namespace {

// What every section reads: the inventory, its results, and its sources of categories 1 to 3
// by A/D apart from the others, each list in the inventory's order.
struct ReportInputs {
    const SourcesModel& sources;
    const InventoryResults& results;
    QString path;
    LocalTime made;
    QLocale locale;
    std::vector<int> hiddenLocationColumns;
    std::vector<std::size_t> severe, others;
    qreal width = 0; // of the page within its margins, in points
};

QString count(const ReportInputs& in, std::size_t number) {
    return in.locale.toString(static_cast<qulonglong>(number));
}

// The number of the table's row in the file, as a spreadsheet numbers it.
QString fileRow(const ReportInputs& in, std::size_t row) {
    return in.locale.toString(static_cast<qulonglong>(in.sources.texts()->fileRow(row)));
}

// A column's heading on one line, broken only between its words.
QString headingOf(const QAbstractItemModel& model, int column) {
    return model.headerData(column, Qt::Horizontal).toString().replace(u'\n', u' ');
}

// Whether a column of the model holds numbers, aligned to the right.
bool alignedRight(const QAbstractItemModel& model, int column) {
    const QVariant alignment = model.headerData(column, Qt::Horizontal, Qt::TextAlignmentRole);
    const QModelIndex first = model.index(0, column);
    const QVariant cells = first.isValid() ? first.data(Qt::TextAlignmentRole) : QVariant();
    return (alignment.isValid() && (alignment.value<Qt::Alignment>() & Qt::AlignRight)) ||
           (cells.isValid() && (cells.value<Qt::Alignment>() & Qt::AlignRight)) ||
           (first.isValid() && first.data(numberRole).isValid());
}

// A cell of a table: its text, whether it is never broken (a number with its unit), where it
// is aligned and its colour.
struct Cell {
    QString text;
    bool whole = false;
    bool right = false;
    QString colour; // a colour's name, or none
};

// A cell as the window's table shows it, in its colour; a number in the report's form,
// right-aligned and never broken.
Cell cellOf(const QModelIndex& index, const std::function<QString(double)>& numberText) {
    const QVariant number = index.data(numberRole);
    const QVariant alignment = index.data(Qt::TextAlignmentRole);
    Cell cell;
    cell.right = number.isValid() ||
                 (alignment.isValid() && (alignment.value<Qt::Alignment>() & Qt::AlignRight));
    cell.whole = cell.right;
    cell.text = number.isValid() ? numberText(number.toDouble()) : index.data().toString();
    if (const QVariant colour = index.data(Qt::BackgroundRole); colour.canConvert<QColor>())
        cell.colour = colour.value<QColor>().name();
    return cell;
}

// A table of the report: its headings, its rows, and under each row a note across it. Its
// first keys columns name the row.
struct Table {
    QStringList headings;
    std::vector<bool> right;
    std::size_t keys = 0;
    std::vector<std::vector<Cell>> rows;
    std::vector<QString> notes; // none, or one for each row
};

const QString tableStart = QStringLiteral(
    "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%%\" style=\"font-size: "
    "%1pt\">");

// The room a text takes in points at a font size, measured as on a printer's page.
qreal pointsOf(const QString& words, qreal size, bool bold) {
    static const QImage page = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        image.setDotsPerMeterX(47244); // 1200 dots per inch, as QPdfWriter draws
        image.setDotsPerMeterY(47244);
        return image;
    }();
    QFont font = QGuiApplication::font();
    font.setPointSizeF(size);
    font.setBold(bold);
    return QFontMetricsF(font, &page).horizontalAdvance(words) * 72 / 1200;
}

// The narrowest each column's texts can be at a font size without breaking a word or a whole
// cell, and the widest they need to break nothing, in points. Beside its text a cell has its
// padding, 3 CSS pixels on either side, which the width Qt gives a column includes, and its
// borders, a pixel on either side, which Qt adds to that width.
struct ColumnRoom {
    qreal narrowest = 0, widest = 0;
};
constexpr qreal cellPadding = 2 * 3 * 72.0 / 96;
constexpr qreal cellEdges = cellPadding + 2 * 72.0 / 96;

std::vector<ColumnRoom> roomOf(const Table& table, const std::vector<std::size_t>& columns,
                               qreal size) {
    std::vector<ColumnRoom> rooms;
    for (const std::size_t column : columns) {
        ColumnRoom room;
        const QString& heading = table.headings[static_cast<qsizetype>(column)];
        room.widest = pointsOf(heading, size, true);
        for (const QString& word : heading.split(u' '))
            room.narrowest = std::max(room.narrowest, pointsOf(word, size, true));
        for (const auto& row : table.rows) {
            const Cell& cell = row[column];
            room.widest = std::max(room.widest, pointsOf(cell.text, size, false));
            const QStringList words = cell.whole ? QStringList{cell.text} : cell.text.split(u' ');
            for (const QString& word : words)
                room.narrowest = std::max(room.narrowest, pointsOf(word, size, false));
        }
        // A point and a half more, lest the rounding of Qt's layout break the longest word.
        rooms.push_back({room.narrowest + 1.5, room.widest + 1.5});
    }
    return rooms;
}

// The narrowest the whole table can be, its columns' edges and the table's border included.
qreal narrowest(const std::vector<ColumnRoom>& rooms) {
    return std::accumulate(
        rooms.begin(), rooms.end(), qreal{0},
        [](qreal sum, const ColumnRoom& room) { return sum + room.narrowest + cellEdges; });
}

// The width of each column in CSS pixels, its padding and border included: its narrowest and a
// part of the rest of the page's width as large as the room it would take beyond that, so that
// no column is narrower than its longest word. (Qt's own sharing of a wide table's width breaks
// words before it must; it keeps a column's width when given one.) A few points are kept spare
// for the table's own border.
std::vector<qreal> columnWidths(const std::vector<ColumnRoom>& rooms, qreal width) {
    constexpr qreal spareForBorder = 4;
    const qreal texts = width - spareForBorder - cellEdges * static_cast<qreal>(rooms.size());
    qreal least = 0, beyond = 0;
    for (const ColumnRoom& room : rooms) {
        least += room.narrowest;
        beyond += room.widest - room.narrowest;
    }
    const qreal spare = std::max<qreal>(0, texts - least);
    std::vector<qreal> widths;
    for (const ColumnRoom& room : rooms) {
        const qreal extra = beyond > 0 ? spare * (room.widest - room.narrowest) / beyond
                                       : spare / static_cast<qreal>(rooms.size());
        widths.push_back((room.narrowest + extra + cellPadding) * 96 / 72);
    }
    return widths;
}

// The table with the columns listed at a font size, each column of its width; the headings
// repeat at the top of each page it runs onto.
QString tableHtml(const Table& table, const std::vector<std::size_t>& columns, qreal size,
                  qreal width) {
    const std::vector<qreal> widths = columnWidths(roomOf(table, columns, size), width);
    QString html = tableStart.arg(size) + QStringLiteral("<thead><tr>");
    for (std::size_t place = 0; place < columns.size(); ++place) {
        const std::size_t column = columns[place];
        html += QStringLiteral("<th align=\"%1\" valign=\"bottom\" width=\"%2\">%3</th>")
                    .arg(table.right[column] ? QStringLiteral("right") : QStringLiteral("left"))
                    .arg(widths[place], 0, 'f', 1)
                    .arg(table.headings[static_cast<qsizetype>(column)].toHtmlEscaped());
    }
    html += QStringLiteral("</tr></thead>");
    for (std::size_t row = 0; row < table.rows.size(); ++row) {
        html += QStringLiteral("<tr>");
        for (const std::size_t column : columns) {
            const Cell& cell = table.rows[row][column];
            html +=
                QStringLiteral("<td%1%2%3>%4</td>")
                    .arg(cell.right ? QStringLiteral(" align=\"right\"") : QString(),
                         cell.whole ? QStringLiteral(" style=\"white-space: nowrap\"") : QString(),
                         cell.colour.isEmpty() ? QString()
                                               : QStringLiteral(" bgcolor=\"%1\"").arg(cell.colour),
                         cell.text.toHtmlEscaped());
        }
        html += QStringLiteral("</tr>");
        if (!table.notes.empty() && !table.notes[row].isEmpty())
            html += QStringLiteral("<tr><td></td><td colspan=\"%1\"><i>%2</i></td></tr>")
                        .arg(columns.size() - 1)
                        .arg(table.notes[row].toHtmlEscaped());
    }
    return html + QStringLiteral("</table>");
}

// The table as wide as the page's width in points: at the largest font size at which no word
// is broken; if none, its columns after the keys shared among as few parts as keep each whole,
// each part with the keys, one under the other.
QString fittedTable(const Table& table, qreal width) {
    std::vector<std::size_t> all(static_cast<std::size_t>(table.headings.size()));
    std::iota(all.begin(), all.end(), std::size_t{0});
    static constexpr std::array sizes{8.0, 7.5, 7.0, 6.5};
    for (const qreal size : sizes)
        if (narrowest(roomOf(table, all, size)) <= width)
            return tableHtml(table, all, size, width);
    const std::size_t others = all.size() - table.keys;
    for (std::size_t parts = 2; parts <= others; ++parts) {
        std::vector<std::vector<std::size_t>> columns(parts);
        for (std::size_t part = 0; part < parts; ++part) {
            columns[part].assign(all.begin(), all.begin() + static_cast<long>(table.keys));
            for (std::size_t other = others * part / parts; other < others * (part + 1) / parts;
                 ++other)
                columns[part].push_back(table.keys + other);
        }
        if (std::ranges::all_of(columns, [&](const auto& part) {
                return narrowest(roomOf(table, part, sizes.back())) <= width;
            })) {
            QString html;
            for (const auto& part : columns)
                html += tableHtml(table, part, sizes.back(), width) + QStringLiteral("<p></p>");
            return html;
        }
    }
    return tableHtml(table, all, sizes.back(), width); // a column too wide alone for the page
}

// A picture for the text, under a name of its own.
QString addPicture(Report& report, const QImage& picture, QSize shown) {
    const QString name = QStringLiteral("picture:%1").arg(report.pictures.size());
    report.pictures.emplace_back(name, picture);
    return QStringLiteral("<img src=\"%1\" width=\"%2\" height=\"%3\">")
        .arg(name)
        .arg(shown.width())
        .arg(shown.height());
}

// Of a kept register: the moment it is shown as recorded at, and its last event then.
template <class Row> QString registerRows(const ReportInputs& in, const Row& row) {
    const InventoryTexts& texts = *in.sources.texts();
    if (texts.registerHead.empty())
        return {};
    return row("As recorded on", QString::fromStdString(texts.knownAt)) +
           row("Register", QString::fromStdString(texts.registerHead));
}

QString titleSection(const ReportInputs& in) {
    const auto row = [](const char* label, const QString& value) {
        return QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>")
            .arg(text(label), value.toHtmlEscaped());
    };
    return QStringLiteral("<h1>%1</h1><table cellspacing=\"0\" cellpadding=\"2\">")
               .arg(reportTitle) +
           row("Inventory", shownName(in.path)) +
           row("As of", isoMoment(in.results.evaluation.asOf, false)) + registerRows(in, row) +
           row("Sources",
               text("%1, of which %2 with errors")
                   .arg(count(in, in.results.rows.size()), count(in, in.results.errors))) +
           row("Made", text("%1 by %2").arg(isoMoment(in.made, true), programName)) +
           QStringLiteral("</table>");
}

// One duty of a source that falls due soon.
struct DueDuty {
    std::int32_t day; // days since 1970-01-01
    std::size_t row;
    const char* duty;
    DueStatus status;
};

// The duties overdue or due within dueSoonDays of the as-of day, the earliest first.
std::vector<DueDuty> dutiesDueSoon(const InventoryResults& results) {
    std::vector<DueDuty> due;
    for (std::size_t row = 0; row < results.rows.size(); ++row) {
        const StoredDuties& duties = results.rows[row].duties;
        const StoredDueStatuses& statuses = results.rows[row].dueStatuses;
        const auto add = [&](std::int32_t day, StatusCode status, const char* duty) {
            const auto known = static_cast<DueStatus>(status);
            if (day != noDueDay && known != DueStatus::notDue)
                due.push_back({day, row, duty, known});
        };
        if (!duties.leakTestExemption) // an exempt source owes no leak test
            add(duties.leakTestDay, statuses.leakTest, "Leak test");
        add(duties.inventoryDay, statuses.inventory, "Inventory");
        add(duties.workingLifeEndDay, statuses.workingLifeEnd, "End of working life");
    }
    std::ranges::stable_sort(due, {}, &DueDuty::day);
    return due;
}

QString dueSection(const ReportInputs& in) {
    QString html = QStringLiteral("<h2>%1</h2>").arg(text("Due within 30 days"));
    const std::vector<DueDuty> due = dutiesDueSoon(in.results);
    if (due.empty())
        return html + QStringLiteral("<p>%1</p>").arg(text("None."));
    const auto cell = [&in](std::size_t row, Column column) {
        const auto index = in.sources.texts()->columns[column];
        Cell found;
        if (index)
            found.text =
                in.sources.index(static_cast<int>(row), static_cast<int>(*index)).data().toString();
        return found;
    };
    const auto plain = [](const QString& words, bool right = false) {
        Cell made;
        made.text = words;
        made.right = right;
        made.whole = true;
        return made;
    };
    Table table;
    table.keys = 1;
    table.headings << text("Row") << text("Id") << text("Location") << text("Radionuclide")
                   << text("Duty") << text("Due") << text("Status");
    table.right = {true, false, false, false, false, false, false};
    const std::size_t listed = std::min<std::size_t>(due.size(), mostSourcesListed);
    const QDate epoch(1970, 1, 1);
    for (std::size_t item = 0; item < listed; ++item) {
        const DueDuty& duty = due[item];
        table.rows.push_back({plain(fileRow(in, duty.row), true), cell(duty.row, Column::id),
                              cell(duty.row, Column::location),
                              cell(duty.row, Column::radionuclide), plain(text(duty.duty)),
                              plain(epoch.addDays(duty.day).toString(Qt::ISODate)),
                              plain(fromBytes(statusText(duty.status)))});
    }
    html += fittedTable(table, in.width);
    if (listed < due.size())
        html += QStringLiteral("<p>%1</p>")
                    .arg(text("%1 more are not listed here; the CSV export holds every due date.")
                             .arg(count(in, due.size() - listed)));
    return html;
}

QString categoriesSection(const ReportInputs& in) {
    std::array<std::size_t, categoryLabels.size() + 1> byTable{}, byAOverD{};
    const auto place = [](LabelCode code) {
        const std::string_view label = labelText(code);
        return static_cast<std::size_t>(std::ranges::find(categoryLabels, label) -
                                        categoryLabels.begin());
    };
    for (const StoredResult& result : in.results.rows)
        if (result.categorised) {
            ++byTable[place(result.currentCategory)];
            ++byAOverD[place(result.categoryByAOverD)];
        }
    QString html = QStringLiteral("<h2>%1</h2>").arg(text("Sources per category")) +
                   QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">"
                                  "<thead><tr><th align=\"left\">%1</th><th align=\"right\">%2</th>"
                                  "<th align=\"right\">%3</th></tr></thead>")
                       .arg(text("Category"), text("By the category table (current activity)"),
                            text("By A/D"));
    for (std::size_t index = 0; index <= categoryLabels.size(); ++index) {
        const std::string_view label =
            index < categoryLabels.size() ? categoryLabels[index] : std::string_view{};
        html += QStringLiteral("<tr><td%1>%2</td><td align=\"right\">%3</td>"
                               "<td align=\"right\">%4</td></tr>")
                    .arg(label.empty()
                             ? QString()
                             : QStringLiteral(" bgcolor=\"%1\"").arg(categoryColour(label).name()),
                         label.empty() ? text("none (no bands)") : htmlFromBytes(label),
                         count(in, byTable[index]), count(in, byAOverD[index]));
    }
    return html + QStringLiteral("</table>");
}

// The columns the window's locations table shows, and the picture of the highest sums.
QString locationsSection(const ReportInputs& in, Report& report) {
    QString html = QStringLiteral("<h2>%1</h2><p>%2</p>")
                       .arg(text("Locations"),
                            text("The sum of A/D of the sources kept at each location, and its "
                                 "category; ▲ marks a location where keeping the sources "
                                 "together raises the category above each one alone."));
    LocationsModel locations;
    locations.setLocations(in.results.locations);
    std::vector<int> columns;
    for (int column = 0; column < locations.columnCount(); ++column)
        if (std::ranges::find(in.hiddenLocationColumns, column) == in.hiddenLocationColumns.end())
            columns.push_back(column);
    Table table;
    table.keys = 1;
    for (const int column : columns) {
        table.headings << headingOf(locations, column);
        table.right.push_back(alignedRight(locations, column));
    }
    for (int row = 0; row < locations.rowCount(); ++row) {
        table.rows.emplace_back();
        for (const int column : columns)
            table.rows.back().push_back(cellOf(locations.index(row, column), threeDigits));
    }
    html += fittedTable(table, in.width);
    if (locations.rowCount() == 0)
        return html;
    LocationsChart chart;
    chart.showLocations(in.results.locations);
    // As tall as its bars need, at most a page's height.
    const QSize size(900, std::min(LocationsChart::heightFor(std::min(in.results.locations.size(),
                                                                      LocationsChart::mostBars),
                                                             chart.font()),
                                   560));
    return html + QStringLiteral("<p>") + addPicture(report, chartPicture(chart, size), size) +
           QStringLiteral("</p>");
}

// Whether a column of the sources table holds activities, which the report writes with their
// unit of becquerel.
bool holdsActivities(const SourcesModel& sources, int column) {
    const auto result = sources.resultColumn(column);
    return result && (resultColumnTable[*result].column == ResultColumn::activityTBq ||
                      resultColumnTable[*result].column == ResultColumn::currentActivityTBq);
}

// The sources of rows in a table: the row, the source's id, location and radionuclide, and
// every result the window's table shows but the note, which is written under the row; a column
// empty in every row, such as a duty the inventory does not record, is left out.
QString sourcesTable(const ReportInputs& in, const std::vector<std::size_t>& rows) {
    const SourcesModel& sources = in.sources;
    std::vector<int> columns;
    for (const Column input : {Column::id, Column::location, Column::radionuclide})
        if (const auto index = sources.texts()->columns[input])
            columns.push_back(static_cast<int>(*index));
    const auto inputs = static_cast<int>(sources.inputColumns());
    const int note = inputs + static_cast<int>(indexOf(ResultColumn::note));
    const auto filled = [&](int column) {
        return std::ranges::any_of(rows, [&](std::size_t row) {
            return !sources.index(static_cast<int>(row), column).data().toString().isEmpty();
        });
    };
    const auto inputsListed = static_cast<long>(columns.size());
    for (int column = inputs; column < sources.columnCount(); ++column)
        if (column != note && filled(column))
            columns.push_back(column);

    // The cells give each activity its unit, which the heading need not repeat.
    Table table;
    table.headings << text("Row");
    table.right.push_back(true);
    table.keys = static_cast<std::size_t>(inputsListed) + 1; // the row and the source's names
    for (const int column : columns) {
        const auto result = sources.resultColumn(column);
        table.right.push_back(result && resultColumnTable[*result].kind == ResultKind::number);
        QString heading = headingOf(sources, column);
        if (holdsActivities(sources, column))
            heading.remove(QStringLiteral(" (TBq)"));
        table.headings << heading;
    }
    for (const std::size_t row : rows) {
        const auto at = static_cast<int>(row);
        table.rows.push_back({Cell{fileRow(in, row), true, true, {}}});
        for (const int column : columns)
            table.rows.back().push_back(
                cellOf(sources.index(at, column),
                       holdsActivities(sources, column) ? activityText : threeDigits));
        table.notes.push_back(sources.index(at, note).data().toString());
    }
    return fittedTable(table, in.width);
}

// At most mostSourcesListed of the rows, and how many more there are.
QString listedSources(const ReportInputs& in, const std::vector<std::size_t>& rows) {
    const std::size_t listed = std::min<std::size_t>(rows.size(), mostSourcesListed);
    QString html = sourcesTable(in, {rows.begin(), rows.begin() + static_cast<long>(listed)});
    if (listed < rows.size())
        html += QStringLiteral("<p>%1</p>")
                    .arg(text("%1 more are not listed here; the CSV export holds every source.")
                             .arg(count(in, rows.size() - listed)));
    return html;
}

// The sources of categories 1 to 3, and the decay of the first of them, two to a line.
QString severeSourcesSection(const ReportInputs& in, Report& report) {
    QString html = QStringLiteral("<h2>%1</h2>").arg(text("Sources of categories 1 to 3 by A/D"));
    if (in.severe.empty())
        return html + QStringLiteral("<p>%1</p>").arg(text("None."));
    html += listedSources(in, in.severe);
    const std::size_t drawn = std::min<std::size_t>(in.severe.size(), mostDecayPictures);
    html += QStringLiteral("<p>%1</p><p>")
                .arg(drawn < in.severe.size()
                         ? text("The decay of the first %1 of these %2 sources, in the order "
                                "of the table, against the bounds of their categories:")
                               .arg(drawn)
                               .arg(count(in, in.severe.size()))
                         : text("The decay of each of these sources against the bounds of its "
                                "categories:"));
    DecayChart chart;
    const QSize size(460, 290);
    const int idColumn = in.sources.texts()->columns[Column::id]
                             ? static_cast<int>(*in.sources.texts()->columns[Column::id])
                             : -1;
    for (std::size_t picture = 0; picture < drawn; ++picture) {
        const std::size_t row = in.severe[picture];
        auto source = decayedSource(in.sources, row);
        if (!source)
            continue;
        const QString id = idColumn >= 0
                               ? in.sources.index(static_cast<int>(row), idColumn).data().toString()
                               : QString();
        source->name = id.isEmpty() ? text("Row %1").arg(fileRow(in, row)) : id;
        chart.showSource(*source);
        html += addPicture(report, chartPicture(chart, size), size) + QStringLiteral(" ");
    }
    return html + QStringLiteral("</p>");
}

QString otherSourcesSection(const ReportInputs& in) {
    return QStringLiteral("<h2>%1</h2>").arg(text("The other sources")) +
           (in.others.empty() ? QStringLiteral("<p>%1</p>").arg(text("None."))
                              : listedSources(in, in.others));
}

QString numbersSection() {
    return QStringLiteral("<h2>%1</h2><p>%2</p>")
        .arg(text("The numbers"),
             text("Activities and A/D are written to three significant digits, each activity in "
                  "the unit of becquerel that keeps it short. The CSV export of the window "
                  "(File ▸ Export CSV) holds every number at full precision, as the command line "
                  "writes them."));
}

} // namespace

Report makeReport(const SourcesModel& sources, const QString& path, LocalTime made,
                  std::vector<int> hiddenLocationColumns) {
    ReportInputs in{
        sources, *sources.results(), path, made, QLocale(), std::move(hiddenLocationColumns), {},
        {}};
    // Landscape: the paper's height across.
    in.width =
        reportPageSize(in.locale).size(QPageSize::Point).height() - 2 * pageMargin * 72 / 25.4;
    for (std::size_t row = 0; row < in.results.rows.size(); ++row) {
        const StoredResult& result = in.results.rows[row];
        const bool severe =
            result.categorised && !moreSevere("3", labelText(result.categoryByAOverD));
        (severe ? in.severe : in.others).push_back(row);
    }
    Report report;
    report.title = reportTitle;
    report.running = text("Inventory %1, as of %2")
                         .arg(shownName(path), isoMoment(in.results.evaluation.asOf, false));
    report.madeBy = text("Made %1 by %2").arg(isoMoment(made, true), programName);
    if (const InventoryTexts& texts = *sources.texts(); !texts.registerHead.empty()) {
        report.running += text(", as recorded on %1").arg(QString::fromStdString(texts.knownAt));
        report.madeBy += QStringLiteral(" · ") + QString::fromStdString(texts.registerHead);
    }
    // The sections in their order; each is a function of what it reads.
    report.html = QStringLiteral("<html><body style=\"font-size: 8pt\">");
    report.html += titleSection(in);
    report.html += dueSection(in);
    report.html += categoriesSection(in);
    report.html += locationsSection(in, report);
    report.html += severeSourcesSection(in, report);
    report.html += otherSourcesSection(in);
    report.html += numbersSection();
    report.html += QStringLiteral("</body></html>");
    return report;
}

namespace {

// The page of device: the small font of its running line and foot, their height, and the body
// between them where the report's text goes.
struct PageFrame {
    QFont small;
    qreal line = 0;
    QRectF page, body;
};

PageFrame pageFrame(const QTextDocument& document, QPagedPaintDevice& device) {
    PageFrame frame;
    frame.small = document.defaultFont();
    frame.small.setPointSizeF(7.5);
    frame.line = QFontMetricsF(frame.small, &device).height();
    frame.page = QRectF(0, 0, device.width(), device.height());
    const qreal band = frame.line * 2; // the running line and the foot, each with a gap
    frame.body = frame.page.adjusted(0, band, 0, -band);
    return frame;
}

// A place where a page may end, and the header rows of the table it is in, which the next page
// repeats.
struct Cut {
    qreal at = 0;
    qreal headerTop = 0, headerBottom = 0;
};

// The text of a table's cell.
QString cellText(const QTextTableCell& cell) {
    QTextCursor cursor = cell.firstCursorPosition();
    cursor.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
    return cursor.selectedText();
}

// Where a table may go on to the next page: between two rows, midway between the texts of the
// one and the other so that their borders stay with them, but not after its header rows nor
// before a row whose first cell is empty, the note of the row above.
void tableCuts(const QTextTable& table, const QAbstractTextDocumentLayout& layout,
               std::vector<Cut>& cuts) {
    struct Extent {
        qreal top = std::numeric_limits<qreal>::max();
        qreal bottom = std::numeric_limits<qreal>::lowest();
    };
    std::vector<Extent> rows(static_cast<std::size_t>(table.rows()));
    for (int row = 0; row < table.rows(); ++row)
        for (int column = 0; column < table.columns(); ++column) {
            const QTextTableCell cell = table.cellAt(row, column);
            if (cell.row() != row || cell.column() != column) // spanned from another
                continue;
            Extent& extent = rows[static_cast<std::size_t>(row)];
            extent.top = std::min(
                extent.top, layout.blockBoundingRect(cell.firstCursorPosition().block()).top());
            extent.bottom =
                std::max(extent.bottom,
                         layout.blockBoundingRect(cell.lastCursorPosition().block()).bottom());
        }
    const auto between = [&rows](int row) {
        return (rows[static_cast<std::size_t>(row) - 1].bottom +
                rows[static_cast<std::size_t>(row)].top) /
               2;
    };
    const int headerRows = std::min(table.format().headerRowCount(), table.rows() - 1);
    Cut cut;
    if (headerRows > 0) {
        // Above the header's text by as much as the rows' texts are apart, which takes in its
        // padding and borders: the table's frame starts below a heading of two lines aligned
        // to the bottom of its row.
        const qreal apart = rows[1].top - rows[0].bottom;
        cut.headerTop = rows[0].top - apart * 5 / 8;
        cut.headerBottom = between(headerRows);
    }
    for (int row = headerRows + 1; row < table.rows(); ++row)
        if (!cellText(table.cellAt(row, 0)).isEmpty()) {
            cut.at = between(row);
            cuts.push_back(cut);
        }
}

// Every place where a page may end, from the top down, the document's end the last.
std::vector<Cut> cutsOf(const QTextDocument& document) {
    const QAbstractTextDocumentLayout& layout = *document.documentLayout();
    std::vector<Cut> cuts;
    bool afterHeading = false; // which needs something of its section on its page
    for (auto item = document.rootFrame()->begin(); !item.atEnd(); ++item) {
        if (QTextFrame* frame = item.currentFrame()) {
            if (!afterHeading)
                cuts.push_back({layout.frameBoundingRect(frame).top()});
            if (const auto* table = qobject_cast<const QTextTable*>(frame))
                tableCuts(*table, layout, cuts);
            afterHeading = false;
            continue;
        }
        const QTextBlock block = item.currentBlock();
        if (block.length() <= 1) // an empty block between two others is neither
            continue;
        const QRectF rect = layout.blockBoundingRect(block);
        if (!afterHeading)
            cuts.push_back({rect.top()});
        const QTextLayout& lines = *block.layout();
        for (int line = 1; line < lines.lineCount(); ++line)
            cuts.push_back({rect.top() + lines.lineAt(line).y()});
        afterHeading = block.blockFormat().headingLevel() > 0;
    }
    cuts.push_back({document.size().height()});
    std::ranges::stable_sort(cuts, {}, &Cut::at);
    return cuts;
}

// The pages of a text laid out as one long page, each at most height tall with the header rows
// it repeats: each ends at the last cut that fits.
std::vector<PageSlice> pagesOf(const std::vector<Cut>& cuts, qreal height) {
    std::vector<PageSlice> pages;
    if (height <= 0)
        return pages;
    const qreal end = cuts.back().at;
    PageSlice page;
    while (page.top < end) {
        qreal room = height - (page.headerBottom - page.headerTop);
        if (room <= height / 4) { // header rows that leave almost no room are not repeated
            page.headerTop = page.headerBottom = 0;
            room = height;
        }
        const auto beyond = std::ranges::upper_bound(cuts, page.top + room, {}, &Cut::at);
        Cut cut{page.top + room}; // a part taller than a page is cut where the page ends
        if (beyond != cuts.begin() && std::prev(beyond)->at > page.top)
            cut = *std::prev(beyond);
        page.bottom = std::min(cut.at, end);
        pages.push_back(page);
        page = {cut.at, 0, cut.headerTop, cut.headerBottom};
    }
    return pages;
}

// Draws the part of the document from top to bottom with its top at the point at. Qt draws
// every line that touches the part's edges, and a PDF keeps the text of a line drawn outside its
// clip, which its readers find and copy: the part drawn stops a device pixel short of each cut,
// where nothing is, so that a line beside the cut is drawn on its own page only.
void drawPart(QPainter& painter, QTextDocument& document, qreal top, qreal bottom, QPointF at) {
    constexpr qreal shortOfCut = 1;
    painter.save();
    painter.translate(at.x(), at.y() - top);
    document.drawContents(
        &painter, QRectF(0, top + shortOfCut, document.textWidth(), bottom - top - 2 * shortOfCut));
    painter.restore();
}

} // namespace

void setReportPage(QPagedPaintDevice& device, const QPageSize& size) {
    device.setPageSize(size);
    device.setPageOrientation(QPageLayout::Landscape);
    device.setPageMargins(QMarginsF(pageMargin, pageMargin, pageMargin, pageMargin),
                          QPageLayout::Millimeter);
}

LaidOutReport layOutReport(const Report& report, QPagedPaintDevice& device) {
    LaidOutReport laidOut{std::make_unique<QTextDocument>(), {}};
    QTextDocument& document = *laidOut.document;
    document.documentLayout()->setPaintDevice(&device); // the device's own font metrics
    document.setDocumentMargin(0);
    for (const auto& [name, picture] : report.pictures)
        document.addResource(QTextDocument::ImageResource, QUrl(name), picture);
    document.setHtml(report.html);
    const PageFrame frame = pageFrame(document, device);
    // One long page: Qt's own pages would break rows and leave headings at a page's foot.
    document.setTextWidth(frame.body.width());
    laidOut.pages = pagesOf(cutsOf(document), frame.body.height());
    return laidOut;
}

int printReport(const Report& report, QPagedPaintDevice& device) {
    const LaidOutReport laidOut = layOutReport(report, device);
    QTextDocument& document = *laidOut.document;
    const PageFrame frame = pageFrame(document, device);
    const auto pages = static_cast<int>(laidOut.pages.size());
    QPainter painter(&device);
    if (!painter.isActive() || pages == 0)
        return 0;
    const QRectF& page = frame.page;
    const qreal band = frame.line * 2;
    for (int number = 1; number <= pages; ++number) {
        if (number > 1)
            device.newPage();
        const PageSlice& slice = laidOut.pages[static_cast<std::size_t>(number) - 1];
        const qreal header = slice.headerBottom - slice.headerTop;
        if (header > 0)
            drawPart(painter, document, slice.headerTop, slice.headerBottom, frame.body.topLeft());
        drawPart(painter, document, slice.top, slice.bottom,
                 frame.body.topLeft() + QPointF(0, header));

        painter.setFont(frame.small);
        const QRectF top(page.left(), page.top(), page.width(), frame.line);
        const QRectF foot(page.left(), page.bottom() - frame.line, page.width(), frame.line);
        painter.drawText(top, Qt::AlignLeft | Qt::AlignTop, report.running);
        painter.drawText(top, Qt::AlignRight | Qt::AlignTop, report.title);
        painter.drawText(foot, Qt::AlignLeft | Qt::AlignBottom, report.madeBy);
        painter.drawText(foot, Qt::AlignRight | Qt::AlignBottom,
                         text("page %1 of %2").arg(number).arg(pages));
        painter.setPen(QPen(Qt::gray, 0));
        painter.drawLine(QLineF(page.left(), band * 0.75, page.right(), band * 0.75));
        painter.drawLine(QLineF(page.left(), page.bottom() - band * 0.75, page.right(),
                                page.bottom() - band * 0.75));
        painter.setPen(QPen());
    }
    return pages;
}

QString writeReportPdf(const Report& report, const QString& title, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    {
        QPdfWriter writer(&file);
        writer.setTitle(title);
        writer.setCreator(programName);
        setReportPage(writer, reportPageSize(QLocale()));
        if (printReport(report, writer) == 0)
            return text("The report could not be laid out on the page.");
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

Report makeAnnualInventory(const SourcesModel& sources, const QString& path, LocalTime made,
                           int year, std::vector<int> hiddenLocationColumns) {
    Report report = makeReport(sources, path, made, std::move(hiddenLocationColumns));
    const QString title = text("Annual inventory %1: sources held on 31 December").arg(year);
    report.html.replace(QStringLiteral("<h1>%1</h1>").arg(reportTitle),
                        QStringLiteral("<h1>%1</h1>").arg(title.toHtmlEscaped()));
    report.title = title;
    return report;
}

} // namespace dovrin
