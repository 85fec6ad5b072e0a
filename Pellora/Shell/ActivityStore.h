#pragma once

#include <filesystem>
#include <future>
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

    const std::vector<ActivityEntry>& entries() const { return loaded(); }
    // Waits for the reading too: whoever appends to the file must not race it.
    const std::filesystem::path& url() const {
        loaded();
        return url_;
    }

    // The send flow inserts each new entry at the front.
    void insertFront(ActivityEntry entry);
    // Deletes the log file and empties the list.
    void clear();
    // Shows the log in the file browser, or its folder when there is no log yet.
    void revealInFinder(Workspace& workspace) const;

signals:
    void entriesChanged();

private:
    // The list, once the reading started by the constructor has finished.
    std::vector<ActivityEntry>& loaded() const;

    std::filesystem::path url_;
    mutable std::future<std::vector<ActivityEntry>> loading_;
    mutable std::vector<ActivityEntry> entries_;
};

} // namespace pellora
