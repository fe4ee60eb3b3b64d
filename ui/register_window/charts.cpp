#include "charts.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QCategoryAxis>
#include <QCoreApplication>
#include <QDateTime>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QHorizontalBarSeries>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPainter>

#include "categorise.h"
#include "category_thresholds.h"
#include "d_values.h"
#include "decay.h"
#include "output.h"
#include "qt_text.h"
#include "radionuclides.h"
#include "sources_model.h"

namespace dovrin {

namespace {

// Shows a new chart in the view and deletes the one it replaces, which the view lets go of.
void replaceChart(QChartView& view, QChart* chart) {
    QChart* previous = view.chart();
    view.setChart(chart);
    delete previous;
}

constexpr int curvePoints = 240;
const QString logLabelFormat = QStringLiteral("%g");

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

// A step between the round dates of an axis.
struct DateStep {
    enum Unit { day, month, year } unit;
    int count;
};
constexpr DateStep dateSteps[] = {
    {DateStep::day, 1},    {DateStep::day, 2},     {DateStep::day, 5},     {DateStep::day, 10},
    {DateStep::month, 1},  {DateStep::month, 2},   {DateStep::month, 3},   {DateStep::month, 6},
    {DateStep::year, 1},   {DateStep::year, 2},    {DateStep::year, 5},    {DateStep::year, 10},
    {DateStep::year, 20},  {DateStep::year, 50},   {DateStep::year, 100},  {DateStep::year, 200},
    {DateStep::year, 500}, {DateStep::year, 1000}, {DateStep::year, 2000}, {DateStep::year, 5000}};

// The round dates of a step from one day to another: days 1, 1 + count, ... of each month that
// leave a whole step before the next month's first; the first of every count-th month from
// January; the first of January of years divisible by count.
QList<QDate> roundDates(QDate from, QDate to, DateStep step) {
    QList<QDate> dates;
    const auto keep = [&](QDate date) {
        if (date >= from && date <= to)
            dates << date;
    };
    switch (step.unit) {
    case DateStep::day:
        for (QDate month(from.year(), from.month(), 1); month <= to; month = month.addMonths(1))
            for (int day = 1; day <= month.daysInMonth() && day + step.count <= 32;
                 day += step.count)
                keep(QDate(month.year(), month.month(), day));
        break;
    case DateStep::month:
        for (QDate month(from.year(), 1, 1); month <= to; month = month.addMonths(step.count))
            keep(month);
        break;
    case DateStep::year:
        for (int year = from.year() - from.year() % step.count; year <= to.year();
             year += step.count)
            keep(QDate(year, 1, 1));
        break;
    }
    return dates;
}

QString dateFormat(DateStep::Unit unit) {
    switch (unit) {
    case DateStep::day:
        return QStringLiteral("yyyy-MM-dd");
    case DateStep::month:
        return QStringLiteral("MMM yyyy");
    case DateStep::year:
        break;
    }
    return QStringLiteral("yyyy");
}

QChart* newChart(const QString& title) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->hide(); // each line is named beside it
    chart->setMargins(QMargins(4, 4, 4, 4));
    return chart;
}

int floorDiv(int a, int b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

int ceilDiv(int a, int b) {
    return -floorDiv(-a, b);
}

// Labels on a logarithmic axis every step decades, from 10^(step * first) to 10^(step * last).
struct LogSteps {
    int step = 1, first = 0, last = 1;
    int labels() const { return last - first + 1; }
    double low() const { return std::pow(10.0, step * first); }
    double high() const { return std::pow(10.0, step * last); }
};

// The fewest decades between labels that keep at most fit labels on an axis from 10^lowDecade
// to 10^highDecade; whatever the room, 3 labels at most one step apart.
LogSteps logSteps(int lowDecade, int highDecade, int fit) {
    const int decades = std::max(1, highDecade - lowDecade);
    LogSteps steps;
    for (steps.step = 1;; ++steps.step) {
        steps.first = floorDiv(lowDecade, steps.step);
        steps.last = std::max(ceilDiv(highDecade, steps.step), steps.first + 1);
        if (steps.labels() <= std::max(fit, 3) || steps.step >= decades)
            return steps;
    }
}

// Sets the axis to the steps unless it has them; the range is widened by a hair so that
// rounding cannot drop the label at either end.
void applySteps(QLogValueAxis& axis, const LogSteps& steps) {
    const double base = std::pow(10.0, steps.step);
    const double low = steps.low() / 1.000001, high = steps.high() * 1.000001;
    if (axis.base() == base && axis.min() == low && axis.max() == high)
        return;
    axis.setBase(base);
    axis.setRange(low, high);
}

// The room a label of the axis takes along it: its text and a gap as wide as a line is high.
qreal widestLabel(const QAbstractAxis& axis, const QStringList& labels) {
    const QFontMetricsF metrics(axis.labelsFont());
    qreal widest = 0;
    for (const QString& label : labels)
        widest = std::max(widest, metrics.horizontalAdvance(label));
    return widest + metrics.height();
}

qreal labelHeight(const QAbstractAxis& axis) {
    return QFontMetricsF(axis.labelsFont()).height() * 1.8;
}

// The moment a date's midnight is drawn at, on the same scale as chartTime.
qreal chartTime(QDate date) {
    return static_cast<qreal>(QDateTime(date, QTime(0, 0)).toMSecsSinceEpoch());
}

// The round dates of a date axis as its labels, as many as their room along the axis holds.
void fitDateAxis(QCategoryAxis& axis, qreal room) {
    const QDate from = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(axis.min())).date();
    const QDate to = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(axis.max())).date();
    const DateTicks ticks = dateTicks(from, to, room, [&](const QString& format) {
        QStringList samples;
        for (int month = 1; month <= 12; ++month)
            samples << QDate(2000, month, 28).toString(format);
        return widestLabel(axis, samples);
    });
    // A label is centred on its date: one within half its width of either end would be cut.
    const qreal min = axis.min(), max = axis.max();
    const QFontMetricsF metrics(axis.labelsFont());
    QList<QDate> dates;
    QStringList labels;
    for (const QDate& date : ticks.dates) {
        const QString label = date.toString(ticks.format);
        const qreal half = metrics.horizontalAdvance(label) / 2;
        const qreal at = (chartTime(date) - min) / (max - min) * room;
        if (at >= half && room - at >= half) {
            dates << date;
            labels << label;
        }
    }
    if (axis.categoriesLabels() == labels)
        return;
    for (const QString& label : axis.categoriesLabels())
        axis.remove(label);
    axis.setStartValue(min - 1); // below a first label on the axis' first moment
    for (qsizetype tick = 0; tick < dates.size(); ++tick)
        axis.append(labels[tick], chartTime(dates[tick]));
    axis.setRange(min, max);
}

