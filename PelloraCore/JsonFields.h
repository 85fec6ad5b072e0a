#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

// Strict reading of JSON documents: a present key must have exactly the expected type (no
// bool-to-number or number-to-bool conversions), and a null reads as absent.
namespace pellora::JsonFields {

// Throws a nlohmann::json::exception describing what is wrong with `at`.
[[noreturn]] void fail(const nlohmann::json& at, const std::string& message);

// The member `key` of an object, or nullptr when it is missing or null. Throws when
// `object` is not an object.
const nlohmann::json* member(const nlohmann::json& object, std::string_view key);

void requireObject(const nlohmann::json& value);
std::string string(const nlohmann::json& value);
bool boolean(const nlohmann::json& value);
// Any JSON number.
double number(const nlohmann::json& value);
// A JSON integer in range, or a number with an integral value in range.
std::int64_t integer(const nlohmann::json& value);

std::optional<std::string> optionalString(const nlohmann::json& object, std::string_view key);
std::optional<bool> optionalBoolean(const nlohmann::json& object, std::string_view key);
std::optional<double> optionalNumber(const nlohmann::json& object, std::string_view key);
std::optional<std::int64_t> optionalInteger(const nlohmann::json& object, std::string_view key);

// A raw-value enumeration: the value must be a string naming one of its cases.
template <class Enum> Enum rawValue(const nlohmann::json& value) {
    if (auto result = Enum::fromRawValue(string(value)))
        return *result;
    fail(value, "unknown raw value");
}

template <class Enum>
std::optional<Enum> optionalRawValue(const nlohmann::json& object, std::string_view key) {
    if (const auto* value = member(object, key))
        return rawValue<Enum>(*value);
    return std::nullopt;
}

} // namespace pellora::JsonFields
