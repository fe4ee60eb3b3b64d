// The window keeps a register through the register's own code: each record dialog, driven by
// the keyboard, lands the event as the command line's history shows it, or names the field
// left wrong and records nothing; the History pane shows what history shows.

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QDateEdit>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextTable>

#include "calendar.h"
#include "command_line.h"
#include "history_pane.h"
#include "import_dialog.h"
#include "inventory_loader.h"
#include "qt_text.h"
#include "record_dialog.h"
#include "register_reports.h"
#include "register_window_under_test.h"
#include "report.h"
#include "sources_model.h"
#include "store.h"

using namespace testing;

namespace {

// The command line run in this process at the tests' day: its standard output, and its exit
// status in status.
QByteArray command(const QStringList& words, int* status = nullptr,
                   dovrin::LocalTime now = midnight) {
    std::vector<std::string> texts;
    for (const QString& word : words)
        texts.push_back(word.toStdString());
    const std::vector<std::string_view> views(texts.begin(), texts.end());
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int exit = dovrin::runRegister(views, in, out, err, false, now);
    if (status)
        *status = exit;
    QByteArray text;
    std::rewind(out);
    char buffer[4096];
    for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, out)) > 0;)
        text.append(buffer, static_cast<qsizetype>(read));
    for (std::FILE* file : {in, out, err})
        std::fclose(file);
    return text;
}

// A table's rows, each its cells joined by commas.
QStringList rowTexts(const QAbstractItemModel& model) {
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model.columnCount(); ++column)
            cells << model.index(row, column).data().toString();
        rows << cells.join(u',');
    }
    return rows;
}

// history's rows after its header, each split at commas (the tests' texts hold none).
QList<QStringList> history(const QString& path) {
    QList<QStringList> rows;
    const QList<QByteArray> lines = command({"history", path}).trimmed().split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i)
        rows << QString::fromUtf8(lines[i]).split(u',');
    return rows;
}

// history's columns: seq, id, kind, on, recorded_at, by, reason, document, event, then the
// fields in the register's order.
enum HistoryColumn { hSeq, hId, hKind, hOn, hRecordedAt, hBy, hReason, hDocument, hEvent, hFields };

int fieldColumn(std::string_view name) {
    return hFields + static_cast<int>(*dovrin::store::fieldNamed(name));
}

// The text of a PDF, laid out as on its pages, its pages parted by form feeds.
QString pdfText(const QString& pdf) {
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, "-"});
    if (!pdftotext.waitForFinished(30000))
        return {};
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

} // namespace

