#pragma once

// A register window under test: a fixed clock, settings of its own, inventories written to a
// temporary folder, and every dialog that opens answered once it is up.

#include <functional>

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QMessageBox>
#include <QSettings>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "register_window.h"
#include "test_facts.h"

namespace testing {

using namespace std::chrono;

using dovrin::facts::midnight;

// Settings in a folder of their own, so that no test sees the user's or another test's.
inline void isolateSettings(const QTemporaryDir& folder) {
    QCoreApplication::setOrganizationName(QStringLiteral("DovrinTests"));
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder.path());
}

// Opens the file and waits until the window has loaded it; a large file under the sanitizers
// takes long.
inline bool openAndWait(dovrin::RegisterWindow& window, const QString& path) {
    QSignalSpy loaded(&window, &dovrin::RegisterWindow::inventoryLoaded);
    window.open(path);
    return loaded.wait(120000);
}

inline QString writeFile(const QTemporaryDir& folder, const QString& name, const QByteArray& text) {
    const QString path = folder.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// An inventory of rows sources, the same for the same count.
inline QByteArray generatedInventory(int rows) {
    static const char* const nuclides[] = {"Co-60", "Cs-137", "Ir-192", "Am-241/Be", "Sr-90"};
    static const char* const units[] = {"GBq", "TBq", "Ci", "mCi"};
    QByteArray text = "id,location,radionuclide,activity,unit,manufactured\n";
    text.reserve(rows * 48);
    for (int row = 0; row < rows; ++row)
        text += "S" + QByteArray::number(row) + ",Site " + QByteArray::number(row % 97) + "," +
                nuclides[row % 5] + "," + QByteArray::number((row * 37) % 1000 + 1) + "," +
                units[row % 4] + ",20" + QByteArray::number(10 + row % 16) + "-0" +
                QByteArray::number(1 + row % 9) + "-1" + QByteArray::number(row % 10) + "\n";
    return text;
}

// Answers each dialog once it is shown: a message box with Enter, any other dialog with the
// answer given, and remembers the message boxes' texts.
class DialogAnswerer : public QObject {
public:
    std::function<void(QDialog&)> answer = [](QDialog& dialog) { dialog.reject(); };
    QStringList messages;
    int dialogs = 0;

    DialogAnswerer() { qApp->installEventFilter(this); }
    ~DialogAnswerer() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (!dialog || event->type() != QEvent::Show)
            return false;
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
            messages << box->text();
            if (!box->isModal())
                messages << QStringLiteral("(not modal)");
            QTimer::singleShot(0, box, [box] { QTest::keyClick(box, Qt::Key_Return); });
        } else {
            ++dialogs;
            QTimer::singleShot(0, dialog, [this, dialog] { answer(*dialog); });
        }
        return false;
    }
};

// The texts of one column of the sources table, top to bottom, as shown.
inline QStringList shownColumn(QTableView& view, int column) {
    QStringList texts;
    for (int row = 0; row < view.model()->rowCount(); ++row)
        texts << view.model()->index(row, column).data().toString();
    return texts;
}

} // namespace testing
