#include "LoopbackServer.h"

#include <QEventLoop>
#include <QFile>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTimer>

namespace pellora::testing {
namespace {

QByteArray fixture(const std::string& name) {
    QFile file(QString::fromStdString(std::string(PELLORA_FIXTURES) + "/tls/" + name));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("missing fixture " + name);
    return file.readAll();
}

std::string lower(std::string text) {
    for (auto& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string trimmed(const std::string& text) {
    const auto begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(" \t") + 1 - begin);
}

} // namespace

struct LoopbackServer::State {
    LoopbackServer* owner = nullptr;
    QSslServer server;
    std::vector<Request> requests;
    QByteArray received;
    int failedHandshakes = 0;

    void serve(QSslSocket* socket) {
        auto buffer = std::make_shared<QByteArray>();
        QObject::connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QSslSocket::readyRead, socket, [this, socket, buffer] {
            const QByteArray bytes = socket->readAll();
            received += bytes;
            *buffer += bytes;
            while (auto request = take(*buffer))
                respond(socket, *request);
        });
    }

    // One whole request off the front of `buffer`, if one has arrived.
    static std::optional<Request> take(QByteArray& buffer) {
        const auto headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return std::nullopt;
        const std::string head = buffer.left(headEnd).toStdString();
        Request request;
        std::size_t lineEnd = head.find("\r\n");
        const std::string first = head.substr(0, lineEnd);
        const auto space = first.find(' ');
        request.method = first.substr(0, space);
        request.path = first.substr(space + 1, first.rfind(' ') - space - 1);
        std::size_t length = 0;
        while (lineEnd != std::string::npos) {
            const std::size_t start = lineEnd + 2;
            lineEnd = head.find("\r\n", start);
            const std::string line = head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
            const auto colon = line.find(':');
            if (colon == std::string::npos)
                continue;
            request.headers.emplace_back(lower(line.substr(0, colon)), trimmed(line.substr(colon + 1)));
            if (request.headers.back().first == "content-length")
                length = std::stoul(request.headers.back().second);
        }
        if (std::size_t(buffer.size()) < std::size_t(headEnd) + 4 + length)
            return std::nullopt;
        request.body = buffer.mid(headEnd + 4, qsizetype(length)).toStdString();
        buffer.remove(0, headEnd + 4 + qsizetype(length));
        return request;
    }

    void respond(QSslSocket* socket, Request request) {
        requests.push_back(std::move(request));
        Answer answer = owner->fallback;
        if (!owner->answers.empty()) {
            answer = std::move(owner->answers.front());
            owner->answers.pop_front();
        }
        if (answer.silent)
            return;
        socket->write(answer.bytes.data(), qint64(answer.bytes.size()));
        socket->disconnectFromHost(); // after the bytes have gone out
    }
};

LoopbackServer::Answer LoopbackServer::Answer::http(int status, const std::string& body, const std::string& contentType) {
    return {"HTTP/1.1 " + std::to_string(status) + " Scripted\r\nContent-Type: " + contentType +
            "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body};
}

LoopbackServer::Answer LoopbackServer::Answer::cutShort(const std::string& body, std::size_t promised) {
    return {"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(promised) +
            "\r\n\r\n" + body};
}

LoopbackServer::Answer LoopbackServer::Answer::never() { return {{}, true}; }

std::vector<std::string> LoopbackServer::Request::header(const std::string& name) const {
    std::vector<std::string> values;
    for (const auto& [key, value] : headers)
        if (key == lower(name))
            values.push_back(value);
    return values;
}

LoopbackServer::LoopbackServer(const std::string& certificate) : state_(std::make_unique<State>()) {
    state_->owner = this;
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate(fixture(certificate + ".pem")));
    tls.setPrivateKey(QSslKey(fixture(certificate + "-key.pem"), QSsl::Ec));
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    state_->server.setSslConfiguration(tls);
    QObject::connect(&state_->server, &QSslServer::pendingConnectionAvailable, &state_->server, [state = state_.get()] {
        while (auto* socket = state->server.nextPendingConnection())
            state->serve(static_cast<QSslSocket*>(socket));
    });
    QObject::connect(&state_->server, &QSslServer::errorOccurred, &state_->server,
                     [state = state_.get()](QSslSocket*, QAbstractSocket::SocketError) { ++state->failedHandshakes; });
    if (!state_->server.listen(QHostAddress::LocalHost))
        throw std::runtime_error("cannot listen on 127.0.0.1");
}

LoopbackServer::~LoopbackServer() = default;

QUrl LoopbackServer::url() const {
    return QUrl(QStringLiteral("https://127.0.0.1:%1/functions/v1/checkin").arg(state_->server.serverPort()));
}

QList<QSslCertificate> LoopbackServer::authority() { return {QSslCertificate(fixture("test-ca.pem"))}; }

const std::vector<LoopbackServer::Request>& LoopbackServer::requests() const { return state_->requests; }
QByteArray LoopbackServer::received() const { return state_->received; }
int LoopbackServer::failedHandshakes() const { return state_->failedHandshakes; }

bool waitUntil(const std::function<bool()>& done, int guard) {
    if (done())
        return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(1);
    QTimer::singleShot(guard, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

} // namespace pellora::testing
