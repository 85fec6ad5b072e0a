#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <gtest/gtest.h>

#include "Pellora/Mail/MailError.h"
#include "Pellora/Mail/MailReader.h"
#include "Pellora/Mail/MailScript.h"
#include "Pellora/Platform/Sim/MemoryPasteboard.h"
#include "Pellora/Platform/Sim/SimDesktop.h"
#include "Pellora/Platform/Sim/SimMail.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "Pellora/Platform/UserFolders.h"
#include "TestHome.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;
using Descriptor = ScriptRunner::Descriptor;

struct Attachment {
    std::string name;
    std::string type;
    std::string bytes;
};

// A message as Mail would store it: plain text, or multipart/mixed with base64 attachments.
std::string eml(const std::string& headers, const std::string& body, const std::vector<Attachment>& attachments = {}) {
    const std::string textPart = "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" + body;
    if (attachments.empty())
        return headers + "MIME-Version: 1.0\r\n" + textPart;
    std::string text = headers + "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b0undary\"\r\n\r\n";
    text += "--b0undary\r\n" + textPart + "\r\n";
    for (const auto& attachment : attachments) {
        text += "--b0undary\r\nContent-Type: " + attachment.type + "\r\nContent-Disposition: attachment; filename=\"" +
                attachment.name + "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n";
        const QByteArray encoded = QByteArray::fromStdString(attachment.bytes).toBase64();
        for (qsizetype at = 0; at < encoded.size(); at += 76)
            text += encoded.mid(at, 76).toStdString() + "\r\n";
    }
    return text + "--b0undary--\r\n";
}

