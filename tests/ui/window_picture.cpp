// Not a test: the calculator window as a person sees it after categorising one source, for the
// picture in docs/ (scripts/render_window.sh). It opens the real window with the tests' fixed
// clock, fills the five inputs by keyboard and mouse, clicks both categorisation buttons, prints
// "ready" and keeps the window open until it is ended.

#include <cstdio>

#include "calculator_window.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    testing::CalculatorWindow window; // 7 December 2026, 15:15
    window.form.show();
    window.form.activateWindow(); // Xvfb runs no window manager to activate it
    if (!window.open()) {
        std::fputs("window_picture: the window did not become active\n", stderr);
        return 1;
    }
    // A teletherapy head made in March 2014: category 1 when new, category 2 by now.
    window.enterSource(QStringLiteral("Teletherapy sources"), QStringLiteral("Co-60"),
                       QStringLiteral("2700"), QStringLiteral("Ci"), QStringLiteral("03/15/14"));
    window.click("Command2");
    window.click("Command3");
    if (!window.messages.shown.isEmpty() || window.text("Text8").isEmpty() ||
        window.text("Text11").isEmpty()) {
        std::fputs("window_picture: the source was not categorised\n", stderr);
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    return QApplication::exec();
}
