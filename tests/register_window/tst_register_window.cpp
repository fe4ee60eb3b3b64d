// The register window on real widgets: opening inventories, sorting and filtering the sources,
// the as-of date, the window staying responsive while a large file loads, its texts whole at
// its default size, and its layout kept between runs.

#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QStyleOptionHeader>
#include <QTabWidget>
#include <QTextDocument>

#include "charts.h"
#include "locations_model.h"
#include "register_window_under_test.h"

using namespace testing;

namespace {

// Five sources at three locations; C is an error row. At 2026-12-07 A is category 2 by A/D
// (0.35 TBq of Co-60), E is 3 (Am-241/Be, not decayed), B and D are 4.
const QByteArray smallInventory = "id,location,radionuclide,activity,unit,manufactured\n"
                                  "A,Lab 1,Co-60,0.35,TBq,2026-12-07\n"
                                  "B,Lab 1,Cs-137,50,GBq,2020-01-01\n"
                                  "C,Lab 2,Cobalt,1,TBq,2020-01-01\n"
                                  "D,Lab 2,Ir-192,10,Ci,2026-06-01\n"
                                  "E,Store,Am-241/Be,0.5,TBq,\n";

// Sources whose pictures span a year, ten years of a short half-life, centuries, and none, at
// locations with long names.
const QByteArray longInventory =
    "id,location,radionuclide,activity,unit,manufactured\n"
    "Y,St Brigid's Hospital nuclear medicine and radiotherapy store,Ir-192,100,Ci,2026-11-02\n"
    "T,Northline Inspection radiography van 3 (north depot),Ir-192,100,Ci,2016-01-01\n"
    "C,St Brigid's Hospital blood bank irradiator room,Cs-137,2500,Ci,2011-03-15\n"
    "F,Gauge store,Am-241/Be,40,mCi,\n";

// The texts of a chart's scene as they are drawn: each with the band its glyphs take in the
// view (from the top of the capitals to the foot of the descenders), the text it shows, the
// width its font needs for its longest line and the width it is given.
struct DrawnText {
    QRectF box;
    QString text;
    qreal needed = 0;
    qreal room = 0;
    bool visible = true;
};

QList<DrawnText> drawnTexts(const QChartView& view) {
    QList<DrawnText> texts;
    for (QGraphicsItem* item : view.scene()->items()) {
        DrawnText drawn;
        QFont font;
        qreal margin = 0;
        if (auto* rich = dynamic_cast<QGraphicsTextItem*>(item)) {
            drawn.text = rich->toPlainText();
            font = rich->font();
            margin = rich->document()->documentMargin();
        } else if (auto* simple = dynamic_cast<QGraphicsSimpleTextItem*>(item)) {
            drawn.text = simple->text();
            font = simple->font();
        } else {
            continue;
        }
        if (drawn.text.isEmpty())
            continue;
        const QFontMetricsF metrics(font);
        const QStringList lines =
            drawn.text.replace(QChar::LineSeparator, u'\n').split(u'\n'); // a <br> reads as \n
        for (const QString& line : lines)
            drawn.needed = std::max(drawn.needed, metrics.horizontalAdvance(line));
        drawn.room = item->boundingRect().width() - 2 * margin;
        drawn.visible = item->isVisible();
        const QRectF whole = item->sceneBoundingRect().adjusted(margin, margin, -margin, -margin);
        drawn.box = item->rotation() != 0 // an axis' title, read upwards
                        ? whole
                        : QRectF(whole.left(), whole.top() + metrics.ascent() - metrics.capHeight(),
                                 whole.width(),
                                 metrics.lineSpacing() * static_cast<qreal>(lines.size() - 1) +
                                     metrics.capHeight() + metrics.descent());
        texts << drawn;
    }
    return texts;
}

// What is wrong with a chart's texts, or nothing when they are all drawn whole: none is elided
// or hidden, each has the width its font needs, none covers another, and all lie within the
// picture.
QString misfitText(const QChartView& view) {
    const QList<DrawnText> texts = drawnTexts(view);
    if (texts.size() <= 8)
        return QStringLiteral("only %1 texts drawn").arg(texts.size());
    const QRectF picture = view.sceneRect();
    for (qsizetype one = 0; one < texts.size(); ++one) {
        const DrawnText& text = texts[one];
        const QString what =
            QStringLiteral("\"%1\" at %2,%3").arg(text.text).arg(text.box.x()).arg(text.box.y());
        if (!text.visible)
            return what + QStringLiteral(" is hidden");
        if (text.text.endsWith(QStringLiteral("...")))
            return what + QStringLiteral(" is elided");
        if (text.needed > text.room + 1)
            return what +
                   QStringLiteral(" needs %1 pixels, has %2").arg(text.needed).arg(text.room);
        if (!picture.contains(text.box))
            return what + QStringLiteral(" is cut");
        for (qsizetype other = one + 1; other < texts.size(); ++other)
            if (text.box.intersects(texts[other].box))
                return what + QStringLiteral(" covers \"%1\"").arg(texts[other].text);
    }
    return {};
}

} // namespace

