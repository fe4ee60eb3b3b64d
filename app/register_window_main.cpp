// Dovrin Register: the categories of every source of an inventory, in a window.

#include <QApplication>

#include "register_window.h"
#include "run.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Dovrin"));
    QApplication::setApplicationName(QStringLiteral("Dovrin Register"));
    QApplication::setDesktopFileName(QStringLiteral("dovrin-register-window"));

    dovrin::RegisterWindow window(dovrin::presentLocalTime);
    window.show();
    if (const QStringList arguments = QApplication::arguments(); arguments.size() > 1)
        window.open(arguments.at(1));
    return QApplication::exec();
}
