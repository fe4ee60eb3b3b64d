#pragma once

#include <chrono>
#include <cstdio>

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

// Ends the program right after the window's first frame: on the window's first paint event it
// queues a call that runs once the frame is painted and flushed, prints that moment in
// microseconds since the epoch and quits.
class StopAfterFirstFrame : public QObject {
public:
    explicit StopAfterFirstFrame(QWidget& window)
        : QObject(&window) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !painted_) {
            painted_ = true;
            QTimer::singleShot(0, [] {
                const auto shown = std::chrono::duration_cast<std::chrono::microseconds>(
                    std::chrono::system_clock::now().time_since_epoch());
                std::printf("%lld\n", static_cast<long long>(shown.count()));
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool painted_ = false;
};
