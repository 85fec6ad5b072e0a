#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "CheckinRequest.h"
#include "CheckinResponse.h"
#include "UserError.h"

// The coding rules of the check-in wire, and the minimum-system rule.
namespace pellora::Checkin {

// A body that does not read as the expected record.
class DecodingError : public UserError {
public:
    explicit DecodingError(std::string detail) : detail_(std::move(detail)) {}
    std::string description() const override;
    // What was wrong, for the log.
    const std::string& detail() const { return detail_; }

private:
    std::string detail_;
};

// The encoder's key strategy: "deviceId" → "device_id".
std::string wireKey(std::string_view fieldName);
// The decoder's key strategy: "min_macos" and "MIN_MACOS" → "minMacos"; a key without
// underscores between its words is unchanged. Leading and trailing underscores are kept.
std::string fieldName(std::string_view wireKey);
// `object` with every key passed through fieldName; when two keys name the same field, the
// first in key order is kept. Throws nlohmann::json::exception when it is not an object.
nlohmann::json withFieldNames(const nlohmann::json& object);

// Compact UTF-8 JSON, absent optional fields left out.
std::string encode(const CheckinRequest& request);
std::string encode(const CheckinResponse& response);
// Throws DecodingError.
CheckinResponse decodeResponse(std::string_view body);
CheckinRequest decodeRequest(std::string_view body);

// True when there is no minimum (absent or empty) or the system is not older than it.
bool meetsMinimum(std::string_view system, const std::optional<std::string>& minimum);

} // namespace pellora::Checkin
