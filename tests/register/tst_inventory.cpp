// Reading inventories: the CSV records, the writer's quoting, the header's columns and the
// shape of each row; the number texts of the output.

#include <QFile>
#include <QTest>

#include <string>
#include <vector>

#include "csv.h"
#include "inventory.h"
#include "output.h"

using namespace dovrin;

namespace {

QByteArray bytes(std::string_view text) {
    return {text.data(), static_cast<qsizetype>(text.size())};
}

// Every record as "number:[field|field]", a problem as "!quote@field" or "!after@field".
QByteArray describe(std::string_view input, std::optional<char> separator, std::size_t piece) {
    csv::TextSource source(input, piece);
    csv::Reader reader(source, separator);
    QByteArray text;
    while (const auto record = reader.next()) {
        text += QByteArray::number(record->number) + ":[";
        for (std::size_t i = 0; i < record->fields.size(); ++i)
            text += (i > 0 ? "|" : "") + bytes(record->fields[i]);
        text += "]";
        if (record->problem != csv::RecordProblem::none)
            text +=
                (record->problem == csv::RecordProblem::unterminatedQuote ? "!quote@" : "!after@") +
                QByteArray::number(record->problemField);
    }
    return text;
}

std::vector<std::string_view> views(const QStringList& texts, std::vector<std::string>& store) {
    store.clear();
    for (const QString& text : texts)
        store.push_back(text.toStdString());
    return {store.begin(), store.end()};
}

} // namespace

class TestInventory : public QObject {
    Q_OBJECT

private slots:
    void records_data();
    void records();
    void quoting_data();
    void quoting();
    void columns_data();
    void columns();
    void rowShape_data();
    void rowShape();
    void headerAndRowsThatAreNoSources_data();
    void headerAndRowsThatAreNoSources();
    void manPageListsEveryHeader();
    void longRecords();
    void numberTexts_data();
    void numberTexts();
};

void TestInventory::records_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("separator"); // empty: recognised
    QTest::addColumn<QByteArray>("expected");
    const auto row = [](const char* name, QByteArray input, QByteArray separator,
                        QByteArray expected) {
        QTest::newRow(name) << input << separator << expected;
    };
    row("plain", "a,b\n1,2\n", "", "1:[a|b]2:[1|2]");
    row("no final line end", "a,b\n1,2", "", "1:[a|b]2:[1|2]");
    row("CRLF", "a,b\r\n1,2\r\n", "", "1:[a|b]2:[1|2]");
    row("empty input", "", "", "");
    row("empty fields", ",,\n", "", "1:[||]");
    row("quoted separator and doubled quotes", "\"x,y\",\"say \"\"hi\"\"\"\n", "",
        "1:[x,y|say \"hi\"]");
    row("line breaks inside quotes", "\"l1\nl2\",b\n\"c\r\nd\"\r\n", "", "1:[l1\nl2|b]2:[c\r\nd]");
    row("quoted empty field is a record", "a\n\"\"\n", "", "1:[a]2:[]");
    row("blank lines skipped but counted", "a\n\nb\r\n\r\nc\n", "", "1:[a]3:[b]5:[c]");
    row("byte-order mark", "\xEF\xBB\xBF\"a\",b\n", "", "1:[a|b]");
    row("quote inside an unquoted field", "5\" pipe,x\n", "", "1:[5\" pipe|x]");
    row("lone CR is text", "a\rb,c\n", "", "1:[a\rb|c]");
    row("NUL and invalid UTF-8 carried", QByteArray("a\0b,\xff\xfe\n", 7), "",
        QByteArray("1:[a\0b|\xff\xfe]", 10));
    row("semicolon recognised", "a;b,c;d\n1;2,3;4\n", "", "1:[a|b,c|d]2:[1|2,3|4]");
    row("tab recognised", "a\tb\n1\t2\n", "", "1:[a|b]2:[1|2]");
    row("separators in quotes not counted", "\"a;b;c\",d\n", "", "1:[a;b;c|d]");
    row("recognised on the first line that is not blank", "\n\na;b\n", "", "3:[a|b]");
    row("given separator wins", "a;b,c\n", ",", "1:[a;b|c]");
    row("unterminated quote at the end", "a,b\n1,\"open\n2,3\n", "",
        "1:[a|b]2:[1|\"open]!quote@13:[2|3]");
    row("unterminated quote after a field of two lines", "\"a\nb\",\"open\nc,d\n", ",",
        "1:[a\nb|\"open]!quote@12:[c|d]");
    row("unterminated quote, last line", "a,b\n\"x,y", "", "1:[a|b]2:[\"x|y]!quote@0");
    row("text after the closing quote", "\"ab\"cd,e\n", "", "1:[ab\"cd|e]!after@0");
    row("CR then text after the closing quote", "x,\"ab\"\rc\n", "", "1:[x|ab\"\rc]!after@1");
    row("closing quote then CRLF", "\"a\"\r\n\"b\"", "", "1:[a]2:[b]");
}

