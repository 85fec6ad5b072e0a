// A check-in server's answer (and, the same rules the other way, a request body).
#include <optional>

#include "Fuzz/FuzzTarget.h"
#include "PelloraCore/Checkin.h"
#include "PelloraCore/Url.h"

PELLORA_FUZZ_TARGET(CheckinResponse) {
    using namespace pellora;
    // Decoding fails only with DecodingError; what decodes encodes and decodes back equal.
    std::optional<CheckinResponse> response;
    try {
        response = Checkin::decodeResponse(input);
    } catch (const Checkin::DecodingError& error) {
        FUZZ_CHECK(!error.description().empty());
    }
    if (response) {
        FUZZ_CHECK(Checkin::decodeResponse(Checkin::encode(*response)) == *response);
        if (response->update) {
            FUZZ_CHECK(Url::isAbsolute(response->update->url));
            Checkin::meetsMinimum("14.5.0", response->update->minMacos);
        }
    }
    std::optional<CheckinRequest> request;
    try {
        request = Checkin::decodeRequest(input);
    } catch (const Checkin::DecodingError&) {
    }
    if (request)
        FUZZ_CHECK(Checkin::decodeRequest(Checkin::encode(*request)) == *request);
}
