#include "MailReader.h"

#include <cerrno>
#include <chrono>
#include <ctime>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <QUuid>

#include "Pellora/Mail/MailError.h"
#include "Pellora/Mail/MailScript.h"
#include "Pellora/Platform/ScriptRunner.h"
#include "Pellora/Platform/UserFolders.h"
#include "Pellora/Platform/Workspace.h"

namespace pellora::MailReader {
namespace {

constexpr const char* mailBundleIdentifier = "com.apple.mail";
// Shared by the folders the reader creates and the ones the sweep removes.
constexpr std::string_view folderPrefix = "Pellora-";
// Fewer items than this means Mail had nothing selected; a result missing only its last two
// items still counts as an email.
constexpr int minimumItems = 7;

// A fresh private folder directly in the temporary directory. mkdir with mode 0700 means it
// is never readable by others, not even briefly.
std::filesystem::path createAttachmentFolder() {
    const auto base = UserFolders::temporary();
    std::filesystem::create_directories(base);
    const auto uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
    const auto folder = base / (std::string(folderPrefix) + uuid);
    if (::mkdir(folder.c_str(), 0700) != 0)
        throw std::filesystem::filesystem_error("cannot create the attachment folder", folder,
                                                std::error_code(errno, std::generic_category()));
    // The umask may have taken owner bits away; it can never have added any.
    std::error_code ignored;
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ignored);
    return folder;
}

void removeQuietly(const std::filesystem::path& folder) {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

std::string asText(const std::optional<ScriptRunner::Descriptor>& item) {
    if (!item || !item->stringValue)
        return {};
    return *item->stringValue;
}

// Sub-items without text are left out rather than kept as empty entries.
std::vector<std::string> asTexts(const std::optional<ScriptRunner::Descriptor>& item) {
    std::vector<std::string> texts;
    if (!item)
        return texts;
    for (int index = 1; index <= item->numberOfItems(); ++index) {
        if (const auto sub = item->item(index); sub && sub->stringValue)
            texts.push_back(*sub->stringValue);
    }
    return texts;
}

} // namespace

Email readSelectedEmail(Workspace& workspace, ScriptRunner& scripts) {
    if (workspace.runningApplications(mailBundleIdentifier).empty())
        throw MailError::notRunning();

    const auto folder = createAttachmentFolder();
    // Until the email is handed over, the folder is ours: every way out removes it, also a
    // runner that throws instead of answering.
    try {
        const auto outcome = scripts.run(MailScript::source(folder.string()));
        if (!outcome.result)
            throw MailError::script(outcome.errorMessage.value_or("unknown error"));
        const auto& result = *outcome.result;
        if (result.numberOfItems() < minimumItems)
            throw MailError::noSelection();
        return Email(asText(result.item(1)), asText(result.item(2)), asText(result.item(3)), asTexts(result.item(4)),
                     asTexts(result.item(5)), asText(result.item(6)), asTexts(result.item(7)),
                     asText(result.item(8)), folder, asTexts(result.item(9)));
    } catch (...) {
        removeQuietly(folder);
        throw;
    }
}

void sweepOldAttachmentFolders() {
    const auto base = UserFolders::temporary();
    const std::time_t cutoff = std::time(nullptr) - 3600;
    const uid_t me = ::geteuid();

    std::error_code error;
    std::filesystem::directory_iterator entries(base, error);
    if (error)
        return;
    for (const auto end = std::filesystem::directory_iterator(); entries != end; entries.increment(error)) {
        if (error)
            return;
        const auto path = entries->path();
        if (!path.filename().string().starts_with(folderPrefix))
            continue;
        // The temporary directory may be shared: only our own entries go, and a symbolic link
        // is looked at (and removed) itself, never followed.
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || info.st_uid != me)
            continue;
        if (info.st_mtim.tv_sec < cutoff)
            removeQuietly(path);
    }
}

} // namespace pellora::MailReader
