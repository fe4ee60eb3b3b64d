#include "register_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "charts.h"
#include "inventory_input.h"
#include "inventory_loader.h"
#include "locations_model.h"
#include "postgres_store.h"
#include "qt_text.h"
#include "report.h"
#include "run.h"
#include "sources_model.h"
#include "table_columns.h"

namespace dovrin {

namespace {

constexpr int mostRecentFiles = 8;
const QString recentKey = QStringLiteral("recentInventories");
const QString nrcKey = QStringLiteral("showNrcFractions");
// The window's size, its panes and its columns as they were last closed.
const QString geometryKey = QStringLiteral("registerWindow/geometry");
const QString mainSplitterKey = QStringLiteral("registerWindow/mainSplitter");
const QString lowerSplitterKey = QStringLiteral("registerWindow/lowerSplitter");
const QString sourcesColumnsKey = QStringLiteral("registerWindow/sourcesColumns");
const QString locationsColumnsKey = QStringLiteral("registerWindow/locationsColumns");

// The answers given for a file, kept under a key made of its path.
QString optionsKey(const QString& path) {
    return QStringLiteral("inventoryOptions/") +
           QString::fromLatin1(path.toUtf8().toBase64(QByteArray::Base64UrlEncoding |
                                                      QByteArray::OmitTrailingEquals));
}

std::optional<OpenOptions> rememberedOptions(const QString& path) {
    QSettings settings;
    settings.beginGroup(optionsKey(path));
    if (!settings.contains(QStringLiteral("dateOrder")))
        return std::nullopt;
    OpenOptions options;
    const QString separator = settings.value(QStringLiteral("separator")).toString();
    if (!separator.isEmpty())
        options.inventory.separator = separator.at(0).toLatin1();
    options.dateOrder = settings.value(QStringLiteral("dateOrder")).toString() == u"dmy"
                            ? DateOrder::dayFirst
                            : DateOrder::monthFirst;
    const QStringList columns = settings.value(QStringLiteral("columns")).toStringList();
    for (const QString& choice : columns) {
        const qsizetype equals = choice.indexOf(u'=');
        const auto column = columnNamed(choice.left(equals).toStdString());
        if (equals > 0 && column)
            options.inventory.columns.push_back({*column, choice.mid(equals + 1).toStdString()});
    }
    return options;
}

void rememberOptions(const QString& path, const OpenOptions& options) {
    QSettings settings;
    settings.beginGroup(optionsKey(path));
    settings.setValue(QStringLiteral("separator"),
                      options.inventory.separator
                          ? QString(QChar::fromLatin1(*options.inventory.separator))
                          : QString());
    settings.setValue(QStringLiteral("dateOrder"), options.dateOrder == DateOrder::dayFirst
                                                       ? QStringLiteral("dmy")
                                                       : QStringLiteral("mdy"));
    QStringList columns;
    for (const ColumnChoice& choice : options.inventory.columns)
        columns << fromBytes(columnNames[static_cast<std::size_t>(choice.column)]) + u'=' +
                       QString::fromStdString(choice.header);
    settings.setValue(QStringLiteral("columns"), columns);
}

} // namespace

RegisterWindow::RegisterWindow(Clock clock, QWidget* parent)
    : QMainWindow(parent)
    , clock_(std::move(clock))
    , loader_(new InventoryLoader(this))
    , sources_(new SourcesModel(this))
    , sourcesFilter_(new SourcesFilter(sources_, this))
    , locations_(new LocationsModel(this))
    , locationsFilter_(new QSortFilterProxyModel(this)) {
    setObjectName(QStringLiteral("registerWindow"));
    setWindowTitle(tr("Dovrin Register"));
    setAccessibleName(windowTitle());
    setAcceptDrops(true);
    locationsFilter_->setSourceModel(locations_);
    locationsFilter_->setSortRole(LocationsModel::sortRole);
    createActions();
    createControls();
    createStatusBar();
    bindLoader();
    setExportsEnabled(false);
    showCounts();
    resize(1280, 800);
    readSettings();
}

RegisterWindow::~RegisterWindow() {
    // The panes hide as QWidget's destructor closes them, after this window's own members are
    // gone: they must not call back into it then.
    historyDock_->disconnect(this);
}

void RegisterWindow::createActions() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("fileMenu"));
    openAction_ = file->addAction(tr("&Open…"), this, [this] {
        const QString path = QFileDialog::getOpenFileName(
            this, tr("Open an inventory"), QFileInfo(path_).path(),
            tr("Inventories and registers (*.csv *.CSV *.txt *.tsv *.xlsx *.ods *.dovrin);;"
               "All files (*)"));
        if (!path.isEmpty())
            open(path);
    });
    openAction_->setShortcut(QKeySequence::Open);
    openAction_->setObjectName(QStringLiteral("openAction"));
    QAction* openRegistry =
        file->addAction(tr("Open Re&gistry…"), this, &RegisterWindow::askAndOpenRegistry);
    openRegistry->setShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_O);
    openRegistry->setObjectName(QStringLiteral("openRegistryAction"));
    recentMenu_ = file->addMenu(tr("Open &Recent"));
    recentMenu_->setObjectName(QStringLiteral("recentMenu"));
    connect(recentMenu_, &QMenu::aboutToShow, this, &RegisterWindow::fillRecentMenu);
    file->addSeparator();
    exportCsvAction_ =
        file->addAction(tr("&Export CSV…"), this, &RegisterWindow::chooseAndExportCsv);
    exportCsvAction_->setShortcut(Qt::CTRL | Qt::Key_E);
    exportCsvAction_->setObjectName(QStringLiteral("exportCsvAction"));
    exportReportAction_ =
        file->addAction(tr("Export &Report…"), this, &RegisterWindow::chooseAndExportReport);
    exportReportAction_->setShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_E);
    exportReportAction_->setObjectName(QStringLiteral("exportReportAction"));
    printAction_ = file->addAction(tr("&Print…"), this, &RegisterWindow::print);
    printAction_->setShortcut(QKeySequence::Print);
    printAction_->setObjectName(QStringLiteral("printAction"));
    file->addSeparator();
    quitAction_ = file->addAction(tr("&Quit"), this, &QWidget::close);
    quitAction_->setShortcut(QKeySequence::Quit);
    quitAction_->setObjectName(QStringLiteral("quitAction"));

    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->setObjectName(QStringLiteral("viewMenu"));
    createRegisterActions(file, view);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->setObjectName(QStringLiteral("helpMenu"));
    QAction* about = help->addAction(tr("&About Dovrin Register"), this, [this] {
        QMessageBox::about(this, tr("About Dovrin Register"), aboutText());
    });
    about->setObjectName(QStringLiteral("aboutAction"));
}

