#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "PelloraCore/AppVersion.h"
#include "PelloraCore/Checkin.h"
#include "PelloraCore/IsoDate.h"

using namespace pellora;
using Parts = std::vector<std::int64_t>;
using AppVersion::Ordering;

TEST(AppVersion, PartsAreTheLeadingNumbersBetweenFullStops) {
    const std::pair<const char*, Parts> cases[] = {
        {"2.0b3", {2, 0}}, {"v1", {0}}, {"1..2", {1, 2}}, {".1.2.", {1, 2}}, {"", {}}, {"...", {}},
        {"14.5-beta.007", {14, 5, 7}},
        // Numeric but not ASCII digits, and runs too long for 64 bits, read as 0.
        {"\u0663.\u00B2.4", {0, 0, 4}},
        // A numeral that is a letter by category still belongs to the run, so the run no
        // longer reads as a number.
        {"3\u4E94.1", {0, 1}}, {"\u4E94", {0}}, {"12\u4E07b.5", {0, 5}},
        {"9223372036854775807.9223372036854775808", {9223372036854775807, 0}},
    };
    for (const auto& [text, parts] : cases)
        EXPECT_EQ(AppVersion::parts(text), parts) << text;
}

TEST(AppVersion, ComparesPartByPartWithMissingPartsAsZero) {
    struct Case {
        const char* a;
        const char* b;
        Ordering expected;
    };
    const Case cases[] = {
        {"1.2", "1.2.0", Ordering::same},           {"1.10", "1.9", Ordering::descending},
        {"1.9", "1.10", Ordering::ascending},       {"1.2.3.1", "1.2.3", Ordering::descending},
        {"2.0b3", "2.0", Ordering::same},           {"", "0", Ordering::same},
        {"", "0.0.1", Ordering::ascending},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AppVersion::compare(c.a, c.b), c.expected) << c.a << " vs " << c.b;
    EXPECT_TRUE(AppVersion::isNewer("1.10", "1.9"));
    EXPECT_FALSE(AppVersion::isNewer("1.2.0", "1.2"));
    EXPECT_FALSE(AppVersion::isNewer("1.9", "1.10"));
}

TEST(Checkin, MeetsMinimumUnlessTheSystemIsOlder) {
    EXPECT_TRUE(Checkin::meetsMinimum("14.5.0", "14.5"));
    EXPECT_FALSE(Checkin::meetsMinimum("14.5.0", "15"));
    EXPECT_TRUE(Checkin::meetsMinimum("14.5.0", ""));
    EXPECT_TRUE(Checkin::meetsMinimum("14.5.0", std::nullopt));
    EXPECT_TRUE(Checkin::meetsMinimum("15.0.1", "15"));
}

namespace {

CheckinRequest request(CheckinRequest::Event event) {
    return {.deviceId = "0f8fad5b-d9cb-469f-a165-70867728950e", .event = event, .action = std::nullopt,
            .analytics = false, .wantsUpdate = true, .appVersion = "1.2.0", .macosVersion = "14.5.0",
            .osLanguage = "zh-Hant"};
}

} // namespace

TEST(Checkin, EncodesRequestsCompactlyWithSnakeCaseKeysButValuesUnchanged) {
    const auto body = Checkin::encode(request(CheckinRequest::Event::updateCheck));
    EXPECT_EQ(body, R"({"device_id":"0f8fad5b-d9cb-469f-a165-70867728950e","event":"update_check",)"
                    R"("analytics":false,"wants_update":true,"app_version":"1.2.0",)"
                    R"("macos_version":"14.5.0","os_language":"zh-Hant"})");
    EXPECT_EQ(Checkin::decodeRequest(body), request(CheckinRequest::Event::updateCheck));
}

TEST(Checkin, EventsAndTheEraseAction) {
    // Only the erase request carries an action.
    const std::pair<CheckinRequest::Event, const char*> events[] = {
        {CheckinRequest::Event::open, "open"},
        {CheckinRequest::Event::updateCheck, "update_check"},
        {CheckinRequest::Event::consentChange, "consent_change"},
    };
    for (const auto& [event, wire] : events) {
        const auto body = nlohmann::json::parse(Checkin::encode(request(event)));
        EXPECT_EQ(body["event"], wire);
        EXPECT_FALSE(body.contains("action")) << wire;
    }
    auto erase = request(CheckinRequest::Event::consentChange);
    erase.action = std::string(CheckinRequest::eraseAction);
    const auto body = nlohmann::json::parse(Checkin::encode(erase));
    EXPECT_EQ(body["action"], "erase");
    EXPECT_EQ(body["event"], "consent_change");

    auto camel = body;
    camel["event"] = "updateCheck";
    EXPECT_THROW(Checkin::decodeRequest(camel.dump()), Checkin::DecodingError);
}

