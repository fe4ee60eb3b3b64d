// The dovrin-register run: its exit statuses, its output rows and the safety of its files. Run
// in-process with a fixed clock; the last test starts the real program once.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "command_line.h"
#include "csv.h"
#include "inventory.h"
#include "radionuclides.h"
#include "test_support.h"

using namespace dovrin;
using dovrin::testing::contents;
using dovrin::testing::writeFile;

namespace {

const LocalTime fixedNow =
    std::chrono::local_days{std::chrono::year{2026} / 6 / 1} + std::chrono::hours{12};

struct Outcome {
    int status;
    QByteArray out;
    QByteArray err;
};

// The arguments with INV replaced by the inventory's path, DIR by the folder's and NAME by the
// folder's name.
Outcome run(QStringList arguments, const QString& folder, const QByteArray& standardInput = {}) {
    std::vector<std::string> store;
    for (QString& argument : arguments)
        store.push_back(argument.replace("INV", folder + "/inv.csv")
                            .replace("DIR", folder)
                            .replace("NAME", QDir(folder).dirName())
                            .toStdString());
    const std::vector<std::string_view> views(store.begin(), store.end());
    std::FILE* in = std::tmpfile();
    std::fwrite(standardInput.constData(), 1, static_cast<std::size_t>(standardInput.size()), in);
    std::rewind(in);
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int status = runRegister(views, in, out, err, false, fixedNow);
    std::fclose(in);
    return {status, contents(out), contents(err)};
}

std::vector<std::vector<std::string>> records(const QByteArray& text) {
    const std::string copy = text.toStdString();
    csv::TextSource source(copy);
    csv::Reader reader(source);
    std::vector<std::vector<std::string>> rows;
    while (const auto record = reader.next())
        rows.emplace_back(record->fields.begin(), record->fields.end());
    return rows;
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

constexpr char header[] = "radionuclide,activity,unit\n";

QByteArray example(const char* name) {
    return contents(QStringLiteral(DOVRIN_EXAMPLES "/") + QString::fromLatin1(name));
}

} // namespace

class TestRegisterRun : public QObject {
    Q_OBJECT

private slots:
    void exitStatus_data();
    void exitStatus();
    void rowsInOrder();
    void plainLinesAsRecords();
    void optionsReachTheRows_data();
    void optionsReachTheRows();
    void summaryAndLocations_data();
    void summaryAndLocations();
    void workbooksAsTheirCsv_data();
    void workbooksAsTheirCsv();
    void failedRunLeavesFilesAlone_data();
    void failedRunLeavesFilesAlone();
    void finishedRunReplacesFiles();
    void listNuclides();
    void dueSourcesAndCalendar();
    void realProgram();
};

void TestRegisterRun::exitStatus_data() {
    QTest::addColumn<QByteArray>("inventory");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message"); // the start of standard error
    const QByteArray good = QByteArray(header) + "Co-60,1,Ci\n";
    const QByteArray bad = QByteArray(header) + "Co-60,1,Ci\nCobalt,1,Ci\n";
    const auto row = [](const char* name, QByteArray inventory, QStringList arguments, int status,
                        QString message) {
        QTest::newRow(name) << inventory << arguments << status << message;
    };
    row("every row categorised", good, {"INV"}, 0, "1 sources read, 1 categorised, 0 with errors");
    row("header only", header, {"INV"}, 0, "0 sources read");
    row("an error row", bad, {"INV"}, 1, "2 sources read, 1 categorised, 1 with errors (row 3;");
    row("no such file", good, {"DIR/none.csv"}, 2, "dovrin-register: cannot open");
    row("empty file", "", {"INV"}, 2, "dovrin-register: the inventory is empty");
    row("required column missing", "radionuclide,unit\nCo-60,Ci\n", {"INV"}, 2,
        "dovrin-register: row 1, taken as the header: no column for activity (or nominal "
        "activity, reference activity, calibrated activity) (name another header with --column "
        "NAME=HEADER, or the header's row with --header-row N)\n");
    row("two columns for one name", "unit,radionuclide,activity,Unit\n", {"INV"}, 2,
        "dovrin-register: row 1, taken as the header: columns 1 and 4 are both named 'unit' and "
        "'Unit'");
    row("header below a title, blank and totals rows skipped",
        "Sources,,\n\nIsotope,Activity (mCi),Date of manufacture\nCo-60,5,2020-01-01\n,,\n"
        "Total,5,\n",
        {"INV"}, 0,
        "header: row 3\nno column for last_leak_test (or last wipe test, leak test date, wipe "
        "test date): no leak test is due\n1 blank row skipped\ntotals row skipped: row 6\n"
        "1 sources read, 1 categorised, 0 with errors\n");
    row("header row named", "radionuclide,activity\nIsotope,Activity\nCo-60,5 Ci\n",
        {"--header-row", "2", "INV"}, 0, "header: row 2\n");
    row("a date that reads both ways", QByteArray(header) + "Co-60,1,Ci,01/08/2026\n", {"INV"}, 1,
        "1 sources read, 0 categorised, 1 with errors (row 2;");
    row("bad header row", good, {"--header-row", "0", "INV"}, 2,
        "dovrin-register: --header-row takes a row number from 1, not '0'");
    row("decimal comma with the comma separator", good, {"--decimal-comma", "INV"}, 2,
        "dovrin-register: --decimal-comma cannot read a file whose separator is the comma");
    row("workbook without the sheet named", example("inventory.xlsx"), {"--sheet", "Nope", "INV"},
        2,
        "dovrin-register: cannot read 'DIR/inv.csv': the workbook has no sheet 'Nope'; its "
        "sheets: 'Inventory'");
    row("damaged workbook", example("inventory.ods").left(1000), {"INV"}, 2,
        "dovrin-register: cannot read 'DIR/inv.csv' as a workbook: it is not a zip archive, or a "
        "truncated one");
    row("unknown option", good, {"--fast", "INV"}, 2, "dovrin-register: unknown option '--fast'");
    row("bad as-of", good, {"--as-of", "2026-13-01", "INV"}, 2, "dovrin-register: --as-of");
    row("no inventory", good, {}, 2, "dovrin-register: no inventory given");
    row("two inventories", good, {"INV", "INV"}, 2, "dovrin-register: one inventory at a time");
    row("output is the input", good, {"-o", "INV", "INV"}, 2,
        "dovrin-register: the output 'DIR/inv.csv' is the inventory itself");
    row("output is the input by another path", good, {"--output=DIR/../NAME/inv.csv", "INV"}, 2,
        "dovrin-register: the output 'DIR/../");
    row("both outputs to one file", good, {"-o", "DIR/a.csv", "--locations", "DIR/./a.csv", "INV"},
        2, "dovrin-register: the results and the totals per location would be written to one");
    row("both outputs to standard output", good, {"--locations", "-", "INV"}, 2,
        "dovrin-register: the results and the totals per location would be written to one");
    // The inventory is its own --nuclides file: the user's columns, then activity and unit.
    const QByteArray nuclides =
        "radionuclide,half_life,half_life_unit,d_value_tbq,exemption_bq,source,activity,unit\n";
    row("--nuclides adds one", nuclides + "Zz-500,10,d,1,1e6,test,2,TBq\n",
        {"--nuclides", "INV", "INV"}, 0, "1 sources read, 1 categorised, 0 with errors");
    row("--nuclides names a built-in one",
        nuclides + "Zz-500,10,d,1,,test,2,TBq\n60co,5,y,1,,mine,1,Ci\n",
        {"--nuclides", "INV", "INV"}, 2,
        "dovrin-register: --nuclides 'DIR/inv.csv': row 3: '60co' is the built-in radionuclide "
        "Co-60");
    row("--nuclides bad row", nuclides + "Zz-500,10,days,1,,test,2,TBq\n",
        {"--nuclides", "INV", "INV"}, 2,
        "dovrin-register: --nuclides 'DIR/inv.csv': row 2: half_life_unit: 'days' is none of");
    row("calendar to the results' file", good,
        {"-o", "DIR/a.csv", "--calendar", "DIR/a.csv", "INV"}, 2,
        "dovrin-register: the results and the calendar would be written to one");
    row("bad interval", good, {"--leak-test-interval", "12", "INV"}, 2,
        "dovrin-register: --leak-test-interval takes a whole number of days, weeks, months or "
        "years");
    row("bad leak-test rules", good, {"--leak-test-rules", "iaea", "INV"}, 2,
        "dovrin-register: --leak-test-rules takes nrc or none, not 'iaea'");
}

// 0 when every row is categorised, 1 when some are error rows, 2 with one line saying why.
void TestRegisterRun::exitStatus() {
    QFETCH(QByteArray, inventory);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    QTemporaryDir folder;
    writeFile(folder.path() + "/inv.csv", inventory);
    const Outcome outcome = run(arguments, folder.path());
    QCOMPARE(outcome.status, status);
    const QString err = QString::fromUtf8(outcome.err);
    // A run's summary begins with what reading found; the message may stand further down.
    message.replace("DIR", folder.path());
    QVERIFY2(status == 2 ? err.startsWith(message) : err.contains(message), qPrintable(err));
    if (status == 2) {
        QCOMPARE(outcome.err.count('\n'), 1);
        QVERIFY(outcome.out.isEmpty());
        QCOMPARE(filesIn(folder.path()), QStringList{"inv.csv"});
        QCOMPARE(contents(folder.path() + "/inv.csv"), inventory);
    }
}

// One output row per input row, in order, with the input's fields first; error rows too. The
// rows g0 to g5999 fill several of the batches that are evaluated side by side.
void TestRegisterRun::rowsInOrder() {
    QByteArray inventory = "id;Radionuclide;activity;unit;owner\r\n"
                           "a;Co-60;1;Ci;\"x;y\"\r\n"
                           "b;Cobalt;1;Ci;z\r\n"
                           "c;Cs-137;2\r\n"
                           "\r\n"
                           "d;Ir-192;3;GBq;\"two\r\nlines\"\r\n"
                           "e;Am-241;1;mCi;w;extra\r\n";
    for (int i = 0; i < 6000; ++i)
        inventory += "g" + QByteArray::number(i) + ";Cs-137;" + QByteArray::number(i) + ";MBq;\r\n";
    inventory += "f;Co-60;1;Ci;\"open\r\n";
    const Outcome outcome = run({"-"}, {}, inventory);
    QCOMPARE(outcome.status, 1);
    std::string input = inventory.toStdString();
    csv::TextSource source(input);
    InventoryReader reader(source, {});
    QVERIFY(reader.readHeader());
    const auto rows = records(outcome.out);
    QCOMPARE(rows.size(), std::size_t{6007});
    QCOMPARE(rows[0].size(), std::size_t{20}); // no recorded category: no check of it;
    QVERIFY(rows[0][5] == "activity_tbq");
    QVERIFY(rows[0][15] == "note");
    InventoryRow row;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        QVERIFY(reader.next(row));
        QCOMPARE(rows[i].size(), std::size_t{20}); // no recorded category: no check of it;
        QVERIFY(std::equal(row.fields.begin(), row.fields.end(), rows[i].begin()));
        const bool categorised = rows[i][0] == "a" || rows[i][0] == "d" || rows[i][0][0] == 'g';
        QCOMPARE(rows[i][5].empty(), !categorised);
        QVERIFY(categorised || !rows[i][15].empty()); // an error row says why
    }
    QVERIFY(!reader.next(row));
}