class TestRegisterWindow : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;
    QString small_;
    std::unique_ptr<dovrin::RegisterWindow> window_;

    QTableView& sources() {
        return *window_->findChild<QTableView*>(QStringLiteral("sourcesView"));
    }
    QTableView& locations() {
        return *window_->findChild<QTableView*>(QStringLiteral("locationsView"));
    }
    QString counts() { return window_->findChild<QLabel*>(QStringLiteral("countsLabel"))->text(); }
    int column(const QString& heading) {
        for (int section = 0; section < sources().model()->columnCount(); ++section)
            if (sources()
                    .model()
                    ->headerData(section, Qt::Horizontal)
                    .toString()
                    .replace(u'\n', u' ') == heading)
                return section;
        return -1;
    }
    bool openAndWait(const QString& path) { return testing::openAndWait(*window_, path); }

private slots:
    void initTestCase() {
        isolateSettings(folder_);
        small_ = writeFile(folder_, QStringLiteral("small.csv"), smallInventory);
    }
    void init() {
        window_ = std::make_unique<dovrin::RegisterWindow>([] { return midnight; });
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    void cleanup() { window_.reset(); }

    // Every row of a file that can be read is shown, its error rows counted and marked.
    void opening_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("errors");
        QTest::newRow("five sources") << smallInventory << 5 << 1;
        QTest::newRow("semicolons, CRLF, quotes")
            << QByteArray("radionuclide;activity;unit;note\r\nCo-60;\"1.5\";TBq;\"a;b\"\r\n") << 1
            << 0;
        QTest::newRow("short and long rows")
            << QByteArray("radionuclide,activity,unit\nCo-60,1\nCo-60,1,TBq,extra\nCo-60,1,TBq\n")
            << 3 << 2;
        QTest::newRow("header only") << QByteArray("radionuclide,activity,unit\n") << 0 << 0;
    }
    void opening() {
        QFETCH(QByteArray, text);
        QFETCH(int, rows);
        QFETCH(int, errors);
        QVERIFY(openAndWait(writeFile(folder_, QStringLiteral("opened.csv"), text)));
        QCOMPARE(sources().model()->rowCount(), rows);
        QCOMPARE(counts(), QStringLiteral("%1 sources, %2 with errors")
                               .arg(QLocale().toString(rows), QLocale().toString(errors)));
        int marked = 0;
        for (int row = 0; row < rows; ++row) {
            const QModelIndex cell = sources().model()->index(row, 0);
            if (cell.data(Qt::BackgroundRole).isValid()) {
                ++marked;
                QVERIFY(!cell.data(Qt::ToolTipRole).toString().isEmpty());
            }
        }
        QCOMPARE(marked, errors);
    }

    // A file that cannot be used says why in a real modal message box, and the window keeps
    // the inventory it showed.
    void unusableFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("no such file") << QStringLiteral("missing/none.csv") << QByteArray();
        QTest::newRow("empty file") << QStringLiteral("empty.csv") << QByteArray("");
    }
    void unusableFile() {
        QFETCH(QString, name);
        QFETCH(QByteArray, text);
        QVERIFY(openAndWait(small_));
        const QString path =
            name.contains(u'/') ? folder_.filePath(name) : writeFile(folder_, name, text);
        DialogAnswerer answerer;
        QSignalSpy failed(window_.get(), &dovrin::RegisterWindow::openFailed);
        window_->open(path);
        QVERIFY(failed.wait(10000));
        QTRY_COMPARE(answerer.messages.size(), 1);
        QVERIFY(answerer.messages.first().contains(QDir::toNativeSeparators(path)));
        QCOMPARE(window_->inventoryPath(), small_);
        QCOMPARE(sources().model()->rowCount(), 5);
    }

    // A header without the required columns asks which columns hold them, and the answer is
    // kept for the file.
    void columnsChosen() {
        const QString path = writeFile(folder_, QStringLiteral("elements.csv"),
                                       "Element,activity,unit\nCo-60,1,TBq\nCs-137,2,TBq\n");
        DialogAnswerer answerer;
        answerer.answer = [](QDialog& dialog) {
            auto* box = dialog.findChild<QComboBox*>(QStringLiteral("radionuclideColumnBox"));
            box->setCurrentIndex(box->findText(QStringLiteral("Element")));
            dialog.accept();
        };
        QVERIFY(openAndWait(path));
        QCOMPARE(sources().model()->rowCount(), 2);
        QCOMPARE(answerer.dialogs, 1);
        QVERIFY(openAndWait(path));
        QCOMPARE(answerer.dialogs, 1);
        QVERIFY(counts().endsWith(QStringLiteral(", 0 with errors")));
    }

    // An inventory as people write it: the header below a title, a blank and a totals row that
    // are no sources, counted as the command line's summary counts them; what the header lacks
    // is told where the counts stand.
    void rowsThatAreNoSources() {
        const QString path =
            writeFile(folder_, QStringLiteral("titled.csv"),
                      "Sealed sources,,\n\nIsotope,Activity (mCi),Room\nCo-60,5,A\n,,\n"
                      "Cs-137,1,B\nTotal,6,\n");
        QVERIFY(openAndWait(path));
        QCOMPARE(sources().model()->rowCount(), 2);
        QCOMPARE(counts(), QStringLiteral("2 sources, 0 with errors; header row 3; 1 blank rows "
                                          "skipped; 1 totals rows skipped"));
        // Each row numbered as the file has it, past the title and the blank row.
        QCOMPARE(sources().model()->headerData(0, Qt::Vertical).toString(), QStringLiteral("4"));
        QCOMPARE(sources().model()->headerData(1, Qt::Vertical).toString(), QStringLiteral("6"));
        QVERIFY(window_->findChild<QLabel*>(QStringLiteral("countsLabel"))
                    ->toolTip()
                    .contains(QStringLiteral(": nothing is decayed")));
    }

    // Opening stops cleanly: by Cancel, and by opening another file; no row of the stopped
    // file arrives afterwards.
    void cancelledLoad() {
        const QString large =
            writeFile(folder_, QStringLiteral("large.csv"), generatedInventory(400000));
        window_->open(large);
        QTRY_VERIFY_WITH_TIMEOUT(sources().model()->rowCount() > 0, 60000);
        QVERIFY(window_->loading());
        QTest::mouseClick(window_->findChild<QPushButton*>(QStringLiteral("cancelButton")),
                          Qt::LeftButton);
        QVERIFY(!window_->loading());
        QCOMPARE(sources().model()->rowCount(), 0);
        QVERIFY(counts().contains(QStringLiteral("cancelled")));
        // A row of the cancelled file arriving late would stand beside the next file's.
        QVERIFY(openAndWait(small_));
        QCOMPARE(sources().model()->rowCount(), 5);

        window_->open(large);
        QTRY_VERIFY_WITH_TIMEOUT(sources().model()->rowCount() > 0, 60000);
        QVERIFY(openAndWait(small_));
        QCOMPARE(sources().model()->rowCount(), 5);
        QCOMPARE(window_->inventoryPath(), small_);
    }

    // Cancel during a new as-of date keeps the sources at their date, and the date field with
    // them; the next date is worked out as usual.
    void cancelledNewDate() {
        QVERIFY(openAndWait(small_));
        const int current = column(QStringLiteral("Current category"));
        auto* asOfBox = window_->findChild<QDateEdit*>(QStringLiteral("asOfBox"));
        const QDate today = asOfBox->date();
        QSignalSpy reevaluated(window_.get(), &dovrin::RegisterWindow::inventoryReevaluated);
        asOfBox->setDate(today.addYears(3));
        QTest::mouseClick(window_->findChild<QPushButton*>(QStringLiteral("cancelButton")),
                          Qt::LeftButton);
        QCOMPARE(asOfBox->date(), today);
        QCOMPARE(sources().model()->index(0, current).data().toString(), QStringLiteral("2"));
        asOfBox->setDate(today.addYears(3));
        QVERIFY(reevaluated.wait(10000));
        QCOMPARE(reevaluated.count(), 1); // the cancelled date never lands
        QCOMPARE(sources().model()->index(0, current).data().toString(), QStringLiteral("3"));
    }

    // The event loop keeps turning while a large file is read: the window is never blocked.
    void neverBlocked() {
        const QString large =
            writeFile(folder_, QStringLiteral("large.csv"), generatedInventory(400000));
        int turns = 0;
        QTimer ticker;
        ticker.setInterval(0);
        connect(&ticker, &QTimer::timeout, [&] { ++turns; });
        int turnsWhileLoading = 0;
        connect(sources().model(), &QAbstractItemModel::rowsInserted,
                [&] { turnsWhileLoading = turns; });
        ticker.start();
        QVERIFY(openAndWait(large));
        QCOMPARE(sources().model()->rowCount(), 400000);
        QVERIFY2(turnsWhileLoading > 20, qPrintable(QString::number(turnsWhileLoading)));
    }

    // Every column sorts, numbers as numbers, error rows after the rest.
    void sorting_data() {
        QTest::addColumn<QString>("heading");
        QTest::addColumn<Qt::SortOrder>("order");
        QTest::addColumn<QStringList>("ids");
        QTest::newRow("text") << QStringLiteral("radionuclide") << Qt::AscendingOrder
                              << QStringList{"E", "A", "C", "B", "D"};
        QTest::newRow("activity as a number") << QStringLiteral("activity") << Qt::DescendingOrder
                                              << QStringList{"B", "D", "C", "E", "A"};
        QTest::newRow("A/D") << QStringLiteral("A/D") << Qt::AscendingOrder
                             << QStringList{"B", "D", "E", "A", "C"};
        QTest::newRow("category by A/D") << QStringLiteral("Category by A/D") << Qt::AscendingOrder
                                         << QStringList{"A", "E", "B", "D", "C"};
    }
    void sorting() {
        QFETCH(QString, heading);
        QFETCH(Qt::SortOrder, order);
        QFETCH(QStringList, ids);
        QVERIFY(openAndWait(small_));
        sources().sortByColumn(column(heading), order);
        QCOMPARE(shownColumn(sources(), column(QStringLiteral("id"))), ids);
    }

    // The filters by category, by text and by location, together.
    void filtering_data() {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("location");
        QTest::addColumn<QStringList>("ids");
        QTest::newRow("everything") << "All categories"
                                    << "" << -1 << QStringList{"A", "B", "C", "D", "E"};
        QTest::newRow("category 4") << "Category 4"
                                    << "" << -1 << QStringList{"B", "D"};
        QTest::newRow("errors") << "Errors"
                                << "" << -1 << QStringList{"C"};
        QTest::newRow("text, any case") << "All categories"
                                        << "lab" << -1 << QStringList{"A", "B", "C", "D"};
        QTest::newRow("text of a note") << "All categories"
                                        << "COBALT" << -1 << QStringList{"C"};
        QTest::newRow("location") << "All categories"
                                  << "" << 1 << QStringList{"C", "D"};
        QTest::newRow("location and category") << "Category 4"
                                               << "" << 0 << QStringList{"B"};
    }
    void filtering() {
        QFETCH(QString, category);
        QFETCH(QString, text);
        QFETCH(int, location);
        QFETCH(QStringList, ids);
        QVERIFY(openAndWait(small_));
        auto* categoryBox = window_->findChild<QComboBox*>(QStringLiteral("categoryBox"));
        categoryBox->setCurrentIndex(categoryBox->findText(category));
        auto* findBox = window_->findChild<QLineEdit*>(QStringLiteral("findBox"));
        findBox->setFocus();
        QTest::keyClicks(findBox, text);
        if (location >= 0)
            locations().selectRow(location);
        QCOMPARE(shownColumn(sources(), column(QStringLiteral("id"))), ids);
    }

    // The due filter counts from the as-of day 2026-12-07: a day before it is overdue; an exempt
    // source owes no leak test; any of the three duties counts.
    void dueFilter_data() {
        QTest::addColumn<QString>("due");
        QTest::addColumn<QStringList>("ids");
        QTest::newRow("all") << "All sources" << QStringList{"P", "Q", "R", "S"};
        QTest::newRow("overdue") << "Overdue" << QStringList{"P"};
        QTest::newRow("30 days") << "Due within 30 days" << QStringList{"P", "R"};
        QTest::newRow("90 days") << "Due within 90 days" << QStringList{"P", "R", "S"};
    }
    void dueFilter() {
        QFETCH(QString, due);
        QFETCH(QStringList, ids);
        const QString path = writeFile(
            folder_, QStringLiteral("due.csv"),
            "id,location,radionuclide,activity,unit,manufactured,last_leak_test,working_life\n"
            "P,Lab,Cs-137,1,TBq,2020-01-01,2026-06-06,\n"   // leak test due 2026-12-06
            "Q,Lab,Co-60,1,MBq,2020-01-01,2026-06-06,\n"    // exempt
            "R,Lab,Cs-137,1,TBq,2016-12-07,2026-12-01,10\n" // working life ends 2026-12-07
            "S,Lab,Cs-137,1,TBq,2020-01-01,2026-08-01,\n"); // leak test due 2027-02-01
        QVERIFY(openAndWait(path));
        auto* dueBox = window_->findChild<QComboBox*>(QStringLiteral("dueBox"));
        dueBox->setCurrentIndex(dueBox->findText(due));
        QCOMPARE(shownColumn(sources(), column(QStringLiteral("id"))), ids);
    }

    // The locations pane shows the US NRC's columns while its check box is ticked, which the
    // settings keep for the next window. Lab 1 holds a category 2 quantity: 0.35 TBq of Co-60 is
    // 1.17 times its category 2 threshold.
    void nrcColumns() {
        const int quantity = dovrin::LocationsModel::nrcQuantity;
        const auto box = [this] {
            return window_->findChild<QCheckBox*>(QStringLiteral("nrcBox"));
        };
        QVERIFY(openAndWait(small_));
        QVERIFY(!box()->isChecked());
        QVERIFY(locations().isColumnHidden(quantity));
        box()->click();
        QVERIFY(!locations().isColumnHidden(quantity));
        QCOMPARE(shownColumn(locations(), quantity), (QStringList{"2", "", ""}));

        window_ = std::make_unique<dovrin::RegisterWindow>([] { return midnight; });
        QVERIFY(openAndWait(small_));
        QVERIFY(box()->isChecked());
        QVERIFY(!locations().isColumnHidden(quantity));
        box()->click();
        QVERIFY(locations().isColumnHidden(quantity));
    }

    // A new as-of date works every source out again: Co-60 at 0.35 TBq is category 2 up to the
    // day before the one the register names as its next change, and 3 from that day on.
    void asOfDate_data() {
        QTest::addColumn<int>("daysFromChange");
        QTest::addColumn<QString>("category");
        QTest::newRow("a year before") << -365 << "2";
        QTest::newRow("the day before") << -1 << "2";
        QTest::newRow("the day of the change") << 0 << "3";
        QTest::newRow("a year after") << 365 << "3";
    }
    void asOfDate() {
        QFETCH(int, daysFromChange);
        QFETCH(QString, category);
        QVERIFY(openAndWait(small_));
        const int current = column(QStringLiteral("Current category"));
        QCOMPARE(sources().model()->index(0, current).data().toString(), QStringLiteral("2"));
        const QDate change = QDate::fromString(
            sources().model()->index(0, column(QStringLiteral("Next change on"))).data().toString(),
            Qt::ISODate);
        QVERIFY(change.isValid());
        QSignalSpy reevaluated(window_.get(), &dovrin::RegisterWindow::inventoryReevaluated);
        window_->findChild<QDateEdit*>(QStringLiteral("asOfBox"))
            ->setDate(change.addDays(daysFromChange));
        QVERIFY(reevaluated.wait(10000));
        QCOMPARE(sources().model()->index(0, current).data().toString(), category);
    }

    // The decay chart draws every radionuclide the register knows, under its table's name.
    void decayChart_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("title");
        QTest::newRow("the calculator's") << 0 << "Decay of Co-60";
        QTest::newRow("by A/D only") << 1 << "Decay of H-3";
        QTest::newRow("metastable, mass first") << 2 << "Decay of Tc-99m";
    }
    void decayChart() {
        QFETCH(int, row);
        QFETCH(QString, title);
        QVERIFY(openAndWait(writeFile(folder_, QStringLiteral("decay.csv"),
                                      "radionuclide,activity,unit,manufactured\n"
                                      "Co-60,1,TBq,2020-01-01\nH-3,1,TBq,2020-01-01\n"
                                      "99mTc,1,GBq,2026-12-06\n")));
        sources().selectRow(row);
        QCOMPARE(
            window_->findChild<QWidget*>(QStringLiteral("decayChart"))->accessibleDescription(),
            title);
    }

    // At the default size every heading of both tables fits its section, beside the room of
    // the sort mark, in the bold font of a header whose rows are selected.
    void headingsFit_data() {
        QTest::addColumn<QString>("table");
        QTest::newRow("sources") << QStringLiteral("sourcesView");
        QTest::newRow("locations") << QStringLiteral("locationsView");
    }
    void headingsFit() {
        QFETCH(QString, table);
        QVERIFY(openAndWait(writeFile(folder_, QStringLiteral("long.csv"), longInventory)));
        auto* view = window_->findChild<QTableView*>(table);
        QHeaderView* header = view->horizontalHeader();
        QFont bold = header->font();
        bold.setBold(true);
        const QFontMetrics metrics(bold);
        QVERIFY(view->model()->columnCount() > 0);
        for (int section = 0; section < view->model()->columnCount(); ++section) {
            if (header->isSectionHidden(section)) // the US NRC's, while its box is not ticked
                continue;
            const QString heading = view->model()->headerData(section, Qt::Horizontal).toString();
            int needed = 0;
            for (const QString& line : heading.split(u'\n'))
                needed = std::max(needed, metrics.horizontalAdvance(line));
            QStyleOptionHeader option;
            option.initFrom(header);
            option.state |= QStyle::State_Horizontal;
            option.rect = QRect(0, 0, header->sectionSize(section), header->height());
            option.sortIndicator = QStyleOptionHeader::SortDown;
            const int room =
                header->style()->subElementRect(QStyle::SE_HeaderLabel, &option, header).width();
            QVERIFY2(needed <= room,
                     qPrintable(
                         QStringLiteral("%1: %2 pixels in %3").arg(heading).arg(needed).arg(room)));
            QVERIFY(!view->model()
                         ->headerData(section, Qt::Horizontal, Qt::ToolTipRole)
                         .toString()
                         .isEmpty());
        }
    }

    // At the default size every text of the pictures is drawn whole: no label is elided or
    // hidden, each has the width its font needs, none covers another, and all lie within the
    // picture; over a year, ten years of a short half-life, centuries, a source that does not
    // decay, and the locations with long names.
    void chartTextsFit_data() {
        QTest::addColumn<QString>("id");
        QTest::newRow("a year") << QStringLiteral("Y");
        QTest::newRow("ten years of Ir-192") << QStringLiteral("T");
        QTest::newRow("centuries") << QStringLiteral("C");
        QTest::newRow("no decay") << QStringLiteral("F");
        QTest::newRow("locations") << QString();
    }
    void chartTextsFit() {
        QFETCH(QString, id);
        QVERIFY(openAndWait(writeFile(folder_, QStringLiteral("long.csv"), longInventory)));
        const int ids = column(QStringLiteral("id"));
        for (int row = 0; row < sources().model()->rowCount(); ++row)
            if (sources().model()->index(row, ids).data().toString() == id)
                sources().selectRow(row);
        auto* tabs = window_->findChild<QTabWidget*>(QStringLiteral("chartTabs"));
        tabs->setCurrentIndex(id.isEmpty() ? 1 : 0);
        auto* chart = qobject_cast<QChartView*>(tabs->currentWidget());
        // The picture is laid out, fitted to its room and perhaps drawn again in later turns of
        // the event loop, slower under the sanitizers: wait until its texts all fit.
        if (id.isEmpty()) // the locations' picture drawn again for its room: all four fit
            QTRY_COMPARE_WITH_TIMEOUT(chart->chart()->title(),
                                      QStringLiteral("Sum of A/D of each location"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(misfitText(*chart), QString(), 20000);
    }

    // A date axis is labelled at round dates, at the finest step whose labels fit six to the
    // room: not at dates spread evenly from the first moment drawn (2011, 2063, 2115).
    void roundDateTicks_data() {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QString>("labels");
        QTest::newRow("centuries")
            << QDate(2011, 3, 15) << QDate(2207, 1, 7) << QStringLiteral("2050 2100 2150 2200");
        QTest::newRow("ten years") << QDate(2016, 1, 1) << QDate(2027, 6, 1)
                                   << QStringLiteral("2016 2018 2020 2022 2024 2026");
        QTest::newRow("a year") << QDate(2026, 11, 2) << QDate(2028, 1, 1)
                                << QStringLiteral("Jan 2027|Apr 2027|Jul 2027|Oct 2027|Jan 2028");
        QTest::newRow("a month, no 31st beside the 1st")
            << QDate(2026, 12, 1) << QDate(2027, 1, 3)
            << QStringLiteral("2026-12-01 2026-12-11 2026-12-21 2027-01-01");
    }
    void roundDateTicks() {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QString, labels);
        const dovrin::DateTicks ticks =
            dovrin::dateTicks(from, to, 360, [](const QString&) { return 60.0; });
        QStringList texts;
        for (const QDate& date : ticks.dates)
            texts << date.toString(ticks.format);
        QCOMPARE(texts.join(labels.contains(u'|') ? u'|' : u' '), labels);
    }

    // The window opens at the size, the panes and the column widths it was closed with; the
    // columns the person did not touch fit their headings.
    void remembersLayout() {
        QSettings().clear();
        QVERIFY(openAndWait(small_));
        const int location = column(QStringLiteral("location"));
        window_->resize(1000, 700);
        auto* panes = window_->findChild<QSplitter*>(QStringLiteral("mainSplitter"));
        panes->setSizes({200, 400});
        const QList<int> paneSizes = panes->sizes();
        sources().horizontalHeader()->resizeSection(location, 333);
        window_->close();

        window_ = std::make_unique<dovrin::RegisterWindow>([] { return midnight; });
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        QVERIFY(openAndWait(small_));
        QCOMPARE(window_->size(), QSize(1000, 700));
        QCOMPARE(window_->findChild<QSplitter*>(QStringLiteral("mainSplitter"))->sizes(),
                 paneSizes);
        QCOMPARE(sources().columnWidth(location), 333);
        const int id = column(QStringLiteral("id"));
        QCOMPARE(sources().columnWidth(id), sources().horizontalHeader()->sectionSizeHint(id));
        QSettings().clear();
    }
};

QTEST_MAIN(TestRegisterWindow)
#include "tst_register_window.moc"
