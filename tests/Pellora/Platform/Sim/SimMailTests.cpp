#include <fstream>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "Pellora/Mail/MailReader.h"
#include "Pellora/Platform/Sim/MemoryPasteboard.h"
#include "Pellora/Platform/Sim/SimDesktop.h"
#include "Pellora/Platform/Sim/SimMail.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "TestHome.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;

const std::string headers = "From: Ada Lovelace <ada@example.com>\r\n"
                            "To: bob@example.org\r\n"
                            "Subject: Content\r\n"
                            "Date: Sat, 05 Dec 2026 06:19:03 +0100\r\n"
                            "MIME-Version: 1.0\r\n";

fs::path writeMessage(const std::string& name, const std::string& text) {
    const fs::path file = pellora::testing::testHome() / name;
    std::ofstream(file, std::ios::binary) << text;
    return file;
}

struct ContentCase {
    const char* name;
    std::string message; // after the common headers
    std::string body;
    std::size_t attachments;
};

TEST(SimMailContent, EveryInlineTextPartAsValidUtf8) {
    const std::vector<ContentCase> cases{
        {"list footer is kept",
         "Content-Type: multipart/mixed; boundary=\"m\"\r\n\r\n"
         "--m\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nSee you on Monday.\r\n"
         "--m\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n"
         "_______________\r\nfriends mailing list\r\n"
         "--m--\r\n",
         "See you on Monday.\n_______________\nfriends mailing list", 0},
        {"alternatives give the plain text once",
         "Content-Type: multipart/alternative; boundary=\"a\"\r\n\r\n"
         "--a\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nPlain words\r\n"
         "--a\r\nContent-Type: text/html; charset=utf-8\r\n\r\n<p>Rich <b>words</b></p>\r\n"
         "--a--\r\n",
         "Plain words", 0},
        {"html alone is rendered as text",
         "Content-Type: text/html; charset=utf-8\r\n\r\n<p>Hello <i>there</i></p>",
         "Hello there", 0},
        {"no charset and not UTF-8 reads as Windows-1252",
         "Content-Type: text/plain\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
         "Caf\xE9 \x93quoted\x94 costs \x80" "5\x85\r\n",
         "Café “quoted” costs €5…\n", 0},
        {"no charset and UTF-8 stays as it is",
         "Content-Type: text/plain\r\nContent-Transfer-Encoding: 8bit\r\n\r\nGrüße \xE2\x80\x94 ok\r\n",
         "Grüße — ok\n", 0},
        {"declared Latin-1 in quoted-printable",
         "Content-Type: text/plain; charset=iso-8859-1\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
         "Z=FCrich, sch=F6n=\r\n und gut\r\n",
         "Zürich, schön und gut\n", 0},
        {"a declared charset the bytes do not fit falls back",
         "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\nna\xEFve\r\n",
         "naïve\n", 0},
        {"a text file attached is not content",
         "Content-Type: multipart/mixed; boundary=\"m\"\r\n\r\n"
         "--m\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nBody\r\n"
         "--m\r\nContent-Type: text/plain\r\nContent-Disposition: attachment; filename=\"notes.txt\"\r\n\r\n"
         "notes\r\n"
         "--m\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Disposition: inline\r\n\r\nFooter\r\n"
         "--m--\r\n",
         "Body\nFooter", 1},
    };

    VirtualClock clock;
    MemoryPasteboard pasteboard;
    SimDesktop desktop{clock, pasteboard};
    auto mail = std::make_shared<SimMail>();
    desktop.install(mail);
    desktop.launch(SimMail::identifier);

    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        mail->setSelection({writeMessage("message.eml", headers + test.message)});
        const Email email = MailReader::readSelectedEmail(desktop, desktop);
        EXPECT_EQ(email.body, test.body);
        EXPECT_EQ(email.attachmentPaths.size(), test.attachments);
    }
}

TEST(SimMailHeadline, SenderSubjectAndDateForTheList) {
    const auto headline = SimMail::headline(
        writeMessage("a.eml", headers + "Content-Type: text/plain\r\n\r\nHi"));
    ASSERT_TRUE(headline);
    EXPECT_EQ(headline->sender, "Ada Lovelace <ada@example.com>");
    EXPECT_EQ(headline->subject, "Content");
    ASSERT_TRUE(headline->date);
    EXPECT_EQ(headline->date->time_since_epoch().count(), 1796447943); // 2026-12-05T05:19:03Z

    const auto undated = SimMail::headline(writeMessage("b.eml", "Subject: Undated\r\n\r\nHi"));
    ASSERT_TRUE(undated);
    EXPECT_EQ(undated->sender, "");
    EXPECT_FALSE(undated->date);
    EXPECT_FALSE(SimMail::headline(pellora::testing::testHome() / "missing.eml"));
}

} // namespace
} // namespace pellora
