// The register window of the opening benchmark (bench/register_window.sh), opened as the program
// opens it. With a file: once the empty window has shown its first frame, asks to open the file
// and prints the microseconds from that moment to the first frame of the table with rows, and
// to every row loaded, then quits. Without one: quits after the empty window's first frame.

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <QAbstractItemModel>
#include <QApplication>
#include <QDateEdit>
#include <QDialog>
#include <QElapsedTimer>
#include <QTableView>
#include <QTimer>

#include "register_window.h"
#include "run.h"

namespace {

// Calls done once, right after the widget's next frame is painted and flushed.
class AfterNextFrame : public QObject {
public:
    AfterNextFrame(QWidget& widget, std::function<void()> done)
        : QObject(&widget)
        , done_(std::move(done)) {
        widget.installEventFilter(this);
        widget.update();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, [done = done_] { done(); });
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> done_;
};

// Accepts every dialog once it is shown: the questions an inventory may ask before it opens
// are answered with what the dialog proposes, and the answer is remembered for the next run.
class DialogAccepter : public QObject {
public:
    int accepted = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (auto* dialog = qobject_cast<QDialog*>(watched);
            dialog && event->type() == QEvent::Show) {
            ++accepted;
            QTimer::singleShot(0, dialog, &QDialog::accept);
        }
        return false;
    }
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Dovrin"));
    QApplication::setApplicationName(QStringLiteral("Dovrin Register"));

    DialogAccepter accepter;
    application.installEventFilter(&accepter);
    dovrin::RegisterWindow window(dovrin::presentLocalTime);
    window.show();
    const QString file = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    auto* table = window.findChild<QTableView*>(QStringLiteral("sourcesView"));
    QElapsedTimer clock;
    qint64 firstRows = -1;
    bool rowsArrived = false;
    QObject::connect(table->model(), &QAbstractItemModel::rowsInserted, &window, [&] {
        if (rowsArrived || !clock.isValid())
            return;
        rowsArrived = true;
        new AfterNextFrame(*table->viewport(), [&] { firstRows = clock.nsecsElapsed() / 1000; });
    });
    // Once loaded, every source is worked out again a year later, and the longest time the
    // event loop did not turn meanwhile is measured by a timer that fires whenever it turns.
    qint64 loaded = 0, askedAt = 0, reevaluated = 0, longestStall = 0, lastTurn = 0;
    QTimer turns;
    turns.setInterval(0);
    QObject::connect(&turns, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed() / 1000;
        longestStall = std::max(longestStall, now - lastTurn);
        lastTurn = now;
    });
    const bool reevaluate = argc > 2 && QByteArray(argv[2]) == "reevaluate";
    QObject::connect(&window, &dovrin::RegisterWindow::inventoryLoaded, &window, [&] {
        loaded = clock.nsecsElapsed() / 1000;
        if (!reevaluate) {
            std::printf("%lld %lld %d\n", static_cast<long long>(firstRows),
                        static_cast<long long>(loaded), accepter.accepted);
            QCoreApplication::quit();
            return;
        }
        QTimer::singleShot(0, [&] {
            auto* asOf = window.findChild<QDateEdit*>(QStringLiteral("asOfBox"));
            askedAt = lastTurn = clock.nsecsElapsed() / 1000;
            turns.start();
            asOf->setDate(asOf->date().addYears(1));
        });
    });
    QObject::connect(&window, &dovrin::RegisterWindow::inventoryReevaluated, &window, [&] {
        reevaluated = clock.nsecsElapsed() / 1000 - askedAt;
        QTimer::singleShot(0, [&] {
            turns.stop();
            std::printf("%lld %lld %d %lld %lld\n", static_cast<long long>(firstRows),
                        static_cast<long long>(loaded), accepter.accepted,
                        static_cast<long long>(reevaluated), static_cast<long long>(longestStall));
            QCoreApplication::quit();
        });
    });
    QObject::connect(&window, &dovrin::RegisterWindow::openFailed,
                     [] { QCoreApplication::exit(1); });
    new AfterNextFrame(*table->viewport(), [&] {
        if (file.isEmpty()) {
            QCoreApplication::quit();
            return;
        }
        clock.start();
        window.open(file);
    });
    return QApplication::exec();
}
