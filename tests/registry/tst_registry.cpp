// The registry on a real PostgreSQL server: each role kept where it belongs by the database
// itself, values stored as text whatever they hold, and many writers at once.

#include <QDir>
#include <QFile>
#include <QTest>

#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "command_line.h"
#include "postgres_store.h"
#include "store_commands.h"

using namespace dovrin;
using namespace dovrin::store;
using namespace std::chrono;

namespace {

constexpr sys_seconds recordedAt = sys_days(2026y / 1 / 5) + 9h;
const LocalTime fixedNow{duration_cast<milliseconds>(recordedAt.time_since_epoch())};
const std::string database = "registry_" + std::to_string(getpid());

std::string address(const std::string& role, const std::string& db = database) {
    return "postgresql:///" + db + "?host=" DOVRIN_POSTGRES_DIR "&user=" + role;
}

// What one statement gave when run as a role: its SQLSTATE when refused, else its first value.
struct Answer {
    std::string state;
    std::string value;
};
Answer ask(const std::string& role, const std::string& sql, const std::string& db = database) {
    const std::unique_ptr<PGconn, void (*)(PGconn*)> connection(
        PQconnectdb(address(role, db).c_str()), &PQfinish);
    if (PQstatus(connection.get()) != CONNECTION_OK)
        return {"no connection", PQerrorMessage(connection.get())};
    const std::unique_ptr<PGresult, void (*)(PGresult*)> result(
        PQexec(connection.get(), sql.c_str()), &PQclear);
    if (const char* state = PQresultErrorField(result.get(), PG_DIAG_SQLSTATE))
        return {state, PQresultErrorMessage(result.get())};
    return {"", PQntuples(result.get()) > 0 ? PQgetvalue(result.get(), 0, 0) : ""};
}

Event receipt(std::string source) {
    Event event;
    event.source = std::move(source);
    event.kind = Kind::receive;
    event.on = 2025y / 12 / 1;
    event.by = "tester";
    event[Field::radionuclide] = "Cs-137";
    event[Field::activity] = "3";
    event[Field::unit] = "TBq";
    event[Field::location] = "Vault";
    return event;
}

// Records the events as the role, each in a write of its own; false at the first refusal.
bool record(const std::string& role, std::vector<Event> events) {
    const Opening opening = openRegistry(address(role), Access::write);
    if (!opening.store)
        return false;
    for (Event& event : events) {
        const auto write = opening.store->beginWrite(recordedAt);
        if (!write || !write->append(event) || !write->commit())
            return false;
    }
    return true;
}

QByteArray contents(std::FILE* file) {
    std::rewind(file);
    QByteArray bytes;
    char buffer[4096];
    while (const std::size_t read = std::fread(buffer, 1, sizeof buffer, file))
        bytes.append(buffer, static_cast<qsizetype>(read));
    std::fclose(file);
    return bytes;
}

struct Outcome {
    int status;
    QByteArray out;
    QByteArray err;
};
Outcome run(const std::vector<std::string>& words) {
    const std::vector<std::string_view> views(words.begin(), words.end());
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int status = runRegister(views, stdin, out, err, false, fixedNow);
    return {status, contents(out), contents(err)};
}

} // namespace