// Every record whole and in order, however the input is split between reads.
void TestInventory::records() {
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, separator);
    QFETCH(QByteArray, expected);
    const std::string_view text(input.constData(), static_cast<std::size_t>(input.size()));
    const std::optional<char> given =
        separator.isEmpty() ? std::nullopt : std::optional<char>(separator[0]);
    for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{5}, SIZE_MAX})
        QCOMPARE(describe(text, given, piece), expected);
}

void TestInventory::quoting_data() {
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QByteArray>("separator");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("plain") << QStringList{"a", "b c"} << QByteArray(",") << QByteArray("a,b c\n");
    QTest::newRow("separator") << QStringList{"a,b", "c;d"} << QByteArray(",")
                               << QByteArray("\"a,b\",c;d\n");
    QTest::newRow("other separator")
        << QStringList{"a,b", "c;d"} << QByteArray(";") << QByteArray("a,b;\"c;d\"\n");
    QTest::newRow("quote") << QStringList{"say \"hi\""} << QByteArray(",")
                           << QByteArray("\"say \"\"hi\"\"\"\n");
    QTest::newRow("line breaks") << QStringList{"a\nb", "c\rd"} << QByteArray("\t")
                                 << QByteArray("\"a\nb\"\t\"c\rd\"\n");
    QTest::newRow("quote after eight bytes")
        << QStringList{"abcdefghij\"k"} << QByteArray(",") << QByteArray("\"abcdefghij\"\"k\"\n");
    QTest::newRow("separator after sixteen bytes")
        << QStringList{"abcdefgh\tijklmnop;q"} << QByteArray(";")
        << QByteArray("\"abcdefgh\tijklmnop;q\"\n");
    QTest::newRow("tab in a long field, comma separated")
        << QStringList{"abcdefgh\tijklmnopq"} << QByteArray(",")
        << QByteArray("abcdefgh\tijklmnopq\n");
    QTest::newRow("one empty field") << QStringList{""} << QByteArray(",") << QByteArray("\"\"\n");
    QTest::newRow("empty fields") << QStringList{"", ""} << QByteArray(",") << QByteArray(",\n");
}

// Quoted only when a field must be, and read back unchanged.
void TestInventory::quoting() {
    QFETCH(QStringList, fields);
    QFETCH(QByteArray, separator);
    QFETCH(QByteArray, expected);
    std::vector<std::string> store;
    const std::vector<std::string_view> written = views(fields, store);
    std::string out;
    csv::appendRecord(out, written, separator[0]);
    QCOMPARE(bytes(out), expected);
    csv::TextSource source(out);
    csv::Reader reader(source, separator[0]);
    const auto record = reader.next();
    QVERIFY(record);
    QVERIFY(std::ranges::equal(record->fields, written));
}

