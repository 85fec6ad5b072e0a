#pragma once

#include <filesystem>
#include <vector>

#include <QObject>

#include "PelloraCore/ActivityEntry.h"

namespace pellora {

class Workspace;

// The activity log as the application shows it: newest first.
class ActivityStore : public QObject {
    Q_OBJECT
public:
    explicit ActivityStore(QObject* parent = nullptr);
    ActivityStore(std::filesystem::path file, QObject* parent = nullptr);

    const std::vector<ActivityEntry>& entries() const { return entries_; }
    const std::filesystem::path& url() const { return url_; }

    // The send flow inserts each new entry at the front.
    void insertFront(ActivityEntry entry);
    // Deletes the log file and empties the list.
    void clear();
    // Shows the log in the file browser, or its folder when there is no log yet.
    void revealInFinder(Workspace& workspace) const;

signals:
    void entriesChanged();

private:
    std::filesystem::path url_;
    std::vector<ActivityEntry> entries_;
};

} // namespace pellora
