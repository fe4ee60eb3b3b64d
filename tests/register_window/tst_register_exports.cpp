// The register window's exports: the CSV as the command line writes it, the PDF report with its
// numbers whole and its pages counted, and neither ever written over the inventory.

#include <cstdio>

#include <QComboBox>
#include <QInputDialog>
#include <QLocale>
#include <QProcess>
#include <QSignalSpy>

#include "command_line.h"
#include "csv.h"
#include "register_window_under_test.h"
#include "report.h"
#include "sources_model.h"
#include "zip_writer.h"

using namespace testing;

namespace {

const QByteArray inventory = "id,location,radionuclide,activity,unit,manufactured,owner\n"
                             "A,Lab 1,Co-60,0.35,TBq,2026-12-07,\"Smith, J\"\n"
                             "B,Lab 1,Cs-137,50,GBq,2020-01-01,\n"
                             "C,Lab 2,Cobalt,1,TBq,2020-01-01,\n"
                             "D,Lab 2,Se-75,2,Ci,2026-06-01,\n"
                             "E,Store,Am-241/Be,0.5,TBq,,x\n"
                             "F,Store,Co-60,1e-8,TBq,1/2/2026\n";

// What a program prints for its arguments, or nothing when it fails.
QString programOutput(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The report's text, laid out as on its pages.
QString reportText(const QString& pdf) {
    return programOutput(QStringLiteral("pdftotext"),
                         {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// A workbook of two sheets, the second a small inventory.
QByteArray twoSheets() {
    const auto text = [](const char* cell, const char* value) {
        return "<c r=\"" + std::string(cell) + "\" t=\"inlineStr\"><is><t>" + value +
               "</t></is></c>";
    };
    const std::string sheet2 = "<row r=\"1\">" + text("A1", "radionuclide") +
                               text("B1", "activity") + text("C1", "unit") + "</row><row r=\"2\">" +
                               text("A2", "Co-60") + "<c r=\"B2\"><v>0.35</v></c>" +
                               text("C2", "TBq") + "</row>";
    const std::string bytes = dovrin::testing::makeZip(
        dovrin::testing::xlsxParts({"<row r=\"1\">" + text("A1", "notes") + "</row>", sheet2}));
    return {bytes.data(), static_cast<qsizetype>(bytes.size())};
}

// What dovrin-register writes for the file at 2026-12-07, with its other arguments.
QByteArray commandLineOutput(const QString& input, const QString& output, QStringList arguments) {
    arguments << QStringLiteral("--as-of") << QStringLiteral("2026-12-07") << QStringLiteral("-o")
              << output << input;
    std::vector<std::string> texts;
    for (const QString& argument : arguments)
        texts.push_back(argument.toStdString());
    const std::vector<std::string_view> views(texts.begin(), texts.end());
    std::FILE* nowhere = std::fopen("/dev/null", "w");
    dovrin::runRegister(views, stdin, stdout, nowhere, false, midnight);
    std::fclose(nowhere);
    return contents(output);
}

} // namespace

class TestRegisterExports : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;
    std::unique_ptr<dovrin::RegisterWindow> window_;

    bool openAndWait(const QString& path) { return testing::openAndWait(*window_, path); }
    bool exportAndWait(const std::function<void()>& write) {
        QSignalSpy exported(window_.get(), &dovrin::RegisterWindow::exported);
        write();
        if (exported.isEmpty() && !exported.wait(20000))
            return false;
        return exported.first().at(1).toBool();
    }

private slots:
    void initTestCase() { isolateSettings(folder_); }
    void init() {
        window_ = std::make_unique<dovrin::RegisterWindow>([] { return midnight; });
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    void cleanup() { window_.reset(); }

    // The CSV export is the command line's output, byte for byte, and the inventory is as it was.
    void csvAsCommandLine_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("commas") << inventory << QStringList{};
        QTest::newRow("semicolons, CRLF")
            << QByteArray(inventory).replace(',', ';').replace("\n", "\r\n") << QStringList{};
        QTest::newRow("day-first dates")
            << inventory << QStringList{QStringLiteral("--date-order"), QStringLiteral("dmy")};
        QTest::newRow("generated") << generatedInventory(5000) << QStringList{};
        QTest::newRow("workbook, known by its content")
            << contents(QStringLiteral(DOVRIN_EXAMPLES "/inventory.ods")) << QStringList{};
        QTest::newRow("second sheet of two, as asked")
            << twoSheets() << QStringList{QStringLiteral("--sheet"), QStringLiteral("Sheet2")};
    }
    void csvAsCommandLine() {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, arguments);
        const QString path = writeFile(folder_, QStringLiteral("inventory.csv"), text);
        DialogAnswerer answerer; // the slash dates ask for their order, two sheets for one
        answerer.answer = [&](QDialog& dialog) {
            if (auto* sheets = qobject_cast<QInputDialog*>(&dialog))
                sheets->setTextValue(arguments.value(arguments.indexOf("--sheet") + 1));
            else
                dialog.findChild<QComboBox*>(QStringLiteral("dateOrderBox"))
                    ->setCurrentIndex(arguments.contains(QStringLiteral("dmy")) ? 1 : 0);
            dialog.accept();
        };
        QSettings().clear();
        QVERIFY(openAndWait(path));
        const QString exported = folder_.filePath(QStringLiteral("window.csv"));
        QVERIFY(exportAndWait([&] { window_->exportCsv(exported); }));
        const QByteArray expected =
            commandLineOutput(path, folder_.filePath(QStringLiteral("cli.csv")), arguments);
        QVERIFY(expected.count('\n') > 1); // the header and rows with their results
        QCOMPARE(contents(exported), expected);
        QCOMPARE(contents(path), text);
    }

    // Every cell the sources table keeps equals the command line's field for its row: the
    // window's stored results restore what the register wrote, a long field, a long note, an
    // A/D-only radionuclide, error rows and the check of a recorded category included. (Export
    // CSV runs the command line's code again, so it cannot show a fault in what the window
    // keeps.)
    void cellsAsCommandLine() {
        // Every cell of the table equals the command line's field: the command line's output, or
        // none.
        const auto compareCells = [this](const QString& path) -> QByteArray {
            DialogAnswerer answerer; // the slash dates: month first
            answerer.answer = [](QDialog& dialog) { dialog.accept(); };
            QSettings().clear();
            if (!openAndWait(path))
                return {};
            const QByteArray expected =
                commandLineOutput(path, folder_.filePath(QStringLiteral("cells-cli.csv")), {});
            const auto* view = window_->findChild<QTableView*>(QStringLiteral("sourcesView"));
            const auto* filter = qobject_cast<const QSortFilterProxyModel*>(view->model());
            const auto* model = qobject_cast<const dovrin::SourcesModel*>(filter->sourceModel());

            const std::string expectedText = expected.toStdString();
            dovrin::csv::TextSource source(expectedText);
            dovrin::csv::Reader reader(source, ',');
            if (!reader.next()) // the header
                return {};
            std::size_t row = 0;
            while (const auto record = reader.next()) {
                if (static_cast<int>(record->fields.size()) != model->columnCount())
                    return {};
                for (int column = 0; column < model->columnCount(); ++column)
                    if (model->cellText(row, column) !=
                        std::string(record->fields[static_cast<std::size_t>(column)]))
                        return {};
                ++row;
            }
            // No heading past the last column, where the file's header ends.
            if (model->headerData(model->columnCount(), Qt::Horizontal, Qt::DisplayRole).isValid())
                return {};
            return static_cast<int>(row) == model->rowCount() ? expected : QByteArray();
        };
        const QByteArray longField(150, 'x');
        QByteArray text = QByteArray(inventory).replace("owner", "recorded_category");
        text += "G,Store,Co-60,1,TBq,2020-01-01," + longField + "\n";
        text += "H,Store,Co-60,1,TBq,2020-01-01,o,extra " + longField + ",more\n";
        text += "I,Store,Se-75,80,Ci,2026-06-10,\n";
        const QString path = writeFile(folder_, QStringLiteral("cells.csv"), text);
        const QByteArray expected = compareCells(path);
        QVERIFY(expected.contains("no category table for Se-75"));
        QVERIFY(expected.contains(longField));
        QVERIFY(expected.contains("differs: by A/D"));
        // The duties: overdue, exempt by decayed activity, and not due, as of 2026-12-07.
        const QString duties = writeFile(
            folder_, QStringLiteral("duties.csv"),
            "id,location,radionuclide,activity,unit,manufactured,last_leak_test,last_inventory,"
            "working_life\n"
            "P,Lab,Cs-137,1,TBq,2020-01-01,2026-01-01,2026-05-01,5\n"
            "Q,Lab,Co-60,1,MBq,2020-01-01,2026-10-01,2026-12-01,20\n"
            "R,Lab,Cs-137,1,TBq,2026-01-01,2026-11-01,2026-11-01,10\n");
        const QByteArray dutiesOutput = compareCells(duties);
        QVERIFY(dutiesOutput.contains("overdue") && dutiesOutput.contains("exempt"));
        // Rows stored by several workers, each batch's notes numbered in a pool of its own and
        // the locations kept once: every row's note and location are still its own.
        const QString many =
            writeFile(folder_, QStringLiteral("many.csv"), generatedInventory(9000));
        QVERIFY(compareCells(many).contains("Not assigned from"));
    }

    // No export is ever written over the inventory: the window says why in a real modal message
    // box, and the file stays as it was.
    void neverOverInventory_data() {
        QTest::addColumn<bool>("report");
        QTest::newRow("CSV") << false;
        QTest::newRow("report") << true;
    }
    void neverOverInventory() {
        QFETCH(bool, report);
        const QString path = writeFile(folder_, QStringLiteral("kept.csv"), inventory);
        DialogAnswerer answerer;
        answerer.answer = [](QDialog& dialog) { dialog.accept(); };
        QVERIFY(openAndWait(path));
        QVERIFY(!exportAndWait(
            [&] { report ? window_->exportReport(path) : window_->exportCsv(path); }));
        QTRY_COMPARE(answerer.messages.size(), 1);
        QCOMPARE(contents(path), inventory);
    }

    // The report is a readable PDF that names the inventory and the date, and lists the
    // sources of categories 1 to 3 before the others.
    void reportReadable() {
        const QString path = writeFile(folder_, QStringLiteral("report-inventory.csv"), inventory);
        QSettings().clear();
        DialogAnswerer answerer;
        answerer.answer = [](QDialog& dialog) { dialog.accept(); };
        QVERIFY(openAndWait(path));
        const QString pdf = folder_.filePath(QStringLiteral("report.pdf"));
        QVERIFY(exportAndWait([&] { window_->exportReport(pdf); }));
        const QString info = programOutput(QStringLiteral("pdfinfo"), {pdf});
        const QString pages =
            QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info).captured(1);
        QVERIFY2(!pages.isEmpty(), qPrintable(info));
        const QString words = reportText(pdf);
        QVERIFY2(words.contains(QStringLiteral("report-inventory.csv")), qPrintable(words));
        QVERIFY(words.contains(QStringLiteral("2026-12-07")));
        QVERIFY(words.contains(QStringLiteral("Made 2026-12-07 00:00"))); // by the window's clock
        QVERIFY(words.contains(QStringLiteral("page 1 of %1").arg(pages)));
        QVERIFY(words.contains(QStringLiteral("page %1 of %1").arg(pages)));
        QVERIFY(words.contains(QRegularExpression(QStringLiteral("full\\s+precision"))));
        QVERIFY(words.contains(QStringLiteral("Store")));
        const qsizetype due = words.indexOf(QStringLiteral("Due within 30 days"));
        QVERIFY(due >= 0 && due < words.indexOf(QStringLiteral("Sources of categories 1 to 3")));
        // A (category 2) and E (3) come before B (4), whatever the file's order.
        const qsizetype severe = words.indexOf(QStringLiteral("Sources of categories 1 to 3"));
        const qsizetype others = words.indexOf(QStringLiteral("The other sources"));
        QVERIFY(severe >= 0 && others > severe);
        const auto rowOf = [&](const QString& id, qsizetype from) {
            static const QRegularExpression anyRow(QStringLiteral("\\n\\s*\\d+\\s+(\\w)\\s"));
            for (auto match = anyRow.globalMatch(words, from); match.hasNext();) {
                const auto found = match.next();
                if (found.captured(1) == id)
                    return found.capturedStart();
            }
            return qsizetype{-1};
        };
        QVERIFY(rowOf(QStringLiteral("A"), severe) < others);
        QVERIFY(rowOf(QStringLiteral("B"), severe) > others);
    }

    // The report writes the current activity of every source of categories 1 to 3 of the
    // example inventory as one token with its unit, on the source's line, within the rounding
    // of three significant digits of the value the window holds; its headings are whole.
    void reportActivitiesWhole() {
        QSettings().clear();
        DialogAnswerer answerer; // its slash dates give the month first
        answerer.answer = [](QDialog& dialog) {
            dialog.findChild<QComboBox*>(QStringLiteral("dateOrderBox"))->setCurrentIndex(0);
            dialog.accept();
        };
        QVERIFY(openAndWait(QStringLiteral(DOVRIN_EXAMPLES "/inventory.csv")));
        const QString pdf = folder_.filePath(QStringLiteral("example.pdf"));
        QVERIFY(exportAndWait([&] { window_->exportReport(pdf); }));
        const QString words = reportText(pdf);
        const qsizetype severe = words.indexOf(QStringLiteral("Sources of categories 1 to 3"));
        QVERIFY(severe >= 0);
        // The table is as wide as its page: no heading is broken inside a word.
        QVERIFY(words.indexOf(QRegularExpression(QStringLiteral("\\bradionuclide\\b")), severe) >
                0);

        auto* table = window_->findChild<QTableView*>(QStringLiteral("sourcesView"));
        const QAbstractItemModel& sources = *table->model();
        const auto column = [&](const QString& heading) {
            for (int section = 0; section < sources.columnCount(); ++section)
                if (sources.headerData(section, Qt::Horizontal).toString().replace(u'\n', u' ') ==
                    heading)
                    return section;
            return -1;
        };
        const int ids = column(QStringLiteral("id"));
        const int activities = column(QStringLiteral("Current activity (TBq)"));
        const int categories = column(QStringLiteral("Category by A/D"));
        static const QHash<QString, double> units{{QStringLiteral("Bq"), 1},
                                                  {QStringLiteral("kBq"), 1e3},
                                                  {QStringLiteral("MBq"), 1e6},
                                                  {QStringLiteral("GBq"), 1e9},
                                                  {QStringLiteral("TBq"), 1e12}};
        static const QRegularExpression token(
            QStringLiteral("(?<![\\d.])(\\d+(?:\\.\\d+)?)[ \\x{00a0}](k?Bq|[MGT]Bq)\\b"));
        int checked = 0;
        for (int row = 0; row < sources.rowCount(); ++row) {
            const QString category = sources.index(row, categories).data().toString();
            if (category != u"1" && category != u"2" && category != u"3")
                continue;
            const QString id = sources.index(row, ids).data().toString();
            const double exact =
                sources.index(row, activities).data(Qt::ToolTipRole).toString().toDouble() * 1e12;
            const QRegularExpression line(
                QStringLiteral("\\n[^\\n]*\\b%1\\b[^\\n]*").arg(QRegularExpression::escape(id)));
            const QString shown = line.match(words, severe).captured(0);
            bool found = false;
            for (auto match = token.globalMatch(shown); match.hasNext() && !found;) {
                const auto written = match.next();
                const double value = written.captured(1).toDouble() * units[written.captured(2)];
                found = std::abs(value - exact) <= exact * 0.005;
            }
            QVERIFY2(found,
                     qPrintable(QStringLiteral("%1 (%2 Bq) in: %3").arg(id).arg(exact).arg(shown)));
            ++checked;
        }
        QCOMPARE(checked, 7); // H-01, H-02, H-03, R-01 to R-04
    }

    // The report's numbers: three significant digits, an activity in the unit of becquerel its
    // rounded value reaches, joined to it by a no-break space.
    void reportNumbers_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("activity");
        QTest::addColumn<QString>("text");
        QTest::newRow("A/D") << 642.92154049896 << false << "643";
        QTest::newRow("A/D above a thousand") << 1197.03142985764 << false << "1200";
        QTest::newRow("small A/D") << 0.0051004 << false << "0.00510";
        QTest::newRow("tiny A/D") << 7.4e-7 << false << "7.40×10⁻⁷";
        QTest::newRow("TBq") << 64.2921540498963 << true << "64.3 TBq";
        QTest::newRow("MBq") << 1.7498e-4 << true << "175 MBq";
        QTest::newRow("rounded up to the next unit") << 0.9996 << true << "1.00 TBq";
        QTest::newRow("above a thousand TBq") << 12345.0 << true << "12300 TBq";
        QTest::newRow("below a becquerel") << 5e-13 << true << "0.500 Bq";
    }
    void reportNumbers() {
        QFETCH(double, value);
        QFETCH(bool, activity);
        QFETCH(QString, text);
        QCOMPARE(activity ? dovrin::activityText(value) : dovrin::threeDigits(value),
                 QString(text).replace(u' ', QChar(0x00a0)));
    }

    // The report's paper: US Letter in the territories where it is the usual paper, A4 in the
    // others, whatever their units of measurement.
    void reportPaper_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("paper");
        QTest::newRow("United States") << "en_US" << int(QPageSize::Letter);
        QTest::newRow("Canada, in French") << "fr_CA" << int(QPageSize::Letter);
        QTest::newRow("Mexico") << "es_MX" << int(QPageSize::Letter);
        QTest::newRow("United Kingdom") << "en_GB" << int(QPageSize::A4);
        QTest::newRow("Liberia, US units") << "en_LR" << int(QPageSize::A4);
        QTest::newRow("Germany") << "de_DE" << int(QPageSize::A4);
    }
    void reportPaper() {
        QFETCH(QString, locale);
        QFETCH(int, paper);
        QCOMPARE(int(dovrin::reportPageSize(QLocale(locale)).id()), paper);
    }
};

QTEST_MAIN(TestRegisterExports)
#include "tst_register_exports.moc"
