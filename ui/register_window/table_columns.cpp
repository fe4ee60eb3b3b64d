#include "table_columns.h"

#include <algorithm>

#include <QHeaderView>
#include <QTableView>

namespace dovrin {

QString columnKey(const QTableView& view, int column) {
    return view.model()->headerData(column, Qt::Horizontal).toString().replace(u'\n', u' ');
}

void fitColumns(QTableView& view, const ColumnWidths& kept, int widest) {
    const QHeaderView& header = *view.horizontalHeader();
    const QAbstractItemView& cells = view; // its size hint of a column is public there
    for (int column = 0; column < view.model()->columnCount(); ++column) {
        const auto found = kept.constFind(columnKey(view, column));
        view.setColumnWidth(column,
                            found != kept.constEnd()
                                ? *found
                                : std::max(header.sectionSizeHint(column),
                                           std::min(cells.sizeHintForColumn(column), widest)));
    }
}

QVariantMap settingsOf(const ColumnWidths& widths) {
    QVariantMap settings;
    for (auto width = widths.constBegin(); width != widths.constEnd(); ++width)
        settings.insert(width.key(), width.value());
    return settings;
}

ColumnWidths widthsOf(const QVariantMap& settings) {
    ColumnWidths widths;
    for (auto setting = settings.constBegin(); setting != settings.constEnd(); ++setting) {
        bool isNumber = false;
        const int width = setting.value().toInt(&isNumber);
        if (isNumber && width > 0)
            widths.insert(setting.key(), width);
    }
    return widths;
}

} // namespace dovrin
