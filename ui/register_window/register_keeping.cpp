// The register window's actions on a kept register: New Register, the Record menu, Reload,
// the History pane and the "as recorded on" moment. The rules of the events are the
// register's own (register/store/); this file only asks for them and shows what they say.

#include <functional>

#include <QAction>
#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QStatusBar>
#include <QTableView>

#include "calendar.h"
#include "events.h"
#include "history_pane.h"
#include "import_dialog.h"
#include "inventory_loader.h"
#include "qt_text.h"
#include "record_dialog.h"
#include "register_reports.h"
#include "register_window.h"
#include "report.h"
#include "sources_model.h"
#include "store_commands.h"

namespace dovrin {

namespace {

using store::Kind;

const QString recordedByKey = QStringLiteral("registerWindow/recordedBy");

struct RecordAction {
    Kind kind;
    const char* text;
    QKeySequence shortcut;
};

// One action per kind of event, each on its own keys; none clashes with the File menu's
// (Ctrl+O, Ctrl+E, Ctrl+Shift+E, Ctrl+P, Ctrl+Q) nor with Ctrl+N of New Register.
const std::array recordActions{
    RecordAction{Kind::receive, QT_TRANSLATE_NOOP("RegisterWindow", "&Receive…"),
                 QKeySequence(Qt::CTRL | Qt::Key_R)},
    RecordAction{Kind::move, QT_TRANSLATE_NOOP("RegisterWindow", "&Move…"),
                 QKeySequence(Qt::CTRL | Qt::Key_M)},
    RecordAction{Kind::leakTest, QT_TRANSLATE_NOOP("RegisterWindow", "&Leak Test…"),
                 QKeySequence(Qt::CTRL | Qt::Key_L)},
    RecordAction{Kind::inventoryCheck, QT_TRANSLATE_NOOP("RegisterWindow", "&Inventory Check…"),
                 QKeySequence(Qt::CTRL | Qt::Key_I)},
    RecordAction{Kind::status, QT_TRANSLATE_NOOP("RegisterWindow", "&Status…"),
                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_U)},
    RecordAction{Kind::transfer, QT_TRANSLATE_NOOP("RegisterWindow", "&Transfer…"),
                 QKeySequence(Qt::CTRL | Qt::Key_T)},
    RecordAction{Kind::dispose, QT_TRANSLATE_NOOP("RegisterWindow", "&Dispose…"),
                 QKeySequence(Qt::CTRL | Qt::Key_D)},
    RecordAction{Kind::lost, QT_TRANSLATE_NOOP("RegisterWindow", "L&ost…"),
                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L)},
    RecordAction{Kind::stolen, QT_TRANSLATE_NOOP("RegisterWindow", "Sto&len…"),
                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
    RecordAction{Kind::recovered, QT_TRANSLATE_NOOP("RegisterWindow", "Re&covered…"),
                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R)},
    RecordAction{Kind::correct, QT_TRANSLATE_NOOP("RegisterWindow", "Co&rrect…"),
                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C)},
    RecordAction{Kind::voided, QT_TRANSLATE_NOOP("RegisterWindow", "&Void…"),
                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V)},
    RecordAction{Kind::note, QT_TRANSLATE_NOOP("RegisterWindow", "&Note…"),
                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N)},
};
static_assert(recordActions.size() == store::kindNames.size(), "an action for every kind");

} // namespace