class TestRegistry : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        const Answer made = ask("postgres", "CREATE DATABASE " + database, "postgres");
        QVERIFY2(made.state.empty(), made.value.c_str());
        const std::string owner = address("postgres");
        QCOMPARE(run({"registry", "init", owner}).status, 0);
        for (const char* holder : {"a", "b", "c", "d"})
            QCOMPARE(run({"registry", "add-holder", owner, std::string("Holder ") + holder,
                          "--role", std::string("hold_") + holder})
                         .status,
                     0);
        QCOMPARE(run({"registry", "add-inspector", owner, "insp"}).status, 0);
        QVERIFY(record("hold_a", {receipt("A1")}));
        QVERIFY(record("hold_b", {receipt("B1"), receipt("A1")}));
    }

    // Each an attempt the database itself must answer: refused (42501) or with what the role
    // may see.
    void roles_data() {
        QTest::addColumn<QString>("role");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("value");
        const QString insertFor = QStringLiteral(
            "INSERT INTO dovrin.journal (holder, seq, source, kind, on_day, recorded_at, "
            "recorded_by, reason, document, target, hash) VALUES ('%1', 1, 'X', 'note', "
            "'2026-01-01', now(), 'x', '', '', 0, decode(repeat('00', 32), 'hex'))");
        const QString refused = QStringLiteral("42501");
        QTest::newRow("a holder reads another's events")
            << "hold_a"
            << "SELECT count(*) FROM dovrin.journal WHERE holder = 'hold_b'"
            << ""
            << "0";
        QTest::newRow("a holder reads its own events alone")
            << "hold_a"
            << "SELECT string_agg(source, ',') FROM dovrin.journal"
            << ""
            << "A1";
        QTest::newRow("a holder reads another holder") << "hold_a"
                                                       << "SELECT count(*) FROM dovrin.holder"
                                                       << ""
                                                       << "1";
        QTest::newRow("a holder inserts for another")
            << "hold_a" << insertFor.arg("hold_b") << refused << "";
        QTest::newRow("a holder updates its own")
            << "hold_a"
            << "UPDATE dovrin.journal SET reason = 'x'" << refused << "";
        QTest::newRow("a holder deletes its own") << "hold_a"
                                                  << "DELETE FROM dovrin.journal" << refused << "";
        QTest::newRow("a holder empties the journal") << "hold_a"
                                                      << "TRUNCATE dovrin.journal" << refused << "";
        QTest::newRow("a holder adds a holder")
            << "hold_a"
            << "SELECT dovrin.add_holder('x', 'x', '', now())" << refused << "";
        QTest::newRow("an inspector inserts") << "insp" << insertFor.arg("hold_a") << refused << "";
        QTest::newRow("an inspector reads every event") << "insp"
                                                        << "SELECT count(*) FROM dovrin.journal"
                                                        << ""
                                                        << "3";
        QTest::newRow("the owner updates, past the triggers")
            << "postgres"
            << "UPDATE dovrin.journal SET reason = 'x'" << refused << "";
        QTest::newRow("the owner deletes, past the triggers")
            << "postgres"
            << "DELETE FROM dovrin.journal" << refused << "";
    }
    void roles() {
        QFETCH(QString, role);
        QFETCH(QString, sql);
        QFETCH(QString, state);
        QFETCH(QString, value);
        const Answer answer = ask(role.toStdString(), sql.toStdString());
        QCOMPARE(QString::fromStdString(answer.state), state);
        if (state.isEmpty())
            QCOMPARE(QString::fromStdString(answer.value), value);
    }

    // A registry is told from a file by the text's shape alone, and a file's name with an '='
    // stays a file.
    void addresses_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("registry");
        QTest::newRow("URI") << "postgresql://hold_a@db.example.org/registry" << true;
        QTest::newRow("short URI") << "postgres:///registry" << true;
        QTest::newRow("service") << "service=registry" << true;
        QTest::newRow("words") << "host=/run/postgresql dbname=registry" << true;
        QTest::newRow("file with an '='") << "inventory=2026.csv" << false;
        QTest::newRow("file named as a word") << "./host=x" << false;
        QTest::newRow("register file") << "sources.dovrin" << false;
    }
    void addresses() {
        QFETCH(QString, text);
        QFETCH(bool, registry);
        QCOMPARE(isRegistryAddress(text.toStdString()), registry);
    }

    // The program refuses to write as anyone but a holder: the owner and a superuser pass every
    // policy, and an inspector writes nothing.
    void refusedOpenings_data() {
        QTest::addColumn<QString>("role");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("owner") << "postgres"
                               << "passes its policies";
        QTest::newRow("inspector") << "insp"
                                   << "holds no register";
        QTest::newRow("no such role") << "nobody"
                                      << "cannot connect";
    }
    void refusedOpenings() {
        QFETCH(QString, role);
        QFETCH(QString, refusal);
        const Opening opening = openRegistry(address(role.toStdString()), Access::write);
        QVERIFY(!opening.store);
        QVERIFY2(QString::fromStdString(opening.error).contains(refusal), opening.error.c_str());
    }

    void valuesStoredAsText() {
        // A colon and letters of two bytes too, which the packed fields' lengths must count.
        const std::string hostile = "'); DROP TABLE dovrin.journal; -- 3:Zürich";
        Event note = receipt(hostile);
        note.kind = Kind::note;
        note.values = {};
        note[Field::text] = hostile;
        QVERIFY(record("hold_c", {note}));
        const Opening opening = openRegistry(address("hold_c"), Access::read);
        QVERIFY(opening.store);
        const auto events = opening.store->events({});
        const Event* stored = events->next();
        QVERIFY2(stored, events->error().c_str());
        QCOMPARE(stored->source, hostile);
        QCOMPARE((*stored)[Field::text], hostile);
        QCOMPARE(ask("insp", "SELECT count(*) FROM dovrin.journal").value, std::string("4"));
    }

    // The regulator's inventory keeps each holder's sources apart, even under one id, and adds
    // up each holder's locations alone.
    void nationalInventory() {
        const std::string totals =
            QDir::temp().filePath(QString::fromStdString(database + "_totals.csv")).toStdString();
        const Outcome national =
            run({"registry", address("insp"), "--as-of", "2026-01-01", "--locations", totals});
        QVERIFY2(national.status == 0, national.err.constData());
        const QList<QByteArray> lines = national.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[0].startsWith("holder,id,radionuclide,"));
        QVERIFY(lines[1].startsWith("Holder a,A1,Cs-137,"));
        QVERIFY(lines[2].startsWith("Holder b,A1,Cs-137,"));
        QVERIFY(lines[3].startsWith("Holder b,B1,Cs-137,"));
        QVERIFY2(national.err.contains("Holder b: 2: 2\n"), national.err.constData());
        QFile file(QString::fromStdString(totals));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray places = file.readAll();
        file.remove();
        QVERIFY2(places.contains("\nHolder a: Vault,1,") && places.contains("\nHolder b: Vault,2,"),
                 places.constData());
        QCOMPARE(
            run({"registry", "add-holder", address("postgres"), "A: B", "--role", "hold_e"}).status,
            2);
    }

    // Writers at once, two for each of four holders: every event lands once, each holder's
    // sequence has no gap and its chain verifies.
    void writersAtOnce() {
        constexpr int writers = 8;
        constexpr int events = 500;
        const std::vector<std::string> roles{"hold_a", "hold_b", "hold_c", "hold_d"};
        std::vector<std::string> before;
        for (const std::string& role : roles)
            before.push_back(ask(role, "SELECT count(*) FROM dovrin.journal").value);
        std::atomic<int> refused = 0;
        std::vector<std::thread> threads;
        for (int writer = 0; writer < writers; ++writer)
            threads.emplace_back([&, writer] {
                std::vector<Event> mine;
                for (int i = 0; i < events; ++i)
                    mine.push_back(receipt("W" + std::to_string(writer) + "-" + std::to_string(i)));
                if (!record(roles[static_cast<std::size_t>(writer) % roles.size()], mine))
                    ++refused;
            });
        for (std::thread& thread : threads)
            thread.join();
        QCOMPARE(refused.load(), 0);
        for (std::size_t i = 0; i < roles.size(); ++i) {
            const std::string expected = std::to_string(std::stoi(before[i]) + 2 * events);
            QCOMPARE(ask(roles[i], "SELECT count(*) FROM dovrin.journal").value, expected);
            QCOMPARE(ask(roles[i], "SELECT max(seq) FROM dovrin.journal").value, expected);
            const Outcome verify = run({"verify", address(roles[i])});
            QVERIFY2(verify.status == 0, verify.err.constData());
            QVERIFY(verify.out.contains(expected + " events chained"));
        }
    }
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
