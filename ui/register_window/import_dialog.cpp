#include "import_dialog.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include <QAbstractTableModel>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "qt_text.h"
#include "vector_state.h"

namespace dovrin {

// The plan's rows, in the command line's columns.
class PlanModel : public QAbstractTableModel {
public:
    struct Row {
        std::optional<std::uint64_t> row;
        std::string id;
        std::string kind;
        std::optional<std::uint64_t> seq;
        std::string detail;
    };
    enum ColumnIndex { rowColumn, idColumn, kindColumn, seqColumn, detailColumn, columnCount_ };

    using QAbstractTableModel::QAbstractTableModel;

    void setRows(std::vector<Row> rows) {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : columnCount_;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        const Row& row = rows_[static_cast<std::size_t>(index.row())];
        const auto number = [](std::optional<std::uint64_t> value) {
            return value ? QString::number(*value) : QString();
        };
        switch (index.column()) {
        case rowColumn:
            return number(row.row);
        case idColumn:
            return fromBytes(row.id);
        case kindColumn:
            return fromBytes(row.kind);
        case seqColumn:
            return number(row.seq);
        default:
            return fromBytes(row.detail);
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        static constexpr std::array<const char*, columnCount_> names{"row", "id", "kind", "seq",
                                                                     "detail"};
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
            section >= columnCount_)
            return {};
        return QString::fromLatin1(names[static_cast<std::size_t>(section)]);
    }

private:
    std::vector<Row> rows_;
};

ImportDialog::ImportDialog(store_import::ImportSetting setting, QString recorder,
                           std::function<LocalTime()> clock, QWidget* parent)
    : QDialog(parent)
    , setting_(std::move(setting))
    , clock_(std::move(clock))
    , plan_(new PlanModel(this)) {
    setObjectName(QStringLiteral("importDialog"));
    setWindowTitle(tr("Import %1").arg(inventoryName()));
    setAccessibleName(windowTitle());
    auto* layout = new QVBoxLayout(this);
    summary_ = named(new QLabel(this), "importSummary", tr("What the import would record"));
    summary_->setWordWrap(true);
    layout->addWidget(summary_);
    progress_ = named(new QProgressBar(this), "importProgress", tr("Progress"));
    progress_->setRange(0, 1000);
    layout->addWidget(progress_);
    table_ = named(new QTableView(this), "importTable", tr("The events it would record"));
    table_->setModel(plan_);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table_, 1);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    byBox_ = named(new QLineEdit(recorder, this), "importByBox", tr("Recorded by"));
    reasonBox_ = named(new QLineEdit(this), "importReasonBox", tr("Reason for the conflicts"));
    form->addRow(tr("Recorded &by:"), byBox_);
    form->addRow(tr("&Reason for the conflicts:"), reasonBox_);
    problem_ = named(new QLabel(this), "importProblem", tr("Why it cannot be committed"));
    problem_->setStyleSheet(QStringLiteral("color: #b00020"));
    problem_->setWordWrap(true);
    layout->addWidget(problem_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    commitButton_ = buttons->addButton(tr("&Commit"), QDialogButtonBox::AcceptRole);
    commitButton_->setObjectName(QStringLiteral("commitButton"));
    commitButton_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &ImportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ImportDialog::reject);
    layout->addWidget(buttons);
    resize(820, 480);
    // The events are checked as the person who records them would record them: without a name
    // the plan waits for one.
    connect(byBox_, &QLineEdit::editingFinished, this, [this] {
        if (!planned_ && !busy_ && !recordedBy().isEmpty())
            plan();
    });
    if (recordedBy().isEmpty()) {
        summary_->setText(tr("Say who records the import: it is planned once they are named."));
        progress_->hide();
        commitButton_->setEnabled(false);
        byBox_->setFocus();
        return;
    }
    plan();
}

QString ImportDialog::inventoryName() const {
    return QFileInfo(QFile::decodeName(QByteArray::fromStdString(setting_.inventoryPath)))
        .fileName();
}

ImportDialog::~ImportDialog() {
    // Joined before this object starts to go, so that the worker never posts to a dialog being
    // destroyed; it stops within a few thousand rows.
    worker_.request_stop();
    if (worker_.joinable())
        worker_.join();
}

QString ImportDialog::refusal() const {
    return problem_->text();
}

int ImportDialog::conflicts() const {
    return conflicts_;
}

QString ImportDialog::summary() const {
    return summary_->text().section(u'\n', 0, 0);
}