// The rows that are plain lines, which the workers split and write out as they came, come out as
// the same rows read field by field (their first field quoted, which takes the reader's way).
void TestRegisterRun::plainLinesAsRecords() {
    const QList<QByteArray> lines{"a,Co-60,1,Ci,x",
                                  "b,Co-60,1,Ci",
                                  "c,Cs-137,2,GBq,y,extra,more",
                                  "d,Ir-192,3,GBq,a b\r",
                                  "e,Cobalt,1,Ci,",
                                  "f",
                                  "g,,,,",
                                  "h,Co-60,1e-8,TBq,\xc2\xb5"};
    QByteArray plain = "id,radionuclide,activity,unit,owner\n";
    QByteArray quoted = plain;
    for (int copy = 0; copy < 700; ++copy) // several batches
        for (const QByteArray& line : lines) {
            const qsizetype comma = line.indexOf(',');
            const qsizetype firstEnd = comma < 0 ? line.size() : comma;
            plain += line + "\n\n";
            quoted += "\"" + line.first(firstEnd) + "\"" + line.sliced(firstEnd) + "\n\n";
        }
    const Outcome fromPlain = run({"-"}, {}, plain);
    const Outcome fromQuoted = run({"-"}, {}, quoted);
    QCOMPARE(fromPlain.status, 1);
    QCOMPARE(fromPlain.out, fromQuoted.out);
    QCOMPARE(fromPlain.err, fromQuoted.err);
}

