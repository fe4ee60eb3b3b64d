#pragma once

// The register's texts and dates as Qt shows them: its UTF-8 texts as QString, and its
// std::chrono days and moments as QDate. The register itself stays free of Qt.

#include <algorithm>
#include <chrono>

#include <QDate>
#include <QString>
#include <Qt>

#include <string_view>

#include "decay.h"

namespace dovrin {

inline QString fromBytes(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A file's name, or a registry's connection with any password hidden, as the window names what
// it opened.
QString shownName(const QString& location);

// The same, escaped for a rich-text document such as the report.
inline QString htmlFromBytes(std::string_view text) {
    return fromBytes(text).toHtmlEscaped();
}

// The role under which the tables give a cell's number at full precision, for the report to
// write it in its own form; cells without a number give none.
inline constexpr int numberRole = Qt::UserRole + 1;

// A heading on two lines, broken at the blank that makes the longer line shortest, so that a
// column need not be as wide as its heading; a short heading stays on one line.
inline QString headingLines(const QString& heading) {
    constexpr qsizetype shortHeading = 10;
    if (heading.size() <= shortHeading)
        return heading;
    qsizetype best = -1;
    for (qsizetype blank = heading.indexOf(u' '); blank >= 0;
         blank = heading.indexOf(u' ', blank + 1))
        if (best < 0 ||
            std::max(blank, heading.size() - blank) < std::max(best, heading.size() - best))
            best = blank;
    if (best < 0)
        return heading;
    QString lines = heading;
    lines[best] = u'\n';
    return lines;
}

inline QDate qDate(std::chrono::year_month_day date) {
    return {static_cast<int>(date.year()), static_cast<int>(unsigned(date.month())),
            static_cast<int>(unsigned(date.day()))};
}

// The day of a moment.
inline std::chrono::year_month_day dayOf(LocalTime moment) {
    return std::chrono::year_month_day{std::chrono::floor<std::chrono::days>(moment)};
}

inline std::chrono::year_month_day dayOf(const QDate& date) {
    using namespace std::chrono;
    return year_month_day{year{date.year()}, month{static_cast<unsigned>(date.month())},
                          day{static_cast<unsigned>(date.day())}};
}

// Gives a widget its object name, by which tests find it, and the name a screen reader says.
template <class Widget> Widget* named(Widget* widget, const char* name, const QString& accessible) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setAccessibleName(accessible);
    return widget;
}

} // namespace dovrin
