#include "charts.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHorizontalBarSeries>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QScatterSeries>

#include "categorise.h"
#include "category_thresholds.h"
#include "d_values.h"
#include "decay.h"
#include "output.h"
#include "qt_text.h"
#include "radionuclides.h"

namespace dovrin {

namespace {

// Shows a new chart in the view and deletes the one it replaces, which the view lets go of.
void replaceChart(QChartView& view, QChart* chart) {
    QChart* previous = view.chart();
    view.setChart(chart);
    delete previous;
}

constexpr int curvePoints = 240;

QString numberText(double value) {
    std::array<char, 32> space{};
    return fromBytes(numberField(value, space));
}

qreal chartTime(LocalTime moment) {
    using namespace std::chrono;
    const auto day = floor<days>(moment);
    const auto intoDay = duration_cast<milliseconds>(moment - day).count();
    return static_cast<qreal>(
        QDateTime(qDate(year_month_day{day}), QTime(0, 0)).toMSecsSinceEpoch() + intoDay);
}

QString isoDate(std::chrono::year_month_day date) {
    return qDate(date).toString(Qt::ISODate);
}

QChart* newChart(const QString& title) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(4, 4, 4, 4));
    return chart;
}

// A dashed line from one point to another with its text above the point at labelAt.
void addLevel(QChart* chart, QAbstractAxis* x, QAbstractAxis* y, QPointF from, QPointF to,
              QPointF labelAt, const QString& text, const QColor& colour) {
    auto* line = new QLineSeries;
    line->setName(text);
    line->append(from);
    line->append(to);
    QPen pen(colour);
    pen.setStyle(Qt::DashLine);
    pen.setWidthF(1.5);
    line->setPen(pen);
    auto* label = new QScatterSeries;
    label->append(labelAt);
    label->setMarkerSize(1);
    label->setColor(colour);
    label->setPointLabelsFormat(text);
    label->setPointLabelsVisible(true);
    label->setPointLabelsColor(colour.darker(150));
    label->setPointLabelsClipping(false);
    for (QXYSeries* series : {static_cast<QXYSeries*>(line), static_cast<QXYSeries*>(label)}) {
        chart->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
    }
    for (QLegendMarker* marker : chart->legend()->markers(label))
        marker->setVisible(false);
    for (QLegendMarker* marker : chart->legend()->markers(line))
        marker->setVisible(false);
}

void addMoment(QChart* chart, QAbstractAxis* x, QAbstractAxis* y, qreal at, qreal low, qreal high,
               const QString& text, const QColor& colour) {
    auto* line = new QLineSeries;
    line->setName(text);
    line->append(at, low);
    line->append(at, high);
    QPen pen(colour);
    pen.setWidthF(2);
    line->setPen(pen);
    chart->addSeries(line);
    line->attachAxis(x);
    line->attachAxis(y);
}

} // namespace

DecayChart::DecayChart(QWidget* parent)
    : QChartView(parent) {
    setRenderHint(QPainter::Antialiasing);
    showNothing(tr("Select a source to see its decay."));
}

void DecayChart::showNothing(const QString& why) {
    auto* chart = newChart(why);
    chart->legend()->hide();
    replaceChart(*this, chart);
    setAccessibleDescription(why);
}

