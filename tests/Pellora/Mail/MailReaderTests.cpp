#include <algorithm>
#include <fstream>
#include <functional>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "Pellora/Mail/MailError.h"
#include "Pellora/Mail/MailReader.h"
#include "Pellora/Mail/MailScript.h"
#include "App/Desk.h"
#include "App/Eml.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;
using Descriptor = ScriptRunner::Descriptor;

using Attachment = pellora::testing::EmlAttachment;
using pellora::testing::eml;

const std::string adaHeaders = "From: Ada Lovelace <ada@example.com>\r\n"
                               "To: Bob <bob@example.com>, carol@example.com\r\n"
                               "Cc: Dan <dan@example.org>\r\n"
                               "Subject: =?UTF-8?B?R3LDvMOfZSBhdXMgWsO8cmljaA==?=\r\n"
                               "Date: Sat, 05 Dec 2026 06:19:03 +0100\r\n"
                               "Message-ID: <cafe.1234@example.com>\r\n";

// Answers a fixed outcome.
struct CannedRunner : ScriptRunner {
    Outcome outcome;
    Outcome run(const std::string&) override { return outcome; }
};

// A script host that fails by throwing rather than answering.
struct ThrowingRunner : ScriptRunner {
    Outcome run(const std::string&) override { throw std::runtime_error("the script host went away"); }
};

// Mail running; reads go to it unless `scripts` is pointed at `canned` or `throwing`.
struct MailDesk : testing::Desk {
    CannedRunner canned;
    ThrowingRunner throwing;
    ScriptRunner* scripts = &desktop;

    MailDesk() { runMail({"ada@example.com", "ada@work.example"}); }
    Email read() { return MailReader::readSelectedEmail(desktop, *scripts); }
    std::string failureOfRead() {
        try {
            read();
        } catch (const MailError& error) {
            return error.description();
        } catch (const std::exception& error) {
            return error.what();
        }
        return "no failure";
    }
};

struct MailReading : ::testing::Test, MailDesk {};

TEST(MailScript, PiecesAreMailsScriptByteForByte) {
    const std::string_view first = MailScript::firstPiece();
    const std::string_view second = MailScript::secondPiece();
    EXPECT_EQ(first.size(), 788u);
    EXPECT_EQ(second.size(), 306u);
    EXPECT_TRUE(first.starts_with("tell application \"Mail\"\n    set sel to selection\n"
                                  "    if (count of sel) is 0 then return {}\n"));
    EXPECT_NE(first.find("\n        set acctAddrs to email addresses of (account of mailbox of m)\n"), std::string_view::npos);
    EXPECT_NE(first.find("\n                if (MIME type of a) starts with \"image/\" and (file size of a) < 15000 "
                         "then set tinyImage to true\n"),
              std::string_view::npos);
    EXPECT_TRUE(first.ends_with("\n                set n to n + 1\n                set p to \""));
    EXPECT_TRUE(second.starts_with("/\" & n & \"-\" & (name of a)\n                save a in (POSIX file p)\n"));
    EXPECT_TRUE(second.ends_with("\n    return {(sender of m), (subject of m), ((date received of m) as string), "
                                 "toList, ccList, (content of m), savedPaths, mid, acctAddrs}\nend tell"));
}

TEST(MailScript, EscapesBackslashesBeforeQuotes) {
    EXPECT_EQ(MailScript::escapePath("/tmp/a\\b\"c/Pellora-X"), "/tmp/a\\\\b\\\"c/Pellora-X");
    EXPECT_EQ(MailScript::escapePath("\\\""), "\\\\\\\"");
    EXPECT_EQ(MailScript::source("/t\"x"),
              std::string(MailScript::firstPiece()) + "/t\\\"x" + std::string(MailScript::secondPiece()));
}

