#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "PelloraCore/AppVersion.h"
#include "PelloraCore/Checkin.h"

using namespace pellora;
using Parts = std::vector<std::int64_t>;
using AppVersion::Ordering;
using Event = CheckinRequest::Event;

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
    const std::tuple<const char*, const char*, Ordering> cases[] = {
        {"1.2", "1.2.0", Ordering::same},     {"1.10", "1.9", Ordering::descending}, {"1.9", "1.10", Ordering::ascending},
        {"1.2.3.1", "1.2.3", Ordering::descending}, {"2.0b3", "2.0", Ordering::same}, {"", "0", Ordering::same},
        {"", "0.0.1", Ordering::ascending},
    };
    for (const auto& [a, b, expected] : cases) {
        EXPECT_EQ(AppVersion::compare(a, b), expected) << a << " vs " << b;
        EXPECT_EQ(AppVersion::isNewer(a, b), expected == Ordering::descending) << a << " vs " << b;
    }
    const std::pair<const char*, std::optional<std::string>> minimums[] = {
        {"14.5.0", "14.5"}, {"14.5.0", ""}, {"14.5.0", std::nullopt}, {"15.0.1", "15"}};
    for (const auto& [system, minimum] : minimums)
        EXPECT_TRUE(Checkin::meetsMinimum(system, minimum)) << system << " " << minimum.value_or("none");
    EXPECT_FALSE(Checkin::meetsMinimum("14.5.0", "15"));
}

TEST(Checkin, RequestsEncodeCompactlyWithSnakeCaseKeysAndOnlyEraseHasAnAction) {
    CheckinRequest request{"0f8fad5b-d9cb-469f-a165-70867728950e", Event::updateCheck, std::nullopt, false, true,
                           "1.2.0", "14.5.0", "zh-Hant"};
    const auto body = Checkin::encode(request);
    EXPECT_EQ(body, R"({"device_id":"0f8fad5b-d9cb-469f-a165-70867728950e","event":"update_check",)"
                    R"("analytics":false,"wants_update":true,"app_version":"1.2.0",)"
                    R"("macos_version":"14.5.0","os_language":"zh-Hant"})");
    EXPECT_EQ(Checkin::decodeRequest(body), request);
    const std::tuple<Event, std::optional<std::string>, const char*> events[] = {
        {Event::open, std::nullopt, "open"},
        {Event::consentChange, std::nullopt, "consent_change"},
        {Event::consentChange, "erase", "consent_change"},
    };
    for (const auto& [event, action, wire] : events) {
        request.event = event;
        request.action = action;
        const auto json = nlohmann::json::parse(Checkin::encode(request));
        EXPECT_EQ(json["event"], wire);
        EXPECT_EQ(json.contains("action"), action.has_value()) << wire;
        EXPECT_EQ(json.value("action", ""), action.value_or("")) << wire;
    }
    // Values are not converted: an event in camel case is no event.
    auto camel = nlohmann::json::parse(body);
    camel["event"] = "updateCheck";
    EXPECT_THROW(Checkin::decodeRequest(camel.dump()), Checkin::DecodingError);
}

TEST(Checkin, DecodesResponsesWithOptionalFieldsAbsentOrNull) {
    const UpdateInfo offer{"2.1", std::nullopt, "AB12", "14.0", "https://example.com/Tovrin-2.1.dmg"};
    const std::pair<const char*, CheckinResponse> cases[] = {
        {"{}", {}},
        {R"({"latest_version":null,"update":null})", {}},
        {R"({"latest_version":"2.1","message":"hello","extra":[1,{}]})", {"2.1", std::nullopt}},
        {R"({"update":{"version":"2.1","notes":null,"sha256":"AB12","min_macos":"14.0",)"
         R"("url":"https://example.com/Tovrin-2.1.dmg","size":123}})",
         {std::nullopt, offer}},
        // A key without underscores is matched as it stands; snake case in capitals names the field.
        {R"({"latestVersion":"3"})", {"3", std::nullopt}},
        {R"({"LATEST_VERSION":"4"})", {"4", std::nullopt}},
    };
    for (const auto& [body, response] : cases)
        EXPECT_EQ(Checkin::decodeResponse(body), response) << body;
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
        "[]", "null", R"({"latest_version":"2.1")", "",
    };
    for (const char* body : bodies) {
        try {
            Checkin::decodeResponse(body);
            ADD_FAILURE() << body << " decoded";
        } catch (const Checkin::DecodingError& error) {
            EXPECT_EQ(error.description(), "The data couldn't be read because it isn't in the correct format.");
        }
    }
}
