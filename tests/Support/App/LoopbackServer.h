#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QUrl>
#include <QCoro/QCoroTask>

#include "App/VirtualTime.h"

namespace pellora::testing {

// An HTTPS server on 127.0.0.1 with a certificate of the test authority (tests/fixtures/tls),
// answering from a script and keeping every byte it receives after decryption.
class LoopbackServer {
public:
    struct Answer {
        std::string bytes;   // written as they are
        bool silent = false; // read the request, never answer

        // A whole HTTP/1.1 answer with Content-Length and Connection: close.
        static Answer http(int status, const std::string& body,
                           const std::string& contentType = "application/json");
        // Headers promising `promised` bytes, then only `body`, then the connection closes.
        static Answer cutShort(const std::string& body, std::size_t promised);
        static Answer never();
    };

    struct Request {
        std::string method;
        std::string path;
        std::vector<std::pair<std::string, std::string>> headers; // names in lower case
        std::string body;
        std::vector<std::string> header(const std::string& name) const;
    };

    // `certificate` names a pair in the fixtures: "loopback" (127.0.0.1) or "elsewhere".
    explicit LoopbackServer(const std::string& certificate = "loopback");
    ~LoopbackServer();

    // https://127.0.0.1:<port>/functions/v1/checkin
    QUrl url() const;
    // The test authority, to trust in a client.
    static QList<QSslCertificate> authority();

    // Answers in order; once they run out, `fallback`.
    std::deque<Answer> answers;
    Answer fallback = Answer::http(200, "{}");

    const std::vector<Request>& requests() const;
    // Every byte received on every connection, in arrival order per connection.
    QByteArray received() const;
    // TLS handshakes that did not complete (the client refused the certificate).
    int failedHandshakes() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Runs the event loop until `done` holds or `guard` milliseconds of real time have passed
// (the loopback I/O is real; nothing is slept). False when the guard ran out.
bool waitUntil(const std::function<bool()>& done, int guard = 15000);

// Runs `task` to its end on the real event loop (virtual clocks stand still meanwhile).
// Rethrows the task's exception; throws std::logic_error when it has not ended in time.
template <class T> T runOnNetwork(QCoro::Task<T> task, int guard = 15000) {
    detail::Outcome<T> outcome;
    auto runner = detail::capture(std::move(task), outcome);
    if (!waitUntil([&] { return outcome.done; }, guard))
        throw std::logic_error("no end within the guard time");
    if (outcome.error)
        std::rethrow_exception(outcome.error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*outcome.value);
}

} // namespace pellora::testing
