// What the register window remembers between runs, in the application's settings.

#include "window_settings.h"

#include <QSettings>
#include <QSplitter>

#include "qt_text.h"
#include "register_window.h"

namespace dovrin {

namespace {

const QString nrcKey = QStringLiteral("showNrcFractions");
const QString recordedByKey = QStringLiteral("registerWindow/recordedBy");
// The window's size, its panes and its columns as they were last closed.
const QString geometryKey = QStringLiteral("registerWindow/geometry");
const QString mainSplitterKey = QStringLiteral("registerWindow/mainSplitter");
const QString lowerSplitterKey = QStringLiteral("registerWindow/lowerSplitter");
const QString sourcesColumnsKey = QStringLiteral("registerWindow/sourcesColumns");
const QString locationsColumnsKey = QStringLiteral("registerWindow/locationsColumns");

// The answers given for a file, kept under a key made of its path.
QString optionsKey(const QString& path) {
    return QStringLiteral("inventoryOptions/") +
           QString::fromLatin1(path.toUtf8().toBase64(QByteArray::Base64UrlEncoding |
                                                      QByteArray::OmitTrailingEquals));
}

} // namespace

std::optional<OpenOptions> rememberedOptions(const QString& path) {
    QSettings settings;
    settings.beginGroup(optionsKey(path));
    if (!settings.contains(QStringLiteral("dateOrder")))
        return std::nullopt;
    OpenOptions options;
    const QString separator = settings.value(QStringLiteral("separator")).toString();
    if (!separator.isEmpty())
        options.inventory.separator = separator.at(0).toLatin1();
    options.dateOrder = settings.value(QStringLiteral("dateOrder")).toString() == u"dmy"
                            ? DateOrder::dayFirst
                            : DateOrder::monthFirst;
    const QStringList columns = settings.value(QStringLiteral("columns")).toStringList();
    for (const QString& choice : columns) {
        const qsizetype equals = choice.indexOf(u'=');
        const auto column = columnNamed(choice.left(equals).toStdString());
        if (equals > 0 && column)
            options.inventory.columns.push_back({*column, choice.mid(equals + 1).toStdString()});
    }
    return options;
}

void rememberOptions(const QString& path, const OpenOptions& options) {
    QSettings settings;
    settings.beginGroup(optionsKey(path));
    settings.setValue(QStringLiteral("separator"),
                      options.inventory.separator
                          ? QString(QChar::fromLatin1(*options.inventory.separator))
                          : QString());
    settings.setValue(QStringLiteral("dateOrder"), options.dateOrder == DateOrder::dayFirst
                                                       ? QStringLiteral("dmy")
                                                       : QStringLiteral("mdy"));
    QStringList columns;
    for (const ColumnChoice& choice : options.inventory.columns)
        columns << fromBytes(columnNames[static_cast<std::size_t>(choice.column)]) + u'=' +
                       QString::fromStdString(choice.header);
    settings.setValue(QStringLiteral("columns"), columns);
}

bool nrcFractionsShown() {
    return QSettings().value(nrcKey, false).toBool();
}

void rememberNrcFractionsShown(bool shown) {
    QSettings().setValue(nrcKey, shown);
}

QString rememberedRecorder() {
    return QSettings().value(recordedByKey).toString();
}

void rememberRecorder(const QString& recordedBy) {
    QSettings().setValue(recordedByKey, recordedBy);
}

// As Qt's application example keeps its window: the size, the panes and the columns as they
// were last closed; the defaults on a first run or when a setting cannot be read.
void RegisterWindow::readSettings() {
    const QSettings settings;
    restoreGeometry(settings.value(geometryKey).toByteArray());
    mainSplitter_->restoreState(settings.value(mainSplitterKey).toByteArray());
    lowerSplitter_->restoreState(settings.value(lowerSplitterKey).toByteArray());
    sourcesWidths_ = widthsOf(settings.value(sourcesColumnsKey).toMap());
    locationsWidths_ = widthsOf(settings.value(locationsColumnsKey).toMap());
}

void RegisterWindow::writeSettings() {
    QSettings settings;
    settings.setValue(geometryKey, saveGeometry());
    settings.setValue(mainSplitterKey, mainSplitter_->saveState());
    settings.setValue(lowerSplitterKey, lowerSplitter_->saveState());
    settings.setValue(sourcesColumnsKey, settingsOf(sourcesWidths_));
    settings.setValue(locationsColumnsKey, settingsOf(locationsWidths_));
}

} // namespace dovrin
