// The real window of the start-up benchmark, opened exactly as app/main.cpp opens it.

#include <QApplication>

#include "first_frame.h"
#include "form1.h"
#include "system_clock.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dovrin Calculator"));
    QApplication::setDesktopFileName(QStringLiteral("dovrin-calculator"));

    Form1 window(systemLocalTime);
    new StopAfterFirstFrame(window);
    window.show();
    return QApplication::exec();
}