QPen dashed(const QColor& colour) {
    QPen pen(colour);
    pen.setStyle(Qt::DashLine);
    pen.setWidthF(1.5);
    return pen;
}

// A line of the chart's values from one point to another.
QLineSeries* addLine(QChart* chart, QAbstractAxis* x, QAbstractAxis* y, QPointF from, QPointF to,
                     const QPen& pen) {
    auto* line = new QLineSeries;
    line->append(from);
    line->append(to);
    line->setPen(pen);
    chart->addSeries(line);
    line->attachAxis(x);
    line->attachAxis(y);
    return line;
}

const QColor boundColour(0xb0, 0x30, 0x30);

// A label as a person reads it: "Category 2", "Exempted", "Not assigned".
QString categoryName(std::string_view label) {
    return label == labels::exempted || label == labels::notAssigned
               ? fromBytes(label)
               : QCoreApplication::translate("DecayChart", "Category %1").arg(fromBytes(label));
}

// The chart's first axis of that kind along that orientation, or none.
template <class Axis> Axis* axisOf(const QChart& chart, Qt::Orientation orientation) {
    for (QAbstractAxis* axis : chart.axes(orientation))
        if (auto* found = qobject_cast<Axis*>(axis))
            return found;
    return nullptr;
}

} // namespace

DecayChart::DecayChart(QWidget* parent)
    : QChartView(parent) {
    setRenderHint(QPainter::Antialiasing);
    // Room for the title, three labels on each axis and the notes of two moments.
    setMinimumSize(fontMetrics().averageCharWidth() * 48, fontMetrics().height() * 14);
    showNothing(tr("Select a source to see its decay."));
}

