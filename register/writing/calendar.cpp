#include "calendar.h"

#include <charconv>
#include <ctime>

#ifndef DOVRIN_VERSION
#define DOVRIN_VERSION "unknown"
#endif

namespace dovrin {

namespace {

using namespace std::chrono;

constexpr std::string_view lineEnd = "\r\n";
constexpr std::size_t longestLine = 75; // octets, the line end aside

std::string_view dutyName(Duty duty) {
    switch (duty) {
    case Duty::leakTest:
        return "leak-test";
    case Duty::inventory:
        return "inventory";
    case Duty::workingLifeEnd:
        break;
    }
    return "working-life-end";
}

std::string_view dutyTitle(Duty duty) {
    switch (duty) {
    case Duty::leakTest:
        return "Leak test due";
    case Duty::inventory:
        return "Physical inventory due";
    case Duty::workingLifeEnd:
        break;
    }
    return "End of working life";
}

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Appends one content line, folded: a line longer than 75 octets goes on in lines that begin
// with one blank, and no cut falls inside a UTF-8 sequence.
void appendLine(std::string& out, std::string_view line) {
    std::size_t room = longestLine;
    while (line.size() > room) {
        std::size_t cut = room;
        while (cut > 1 && isContinuationByte(line[cut]))
            --cut;
        out += line.substr(0, cut);
        out += lineEnd;
        out += ' ';
        line.remove_prefix(cut);
        room = longestLine - 1; // the blank counts
    }
    out += line;
    out += lineEnd;
}

// A TEXT value: backslash, ';' and ',' escaped, a line break written as \n, and the other
// control characters, which TEXT cannot hold, written as blanks.
void appendText(std::string& out, std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' || c == ';' || c == ',') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            if (i + 1 == text.size() || text[i + 1] != '\n')
                out += "\\n"; // a CR alone ends a line too; a CRLF ends it once
        } else if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) {
            out += ' ';
        } else {
            out += c;
        }
    }
}

void appendDigits(std::string& out, unsigned value, int width) {
    char digits[8];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    for (auto written = end - digits; written < width; ++written)
        out += '0';
    out.append(digits, end);
}

// yyyymmdd
void appendDate(std::string& out, year_month_day date) {
    appendDigits(out, static_cast<unsigned>(static_cast<int>(date.year())), 4);
    appendDigits(out, static_cast<unsigned>(date.month()), 2);
    appendDigits(out, static_cast<unsigned>(date.day()), 2);
}

void appendSourceName(std::string& out, SourceKey source) {
    if (source.id.empty()) {
        out += "row ";
        char digits[24];
        out.append(digits, std::to_chars(digits, digits + sizeof digits, source.row).ptr);
    } else {
        out += source.id;
    }
}

} // namespace

std::string eventUid(SourceKey source, Duty duty) {
    constexpr std::string_view hex = "0123456789ABCDEF";
    std::string uid(dutyName(duty));
    if (source.id.empty()) {
        uid += "-row-";
        char digits[24];
        uid.append(digits, std::to_chars(digits, digits + sizeof digits, source.row).ptr);
    } else {
        uid += "-id-";
        for (const char c : source.id) {
            const auto byte = static_cast<unsigned char>(c);
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                c == '-' || c == '.') {
                uid += c;
            } else {
                uid += '_';
                uid += hex[byte >> 4];
                uid += hex[byte & 0xF];
            }
        }
    }
    return uid + "@dovrin-register";
}

void appendCalendarStart(std::string& out) {
    appendLine(out, "BEGIN:VCALENDAR");
    appendLine(out, "VERSION:2.0");
    appendLine(out, "PRODID:-//Dovrin//dovrin-register " DOVRIN_VERSION "//EN");
    appendLine(out, "CALSCALE:GREGORIAN");
}

void appendCalendarEvent(std::string& out, const CalendarEvent& event, sys_seconds stamp) {
    std::string line;
    appendLine(out, "BEGIN:VEVENT");
    line = "UID:";
    appendText(line, eventUid(event.source, event.duty));
    appendLine(out, line);

    const auto stampDay = floor<days>(stamp);
    const hh_mm_ss time{stamp - stampDay};
    line = "DTSTAMP:";
    appendDate(line, year_month_day{stampDay});
    line += 'T';
    appendDigits(line, static_cast<unsigned>(time.hours().count()), 2);
    appendDigits(line, static_cast<unsigned>(time.minutes().count()), 2);
    appendDigits(line, static_cast<unsigned>(time.seconds().count()), 2);
    line += 'Z';
    appendLine(out, line);

    line = "DTSTART;VALUE=DATE:";
    appendDate(line, event.on);
    appendLine(out, line);

    std::string summary(dutyTitle(event.duty));
    summary += ": ";
    appendSourceName(summary, event.source);
    summary += " (";
    summary += event.radionuclide;
    summary += ')';
    line = "SUMMARY:";
    appendText(line, summary);
    appendLine(out, line);

    if (!event.location.empty()) {
        line = "LOCATION:";
        appendText(line, event.location);
        appendLine(out, line);
    }
    appendLine(out, "TRANSP:TRANSPARENT");
    appendLine(out, "END:VEVENT");
}

void appendCalendarEnd(std::string& out) {
    appendLine(out, "END:VCALENDAR");
}

sys_seconds universalTime(LocalTime local) {
    const auto day = floor<days>(local);
    const year_month_day date{day};
    const hh_mm_ss time{floor<seconds>(local - day)};
    std::tm broken{};
    broken.tm_year = static_cast<int>(date.year()) - 1900;
    broken.tm_mon = static_cast<int>(static_cast<unsigned>(date.month())) - 1;
    broken.tm_mday = static_cast<int>(static_cast<unsigned>(date.day()));
    broken.tm_hour = static_cast<int>(time.hours().count());
    broken.tm_min = static_cast<int>(time.minutes().count());
    broken.tm_sec = static_cast<int>(time.seconds().count());
    broken.tm_isdst = -1; // as the time zone has it on that day
    const std::time_t sinceEpoch = std::mktime(&broken);
    if (sinceEpoch == static_cast<std::time_t>(-1))
        return sys_seconds{floor<seconds>(local.time_since_epoch())}; // no zone: taken as UTC
    return sys_seconds{seconds{sinceEpoch}};
}

} // namespace dovrin
