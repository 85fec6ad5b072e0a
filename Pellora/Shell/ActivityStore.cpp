#include "ActivityStore.h"

#include <system_error>

#include <QString>
#include <QUrl>

#include "Pellora/Platform/UserFolders.h"
#include "Pellora/Platform/Workspace.h"
#include "PelloraCore/ActivityFile.h"

namespace pellora {

ActivityStore::ActivityStore(QObject* parent) : ActivityStore(UserFolders::pelloraSupport() / "activity.jsonl", parent) {}

// The file is read at once, on a thread of its own: a long log takes longer to read than the
// rest of launching, which goes on meanwhile (nothing at launch looks at the list). Every use
// of the list waits for the reading, so nobody ever sees it half read.
ActivityStore::ActivityStore(std::filesystem::path file, QObject* parent)
    : QObject(parent), url_(std::move(file)),
      loading_(std::async(std::launch::async, [url = url_] { return ActivityFile::loadNewestFirst(url); })) {}

std::vector<ActivityEntry>& ActivityStore::loaded() const {
    if (loading_.valid())
        entries_ = loading_.get();
    return entries_;
}

void ActivityStore::insertFront(ActivityEntry entry) {
    auto& entries = loaded();
    entries.insert(entries.begin(), std::move(entry));
    emit entriesChanged();
}

void ActivityStore::clear() {
    loaded().clear(); // first: the reading must not outlive the file
    std::error_code ignored; // a log that is already gone is as good as removed
    std::filesystem::remove(url_, ignored);
    emit entriesChanged();
}

void ActivityStore::revealInFinder(Workspace& workspace) const {
    std::error_code error;
    if (std::filesystem::exists(url_, error)) {
        workspace.revealFile(url_);
        return;
    }
    const auto folder = QUrl::fromLocalFile(QString::fromStdString(url_.parent_path().string()));
    workspace.openURL(folder.toString(QUrl::FullyEncoded).toStdString());
}

} // namespace pellora