TEST_F(MailReading, ReadsTheFirstSelectedMessageIntoAPrivateFolder) {
    // A quote and a backslash in the temporary directory's path must still give a valid script.
    const fs::path temporary = UserFolders::temporary() / "we\"ird\\dir";
    fs::create_directories(temporary);
    setenv("TMPDIR", temporary.c_str(), 1);
    select({eml(adaHeaders, "Hello Bob,\r\nsee the report.\r\n",
                {{"report.pdf", "application/pdf", std::string(20000, 'p')}}),
            eml("From: second@example.com\r\nSubject: Second\r\n", "two")});
    const mode_t previous = ::umask(0);
    const Email email = read();
    ::umask(previous);

    ASSERT_TRUE(email.attachmentFolder);
    const fs::path folder = *email.attachmentFolder;
    // Sent at 06:19:03 +0100: Mail gives the time in this machine's zone, UTC in the tests.
    EXPECT_EQ(email, Email("Ada Lovelace <ada@example.com>", "Grüße aus Zürich", "Saturday, 5 December 2026 at 05:19:03",
                           {"bob@example.com", "carol@example.com"}, {"dan@example.org"}, "Hello Bob,\nsee the report.\n",
                           {folder.string() + "/1-report.pdf"}, "cafe.1234@example.com", folder,
                           {"ada@example.com", "ada@work.example"}));
    EXPECT_EQ(folder.parent_path(), temporary);
    EXPECT_TRUE(std::regex_match(folder.filename().string(),
                                 std::regex("Pellora-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}")));
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u); // whatever the umask
    EXPECT_EQ(testing::readFile(folder / "1-report.pdf"), std::string(20000, 'p'));
}

