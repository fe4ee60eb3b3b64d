// The calendar of due dates: read back by a real iCalendar parser (python3-icalendar), folded
// lines and escaped texts included, and UIDs that stay the same from run to run and never
// coincide for two sources or two duties.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <set>
#include <string>

#include "calendar.h"
#include "test_support.h"

using namespace dovrin;
using namespace dovrin::testing;
using namespace std::chrono;

namespace {

constexpr sys_seconds stamp{sys_days{year{2026} / December / 7} + hours{9} + minutes{5}};

std::string calendarOf(const CalendarEvent& event, sys_seconds at = stamp) {
    std::string out;
    appendCalendarStart(out);
    appendCalendarEvent(out, event, at);
    appendCalendarEnd(out);
    return out;
}

// What read_calendar.py found in the file, or why it could not read it.
QJsonObject readBack(const std::string& calendar) {
    QTemporaryDir folder;
    const QString path = folder.filePath("due.ics");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(calendar.data(), static_cast<qint64>(calendar.size())) !=
            static_cast<qint64>(calendar.size()))
        return {{"error", "cannot write " + path}};
    file.close();
    QProcess python;
    python.start(QStringLiteral(PYTHON3), {QStringLiteral(READ_CALENDAR_SCRIPT), path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return {{"error", QString::fromUtf8(python.readAllStandardError())}};
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

} // namespace

class TestCalendar : public QObject {
    Q_OBJECT

private slots:
    // Each event as the parser reads it: an all-day date, the summary naming the duty and the
    // source, commas, semicolons, backslashes and line breaks given back as written, and a long
    // UTF-8 text folded without breaking a character.
    void readBackByIcalendar_data() {
        QTest::addColumn<QByteArray>("id");
        QTest::addColumn<int>("duty");
        QTest::addColumn<QByteArray>("location");
        QTest::addColumn<QString>("summary");
        const auto row = [](const char* tag, const char* id, Duty duty, const char* location,
                            const QString& summary) {
            QTest::newRow(tag) << QByteArray(id) << static_cast<int>(duty) << QByteArray(location)
                               << summary;
        };
        row("plain", "S-17", Duty::leakTest, "Lab 1", "Leak test due: S-17 (Co-60)");
        row("no id", "", Duty::inventory, "", "Physical inventory due: row 12 (Co-60)");
        row("escapes", "A,B;C\\D", Duty::workingLifeEnd, "Hall 2, shelf 3;\nbox \"7\"",
            "End of working life: A,B;C\\D (Co-60)");
        const QByteArray longId = QString("Strahlenquelle-für-die-Füllstandsmessung-Ü%1")
                                      .arg(QString(60, QChar(0x00E9)))
                                      .toUtf8();
        row("long UTF-8", longId.constData(), Duty::leakTest, "",
            "Leak test due: " + QString::fromUtf8(longId) + " (Co-60)");
    }
    void readBackByIcalendar() {
        QFETCH(QByteArray, id);
        QFETCH(int, duty);
        QFETCH(QByteArray, location);
        QFETCH(QString, summary);
        const CalendarEvent event{{view(id), 12},
                                  static_cast<Duty>(duty),
                                  year{2027} / February / 28,
                                  "Co-60",
                                  view(location)};
        const std::string calendar = calendarOf(event);

        // Every line ends in CRLF and holds at most 75 octets.
        std::size_t start = 0;
        while (start < calendar.size()) {
            const std::size_t end = calendar.find("\r\n", start);
            QVERIFY(end != std::string::npos);
            const std::string_view line(calendar.data() + start, end - start);
            QVERIFY2(line.size() <= 75 && line.find('\n') == std::string_view::npos,
                     qPrintable(show(line)));
            start = end + 2;
        }

        const QJsonObject read = readBack(calendar);
        QVERIFY2(!read.contains("error"), qPrintable(read["error"].toString()));
        QCOMPARE(read["version"].toString(), "2.0");
        const QJsonArray events = read["events"].toArray();
        QCOMPARE(events.size(), 1);
        const QJsonObject found = events[0].toObject();
        QCOMPARE(found["uid"].toString(), show(eventUid(event.source, event.duty)));
        QCOMPARE(found["stamp"].toString(), "2026-12-07T09:05:00+00:00");
        QCOMPARE(found["start"].toString(), "2027-02-28");
        QVERIFY(found["allDay"].toBool());
        QCOMPARE(found["summary"].toString(), summary);
        QCOMPARE(found["location"].toString(), QString::fromUtf8(location));
    }

    // A source keeps its UIDs whatever the moment of the run; no two sources or duties share
    // one, even where an id looks like another's encoding or like a row number.
    void uidsStableAcrossRuns() {
        const CalendarEvent event{{"S-17", 3}, Duty::leakTest, year{2027} / March / 1, "Co-60", ""};
        const QJsonObject first = readBack(calendarOf(event, stamp));
        const QJsonObject later = readBack(calendarOf(event, stamp + days{40}));
        QVERIFY2(!first.contains("error"), qPrintable(first["error"].toString()));
        QCOMPARE(first["events"][0]["uid"], later["events"][0]["uid"]);
        QVERIFY(first["events"][0]["stamp"] != later["events"][0]["stamp"]);

        std::set<std::string> uids;
        const SourceKey sources[] = {{"a b", 2},   {"a_20b", 2}, {"a_b", 2}, {"", 5},
                                     {"row-5", 5}, {"5", 5},     {"", 6},    {"\xC3\xA9", 2}};
        for (const SourceKey source : sources)
            for (const Duty duty : {Duty::leakTest, Duty::inventory, Duty::workingLifeEnd})
                QVERIFY2(uids.insert(eventUid(source, duty)).second,
                         qPrintable(show(eventUid(source, duty))));
    }
};

QTEST_GUILESS_MAIN(TestCalendar)
#include "tst_calendar.moc"