void TestInventory::columns_data() {
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<QStringList>("choices"); // NAME=HEADER
    // Each of columnNames as a column number (0 absent), then the header's unit when it has
    // one; or the start of the error.
    QTest::addColumn<QString>("expected");
    const QStringList six{"id", "location", "radionuclide", "activity", "unit", "manufactured"};
    QTest::newRow("the six") << six << QStringList{} << "3 4 5 6 2 1 0 0 0 0 0 0 0 0";
    QTest::newRow("letter case and blanks") << QStringList{" RadioNuclide ", "ACTIVITY", "\tUnit"}
                                            << QStringList{} << "1 2 3 0 0 0 0 0 0 0 0 0 0 0";
    QTest::newRow("other columns and their duplicates carried")
        << QStringList{"owner", "radionuclide", "owner", "activity", "unit"} << QStringList{}
        << "2 4 5 0 0 0 0 0 0 0 0 0 0 0";
    QTest::newRow("synonyms, punctuation and a unit in the header")
        << QStringList{"Serial No.", "Isotope",        "Activity (mCi)",     "Ref. date",
                       "Room",       "Last wipe test", "Wipe test interval", "Security category",
                       "Status"}
        << QStringList{} << "2 3 0 4 5 1 6 7 0 0 0 8 9 0 mCi";
    QTest::newRow("unit after a slash, in square brackets")
        << QStringList{"Source nuclide", "Nominal activity / MBq", "Form"} << QStringList{}
        << "1 2 0 0 0 0 0 0 0 0 0 0 0 3 MBq";
    QTest::newRow("unit in brackets that may be milli or mega, refused on each row")
        << QStringList{"Nuclide", "Activity [MCI]"} << QStringList{}
        << "1 2 0 0 0 0 0 0 0 0 0 0 0 0 MCI";
    QTest::newRow("two synonyms: the earlier one taken")
        << QStringList{"Source ID", "Nuclide", "Activity", "Serial No.", "Building", "Room"}
        << QStringList{} << "2 3 0 0 6 4 0 0 0 0 0 0 0 0";
    QTest::newRow("chosen header")
        << QStringList{"Element", "activity", "unit", "radionuclide"}
        << QStringList{"radionuclide= element"} << "1 2 3 0 0 0 0 0 0 0 0 0 0 0";
    QTest::newRow("chosen header: duplicates of the name carried")
        << QStringList{"activity", "Activity", "unit", "radionuclide", "Act"}
        << QStringList{"activity=act"} << "4 5 3 0 0 0 0 0 0 0 0 0 0 0";
    QTest::newRow("duty columns, one of them chosen")
        << QStringList{"radionuclide", "activity", "unit", "Last wipe", "working_life"}
        << QStringList{"last_leak_test=last wipe"} << "1 2 3 0 0 0 4 0 0 0 5 0 0 0";
    QTest::newRow("required missing, all of them named")
        << QStringList{"unit", "date"} << QStringList{}
        << "no column for radionuclide (or nuclide, isotope, radioisotope, source nuclide) nor "
           "activity";
    QTest::newRow("duplicate of one of the six")
        << QStringList{"radionuclide", "activity", "unit", "Activity "} << QStringList{}
        << "columns 2 and 4 are both named 'activity' and 'Activity'";
    QTest::newRow("the same header with and without its unit")
        << QStringList{"nuclide", "Activity (mCi)", "activity"} << QStringList{}
        << "columns 2 and 3 are both named";
    QTest::newRow("chosen header absent")
        << six << QStringList{"id=Tag"} << "the header has no column 'Tag' for id";
    QTest::newRow("one name chosen twice")
        << six << QStringList{"id=id", "id=location"} << "--column id is given twice";
    QTest::newRow("one column for two names")
        << six << QStringList{"id=location"} << "column 2 ('location') would be both";
}

void TestInventory::columns() {
    QFETCH(QStringList, header);
    QFETCH(QStringList, choices);
    QFETCH(QString, expected);
    std::vector<ColumnChoice> chosen;
    for (const QString& choice : choices)
        chosen.push_back({*columnNamed(choice.section('=', 0, 0).toStdString()),
                          choice.section('=', 1).toStdString()});
    std::vector<std::string> store;
    const HeaderReading reading = mapColumns(views(header, store), chosen);
    if (expected.front().isDigit()) {
        QVERIFY2(reading.columns, reading.error.c_str());
        QStringList numbers;
        for (const auto index : reading.columns->index)
            numbers << QString::number(index ? *index + 1 : 0);
        if (!reading.columns->headerUnit.empty())
            numbers << QString::fromStdString(reading.columns->headerUnit);
        QCOMPARE(numbers.join(' '), expected);
        return;
    }
    QVERIFY(!reading.columns);
    QVERIFY2(QString::fromStdString(reading.error).startsWith(expected), reading.error.c_str());
}

void TestInventory::rowShape_data() {
    QTest::addColumn<QByteArray>("row");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("problem"); // the start of it
    QTest::newRow("whole") << QByteArray("Co-60,1,Ci,x") << QStringList{"Co-60", "1", "Ci", "x"}
                           << "";
    QTest::newRow("too few padded") << QByteArray("Co-60,1") << QStringList{"Co-60", "1", "", ""}
                                    << "2 fields where the header has 4";
    QTest::newRow("too many keep their extra fields in the note")
        << QByteArray("Co-60,1,Ci,x,\"y,\"\"z\",w") << QStringList{"Co-60", "1", "Ci", "x"}
        << "6 fields where the header has 4; the extra ones: \"y,\"\"z\",\"w\"";
    QTest::newRow("unterminated quote")
        << QByteArray("Co-60,1,Ci,\"x") << QStringList{"Co-60", "1", "Ci", "\"x"}
        << "the quote that opens 'owner' never closes";
}