QSize DecayChart::sizeHint() const {
    return {fontMetrics().averageCharWidth() * 80, fontMetrics().height() * 22};
}

void DecayChart::showNothing(const QString& why) {
    notes_.clear();
    curve_ = nullptr;
    replaceChart(*this, newChart(why));
    setAccessibleDescription(why);
}

void DecayChart::addNote(const QString& text, QPointF at, bool moment, const QColor& colour) {
    auto* backdrop = new QGraphicsRectItem(chart());
    backdrop->setPen(Qt::NoPen);
    backdrop->setBrush(QColor(255, 255, 255, 210));
    backdrop->setZValue(100);
    auto* item = new QGraphicsSimpleTextItem(text, chart());
    item->setBrush(colour.darker(130));
    item->setFont(font());
    item->setZValue(101);
    notes_.push_back({item, backdrop, at, moment});
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
    // Whole decades around the curve, at least one on either side of a flat one.
    lowDecade_ = static_cast<int>(std::floor(std::log10(lowest)));
    highDecade_ = static_cast<int>(std::ceil(std::log10(highest)));
    if (highDecade_ - lowDecade_ < 2) {
        --lowDecade_;
        ++highDecade_;
    }
    const double low = std::pow(10.0, lowDecade_), high = std::pow(10.0, highDecade_);

    notes_.clear();
    const QString title = tr("Decay of %1").arg(fromBytes(source.radionuclide));
    auto* chart = newChart(source.name.isEmpty() ? title : tr("%1: %2").arg(source.name, title));
    replaceChart(*this, chart);
    curve_ = curve;
    // Dates as labels at round days, months or years (fitToPlot), on the values of chartTime.
    auto* x = new QCategoryAxis;
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    x->setTitleText(tr("Date"));
    x->setRange(chartTime(start), chartTime(end));
    fitDateAxis(*x, fontMetrics().averageCharWidth() * 60.0);
    auto* y = new QLogValueAxis;
    y->setLabelFormat(logLabelFormat);
    y->setTitleText(tr("Activity (TBq)"));
    applySteps(*y, logSteps(lowDecade_, highDecade_, 5));
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
        if (bound >= low && bound <= high) {
            addLine(chart, x, y, {left, bound}, {right, bound}, dashed(boundColour));
            addNote(text, {right, bound}, false, boundColour);
        }
    };
    const auto rows = radionuclide->rows;
    for (const ThresholdRow& row : rows)
        if (row.lower.kind != BoundKind::none)
            drawBound(row.lower.value,
                      tr("%1 from %2%3 TBq")
                          .arg(categoryName(row.label),
                               row.lower.kind == BoundKind::exclusive ? QStringLiteral("above ")
                                                                      : QString(),
                               numberText(row.lower.value)));
    if (const double d = *radionuclide->dTBq; rows.empty()) {
        for (const AOverDBand& band : aOverDBands)
            if (std::isfinite(d * band.atLeast)) // none for an unlimited D-value
                drawBound(d * band.atLeast,
                          tr("Category %1 by A/D from %2 TBq")
                              .arg(fromBytes(band.label), numberText(d * band.atLeast)));
        if (const auto exemption = radionuclide->exemptionTBq)
            drawBound(*exemption, tr("%1 at or below %2 TBq")
                                      .arg(fromBytes(labels::exempted), numberText(*exemption)));
    }
    const auto drawMoment = [&](LocalTime moment, const QString& text, const QColor& colour) {
        QPen pen(colour);
        pen.setWidthF(2);
        addLine(chart, x, y, {chartTime(moment), low}, {chartTime(moment), high}, pen);
        addNote(text, {chartTime(moment), high}, true, colour);
    };
    drawMoment(source.asOf, tr("As of %1").arg(isoDate(dayOf(source.asOf))),
               QColor(0x20, 0x90, 0x40));
    if (source.nextChange)
        drawMoment(LocalTime{local_days{source.nextChange->on}},
                   tr("%1 from %2")
                       .arg(categoryName(source.nextChange->label), isoDate(source.nextChange->on)),
                   QColor(0xd0, 0x70, 0x00));
    connect(chart, &QChart::plotAreaChanged, this, &DecayChart::fitToPlot);
    setAccessibleDescription(chart->title());
}