void TestRegisterRun::optionsReachTheRows_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("inventory");
    QTest::addColumn<QString>("expected"); // COLUMN=TEXT of the first output row, or "exit N"
    const QByteArray dayFirst = "radionuclide,activity,unit,manufactured\nCo-60,1,Ci,13/02/2020\n";
    QTest::newRow("day first where only that reads")
        << QStringList{"-"} << dayFirst << "current_category=4";
    QTest::newRow("--date-order mdy")
        << QStringList{"--date-order", "mdy", "-"} << dayFirst << "exit 1";
    QTest::newRow("--date-order dmy")
        << QStringList{"--date-order", "dmy", "-"} << dayFirst << "current_category=4";
    QTest::newRow("--as-of the day of manufacture: not decayed")
        << QStringList{"--date-order=dmy", "--as-of", "2020-02-13", "-"} << dayFirst
        << "current_activity_tbq=0.037";
    QTest::newRow("--as-of with a time: decayed")
        << QStringList{"--date-order=dmy", "--as-of", "2020-02-13T12:00", "-"} << dayFirst
        << "current_activity_tbq=0.03699334";
    QTest::newRow("--column") << QStringList{"--column", "activity=Bq value", "-"}
                              << QByteArray("radionuclide,Bq value,unit\nCo-60,2,Ci\n")
                              << "activity_tbq=0.074";
    QTest::newRow("--separator") << QStringList{"--separator", "semicolon", "-"}
                                 << QByteArray("radionuclide;activity;unit;a,b,c\nCo-60;1;Ci;x\n")
                                 << "a,b,c=x";
    // 1 MBq of Co-60, tested and inventoried on 2026-01-15; the run is on 2026-06-01.
    const QByteArray tested = "radionuclide,activity,unit,manufactured,last_leak_test,"
                              "last_inventory\nCo-60,1,MBq,2020-01-01,2026-01-15,2026-01-15\n";
    QTest::newRow("exempt by default")
        << QStringList{"-"} << tested << "leak_test_status=exempt: beta/gamma emitter";
    QTest::newRow("--leak-test-rules none")
        << QStringList{"--leak-test-rules", "none", "--leak-test-interval", "3 months", "-"}
        << tested << "leak_test_status=overdue";
    QTest::newRow("--leak-test-interval") << QStringList{"--leak-test-interval=180 days", "-"}
                                          << tested << "leak_test_due=2026-07-14";
    QTest::newRow("--inventory-interval") << QStringList{"--inventory-interval", "1 month", "-"}
                                          << tested << "inventory_due=2026-02-15";
    QTest::newRow("--column recorded_category")
        << QStringList{"--column", "recorded_category=Cat.", "-"}
        << QByteArray("radionuclide,activity,unit,Cat.\nCs-137,100,Bq,1\n")
        << "recorded_category_check=differs: by A/D Exempted now, Exempted initially";
    QTest::newRow("value and unit in the activity's column")
        << QStringList{"--column", "unit=Activity", "-"}
        << QByteArray("radionuclide;Activity;unit\nCo-60; 9.99E+02  GBq ;Ci\n")
        << "activity_tbq=0.999";
    QTest::newRow("value without its unit")
        << QStringList{"--column", "unit=Activity", "-"}
        << QByteArray("radionuclide;Activity\nCo-60;999\n") << "exit 1";
    const QByteArray comma = "radionuclide;activity;unit\nCo-60;3,7;GBq\n";
    QTest::newRow("--decimal-comma")
        << QStringList{"--decimal-comma", "-"} << comma << "activity_tbq=0.0037";
    QTest::newRow("no decimal comma by default") << QStringList{"-"} << comma << "exit 1";
}