class TestRegisterKeeping : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;
    QString path_;
    int registers_ = 0;
    std::unique_ptr<dovrin::RegisterWindow> window_;

    // A register holding source A in Lab 1 since 2020, open in a new window, A selected.
    void openRegister() {
        path_ = folder_.filePath(QStringLiteral("r%1.dovrin").arg(++registers_));
        int status = 0;
        command({"init", path_, "--holder", "Clinic"}, &status);
        QCOMPARE(status, 0);
        command({"record", path_, "receive", "--source", "A", "--on", "2020-01-01", "--by", "Ann",
                 "--radionuclide", "Co-60", "--activity", "0.15", "--unit", "TBq", "--location",
                 "Lab 1"},
                &status);
        QCOMPARE(status, 0);
        window_ = std::make_unique<dovrin::RegisterWindow>([] { return midnight; });
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        QVERIFY(openAndWait(*window_, path_));
        QVERIFY(window_->registerOpen());
        auto* table = window_->findChild<QTableView*>(QStringLiteral("sourcesView"));
        table->setCurrentIndex(table->model()->index(0, 0));
    }

    // A second window on the register open, as another person's, A selected.
    static std::unique_ptr<dovrin::RegisterWindow> openOther(const QString& path) {
        auto other = std::make_unique<dovrin::RegisterWindow>([] { return midnight; });
        other->show();
        if (!QTest::qWaitForWindowExposed(other.get()) || !openAndWait(*other, path))
            return nullptr;
        auto* table = other->findChild<QTableView*>(QStringLiteral("sourcesView"));
        table->setCurrentIndex(table->model()->index(0, 0));
        return other;
    }

    // The field of the first source the window shows.
    static QString shown(const dovrin::RegisterWindow& window, dovrin::Column column) {
        const auto& texts = *window.findChild<dovrin::SourcesModel*>()->texts();
        return dovrin::fromBytes(texts.fields(0)[*texts.columns[column]]);
    }

    // Opens the dialog of the action by its keys, and waits for the focus in its first field.
    dovrin::RecordDialog* openDialog(const QKeySequence& keys,
                                     dovrin::RegisterWindow* window = nullptr) {
        if (!window)
            window = window_.get();
        // The offscreen platform gives no window the focus back when a dialog closes.
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window))
            return nullptr;
        QTest::keySequence(window, keys);
        dovrin::RecordDialog* dialog = nullptr;
        const bool shown = QTest::qWaitFor([&] {
            dialog = nullptr; // one closed a moment ago may wait to be deleted
            for (auto* open : window->findChildren<dovrin::RecordDialog*>())
                if (open->isVisible())
                    dialog = open;
            return dialog && QApplication::focusWidget() &&
                   dialog->isAncestorOf(QApplication::focusWidget());
        });
        return shown ? dialog : nullptr;
    }

    // Tab from the focus until the box has it: the fields are reached in the order given.
    static bool tabTo(QWidget* box) {
        for (int tabs = 0; tabs < 30 && !box->hasFocus(); ++tabs)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        return box->hasFocus();
    }

    // Types each objectName=text into its box, reached by Tab, then Return.
    static bool typeAndRecord(dovrin::RecordDialog& dialog, const QStringList& typed) {
        for (const QString& entry : typed) {
            const qsizetype equals = entry.indexOf(u'=');
            auto* box = dialog.findChild<QLineEdit*>(entry.left(equals));
            if (!box || !tabTo(box)) {
                qWarning("no box %s", qPrintable(entry));
                return false;
            }
            box->clear();
            QTest::keyClicks(box, entry.mid(equals + 1));
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        return true;
    }

private slots:
    void initTestCase() { isolateSettings(folder_); }
    void cleanup() { window_.reset(); }

    // Each dialog typed into field by field and recorded with Return; the event lands as
    // history shows it, or the field named is left wrong and nothing is recorded.
    void recordDialog_data() {
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QStringList>("typed");  // objectName=text, in the dialog's order
        QTest::addColumn<QString>("problem");    // the label that names what is wrong; empty: none
        QTest::addColumn<QStringList>("landed"); // history's column=value of the new event
        QTest::addColumn<int>("held");           // the sources the table shows then
        QTest::newRow("move") << QKeySequence(Qt::CTRL | Qt::Key_M)
                              << QStringList{"field_location=Store", "byBox=Bo"} << QString()
                              << QStringList{"kind=move", "location=Store", "by=Bo", "id=A",
                                             "on=2026-12-07"}
                              << 1;
        QTest::newRow("leak test")
            << QKeySequence(Qt::CTRL | Qt::Key_L)
            << QStringList{"field_outcome=pass", "field_result_bq=12", "field_tester=Lab",
                           "byBox=Bo", "documentBox=C-7"}
            << QString()
            << QStringList{"kind=leak-test", "outcome=pass", "result_bq=12", "document=C-7"} << 1;
        QTest::newRow("dispose") << QKeySequence(Qt::CTRL | Qt::Key_D)
                                 << QStringList{"field_method=returned to maker", "byBox=Bo"}
                                 << QString()
                                 << QStringList{"kind=dispose", "method=returned to maker"} << 0;
        QTest::newRow("receive") << QKeySequence(Qt::CTRL | Qt::Key_R)
                                 << QStringList{"sourceBox=B", "field_radionuclide=Cs-137",
                                                "field_activity=2", "field_unit=GBq", "byBox=Bo"}
                                 << QString()
                                 << QStringList{"kind=receive", "id=B", "radionuclide=Cs-137"} << 2;
        // A correction's form holds the named event's fields as they stand, and carries only
        // the one changed.
        QTest::newRow("correct") << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C)
                                 << QStringList{"eventBox=1", "field_activity=0.25", "byBox=Bo",
                                                "reasonBox=typo"}
                                 << QString()
                                 << QStringList{"kind=correct", "event=1", "activity=0.25",
                                                "radionuclide=", "unit="}
                                 << 1;
        QTest::newRow("void needs a reason") << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V)
                                             << QStringList{"eventBox=1", "byBox=Bo"}
                                             << QString("problem_reasonBox") << QStringList{} << 1;
        QTest::newRow("move to where it is")
            << QKeySequence(Qt::CTRL | Qt::Key_M) << QStringList{"field_location=Lab 1", "byBox=Bo"}
            << QString("problem_location") << QStringList{} << 1;
        QTest::newRow("unknown radionuclide")
            << QKeySequence(Qt::CTRL | Qt::Key_R)
            << QStringList{"sourceBox=B", "field_radionuclide=Xx-1", "field_activity=2",
                           "field_unit=GBq", "byBox=Bo"}
            << QString("problem_radionuclide") << QStringList{} << 1;
        QTest::newRow("receipt of a source held")
            << QKeySequence(Qt::CTRL | Qt::Key_R)
            << QStringList{"sourceBox=A", "field_radionuclide=Co-60", "field_activity=2",
                           "field_unit=GBq", "byBox=Bo"}
            << QString("wholeProblem") << QStringList{} << 1;
    }
    void recordDialog() {
        QFETCH(QKeySequence, keys);
        QFETCH(QStringList, typed);
        QFETCH(QString, problem);
        QFETCH(QStringList, landed);
        QFETCH(int, held);
        openRegister();
        QSignalSpy recorded(window_.get(), &dovrin::RegisterWindow::eventRecorded);
        QSignalSpy loaded(window_.get(), &dovrin::RegisterWindow::inventoryLoaded);
        dovrin::RecordDialog* dialog = openDialog(keys);
        QVERIFY(dialog);
        QVERIFY(typeAndRecord(*dialog, typed));
        if (!problem.isEmpty()) {
            auto* label = dialog->findChild<QLabel*>(problem);
            QVERIFY(label);
            QTRY_VERIFY(!label->text().isEmpty());
            QVERIFY(dialog->isVisible());
            QCOMPARE(history(path_).size(), 1); // nothing recorded
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            QTRY_VERIFY(!window_->findChild<dovrin::RecordDialog*>());
            QCOMPARE(recorded.count(), 0);
            return;
        }
        QTRY_COMPARE(recorded.count(), 1);
        const QList<QStringList> rows = history(path_);
        QCOMPARE(rows.size(), 2);
        const QStringList& event = rows.last();
        const QStringList columns{"seq", "id",     "kind",     "on",   "recorded_at",
                                  "by",  "reason", "document", "event"};
        for (const QString& expected : landed) {
            const QString name = expected.section(u'=', 0, 0);
            const int column = columns.contains(name) ? static_cast<int>(columns.indexOf(name))
                                                      : fieldColumn(name.toStdString());
            QCOMPARE(event.value(column), expected.section(u'=', 1));
        }
        // The table shows the register's new state, the source's row alone read again: the
        // sources and the locations' totals as a reload shows them. "Recorded by" is remembered.
        auto* table = window_->findChild<QTableView*>(QStringLiteral("sourcesView"));
        QTRY_VERIFY(!window_->loading() && table->model()->rowCount() == held);
        QCOMPARE(loaded.count(), 0);
        auto* locations = window_->findChild<QTableView*>(QStringLiteral("locationsView"));
        const QStringList patched = rowTexts(*table->model());
        QStringList patchedLocations = rowTexts(*locations->model());
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        QTest::keySequence(window_.get(), QKeySequence(Qt::Key_F5));
        QTRY_COMPARE(loaded.count(), 1);
        QCOMPARE(patched, rowTexts(*table->model()));
        QStringList reloadedLocations = rowTexts(*locations->model());
        patchedLocations.sort();
        reloadedLocations.sort();
        QCOMPARE(patchedLocations, reloadedLocations);
        dialog = openDialog(QKeySequence(Qt::CTRL | Qt::Key_R));
        QVERIFY(dialog);
        QCOMPARE(dialog->findChild<QLineEdit*>("byBox")->text(), QStringLiteral("Bo"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!window_->findChild<dovrin::RecordDialog*>());
    }

    // A row patched in after a record is read from the block that holds its place, and so is
    // every other row, when the table was loaded in several blocks.
    void patchedRowsAcrossBlocks() {
        const auto packed = [](std::string_view id) {
            std::string block;
            dovrin::packFields(block, std::array{id});
            return block;
        };
        dovrin::SourcesModel model;
        model.setInventory(std::make_shared<dovrin::InventoryTexts>(),
                           std::make_shared<dovrin::InventoryResults>());
        for (const auto& ids : {std::array{"a", "b"}, std::array{"c", "d"}, std::array{"e", "f"}}) {
            dovrin::LoadedBatch batch; // a block of one row, then a block of the next
            for (const char* id : ids) {
                batch.rows.push_back({0, 0});
                batch.blocks.push_back(packed(id));
                batch.blockRows.push_back(1);
                batch.results.emplace_back();
            }
            model.append(batch);
        }
        model.insertSourceRow(4, packed("d2"), {}, {}); // the first row of the last block's place
        model.removeSourceRow(0);                       // the first block's first row
        model.replaceSourceRow(2, packed("D"), {}, {});
        model.insertSourceRow(0, packed("0"), {}, {});
        QStringList shown;
        for (std::size_t row = 0; row < model.texts()->rows.size(); ++row)
            shown << dovrin::fromBytes(model.texts()->fields(row)[0]);
        QCOMPARE(shown, (QStringList{"0", "b", "c", "D", "d2", "e", "f"}));
    }

    // A correction's form shows the fields of the event it names, as they stand, and no other.
    void correctionShowsItsEvent() {
        openRegister();
        dovrin::RecordDialog* dialog = openDialog(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
        QVERIFY(dialog);
        auto* activity = dialog->findChild<QLineEdit*>("field_activity");
        QVERIFY(!activity->isVisible());
        QTest::keyClicks(dialog->findChild<QLineEdit*>("eventBox"), "1");
        QTRY_VERIFY(activity->isVisible());
        QCOMPARE(activity->text(), QStringLiteral("0.15"));
        QVERIFY(!dialog->findChild<QLineEdit*>("field_outcome")->isVisible());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!window_->findChild<dovrin::RecordDialog*>());
    }

    // Two windows on one register each record an event; each sees the other's once it reads
    // the register again (F5).
    void twoWindowsSeeEachOther() {
        openRegister();
        const auto other = openOther(path_);
        QVERIFY(other);
        QSignalSpy recorded(window_.get(), &dovrin::RegisterWindow::eventRecorded);
        QSignalSpy otherRecorded(other.get(), &dovrin::RegisterWindow::eventRecorded);
        dovrin::RecordDialog* dialog = openDialog(QKeySequence(Qt::CTRL | Qt::Key_M));
        QVERIFY(dialog && typeAndRecord(*dialog, {"field_location=Store", "byBox=Bo"}));
        QTRY_COMPARE(recorded.count(), 1);
        dialog = openDialog(QKeySequence(Qt::CTRL | Qt::Key_L), other.get());
        QVERIFY(dialog && typeAndRecord(*dialog, {"field_outcome=pass", "byBox=Cy"}));
        QTRY_COMPARE(otherRecorded.count(), 1);
        QTRY_VERIFY(!window_->loading() && !other->loading());
        // The other window read the whole register again, the first window's move came first.
        QCOMPARE(shown(*other, dovrin::Column::location), QStringLiteral("Store"));
        QCOMPARE(shown(*window_, dovrin::Column::lastLeakTest), QString()); // not read yet
        for (dovrin::RegisterWindow* window : {window_.get(), other.get()}) {
            QSignalSpy loaded(window, &dovrin::RegisterWindow::inventoryLoaded);
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window));
            QTest::keySequence(window, QKeySequence(Qt::Key_F5));
            QTRY_COMPARE(loaded.count(), 1);
            QCOMPARE(shown(*window, dovrin::Column::location), QStringLiteral("Store"));
            QCOMPARE(shown(*window, dovrin::Column::lastLeakTest), QStringLiteral("2026-12-07"));
        }
    }

    // A record that waits for another writer to finish keeps the window answering, and lands
    // once the other is done.
    void recordWaitsForAnotherWriter() {
        openRegister();
        const dovrin::store::Opening other =
            dovrin::store::openStore(path_.toStdString(), dovrin::store::Access::write);
        QVERIFY(other.store);
        auto writing = other.store->beginWrite(dovrin::universalTime(midnight));
        QVERIFY(writing);
        QSignalSpy recorded(window_.get(), &dovrin::RegisterWindow::eventRecorded);
        dovrin::RecordDialog* dialog = openDialog(QKeySequence(Qt::CTRL | Qt::Key_M));
        QVERIFY(dialog && typeAndRecord(*dialog, {"field_location=Store", "byBox=Bo"}));
        QTRY_VERIFY(dialog->busy());
        QCOMPARE(recorded.count(), 0);
        writing.reset(); // the other writer is done
        QTRY_COMPARE(recorded.count(), 1);
        QCOMPARE(history(path_).last()[hKind], QStringLiteral("move"));
    }

    // An event another window made wrong after this one read the register is refused, naming
    // what the other recorded; the dialog stays open with what was typed, nothing recorded.
    void raceLost_data() {
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QStringList>("typed"); // the same in both windows
        QTest::addColumn<QString>("problem");   // the label beside the field, or the form's
        QTest::newRow("disposed meanwhile")
            << QKeySequence(Qt::CTRL | Qt::Key_D)
            << QStringList{"field_method=returned", "byBox=Bo"} << QString("wholeProblem");
        QTest::newRow("moved there meanwhile")
            << QKeySequence(Qt::CTRL | Qt::Key_M) << QStringList{"field_location=Store", "byBox=Bo"}
            << QString("problem_location");
    }
    void raceLost() {
        QFETCH(QKeySequence, keys);
        QFETCH(QStringList, typed);
        QFETCH(QString, problem);
        openRegister();
        const auto other = openOther(path_);
        QVERIFY(other);
        QSignalSpy recorded(window_.get(), &dovrin::RegisterWindow::eventRecorded);
        dovrin::RecordDialog* dialog = openDialog(keys);
        QVERIFY(dialog && typeAndRecord(*dialog, typed));
        QTRY_COMPARE(recorded.count(), 1);
        dialog = openDialog(keys, other.get());
        QVERIFY(dialog && typeAndRecord(*dialog, typed));
        auto* whole = dialog->findChild<QLabel*>(QStringLiteral("wholeProblem"));
        QTRY_VERIFY(whole->text().contains(u"another writer recorded event 2"));
        QVERIFY(!dialog->findChild<QLabel*>(problem)->text().isEmpty());
        QVERIFY(dialog->isVisible());
        const QString first = typed.first();
        QCOMPARE(dialog->findChild<QLineEdit*>(first.section(u'=', 0, 0))->text(),
                 first.section(u'=', 1));
        QCOMPARE(history(path_).size(), 2);
    }

    // The import's plan is the command line's, row for row; Commit asks the conflicts' reason
    // and records them.
    void importShowsThePlan() {
        openRegister();
        const QString inventory = writeFile(folder_, QStringLiteral("inventory.csv"),
                                            "id,location,radionuclide,activity,unit\n"
                                            "A,Lab 2,Co-60,0.2,TBq\n"
                                            "B,Lab 1,Cs-137,2,GBq\n");
        const QByteArray plan =
            command({"import", path_, inventory, "--on", "2026-12-07", "--by", "Bo"});
        window_->importInventory(inventory);
        dovrin::ImportDialog* dialog = nullptr;
        QTRY_VERIFY((dialog = window_->findChild<dovrin::ImportDialog*>()) && !dialog->busy());
        QVERIFY2(dialog->planned(), qPrintable(dialog->refusal()));
        QCOMPARE(rowTexts(*dialog->table()->model()),
                 QString::fromUtf8(plan).trimmed().split(u'\n').mid(1));
        QCOMPARE(dialog->conflicts(), 1);
        auto* by = dialog->findChild<QLineEdit*>(QStringLiteral("importByBox"));
        QTest::keyClicks(by, QStringLiteral("Bo"));
        QTest::keyClick(by, Qt::Key_Return);
        QTRY_VERIFY(!dialog->findChild<QLabel*>(QStringLiteral("importProblem"))->text().isEmpty());
        QCOMPARE(history(path_).size(), 1); // no reason: nothing recorded
        QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("importReasonBox")),
                         QStringLiteral("certificate"));
        QTest::keyClick(by, Qt::Key_Return);
        auto* table = window_->findChild<QTableView*>(QStringLiteral("sourcesView"));
        QTRY_VERIFY(!window_->loading() && table->model()->rowCount() == 2);
        QStringList kinds;
        for (const QStringList& event : history(path_))
            kinds << event[hKind];
        QCOMPARE(kinds, (QStringList{"receive", "move", "correct", "receive"}));
    }

    // An import asks who records it before planning; a plan another writer made stale before
    // Commit records nothing, says so, and is made again for Commit to record.
    void importPlanGoneStale() {
        QSettings().remove(QStringLiteral("registerWindow/recordedBy"));
        openRegister();
        const QString inventory = writeFile(folder_, QStringLiteral("stale.csv"),
                                            "id,location,radionuclide,activity,unit\n"
                                            "B,Lab 1,Cs-137,2,GBq\n");
        window_->importInventory(inventory);
        dovrin::ImportDialog* dialog = nullptr;
        QTRY_VERIFY((dialog = window_->findChild<dovrin::ImportDialog*>()) && dialog->isVisible());
        QVERIFY(!dialog->planned());
        auto* by = dialog->findChild<QLineEdit*>(QStringLiteral("importByBox"));
        QTest::keyClicks(by, QStringLiteral("Bo"));
        QTest::keyClick(by, Qt::Key_Return);
        QTRY_VERIFY(dialog->planned());
        int status = 0;
        command({"record", path_, "move", "--source", "A", "--on", "2026-12-07", "--by", "Cy",
                 "--location", "Store"},
                &status);
        QCOMPARE(status, 0);
        QTest::keyClick(by, Qt::Key_Return);
        QTRY_VERIFY(dialog->refusal().contains(u"recorded after the plan was made"));
        QTRY_VERIFY(dialog->planned());
        QCOMPARE(history(path_).size(), 2); // nothing of the import
        QTest::keyClick(by, Qt::Key_Return);
        QTRY_COMPARE(history(path_).size(), 3);
        QCOMPARE(history(path_).last()[hId], QStringLiteral("B"));
    }

    // A report of a register says which moment it was recorded at and names the register's
    // last event then, on every page; a moment before an event leaves that event out.
    void reportNamesTheRegister() {
        openRegister();
        int status = 0;
        command({"record", path_, "move", "--source", "A", "--by", "Cy", "--on", "2026-12-07",
                 "--location", "Store"},
                &status, midnight + std::chrono::hours(1));
        QCOMPARE(status, 0);
        auto* knownAt = window_->findChild<QLineEdit*>(QStringLiteral("knownAtBox"));
        QSignalSpy loaded(window_.get(), &dovrin::RegisterWindow::inventoryLoaded);
        QTest::keyClicks(knownAt, QStringLiteral("2026-12-07T00:30"));
        QTest::keyClick(knownAt, Qt::Key_Return);
        QTRY_COMPARE(loaded.count(), 1);
        auto* sources = window_->findChild<dovrin::SourcesModel*>();
        const dovrin::Report report = dovrin::makeReport(*sources, path_, midnight);
        QVERIFY2(report.madeBy.contains(u"register: last event 1, hash "),
                 qPrintable(report.madeBy));
        QVERIFY(report.running.contains(u", as recorded on 2026-12-0"));
        QVERIFY(window_->windowTitle().contains(u"as of 2026-12-07, as recorded 2026-12-0"));
        // The source is where it was then, not where it was moved after.
        const auto& texts = *sources->texts();
        QCOMPARE(texts.fields(0)[*texts.columns[dovrin::Column::location]], "Lab 1");
    }

    // The annual inventory lists the sources held on 31 December: one disposed before it is
    // gone, one disposed after it is there; every page names the register's last event.
    void annualInventory() {
        using namespace std::chrono;
        openRegister();
        int status = 0;
        for (const QStringList& words :
             {QStringList{"receive", "--source", "B", "--on", "2020-02-01", "--radionuclide",
                          "Cs-137", "--activity", "2", "--unit", "GBq", "--location", "Lab 2"},
              QStringList{"dispose", "--source", "A", "--on", "2025-06-01", "--method", "return"},
              QStringList{"dispose", "--source", "B", "--on", "2026-01-10", "--method",
                          "return"}}) {
            command(QStringList{"record", path_} + words + QStringList{"--by", "Cy"}, &status);
            QCOMPARE(status, 0);
        }
        const QString pdf = folder_.filePath(QStringLiteral("annual.pdf"));
        QSignalSpy exported(window_.get(), &dovrin::RegisterWindow::exported);
        window_->exportAnnualInventory(2025, pdf);
        QTRY_COMPARE(exported.count(), 1);
        QVERIFY(exported.first().at(1).toBool());
        const QString text = pdfText(pdf);
        QVERIFY2(text.contains(u"Annual inventory 2025"), qPrintable(text));
        QVERIFY(text.contains(u"Lab 2") && !text.contains(u"Lab 1"));
        const QStringList pages = text.split(u'\f', Qt::SkipEmptyParts);
        QVERIFY(!pages.isEmpty());
        for (const QString& page : pages)
            QVERIFY2(page.contains(u"register: last event 4, hash "), qPrintable(page));

        // The transactions of 2025: A's disposal, not B's of 2026; B's record holds both its
        // events.
        window_->exportTransactions(2025y / January / 1, 2025y / December / 31, pdf);
        QTRY_COMPARE(exported.count(), 2);
        const QString transactions = pdfText(pdf);
        QVERIFY2(transactions.contains(QRegularExpression(u"2025-06-01 +A +dispose"_qs)),
                 qPrintable(transactions));
        QVERIFY(!transactions.contains(u"2026-01-10"));
        window_->exportSourceRecord("B", pdf);
        QTRY_COMPARE(exported.count(), 3);
        const QString record = pdfText(pdf);
        QVERIFY2(record.contains(u"2020-02-01") && record.contains(u"2026-01-10") &&
                     record.contains(u"register: last event 4, hash "),
                 qPrintable(record));
    }

    // A report of many pages, at A4 and at Letter: no table row is cut by a page's end, and no
    // heading is the last thing on its page.
    void reportPagesKeepRowsWhole_data() {
        QTest::addColumn<int>("report");
        QTest::addColumn<int>("paper");
        for (const auto& [paper, name] :
             {std::pair{QPageSize::A4, "A4"}, {QPageSize::Letter, "Letter"}})
            for (const auto& [report, kind] : {std::pair{0, "today's"},
                                               {1, "annual"},
                                               {2, "transactions"},
                                               {3, "source record"}})
                QTest::addRow("%s, %s", kind, name) << report << int(paper);
    }
    void reportPagesKeepRowsWhole() {
        QFETCH(int, report);
        QFETCH(int, paper);
        using namespace std::chrono;
        openRegister();
        const QString inventory =
            writeFile(folder_, QStringLiteral("long.csv"), generatedInventory(150));
        int status = 0;
        command({"import", path_, inventory, "--on", "2021-01-01", "--by", "Ann", "--commit"},
                &status);
        QCOMPARE(status, 0);
        for (int month = 1; month <= 12; ++month)
            for (const int day : {3, 10, 17, 28}) {
                command({"record", path_, "leak-test", "--source", "A", "--on",
                         QStringLiteral("2022-%1-%2")
                             .arg(month, 2, 10, QChar(u'0'))
                             .arg(day, 2, 10, QChar(u'0')),
                         "--outcome", "pass", "--tester", "Lab of the east wing", "--by", "Ann"},
                        &status);
                QCOMPARE(status, 0);
            }
        QSignalSpy loaded(window_.get(), &dovrin::RegisterWindow::inventoryLoaded);
        window_->reload();
        QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 1, 60000);
        QString error;
        const std::string file = QFile::encodeName(path_).toStdString();
        const auto* sources = window_->findChild<dovrin::SourcesModel*>();
        const std::optional<dovrin::Report> made =
            report == 0   ? dovrin::makeReport(*sources, path_, midnight)
            : report == 1 ? dovrin::makeAnnualInventory(*sources, path_, midnight, 2025)
            : report == 2 ? dovrin::makeTransactionsReport(file, 2020y / 1 / 1, 2026y / 12 / 31,
                                                           std::nullopt, midnight, error)
                          : dovrin::makeSourceRecord(file, "A", std::nullopt, midnight, error);
        QVERIFY2(made, qPrintable(error));

        QBuffer pdf;
        pdf.open(QIODevice::WriteOnly);
        QPdfWriter writer(&pdf);
        dovrin::setReportPage(writer, QPageSize(QPageSize::PageSizeId(paper)));
        const dovrin::LaidOutReport laidOut = dovrin::layOutReport(*made, writer);
        const auto& pages = laidOut.pages;
        QVERIFY(pages.size() > 1);
        // The page that holds all of a part of the text, or -1.
        const auto pageOf = [&pages](QRectF part) {
            const auto page = std::ranges::find_if(pages, [&](const dovrin::PageSlice& slice) {
                return slice.top <= part.top() && part.bottom() <= slice.bottom;
            });
            return page == pages.end() ? -1 : int(page - pages.begin());
        };
        const QTextDocument& document = *laidOut.document;
        const QAbstractTextDocumentLayout& layout = *document.documentLayout();
        const auto rowRect = [&layout](const QTextTable& table, int row) {
            QRectF rect;
            for (int column = 0; column < table.columns(); ++column) {
                const QTextTableCell cell = table.cellAt(row, column);
                for (auto block = cell.firstCursorPosition().block();
                     block.position() <= cell.lastCursorPosition().position(); block = block.next())
                    rect |= layout.blockBoundingRect(block);
            }
            return rect;
        };
        // What follows a heading: the first line of a block, or a table's first row after its
        // header rows.
        const auto firstOf = [&](QTextFrame::iterator item) {
            if (const auto* table = qobject_cast<QTextTable*>(item.currentFrame()))
                return rowRect(*table,
                               std::min(table->format().headerRowCount(), table->rows() - 1));
            const QRectF block = layout.blockBoundingRect(item.currentBlock());
            return QRectF(block.topLeft(),
                          QSizeF(block.width(), item.currentBlock().layout()->lineAt(0).height()));
        };
        int rows = 0, headings = 0;
        for (auto item = document.rootFrame()->begin(); !item.atEnd(); ++item) {
            if (const auto* table = qobject_cast<QTextTable*>(item.currentFrame())) {
                for (int row = 0; row < table->rows(); ++row, ++rows)
                    QVERIFY2(pageOf(rowRect(*table, row)) >= 0,
                             qPrintable(QStringLiteral("row %1 of a table is cut").arg(row)));
                continue;
            }
            const QTextBlock heading = item.currentBlock();
            if (heading.blockFormat().headingLevel() == 0)
                continue;
            ++headings;
            auto next = item;
            do
                ++next;
            while (!next.atEnd() && !next.currentFrame() && next.currentBlock().length() <= 1);
            QVERIFY2(next.atEnd() || pageOf(layout.blockBoundingRect(heading) | firstOf(next)) >= 0,
                     qPrintable(heading.text() + QStringLiteral(" stands alone at a page's foot")));
        }
        QVERIFY(rows > 40 && headings > 0);
    }

    // Each of the register's reports prints from File > Print for the Regulator: the print
    // dialog opens once the report is made, and cancelling it prints nothing.
    void printRegisterReport_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("annual inventory") << QStringLiteral("printAnnualAction");
        QTest::newRow("transactions") << QStringLiteral("printTransactionsAction");
        QTest::newRow("source record") << QStringLiteral("printSourceRecordAction");
    }
    void printRegisterReport() {
        QFETCH(QString, action);
        openRegister();
        DialogAnswerer answerer; // the year of the annual inventory as proposed
        QStringList shown;
        answerer.answer = [&shown](QDialog& dialog) {
            shown << dialog.objectName();
            qobject_cast<QInputDialog*>(&dialog) ? dialog.accept() : dialog.reject();
        };
        QSignalSpy exported(window_.get(), &dovrin::RegisterWindow::exported);
        auto* print = window_->findChild<QAction*>(action);
        QVERIFY(print && print->isEnabled());
        print->trigger();
        QTRY_COMPARE(exported.count(), 1);
        QCOMPARE(exported.first(), (QVariantList{QString(), false}));
        QVERIFY2(shown.endsWith(QStringLiteral("printDialog")), qPrintable(shown.join(u',')));
    }

    // The History pane's rows are history's, a voided event struck through.
    void historyPaneShowsHistory() {
        openRegister();
        int status = 0;
        for (const QStringList& words :
             {QStringList{"move", "--location", "Store", "--on", "2021-02-03"},
              QStringList{"correct", "--event", "1", "--activity", "0.16", "--on", "2021-03-01",
                          "--reason", "certificate misread"},
              QStringList{"void", "--event", "2", "--on", "2021-03-02", "--reason",
                          "never moved"}}) {
            command(QStringList{"record", path_, words.front(), "--source", "A", "--by", "Cy"} +
                        words.mid(1),
                    &status);
            QCOMPARE(status, 0);
        }
        QTest::keySequence(window_.get(), QKeySequence(Qt::Key_F5));
        QTRY_VERIFY(!window_->loading());
        QTest::keySequence(window_.get(), QKeySequence(Qt::CTRL | Qt::Key_H));
        auto* pane = window_->findChild<QTableWidget*>(QStringLiteral("historyTable"));
        const QList<QStringList> rows = history(path_);
        QTRY_COMPARE(pane->rowCount(), rows.size());
        for (int row = 0; row < pane->rowCount(); ++row) {
            const auto cell = [&](int column) { return pane->item(row, column)->text(); };
            QCOMPARE(cell(0), rows[row][hSeq]);
            QCOMPARE(cell(1), rows[row][hOn]);
            QCOMPARE(cell(2), rows[row][hRecordedAt]);
            QCOMPARE(cell(3), rows[row][hBy]);
            QCOMPARE(cell(4), rows[row][hKind]);
            QCOMPARE(cell(7), rows[row][hReason]);
        }
        QVERIFY(pane->item(1, 0)->font().strikeOut()); // the move voided
        QVERIFY(!pane->item(0, 0)->font().strikeOut());
        QCOMPARE(pane->item(2, 6)->text(), QStringLiteral("activity=0.15")); // a correction's old

        // The Changes view between two days: the move and the correction, not the void after.
        QTest::keySequence(window_.get(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H));
        dovrin::ChangesView* changes = nullptr;
        QTRY_VERIFY((changes = window_->findChild<dovrin::ChangesView*>()) != nullptr);
        using namespace std::chrono;
        changes->setDays(2021y / February / 1, 2021y / March / 1);
        QTRY_COMPARE(changes->table()->rowCount(), 2);
        QCOMPARE(changes->table()->item(0, dovrin::ChangesView::kind)->text(), "move");
        QCOMPARE(changes->table()->item(1, dovrin::ChangesView::kind)->text(), "correct");
    }
};

QTEST_MAIN(TestRegisterKeeping)
#include "tst_register_keeping.moc"