void DecayChart::fitToPlot(const QRectF& plot) {
    if (!curve_ || plot.isEmpty())
        return;
    auto* y = axisOf<QLogValueAxis>(*chart(), Qt::Vertical);
    auto* x = axisOf<QCategoryAxis>(*chart(), Qt::Horizontal);
    if (y)
        applySteps(*y, logSteps(lowDecade_, highDecade_,
                                static_cast<int>(plot.height() / labelHeight(*y))));
    if (x)
        fitDateAxis(*x, plot.width());
    placeNotes(plot);
}

// The bounds' notes first, above their lines or else below; then each moment's on the first
// row from the top where it covers no other note, on the right of its line or else on its left.
void DecayChart::placeNotes(const QRectF& plot) {
    constexpr qreal gap = 4;
    std::vector<QRectF> placed;
    const auto place = [&](const Note& note, QPointF corner) {
        const QRectF box(corner, note.text->boundingRect().size());
        note.text->setPos(corner);
        note.backdrop->setRect(box.adjusted(-2, 0, 2, 0));
        placed.push_back(box.adjusted(-gap / 2, -1, gap / 2, 1));
    };
    const auto free = [&](const QRectF& box) {
        return std::none_of(placed.begin(), placed.end(),
                            [&](const QRectF& other) { return other.intersects(box); });
    };
    for (const bool moments : {false, true})
        for (const Note& note : notes_) {
            if (note.moment != moments)
                continue;
            const QPointF point = chart()->mapToPosition(note.at, curve_);
            const QSizeF size = note.text->boundingRect().size();
            if (!note.moment) {
                const qreal above = point.y() - size.height() - 1;
                place(note, {plot.right() - gap - size.width(),
                             above >= plot.top() ? above : point.y() + 1});
                continue;
            }
            const qreal right = point.x() + gap, left = point.x() - gap - size.width();
            const qreal x = right + size.width() <= plot.right() ? right : left;
            QPointF corner(x, plot.top() + gap);
            for (qreal y = plot.top() + gap; y + size.height() <= plot.bottom();
                 y += size.height() / 2) {
                if (free(QRectF(QPointF(x, y), size))) {
                    corner.setY(y);
                    break;
                }
            }
            place(note, corner);
        }
}

std::optional<DecayedSource> decayedSource(const SourcesModel& sources, std::size_t row) {
    const InventoryResults& results = *sources.results();
    const StoredResult& result = results.rows[row];
    if (!result.categorised)
        return std::nullopt;
    DecayedSource source;
    source.radionuclide = nuclideText(result.radionuclide);
    source.initialTBq = result.activityTBq;
    source.asOf = results.evaluation.asOf;
    source.nextChange = restoreResult(result, results.notes).nextChange;
    if (const auto column = sources.texts()->columns[Column::manufactured])
        source.manufactured = readDate(sources.texts()->fields(row)[*column],
                                       dayOf(source.asOf).year(), results.evaluation.dateOrder);
    return source;
}

LocationsChart::LocationsChart(QWidget* parent)
    : QChartView(parent) {
    setRenderHint(QPainter::Antialiasing);
    // Room for the axes above and below the bars without eliding their labels (see heightFor).
    setMinimumSize(fontMetrics().averageCharWidth() * 48, fontMetrics().height() * 16);
    showLocations({});
}

QSize LocationsChart::sizeHint() const {
    return {fontMetrics().averageCharWidth() * 80, fontMetrics().height() * 22};
}

// Each bar has room for a name on two lines and a gap; the title and the axes above and below
// take about eight lines. Qt Charts gives the axes above and below at most 4 tenths of the
// chart's height (maxAxisPortion, as for its width): each with its labels and its title, of
// two and a half lines, needs a chart of some 16 lines, lest it elide them; a picture has 20.
int LocationsChart::heightFor(std::size_t bars, const QFont& font) {
    const int line = QFontMetrics(font).height();
    return std::max(static_cast<int>(bars) * line * 5 / 2 + line * 8 + 40, line * 20);
}

void LocationsChart::showLocations(const std::vector<LocationTotal>& locations) {
    locations_ = locations;
    std::stable_sort(locations_.begin(), locations_.end(),
                     [](const auto& a, const auto& b) { return a.sumAOverD > b.sumAOverD; });
    draw(std::min(locations_.size(), mostBars));
}

