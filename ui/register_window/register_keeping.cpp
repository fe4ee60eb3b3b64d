// The register window's actions on a kept register: New Register, the Record menu, Reload,
// the History pane and the "as recorded on" moment. The rules of the events are the
// register's own (register/store/); this file only asks for them and shows what they say.

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
#include <QSortFilterProxyModel>
#include <QStatusBar>
#include <QTableView>

#include "calendar.h"
#include "charts.h"
#include "events.h"
#include "history_pane.h"
#include "import_dialog.h"
#include "inventory_loader.h"
#include "locations_model.h"
#include "qt_text.h"
#include "record_dialog.h"
#include "register_reports.h"
#include "register_window.h"
#include "report.h"
#include "run.h"
#include "source_patch.h"
#include "sources_model.h"
#include "store_commands.h"
#include "window_settings.h"

namespace dovrin {

namespace {

using store::Kind;

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

    recordedBy_ = rememberedRecorder();
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
    setting.seenSeq = sources_->texts() ? sources_->texts()->registerSeq : 0;
    setting.now = [clock = clock_] { return universalTime(clock()); };
    auto* dialog = new RecordDialog(std::move(setting), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        recordedBy_ = dialog->recordedBy();
        rememberRecorder(recordedBy_);
        const store::Event& event = dialog->recorded();
        statusBar()->showMessage(
            tr("Recorded event %1: %2 of %3")
                .arg(event.seq)
                .arg(fromBytes(store::nameOf(event.kind)), fromBytes(event.source)));
        reselect_ = event.source;
        if (!showRecorded(event, dialog->recordedHead()))
            startLoad(path_, pendingOptions_, false); // the register's new state, from its events
        emit eventRecorded(event.seq);
    });
    dialog->open();
}

// The table after an event this window recorded: the source's row alone read again and
// evaluated, when the table showed the register as it stood just before the event. Otherwise
// (another writer recorded in between, the register is shown as recorded at a past moment, or
// the row cannot be patched) false: the whole register is then read again.
bool RegisterWindow::showRecorded(const store::Event& event, const store::Head& head) {
    const auto texts = sources_->texts();
    if (!texts || knownAt_ || loader_->busy() || texts->registerSeq + 1 != event.seq ||
        head.seq != event.seq)
        return false;
    const SourceRow row = readSourceRow(QFile::encodeName(path_).toStdString(), event.source,
                                        *texts, *sources_->results());
    if (!row.error.empty())
        return false;
    // The locations' numbers may change: no location stays chosen, as after a reload.
    locationsView_->clearSelection();
    sourcesFilter_->setLocation(std::nullopt);
    if (!patchSource(*sources_, event.source, row))
        return false;
    texts->registerSeq = head.seq;
    texts->registerHead = registerHeadText(head);
    locations_->setLocations(sources_->results()->locations);
    locationsChart_->showLocations(sources_->results()->locations);
    reselect_.clear();
    selectSource(event.source);
    sourceSelected();
    showCounts();
    return true;
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
    store_import::ImportSetting setting;
    setting.registerLocation = QFile::encodeName(path_).toStdString();
    setting.inventoryPath = QFile::encodeName(inventory).toStdString();
    // Read as the person said to read it when the window opened it.
    if (const auto options = rememberedOptions(inventory)) {
        setting.reading.inventory = options->inventory;
        setting.reading.dateOrder = options->dateOrder;
    }
    setting.on = dayOf(asOfBox_->date());
    auto* dialog = new ImportDialog(std::move(setting), recordedBy_, clock_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        recordedBy_ = dialog->recordedBy();
        rememberRecorder(recordedBy_);
        statusBar()->showMessage(dialog->summary());
        reload();
    });
    dialog->open();
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
