#include "DeviceID.h"

#include <filesystem>
#include <system_error>

#include <QFile>
#include <QSaveFile>
#include <QString>

#include "Pellora/Platform/UserFolders.h"
#include "PelloraCore/Text.h"
#include "PelloraCore/Uuid.h"

namespace pellora::DeviceID {
namespace {

std::filesystem::path file() { return UserFolders::pelloraSupport() / "device-id"; }

QString qtPath(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

// The stored identifier in lower case, or absent when the file is missing, unreadable, not
// UTF-8 or does not hold a UUID.
std::optional<std::string> stored() {
    QFile stored(qtPath(file()));
    if (!stored.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = stored.readAll();
    if (stored.error() != QFileDevice::NoError || !QUtf8StringView(bytes).isValidUtf8())
        return std::nullopt;
    const std::string text = Text::trimmed(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    if (!Uuid::isValid(text))
        return std::nullopt;
    return Text::lowercased(text);
}

} // namespace

std::string current() {
    if (auto id = stored())
        return *id;
    const std::string id = Uuid::random();
    std::error_code ignored;
    std::filesystem::create_directories(file().parent_path(), ignored);
    // Written whole or not at all; when it cannot be stored the identifier is still used.
    QSaveFile saved(qtPath(file()));
    if (saved.open(QIODevice::WriteOnly) && saved.write(id.data(), qint64(id.size())) == qint64(id.size()))
        saved.commit();
    return id;
}

void reset() {
    std::error_code ignored; // a missing file is as good as removed
    std::filesystem::remove(file(), ignored);
}

} // namespace pellora::DeviceID
