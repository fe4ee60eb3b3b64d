#pragma once

// The report for an inspector: the inventory, the as-of date, the sources per category, the
// locations with their aggregates, and the sources, those of categories 1 to 3 first.

#include <QString>

class QPagedPaintDevice;
class QTextDocument;

namespace dovrin {

class SourcesModel;

// At most this many sources of categories 1 to 3, and as many of the others, are listed; the
// rest are counted, and the CSV export holds them all. A report of a hundred pages is read; one
// of ten thousand is not, and takes minutes to lay out.
inline constexpr int mostSourcesListed = 2000;

// The report as rich text. sources must hold a complete inventory.
QString reportHtml(const SourcesModel& sources, const QString& path);

// Lays the report out on the pages of device.
void printReport(const QString& html, QPagedPaintDevice& device);

// Writes the report as a PDF file, complete or not at all; the reason when it was not written.
QString writeReportPdf(const QString& html, const QString& title, const QString& path);

} // namespace dovrin