// The version, the licence, and where the tables' values come from.
QString RegisterWindow::aboutText() {
    return tr("<p><b>Dovrin Register %1</b></p>"
              "<p>Places each sealed radioactive source of an inventory in its security "
              "category, with the totals of each location and the duties due.</p>"
              "<p>The categories follow the IAEA's categorisation of radioactive sources "
              "(RS-G-1.9). Every value of the tables (category bounds, D-values, half-lives, "
              "exemption levels) is listed with its source in <i>%2</i>.</p>"
              "<p>MIT License. Copyright © 2026 The Dovrin Calculator authors.</p>")
        .arg(QStringLiteral(DOVRIN_VERSION), QStringLiteral(DOVRIN_DATA_DOC));
}

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
    nrcBox_->setChecked(QSettings().value(nrcKey, false).toBool());
    showNrcColumns(nrcBox_->isChecked());
    connect(nrcBox_, &QCheckBox::toggled, this, [this](bool shown) {
        QSettings().setValue(nrcKey, shown);
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

void RegisterWindow::bindLoader() {
    connect(loader_, &InventoryLoader::started, this,
            [this](std::shared_ptr<InventoryTexts> texts) {
                path_ = pendingPath_;
                partShown_ = true;
                registerOpen_ = store::isStoreLocation(QFile::encodeName(path_).toStdString());
                showTitle();
                auto results = std::make_shared<InventoryResults>();
                results->evaluation = {asOfMoment(), pendingOptions_.dateOrder};
                locationsView_->clearSelection();
                sourcesFilter_->setLocation(std::nullopt);
                locations_->setLocations({});
                sources_->setInventory(std::move(texts), std::move(results));
                fitTable(*sourcesView_, sourcesWidths_);
                decayChart_->showNothing(tr("Select a source to see its decay."));
                locationsChart_->showLocations({});
                rememberRecent(path_);
            });
    connect(loader_, &InventoryLoader::batchRead, this,
            [this](std::shared_ptr<LoadedBatch> batch) { keepBatch(*batch); });
    connect(loader_, &InventoryLoader::finished, this, &RegisterWindow::loadFinished);
    connect(loader_, &InventoryLoader::progress, this, &RegisterWindow::showProgress);
    connect(loader_, &InventoryLoader::failed, this,
            [this](const QString& reason) { fail(pendingPath_, reason); });
    connect(loader_, &InventoryLoader::columnsNeeded, this, &RegisterWindow::askOptions);
    connect(loader_, &InventoryLoader::dateOrderNeeded, this, [this](const QStringList& header) {
        askOptions(tr("The dates of manufacture are written with slashes: say whether they "
                      "give the month or the day first."),
                   header);
    });
    connect(loader_, &InventoryLoader::reevaluated, this,
            [this](std::shared_ptr<InventoryResults> results) {
                work_ = Work::idle;
                endProgress();
                sources_->setResults(results);
                locations_->setLocations(results->locations);
                locationsChart_->showLocations(results->locations);
                sourceSelected();
                showCounts();
                emit inventoryReevaluated();
            });
}

LocalTime RegisterWindow::asOfMoment() const {
    const LocalTime now = clock_();
    const auto today = std::chrono::floor<std::chrono::days>(now);
    const std::chrono::local_days chosen{dayOf(asOfBox_->date())};
    return chosen == today ? now : LocalTime{chosen};
}

bool RegisterWindow::nrcShown() const {
    return nrcBox_->isChecked();
}

void RegisterWindow::showNrcColumns(bool shown) {
    for (int column = LocationsModel::firstNrcColumn; column < locations_->columnCount(); ++column)
        locationsView_->setColumnHidden(column, !shown);
}

bool RegisterWindow::loading() const {
    return loader_->busy();
}

QString shownName(const QString& location) {
    const std::string text = location.toStdString();
    if (!store::isRegistryAddress(text))
        return QFileInfo(location).fileName();
    const std::string shown = store::shownLocation(text); // quoted
    return fromBytes(std::string_view(shown).substr(1, shown.size() - 2));
}

void RegisterWindow::open(const QString& path) {
    // A registry's connection is no file's path: it is taken as it is.
    const QString absolute =
        store::isRegistryAddress(path.toStdString()) ? path : QFileInfo(path).absoluteFilePath();
    if (store::isStoreLocation(QFile::encodeName(absolute).toStdString())) {
        reselect_.clear();
        startLoad(absolute, {}, false); // a register's rows are its own: nothing to ask
        return;
    }
    const auto sheet = chooseSheet(absolute);
    if (!sheet)
        return;
    const auto remembered = rememberedOptions(absolute);
    OpenOptions options = remembered.value_or(OpenOptions{});
    options.inventory.sheet = *sheet;
    startLoad(absolute, options, !remembered.has_value());
}

std::optional<std::string> RegisterWindow::chooseSheet(const QString& path) {
    std::string error;
    const auto sheets = workbookSheets(QFile::encodeName(path).toStdString(), error);
    if (!error.empty()) {
        fail(path, QString::fromStdString(error));
        return std::nullopt;
    }
    if (!sheets || sheets->size() < 2)
        return std::string();
    QStringList names;
    for (const std::string& name : *sheets)
        names << QString::fromStdString(name);
    bool chosen = false;
    const QString name = QInputDialog::getItem(
        this, tr("Choose a sheet"),
        tr("%1 has %n sheets. Which one is the inventory?", nullptr, static_cast<int>(names.size()))
            .arg(shownName(path)),
        names, 0, false, &chosen);
    if (!chosen)
        return std::nullopt;
    return name.toStdString();
}

void RegisterWindow::startLoad(const QString& path, const OpenOptions& options,
                               bool askAboutSlashDates) {
    pendingPath_ = path;
    pendingOptions_ = options;
    pendingAsk_ = askAboutSlashDates;
    work_ = Work::loading;
    if (partShown_) // a file still loading is replaced
        clearInventory();
    LoadRequest request;
    request.path = QFile::encodeName(path).toStdString();
    request.options = options.inventory;
    request.evaluation = {asOfMoment(), options.dateOrder};
    request.askAboutSlashDates = askAboutSlashDates;
    request.knownAt = knownAt_;
    setExportsEnabled(false);
    showProgress(0, 0);
    countsLabel_->setText(tr("Opening %1…").arg(shownName(path)));
    loader_->load(std::move(request));
}

void RegisterWindow::askOptions(const QString& reason, const QStringList& header) {
    work_ = Work::idle;
    endProgress();
    showCounts();
    OpenOptionsDialog dialog(reason, header, pendingOptions_, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    OpenOptions options = dialog.options();
    options.inventory.sheet = pendingOptions_.inventory.sheet;
    rememberOptions(pendingPath_, options);
    startLoad(pendingPath_, options, false);
}

void RegisterWindow::keepBatch(LoadedBatch& batch) {
    const bool first = sources_->rowCount() == 0;
    sources_->append(batch);
    blankRowsSkipped_ = batch.blankRowsSkipped;
    totalsRowsSkipped_ = batch.totalsRowsSkipped;
    if (first && sources_->rowCount() > 0) {
        fitTable(*sourcesView_, sourcesWidths_); // to the first rows' texts
        if (!sourcesView_->currentIndex().isValid())
            sourcesView_->selectRow(0);
    }
    showCounts();
}

void RegisterWindow::loadFinished(std::vector<LocationTotal> locations) {
    work_ = Work::idle;
    partShown_ = false;
    endProgress();
    sources_->setLocations(locations);
    locations_->setLocations(locations);
    fitTable(*locationsView_, locationsWidths_);
    locationsChart_->showLocations(locations);
    allLocationsButton_->setEnabled(true);
    setExportsEnabled(true);
    showCounts();
    if (!reselect_.empty())
        selectSource(std::exchange(reselect_, {}));
    updateRegisterActions();
    showHistory();
    emit inventoryLoaded();
    if (pendingAnnual_)
        writeAnnualInventory();
}

void RegisterWindow::cancelWork() {
    const Work cancelled = work_;
    if (pendingAnnual_)
        emit exported(std::exchange(pendingAnnual_, std::nullopt)->path, false);
    loader_->cancel();
    work_ = Work::idle;
    endProgress();
    if (cancelled == Work::reevaluating) { // the sources stay at the date they were worked out
        const QSignalBlocker quiet(asOfBox_);
        asOfBox_->setDate(qDate(dayOf(sources_->results()->evaluation.asOf)));
        showCounts();
        return;
    }
    if (partShown_) // part of the file is shown: show none of it
        clearInventory();
    showCounts();
    countsLabel_->setText(tr("Opening %1 was cancelled.").arg(shownName(pendingPath_)));
    setExportsEnabled(sources_->texts() != nullptr);
}

void RegisterWindow::clearInventory() {
    partShown_ = false;
    sources_->setInventory(nullptr, nullptr);
    locations_->setLocations({});
    locationsChart_->showLocations({});
    decayChart_->showNothing(tr("Select a source to see its decay."));
    path_.clear();
    registerOpen_ = false;
    showTitle();
    updateRegisterActions();
}

void RegisterWindow::fail(const QString& path, const QString& reason) {
    work_ = Work::idle;
    if (pendingAnnual_) // the register could not be read as of its 31 December
        emit exported(std::exchange(pendingAnnual_, std::nullopt)->path, false);
    endProgress();
    if (partShown_) // it failed after its first rows
        clearInventory();
    showCounts();
    setExportsEnabled(sources_->texts() != nullptr);
    emit openFailed(reason);
    QMessageBox::warning(this, tr("Dovrin Register"),
                         tr("%1 cannot be used as an inventory.\n\n%2")
                             .arg(store::isRegistryAddress(path.toStdString())
                                      ? shownName(path)
                                      : QDir::toNativeSeparators(path),
                                  reason));
}

void RegisterWindow::asOfChanged() {
    if (registerOpen_ && work_ != Work::loading) { // the sources held change with the day
        showTitle();
        reload();
        return;
    }
    if (work_ == Work::loading) {
        startLoad(pendingPath_, pendingOptions_, pendingAsk_); // read it again at the new date
        return;
    }
    if (!sources_->texts())
        return;
    work_ = Work::reevaluating;
    showProgress(0, 0);
    countsLabel_->setText(tr("Working out every source at %1…").arg(asOfBox_->text()));
    loader_->reevaluate(sources_->texts(), sources_->results(),
                        {asOfMoment(), sources_->results()->evaluation.dateOrder});
}

void RegisterWindow::locationSelected() {
    const QModelIndexList rows = locationsView_->selectionModel()->selectedRows();
    std::optional<std::uint32_t> location;
    if (!rows.isEmpty())
        location = static_cast<std::uint32_t>(locationsFilter_->mapToSource(rows.first()).row());
    sourcesFilter_->setLocation(location);
    showCounts();
}

void RegisterWindow::sourceSelected() {
    updateRegisterActions();
    showHistory();
    const QModelIndex current = sourcesView_->currentIndex();
    if (!current.isValid() || !sources_->texts()) {
        decayChart_->showNothing(tr("Select a source to see its decay."));
        return;
    }
    const auto row = static_cast<std::size_t>(sourcesFilter_->mapToSource(current).row());
    const StoredResult& result = sources_->results()->rows[row];
    if (!result.categorised) {
        decayChart_->showNothing(tr("Row %1 has an error: %2")
                                     .arg(sources_->texts()->fileRow(row))
                                     .arg(fromBytes(sources_->results()->notes[result.note])));
        return;
    }
    decayChart_->showSource(*decayedSource(*sources_, row));
}

void RegisterWindow::showCounts() {
    if (!sources_->texts()) {
        countsLabel_->setText(tr(
            "No inventory open: open a CSV file or an .xlsx or .ods workbook, or drop one here."));
        countsLabel_->setToolTip({});
        return;
    }
    const QLocale locale;
    const auto total = static_cast<qulonglong>(sources_->rowCount());
    const auto errors = static_cast<qulonglong>(sources_->results()->errors);
    QString text =
        tr("%1 sources, %2 with errors").arg(locale.toString(total), locale.toString(errors));
    const auto shown = static_cast<qulonglong>(sourcesFilter_->rowCount());
    if (shown != total)
        text += tr("; %1 shown").arg(locale.toString(shown));
    // What the command line's summary says of the rows too.
    if (const std::uint64_t header = sources_->texts()->headerRow; header != 1)
        text += tr("; header row %1").arg(locale.toString(static_cast<qulonglong>(header)));
    if (blankRowsSkipped_ > 0)
        text += tr("; %1 blank rows skipped")
                    .arg(locale.toString(static_cast<qulonglong>(blankRowsSkipped_)));
    if (totalsRowsSkipped_ > 0)
        text += tr("; %1 totals rows skipped")
                    .arg(locale.toString(static_cast<qulonglong>(totalsRowsSkipped_)));
    // What the header lacks or carries unrecognised, one line each, where the counts point.
    QStringList remarks;
    for (const std::string& remark : sources_->texts()->headerRemarks)
        remarks << QString::fromStdString(remark);
    countsLabel_->setToolTip(remarks.join(u'\n'));
    countsLabel_->setText(text);
}

void RegisterWindow::showProgress(std::uint64_t done, std::uint64_t total) {
    progressBar_->show();
    cancelButton_->show();
    if (total == 0) {
        progressBar_->setValue(0);
        return;
    }
    progressBar_->setValue(static_cast<int>(std::min<std::uint64_t>(done * 1000 / total, 1000)));
}

void RegisterWindow::endProgress() {
    progressBar_->hide();
    cancelButton_->hide();
}

// A holder's register in a regulator's registry, by the connection the person gives: the
// program connects as the person's own role, which is the holder.
void RegisterWindow::askAndOpenRegistry() {
    bool given = false;
    const QString address = QInputDialog::getText(this, tr("Open a registry"),
                                                  tr("The registry's connection, as PostgreSQL "
                                                     "takes it\n(postgresql://… or service=NAME):"),
                                                  QLineEdit::Normal, QString(), &given)
                                .trimmed();
    if (!given || address.isEmpty())
        return;
    if (!store::isRegistryAddress(address.toStdString())) {
        fail(address, tr("this is not a registry's connection: it begins postgresql:// or "
                         "postgres://, or names a service=NAME"));
        return;
    }
    open(address);
}

void RegisterWindow::rememberRecent(const QString& path) {
    // A connection that holds a password is not written to the settings.
    if (store::isRegistryAddress(path.toStdString()) && shownName(path) != path)
        return;
    QSettings settings;
    QStringList recent = settings.value(recentKey).toStringList();
    recent.removeAll(path);
    recent.prepend(path);
    while (recent.size() > mostRecentFiles)
        recent.removeLast();
    settings.setValue(recentKey, recent);
}

void RegisterWindow::fillRecentMenu() {
    recentMenu_->clear();
    const QStringList recent = QSettings().value(recentKey).toStringList();
    for (const QString& path : recent)
        recentMenu_->addAction(QDir::toNativeSeparators(path), this, [this, path] { open(path); });
    if (recent.isEmpty())
        recentMenu_->addAction(tr("(none yet)"))->setEnabled(false);
}

void RegisterWindow::setExportsEnabled(bool enabled) {
    exportCsvAction_->setEnabled(enabled);
    exportReportAction_->setEnabled(enabled);
    printAction_->setEnabled(enabled);
}

void RegisterWindow::chooseAndExportCsv() {
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export the results as CSV"), QFileInfo(path_).path(), tr("CSV files (*.csv)"));
    if (!path.isEmpty())
        exportCsv(path);
}

void RegisterWindow::exportCsv(const QString& path) {
    if (!sources_->texts())
        return;
    RunOptions options;
    options.input = QFile::encodeName(path_).toStdString();
    options.output = QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString();
    options.inventory = sources_->texts()->options;
    options.asOf = sources_->results()->evaluation.asOf;
    options.dateOrder = sources_->results()->evaluation.dateOrder;
    const LocalTime now = clock_();
    auto* watcher = new QFutureWatcher<RunResult>(this);
    connect(watcher, &QFutureWatcher<RunResult>::finished, this, [this, watcher, path] {
        const RunResult result = watcher->result();
        watcher->deleteLater();
        endProgress();
        showCounts();
        const bool written = result.status != runImpossible;
        if (!written)
            QMessageBox::warning(this, tr("Dovrin Register"),
                                 tr("The results were not written.\n\n%1")
                                     .arg(QString::fromStdString(result.error)));
        emit exported(path, written);
    });
    progressBar_->setValue(0);
    progressBar_->show();
    countsLabel_->setText(tr("Writing %1…").arg(shownName(path)));
    watcher->setFuture(QtConcurrent::run(
        [options, now] { return categoriseInventory(options, now, stdin, stdout); }));
}

void RegisterWindow::chooseAndExportReport() {
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export the report as PDF"), QFileInfo(path_).path(), tr("PDF files (*.pdf)"));
    if (!path.isEmpty())
        exportReport(path);
}

void RegisterWindow::exportReport(const QString& path) {
    if (!sources_->texts() || loader_->busy())
        return;
    QString error;
    if (QFileInfo(path).absoluteFilePath() == QFileInfo(path_).absoluteFilePath() ||
        QFileInfo(path).canonicalFilePath() == QFileInfo(path_).canonicalFilePath())
        error = tr("It would be written over the inventory.");
    else
        error = writeReportPdf(makeReport(*sources_, path_, clock_(), hiddenLocationColumns()),
                               tr("Inventory %1").arg(shownName(path_)), path);
    if (!error.isEmpty())
        QMessageBox::warning(this, tr("Dovrin Register"),
                             tr("The report was not written.\n\n%1").arg(error));
    emit exported(path, error.isEmpty());
}

void RegisterWindow::print() {
    if (!sources_->texts() || loader_->busy())
        return;
    printOnChosenPrinter(makeReport(*sources_, path_, clock_(), hiddenLocationColumns()),
                         tr("Inventory %1").arg(shownName(path_)));
}

bool RegisterWindow::printOnChosenPrinter(const Report& report, const QString& name) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(name);
    setReportPage(printer, reportPageSize(QLocale()));
    QPrintDialog dialog(&printer, this);
    dialog.setObjectName(QStringLiteral("printDialog"));
    dialog.setAccessibleName(tr("Print the report"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    if (printReport(report, printer) > 0)
        return true;
    QMessageBox::warning(this, tr("Dovrin Register"),
                         tr("The report could not be printed on %1.").arg(printer.printerName()));
    return false;
}

// The columns of the locations' table the report leaves out, as the window does.
std::vector<int> RegisterWindow::hiddenLocationColumns() const {
    std::vector<int> hidden;
    for (int column = 0; column < locations_->columnCount(); ++column)
        if (locationsView_->isColumnHidden(column))
            hidden.push_back(column);
    return hidden;
}

void RegisterWindow::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.first().isLocalFile())
        event->acceptProposedAction();
}

void RegisterWindow::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return;
    event->acceptProposedAction();
    open(urls.first().toLocalFile());
}

void RegisterWindow::closeEvent(QCloseEvent* event) {
    loader_->cancel();
    writeSettings();
    QMainWindow::closeEvent(event);
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

// As Qt's application example keeps its window: the size, the panes and the columns as they
// were last closed; the defaults on a first run or when a setting cannot be read.
void RegisterWindow::readSettings() {
    const QSettings settings;
    restoreGeometry(settings.value(geometryKey).toByteArray());
    mainSplitter_->restoreState(settings.value(mainSplitterKey).toByteArray());
    lowerSplitter_->restoreState(settings.value(lowerSplitterKey).toByteArray());
    sourcesWidths_ = widthsOf(settings.value(sourcesColumnsKey).toMap());
    locationsWidths_ = widthsOf(settings.value(locationsColumnsKey).toMap());
}

void RegisterWindow::writeSettings() {
    QSettings settings;
    settings.setValue(geometryKey, saveGeometry());
    settings.setValue(mainSplitterKey, mainSplitter_->saveState());
    settings.setValue(lowerSplitterKey, lowerSplitter_->saveState());
    settings.setValue(sourcesColumnsKey, settingsOf(sourcesWidths_));
    settings.setValue(locationsColumnsKey, settingsOf(locationsWidths_));
}

} // namespace dovrin
