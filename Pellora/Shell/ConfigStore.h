#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include <QObject>

#include "PelloraCore/Config.h"

namespace pellora {

// The one live configuration. Loads config.json at creation; every assignment notifies
// observers and then saves (a failed save is swallowed; the next assignment tries again).
//
// config.json may also be edited by hand while the application runs. The store remembers
// what it last read or wrote; when the file holds something else by the time of an
// assignment, the assignment's own changes are laid over the file's document, so neither
// side's edits are lost. A file that cannot be read as a configuration, or whose edit
// collides with the assignment's, is kept beside it as config.json.bak before it is replaced.
class ConfigStore : public QObject {
    Q_OBJECT
public:
    explicit ConfigStore(QObject* parent = nullptr);
    ConfigStore(std::filesystem::path file, QObject* parent = nullptr);

    const Config& config() const { return config_; }
    void setConfig(const Config& config);
    const std::filesystem::path& url() const { return url_; }

    // Takes in a document changed on disk by someone else, keeping unsaved changes of our
    // own. True when the live configuration changed (observers were told).
    bool reloadIfChangedOnDisk();

signals:
    void configChanged();

private:
    // The file's bytes, or absent when it cannot be read.
    std::optional<std::string> readFile() const;
    // The document on disk when it differs from what the store last saw; absent otherwise.
    // Keeps a copy of a file that does not decode.
    std::optional<Config> changedOnDisk(const std::optional<std::string>& bytes);
    void keepCopy(const std::string& bytes) const;
    Config layOver(const Config& ours, const Config& theirs, const std::string& theirBytes) const;

    std::filesystem::path url_;
    Config config_;
    // What the file held when the store last read or wrote it, and that document.
    std::optional<std::string> seen_;
    bool seenIsDocument_ = false;
    Config synced_;
};

} // namespace pellora