// The name of a location's bar; a name wider than room is broken at the blank that makes its
// longer line shortest. The labels are rich text.
QString LocationsChart::barName(const LocationTotal& total, qreal room) const {
    const QFontMetricsF metrics(font());
    QString name = total.location.empty() ? tr("(no location)") : fromBytes(total.location);
    if (total.raisedByAggregation()) // in front, where a long name's eliding spares it
        name.prepend(QStringLiteral("▲ "));
    qsizetype best = -1;
    qreal bestWidth = metrics.horizontalAdvance(name);
    if (bestWidth > room)
        for (qsizetype blank = name.indexOf(u' '); blank >= 0;
             blank = name.indexOf(u' ', blank + 1)) {
            const qreal width = std::max(metrics.horizontalAdvance(name.left(blank)),
                                         metrics.horizontalAdvance(name.mid(blank + 1)));
            if (width < bestWidth) {
                best = blank;
                bestWidth = width;
            }
        }
    return best < 0 ? name.toHtmlEscaped()
                    : name.left(best).toHtmlEscaped() + QStringLiteral("<br>") +
                          name.mid(best + 1).toHtmlEscaped();
}

// The names of the bars shown, from the bottom up.
QStringList LocationsChart::barNames(qreal room) const {
    QStringList names;
    for (std::size_t bar = bars_; bar-- > 0;)
        names << barName(locations_[bar], room);
    return names;
}

// Qt Charts gives the axes on one side of a chart at most 4 tenths of its width (maxAxisPortion
// in its layout, cartesianchartlayout.cpp).
qreal LocationsChart::nameRoom() const {
    return width() * 0.4 - fontMetrics().height() * 2;
}

void LocationsChart::draw(std::size_t bars) {
    bars_ = bars;
    auto* chart = newChart(
        locations_.empty() ? QString()
        : bars_ < locations_.size()
            ? tr("Sum of A/D of the %1 highest of %2 locations").arg(bars_).arg(locations_.size())
            : tr("Sum of A/D of each location"));
    replaceChart(*this, chart);
    setAccessibleDescription(chart->title());
    if (bars_ == 0)
        return;

    // A logarithmic axis has no zero: a sum below its floor is drawn at the floor.
    const double floorLevel = 1e-4;
    double highest = 1e4;
    auto* sums = new QBarSet(tr("Sum of A/D"));
    sums->setColor(QColor(0x40, 0x70, 0xc0));
    for (std::size_t bar = bars_; bar-- > 0;) { // the highest sum at the top
        sums->append(std::max(locations_[bar].sumAOverD, floorLevel));
        highest = std::max(highest, locations_[bar].sumAOverD * 10);
    }
    names_ = barNames(nameRoom());
    // Horizontal bars, so that the locations' names read across.
    auto* series = new QHorizontalBarSeries;
    series->append(sums);
    chart->addSeries(series);
    auto* namesAxis = new QBarCategoryAxis;
    namesAxis->append(names_);
    auto* sumAxis = new QLogValueAxis;
    sumAxis->setLabelFormat(logLabelFormat);
    sumAxis->setTitleText(tr("Sum of A/D"));
    lowDecade_ = static_cast<int>(std::floor(std::log10(floorLevel)));
    highDecade_ = static_cast<int>(std::ceil(std::log10(highest)));
    applySteps(*sumAxis, logSteps(lowDecade_, highDecade_, 5));
    chart->addAxis(sumAxis, Qt::AlignBottom);
    chart->addAxis(namesAxis, Qt::AlignLeft);
    series->attachAxis(sumAxis);
    series->attachAxis(namesAxis);

    // The lower end of each category of A/D, a dashed line through the bars, named on an axis
    // above them that runs along the same powers of ten.
    auto* bands = new QCategoryAxis;
    bands->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    bands->setTitleText(tr("Lower end of each category"));
    bands->setLabelsColor(boundColour.darker(130));
    bands->setGridLineVisible(false);
    bands->setLineVisible(false);
    bands->setStartValue(std::log10(sumAxis->min()));
    const qreal bottom = -0.5, top = static_cast<qreal>(bars_) - 0.5;
    for (auto band = aOverDBands.rbegin(); band != aOverDBands.rend(); ++band)
        if (std::isfinite(band->atLeast)) {
            bands->append(fromBytes(band->label), std::log10(band->atLeast));
            addLine(chart, sumAxis, namesAxis, {band->atLeast, bottom}, {band->atLeast, top},
                    dashed(boundColour));
        }
    bands->setRange(std::log10(sumAxis->min()), std::log10(sumAxis->max()));
    chart->addAxis(bands, Qt::AlignTop);

    connect(chart, &QChart::plotAreaChanged, this, &LocationsChart::fitToPlot);
}

