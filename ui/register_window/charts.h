#pragma once

// The pictures of the register window: the decay of one source against its category bounds,
// and the sum of A/D of each location against the bands of A/D. Each keeps its texts whole:
// the labels of a logarithmic axis step over as many decades as their room needs, the dates of
// the as-of moment and of the next change are written beside their lines, and long location
// names take two lines.

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

#include <QChartView>
#include <QDate>
#include <QImage>

#include "locations.h"
#include "source.h"

class QGraphicsRectItem;
class QGraphicsSimpleTextItem;
class QLineSeries;

namespace dovrin {

// One source to draw: its radionuclide as the tables name it and its activity in TBq on its
// day of manufacture (none: not decayed, drawn flat from the as-of date on).
struct DecayedSource {
    std::string_view radionuclide;
    double initialTBq = 0;
    std::optional<std::chrono::year_month_day> manufactured;
    LocalTime asOf;
    std::optional<NextChange> nextChange;
    QString name; // the source's name in the title, or none
};

class DecayChart : public QChartView {
    Q_OBJECT
public:
    explicit DecayChart(QWidget* parent = nullptr);
    void showSource(const DecayedSource& source);
    void showNothing(const QString& why);
    QSize sizeHint() const override;

private:
    // A text beside a line: above a bound's horizontal line at its right end, or near the top
    // of a moment's vertical line, on its right where there is room; none covers another.
    struct Note {
        QGraphicsSimpleTextItem* text;
        QGraphicsRectItem* backdrop;
        QPointF at; // on the line, in the chart's values
        bool moment;
    };
    void addNote(const QString& text, QPointF at, bool moment, const QColor& colour);
    void fitToPlot(const QRectF& plot);
    void placeNotes(const QRectF& plot);

    std::vector<Note> notes_;
    QLineSeries* curve_ = nullptr;
    int lowDecade_ = 0, highDecade_ = 0; // the activities drawn, as powers of ten
};

class SourcesModel;

// The source of a row of the table to draw, or none for an error row.
std::optional<DecayedSource> decayedSource(const SourcesModel& sources, std::size_t row);

class LocationsChart : public QChartView {
    Q_OBJECT
public:
    static constexpr std::size_t mostBars = 40;

    explicit LocationsChart(QWidget* parent = nullptr);
    // The locations with the highest sums, as many as the picture has room for and at most
    // mostBars of them.
    void showLocations(const std::vector<LocationTotal>& locations);
    QSize sizeHint() const override;
    // The height at which the picture holds bars bars.
    static int heightFor(std::size_t bars, const QFont& font);

private:
    void draw(std::size_t bars);
    void fitToPlot(const QRectF& plot);
    QString barName(const LocationTotal& total, qreal room) const;
    QStringList barNames(qreal room) const;
    qreal nameRoom() const;

    std::vector<LocationTotal> locations_; // highest sum first
    std::size_t bars_ = 0;
    int lowDecade_ = 0, highDecade_ = 0; // the sums drawn, as powers of ten
    QStringList names_;                  // as the bars show them, from the bottom up
    bool redrawing_ = false;
};

// The round dates along a date axis from one day to another: every 1, 2, 5 or 10 days, every 1,
// 2, 3 or 6 months, or every 1, 2, 5, 10, 20, 50, ... years, at the finest step whose labels fit
// the room, each label as wide as labelWidth says for its format ("yyyy-MM-dd", "MMM yyyy" or
// "yyyy").
struct DateTicks {
    QList<QDate> dates;
    QString format;
};
DateTicks dateTicks(QDate from, QDate to, qreal room,
                    const std::function<qreal(const QString& format)>& labelWidth);

// The chart as it is drawn at size (in device-independent pixels), at twice as many pixels, for
// a picture in the report.
QImage chartPicture(QChartView& view, QSize size);

} // namespace dovrin
