#pragma once

// The widths of a table's columns: each as wide as its heading, and as its cells up to a limit,
// unless the person made it otherwise. Widths are kept under the columns' headings, so that an
// inventory whose columns differ keeps the widths of the columns it shares with another.

#include <QHash>
#include <QString>
#include <QVariantMap>

class QTableView;

namespace dovrin {

using ColumnWidths = QHash<QString, int>;

// The heading of a column on one line, as the widths are kept under it.
QString columnKey(const QTableView& view, int column);

// Gives each column its kept width or, when none is kept, the width its heading needs and its
// shown cells need, these at most widest.
void fitColumns(QTableView& view, const ColumnWidths& kept, int widest);

// The widths as settings store them, and back; what is not a width is left out.
QVariantMap settingsOf(const ColumnWidths& widths);
ColumnWidths widthsOf(const QVariantMap& settings);

} // namespace dovrin
