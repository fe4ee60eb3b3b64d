// Not a test: the register window as a person sees it with the example inventory open, for the
// pictures in docs/ (scripts/render_window.sh). It opens the real window at its default size
// with the tests' fixed clock and settings of its own, opens examples/inventory.csv (answering
// that its slash dates give the month first), selects a radiography source so that its decay is
// drawn, prints "ready" and keeps the window open until it is ended. Arguments: the id of
// another source to select, "locations" to show the locations' picture instead, and
// "--report FILE" to export the report as FILE first.
//
// With "--keeping FOLDER" it shows the register's desk instead: a register made from the example
// inventory by the command line's import, each source received when it was made, a move of R-04
// recorded, the window on that register with the History pane open and the Move dialog filled in;
// it writes the window's and the dialog's pictures as FOLDER/keeping-window.png and
// FOLDER/keeping-dialog.png, and the annual inventory of 2025, the transactions since 2025 and the
// record of R-04 as FOLDER/annual.pdf, FOLDER/transactions.pdf and FOLDER/record.pdf, and ends.

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTabWidget>

#include "command_line.h"
#include "register_window_under_test.h"

namespace {

int command(const QStringList& words) {
    std::vector<std::string> texts;
    for (const QString& word : words)
        texts.push_back(word.toStdString());
    const std::vector<std::string_view> views(texts.begin(), texts.end());
    std::FILE* out = std::tmpfile();
    const int status = dovrin::runRegister(views, stdin, out, stderr, false, testing::midnight);
    std::fclose(out);
    return status;
}

// The example inventory's sources as a holder would have received them: those made before the
// register was begun on its first day, each later one on the day its activity refers to (the
// manufactured column of examples/inventory.csv), so that no year's report decays an activity
// back to before its source was made.
struct Receipt {
    const char* day;
    QStringList ids; // empty: every source not received on another day
};
const std::array receipts{
    Receipt{"2025-01-06", {}},       Receipt{"2025-09-15", {"H-06"}},
    Receipt{"2026-06-01", {"H-05"}}, Receipt{"2026-06-10", {"R-02"}},
    Receipt{"2026-09-01", {"R-01"}}, Receipt{"2026-10-20", {"H-03"}},
    Receipt{"2026-11-02", {"R-04"}}, Receipt{"2026-11-23", {"H-08"}},
};

// The example inventory's lines of the sources received on the receipt's day, as a file of their
// own.
QString receiptFile(const QString& folder, const Receipt& receipt) {
    QFile example(QStringLiteral(DOVRIN_SOURCE_DIR "/examples/inventory.csv"));
    if (!example.open(QIODevice::ReadOnly))
        return {};
    const QStringList lines = QString::fromUtf8(example.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QStringList later;
    for (const Receipt& other : receipts)
        later += other.ids;
    QStringList kept{lines.front()};
    for (const QString& line : lines.mid(1)) {
        const QString id = line.section(u',', 0, 0);
        if (receipt.ids.isEmpty() ? !later.contains(id) : receipt.ids.contains(id))
            kept << line;
    }
    const QString path = folder + QStringLiteral("/received-%1.csv").arg(receipt.day);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(kept.join(u'\n').toUtf8() + '\n') < 0)
        return {};
    return path;
}

int showKeeping(const QString& folder) {
    const QString path = folder + QStringLiteral("/example.dovrin");
    QFile::remove(path);
    if (command({"init", path, "--holder", "St Olav Clinic", "--licence", "RP-2026-114"}) != 0)
        return 1;
    for (const Receipt& receipt : receipts)
        if (command({"import", path, receiptFile(folder, receipt), "--on", receipt.day, "--by",
                     "A. Berg", "--date-order", "mdy", "--commit"}) > 1)
            return 1;
    if (command({"record", path, "move", "--source", "R-04", "--on", "2026-11-16", "--by",
                 "A. Berg", "--location", "Radiography store", "--document", "WO-2291"}) != 0 ||
        command({"record", path, "leak-test", "--source", "R-04", "--on", "2026-11-20", "--by",
                 "K. Lund", "--outcome", "pass", "--result-bq", "12", "--tester", "NRPA lab"}) != 0)
        return 1;
    dovrin::RegisterWindow window([] { return testing::midnight; });
    window.show();
    window.activateWindow();
    QSignalSpy loaded(&window, &dovrin::RegisterWindow::inventoryLoaded);
    window.open(path);
    if (!loaded.wait(20000))
        return 1;
    QSignalSpy exported(&window, &dovrin::RegisterWindow::exported);
    window.exportAnnualInventory(2025, folder + QStringLiteral("/annual.pdf"));
    if (!exported.wait(20000) || !exported.first().at(1).toBool())
        return 1;
    using namespace std::chrono;
    window.exportTransactions(2025y / January / 1, 2026y / December / 7,
                              folder + QStringLiteral("/transactions.pdf"));
    window.exportSourceRecord("R-04", folder + QStringLiteral("/record.pdf"));
    if (exported.count() != 3 || !exported.at(1).at(1).toBool() || !exported.at(2).at(1).toBool())
        return 1;
    window.findChild<QDateEdit*>(QStringLiteral("asOfBox"))->setDate(QDate(2026, 12, 7));
    if (!loaded.wait(20000)) // back at the tests' day
        return 1;
    auto* sources = window.findChild<QTableView*>(QStringLiteral("sourcesView"));
    for (int row = 0; row < sources->model()->rowCount(); ++row)
        if (sources->model()->index(row, 0).data().toString() == u"R-04") {
            sources->selectRow(row);
            sources->scrollTo(sources->model()->index(row, 0));
        }
    window.findChild<QAction*>(QStringLiteral("historyAction"))->trigger();
    window.findChild<QAction*>(QStringLiteral("recordAction_move"))->trigger();
    auto* dialog = window.findChild<QDialog*>(QStringLiteral("recordDialog"));
    if (!dialog || !QTest::qWaitForWindowExposed(dialog))
        return 1;
    auto* location = dialog->findChild<QLineEdit*>(QStringLiteral("field_location"));
    QTest::keyClicks(location, QStringLiteral("Radiography store"));
    QTest::keyClick(location, Qt::Key_Return); // the problem named beside the field
    QTest::qWait(500); // let the window and the dialog paint before they are grabbed
    window.grab().save(folder + QStringLiteral("/keeping-window.png"));
    dialog->grab().save(folder + QStringLiteral("/keeping-dialog.png"));
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QTemporaryDir settings;
    testing::isolateSettings(settings);
    if (const qsizetype keeping = QApplication::arguments().indexOf(QStringLiteral("--keeping"));
        keeping > 0 && keeping + 1 < QApplication::arguments().size())
        return showKeeping(QApplication::arguments().at(keeping + 1));
    testing::DialogAnswerer answerer;
    answerer.answer = [](QDialog& dialog) {
        dialog.findChild<QComboBox*>(QStringLiteral("dateOrderBox"))->setCurrentIndex(0);
        dialog.accept();
    };

    dovrin::RegisterWindow window([] { return testing::midnight; });
    window.show();
    window.activateWindow(); // Xvfb runs no window manager to activate it
    QSignalSpy loaded(&window, &dovrin::RegisterWindow::inventoryLoaded);
    window.open(QStringLiteral(DOVRIN_SOURCE_DIR "/examples/inventory.csv"));
    if (!loaded.wait(20000)) {
        std::fputs("register_window_picture: the example inventory did not open\n", stderr);
        return 1;
    }
    QStringList arguments = QApplication::arguments().mid(1);
    QString report;
    if (const qsizetype option = arguments.indexOf(QStringLiteral("--report"));
        option >= 0 && option + 1 < arguments.size()) {
        report = arguments.at(option + 1);
        arguments.remove(option, 2);
    }
    QString selected = QStringLiteral("R-04");
    for (const QString& argument : arguments)
        if (argument != u"locations")
            selected = argument;
    auto* sources = window.findChild<QTableView*>(QStringLiteral("sourcesView"));
    for (int row = 0; row < sources->model()->rowCount(); ++row)
        if (sources->model()->index(row, 0).data().toString() == selected)
            sources->selectRow(row);
    if (!report.isEmpty()) {
        QSignalSpy exported(&window, &dovrin::RegisterWindow::exported);
        window.exportReport(report);
        if (exported.isEmpty() || !exported.first().at(1).toBool()) {
            std::fputs("register_window_picture: the report was not written\n", stderr);
            return 1;
        }
    }
    sources->setFocus();
    if (arguments.contains(QStringLiteral("locations")))
        window.findChild<QTabWidget*>(QStringLiteral("chartTabs"))->setCurrentIndex(1);
    std::puts("ready");
    std::fflush(stdout);
    return QApplication::exec();
}
