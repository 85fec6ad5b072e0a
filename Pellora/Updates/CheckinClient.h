#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include <QList>
#include <QSslCertificate>
#include <QUrl>
#include <QCoro/QCoroTask>

#include "Pellora/Platform/CancelToken.h"
#include "Pellora/Platform/Clock.h"
#include "Pellora/Updates/BackendConfig.h"
#include "Pellora/Updates/ServerError.h"
#include "Pellora/Updates/TransportError.h"
#include "PelloraCore/CheckinRequest.h"
#include "PelloraCore/CheckinResponse.h"

// Sends one check-in to the endpoint and returns the decoded answer. Holds no state and never
// retries; scheduling and what the user is told belong to the update manager.
namespace pellora::CheckinClient {

// An answer whose status is not 200, and no whole answer at all; downloads share both.
using ServerError = pellora::ServerError;

using TransportError = pellora::TransportError;

// Where and how a check-in goes. Verification of the server's certificate is always on;
// `extraCertificates` only adds trust anchors (a test's own authority).
struct Transport {
    QUrl url = BackendConfig::checkinURL();
    // The whole exchange, from sending to the last byte of the answer.
    Clock::Duration timeout{20.0};
    QList<QSslCertificate> extraCertificates;
    // Answers longer than this are refused rather than read.
    std::size_t maxAnswerBytes = 1024 * 1024;
};

// POSTs the request as compact snake-case JSON. Throws ServerError for any status but 200,
// Checkin::DecodingError for a 200 that does not decode, TransportError when no whole answer
// came, and Cancelled when `cancel` fires first. The time-out runs on `clock`.
QCoro::Task<CheckinResponse> send(CheckinRequest request, Clock& clock, Transport transport = {},
                                  CancelToken cancel = {});

} // namespace pellora::CheckinClient