void TestRegisterRun::workbooksAsTheirCsv_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("standardInput");
    const QString folder = QStringLiteral(DOVRIN_EXAMPLES);
    QTest::newRow("xlsx") << QStringList{folder + "/inventory.xlsx"} << QByteArray();
    QTest::newRow("ods") << QStringList{folder + "/inventory.ods"} << QByteArray();
    QTest::newRow("xlsx, its sheet by name")
        << QStringList{"--sheet", "Inventory", folder + "/inventory.xlsx"} << QByteArray();
    QTest::newRow("ods on standard input") << QStringList{"-"} << example("inventory.ods");
}

// The register's output on the example inventory saved as a workbook is its output on the CSV,
// byte for byte.
void TestRegisterRun::workbooksAsTheirCsv() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, standardInput);
    const QStringList asOf{"--as-of", "2026-12-07"};
    const Outcome csv =
        run(asOf + QStringList{QStringLiteral(DOVRIN_EXAMPLES "/inventory.csv")}, {});
    QCOMPARE(csv.status, 0);
    const Outcome workbook = run(asOf + arguments, {}, standardInput);
    QCOMPARE(workbook.status, 0);
    QCOMPARE(workbook.out, csv.out);
    QCOMPARE(workbook.err, csv.err);
}

// The options change what is read and when the sources are evaluated.
void TestRegisterRun::optionsReachTheRows() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, inventory);
    QFETCH(QString, expected);
    const Outcome outcome = run(arguments, {}, inventory);
    if (expected.startsWith("exit ")) {
        QCOMPARE(outcome.status, expected.mid(5).toInt());
        return;
    }
    QCOMPARE(outcome.status, 0);
    const auto rows = records(outcome.out);
    QCOMPARE(rows.size(), std::size_t{2});
    const std::string column = expected.section('=', 0, 0).toStdString();
    const auto at = std::ranges::find(rows[0], column);
    QVERIFY2(at != rows[0].end(), column.c_str());
    const QString value =
        QString::fromStdString(rows[1][static_cast<std::size_t>(at - rows[0].begin())]);
    QVERIFY2(value.startsWith(expected.section('=', 1)), qPrintable(value));
}

