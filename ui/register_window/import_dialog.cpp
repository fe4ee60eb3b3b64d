#include "import_dialog.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "csv.h"
#include "qt_text.h"
#include "store_words.h"

namespace dovrin {

namespace {

struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileClose>;

QByteArray contents(std::FILE* file) {
    QByteArray text;
    std::rewind(file);
    char block[1 << 14];
    for (std::size_t count; (count = std::fread(block, 1, sizeof block, file)) > 0;)
        text.append(block, static_cast<qsizetype>(count));
    return text;
}

} // namespace

ImportRun runImport(const QStringList& words, LocalTime now) {
    std::vector<std::string> texts;
    for (const QString& word : words)
        texts.push_back(QFile::encodeName(word).toStdString());
    const std::vector<std::string_view> views(texts.begin(), texts.end());
    const File in(std::tmpfile()), out(std::tmpfile()), err(std::tmpfile());
    if (!in || !out || !err)
        return {2, {}, ImportDialog::tr("cannot make a temporary file")};
    ImportRun run;
    run.status = store_words::importInventory(views, in.get(), out.get(), err.get(), now);
    run.plan = contents(out.get());
    run.said = QString::fromUtf8(contents(err.get())).trimmed();
    return run;
}

ImportDialog::ImportDialog(QString registerPath, QString inventoryPath, QString on,
                           QString recordedBy, std::function<LocalTime()> clock, QWidget* parent)
    : QDialog(parent)
    , registerPath_(std::move(registerPath))
    , inventoryPath_(std::move(inventoryPath))
    , on_(std::move(on))
    , clock_(std::move(clock)) {
    setObjectName(QStringLiteral("importDialog"));
    setWindowTitle(tr("Import %1").arg(QFileInfo(inventoryPath_).fileName()));
    setAccessibleName(windowTitle());
    auto* layout = new QVBoxLayout(this);
    summary_ = named(new QLabel(this), "importSummary", tr("What the import would record"));
    summary_->setWordWrap(true);
    layout->addWidget(summary_);
    table_ = named(new QTableWidget(this), "importTable", tr("The events it would record"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table_, 1);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    byBox_ = named(new QLineEdit(recordedBy, this), "importByBox", tr("Recorded by"));
    reasonBox_ = named(new QLineEdit(this), "importReasonBox", tr("Reason for the conflicts"));
    form->addRow(tr("Recorded &by:"), byBox_);
    form->addRow(tr("&Reason for the conflicts:"), reasonBox_);
    problem_ = named(new QLabel(this), "importProblem", tr("Why it cannot be committed"));
    problem_->setStyleSheet(QStringLiteral("color: #b00020"));
    problem_->setWordWrap(true);
    layout->addWidget(problem_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    QPushButton* commit = buttons->addButton(tr("&Commit"), QDialogButtonBox::AcceptRole);
    commit->setObjectName(QStringLiteral("commitButton"));
    commit->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &ImportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ImportDialog::reject);
    layout->addWidget(buttons);
    resize(820, 480);

    const ImportRun run = runImport(words(false), clock_());
    planned_ = run.status != 2;
    refusal_ = run.said;
    summary_->setText(run.said);
    showPlan(run.plan);
    reasonBox_->setEnabled(conflicts_ > 0);
    commit->setEnabled(planned_);
}

QStringList ImportDialog::words(bool commit) const {
    QStringList list{registerPath_, inventoryPath_,         QStringLiteral("--on"),
                     on_,           QStringLiteral("--by"), byBox_->text().trimmed()};
    if (commit)
        list << QStringLiteral("--commit");
    if (commit && !reasonBox_->text().trimmed().isEmpty())
        list << QStringLiteral("--reason") << reasonBox_->text().trimmed();
    return list;
}

void ImportDialog::showPlan(const QByteArray& plan) {
    const std::string text = plan.toStdString();
    csv::TextSource source(text);
    csv::Reader reader(source, ',');
    const auto header = reader.next();
    if (!header)
        return;
    QStringList titles;
    for (const std::string_view field : header->fields)
        titles << fromBytes(field);
    const auto kindColumn = titles.indexOf(QStringLiteral("kind"));
    table_->setColumnCount(static_cast<int>(titles.size()));
    table_->setHorizontalHeaderLabels(titles);
    while (const auto record = reader.next()) {
        const int row = table_->rowCount();
        table_->insertRow(row);
        for (int column = 0; const std::string_view field : record->fields) {
            table_->setItem(row, column, new QTableWidgetItem(fromBytes(field)));
            if (column++ == kindColumn && field == "conflict")
                ++conflicts_;
        }
    }
    table_->resizeColumnsToContents();
}

void ImportDialog::accept() {
    problem_->clear();
    if (byBox_->text().trimmed().isEmpty()) {
        problem_->setText(tr("Say who records the import."));
        return;
    }
    if (conflicts_ > 0 && reasonBox_->text().trimmed().isEmpty()) {
        problem_->setText(tr("%n conflict(s) change what the register holds of a source: give "
                             "the reason, or cancel and record nothing.",
                             nullptr, conflicts_));
        return;
    }
    const ImportRun run = runImport(words(true), clock_());
    if (run.status == 2) { // nothing recorded
        problem_->setText(run.said);
        return;
    }
    summary_->setText(run.said);
    QDialog::accept();
}

QString ImportDialog::recordedBy() const {
    return byBox_->text().trimmed();
}

} // namespace dovrin