QString ImportDialog::recordedBy() const {
    return byBox_->text().trimmed();
}

void ImportDialog::plan() {
    planned_ = false;
    setting_.by = recordedBy().toStdString();
    summary_->setText(tr("Planning the import of %1…").arg(inventoryName()));
    runInBackground(false, {});
}

void ImportDialog::accept() {
    if (busy_)
        return;
    problem_->clear();
    if (recordedBy().isEmpty()) {
        problem_->setText(tr("Say who records the import."));
        return;
    }
    if (!planned_) { // Return in the name's box: the plan first, then Commit
        plan();
        return;
    }
    if (conflicts_ > 0 && reasonBox_->text().trimmed().isEmpty()) {
        problem_->setText(tr("%n conflict(s) change what the register holds of a source: give "
                             "the reason, or cancel and record nothing.",
                             nullptr, conflicts_));
        return;
    }
    setting_.by = recordedBy().toStdString();
    summary_->setText(tr("Recording the import…"));
    runInBackground(true, reasonBox_->text().trimmed().toStdString());
}

void ImportDialog::reject() {
    if (!busy_) {
        QDialog::reject();
        return;
    }
    closeWhenDone_ = true;
    worker_.request_stop();
}

void ImportDialog::setBusy(bool busy) {
    busy_ = busy;
    progress_->setVisible(busy);
    progress_->setValue(0);
    commitButton_->setEnabled(!busy && planned_);
}

// The plan or the commit in a worker thread, which hands its progress and its result to this
// dialog through its event queue; the dialog's destructor stops and joins it.
void ImportDialog::runInBackground(bool commit, std::string reason) {
    setBusy(true);
    auto rows = std::make_shared<std::vector<PlanModel::Row>>();
    worker_ = std::jthread([this, setting = setting_, commit, reason = std::move(reason),
                            expected = planHead_, now = clock_(), rows](std::stop_token stop) {
        clearUpperVectorState(); // started by the window's thread (vector_state.h)
        store_import::ImportCalls calls;
        calls.planRow = [&rows](const store_import::PlanRow& row) {
            rows->push_back({row.row, std::string(row.id), std::string(row.kind), row.seq,
                             std::string(row.detail)});
        };
        calls.progress = [this, &stop](std::uint64_t done, std::uint64_t total) {
            QMetaObject::invokeMethod(
                this, [this, done, total] { showProgress(done, total); }, Qt::QueuedConnection);
            return !stop.stop_requested();
        };
        auto result = commit ? store_import::commitImport(setting, reason, expected, now, calls)
                             : store_import::planImport(setting, now, calls);
        QMetaObject::invokeMethod(
            this,
            [this, commit, result = std::move(result), rows] {
                if (!commit && result.error.empty())
                    plan_->setRows(std::move(*rows));
                if (commit)
                    commitFinished(result);
                else
                    planFinished(result);
            },
            Qt::QueuedConnection);
    });
}

void ImportDialog::showProgress(std::uint64_t done, std::uint64_t total) {
    if (total > 0)
        progress_->setValue(static_cast<int>(std::min<std::uint64_t>(done * 1000 / total, 1000)));
}

void ImportDialog::planFinished(const store_import::ImportResult& result) {
    planned_ = result.error.empty();
    setBusy(false);
    if (closeWhenDone_) {
        QDialog::reject();
        return;
    }
    if (!planned_) {
        summary_->setText(tr("The import cannot be planned."));
        problem_->setText(fromBytes(result.error));
        return;
    }
    planHead_ = result.startHead;
    conflicts_ = static_cast<int>(result.conflictsLeft);
    summary_->setText(fromBytes(result.summary).trimmed());
    reasonBox_->setEnabled(conflicts_ > 0);
    table_->resizeColumnsToContents();
    emit planShown();
}

void ImportDialog::commitFinished(const store_import::ImportResult& result) {
    setBusy(false);
    if (result.error.empty()) { // recorded, even when Cancel came too late to stop it
        summary_->setText(fromBytes(result.summary).trimmed());
        QDialog::accept();
        return;
    }
    if (closeWhenDone_) {
        QDialog::reject();
        return;
    }
    if (!result.stale) {
        problem_->setText(fromBytes(result.error));
        return;
    }
    // The plan shown is no longer the register's: it is made again, to be looked at before
    // Commit; what was typed stays.
    problem_->setText(
        tr("%1. The plan is made again: look at it, then Commit.").arg(fromBytes(result.error)));
    plan();
}

} // namespace dovrin
