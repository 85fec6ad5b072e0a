#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

namespace pellora {

// Dates for people to read: the locale's abbreviated date with its short time
// ("Dec 5, 2026, 6:19 AM" in American English, "05.12.2026, 06:19" in German).
class DateFormatter {
public:
    // `locale` is a BCP 47 or ICU locale name ("en-US", "de_DE"); `timeZone` an IANA zone
    // name, or empty for the system's zone.
    explicit DateFormatter(std::string_view locale, std::string_view timeZone = {});
    ~DateFormatter();
    DateFormatter(const DateFormatter&) = delete;
    DateFormatter& operator=(const DateFormatter&) = delete;

    std::string abbreviated(std::chrono::sys_seconds date) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace pellora
