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

} // namespace

std::string LoopbackServer::http(int status, const std::string& body, const std::string& type) {
    return "HTTP/1.1 " + std::to_string(status) + " Scripted\r\nContent-Type: " + type +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

LoopbackServer::LoopbackServer(const std::string& certificate) : server_(std::make_unique<QSslServer>()) {
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate(fixture(certificate + ".pem")));
    tls.setPrivateKey(QSslKey(fixture(certificate + "-key.pem"), QSsl::Ec));
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    server_->setSslConfiguration(tls);
    QObject::connect(server_.get(), &QTcpServer::pendingConnectionAvailable, server_.get(), [this] {
        while (QTcpSocket* socket = server_->nextPendingConnection()) {
            auto pending = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, pending] {
                const QByteArray bytes = socket->readAll();
                received += bytes;
                *pending += bytes;
                const auto headEnd = pending->indexOf("\r\n\r\n");
                if (headEnd < 0)
                    return;
                const QByteArray head = pending->left(headEnd);
                const auto at = head.toLower().indexOf("content-length:");
                const auto end = head.indexOf('\r', at);
                const qsizetype length = at < 0 ? 0 : head.mid(at + 15, end < 0 ? -1 : end - at - 15).trimmed().toLongLong();
                if (pending->size() < headEnd + 4 + length)
                    return;
                requests.push_back({head.toStdString(), pending->mid(headEnd + 4, length).toStdString()});
                pending->clear();
                std::string answer = fallback;
                if (!answers.empty()) {
                    answer = answers.front();
                    answers.pop_front();
                }
                if (answer.empty())
                    return;
                socket->write(answer.data(), qint64(answer.size()));
                socket->disconnectFromHost(); // once the bytes are out
            });
        }
    });
    if (!server_->listen(QHostAddress::LocalHost))
        throw std::runtime_error("cannot listen on 127.0.0.1");
}

LoopbackServer::~LoopbackServer() = default;

QUrl LoopbackServer::url() const {
    return QUrl(QStringLiteral("https://127.0.0.1:%1/functions/v1/checkin").arg(server_->serverPort()));
}

QList<QSslCertificate> LoopbackServer::authority() { return {QSslCertificate(fixture("test-ca.pem"))}; }

bool waitUntil(const std::function<bool()>& done, int guard) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(1);
    QTimer::singleShot(guard, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

} // namespace pellora::testing
