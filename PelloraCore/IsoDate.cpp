#include "IsoDate.h"

#include <algorithm>

namespace pellora::IsoDate {
namespace {

using namespace std::chrono;

void twoDigits(char* out, unsigned value) {
    out[0] = char('0' + value / 10);
    out[1] = char('0' + value % 10);
}

// Reads `count` ASCII digits; -1 when any of them is not one.
int digits(std::string_view text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

} // namespace

void formatInto(sys_seconds date, char (&out)[20]) {
    const auto day = floor<days>(date);
    const year_month_day ymd{day};
    const hh_mm_ss time{date - day};
    // Years outside 0–9999 cannot be written in this form; clamp rather than overflow.
    const int year = std::clamp(int(ymd.year()), 0, 9999);
    twoDigits(out, unsigned(year / 100));
    twoDigits(out + 2, unsigned(year % 100));
    out[4] = '-';
    twoDigits(out + 5, unsigned(ymd.month()));
    out[7] = '-';
    twoDigits(out + 8, unsigned(ymd.day()));
    out[10] = 'T';
    twoDigits(out + 11, unsigned(time.hours().count()));
    out[13] = ':';
    twoDigits(out + 14, unsigned(time.minutes().count()));
    out[16] = ':';
    twoDigits(out + 17, unsigned(time.seconds().count()));
    out[19] = 'Z';
}

std::string format(sys_seconds date) {
    char buffer[20];
    formatInto(date, buffer);
    return std::string(buffer, sizeof buffer);
}

std::optional<sys_seconds> parse(std::string_view text) {
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != 'Z')
        return std::nullopt;
    const int y = digits(text, 0, 4), mo = digits(text, 5, 2), d = digits(text, 8, 2);
    const int h = digits(text, 11, 2), mi = digits(text, 14, 2), s = digits(text, 17, 2);
    if (y < 0 || mo < 0 || d < 0 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59)
        return std::nullopt;
    const year_month_day ymd{year{y}, month{unsigned(mo)}, day{unsigned(d)}};
    if (!ymd.ok())
        return std::nullopt;
    return sys_days{ymd} + hours{h} + minutes{mi} + seconds{s};
}

} // namespace pellora::IsoDate
