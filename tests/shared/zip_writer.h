#pragma once

// Small workbooks made in memory, for the tests and the fuzz target of the workbook reader: a zip
// archive of named parts (libzip), and the few parts an .xlsx or .ods file needs around a sheet.

#include <zip.h>

#include <string>
#include <string_view>
#include <vector>

namespace dovrin::testing {

struct ZipPart {
    std::string name;
    std::string data;
    bool deflated = true; // else stored
};

// The archive's bytes; empty when libzip refuses a part (a name given twice).
inline std::string makeZip(const std::vector<ZipPart>& parts) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_error_fini(&error);
    if (buffer == nullptr)
        return {};
    zip_source_keep(buffer); // zip_close would free it otherwise
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, nullptr);
    bool added = archive != nullptr;
    for (const ZipPart& part : parts) {
        if (!added)
            break;
        zip_source_t* data = zip_source_buffer(archive, part.data.data(), part.data.size(), 0);
        const zip_int64_t index =
            data == nullptr ? -1 : zip_file_add(archive, part.name.c_str(), data, 0);
        if (index < 0) {
            if (data != nullptr)
                zip_source_free(data);
            added = false;
            break;
        }
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                 part.deflated ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
    }
    std::string bytes;
    if (archive != nullptr && (added ? zip_close(archive) == 0 : (zip_discard(archive), false))) {
        zip_stat_t status;
        if (zip_source_open(buffer) == 0) {
            if (zip_source_stat(buffer, &status) == 0) {
                bytes.resize(status.size);
                if (zip_source_read(buffer, bytes.data(), status.size) !=
                    static_cast<zip_int64_t>(status.size))
                    bytes.clear();
            }
            zip_source_close(buffer);
        }
    }
    zip_source_free(buffer);
    return bytes;
}

inline constexpr std::string_view xlsxMain =
    "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

// The parts of an .xlsx workbook with one sheet per entry of sheets (the sheetData of each,
// named Sheet1, Sheet2...); sharedStrings and styles are the inner XML of sst and styleSheet,
// left out when empty; workbookProperties is the attributes of workbookPr.
inline std::vector<ZipPart> xlsxParts(const std::vector<std::string>& sheets,
                                      const std::string& sharedStrings = {},
                                      const std::string& styles = {},
                                      const std::string& workbookProperties = {}) {
    const std::string main(xlsxMain);
    const std::string relation =
        "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    std::string list;
    std::string relations;
    std::vector<ZipPart> parts;
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        list += "<sheet name=\"Sheet" + n + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        relations += "<Relationship Id=\"rId" + n + "\" Type=\"" + relation +
                     "/worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
        parts.push_back({"xl/worksheets/sheet" + n + ".xml", "<worksheet xmlns=\"" + main +
                                                                 "\"><sheetData>" + sheets[i] +
                                                                 "</sheetData></worksheet>"});
    }
    parts.push_back({"xl/workbook.xml", "<workbook xmlns=\"" + main + "\" xmlns:r=\"" + relation +
                                            "\"><workbookPr " + workbookProperties + "/><sheets>" +
                                            list + "</sheets></workbook>"});
    parts.push_back({"xl/_rels/workbook.xml.rels",
                     "<Relationships "
                     "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" +
                         relations + "</Relationships>"});
    if (!sharedStrings.empty())
        parts.push_back(
            {"xl/sharedStrings.xml", "<sst xmlns=\"" + main + "\">" + sharedStrings + "</sst>"});
    if (!styles.empty())
        parts.push_back(
            {"xl/styles.xml", "<styleSheet xmlns=\"" + main + "\">" + styles + "</styleSheet>"});
    return parts;
}

// The parts of an .ods workbook whose office:spreadsheet holds the tables given.
inline std::vector<ZipPart> odsParts(const std::string& tables) {
    return {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet", false},
            {"content.xml",
             "<office:document-content "
             "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
             "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
             "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
             "xmlns:calcext=\"urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:"
             "1.0\"><office:body><office:spreadsheet>" +
                 tables + "</office:spreadsheet></office:body></office:document-content>"}};
}

} // namespace dovrin::testing
