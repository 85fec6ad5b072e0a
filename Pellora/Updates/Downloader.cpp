#include "Downloader.h"

#include <algorithm>
#include <memory>
#include <optional>

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QCoro/QCoroNetworkReply>

#include "Pellora/Updates/ServerError.h"
#include "Pellora/Updates/TransportError.h"
#include "Pellora/Updates/UpdateInstaller.h"

namespace pellora::UpdateInstaller {
namespace {

namespace fs = std::filesystem;

// As long as a download may go without receiving anything.
constexpr int idleTimeoutMilliseconds = 60'000;

struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};

// Removes the partial file unless the download got through.
struct PartialFile {
    fs::path path;
    bool keep = false;
    ~PartialFile() {
        if (!keep) {
            std::error_code ignored;
            fs::remove(path, ignored);
        }
    }
};

std::string cannotWrite(const QFile& file) {
    return "cannot write the update to " + file.fileName().toStdString() + ": " + file.errorString().toStdString();
}

} // namespace

QCoro::Task<fs::path> Downloader::download(std::string url, std::function<void(double)> progress, std::string extension) {
    const QUrl address(QString::fromStdString(url), QUrl::StrictMode);
    if (!address.isValid() || (address.scheme() != u"https" && address.scheme() != u"http"))
        throw TransportError(std::string("unsupported URL: ").append(url));

    const fs::path destination = temporaryItem("PLR-", extension);
    PartialFile partial{destination.parent_path() / ("." + destination.filename().string() + ".part")};
    QFile file(QString::fromStdString(partial.path.string()));
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        throw std::runtime_error(cannotWrite(file));

    // The manager is this download's alone: its cookies and connections go with it.
    const std::unique_ptr<QNetworkAccessManager, DeleteLater> manager(new QNetworkAccessManager);
    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(idleTimeoutMilliseconds);
    QNetworkReply* reply = manager->get(request);

    // The expected size counts only when the server announces it for the bytes as they come
    // (Qt unpacks compressed bodies, whose announced size is then of no use).
    const auto expectedSize = [reply]() -> qint64 {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        const QByteArray encoding = reply->rawHeader("Content-Encoding").trimmed().toLower();
        return length.isValid() && (encoding.isEmpty() || encoding == "identity") ? length.toLongLong() : 0;
    };
    qint64 written = 0;
    std::optional<std::string> writeError;
    auto drain = [&] {
        while (!writeError && reply->bytesAvailable() > 0) {
            const QByteArray chunk = reply->read(1 << 20);
            if (file.write(chunk) != chunk.size()) {
                writeError = cannotWrite(file);
                reply->abort();
                return;
            }
            written += chunk.size();
            if (const qint64 expected = expectedSize(); expected >= 1 && progress)
                progress(std::min(1.0, double(written) / double(expected)));
        }
    };
    const auto reading = QObject::connect(reply, &QNetworkReply::readyRead, reply, drain);
    auto watched = qCoro(reply); // named: GCC 12 mishandles temporaries inside co_await
    auto finished = watched.waitForFinished();
    co_await std::move(finished);
    QObject::disconnect(reading);
    drain();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && status.toInt() != 200)
        throw ServerError(status.toInt());
    if (writeError)
        throw std::runtime_error(*writeError);
    if (reply->error() != QNetworkReply::NoError)
        throw TransportError(reply->errorString().toStdString());
    if (!file.flush() || (file.close(), file.error() != QFileDevice::NoError))
        throw std::runtime_error(cannotWrite(file));
    fs::rename(partial.path, destination);
    partial.keep = true;
    co_return destination;
}

} // namespace pellora::UpdateInstaller
