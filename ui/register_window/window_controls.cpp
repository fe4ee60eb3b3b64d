// The register window's controls: the filters above the tables, the sources' and locations'
// tables, the pictures, and the status bar, with the order Tab takes through them.

#include <algorithm>
#include <array>

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include "charts.h"
#include "locations_model.h"
#include "qt_text.h"
#include "register_window.h"
#include "sources_model.h"
#include "table_columns.h"
#include "window_settings.h"

namespace dovrin {

void RegisterWindow::createControls() {
    auto* central = named(new QWidget(this), "central", tr("Register"));
    auto* layout = new QVBoxLayout(central);

    auto* filters = new QHBoxLayout;
    layout->addLayout(filters);
    asOfBox_ = named(new QDateEdit(central), "asOfBox", tr("As of"));
    asOfBox_->setCalendarPopup(true);
    asOfBox_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    asOfBox_->setDate(qDate(dayOf(clock_())));
    asOfBox_->setToolTip(tr("The date at which activities and categories are worked out: the "
                            "present moment today, the start of the day for any other date"));
    auto* asOfLabel = named(new QLabel(tr("&As of:"), central), "asOfLabel", tr("As of"));
    asOfLabel->setBuddy(asOfBox_);
    filters->addWidget(asOfLabel);
    filters->addWidget(asOfBox_);
    connect(asOfBox_, &QDateEdit::dateChanged, this, &RegisterWindow::asOfChanged);
    createKnownAtBox(central, filters);

    // The more severe of the current category by the table and by A/D, as the rows are coloured.
    categoryBox_ = named(new QComboBox(central), "categoryBox",
                         tr("Category, the more severe of the table's and A/D's"));
    categoryBox_->addItem(tr("All categories"), -1);
    for (std::size_t label = 0; label < categoryLabels.size(); ++label)
        if (categoryLabels[label] != labels::notAssigned)
            categoryBox_->addItem(categoryLabels[label] == labels::exempted
                                      ? fromBytes(categoryLabels[label])
                                      : tr("Category %1").arg(fromBytes(categoryLabels[label])),
                                  static_cast<int>(label + 1));
    categoryBox_->addItem(tr("Errors"), 0);
    auto* categoryLabel =
        named(new QLabel(tr("&Category:"), central), "categoryLabel", tr("Category"));
    categoryLabel->setBuddy(categoryBox_);
    filters->addWidget(categoryLabel);
    filters->addWidget(categoryBox_);
    connect(categoryBox_, &QComboBox::currentIndexChanged, this, [this] {
        const int code = categoryBox_->currentData().toInt();
        SourcesFilter::Category category;
        category.errors = code == 0;
        category.label = code > 0 ? static_cast<LabelCode>(code) : LabelCode{0};
        sourcesFilter_->setCategory(category);
        showCounts();
    });

    dueBox_ = named(new QComboBox(central), "dueBox", tr("Due"));
    dueBox_->addItem(tr("All sources"), static_cast<int>(SourcesFilter::DueWindow::any));
    dueBox_->addItem(tr("Overdue"), static_cast<int>(SourcesFilter::DueWindow::overdue));
    dueBox_->addItem(tr("Due within 30 days"),
                     static_cast<int>(SourcesFilter::DueWindow::within30Days));
    dueBox_->addItem(tr("Due within 90 days"),
                     static_cast<int>(SourcesFilter::DueWindow::within90Days));
    dueBox_->setToolTip(tr("The sources with a leak test, an inventory or the end of the working "
                           "life overdue, or due within the days from the as-of day on"));
    auto* dueLabel = named(new QLabel(tr("D&ue:"), central), "dueLabel", tr("Due"));
    dueLabel->setBuddy(dueBox_);
    filters->addWidget(dueLabel);
    filters->addWidget(dueBox_);
    connect(dueBox_, &QComboBox::currentIndexChanged, this, [this] {
        sourcesFilter_->setDue(
            static_cast<SourcesFilter::DueWindow>(dueBox_->currentData().toInt()));
        showCounts();
    });

    findBox_ = named(new QLineEdit(central), "findBox", tr("Find"));
    findBox_->setPlaceholderText(tr("Rows holding this text"));
    findBox_->setClearButtonEnabled(true);
    auto* findLabel = named(new QLabel(tr("&Find:"), central), "findLabel", tr("Find"));
    findLabel->setBuddy(findBox_);
    filters->addWidget(findLabel);
    filters->addWidget(findBox_, 1);
    connect(findBox_, &QLineEdit::textChanged, this, [this](const QString& text) {
        sourcesFilter_->setText(text);
        showCounts();
    });
    allLocationsButton_ = named(new QPushButton(tr("All &locations"), central),
                                "allLocationsButton", tr("Show the sources of every location"));
    allLocationsButton_->setEnabled(false);
    filters->addWidget(allLocationsButton_);
    connect(allLocationsButton_, &QPushButton::clicked, this,
            [this] { locationsView_->clearSelection(); });

    auto* split = named(new QSplitter(Qt::Vertical, central), "mainSplitter", tr("Panes"));
    layout->addWidget(split, 1);
    sourcesView_ = named(new QTableView(split), "sourcesView", tr("Sources"));
    sourcesView_->setModel(sourcesFilter_);
    sourcesView_->setSortingEnabled(true);
    sourcesView_->sortByColumn(-1, Qt::AscendingOrder);
    sourcesView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    sourcesView_->setSelectionMode(QAbstractItemView::SingleSelection);
    sourcesView_->setWordWrap(false);
    sourcesView_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    sourcesView_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    sourcesView_->setTabKeyNavigation(false);
    connect(sourcesView_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &RegisterWindow::sourceSelected);

    auto* lower =
        named(new QSplitter(Qt::Horizontal, split), "lowerSplitter", tr("Locations and pictures"));
    auto* locationsPane = named(new QWidget(lower), "locationsPane", tr("Locations"));
    auto* locationsLayout = new QVBoxLayout(locationsPane);
    locationsLayout->setContentsMargins(0, 0, 0, 0);
    nrcBox_ = named(new QCheckBox(tr("US &NRC sum of fractions"), locationsPane), "nrcBox",
                    tr("US NRC sum of fractions"));
    nrcBox_->setToolTip(tr("The sums of fractions of 10 CFR 37 Appendix A for each location, "
                           "which should then be one area behind a common security barrier; "
                           "the activity of an Am-241/Be source is that of its Am-241"));
    locationsLayout->addWidget(nrcBox_);
    locationsView_ = named(new QTableView(locationsPane), "locationsView", tr("Locations"));
    locationsLayout->addWidget(locationsView_, 1);
    locationsView_->setModel(locationsFilter_);
    locationsView_->setSortingEnabled(true);
    locationsView_->sortByColumn(-1, Qt::AscendingOrder);
    locationsView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    locationsView_->setSelectionMode(QAbstractItemView::SingleSelection);
    locationsView_->setTabKeyNavigation(false);
    locationsView_->verticalHeader()->hide();
    locationsView_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    locationsView_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    locationsView_->setWordWrap(false);
    connect(locationsView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &RegisterWindow::locationSelected);
    nrcBox_->setChecked(nrcFractionsShown());
    showNrcColumns(nrcBox_->isChecked());
    connect(nrcBox_, &QCheckBox::toggled, this, [this](bool shown) {
        rememberNrcFractionsShown(shown);
        showNrcColumns(shown);
    });
    // A new set of locations shows every column again.
    connect(locationsFilter_, &QAbstractItemModel::modelReset, this,
            [this] { showNrcColumns(nrcBox_->isChecked()); });

    chartTabs_ = named(new QTabWidget(lower), "chartTabs", tr("Pictures"));
    decayChart_ =
        named(new DecayChart(chartTabs_), "decayChart", tr("Decay of the selected source"));
    locationsChart_ =
        named(new LocationsChart(chartTabs_), "locationsChart", tr("Sum of A/D of each location"));
    chartTabs_->addTab(decayChart_, tr("&Decay"));
    chartTabs_->addTab(locationsChart_, tr("Locations &A/D"));
    // The pictures' pane below the sources takes half the height: room for the title, the axes
    // and the notes of a chart.
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    split->setSizes({500, 500});
    lower->setStretchFactor(0, 1);
    lower->setStretchFactor(1, 1);
    lower->setSizes({620, 660});
    mainSplitter_ = split;
    lowerSplitter_ = lower;
    keepResizedColumns(*sourcesView_, sourcesWidths_);
    keepResizedColumns(*locationsView_, locationsWidths_);
    setCentralWidget(central);

    setTabOrder(asOfBox_, categoryBox_);
    setTabOrder(categoryBox_, dueBox_);
    setTabOrder(dueBox_, findBox_);
    setTabOrder(findBox_, allLocationsButton_);
    setTabOrder(allLocationsButton_, sourcesView_);
    setTabOrder(sourcesView_, nrcBox_);
    setTabOrder(nrcBox_, locationsView_);
    setTabOrder(locationsView_, chartTabs_);
}

void RegisterWindow::createStatusBar() {
    countsLabel_ = named(new QLabel(statusBar()), "countsLabel", tr("Counts"));
    progressBar_ = named(new QProgressBar(statusBar()), "progressBar", tr("Progress"));
    progressBar_->setRange(0, 1000);
    progressBar_->setMaximumWidth(240);
    progressBar_->hide();
    cancelButton_ =
        named(new QPushButton(tr("Cancel"), statusBar()), "cancelButton", tr("Cancel the opening"));
    cancelButton_->hide();
    connect(cancelButton_, &QPushButton::clicked, this, &RegisterWindow::cancelWork);
    statusBar()->setObjectName(QStringLiteral("statusBar"));
    statusBar()->setAccessibleName(tr("Status"));
    statusBar()->addWidget(countsLabel_, 1);
    statusBar()->addPermanentWidget(progressBar_);
    statusBar()->addPermanentWidget(cancelButton_);
}

bool RegisterWindow::nrcShown() const {
    return nrcBox_->isChecked();
}

void RegisterWindow::showNrcColumns(bool shown) {
    for (int column = LocationsModel::firstNrcColumn; column < locations_->columnCount(); ++column)
        locationsView_->setColumnHidden(column, !shown);
}

void RegisterWindow::putRecordColumnsLast() {
    static constexpr std::array identifying{"id",   "radionuclide", "activity",
                                            "unit", "manufactured", "location"};
    QHeaderView* header = sourcesView_->horizontalHeader();
    const std::vector<std::string>& names = sources_->texts()->header;
    for (std::size_t column = 0; column < names.size(); ++column)
        if (std::ranges::find(identifying, names[column]) == identifying.end())
            header->moveSection(header->visualIndex(static_cast<int>(column)), header->count() - 1);
}

// The columns as the person made them, the others as wide as their headings and, up to a
// limit, their texts; what the window does to them is not the person's doing.
void RegisterWindow::fitTable(QTableView& view, const ColumnWidths& widths) {
    fittingColumns_ = true;
    fitColumns(view, widths, fontMetrics().averageCharWidth() * 32);
    fittingColumns_ = false;
}

void RegisterWindow::keepResizedColumns(QTableView& view, ColumnWidths& widths) {
    connect(view.horizontalHeader(), &QHeaderView::sectionResized, this,
            [this, &view, &widths](int column, int, int width) {
                if (!fittingColumns_)
                    widths.insert(columnKey(view, column), width);
            });
}

} // namespace dovrin