void RegisterWindow::createRegisterActions(QMenu* file, QMenu* view) {
    newRegisterAction_ = new QAction(tr("&New Register…"), this);
    newRegisterAction_->setObjectName(QStringLiteral("newRegisterAction"));
    newRegisterAction_->setShortcut(QKeySequence::New);
    connect(newRegisterAction_, &QAction::triggered, this, &RegisterWindow::chooseAndMakeRegister);
    file->insertAction(openAction_, newRegisterAction_);

    importAction_ = new QAction(tr("&Import Inventory…"), this);
    importAction_->setObjectName(QStringLiteral("importAction"));
    importAction_->setShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_I);
    connect(importAction_, &QAction::triggered, this, &RegisterWindow::chooseAndImport);
    file->insertAction(recentMenu_->menuAction(), importAction_);
    file->insertAction(importAction_, recentMenu_->menuAction());

    annualAction_ = new QAction(tr("Export &Annual Inventory…"), this);
    annualAction_->setObjectName(QStringLiteral("annualAction"));
    annualAction_->setShortcut(Qt::CTRL | Qt::ALT | Qt::Key_E);
    connect(annualAction_, &QAction::triggered, this, &RegisterWindow::chooseAndExportAnnual);
    file->insertAction(printAction_, annualAction_);
    transactionsAction_ = new QAction(tr("Export &Transactions…"), this);
    transactionsAction_->setObjectName(QStringLiteral("transactionsAction"));
    transactionsAction_->setShortcut(Qt::CTRL | Qt::ALT | Qt::Key_T);
    connect(transactionsAction_, &QAction::triggered, this, [this] {
        // The as-of day's year up to that day: the period a yearly return covers.
        const auto to = dayOf(asOfBox_->date());
        const QString path = QFileDialog::getSaveFileName(
            this, tr("Export the transactions"), QFileInfo(path_).path(), tr("PDF (*.pdf)"));
        if (!path.isEmpty())
            exportTransactions(to.year() / std::chrono::January / 1, to, path);
    });
    file->insertAction(printAction_, transactionsAction_);
    sourceRecordAction_ = new QAction(tr("Export &Source Record…"), this);
    sourceRecordAction_->setObjectName(QStringLiteral("sourceRecordAction"));
    sourceRecordAction_->setShortcut(Qt::CTRL | Qt::ALT | Qt::Key_S);
    connect(sourceRecordAction_, &QAction::triggered, this, [this] {
        const auto source = selectedSourceId();
        if (!source)
            return;
        const QString path = QFileDialog::getSaveFileName(
            this, tr("Export the record of %1").arg(fromBytes(*source)), QFileInfo(path_).path(),
            tr("PDF (*.pdf)"));
        if (!path.isEmpty())
            exportSourceRecord(*source, path);
    });
    file->insertAction(printAction_, sourceRecordAction_);
    createPrintRegisterMenu(file);

    recordMenu_ = new QMenu(tr("&Record"), this);
    recordMenu_->setObjectName(QStringLiteral("recordMenu"));
    menuBar()->insertMenu(view->menuAction(), recordMenu_);
    for (const RecordAction& entry : recordActions) {
        QAction* action = recordMenu_->addAction(tr(entry.text));
        action->setObjectName(QStringLiteral("recordAction_") +
                              fromBytes(store::nameOf(entry.kind)));
        action->setShortcut(entry.shortcut);
        connect(action, &QAction::triggered, this,
                [this, kind = entry.kind] { openRecordDialog(kind); });
        recordActions_.emplace_back(entry.kind, action);
    }

    reloadAction_ = view->addAction(tr("Re&load"), this, &RegisterWindow::reload);
    reloadAction_->setObjectName(QStringLiteral("reloadAction"));
    reloadAction_->setShortcut(QKeySequence::Refresh);

    changesAction_ = view->addAction(tr("&Changes…"), this, &RegisterWindow::showChanges);
    changesAction_->setObjectName(QStringLiteral("changesAction"));
    changesAction_->setShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_H);

    historyPane_ = new HistoryPane(this);
    historyDock_ = new QDockWidget(tr("History"), this);
    historyDock_->setObjectName(QStringLiteral("historyDock"));
    historyDock_->setAccessibleName(tr("History"));
    historyDock_->setWidget(historyPane_);
    addDockWidget(Qt::BottomDockWidgetArea, historyDock_);
    historyDock_->hide();
    QAction* historyAction = historyDock_->toggleViewAction();
    historyAction->setText(tr("&History Pane"));
    historyAction->setObjectName(QStringLiteral("historyAction"));
    historyAction->setShortcut(Qt::CTRL | Qt::Key_H);
    view->addAction(historyAction);
    connect(historyDock_, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible)
            showHistory();
    });

    recordedBy_ = QSettings().value(recordedByKey).toString();
    for (const auto& entry : recordActions_)
        entry.second->setEnabled(false); // until a register is open
}

void RegisterWindow::createKnownAtBox(QWidget* parent, QLayout* layout) {
    knownAtBox_ = named(new QLineEdit(parent), "knownAtBox", tr("As recorded on"));
    knownAtBox_->setPlaceholderText(tr("now"));
    knownAtBox_->setToolTip(tr("Show the register as it stood at this moment, "
                               "yyyy-mm-ddThh:mm[:ss] in local time or with a final Z in UTC; "
                               "empty: as recorded now"));
    knownAtBox_->setClearButtonEnabled(true);
    auto* label =
        named(new QLabel(tr("As recorded o&n:"), parent), "knownAtLabel", tr("As recorded on"));
    label->setBuddy(knownAtBox_);
    layout->addWidget(label);
    layout->addWidget(knownAtBox_);
    connect(knownAtBox_, &QLineEdit::editingFinished, this, &RegisterWindow::knownAtChanged);
}

