// The register's window: what it holds (the open inventory or register, what runs in the
// background) and its actions. Its controls, exports, settings and recent files are built in
// files of their own beside this one; the register's own actions in register_keeping.cpp.

#include "register_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDateEdit>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSortFilterProxyModel>
#include <QTableView>

#include "charts.h"
#include "inventory_input.h"
#include "inventory_loader.h"
#include "locations_model.h"
#include "postgres_store.h"
#include "qt_text.h"
#include "sources_model.h"
#include "window_settings.h"

namespace dovrin {

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
    annualAction_ = file->addAction(tr("Export &Annual Inventory…"), this,
                                    &RegisterWindow::chooseAndExportAnnual);
    annualAction_->setObjectName(QStringLiteral("annualAction"));
    annualAction_->setShortcut(Qt::CTRL | Qt::ALT | Qt::Key_E);
    transactionsAction_ = file->addAction(tr("Export &Transactions…"), this,
                                          &RegisterWindow::chooseAndExportTransactions);
    transactionsAction_->setObjectName(QStringLiteral("transactionsAction"));
    transactionsAction_->setShortcut(Qt::CTRL | Qt::ALT | Qt::Key_T);
    sourceRecordAction_ = file->addAction(tr("Export &Source Record…"), this,
                                          &RegisterWindow::chooseAndExportSourceRecord);
    sourceRecordAction_->setObjectName(QStringLiteral("sourceRecordAction"));
    sourceRecordAction_->setShortcut(Qt::CTRL | Qt::ALT | Qt::Key_S);
    printAction_ = file->addAction(tr("&Print…"), this, &RegisterWindow::print);
    printAction_->setShortcut(QKeySequence::Print);
    printAction_->setObjectName(QStringLiteral("printAction"));
    createPrintRegisterMenu(file);
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
                if (registerOpen_)
                    putRecordColumnsLast();
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
    sources_->showRowsKept();
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

} // namespace dovrin
