// The one-label window of the start-up benchmark: the floor for a window that shows text. One
// QLabel the size of the calculator's window, showing a line of text in the default font.

#include <QApplication>
#include <QLabel>

#include "first_frame.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);

    QLabel window(QStringLiteral("Security category of a sealed radioactive source"));
    window.setFixedSize(675, 323); // as the calculator window
    new StopAfterFirstFrame(window);
    window.show();
    return QApplication::exec();
}