std::string fileContent(const fs::path& path) {
    std::ifstream input(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
}

const std::string adaHeaders = "From: Ada Lovelace <ada@example.com>\r\n"
                               "To: Bob <bob@example.com>, carol@example.com\r\n"
                               "Cc: Dan <dan@example.org>\r\n"
                               "Subject: =?UTF-8?B?R3LDvMOfZSBhdXMgWsO8cmljaA==?=\r\n"
                               "Date: Sat, 05 Dec 2026 06:19:03 +0100\r\n"
                               "Message-ID: <cafe.1234@example.com>\r\n";

struct MailReading : ::testing::Test {
    VirtualClock clock;
    MemoryPasteboard pasteboard;
    SimDesktop desktop{clock, pasteboard};
    std::shared_ptr<SimMail> mail = std::make_shared<SimMail>();
    int messages = 0;

    void SetUp() override {
        desktop.install(mail);
        desktop.launch("com.apple.mail");
        mail->setAccountAddresses({"ada@example.com", "ada@work.example"});
    }

    fs::path message(const std::string& text) {
        const auto folder = pellora::testing::testHome() / "messages";
        fs::create_directories(folder);
        const auto path = folder / (std::to_string(++messages) + ".eml");
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    void select(const std::vector<std::string>& texts) {
        std::vector<fs::path> files;
        for (const auto& text : texts)
            files.push_back(message(text));
        mail->setSelection(files);
    }

    Email read() { return MailReader::readSelectedEmail(desktop, desktop); }

    std::string failureOfRead() {
        try {
            read();
        } catch (const MailError& error) {
            return error.description();
        }
        return "no failure";
    }

    static std::vector<std::string> pelloraEntries() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(UserFolders::temporary())) {
            if (entry.path().filename().string().starts_with("Pellora-"))
                names.push_back(entry.path().filename().string());
        }
        return names;
    }

    static std::vector<std::string> fileNames(const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

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

TEST_F(MailReading, ReadsTheSelectedMessageAsMailGivesIt) {
    select({eml(adaHeaders, "Hello Bob,\r\nsee the report.\r\n",
                {{"report.pdf", "application/pdf", std::string(20000, 'p')}})});
    const Email email = read();

    EXPECT_EQ(email.sender, "Ada Lovelace <ada@example.com>");
    EXPECT_EQ(email.subject, "Grüße aus Zürich");
    EXPECT_EQ(email.date, "Saturday, 5 December 2026 at 06:19:03");
    EXPECT_EQ(email.to, (std::vector<std::string>{"bob@example.com", "carol@example.com"}));
    EXPECT_EQ(email.cc, (std::vector<std::string>{"dan@example.org"}));
    EXPECT_EQ(email.body, "Hello Bob,\nsee the report.\n");
    EXPECT_EQ(email.messageID, "cafe.1234@example.com");
    EXPECT_EQ(email.accountAddresses, (std::vector<std::string>{"ada@example.com", "ada@work.example"}));

    ASSERT_TRUE(email.attachmentFolder);
    const fs::path folder = *email.attachmentFolder;
    EXPECT_EQ(folder.parent_path(), UserFolders::temporary());
    EXPECT_TRUE(std::regex_match(folder.filename().string(),
                                 std::regex("Pellora-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}")));
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    EXPECT_EQ(email.attachmentPaths, (std::vector<std::string>{folder.string() + "/1-report.pdf"}));
    EXPECT_EQ(fileContent(folder / "1-report.pdf"), std::string(20000, 'p'));
}

TEST_F(MailReading, SenderWithoutANameIsTheBareAddress) {
    select({eml("From: ada@example.com\r\nSubject: Hi\r\nDate: Thu, 1 Jan 2026 00:00:00 +0000\r\n", "x")});
    const Email email = read();
    EXPECT_EQ(email.sender, "ada@example.com");
    EXPECT_EQ(email.date, "Thursday, 1 January 2026 at 00:00:00");
    EXPECT_EQ(email.messageID, "");
    EXPECT_TRUE(email.attachmentPaths.empty());
}

TEST_F(MailReading, FolderIsPrivateWhateverTheUmask) {
    select({eml(adaHeaders, "x")});
    const mode_t previous = ::umask(0);
    const Email email = read();
    ::umask(previous);
    struct stat info {};
    ASSERT_EQ(::stat(email.attachmentFolder->c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
}

TEST_F(MailReading, NothingSelectedLeavesNoFolderBehind) {
    mail->setSelection({});
    EXPECT_EQ(failureOfRead(), "No email is selected in Mail.");
    EXPECT_TRUE(pelloraEntries().empty());
    EXPECT_EQ(mail->scriptsRun(), 1);
}

TEST_F(MailReading, OnlyTheFirstOfSeveralSelectedMessagesIsRead) {
    select({eml("From: first@example.com\r\nSubject: First\r\n", "one"),
            eml("From: second@example.com\r\nSubject: Second\r\n", "two")});
    const Email email = read();
    EXPECT_EQ(email.subject, "First");
    EXPECT_EQ(email.body, "one");
}

TEST_F(MailReading, AttachmentsOfTheSameNameAreNumbered) {
    select({eml(adaHeaders, "x",
                {{"notes.txt", "text/plain", "first notes"}, {"notes.txt", "text/plain", "second notes"}})});
    const Email email = read();
    const fs::path folder = *email.attachmentFolder;
    EXPECT_EQ(email.attachmentPaths,
              (std::vector<std::string>{folder.string() + "/1-notes.txt", folder.string() + "/2-notes.txt"}));
    EXPECT_EQ(fileContent(folder / "1-notes.txt"), "first notes");
    EXPECT_EQ(fileContent(folder / "2-notes.txt"), "second notes");
}

TEST_F(MailReading, ImagesUnder15000BytesAreSkipped) {
    select({eml(adaHeaders, "x",
                {{"logo.png", "image/png", std::string(14999, 'i')},
                 {"photo.jpg", "image/jpeg", std::string(15000, 'j')},
                 {"icon.gif", "image/gif", std::string(10, 'g')},
                 {"tiny.txt", "text/plain", "small but not an image"}})});
    const Email email = read();
    const fs::path folder = *email.attachmentFolder;
    EXPECT_EQ(email.attachmentPaths,
              (std::vector<std::string>{folder.string() + "/1-photo.jpg", folder.string() + "/2-tiny.txt"}));
    EXPECT_EQ(fileNames(folder), (std::vector<std::string>{"1-photo.jpg", "2-tiny.txt"}));
}

TEST_F(MailReading, OnlySmallImagesLeaveAnEmptyFolder) {
    select({eml(adaHeaders, "x", {{"a.png", "image/png", "png"}, {"b.png", "image/png", "png"}})});
    const Email email = read();
    EXPECT_TRUE(email.attachmentPaths.empty());
    ASSERT_TRUE(email.attachmentFolder);
    EXPECT_TRUE(fs::is_directory(*email.attachmentFolder));
    EXPECT_TRUE(fs::is_empty(*email.attachmentFolder));
}

TEST_F(MailReading, TemporaryDirectoryWithAQuoteAndABackslash) {
    const fs::path odd = UserFolders::temporary() / "we\"ird\\dir";
    fs::create_directories(odd);
    setenv("TMPDIR", odd.c_str(), 1);
    select({eml(adaHeaders, "x", {{"report.pdf", "application/pdf", "%PDF"}})});
    const Email email = read();
    EXPECT_EQ(email.attachmentFolder->parent_path(), odd);
    EXPECT_EQ(email.attachmentPaths, (std::vector<std::string>{email.attachmentFolder->string() + "/1-report.pdf"}));
    EXPECT_EQ(fileContent(email.attachmentPaths.at(0)), "%PDF");
}

TEST_F(MailReading, MailNotRunning) {
    desktop.quit("com.apple.mail");
    select({eml(adaHeaders, "x")});
    EXPECT_EQ(failureOfRead(), "Mail is not running.");
    EXPECT_TRUE(pelloraEntries().empty());
    EXPECT_EQ(mail->scriptsRun(), 0);
}

TEST_F(MailReading, AutomationRefused) {
    select({eml(adaHeaders, "x")});
    mail->setRefusesAutomation(true);
    try {
        read();
        FAIL() << "expected MailError";
    } catch (const MailError& error) {
        EXPECT_EQ(error.kind(), MailError::Kind::script);
        EXPECT_EQ(error.description(), "Mail scripting failed: Not authorized to send Apple events to Mail.");
    }
    EXPECT_TRUE(pelloraEntries().empty());
}

TEST_F(MailReading, ResultsOfSevenAndEightItemsCountAsAnEmail) {
    select({eml(adaHeaders, "x")});
    mail->setResultItemLimit(7);
    Email email = read();
    EXPECT_EQ(email.subject, "Grüße aus Zürich");
    EXPECT_EQ(email.messageID, "");
    EXPECT_TRUE(email.accountAddresses.empty());
    EXPECT_TRUE(email.attachmentFolder);

    mail->setResultItemLimit(8);
    email = read();
    EXPECT_EQ(email.messageID, "cafe.1234@example.com");
    EXPECT_TRUE(email.accountAddresses.empty());

    mail->setResultItemLimit(6);
    const auto before = pelloraEntries().size();
    EXPECT_EQ(failureOfRead(), "No email is selected in Mail.");
    EXPECT_EQ(pelloraEntries().size(), before);
}

TEST_F(MailReading, AnAttachmentThatFailsToSaveLeavesAGap) {
    const std::vector<Attachment> three{{"a.txt", "text/plain", "a"}, {"b.txt", "text/plain", "b"}, {"c.txt", "text/plain", "c"}};
    select({eml(adaHeaders, "x", three)});
    mail->failSavingAttachment(2);
    Email email = read();
    std::string folder = email.attachmentFolder->string();
    EXPECT_EQ(email.attachmentPaths, (std::vector<std::string>{folder + "/1-a.txt", folder + "/3-c.txt"}));

    mail = std::make_shared<SimMail>();
    desktop.install(mail);
    desktop.launch("com.apple.mail");
    select({eml(adaHeaders, "x", three)});
    mail->failSavingAttachment(std::string("a.txt"));
    email = read();
    folder = email.attachmentFolder->string();
    EXPECT_EQ(email.attachmentPaths, (std::vector<std::string>{folder + "/2-b.txt", folder + "/3-c.txt"}));
}

TEST_F(MailReading, AttachmentNamesCannotLeaveTheFolder) {
    select({eml(adaHeaders, "x",
                {{"../../escape", "text/plain", "1"}, {"a/b", "text/plain", "2"}, {"..", "text/plain", "3"}})});
    const Email email = read();
    const fs::path folder = *email.attachmentFolder;
    EXPECT_EQ(email.attachmentPaths,
              (std::vector<std::string>{folder.string() + "/1-.._.._escape", folder.string() + "/2-a_b",
                                        folder.string() + "/3-attachment"}));
    EXPECT_EQ(fileNames(folder), (std::vector<std::string>{"1-.._.._escape", "2-a_b", "3-attachment"}));
    EXPECT_FALSE(fs::exists(UserFolders::temporary().parent_path() / "escape"));
    EXPECT_FALSE(fs::exists(folder.parent_path() / "escape"));
}

TEST_F(MailReading, OtherScriptsFailLikeMail) {
    EXPECT_EQ(desktop.run("tell application \"Mail\"\n    get selection\nend tell"),
              (ScriptRunner::Outcome{std::nullopt, "Mail got an error: AppleEvent handler failed."}));
    EXPECT_FALSE(mail->runScript("tell application \"Finder\" to quit"));
}

// Answers a fixed outcome and keeps the script it was given.
struct CannedRunner : ScriptRunner {
    Outcome outcome;
    std::string source;
    Outcome run(const std::string& text) override {
        source = text;
        return outcome;
    }
};

TEST_F(MailReading, ScriptFailureWithoutAMessageIsAnUnknownError) {
    CannedRunner runner;
    try {
        MailReader::readSelectedEmail(desktop, runner);
        FAIL() << "expected MailError";
    } catch (const MailError& error) {
        EXPECT_EQ(error.description(), "Mail scripting failed: unknown error");
    }
    EXPECT_TRUE(pelloraEntries().empty());
    // The folder named in the script was the one created, then removed.
    const std::string_view first = MailScript::firstPiece();
    const std::string_view second = MailScript::secondPiece();
    ASSERT_GT(runner.source.size(), first.size() + second.size());
    const std::string folder = runner.source.substr(first.size(), runner.source.size() - first.size() - second.size());
    EXPECT_EQ(fs::path(folder).parent_path(), UserFolders::temporary());
    EXPECT_TRUE(folder.find("/Pellora-") != std::string::npos);
}

TEST_F(MailReading, ItemsWithoutTextAreDroppedFromListsAndGiveEmptyTexts) {
    CannedRunner runner;
    runner.outcome.result = Descriptor::list({
        Descriptor::none(),
        Descriptor::text("Subject"),
        Descriptor::list({Descriptor::text("not a date")}),
        Descriptor::list({Descriptor::text("a@example.com"), Descriptor::none(), Descriptor::text("c@example.com")}),
        Descriptor::text("not a list"),
        Descriptor::text("Body"),
        Descriptor::list({}),
    });
    const Email email = MailReader::readSelectedEmail(desktop, runner);
    EXPECT_EQ(email.sender, "");
    EXPECT_EQ(email.subject, "Subject");
    EXPECT_EQ(email.date, "");
    EXPECT_EQ(email.to, (std::vector<std::string>{"a@example.com", "c@example.com"}));
    EXPECT_TRUE(email.cc.empty());
    EXPECT_EQ(email.body, "Body");
    EXPECT_TRUE(email.attachmentPaths.empty());
    EXPECT_EQ(email.messageID, "");
    EXPECT_TRUE(email.accountAddresses.empty());
}

TEST_F(MailReading, FolderThatCannotBeCreatedIsAFileSystemError) {
    const fs::path notADirectory = UserFolders::temporary() / "plain-file";
    std::ofstream(notADirectory) << "x";
    setenv("TMPDIR", notADirectory.c_str(), 1);
    CannedRunner runner;
    EXPECT_THROW(MailReader::readSelectedEmail(desktop, runner), fs::filesystem_error);
    EXPECT_TRUE(runner.source.empty());
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

    setModified(temp / "Pellora-OLD", 2h);
    setModified(temp / "Pellora-RECENT", 10min);
    setModified(temp / "Other-OLD", 2h);
    setModified(temp / "Pellora-OLDFILE", 2h);
    setModified(temp / "Pellora-LINK", 2h);
    setModified(temp / "Pellora-FOREIGN", 2h);
    const bool canChangeOwner = ::lchown((temp / "Pellora-FOREIGN").c_str(), 65534, 65534) == 0;

    MailReader::sweepOldAttachmentFolders();

    EXPECT_FALSE(fs::exists(fs::symlink_status(temp / "Pellora-OLD")));
    EXPECT_TRUE(fs::is_directory(temp / "Pellora-RECENT"));
    EXPECT_TRUE(fs::is_directory(temp / "Other-OLD"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(temp / "Pellora-OLDFILE")));
    // The link itself goes; what it points at stays.
    EXPECT_FALSE(fs::exists(fs::symlink_status(temp / "Pellora-LINK")));
    EXPECT_TRUE(fs::is_directory(outside / "keep"));
    if (canChangeOwner) {
        EXPECT_TRUE(fs::is_directory(temp / "Pellora-FOREIGN"));
    }
}

TEST(MailSweep, MissingTemporaryDirectoryIsNotAFailure) {
    setenv("TMPDIR", (pellora::testing::testHome() / "nowhere").c_str(), 1);
    MailReader::sweepOldAttachmentFolders();
    SUCCEED();
}

} // namespace
} // namespace pellora
