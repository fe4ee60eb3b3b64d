// The register window's Open Recent menu: the files and registries last opened, newest first.

#include <QDir>
#include <QMenu>
#include <QSettings>

#include "postgres_store.h"
#include "qt_text.h"
#include "register_window.h"

namespace dovrin {

namespace {

constexpr int mostRecentFiles = 8;
const QString recentKey = QStringLiteral("recentInventories");

} // namespace

void RegisterWindow::rememberRecent(const QString& path) {
    // A connection that holds a password is not written to the settings.
    if (store::isRegistryAddress(path.toStdString()) && shownName(path) != path)
        return;
    QSettings settings;
    QStringList recent = settings.value(recentKey).toStringList();
    recent.removeAll(path);
    recent.prepend(path);
    while (recent.size() > mostRecentFiles)
        recent.removeLast();
    settings.setValue(recentKey, recent);
}

void RegisterWindow::fillRecentMenu() {
    recentMenu_->clear();
    const QStringList recent = QSettings().value(recentKey).toStringList();
    for (const QString& path : recent)
        recentMenu_->addAction(QDir::toNativeSeparators(path), this, [this, path] { open(path); });
    if (recent.isEmpty())
        recentMenu_->addAction(tr("(none yet)"))->setEnabled(false);
}

} // namespace dovrin