// Every row has the header's width; a row of another width is an error row that loses nothing.
void TestInventory::rowShape() {
    QFETCH(QByteArray, row);
    QFETCH(QStringList, fields);
    QFETCH(QString, problem);
    const std::string input = "radionuclide,activity,unit,owner\n" + row.toStdString();
    csv::TextSource source(input);
    InventoryReader reader(source, {});
    QVERIFY(reader.readHeader());
    InventoryRow read;
    QVERIFY(reader.next(read));
    QCOMPARE(read.number, std::uint64_t{2});
    QCOMPARE(read.fields.size(), std::size_t{4});
    for (std::size_t i = 0; i < read.fields.size(); ++i)
        QCOMPARE(bytes(read.fields[i]), fields[static_cast<qsizetype>(i)].toUtf8());
    QCOMPARE(bytes(read.source.radionuclide), QByteArray("Co-60"));
    QVERIFY2(QString::fromStdString(read.problem).startsWith(problem), read.problem.c_str());
    QCOMPARE(read.problem.empty(), problem.isEmpty());
    if (!read.problem.empty()) {
        const SourceResult result = evaluateRow(read, {});
        QVERIFY(!result.categorised);
        QCOMPARE(result.note, read.problem);
    }
    QVERIFY(!reader.next(read));
}

void TestInventory::headerAndRowsThatAreNoSources_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("headerRow"); // --header-row; 0 for none
    // "header N; rows a b ...; blank N; totals a b ...", or the start of the error.
    QTest::addColumn<QString>("expected");
    QTest::newRow("header below a title and a blank line")
        << QByteArray("Sources of the physics department,,\n\nNuclide,Activity,Units\n"
                      "Co-60,1,Ci\n")
        << 0 << "header 3; rows 4; blank 0; totals";
    QTest::newRow("blank rows as a spreadsheet writes them, and totals rows")
        << QByteArray("radionuclide,activity,unit,site\nCo-60,1,Ci,A\n,,,\n , ,\t,\n"
                      "Total,,2,\n,Subtotal A,3,\n,,3,A\nSr-90,2,Ci,B\n\"SUM\",,,\n")
        << 0 << "header 1; rows 2 7 8; blank 2; totals 5 6 9";
    QTest::newRow("a row without a radionuclide but no totals stays a row")
        << QByteArray("radionuclide,activity,unit\n,1,Ci\n,,note\n") << 0
        << "header 1; rows 2 3; blank 0; totals";
    QTest::newRow("a totals word in the radionuclide column")
        << QByteArray("radionuclide,activity,unit\nTotal,3,Ci\nSr-90,1,Ci\n") << 0
        << "header 1; rows 3; blank 0; totals 2";
    QTest::newRow("header row named") << QByteArray("a,b\nradionuclide,activity\nCo-60,1 Ci\n") << 2
                                      << "header 2; rows 3; blank 0; totals";
    QTest::newRow("named header row lacks the columns")
        << QByteArray("radionuclide,activity\nx,y\n") << 2
        << "row 2 (--header-row): no column for radionuclide";
    QTest::newRow("no header: the row nearest to one named")
        << QByteArray("Inventory\nIsotope,Amount,Unit\nCo-60,1,Ci\n") << 0
        << "row 2, taken as the header: no column for activity (or nominal activity";
}

// The rows above the header are skipped and the rows that are no sources are counted, whether
// a row is read whole or as a plain line.
void TestInventory::headerAndRowsThatAreNoSources() {
    QFETCH(QByteArray, input);
    QFETCH(int, headerRow);
    QFETCH(QString, expected);
    for (const bool plain : {false, true}) {
        const std::string text = input.toStdString();
        csv::TextSource source(text);
        InventoryOptions options;
        if (headerRow > 0)
            options.headerRow = static_cast<std::uint64_t>(headerRow);
        InventoryReader reader(source, options);
        if (!reader.readHeader()) {
            QVERIFY2(QString::fromStdString(reader.error()).startsWith(expected),
                     reader.error().c_str());
            return;
        }
        QString found = QStringLiteral("header %1; rows").arg(reader.headerRow());
        InventoryRow row;
        for (;;) {
            if (const auto line = plain ? reader.nextPlainLine() : std::nullopt) {
                found += QStringLiteral(" %1").arg(line->number);
            } else if (reader.next(row)) {
                found += QStringLiteral(" %1").arg(row.number);
            } else {
                break;
            }
        }
        found += QStringLiteral("; blank %1; totals").arg(reader.blankRowsSkipped());
        for (const std::uint64_t number : reader.totalsRows())
            found += QStringLiteral(" %1").arg(number);
        QCOMPARE(found, expected);
    }
}

