// The bare window of the start-up benchmark: one empty QWidget.

#include <QApplication>
#include <QWidget>

#include "first_frame.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);

    QWidget window;
    new StopAfterFirstFrame(window);
    window.show();
    return QApplication::exec();
}
