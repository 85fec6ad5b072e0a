#include "ConfigStore.h"

#include <exception>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "Pellora/Platform/UserFolders.h"
#include "PelloraCore/FileContents.h"
#include "PelloraCore/FileDescriptor.h"

namespace pellora {
namespace {

std::optional<Config> decode(const std::string& bytes) {
    try {
        return nlohmann::json::parse(bytes).get<Config>();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// Three-way merge of one object's members: a member the caller changed (ours differs from
// base) takes ours, every other member keeps theirs. `nested` names members merged the same
// way one level down (the per-action settings). Sets `collided` when both sides changed a
// member differently.
nlohmann::json merge(const nlohmann::json& base, const nlohmann::json& ours, const nlohmann::json& theirs,
                     bool& collided, bool nested = false) {
    static const nlohmann::json absent;
    const auto at = [](const nlohmann::json& object, const std::string& key) -> const nlohmann::json& {
        const auto found = object.find(key);
        return found == object.end() ? absent : *found;
    };
    nlohmann::json result = theirs;
    nlohmann::json keys = nlohmann::json::object();
    for (const auto* side : {&base, &ours})
        for (const auto& [key, value] : side->items())
            keys[key] = true;
    for (const auto& [key, unused] : keys.items()) {
        const auto &b = at(base, key), &o = at(ours, key), &t = at(theirs, key);
        if (o == b)
            continue;
        if (!nested && key == "actions" && o.is_object() && b.is_object() && t.is_object()) {
            result[key] = merge(b, o, t, collided, true);
            continue;
        }
        if (t != b && t != o)
            collided = true;
        if (o.is_null())
            result.erase(key);
        else
            result[key] = o;
    }
    return result;
}

} // namespace

ConfigStore::ConfigStore(QObject* parent) : ConfigStore(UserFolders::pelloraSupport() / "config.json", parent) {}

ConfigStore::ConfigStore(std::filesystem::path file, QObject* parent)
    : QObject(parent), url_(std::move(file)), seen_(readFile()) {
    // What Config::load gives, from the bytes the store keeps to notice later edits.
    const auto loaded = seen_ ? decode(*seen_) : std::nullopt;
    seenIsDocument_ = loaded.has_value();
    config_ = loaded.value_or(Config{});
    synced_ = config_;
}

std::optional<std::string> ConfigStore::readFile() const { return FileContents::read(url_); }

void ConfigStore::keepCopy(const std::string& bytes) const {
    // Private like config.json itself, also when an older copy was left readable by others;
    // never through a link. A failure costs only the copy.
    const auto copy = std::filesystem::path(url_.string() + ".bak");
    const FileDescriptor fd(::open(copy.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.isOpen() || ::fchmod(fd.get(), 0600) != 0 || ::ftruncate(fd.get(), 0) != 0)
        return;
    const char* data = bytes.data();
    for (std::size_t left = bytes.size(); left > 0;) {
        const ssize_t written = ::write(fd.get(), data, left);
        if (written <= 0)
            break;
        data += written;
        left -= std::size_t(written);
    }
}

std::optional<Config> ConfigStore::changedOnDisk(const std::optional<std::string>& bytes) {
    if (!bytes)
        return std::nullopt;
    if (bytes == seen_) {
        if (!seenIsDocument_)
            keepCopy(*bytes);
        return std::nullopt;
    }
    auto theirs = decode(*bytes);
    if (!theirs)
        keepCopy(*bytes);
    return theirs;
}

// Our changes since the last sync laid over the document someone else wrote.
Config ConfigStore::layOver(const Config& ours, const Config& theirs, const std::string& theirBytes) const {
    bool collided = false;
    Config result = ours;
    try {
        result = merge(nlohmann::json(synced_), nlohmann::json(ours), nlohmann::json(theirs), collided).get<Config>();
    } catch (const std::exception&) {
        collided = true; // cannot happen with documents that each decode; keep ours
    }
    if (collided)
        keepCopy(theirBytes);
    return result;
}

void ConfigStore::setConfig(const Config& config) {
    const auto bytes = readFile();
    const auto theirs = changedOnDisk(bytes);
    config_ = theirs ? layOver(config, *theirs, *bytes) : config;
    emit configChanged();
    try {
        config_.save(url_);
        seen_ = readFile();
        seenIsDocument_ = true;
        synced_ = config_;
    } catch (const std::exception&) {
        // Nothing to tell the user: the live document keeps the change and the next
        // assignment saves it again.
    }
}

bool ConfigStore::reloadIfChangedOnDisk() {
    const auto bytes = readFile();
    if (!bytes || bytes == seen_)
        return false;
    const auto theirs = decode(*bytes);
    if (!theirs)
        return false; // half-typed, perhaps: the next save keeps a copy of it
    Config next = layOver(config_, *theirs, *bytes);
    seen_ = bytes;
    seenIsDocument_ = true;
    synced_ = *theirs;
    if (next == config_)
        return false;
    config_ = std::move(next);
    emit configChanged();
    return true;
}

} // namespace pellora
