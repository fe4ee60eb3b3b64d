// The register window's exports: the results as the command line writes them, the report of
// what is shown, as PDF or printed, and the reports a regulator asks of a kept register.

#include <functional>

#include <QAction>
#include <QDateEdit>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QInputDialog>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QTableView>
#include <QtConcurrent/QtConcurrentRun>

#include "inventory_loader.h"
#include "locations_model.h"
#include "qt_text.h"
#include "register_reports.h"
#include "register_window.h"
#include "report.h"
#include "run.h"
#include "sources_model.h"
#include "vector_state.h"

namespace dovrin {

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
    watcher->setFuture(QtConcurrent::run([options, now] {
        clearUpperVectorState(); // a pool thread of the window's (vector_state.h)
        return categoriseInventory(options, now, stdin, stdout);
    }));
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

void RegisterWindow::chooseAndExportTransactions() {
    // The as-of day's year up to that day: the period a yearly return covers.
    const auto to = dayOf(asOfBox_->date());
    const QString path = QFileDialog::getSaveFileName(this, tr("Export the transactions"),
                                                      QFileInfo(path_).path(), tr("PDF (*.pdf)"));
    if (!path.isEmpty())
        exportTransactions(to.year() / std::chrono::January / 1, to, path);
}

void RegisterWindow::chooseAndExportSourceRecord() {
    const auto source = selectedSourceId();
    if (!source)
        return;
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Export the record of %1").arg(fromBytes(*source)),
                                     QFileInfo(path_).path(), tr("PDF (*.pdf)"));
    if (!path.isEmpty())
        exportSourceRecord(*source, path);
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

} // namespace dovrin
