#include "sheet_cells.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>

#include "output.h"
#include "plain_text.h"
#include "workbook.h"

namespace dovrin::workbook {

namespace {

// The position after the closing character, or the end of the code.
std::size_t skipPast(std::string_view code, std::size_t from, char closing) {
    const std::size_t at = code.find(closing, from);
    return at == std::string_view::npos ? code.size() : at + 1;
}

char* twoDigits(char* out, unsigned value) {
    *out++ = static_cast<char>('0' + value / 10 % 10);
    *out++ = static_cast<char>('0' + value % 10);
    return out;
}

char* timeOfDay(char* out, long long seconds) {
    out = twoDigits(out, static_cast<unsigned>(seconds / 3600));
    *out++ = ':';
    out = twoDigits(out, static_cast<unsigned>(seconds / 60 % 60));
    *out++ = ':';
    return twoDigits(out, static_cast<unsigned>(seconds % 60));
}

// yyyy-mm-dd for the years 1 to 9999.
char* isoDate(char* out, int year, unsigned month, unsigned day) {
    out = twoDigits(out, static_cast<unsigned>(year / 100));
    out = twoDigits(out, static_cast<unsigned>(year % 100));
    *out++ = '-';
    out = twoDigits(out, month);
    *out++ = '-';
    return twoDigits(out, day);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = lowerCase(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The code unit of "_xHHHH_" at the start of text, or none.
std::optional<unsigned> escapeAt(std::string_view text) {
    if (text.size() < 7 || text[0] != '_' || text[1] != 'x' || text[6] != '_')
        return std::nullopt;
    unsigned code = 0;
    for (std::size_t i = 2; i < 6; ++i) {
        const int digit = hexDigit(text[i]);
        if (digit < 0)
            return std::nullopt;
        code = code * 16 + static_cast<unsigned>(digit);
    }
    // A lone surrogate is no character: the escape stays as it is written.
    if (code >= 0xD800 && code <= 0xDFFF)
        return std::nullopt;
    return code;
}

std::size_t writeUtf8(char* out, unsigned code) {
    if (code < 0x80) {
        out[0] = static_cast<char>(code);
        return 1;
    }
    if (code < 0x800) {
        out[0] = static_cast<char>(0xC0 | (code >> 6));
        out[1] = static_cast<char>(0x80 | (code & 0x3F));
        return 2;
    }
    out[0] = static_cast<char>(0xE0 | (code >> 12));
    out[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (code & 0x3F));
    return 3;
}

} // namespace

NumberShape shapeOfFormat(std::string_view code) {
    bool date = false, month = false, time = false;
    for (std::size_t i = 0; i < code.size();) {
        const char c = lowerCase(code[i]);
        if (c == ';') // the first section shows the positive numbers, and the dates
            break;
        switch (c) {
        case '"':
            i = skipPast(code, i + 1, '"');
            continue;
        case '\\': // the next character as it is
        case '_':  // room as wide as the next character
        case '*':  // the next character repeated to fill the cell
            i += 2;
            continue;
        case '[': {
            // A colour, a condition or a locale, or elapsed time: [h], [mm], [ss].
            const std::size_t end = skipPast(code, i + 1, ']');
            const std::string_view inside = code.substr(i + 1, end - i - 2);
            if (!inside.empty() &&
                std::ranges::all_of(inside,
                                    [&](char x) { return lowerCase(x) == lowerCase(inside[0]); }) &&
                std::string_view("hms").find(lowerCase(inside[0])) != std::string_view::npos)
                time = true;
            i = end;
            continue;
        }
        case 'd':
        case 'y':
            date = true;
            break;
        case 'm':
            month = true;
            break;
        case 'h':
        case 's':
            time = true;
            break;
        default:
            break;
        }
        ++i;
    }
    if (date || (month && !time))
        return NumberShape::date;
    return time ? NumberShape::time : NumberShape::number;
}

NumberShape shapeOfBuiltInFormat(std::uint64_t id) {
    // ECMA-376 Part 1 (5th edition, 2016), 18.8.30 numFmt: the built-in formats 14 m/d/yyyy,
    // 15 d-mmm-yy, 16 d-mmm, 17 mmm-yy, 22 m/d/yyyy h:mm; 18 to 21 and 45 to 47 show times.
    if ((id >= 14 && id <= 17) || id == 22)
        return NumberShape::date;
    if ((id >= 18 && id <= 21) || (id >= 45 && id <= 47))
        return NumberShape::time;
    return NumberShape::number;
}

std::string_view numberText(std::string_view number, TextSpace space) {
    double value = 0;
    const char* const end = number.data() + number.size();
    const auto [stop, error] = std::from_chars(number.data(), end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value))
        return number;
    return numberField(value, space);
}

std::optional<std::string_view> serialText(double serial, NumberShape shape, bool from1904,
                                           TextSpace space) {
    using namespace std::chrono;
    constexpr double secondsPerDay = 86400;
    char* out = space.data();
    if (shape == NumberShape::time) {
        if (!(serial >= 0 && serial < 1))
            return std::nullopt;
        const long long seconds = std::llround(serial * secondsPerDay);
        if (seconds >= 86400)
            return std::nullopt;
        return std::string_view(space.data(), timeOfDay(out, seconds));
    }
    // 2958466 is 10000-01-01 in the 1900 system; the year is checked below for 1904.
    if (!(serial >= (from1904 ? 0 : 1) && serial < 2958466))
        return std::nullopt;
    const double whole = std::floor(serial);
    long long day = static_cast<long long>(whole);
    long long seconds = std::llround((serial - whole) * secondsPerDay);
    if (seconds == 86400) {
        ++day;
        seconds = 0;
    }
    if (!from1904 && day == 60) {
        // Excel's 29 February 1900, a day that never was: shown as Excel shows it.
        out = isoDate(out, 1900, 2, 29);
    } else {
        // In the 1900 system 1 is 1900-01-01; after the day that never was, 61 is 1900-03-01.
        const sys_days epoch = from1904   ? sys_days{year{1904} / January / 1}
                               : day < 60 ? sys_days{year{1899} / December / 31}
                                          : sys_days{year{1899} / December / 30};
        const year_month_day date{epoch + days{day}};
        if (date.year() > year{9999})
            return std::nullopt;
        out = isoDate(out, static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                      static_cast<unsigned>(date.day()));
    }
    if (seconds != 0) {
        *out++ = 'T';
        out = timeOfDay(out, seconds);
    }
    return std::string_view(space.data(), out);
}

std::string_view isoDateText(std::string_view text) {
    constexpr std::size_t dateLength = 10; // yyyy-mm-dd
    if (text.size() <= dateLength || text[dateLength] != 'T')
        return text;
    std::string_view time = text.substr(dateLength + 1);
    if (!time.starts_with("00:00:00"))
        return text;
    time.remove_prefix(8);
    if (time.starts_with('.')) {
        time.remove_prefix(1);
        while (time.starts_with('0'))
            time.remove_prefix(1);
    }
    return time.empty() ? text.substr(0, dateLength) : text;
}

std::optional<CellReference> readCellReference(std::string_view text) {
    std::size_t i = 0;
    std::uint64_t column = 0;
    for (; i < text.size() && i < 4; ++i) {
        const char c = lowerCase(text[i]);
        if (c < 'a' || c > 'z')
            break;
        column = column * 26 + static_cast<std::uint64_t>(c - 'a' + 1);
    }
    if (i == 0 || column > maxColumns)
        return std::nullopt;
    std::uint64_t row = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data() + i, end, row);
    if (error != std::errc() || stop != end || text[i] == '0' || row > maxRows)
        return std::nullopt;
    return CellReference{column - 1, row};
}

std::string cellName(std::uint64_t column, std::uint64_t row) {
    std::string letters;
    for (std::uint64_t n = column + 1; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    return letters + std::to_string(row);
}

void decodeEscapes(std::string& text, std::size_t from) {
    std::size_t in = text.find("_x", from);
    if (in == std::string::npos)
        return;
    std::size_t out = in;
    while (in < text.size()) {
        if (const auto code = escapeAt(std::string_view(text).substr(in))) {
            out += writeUtf8(text.data() + out, *code); // at most 3 bytes for the 7 read
            in += 7;
        } else {
            text[out++] = text[in++];
        }
    }
    text.resize(out);
}

void RowBuilder::clear() {
    text_.clear();
    cellStart_ = 0;
    nextColumn_ = 0;
    finished_ = 0;
    bounds_.clear();
}

bool RowBuilder::append(std::string_view piece) {
    if (piece.size() > textCap_ - std::min<std::uint64_t>(text_.size(), textCap_))
        return false;
    text_.append(piece);
    return true;
}

bool RowBuilder::append(std::size_t count, char c) {
    if (count > textCap_ - std::min<std::uint64_t>(text_.size(), textCap_))
        return false;
    text_.append(count, c);
    return true;
}

bool RowBuilder::replaceCell(std::string_view text) {
    text_.resize(cellStart_);
    return append(text);
}

bool RowBuilder::endCell(std::uint64_t column, std::uint64_t repeat) {
    // Far past any sheet, and far from the largest number: empty cells may add up to it.
    constexpr std::uint64_t farColumn = 1ull << 48;
    const std::size_t length = text_.size() - cellStart_;
    if (length == 0 || column < bounds_.size()) {
        text_.resize(cellStart_);
        nextColumn_ = std::min(column, farColumn) + std::min(repeat, farColumn);
        return length == 0;
    }
    if (column >= maxColumns || repeat > maxColumns - column)
        return false;
    bounds_.resize(static_cast<std::size_t>(column), {0, 0});
    bounds_.insert(bounds_.end(), static_cast<std::size_t>(repeat), {cellStart_, length});
    finished_ += length * repeat;
    cellStart_ = text_.size();
    nextColumn_ = column + repeat;
    return true;
}

std::span<const std::string_view> RowBuilder::fields() {
    fields_.clear();
    for (const auto& [offset, length] : bounds_)
        fields_.emplace_back(text_.data() + offset, length);
    return fields_;
}

} // namespace dovrin::workbook
