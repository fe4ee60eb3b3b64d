#include <QTest>

#include "source.h"

class TestSource : public QObject {
    Q_OBJECT

private slots:
    void placeholder() {}
};

QTEST_APPLESS_MAIN(TestSource)
#include "tst_source.moc"