// The table a run uses, the user's radionuclides last, each row with its source.
void TestRegisterRun::listNuclides() {
    QTemporaryDir folder;
    writeFile(folder.path() + "/inv.csv", "radionuclide,half_life,half_life_unit,d_value_tbq,"
                                          "exemption_bq,source\nZz-500,10,d,1,,test\n");
    const Outcome outcome = run({"--list-nuclides", "--nuclides", "INV"}, folder.path());
    QCOMPARE(outcome.status, 0);
    const auto rows = records(outcome.out);
    QCOMPARE(rows.size(), RadionuclideTable::builtIn().all().size() + 2);
    const std::vector<std::string> columns{"radionuclide", "half_life",    "half_life_unit",
                                           "d_value_tbq",  "exemption_bq", "source"};
    QVERIFY(std::equal(columns.begin(), columns.end(), rows[0].begin()));
    QVERIFY(std::ranges::all_of(rows, [](const auto& row) { return !row[5].empty(); }));
    QCOMPARE(rows.back()[0], "Zz-500");
    QCOMPARE(rows.back()[5], "test");
}

void TestRegisterRun::summaryAndLocations_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("summaryLine"); // a whole line of the summary, or "no LINE"
    QTest::addColumn<int>("locationColumns");
    const QString quantity = "location 'Vault': a category 2 quantity under 10 CFR 37, sum of "
                             "fractions 1.1 for category 2";
    const QString differ = "1 row's recorded category differs from both categories by A/D";
    QTest::newRow("without --nrc") << QStringList{} << "no " + quantity << 8;
    QTest::newRow("--nrc") << QStringList{"--nrc"} << quantity << 11;
    QTest::newRow("recorded categories counted") << QStringList{} << differ << 8;
}