void RegisterWindow::knownAtChanged() {
    const QString text = knownAtBox_->text().trimmed();
    std::optional<std::chrono::sys_seconds> moment;
    if (!text.isEmpty()) {
        moment = readKnownAt(text.toStdString());
        if (!moment) { // refused, and the register stays as it was shown
            statusBar()->showMessage(
                tr("\"As recorded on\" takes yyyy-mm-ddThh:mm[:ss], not %1").arg(text));
            knownAtBox_->setStyleSheet(QStringLiteral("color: #b00020"));
            return;
        }
    }
    knownAtBox_->setStyleSheet({});
    if (moment == knownAt_)
        return;
    knownAt_ = moment;
    if (registerOpen_)
        reload();
}

void RegisterWindow::chooseAndMakeRegister() {
    const QString path = QFileDialog::getSaveFileName(
        this, tr("New register"), QFileInfo(path_).path(), tr("Registers (*.dovrin)"));
    if (path.isEmpty())
        return;
    QDialog ask(this);
    ask.setObjectName(QStringLiteral("newRegisterDialog"));
    ask.setWindowTitle(tr("New register"));
    auto* form = new QFormLayout(&ask);
    auto* holder = named(new QLineEdit(&ask), "holderBox", tr("Holder"));
    auto* licence = named(new QLineEdit(&ask), "licenceBox", tr("Licence"));
    form->addRow(tr("&Holder:"), holder);
    form->addRow(tr("&Licence:"), licence);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &ask);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &ask, [&] {
        if (!holder->text().trimmed().isEmpty())
            ask.accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, &ask, &QDialog::reject);
    if (ask.exec() == QDialog::Accepted)
        newRegister(path, holder->text(), licence->text());
}

bool RegisterWindow::newRegister(const QString& path, const QString& holder,
                                 const QString& licence) {
    const std::string why = store::createStore(
        QFile::encodeName(path).toStdString(),
        {holder.trimmed().toStdString(), licence.trimmed().toStdString()}, universalTime(clock_()));
    if (!why.empty()) {
        QMessageBox::warning(this, tr("Dovrin Register"), fromBytes(why));
        return false;
    }
    open(path);
    return true;
}

void RegisterWindow::reload() {
    if (path_.isEmpty() || loader_->busy())
        return;
    if (const auto id = selectedSourceId())
        reselect_ = *id;
    startLoad(path_, pendingOptions_, false);
}

void RegisterWindow::openRecordDialog(Kind kind) {
    if (!registerOpen_ || loader_->busy())
        return;
    const auto source = selectedSourceId();
    if (kind != Kind::receive && !source) {
        statusBar()->showMessage(tr("Select the source the event happened to."));
        return;
    }
    RecordDialog::Setting setting;
    setting.location = QFile::encodeName(path_).toStdString();
    setting.kind = kind;
    setting.source = kind == Kind::receive ? QString() : fromBytes(*source);
    setting.day = dayOf(asOfBox_->date());
    setting.today = dayOf(clock_());
    setting.recordedBy = recordedBy_;
    setting.now = [clock = clock_] { return universalTime(clock()); };
    auto* dialog = new RecordDialog(std::move(setting), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        recordedBy_ = dialog->recordedBy();
        QSettings().setValue(recordedByKey, recordedBy_);
        const store::Event& event = dialog->recorded();
        statusBar()->showMessage(
            tr("Recorded event %1: %2 of %3")
                .arg(event.seq)
                .arg(fromBytes(store::nameOf(event.kind)), fromBytes(event.source)));
        reselect_ = event.source;
        startLoad(path_, pendingOptions_, false); // the register's new state, from its events
        emit eventRecorded(event.seq);
    });
    dialog->open();
}

// The changes of the as-of day's year up to that day, in a window of their own; the days can
// be changed there.
void RegisterWindow::showChanges() {
    if (!registerOpen_)
        return;
    const auto to = dayOf(asOfBox_->date());
    auto* changes = new ChangesView(QFile::encodeName(path_).toStdString(), knownAt_,
                                    to.year() / std::chrono::January / 1, to, this);
    changes->setWindowFlag(Qt::Window);
    changes->setAttribute(Qt::WA_DeleteOnClose);
    changes->resize(900, 420);
    changes->show();
}

