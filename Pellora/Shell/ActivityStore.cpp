#include "ActivityStore.h"

#include <system_error>

#include <QString>
#include <QUrl>

#include "Pellora/Platform/UserFolders.h"
#include "Pellora/Platform/Workspace.h"
#include "PelloraCore/ActivityFile.h"

namespace pellora {

ActivityStore::ActivityStore(QObject* parent) : ActivityStore(UserFolders::pelloraSupport() / "activity.jsonl", parent) {}

ActivityStore::ActivityStore(std::filesystem::path file, QObject* parent)
    : QObject(parent), url_(std::move(file)), entries_(ActivityFile::loadNewestFirst(url_)) {}

void ActivityStore::insertFront(ActivityEntry entry) {
    entries_.insert(entries_.begin(), std::move(entry));
    emit entriesChanged();
}

void ActivityStore::clear() {
    std::error_code ignored; // a log that is already gone is as good as removed
    std::filesystem::remove(url_, ignored);
    entries_.clear();
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
