// The register window on a holder's register in a registry, opened by its connection as File >
// Open Registry opens it: the connection is taken as it is, not as a file's path, and the
// holder's sources are shown as a register file's would be.

#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "register_window_under_test.h"

class TestRegistryWindow : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;

private slots:
    void initTestCase() { testing::isolateSettings(folder_); }

    void opensAHoldersRegister() {
        dovrin::RegisterWindow window([] { return testing::midnight; });
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(testing::openAndWait(window, QStringLiteral(DOVRIN_REGISTRY)));
        auto* sources = window.findChild<QTableView*>(QStringLiteral("sourcesView"));
        QCOMPARE(sources->model()->rowCount(), 1);
        QCOMPARE(sources->model()->index(0, 0).data().toString(), QStringLiteral("G-1"));
        QVERIFY(window.windowTitle().startsWith(QStringLiteral("postgresql:///window_case")));
    }
};

QTEST_MAIN(TestRegistryWindow)
#include "tst_registry_window.moc"