void RegisterWindow::chooseAndImport() {
    if (!registerOpen_ || loader_->busy())
        return;
    const QString inventory = QFileDialog::getOpenFileName(
        this, tr("Import an inventory"), QFileInfo(path_).path(),
        tr("Inventories (*.csv *.CSV *.txt *.tsv *.xlsx *.ods);;All files (*)"));
    if (!inventory.isEmpty())
        importInventory(inventory);
}

void RegisterWindow::importInventory(const QString& inventory) {
    auto* dialog = new ImportDialog(path_, inventory, asOfBox_->date().toString(Qt::ISODate),
                                    recordedBy_, clock_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (!dialog->planned()) {
        QMessageBox::warning(this, tr("Dovrin Register"), dialog->refusal());
        dialog->deleteLater();
        return;
    }
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        recordedBy_ = dialog->recordedBy();
        QSettings().setValue(recordedByKey, recordedBy_);
        reload();
    });
    dialog->open();
}

int RegisterWindow::lastEndedYear() const {
    return static_cast<int>(dayOf(clock_()).year()) - 1;
}

std::optional<int> RegisterWindow::chooseAnnualYear() {
    if (!registerOpen_ || loader_->busy())
        return std::nullopt;
    bool chosen = false;
    const int year = QInputDialog::getInt(this, tr("Annual inventory"),
                                          tr("The sources held on 31 December of:"),
                                          lastEndedYear(), 1900, lastEndedYear(), 1, &chosen);
    return chosen ? std::optional(year) : std::nullopt;
}

void RegisterWindow::chooseAndExportAnnual() {
    const auto year = chooseAnnualYear();
    if (!year)
        return;
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export the annual inventory"),
        QFileInfo(path_).path() + tr("/annual-inventory-%1.pdf").arg(*year), tr("PDF (*.pdf)"));
    if (!path.isEmpty())
        exportAnnualInventory(*year, path);
}

// Each of the register's reports printed as its export writes it, enabled when its export is.
void RegisterWindow::createPrintRegisterMenu(QMenu* file) {
    printRegisterMenu_ = new QMenu(tr("Print &for the Regulator"), this);
    printRegisterMenu_->setObjectName(QStringLiteral("printRegisterMenu"));
    printRegisterMenu_->setAccessibleName(tr("Print for the regulator"));
    const auto add = [this](QAction* exporting, const QString& text, const char* name,
                            const std::function<void()>& print) {
        QAction* action = printRegisterMenu_->addAction(text, this, print);
        action->setObjectName(QString::fromLatin1(name));
        action->setEnabled(exporting->isEnabled());
        connect(exporting, &QAction::enabledChanged, action, &QAction::setEnabled);
    };
    add(annualAction_, tr("&Annual Inventory…"), "printAnnualAction", [this] {
        if (const auto year = chooseAnnualYear())
            exportAnnualInventory(*year, {});
    });
    add(transactionsAction_, tr("&Transactions…"), "printTransactionsAction", [this] {
        const auto to = dayOf(asOfBox_->date()); // as the export: the year up to the as-of day
        exportTransactions(to.year() / std::chrono::January / 1, to, {});
    });
    add(sourceRecordAction_, tr("&Source Record…"), "printSourceRecordAction", [this] {
        if (const auto source = selectedSourceId())
            exportSourceRecord(*source, {});
    });
    const QList<QAction*> actions = file->actions();
    const qsizetype after = actions.indexOf(printAction_) + 1;
    file->insertMenu(after < actions.size() ? actions[after] : nullptr, printRegisterMenu_);
}

void RegisterWindow::exportAnnualInventory(int year, const QString& path) {
    if (!registerOpen_)
        return;
    if (year > lastEndedYear()) { // a year not yet ended has no inventory of its 31 December
        QMessageBox::warning(
            this, tr("Dovrin Register"),
            tr("%1 has not ended: its annual inventory cannot be made yet.").arg(year));
        emit exported(path, false);
        return;
    }
    pendingAnnual_ = AnnualInventory{year, path};
    const QDate lastDay(year, 12, 31);
    if (asOfBox_->date() == lastDay && !loader_->busy())
        writeAnnualInventory();
    else
        asOfBox_->setDate(lastDay); // read again as of that day; written once it is read
}