// The manual page lists, under each column's name, the other headers it is read from, in the
// order of the reader's table, so that what a user reads there is what the reader does.
void TestInventory::manPageListsEveryHeader() {
    QFile page(QStringLiteral(DOVRIN_MAN_PAGE));
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(page.readAll());
    const qsizetype start = text.indexOf(QLatin1String(".SH COLUMN NAMES\n"));
    QVERIFY(start >= 0);
    // Up to the next section, with the line end before it.
    const QString section =
        text.mid(start, text.indexOf(QLatin1String("\n.SH "), start + 1) - start + 1);
    for (std::size_t c = 0; c < columnNames.size(); ++c) {
        QStringList others;
        for (const ColumnSynonym& synonym : columnSynonyms)
            if (synonym.column == static_cast<Column>(c))
                others << QString::fromUtf8(synonym.header.data(),
                                            static_cast<qsizetype>(synonym.header.size()));
        others.removeFirst(); // the column's own name
        const QString entry =
            QStringLiteral(".TP\n.B %1\n%2\n")
                .arg(QString::fromUtf8(columnNames[c].data(),
                                       static_cast<qsizetype>(columnNames[c].size())),
                     others.isEmpty() ? QStringLiteral("(its name only)")
                                      : others.join(QLatin1String(", ")));
        QVERIFY2(section.contains(entry), qPrintable(entry));
    }
}

// A field of several megabytes and a record of many columns, across many reads.
void TestInventory::longRecords() {
    const std::string longField(3'000'000, 'x');
    std::string wide;
    for (int i = 0; i < 200'000; ++i)
        wide += "c,";
    const std::string input = "a,\"" + longField + "\"\n" + wide + "end\n1,2\n";
    csv::TextSource source(input, 100'000);
    csv::Reader reader(source);
    auto record = reader.next();
    QVERIFY(record && record->fields.size() == 2 && record->fields[1] == longField);
    record = reader.next();
    QVERIFY(record && record->fields.size() == 200'001 && record->fields.back() == "end");
    record = reader.next();
    QVERIFY(record && record->fields.size() == 2 && record->number == 3);
    QCOMPARE(reader.bytesConsumed(), input.size());
    QVERIFY(!reader.next());
}

// The shortest text that reads back, laid out as to_chars lays it out: fixed or with an
// exponent, whichever is shorter, fixed when both are as long; a whole number from 10^15 on with
// its exact digits. Values of at most 15 digits take a quicker path than the others.
void TestInventory::numberTexts_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("a few digits, exponent shorter") << 2.8823e-05 << QByteArray("2.8823e-05");
    QTest::newRow("fixed and exponent as long") << 0.001 << QByteArray("0.001");
    QTest::newRow("exponent one shorter") << 0.0001 << QByteArray("1e-04");
    QTest::newRow("whole, as long") << 1200000.0 << QByteArray("1200000");
    QTest::newRow("whole, exponent shorter") << 100000.0 << QByteArray("1e+05");
    QTest::newRow("lowest of the quicker path") << 1e-07 << QByteArray("1e-07");
    QTest::newRow("below it") << 9.5e-08 << QByteArray("9.5e-08");
    QTest::newRow("15 digits") << 999999999999999.0 << QByteArray("999999999999999");
    QTest::newRow("15 digits and a fraction") << 12345678.9012345 << QByteArray("12345678.9012345");
    QTest::newRow("17 digits") << 0.1 + 0.2 << QByteArray("0.30000000000000004");
    QTest::newRow("10^15") << 1e15 << QByteArray("1e+15");
    QTest::newRow("whole beyond 2^53: exact digits")
        << 2608667069814850048.0 << QByteArray("2608667069814850048");
    QTest::newRow("zero") << 0.0 << QByteArray("0");
    QTest::newRow("negative") << -0.25 << QByteArray("-0.25");
}

void TestInventory::numberTexts() {
    QFETCH(double, value);
    QFETCH(QByteArray, text);
    char space[32];
    QCOMPARE(bytes(numberField(value, space)), text);
}

QTEST_APPLESS_MAIN(TestInventory)
#include "tst_inventory.moc"
