#include "Bundle.h"

#include <map>
#include <system_error>

#include <QFile>
#include <QXmlStreamReader>

namespace pellora {
namespace {

namespace fs = std::filesystem;

// Skips the element the reader stands on, with everything inside it.
void skipValue(QXmlStreamReader& xml) { xml.skipCurrentElement(); }

// The top-level dictionary's text entries. Any other value kind is skipped, so a key whose
// value is not text reads as absent. Absent when the document is not a property list.
std::optional<std::map<std::string, std::string>> textEntries(QXmlStreamReader& xml) {
    if (!xml.readNextStartElement() || xml.name() != u"plist")
        return std::nullopt;
    if (!xml.readNextStartElement() || xml.name() != u"dict")
        return std::nullopt;
    std::map<std::string, std::string> entries;
    while (xml.readNextStartElement()) {
        if (xml.name() != u"key")
            return std::nullopt;
        const std::string key = xml.readElementText().toStdString();
        if (!xml.readNextStartElement())
            return std::nullopt;
        if (xml.name() == u"string")
            entries[key] = xml.readElementText().toStdString();
        else {
            entries.erase(key);
            skipValue(xml);
        }
    }
    if (xml.hasError())
        return std::nullopt;
    return entries;
}

std::optional<std::string> entry(const std::map<std::string, std::string>& entries, const char* key) {
    const auto found = entries.find(key);
    if (found == entries.end())
        return std::nullopt;
    return found->second;
}

} // namespace

std::string Bundle::version() const { return shortVersion.value_or("0.0.0"); }

std::optional<Bundle> Bundle::open(const fs::path& app) {
    QFile file(QString::fromStdString((app / "Contents" / "Info.plist").string()));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QXmlStreamReader xml(&file);
    const auto entries = textEntries(xml);
    if (!entries)
        return std::nullopt;
    return Bundle{app, entry(*entries, "CFBundleIdentifier"), entry(*entries, "CFBundleShortVersionString")};
}

std::optional<Bundle> Bundle::containing(const fs::path& executable) {
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(executable, error);
    if (error)
        resolved = executable;
    const fs::path macOS = resolved.parent_path();
    const fs::path contents = macOS.parent_path();
    const fs::path app = contents.parent_path();
    if (macOS.filename() != "MacOS" || contents.filename() != "Contents" || app.extension() != ".app")
        return std::nullopt;
    return open(app);
}

} // namespace pellora