TEST(MailReaderAttachments, SavedNumberedInTheFolderSkippingSmallImages) {
    using Saved = std::vector<std::pair<std::string, std::string>>; // file name, content
    const struct {
        const char* name;
        std::vector<Attachment> attachments;
        int failingPosition;
        Saved saved;
    } cases[] = {
        {"same name twice", {{"notes.txt", "text/plain", "first notes"}, {"notes.txt", "text/plain", "second notes"}},
         0, {{"1-notes.txt", "first notes"}, {"2-notes.txt", "second notes"}}},
        {"images under 15000 bytes skipped",
         {{"logo.png", "image/png", std::string(14999, 'i')}, {"photo.jpg", "image/jpeg", std::string(15000, 'j')},
          {"icon.gif", "image/gif", "g"}, {"tiny.txt", "text/plain", "small but not an image"}},
         0, {{"1-photo.jpg", std::string(15000, 'j')}, {"2-tiny.txt", "small but not an image"}}},
        {"only small images: an empty folder", {{"a.png", "image/png", "png"}, {"b.png", "image/png", "png"}}, 0, {}},
        {"a failed save leaves a gap",
         {{"a.txt", "text/plain", "a"}, {"b.txt", "text/plain", "b"}, {"c.txt", "text/plain", "c"}}, 2,
         {{"1-a.txt", "a"}, {"3-c.txt", "c"}}},
        {"names that would leave the folder",
         {{"../../escape", "text/plain", "1"}, {"a/b", "text/plain", "2"}, {"..", "text/plain", "3"}}, 0,
         {{"1-.._.._escape", "1"}, {"2-a_b", "2"}, {"3-attachment", "3"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MailDesk desk;
        desk.select({eml(adaHeaders, "x", c.attachments)});
        if (c.failingPosition)
            desk.mail->failSavingAttachment(c.failingPosition);
        const Email email = desk.read();
        ASSERT_TRUE(email.attachmentFolder);
        const fs::path folder = *email.attachmentFolder;

        std::vector<std::string> paths;
        Saved onDisk;
        for (const auto& [name, content] : c.saved)
            paths.push_back(folder.string() + "/" + name);
        EXPECT_EQ(email.attachmentPaths, paths);
        for (const auto& entry : fs::directory_iterator(folder))
            onDisk.emplace_back(entry.path().filename().string(), testing::readFile(entry.path()));
        std::sort(onDisk.begin(), onDisk.end());
        EXPECT_EQ(onDisk, c.saved);
        EXPECT_FALSE(fs::exists(folder.parent_path() / "escape"));
        EXPECT_FALSE(fs::exists(folder.parent_path().parent_path() / "escape"));
    }
}

TEST(MailReaderFailures, LeaveNoFolderBehind) {
    const struct {
        const char* name;
        std::function<void(MailDesk&)> setUp;
        const char* failure;
        int scripts;
    } cases[] = {
        {"nothing selected", [](MailDesk& d) { d.mail->setSelection({}); }, "No email is selected in Mail.", 1},
        {"six items", [](MailDesk& d) { d.mail->setResultItemLimit(6); }, "No email is selected in Mail.", 1},
        {"Mail not running", [](MailDesk& d) { d.desktop.quit(SimMail::identifier); }, "Mail is not running.", 0},
        {"automation refused", [](MailDesk& d) { d.mail->setRefusesAutomation(true); },
         "Mail scripting failed: Not authorized to send Apple events to Mail.", 1},
        {"no result and no message", [](MailDesk& d) { d.scripts = &d.canned; }, "Mail scripting failed: unknown error",
         0},
        {"the runner throws", [](MailDesk& d) { d.scripts = &d.throwing; }, "the script host went away", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MailDesk desk;
        desk.select({eml(adaHeaders, "x")});
        c.setUp(desk);
        EXPECT_EQ(desk.failureOfRead(), c.failure);
        EXPECT_TRUE(testing::attachmentFolders().empty());
        EXPECT_EQ(desk.mail->scriptsRun(), c.scripts);
    }
}

TEST_F(MailReading, OtherScriptsFailLikeMail) {
    EXPECT_EQ(desktop.run("tell application \"Mail\"\n    get selection\nend tell"),
              (ScriptRunner::Outcome{std::nullopt, "Mail got an error: AppleEvent handler failed."}));
    EXPECT_FALSE(mail->runScript("tell application \"Finder\" to quit"));
}

TEST_F(MailReading, ItemsWithoutTextGiveEmptyTextsOrShorterListsAndSevenItemsAreEnough) {
    scripts = &canned;
    std::vector<Descriptor> items{
        Descriptor::none(), Descriptor::text("Subject"), Descriptor::list({Descriptor::text("not a date")}),
        Descriptor::list({Descriptor::text("a@example.com"), Descriptor::none(), Descriptor::text("c@example.com")}),
        Descriptor::text("not a list"), Descriptor::text("Body"), Descriptor::list({})};
    canned.outcome.result = Descriptor::list(items);
    Email email = read();
    ASSERT_TRUE(email.attachmentFolder);
    EXPECT_EQ(email, Email("", "Subject", "", {"a@example.com", "c@example.com"}, {}, "Body", {}, "",
                           email.attachmentFolder, {}));

    items.push_back(Descriptor::text("m1@example.com"));
    canned.outcome.result = Descriptor::list(items);
    email = read();
    EXPECT_EQ(std::pair(email.messageID, email.accountAddresses), std::pair(std::string("m1@example.com"),
                                                                            std::vector<std::string>{}));
}

TEST_F(MailReading, FolderThatCannotBeCreatedIsAFileSystemError) {
    const fs::path notADirectory = UserFolders::temporary() / "plain-file";
    std::ofstream(notADirectory) << "x";
    setenv("TMPDIR", notADirectory.c_str(), 1);
    EXPECT_THROW(read(), fs::filesystem_error);
    EXPECT_EQ(mail->scriptsRun(), 0);
}

// Sweep

void setModified(const fs::path& path, std::chrono::seconds ago) {
    const timespec when{std::time(nullptr) - ago.count(), 0};
    const timespec times[2] = {when, when};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

TEST(MailSweep, RemovesOnlyOwnPelloraEntriesOlderThanAnHour) {
    using namespace std::chrono_literals;
    const fs::path temp = UserFolders::temporary();
    const fs::path outside = pellora::testing::testHome() / "outside";
    fs::create_directories(outside / "keep");

    for (const char* name : {"Pellora-OLD/inner", "Pellora-RECENT", "Other-OLD", "Pellora-FOREIGN"})
        fs::create_directories(temp / name);
    std::ofstream(temp / "Pellora-OLD" / "inner" / "1-a.txt") << "a";
    std::ofstream(temp / "Pellora-OLDFILE") << "f";
    fs::create_directory_symlink(outside, temp / "Pellora-LINK");

    for (const char* name : {"Pellora-OLD", "Other-OLD", "Pellora-OLDFILE", "Pellora-LINK", "Pellora-FOREIGN"})
        setModified(temp / name, 2h);
    setModified(temp / "Pellora-RECENT", 10min);
    const bool canChangeOwner = ::lchown((temp / "Pellora-FOREIGN").c_str(), 65534, 65534) == 0;

    MailReader::sweepOldAttachmentFolders();

    EXPECT_FALSE(fs::exists(fs::symlink_status(temp / "Pellora-OLD")));
    EXPECT_TRUE(fs::is_directory(temp / "Pellora-RECENT"));
    EXPECT_TRUE(fs::is_directory(temp / "Other-OLD"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(temp / "Pellora-OLDFILE")));
    // The link itself goes; what it points at stays.
    EXPECT_FALSE(fs::exists(fs::symlink_status(temp / "Pellora-LINK")));
    EXPECT_TRUE(fs::is_directory(outside / "keep"));
    if (canChangeOwner)
        EXPECT_TRUE(fs::is_directory(temp / "Pellora-FOREIGN"));

    // A temporary folder that is not there is nothing to sweep.
    setenv("TMPDIR", (pellora::testing::testHome() / "nowhere").c_str(), 1);
    MailReader::sweepOldAttachmentFolders();
}

} // namespace
} // namespace pellora
