#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QByteArray>
#include <QSslCertificate>
#include <QUrl>

#include "App/VirtualTime.h"

class QSslServer;

namespace pellora::testing {

// An HTTPS server on 127.0.0.1 with a certificate of the test-only authority in
// tests/fixtures/tls. Answers from a script and keeps every byte it receives, decrypted.
class LoopbackServer {
public:
    struct Request {
        std::string head; // request line and headers
        std::string body;
    };
    // A whole HTTP/1.1 answer; the server closes the connection after each answer.
    static std::string http(int status, const std::string& body, const std::string& type = "application/json");

    // "loopback" is made out to 127.0.0.1, "elsewhere" to another name.
    explicit LoopbackServer(const std::string& certificate = "loopback");
    ~LoopbackServer();

    // https://127.0.0.1:<port>/functions/v1/checkin
    QUrl url() const;
    static QList<QSslCertificate> authority();

    // Raw answers in order, then `fallback`; an empty answer is never sent.
    std::deque<std::string> answers;
    std::string fallback = http(200, "{}");
    std::vector<Request> requests;
    QByteArray received;

private:
    std::unique_ptr<QSslServer> server_;
};

// Runs the event loop until `done` holds or `guard` milliseconds of real time have passed
// (the loopback I/O is real; nothing sleeps). False when the guard ran out.
bool waitUntil(const std::function<bool()>& done, int guard = 15000);

// Runs `task` to its end on the event loop, virtual clocks standing still; rethrows its error.
template <class T> T runOnNetwork(QCoro::Task<T> task) {
    detail::Outcome<T> outcome;
    auto runner = detail::capture(std::move(task), outcome);
    if (!waitUntil([&] { return outcome.done; }))
        throw std::logic_error("no end within the guard time");
    if (outcome.error)
        std::rethrow_exception(outcome.error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*outcome.value);
}

} // namespace pellora::testing
