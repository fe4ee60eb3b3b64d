// Reading workbooks: every kind of cell as a person sees it, the choice of a sheet, and the
// hostile files that must give one line of error, never a crash or an endless read.

#include <QTest>

#include <cstring>
#include <string>

#include "workbook.h"
#include "zip_writer.h"

using namespace dovrin;
using namespace dovrin::workbook;
using dovrin::testing::makeZip;
using dovrin::testing::odsParts;
using dovrin::testing::xlsxParts;

namespace {

QByteArray bytes(std::string_view text) {
    return {text.data(), static_cast<qsizetype>(text.size())};
}

std::string text(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

// Every row as "number:[field|field]", then "!error" when reading stopped on one.
QByteArray describe(const QByteArray& archive, std::string_view sheetName = {},
                    const Limits& limits = {}) {
    std::string error;
    const auto book = Workbook::openBytes(text(archive), error, limits);
    if (!book)
        return "!" + bytes(error);
    const auto sheet = book->openSheet(sheetName, error);
    if (!sheet)
        return "!" + bytes(error);
    QByteArray rows;
    Row row;
    while (sheet->next(row)) {
        rows += QByteArray::number(static_cast<qulonglong>(row.number)) + ":[";
        for (std::size_t i = 0; i < row.fields.size(); ++i)
            rows += (i > 0 ? "|" : "") + bytes(row.fields[i]);
        rows += "]";
    }
    if (!sheet->error().empty())
        rows += "!" + bytes(sheet->error());
    return rows;
}

QByteArray xlsx(const std::string& sheet, const std::string& sharedStrings = {},
                const std::string& styles = {}, const std::string& properties = {}) {
    return bytes(makeZip(xlsxParts({sheet}, sharedStrings, styles, properties)));
}

QByteArray ods(const std::string& table) {
    return bytes(
        makeZip(odsParts("<table:table table:name=\"Sheet1\">" + table + "</table:table>")));
}

std::string odsCell(const std::string& attributes, const std::string& content = {}) {
    return "<table:table-cell " + attributes + ">" + content + "</table:table-cell>";
}

// The archive with the size that the directory and the entry's header declare for a part
// replaced: a part that inflates to more than it says.
QByteArray declaringSize(QByteArray archive, const QByteArray& name, quint32 size) {
    const auto patch = [&](const QByteArray& signature, int nameOffset, int sizeOffset) {
        for (qsizetype at = archive.indexOf(signature); at >= 0;
             at = archive.indexOf(signature, at + 1))
            if (archive.mid(at + nameOffset, name.size()) == name)
                for (int i = 0; i < 4; ++i)
                    archive[at + sizeOffset + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
    };
    patch(QByteArray("PK\x03\x04", 4), 30, 22);
    patch(QByteArray("PK\x01\x02", 4), 46, 24);
    return archive;
}

// The formats of the styles below: 0 General, 1 the built-in date 14, 2 a date of its own,
// 3 the built-in time 20, 4 elapsed hours, 5 a number with a quoted "d", which is no date.
const std::string styles =
    "<numFmts><numFmt numFmtId=\"164\" formatCode=\"dd/mm/yyyy\\ [$-409]\"/>"
    "<numFmt numFmtId=\"165\" formatCode=\"[h]:mm\"/>"
    "<numFmt numFmtId=\"166\" formatCode=\"0.00&quot;d&quot;\"/></numFmts>"
    "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"164\"/><xf numFmtId=\"20\"/>"
    "<xf numFmtId=\"165\"/><xf numFmtId=\"166\"/></cellXfs>";

std::string numberCells(std::initializer_list<std::pair<int, const char*>> cells) {
    std::string row = "<row r=\"1\">";
    for (const auto& [style, value] : cells)
        row += "<c s=\"" + std::to_string(style) + "\"><v>" + value + "</v></c>";
    return row + "</row>";
}

Limits smallLimits() {
    Limits limits;
    limits.sheetBytes = limits.sharedStringsBytes = limits.otherPartBytes = 1 << 20;
    limits.rowTextBytes = 1 << 20;
    limits.expansionAllowance = 1 << 20;
    return limits;
}

} // namespace

class TestWorkbook : public QObject {
    Q_OBJECT

private slots:
    void cells_data();
    void cells();
    void sheetChoice_data();
    void sheetChoice();
    void hostileFiles_data();
    void hostileFiles();
};

void TestWorkbook::cells_data() {
    QTest::addColumn<QByteArray>("archive");
    QTest::addColumn<QByteArray>("expected");
    const auto row = [](const char* name, const QByteArray& archive, const QByteArray& expected) {
        QTest::newRow(name) << archive << expected;
    };
    row("xlsx shared, rich, inline and escaped texts; no phonetic reading",
        xlsx("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
             "<c r=\"C1\" t=\"inlineStr\"><is><t>in</t><r><t xml:space=\"preserve\">line "
             "</t></r></is></c><c r=\"D1\" t=\"s\"><v>2</v></c></row>",
             "<si><t>plain</t></si><si><r><t>ri</t></r><r><rPr><b/></rPr><t>ch</t></r>"
             "<rPh sb=\"0\" eb=\"1\"><t>RUBY</t></rPh></si><si><t>a_x000D_b_x005F_x0041_</t></si>"),
        "1:[plain|rich|inline |a\rb_x0041_]");
    row("xlsx numbers read back as the shortest text of their double",
        xlsx("<row r=\"1\"><c r=\"A1\"><v>2500</v></c><c r=\"B1\"><v>1.8500000000000001</v></c>"
             "<c r=\"C1\" t=\"n\"><v>1E-7</v></c><c r=\"D1\"><v>-0.5</v></c></row>"),
        "1:[2500|1.85|1e-07|-0.5]");
    row("xlsx truth values, errors and the last values of formulas",
        xlsx("<row r=\"1\"><c r=\"A1\" t=\"b\"><v>1</v></c><c r=\"B1\" t=\"b\"><v>0</v></c>"
             "<c r=\"C1\" t=\"e\"><v>#N/A</v></c><c r=\"D1\"><f>A2*2</f><v>5000</v></c>"
             "<c r=\"E1\" t=\"str\"><f>\"x\"&amp;\"y\"</f><v>xy</v></c></row>"),
        "1:[TRUE|FALSE|#N/A|5000|xy]");
    row("xlsx dates of the 1900 system, with its 29 February 1900",
        xlsx(numberCells({{1, "40617"},
                          {2, "40617.5"},
                          {1, "1"},
                          {1, "59"},
                          {1, "60"},
                          {1, "61"},
                          {2, "2958465.99999"}}),
             {}, styles),
        "1:[2011-03-15|2011-03-15T12:00:00|1900-01-01|1900-02-28|1900-02-29|1900-03-01|"
        "9999-12-31T23:59:59]");
    row("xlsx times, and numbers that only look like dates",
        xlsx(numberCells({{3, "0.75"}, {4, "1.5"}, {5, "40617"}, {1, "0"}, {1, "2958466"}}), {},
             styles),
        "1:[18:00:00|1.5|40617|0|2958466]");
    row("xlsx dates of the 1904 system",
        xlsx(numberCells({{1, "0"}, {1, "39155"}}), {}, styles, "date1904=\"true\""),
        "1:[1904-01-01|2011-03-15]");
    row("xlsx ISO date cells",
        xlsx("<row r=\"1\"><c r=\"A1\" t=\"d\"><v>2011-03-15T00:00:00</v></c>"
             "<c r=\"B1\" t=\"d\"><v>2011-03-15T10:30:00</v></c></row>"),
        "1:[2011-03-15|2011-03-15T10:30:00]");
    row("xlsx gaps, empty cells and empty rows",
        xlsx("<row r=\"2\"><c r=\"A2\"><v>1</v></c><c r=\"C2\"><v>3</v></c><c r=\"D2\" s=\"1\"/>"
             "</row><row r=\"3\"><c r=\"A3\" s=\"1\"/></row><row r=\"5\"><c r=\"B5\" "
             "t=\"inlineStr\"><is><t></t></is></c><c r=\"C5\"><v>5</v></c></row>"),
        "2:[1||3]5:[||5]");
    row("xlsx cells and rows without references",
        xlsx("<row><c><v>1</v></c><c t=\"inlineStr\"><is><t>x</t></is></c></row>"
             "<row><c><v>2</v></c></row>"),
        "1:[1|x]2:[2]");
    row("xlsx the last column, XFD", xlsx("<row r=\"1\"><c r=\"XFD1\"><v>1</v></c></row>"),
        "1:[" + QByteArray(16383, '|') + "1]");
    row("ods values rather than their display",
        ods("<table:table-row>" +
            odsCell("office:value-type=\"float\" office:value=\"1.8500000000000001\"",
                    "<text:p>1,85</text:p>") +
            odsCell("office:value-type=\"percentage\" office:value=\"0.05\"",
                    "<text:p>5%</text:p>") +
            odsCell("office:value-type=\"date\" office:date-value=\"2011-03-15T00:00:00\"",
                    "<text:p>15/03/11</text:p>") +
            odsCell("office:value-type=\"date\" office:date-value=\"2011-03-15T10:30:00\"") +
            odsCell("office:value-type=\"boolean\" office:boolean-value=\"true\"",
                    "<text:p>VRAI</text:p>") +
            odsCell("table:formula=\"of:=1/0\" office:value-type=\"float\" office:value=\"0\" "
                    "calcext:value-type=\"error\"",
                    "<text:p>#DIV/0!</text:p>") +
            "</table:table-row>"),
        "1:[1.85|0.05|2011-03-15|2011-03-15T10:30:00|TRUE|#DIV/0!]");
    row("ods paragraphs, spaces and spans; no comment",
        ods("<table:table-row>" +
            odsCell("office:value-type=\"string\"",
                    "<office:annotation><text:p>note</text:p></office:annotation>"
                    "<text:p>a<text:s text:c=\"2\"/>b<text:span>c</text:span><text:tab/>d</text:p>"
                    "<text:p>e</text:p>") +
            "</table:table-row>"),
        "1:[a  bc\td\ne]");
    row("ods merged, repeated and filling cells and rows",
        ods("<table:table-row>" +
            odsCell("table:number-columns-spanned=\"2\" office:value-type=\"string\"",
                    "<text:p>m</text:p>") +
            "<table:covered-table-cell office:value-type=\"string\"><text:p>hidden</text:p>"
            "</table:covered-table-cell>" +
            odsCell("table:number-columns-repeated=\"2\" office:value-type=\"float\" "
                    "office:value=\"7\"",
                    "<text:p>7</text:p>") +
            odsCell("table:number-columns-repeated=\"3\"") +
            odsCell("office:value-type=\"string\"", "<text:p>z</text:p>") +
            odsCell("table:number-columns-repeated=\"16370\"") +
            "</table:table-row><table:table-row table:number-rows-repeated=\"2\">" + odsCell("") +
            "</table:table-row><table:table-row table:number-rows-repeated=\"2\">" +
            odsCell("office:value-type=\"string\"", "<text:p>r</text:p>") +
            "</table:table-row><table:table-row table:number-rows-repeated=\"1048571\">" +
            odsCell("table:number-columns-repeated=\"16384\"") + "</table:table-row>"),
        "1:[m||7|7||||z]4:[r]5:[r]");
}

void TestWorkbook::cells() {
    QFETCH(QByteArray, archive);
    QFETCH(QByteArray, expected);
    QCOMPARE(describe(archive), expected);
}

void TestWorkbook::sheetChoice_data() {
    QTest::addColumn<QByteArray>("archive");
    QTest::addColumn<QByteArray>("sheet");
    QTest::addColumn<QByteArray>("expected");
    const auto xlsxBook =
        bytes(makeZip(xlsxParts({"<row><c t=\"inlineStr\"><is><t>one</t></is></c></row>",
                                 "<row><c t=\"inlineStr\"><is><t>two</t></is></c></row>"})));
    const auto table = [](const char* name, const char* cell) {
        return "<table:table table:name=\"" + std::string(name) + "\"><table:table-row>" +
               odsCell("office:value-type=\"string\"",
                       "<text:p>" + std::string(cell) + "</text:p>") +
               "</table:table-row></table:table>";
    };
    const auto odsBook = bytes(makeZip(odsParts(table("Sheet1", "one") + table("Sheet2", "two"))));
    for (const auto& [format, book] : {std::pair{"xlsx", xlsxBook}, std::pair{"ods", odsBook}}) {
        const auto row = [&](const char* name, const QByteArray& sheet,
                             const QByteArray& expected) {
            QTest::addRow("%s %s", format, name) << book << sheet << expected;
        };
        row("first by default", "", "1:[one]");
        row("by name", "Sheet2", "1:[two]");
        row("letter case ignored", "sheet2", "1:[two]");
        row("unknown name", "Sheet3",
            "!the workbook has no sheet 'Sheet3'; its sheets: 'Sheet1', 'Sheet2'");
    }
}

void TestWorkbook::sheetChoice() {
    QFETCH(QByteArray, archive);
    QFETCH(QByteArray, sheet);
    QFETCH(QByteArray, expected);
    QCOMPARE(describe(archive, text(sheet)), expected);
}

void TestWorkbook::hostileFiles_data() {
    QTest::addColumn<QByteArray>("archive");
    QTest::addColumn<QByteArray>("error");
    const auto row = [](const char* name, const QByteArray& archive, const QByteArray& error) {
        QTest::newRow(name) << archive << error;
    };
    const auto plainRow = [](const std::string& cell) {
        return "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>" + cell + "</t></is></c></row>";
    };
    const std::string doctype = "<?xml version=\"1.0\"?><!DOCTYPE worksheet [";
    const auto withDoctype = [&](const std::string& declarations) {
        auto parts = xlsxParts({plainRow("&e;")});
        std::string& sheet = parts[0].data;
        sheet.insert(0, doctype + declarations + "]>");
        return bytes(makeZip(parts));
    };
    const std::string bombText(2 << 20, ' ');
    const QByteArray example = xlsx(plainRow("x"));

    row("not a zip archive", "id,activity\n", "not a zip archive");
    row("truncated archive", example.left(example.size() * 2 / 3), "truncated");
    row("zip bomb declared", xlsx(plainRow("x") + bombText), "more than the 1 MiB allowed");
    row("zip bomb declaring less than it inflates to",
        declaringSize(xlsx(plainRow("x") + bombText), "xl/worksheets/sheet1.xml", 100),
        "inflates to more than the 1 MiB allowed");
    row("entity expansion",
        withDoctype("<!ENTITY a \"aaaaaaaa\"><!ENTITY e \"&a;&a;&a;&a;&a;&a;&a;&a;\">"),
        "document type declaration");
    row("external entity", withDoctype("<!ENTITY e SYSTEM \"file:///etc/passwd\">"),
        "document type declaration");
    row("cell past XFD", xlsx("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>"),
        "'XFE1' in row 1 is not a cell of A1:XFD1048576");
    row("row past the last", xlsx("<row r=\"1048577\"><c><v>1</v></c></row>"),
        "row 1048577 lies past the sheet's last row");
    row("ods row past the last",
        ods("<table:table-row table:number-rows-repeated=\"1048576\">" + odsCell("") +
            "</table:table-row><table:table-row>" +
            odsCell("office:value-type=\"string\"", "<text:p>x</text:p>") + "</table:table-row>"),
        "row 1048577 lies past the sheet's last row");
    row("ods cell past XFD",
        ods("<table:table-row>" + odsCell("table:number-columns-repeated=\"16384\"") +
            odsCell("office:value-type=\"string\"", "<text:p>x</text:p>") + "</table:table-row>"),
        "lies past the sheet's last column, XFD");
    row("shared strings missing", xlsx("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>"),
        "cell A1 refers to a shared string, but the workbook has no shared strings");
    row("shared string missing",
        xlsx("<row r=\"1\"><c r=\"B1\" t=\"s\"><v>1</v></c></row>", "<si><t>only</t></si>"),
        "cell B1 refers to shared string '1', but the workbook has 1");
    row("invalid UTF-8", xlsx(plainRow("\xC3\x28")), "invalid UTF-8");
    row("repeats expanding without end",
        ods("<table:table-row table:number-rows-repeated=\"1000000\">" +
            odsCell("table:number-columns-repeated=\"16384\" office:value-type=\"string\"",
                    "<text:p>x</text:p>") +
            "</table:table-row>"),
        "expand to more than 16 times the size of the XML");
    std::string nested;
    for (int i = 0; i < 300; ++i)
        nested = "<x>" + nested + "</x>";
    row("nesting without end", xlsx(nested), "nests its elements more than 256 deep");
    row("rows out of order",
        xlsx("<row r=\"2\"><c><v>1</v></c></row><row r=\"1\"><c><v>1</v></c></row>"),
        "row 1 comes after row 2");
    row("a row longer than its cap",
        ods("<table:table-row>" +
            odsCell("office:value-type=\"string\"",
                    "<text:p><text:s text:c=\"2000000\"/></text:p>") +
            "</table:table-row>"),
        "row 1 holds more than");
    row("OpenDocument text",
        bytes(makeZip(
            {{"mimetype", "application/vnd.oasis.opendocument.text"}, {"content.xml", "<x/>"}})),
        "not a spreadsheet");
    row("another zip archive", bytes(makeZip({{"word/document.xml", "<x/>"}})),
        "neither an .xlsx nor an .ods workbook");
}

void TestWorkbook::hostileFiles() {
    QFETCH(QByteArray, archive);
    QFETCH(QByteArray, error);
    const QByteArray result = describe(archive, {}, smallLimits());
    const qsizetype mark = result.indexOf('!');
    QVERIFY2(mark >= 0, result.left(200).constData());
    const QByteArray message = result.mid(mark + 1);
    QVERIFY2(message.contains(error), message.constData());
    QVERIFY2(!message.contains('\n'), message.constData());
}

QTEST_GUILESS_MAIN(TestWorkbook)
#include "tst_workbook.moc"