void RegisterWindow::writeAnnualInventory() {
    const AnnualInventory annual = *std::exchange(pendingAnnual_, std::nullopt);
    const Report report =
        makeAnnualInventory(*sources_, path_, clock_(), annual.year, hiddenLocationColumns());
    const QString name = tr("Annual inventory %1").arg(annual.year);
    if (annual.path.isEmpty()) {
        emit exported(annual.path, printOnChosenPrinter(report, name));
        return;
    }
    const QString error = writeReportPdf(report, name, annual.path);
    if (!error.isEmpty())
        QMessageBox::warning(this, tr("Dovrin Register"),
                             tr("The annual inventory was not written.\n\n%1").arg(error));
    emit exported(annual.path, error.isEmpty());
}

void RegisterWindow::exportTransactions(std::chrono::year_month_day from,
                                        std::chrono::year_month_day to, const QString& path) {
    QString error;
    const auto report = makeTransactionsReport(QFile::encodeName(path_).toStdString(), from, to,
                                               knownAt_, clock_(), error);
    writeRegisterReport(report, error, path);
}

void RegisterWindow::exportSourceRecord(const std::string& source, const QString& path) {
    QString error;
    const auto report =
        makeSourceRecord(QFile::encodeName(path_).toStdString(), source, knownAt_, clock_(), error);
    writeRegisterReport(report, error, path);
}

void RegisterWindow::writeRegisterReport(const std::optional<Report>& report, const QString& error,
                                         const QString& path) {
    if (report && path.isEmpty()) {
        emit exported(path, printOnChosenPrinter(*report, report->title));
        return;
    }
    const QString why = report ? writeReportPdf(*report, report->title, path) : error;
    if (!why.isEmpty())
        QMessageBox::warning(this, tr("Dovrin Register"),
                             tr("The report was not written.\n\n%1").arg(why));
    emit exported(path, why.isEmpty());
}

void RegisterWindow::updateRegisterActions() {
    const bool ready = registerOpen_ && work_ == Work::idle;
    const bool selected = selectedSourceId().has_value();
    for (const auto& [kind, action] : recordActions_)
        action->setEnabled(ready && (kind == Kind::receive || selected));
    reloadAction_->setEnabled(!path_.isEmpty());
    changesAction_->setEnabled(registerOpen_);
    importAction_->setEnabled(ready);
    annualAction_->setEnabled(ready);
    transactionsAction_->setEnabled(registerOpen_);
    sourceRecordAction_->setEnabled(selected);
}

void RegisterWindow::showTitle() {
    if (path_.isEmpty()) {
        setWindowTitle(tr("Dovrin Register"));
        return;
    }
    const QString name = shownName(path_);
    if (!registerOpen_) {
        setWindowTitle(tr("%1 – Dovrin Register").arg(name));
        return;
    }
    const QString recorded = knownAt_ ? fromBytes(store::momentText(*knownAt_)) : tr("now");
    setWindowTitle(tr("%1 as of %2, as recorded %3 – Dovrin Register")
                       .arg(name, asOfBox_->date().toString(Qt::ISODate), recorded));
}

void RegisterWindow::showHistory() {
    if (!historyDock_->isVisible())
        return;
    const auto source = selectedSourceId();
    historyPane_->showSource(registerOpen_ ? QFile::encodeName(path_).toStdString() : std::string(),
                             source.value_or(std::string()), knownAt_);
}

std::optional<std::string> RegisterWindow::selectedSourceId() const {
    if (!registerOpen_)
        return std::nullopt;
    const QModelIndex current = sourcesView_->currentIndex();
    const auto texts = sources_->texts();
    if (!current.isValid() || !texts)
        return std::nullopt;
    const auto column = texts->columns[Column::id];
    if (!column)
        return std::nullopt;
    const auto row = static_cast<std::size_t>(sourcesFilter_->mapToSource(current).row());
    if (row >= texts->rows.size())
        return std::nullopt;
    return std::string(texts->fields(row)[*column]);
}

void RegisterWindow::selectSource(const std::string& id) {
    const auto texts = sources_->texts();
    const auto column = texts ? texts->columns[Column::id] : std::nullopt;
    if (!column)
        return;
    for (std::size_t row = 0; row < texts->rows.size(); ++row) {
        if (texts->fields(row)[*column] != id)
            continue;
        const QModelIndex index =
            sourcesFilter_->mapFromSource(sources_->index(static_cast<int>(row), 0));
        if (index.isValid())
            sourcesView_->setCurrentIndex(index);
        return;
    }
}

} // namespace dovrin