// Draws again, later and not within the chart's own signal, when the picture has room for
// another number of bars or the names break otherwise; else labels the sums every so many
// decades as their room needs, and the bands with them.
void LocationsChart::fitToPlot(const QRectF& plot) {
    if (plot.isEmpty() || redrawing_ || bars_ == 0)
        return;
    // Each bar has room for its name and a gap; the names of all the bars it might show are
    // measured, so that showing fewer or more does not change the room of each.
    const std::size_t candidates = std::min(locations_.size(), mostBars);
    qsizetype lines = 1;
    for (std::size_t bar = 0; bar < candidates; ++bar)
        lines =
            std::max(lines, barName(locations_[bar], nameRoom()).count(QStringLiteral("<br>")) + 1);
    const qreal perBar = fontMetrics().height() * (static_cast<qreal>(lines) + 0.6);
    const auto fit = std::max<std::size_t>(1, static_cast<std::size_t>(plot.height() / perBar));
    const std::size_t wanted = std::min(candidates, fit);
    if (wanted != bars_ || barNames(nameRoom()) != names_) {
        redrawing_ = true;
        QMetaObject::invokeMethod(
            this,
            [this, wanted] {
                redrawing_ = false;
                draw(wanted);
            },
            Qt::QueuedConnection);
        return;
    }
    auto* sums = axisOf<QLogValueAxis>(*chart(), Qt::Horizontal);
    auto* bands = axisOf<QCategoryAxis>(*chart(), Qt::Horizontal);
    if (!sums || !bands)
        return;
    QStringList labels;
    for (int decade = lowDecade_; decade <= highDecade_; ++decade)
        labels << QString::asprintf("%g", std::pow(10.0, decade));
    applySteps(*sums, logSteps(lowDecade_, highDecade_,
                               static_cast<int>(plot.width() / widestLabel(*sums, labels))));
    bands->setRange(std::log10(sums->min()), std::log10(sums->max()));
}

DateTicks dateTicks(QDate from, QDate to, qreal room,
                    const std::function<qreal(const QString& format)>& labelWidth) {
    DateTicks ticks;
    const auto span = static_cast<double>(from.daysTo(to));
    for (const DateStep& step : dateSteps) {
        ticks.format = dateFormat(step.unit);
        // Steps whose dates are surely too many for the room are not counted one by one.
        const double stepDays = step.count * (step.unit == DateStep::day     ? 1.0
                                              : step.unit == DateStep::month ? 30.4
                                                                             : 365.2);
        if ((span / stepDays - 2) * labelWidth(ticks.format) > room)
            continue;
        ticks.dates = roundDates(from, to, step);
        if (static_cast<qreal>(ticks.dates.size()) * labelWidth(ticks.format) <= room)
            return ticks;
    }
    // Not even the coarsest step fits: its dates all the same, since an axis needs labels.
    ticks.format = dateFormat(std::end(dateSteps)[-1].unit);
    ticks.dates = roundDates(from, to, std::end(dateSteps)[-1]);
    return ticks;
}

QImage chartPicture(QChartView& view, QSize size) {
    // Shown, but not on the screen, so that the view lays itself out as it would there.
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.resize(size);
    view.show();
    // The layout, the axes fitted to it and a chart drawn again for its room, each in turn.
    for (int pass = 0; pass < 4; ++pass) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::sendPostedEvents(&view, QEvent::MetaCall);
    }
    constexpr qreal sharpness = 2;
    QImage picture(size * sharpness, QImage::Format_RGB32);
    picture.setDevicePixelRatio(sharpness);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    view.scene()->render(&painter, QRectF(QPointF(), size), view.sceneRect());
    return picture;
}

} // namespace dovrin
