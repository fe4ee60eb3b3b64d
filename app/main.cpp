// Dovrin Calculator: the security category of a sealed radioactive source.

#include <QApplication>

#include "form1.h"
#include "system_clock.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dovrin Calculator"));
    QApplication::setDesktopFileName(QStringLiteral("dovrin-calculator"));

    Form1 window(systemLocalTime);
    window.show();
    return QApplication::exec();
}
