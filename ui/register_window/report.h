#pragma once

// The report for an inspector: a title block (the inventory, the as-of moment, when and by which
// version it was made), the sources per category, the locations with their aggregates and their
// picture, the sources of categories 1 to 3 with pictures of their decay, then the others.
// Numbers are written to three significant digits with their unit, in columns of their own; the
// CSV export keeps them whole. Every page names the inventory and says "page N of M".

#include <memory>
#include <utility>
#include <vector>

#include <QImage>
#include <QPageSize>
#include <QString>

#include "decay.h"

class QLocale;
class QPagedPaintDevice;
class QTextDocument;

namespace dovrin {

class SourcesModel;

// At most this many sources of categories 1 to 3, and as many of the others, are listed; the
// rest are counted, and the CSV export holds them all. A report of a hundred pages is read; one
// of ten thousand is not, and takes minutes to lay out.
inline constexpr int mostSourcesListed = 2000;
// The sources of categories 1 to 3 drawn, the first in the table's order.
inline constexpr int mostDecayPictures = 12;

// The report's rich text, its pictures under the names the text gives them, and the line at
// the top of each page.
struct Report {
    QString html;
    std::vector<std::pair<QString, QImage>> pictures;
    QString running;
    QString madeBy; // when and by which version, at the foot of each page
    QString title;  // at the top of the first page and of every page
};

// The report on the complete inventory at path, made at the moment made, without the columns
// of the locations' table that the window hides.
Report makeReport(const SourcesModel& sources, const QString& path, LocalTime made,
                  std::vector<int> hiddenLocationColumns = {});
// The same report of a register's sources held on 31 December of the year (the as-of day of
// sources), under the title of the annual inventory a regulator asks for.
Report makeAnnualInventory(const SourcesModel& sources, const QString& path, LocalTime made,
                           int year, std::vector<int> hiddenLocationColumns = {});

// A number to three significant digits, "643", "0.0643"; an activity in TBq with the unit of
// becquerel that keeps it short, "64.3 TBq", "175 MBq", its number and unit joined by a
// no-break space.
QString threeDigits(double value);
QString activityText(double tbq);

// The paper of the report in the locale's territory: US Letter where it is the usual paper,
// A4 elsewhere.
QPageSize reportPageSize(const QLocale& locale);

// Sets the report's paper on device: landscape, with the report's margins.
void setReportPage(QPagedPaintDevice& device, const QPageSize& size);

// One page of the report laid out as one long page: the part from top to bottom, in the
// document's coordinates, under the header rows of a table it goes on with, drawn first
// (headerTop equal to headerBottom: none).
struct PageSlice {
    qreal top = 0, bottom = 0;
    qreal headerTop = 0, headerBottom = 0;
};

// The report laid out for device: its text as one long page as wide as the page's body, and
// its pages. A page ends only between a table's rows (a row and the note under it are one),
// between a paragraph's lines, or between blocks, never right after a heading or a table's
// header rows; a part taller than a page alone is cut where the page ends.
struct LaidOutReport {
    std::unique_ptr<QTextDocument> document;
    std::vector<PageSlice> pages;
};
LaidOutReport layOutReport(const Report& report, QPagedPaintDevice& device);

// Lays the report out on the pages of device, each with the running line at its top and its
// number and the number of pages at its foot; the number of pages. Printing and the PDF share
// it, so that both are the same pages.
int printReport(const Report& report, QPagedPaintDevice& device);

// Writes the report as a PDF file, landscape on the locale's paper, complete or not at all; the
// reason when it was not written.
QString writeReportPdf(const Report& report, const QString& title, const QString& path);

} // namespace dovrin