// The summary names the locations that hold an NRC category 1 or 2 quantity and counts the
// recorded categories that differ; --nrc adds the NRC's columns to the totals per location.
void TestRegisterRun::summaryAndLocations() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, summaryLine);
    QFETCH(int, locationColumns);
    QTemporaryDir folder;
    writeFile(folder.path() + "/inv.csv", "location,radionuclide,activity,unit,recorded_category\n"
                                          "Vault,Co-60,0.15,TBq,3\n"
                                          "Vault,Cs-137,0.6,TBq,1\n"
                                          "Store,Kr-85,3000,TBq,\n");
    const Outcome outcome =
        run(arguments + QStringList{"--locations", "DIR/sites.csv", "INV"}, folder.path());
    QCOMPARE(outcome.status, 0);
    const QStringList lines = QString::fromUtf8(outcome.err).split('\n');
    if (summaryLine.startsWith("no "))
        QVERIFY(!lines.contains(summaryLine.mid(3)));
    else
        QVERIFY2(lines.contains(summaryLine), outcome.err.constData());
    const auto sites = records(contents(folder.path() + "/sites.csv"));
    QCOMPARE(sites.size(), std::size_t{3});
    QCOMPARE(sites[0].size(), static_cast<std::size_t>(locationColumns));
    QCOMPARE(sites[1].back(), std::string(locationColumns == 11 ? "2" : "yes")); // raised too
}

void TestRegisterRun::failedRunLeavesFilesAlone_data() {
    QTest::addColumn<bool>("cancelled"); // otherwise the header is bad
    QTest::newRow("stopped before the first row") << false;
    QTest::newRow("cancelled half way") << true;
}

// A run that fails leaves no half-written file, and the files it would have replaced as they were.
void TestRegisterRun::failedRunLeavesFilesAlone() {
    QFETCH(bool, cancelled);
    QTemporaryDir folder;
    QByteArray inventory = cancelled ? header : "nothing,of,use\n";
    while (inventory.size() < 3'000'000)
        inventory += "Co-60,1,Ci\n";
    writeFile(folder.path() + "/inv.csv", inventory);
    writeFile(folder.path() + "/out.csv", "before\n");
    writeFile(folder.path() + "/sites.csv", "before too\n");
    writeFile(folder.path() + "/due.ics", "before as well\n");
    RunOptions options;
    options.input = (folder.path() + "/inv.csv").toStdString();
    options.output = (folder.path() + "/out.csv").toStdString();
    options.locations = (folder.path() + "/sites.csv").toStdString();
    options.calendar = (folder.path() + "/due.ics").toStdString();
    std::uint64_t reports = 0;
    const RunResult result = categoriseInventory(options, fixedNow, stdin, stdout,
                                                 [&](std::uint64_t consumed, std::uint64_t total) {
                                                     ++reports;
                                                     return consumed < total / 2;
                                                 });
    QCOMPARE(result.status, runImpossible);
    QCOMPARE(reports > 0, cancelled);
    QCOMPARE(filesIn(folder.path()), (QStringList{"due.ics", "inv.csv", "out.csv", "sites.csv"}));
    QCOMPARE(contents(folder.path() + "/out.csv"), QByteArray("before\n"));
    QCOMPARE(contents(folder.path() + "/sites.csv"), QByteArray("before too\n"));
    QCOMPARE(contents(folder.path() + "/due.ics"), QByteArray("before as well\n"));
}

