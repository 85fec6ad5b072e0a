#include "JsonFields.h"

#include <cmath>
#include <limits>

namespace pellora::JsonFields {

void fail(const nlohmann::json& at, const std::string& message) {
    throw nlohmann::json::type_error::create(302, message + " (found " + at.type_name() + ")", &at);
}

void requireObject(const nlohmann::json& value) {
    if (!value.is_object())
        fail(value, "expected an object");
}

const nlohmann::json* member(const nlohmann::json& object, std::string_view key) {
    requireObject(object);
    const auto found = object.find(std::string(key));
    if (found == object.end() || found->is_null())
        return nullptr;
    return &*found;
}

std::string string(const nlohmann::json& value) {
    if (!value.is_string())
        fail(value, "expected a string");
    return value.get_ref<const std::string&>();
}

bool boolean(const nlohmann::json& value) {
    if (!value.is_boolean())
        fail(value, "expected a boolean");
    return value.get<bool>();
}

double number(const nlohmann::json& value) {
    if (!value.is_number())
        fail(value, "expected a number");
    return value.get<double>();
}

std::int64_t integer(const nlohmann::json& value) {
    if (value.is_number_integer() && !value.is_number_unsigned())
        return value.get<std::int64_t>();
    if (value.is_number_unsigned()) {
        const auto unsignedValue = value.get<std::uint64_t>();
        if (unsignedValue > std::uint64_t(std::numeric_limits<std::int64_t>::max()))
            fail(value, "integer out of range");
        return std::int64_t(unsignedValue);
    }
    if (value.is_number_float()) {
        const double real = value.get<double>();
        // [-2^63, 2^63): the doubles that convert to int64 exactly.
        constexpr double limit = 9223372036854775808.0;
        if (std::isfinite(real) && std::trunc(real) == real && real >= -limit && real < limit)
            return std::int64_t(real);
        fail(value, "expected an integral number");
    }
    fail(value, "expected an integer");
}

std::optional<std::string> optionalString(const nlohmann::json& object, std::string_view key) {
    if (const auto* value = member(object, key))
        return string(*value);
    return std::nullopt;
}

std::optional<bool> optionalBoolean(const nlohmann::json& object, std::string_view key) {
    if (const auto* value = member(object, key))
        return boolean(*value);
    return std::nullopt;
}

std::optional<double> optionalNumber(const nlohmann::json& object, std::string_view key) {
    if (const auto* value = member(object, key))
        return number(*value);
    return std::nullopt;
}

std::optional<std::int64_t> optionalInteger(const nlohmann::json& object, std::string_view key) {
    if (const auto* value = member(object, key))
        return integer(*value);
    return std::nullopt;
}

} // namespace pellora::JsonFields