void DecayChart::showSource(const DecayedSource& source) {
    using namespace std::chrono;
    const Radionuclide* radionuclide = RadionuclideTable::builtIn().named(source.radionuclide);
    if (!radionuclide || !radionuclide->dTBq) {
        showNothing(tr("This row has no radionuclide to draw."));
        return;
    }
    const double constant = radionuclide->constantPerDay;
    const LocalTime start =
        source.manufactured ? LocalTime{local_days{*source.manufactured}} : source.asOf;
    const LocalTime change =
        source.nextChange ? LocalTime{local_days{source.nextChange->on}} : source.asOf;
    const auto span = std::max(change, source.asOf) - start;
    const LocalTime end =
        std::max(change, source.asOf) +
        std::max<LocalTime::duration>(span / 3, duration_cast<milliseconds>(days{365}));

    // The activity at each moment, decayed by the calculator's own formula.
    auto* curve = new QLineSeries;
    curve->setName(tr("Activity of %1 (TBq)").arg(fromBytes(source.radionuclide)));
    double lowest = INFINITY, highest = 0;
    for (int point = 0; point <= curvePoints; ++point) {
        const LocalTime at = start + (end - start) * point / curvePoints;
        const double elapsed = source.manufactured ? elapsedDays(*source.manufactured, at) : 0;
        const auto activity = currentActivity(source.initialTBq, constant, elapsed);
        if (!activity || !(activity->tbq > 0))
            continue;
        curve->append(chartTime(at), activity->tbq);
        lowest = std::min(lowest, activity->tbq);
        highest = std::max(highest, activity->tbq);
    }
    if (curve->count() == 0) {
        delete curve;
        showNothing(tr("An activity of zero cannot be drawn on a logarithmic scale."));
        return;
    }
    const double low = lowest / 10, high = highest * 10;

    auto* chart = newChart(tr("Decay of %1").arg(fromBytes(source.radionuclide)));
    auto* x = new QDateTimeAxis;
    x->setFormat(QStringLiteral("MMM yyyy"));
    x->setTickCount(5);
    x->setTitleText(tr("Date"));
    x->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(chartTime(start))),
                QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(chartTime(end))));
    auto* y = new QLogValueAxis;
    y->setBase(10);
    y->setLabelFormat(QStringLiteral("%.0e"));
    y->setTitleText(tr("Activity (TBq)"));
    y->setRange(low, high);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    chart->addSeries(curve);
    curve->attachAxis(x);
    curve->attachAxis(y);
    QPen curvePen(QColor(0x20, 0x40, 0xa0));
    curvePen.setWidthF(2.5);
    curve->setPen(curvePen);

    // The lower bound of every band of the radionuclide's category table within the picture;
    // for a radionuclide without one, where its categories by A/D begin (D times the band).
    const qreal left = chartTime(start), right = chartTime(end);
    const auto drawBound = [&](double bound, const QString& text) {
        if (bound >= low && bound <= high)
            addLevel(chart, x, y, {left, bound}, {right, bound},
                     {left + (right - left) * 0.8, bound}, text, QColor(0xb0, 0x30, 0x30));
    };
    const auto rows = radionuclide->rows;
    for (const ThresholdRow& row : rows)
        if (row.lower.kind != BoundKind::none)
            drawBound(row.lower.value,
                      tr("%1 from %2%3 TBq")
                          .arg(row.label == labels::exempted || row.label == labels::notAssigned
                                   ? fromBytes(row.label)
                                   : tr("Category %1").arg(fromBytes(row.label)),
                               row.lower.kind == BoundKind::exclusive ? QStringLiteral("above ")
                                                                      : QString(),
                               numberText(row.lower.value)));
    if (const double d = *radionuclide->dTBq; rows.empty()) {
        for (const AOverDBand& band : aOverDBands)
            if (std::isfinite(band.atLeast))
                drawBound(d * band.atLeast,
                          tr("Category %1 by A/D from %2 TBq")
                              .arg(fromBytes(band.label), numberText(d * band.atLeast)));
        if (const auto exemption = radionuclide->exemptionTBq)
            drawBound(*exemption, tr("%1 at or below %2 TBq")
                                      .arg(fromBytes(labels::exempted), numberText(*exemption)));
    }
    addMoment(chart, x, y, chartTime(source.asOf), low, high,
              tr("As of %1").arg(isoDate(dayOf(source.asOf))), QColor(0x20, 0x90, 0x40));
    if (source.nextChange)
        addMoment(chart, x, y, chartTime(LocalTime{local_days{source.nextChange->on}}), low, high,
                  tr("%1 from %2")
                      .arg(fromBytes(source.nextChange->label), isoDate(source.nextChange->on)),
                  QColor(0xd0, 0x70, 0x00));
    replaceChart(*this, chart);
    setAccessibleDescription(chart->title());
}

LocationsChart::LocationsChart(QWidget* parent)
    : QChartView(parent) {
    setRenderHint(QPainter::Antialiasing);
    showLocations({});
}

void LocationsChart::showLocations(const std::vector<LocationTotal>& locations) {
    std::vector<const LocationTotal*> shown;
    for (const LocationTotal& total : locations)
        shown.push_back(&total);
    std::stable_sort(shown.begin(), shown.end(),
                     [](const auto* a, const auto* b) { return a->sumAOverD > b->sumAOverD; });
    if (shown.size() > mostBars)
        shown.resize(mostBars);

    auto* chart = newChart(shown.size() < locations.size()
                               ? tr("Sum of A/D of the %1 highest of %2 locations")
                                     .arg(shown.size())
                                     .arg(locations.size())
                               : QString());
    replaceChart(*this, chart);
    setAccessibleDescription(chart->title());
    if (shown.empty())
        return;

    // A logarithmic axis has no zero: a sum below its floor is drawn at the floor.
    const double floorLevel = 1e-4;
    double highest = 1e4;
    auto* sums = new QBarSet(tr("Sum of A/D"));
    sums->setColor(QColor(0x40, 0x70, 0xc0));
    QStringList names;
    std::reverse(shown.begin(), shown.end()); // the first category is drawn at the bottom
    for (const LocationTotal* total : shown) {
        sums->append(std::max(total->sumAOverD, floorLevel));
        highest = std::max(highest, total->sumAOverD * 10);
        QString name = total->location.empty() ? tr("(no location)") : fromBytes(total->location);
        if (total->raisedByAggregation()) // in front, where a long name's eliding spares it
            name.prepend(QStringLiteral("▲ "));
        names << name;
    }
    // Horizontal bars, so that the locations' names read across, the highest sum at the top.
    auto* bars = new QHorizontalBarSeries;
    bars->append(sums);
    chart->addSeries(bars);
    auto* namesAxis = new QBarCategoryAxis;
    namesAxis->append(names);
    auto* sumAxis = new QLogValueAxis;
    sumAxis->setBase(10);
    sumAxis->setLabelFormat(QStringLiteral("%g"));
    sumAxis->setTitleText(tr("Sum of A/D"));
    sumAxis->setRange(floorLevel, highest);
    chart->addAxis(sumAxis, Qt::AlignBottom);
    chart->addAxis(namesAxis, Qt::AlignLeft);
    bars->attachAxis(sumAxis);
    bars->attachAxis(namesAxis);
    chart->legend()->hide();

    // The lower ends of the categories of A/D.
    const qreal bottom = -0.5, top = static_cast<qreal>(shown.size()) - 0.5;
    for (const AOverDBand& band : aOverDBands)
        if (std::isfinite(band.atLeast))
            addLevel(chart, sumAxis, namesAxis, {band.atLeast, bottom}, {band.atLeast, top},
                     {band.atLeast, top}, tr("cat. %1").arg(fromBytes(band.label)),
                     QColor(0xb0, 0x30, 0x30));
}

} // namespace dovrin