// The summary names the sources overdue and those due within 30 days, by id or row, the first
// 20 of each; the calendar holds an event for each due day.
void TestRegisterRun::dueSourcesAndCalendar() {
    QTemporaryDir folder;
    QByteArray inventory = "id,radionuclide,activity,unit,last_leak_test,last_inventory\n";
    for (int i = 1; i <= 25; ++i)
        inventory += "S" + QByteArray::number(i) + ",Co-60,1,Ci,2025-06-01,2026-01-01\n";
    inventory += ",Co-60,1,Ci,2025-12-20,\n"; // row 27: due 2026-06-20
    writeFile(folder.path() + "/inv.csv", inventory);
    const Outcome outcome =
        run({"INV", "-o", "DIR/out.csv", "--calendar", "DIR/due.ics"}, folder.path());
    QCOMPARE(outcome.status, 0);
    const QString err = QString::fromUtf8(outcome.err);
    QString overdue = "overdue (25): ";
    for (int i = 1; i <= 20; ++i)
        overdue += QString(i == 1 ? "" : ", ") + "S" + QString::number(i) + " (leak test)";
    QVERIFY2(err.contains(overdue + " and 5 more\n"), qPrintable(err));
    QVERIFY2(err.contains("due within 30 days (26): S1 (inventory), "), qPrintable(err));
    QVERIFY2(!err.contains("row 27"), qPrintable(err)); // past the first 20
    QCOMPARE(contents(folder.path() + "/due.ics").count("BEGIN:VEVENT"), 51);
}

// A complete run replaces the files at once, keeping their permissions and a symbolic link.
void TestRegisterRun::finishedRunReplacesFiles() {
    QTemporaryDir folder;
    writeFile(folder.path() + "/inv.csv",
              QByteArray("location,") + header + "A,Co-60,1,Ci\nB,Cs-137,1,Ci\nA,Sr-90,1,Ci\n");
    writeFile(folder.path() + "/out.csv", "before\n");
    writeFile(folder.path() + "/linked.csv", "before\n");
    QVERIFY(QFile::link(folder.path() + "/linked.csv", folder.path() + "/sites.csv"));
    const QByteArray outPath = (folder.path() + "/out.csv").toUtf8();
    QCOMPARE(chmod(outPath.constData(), 0640), 0);
    const Outcome outcome =
        run({"INV", "-o", "DIR/out.csv", "--locations", "DIR/sites.csv"}, folder.path());
    QCOMPARE(outcome.status, 0);
    QVERIFY(outcome.out.isEmpty());
    QCOMPARE(filesIn(folder.path()),
             (QStringList{"inv.csv", "linked.csv", "out.csv", "sites.csv"}));
    QVERIFY(QFileInfo(folder.path() + "/sites.csv").isSymLink());
    QCOMPARE(records(contents(folder.path() + "/out.csv")).size(), std::size_t{4});
    const auto sites = records(contents(folder.path() + "/sites.csv"));
    QCOMPARE(sites.size(), std::size_t{3});
    QVERIFY(sites[1][0] + sites[1][1] + sites[2][0] + sites[2][1] == "A2B1");
    struct stat status {};
    QCOMPARE(stat(outPath.constData(), &status), 0);
    QCOMPARE(status.st_mode & 0777, 0640u);
}

// The program itself: a bad run says why on one line and exits with 2; --version exits with 0.
void TestRegisterRun::realProgram() {
    QProcess program;
    program.start(DOVRIN_REGISTER, {"/nonexistent/inventory.csv"});
    QVERIFY(program.waitForFinished());
    QCOMPARE(program.exitCode(), 2);
    QCOMPARE(program.readAllStandardError().count('\n'), 1);
    program.start(DOVRIN_REGISTER, {"--version"});
    QVERIFY(program.waitForFinished());
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(program.readAllStandardOutput().startsWith("dovrin-register "));
}

QTEST_GUILESS_MAIN(TestRegisterRun)
#include "tst_register_run.moc"
