#include "CheckinClient.h"

#include <memory>

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QCoro/QCoroNetworkReply>
#include <nlohmann/json.hpp>

#include "PelloraCore/Checkin.h"

namespace pellora::CheckinClient {
namespace {

// Why a request was stopped before its answer was whole.
struct Stop {
    bool timedOut = false;
    bool tooLarge = false;
    bool cancelled = false;
    bool any() const { return timedOut || tooLarge || cancelled; }
};

// Qt objects that may still be inside their own signal when the send ends.
struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};

// No usable HTTP answer: the network, a proxy or the protocol failed.
bool isTransportFailure(QNetworkReply::NetworkError error) {
    return (error > QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied) ||
           error == QNetworkReply::ProtocolUnknownError || error == QNetworkReply::ProtocolFailure;
}

std::optional<std::string> errorCode(const QByteArray& body) {
    const auto json = nlohmann::json::parse(body.begin(), body.end(), nullptr, false);
    if (!json.is_object())
        return std::nullopt;
    const auto found = json.find("error");
    if (found == json.end() || !found->is_string())
        return std::nullopt;
    return found->get<std::string>();
}

QNetworkRequest makeRequest(const Transport& transport) {
    QNetworkRequest http(transport.url);
    http.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    // No cookies, no cache, no stored credentials; the time-out is ours, on the clock.
    http.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    http.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    http.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    http.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    http.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    http.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    http.setTransferTimeout(0);
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!transport.extraCertificates.isEmpty())
        tls.addCaCertificates(transport.extraCertificates);
    http.setSslConfiguration(tls);
    return http;
}

} // namespace

QCoro::Task<CheckinResponse> send(CheckinRequest request, Clock& clock, Transport transport, CancelToken cancel) {
    if (cancel.isCancelled())
        throw Cancelled();
    const std::string body = Checkin::encode(request);

    // A manager of its own per send: nothing (connections, sessions, cookies) outlives it.
    std::unique_ptr<QNetworkAccessManager, DeleteLater> manager(new QNetworkAccessManager);
    const QPointer<QNetworkReply> reply = manager->post(makeRequest(transport), QByteArray::fromStdString(body));

    // Aborting from inside a timer or a signal would end the send under its caller's feet:
    // the abort is queued instead.
    const auto stop = std::make_shared<Stop>();
    const auto abort = [reply, stop](bool Stop::*reason) {
        if (stop->any())
            return;
        (*stop).*reason = true;
        if (reply)
            QMetaObject::invokeMethod(reply.data(), &QNetworkReply::abort, Qt::QueuedConnection);
    };
    const auto limit = qint64(transport.maxAnswerBytes);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, limit, abort] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > limit)
            abort(&Stop::tooLarge);
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, limit, abort] {
        if (reply->bytesAvailable() > limit)
            abort(&Stop::tooLarge);
    });
    const auto timer = clock.callAfter(transport.timeout, [abort] { abort(&Stop::timedOut); });
    const auto subscription = cancel.subscribe([abort] { abort(&Stop::cancelled); });

    co_await reply.data();

    clock.cancelCall(timer);
    cancel.unsubscribe(subscription);
    if (stop->cancelled)
        throw Cancelled();
    if (stop->timedOut)
        throw TransportError("The request timed out.");
    if (stop->tooLarge || reply->bytesAvailable() > limit)
        throw TransportError("The server's answer was too large to read.");

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (isTransportFailure(reply->error()) || (!status.isValid() && reply->error() != QNetworkReply::NoError))
        throw TransportError(reply->errorString().toStdString());
    const QByteArray answer = reply->readAll();
    if (status.isValid() && status.toInt() == 200)
        co_return Checkin::decodeResponse(std::string_view(answer.constData(), std::size_t(answer.size())));
    throw ServerError(status.isValid() ? status.toInt() : 0, errorCode(answer));
}

} // namespace pellora::CheckinClient
