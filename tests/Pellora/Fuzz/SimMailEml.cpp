// A message file as the simulated Mail reads it (GMime), through the reader's script: headers,
// MIME structure, encodings and attachment names from anywhere.
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "FuzzDesk.h"
#include "Pellora/Mail/MailError.h"
#include "Pellora/Mail/MailReader.h"

PELLORA_FUZZ_TARGET(SimMailEml) {
    using namespace pellora;
    static fuzz::MailDesk desk;
    fuzz::removeAttachmentFolders();
    const auto messages = UserFolders::temporary().parent_path() / "pellora-fuzz-messages";
    std::filesystem::create_directories(messages);
    const auto file = messages / "message.eml";
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(input.data(), std::streamsize(input.size()));
    desk.mail->setSelection({file});

    try {
        const Email email = MailReader::readSelectedEmail(desk.desktop, desk.desktop);
        FUZZ_CHECK(email.attachmentFolder);
        const auto folder = *email.attachmentFolder;
        fuzz::checkAttachmentFolder(folder);
        // Each saved attachment is a file directly in the folder, numbered in saving order.
        std::set<std::filesystem::path> saved;
        int last = 0;
        for (const auto& path : email.attachmentPaths) {
            const std::filesystem::path attachment(path);
            FUZZ_CHECK(attachment.parent_path() == folder);
            FUZZ_CHECK(std::filesystem::is_regular_file(std::filesystem::symlink_status(attachment)));
            const std::string name = attachment.filename().string();
            const int number = std::stoi(name.substr(0, name.find('-')));
            FUZZ_CHECK(number > last && name.find('-') != std::string::npos);
            last = number;
            saved.insert(attachment);
        }
        // Nothing else was written, there or anywhere in the temporary directory.
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            FUZZ_CHECK(saved.contains(entry.path()));
        for (const auto& entry : std::filesystem::directory_iterator(UserFolders::temporary()))
            FUZZ_CHECK(entry.path() == folder);
        std::filesystem::remove_all(folder);
    } catch (const MailError& error) {
        FUZZ_CHECK(error.kind() == MailError::Kind::script);
    }
    FUZZ_CHECK(fuzz::attachmentFolders().empty());
}
