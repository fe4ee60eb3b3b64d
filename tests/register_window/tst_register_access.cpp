// The ways into the register window and what it says beyond colour: Tab through every control,
// each with a name for screen readers; a dropped file and a recent file open; every coloured
// category also written; the mark on a location that aggregation raises.

#include <QDateEdit>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>

#include "locations_model.h"
#include "register_window_under_test.h"

using namespace testing;

namespace {

// Lab 1 keeps two Co-60 sources of category 3 by A/D (5 and 6) whose sum is 11, category 2.
const QByteArray inventory = "id,location,radionuclide,activity,unit\n"
                             "A,Lab 1,Co-60,0.15,TBq\n"
                             "B,Lab 1,Co-60,0.18,TBq\n"
                             "C,Lab 2,Co-60,0.5,TBq\n"
                             "D,Lab 3,Cs-137,1,GBq\n"
                             "E,Lab 3,Cobalt,1,GBq\n";

} // namespace

class TestRegisterAccess : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;
    QString path_;
    std::unique_ptr<dovrin::RegisterWindow> window_;

    QTableView& table(const char* name) {
        return *window_->findChild<QTableView*>(QString::fromLatin1(name));
    }
    bool loaded(const std::function<void()>& open) {
        QSignalSpy done(window_.get(), &dovrin::RegisterWindow::inventoryLoaded);
        open();
        return done.wait(20000);
    }

private slots:
    void initTestCase() {
        isolateSettings(folder_);
        path_ = writeFile(folder_, QStringLiteral("access.csv"), inventory);
    }
    void init() {
        window_ = std::make_unique<dovrin::RegisterWindow>([] { return midnight; });
        window_->show();
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }
    void cleanup() { window_.reset(); }

    // Tab visits both tables, and every control it visits has a name for screen readers.
    void tabReachesEverything() {
        QVERIFY(loaded([&] { window_->open(path_); }));
        auto* start = window_->findChild<QDateEdit*>(QStringLiteral("asOfBox"));
        start->setFocus();
        QSet<QString> visited;
        for (int press = 0; press < 20; ++press) {
            QWidget* focus = QApplication::focusWidget();
            QVERIFY(focus);
            while (focus->accessibleName().isEmpty() && focus->parentWidget() &&
                   focus->parentWidget()->focusProxy() == focus)
                focus = focus->parentWidget();
            QVERIFY2(!focus->accessibleName().isEmpty(),
                     qPrintable(QString::fromLatin1(focus->metaObject()->className())));
            visited << focus->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QVERIFY(visited.contains(QStringLiteral("sourcesView")));
        QVERIFY(visited.contains(QStringLiteral("locationsView")));
    }

    // A file dropped on the window opens, and so does one picked from File > Open Recent, the
    // latest first.
    void dropAndRecent() {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path_)});
        QVERIFY(loaded([&] {
            QDragEnterEvent enter({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(window_.get(), &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent drop({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(window_.get(), &drop);
        }));
        QCOMPARE(window_->inventoryPath(), path_);
        const QString other = writeFile(folder_, QStringLiteral("other.csv"), inventory);
        QVERIFY(loaded([&] { window_->open(other); }));

        auto* recent = window_->findChild<QMenu*>(QStringLiteral("recentMenu"));
        emit recent->aboutToShow();
        QCOMPARE(recent->actions().size(), 2);
        QCOMPARE(recent->actions().at(0)->text(), QDir::toNativeSeparators(other));
        QVERIFY(loaded([&] { recent->actions().at(1)->trigger(); }));
        QCOMPARE(window_->inventoryPath(), path_);
    }

    // Every category cell that has a colour says its category in text too.
    void neverColourAlone() {
        QVERIFY(loaded([&] { window_->open(path_); }));
        for (const char* name : {"sourcesView", "locationsView"}) {
            QAbstractItemModel& model = *table(name).model();
            int coloured = 0;
            for (int row = 0; row < model.rowCount(); ++row)
                for (int column = 0; column < model.columnCount(); ++column) {
                    const QModelIndex cell = model.index(row, column);
                    if (!cell.data(Qt::BackgroundRole).isValid())
                        continue;
                    ++coloured;
                    QVERIFY2(!cell.data().toString().isEmpty() ||
                                 !cell.data(Qt::ToolTipRole).toString().isEmpty(),
                             name);
                }
            QVERIFY(coloured > 0);
        }
    }

    // The location that aggregation raises above all of its sources is marked, and only it.
    void raisedLocationMarked() {
        QVERIFY(loaded([&] { window_->open(path_); }));
        using Column = dovrin::LocationsModel::LocationColumn;
        QAbstractItemModel& model = *table("locationsView").model();
        QStringList raised;
        for (int row = 0; row < model.rowCount(); ++row)
            if (!model.index(row, Column::raised).data().toString().isEmpty())
                raised << model.index(row, Column::name).data().toString();
        QCOMPARE(raised, QStringList{QStringLiteral("Lab 1")});
        QCOMPARE(model.index(0, Column::category).data().toString(), QStringLiteral("2"));
        QCOMPARE(model.index(0, Column::mostSevere).data().toString(), QStringLiteral("3"));
        QCOMPARE(model.index(2, Column::withErrors).data().toString(),
                 QStringLiteral("1")); // Cobalt left out
    }
};

QTEST_MAIN(TestRegisterAccess)
#include "tst_register_access.moc"
