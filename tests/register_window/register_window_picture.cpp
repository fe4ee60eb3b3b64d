// Not a test: the register window as a person sees it with the example inventory open, for the
// pictures in docs/ (scripts/render_window.sh). It opens the real window at its default size
// with the tests' fixed clock and settings of its own, opens examples/inventory.csv (answering
// that its slash dates give the month first), selects a radiography source so that its decay is
// drawn, prints "ready" and keeps the window open until it is ended. Arguments: the id of
// another source to select, "locations" to show the locations' picture instead, and
// "--report FILE" to export the report as FILE first.

#include <cstdio>

#include <QComboBox>
#include <QSignalSpy>
#include <QTabWidget>

#include "register_window_under_test.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QTemporaryDir settings;
    testing::isolateSettings(settings);
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