TEST(Checkin, DecodesResponsesWithOptionalFieldsAbsentOrNull) {
    EXPECT_EQ(Checkin::decodeResponse("{}"), CheckinResponse{});
    EXPECT_EQ(Checkin::decodeResponse(R"({"latest_version":null,"update":null})"), CheckinResponse{});
    EXPECT_EQ(Checkin::decodeResponse(R"({"latest_version":"2.1","message":"hello","extra":[1,{}]})"),
              (CheckinResponse{"2.1", std::nullopt}));

    const auto response = Checkin::decodeResponse(
        R"({"update":{"version":"2.1","notes":null,"sha256":"AB12","min_macos":"14.0",)"
        R"("url":"https://example.com/Tovrin-2.1.dmg","size":123}})");
    UpdateInfo expected{"2.1", std::nullopt, "AB12", "14.0", "https://example.com/Tovrin-2.1.dmg"};
    EXPECT_EQ(response, (CheckinResponse{std::nullopt, expected}));
    // A key without underscores is matched as it stands.
    EXPECT_EQ(Checkin::decodeResponse(R"({"latestVersion":"3"})").latestVersion, "3");
    // Snake-case keys in capitals name the same fields.
    EXPECT_EQ(Checkin::decodeResponse(R"({"LATEST_VERSION":"4"})").latestVersion, "4");
}

TEST(Checkin, AnyMissingRequiredFieldOrWrongTypeFailsTheWholeResponse) {
    const char* bodies[] = {
        // an update without "sha256"
        R"({"latest_version":"2.1","update":{"version":"2.1","url":"https://example.com/a.dmg"}})",
        // a "url" that is not a URL, or not an absolute one
        R"({"update":{"version":"2.1","sha256":"ab","url":"not a url"}})",
        R"({"update":{"version":"2.1","sha256":"ab","url":"/relative/a.dmg"}})",
        // wrong types
        R"({"latest_version":2})",
        R"({"update":{"version":2.1,"sha256":"ab","url":"https://example.com/a.dmg"}})",
        R"({"update":{"version":"2.1","sha256":"ab","min_macos":14,"url":"https://example.com/a.dmg"}})",
        R"({"update":"2.1"})",
        // not an object, not JSON
        R"([])",
        R"(null)",
        R"({"latest_version":"2.1")",
        "",
    };
    for (const char* body : bodies)
        EXPECT_THROW(Checkin::decodeResponse(body), Checkin::DecodingError) << body;

    try {
        Checkin::decodeResponse("[]");
        ADD_FAILURE();
    } catch (const Checkin::DecodingError& error) {
        EXPECT_EQ(error.description(), "The data couldn't be read because it isn't in the correct format.");
    }
}

TEST(Checkin, ResponsesRoundTrip) {
    const CheckinResponse response{
        "2.1", UpdateInfo{"2.1", "Fixes \"quotes\" → and more", "ab", std::nullopt, "https://example.com/a.dmg"}};
    const auto body = Checkin::encode(response);
    EXPECT_EQ(body, R"({"latest_version":"2.1","update":{"version":"2.1","notes":"Fixes \"quotes\" → and more",)"
                    R"("sha256":"ab","url":"https://example.com/a.dmg"}})");
    EXPECT_EQ(Checkin::decodeResponse(body), response);
}

TEST(IsoDate, FormatsAndParsesWholeSecondsInUtc) {
    using namespace std::chrono;
    const sys_seconds date = sys_days{2026y / December / 5} + 6h + 19min + 3s;
    EXPECT_EQ(IsoDate::format(date), "2026-12-05T06:19:03Z");
    EXPECT_EQ(IsoDate::format(date + 999ms), "2026-12-05T06:19:03Z");
    EXPECT_EQ(IsoDate::parse("2026-12-05T06:19:03Z"), date);
    EXPECT_EQ(IsoDate::parse("2024-02-29T23:59:59Z"), sys_days{2024y / February / 29} + 23h + 59min + 59s);
    for (const char* text : {"2026-12-05T06:19:03", "2026-12-05 06:19:03Z", "2026-12-05T06:19:03.000Z",
                             "2026-12-05T06:19:03+00:00", "2025-02-29T00:00:00Z", "2026-13-01T00:00:00Z",
                             "2026-12-05T24:00:00Z", "2026-12-05T06:60:00Z", "2026-12-05t06:19:03z",
                             "+026-12-05T06:19:03Z", ""})
        EXPECT_EQ(IsoDate::parse(text), std::nullopt) << text;
}
