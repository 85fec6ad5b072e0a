#include <fstream>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "App/Desk.h"
#include "Pellora/Mail/MailReader.h"
#include "Pellora/Platform/Sim/SimMailFolder.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;

const std::string headers = "From: Ada Lovelace <ada@example.com>\r\n"
                            "To: bob@example.org\r\n"
                            "Subject: Content\r\n"
                            "Date: Sat, 05 Dec 2026 06:19:03 +0100\r\n"
                            "MIME-Version: 1.0\r\n";

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

    pellora::testing::Desk desk;
    desk.runMail({});
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        desk.select({headers + test.message});
        const Email email = MailReader::readSelectedEmail(desk.desktop, desk.desktop);
        EXPECT_EQ(email.body, test.body);
        EXPECT_EQ(email.attachmentPaths.size(), test.attachments);
    }
}

TEST(SimMailFolder, NewestFirstUndatedLastOnlyMessages) {
    const fs::path folder = pellora::testing::testHome() / "inbox";
    fs::create_directories(folder / "sub.eml");
    auto put = [&](const std::string& name, const std::string& date) {
        std::ofstream(folder / name, std::ios::binary)
            << (date.empty() ? "" : "Date: " + date + "\r\n") << "Subject: " << name << "\r\n\r\nHi";
    };
    put("b.eml", "Mon, 30 Nov 2026 18:05:00 +0000");
    put("a.EML", "Tue, 01 Dec 2026 09:42:10 +0100");
    put("c.eml", "Mon, 30 Nov 2026 19:05:00 +0100"); // the same moment as b.eml
    put("undated.eml", "");
    put("notes.txt", "Tue, 01 Dec 2026 09:42:10 +0100");

    std::vector<std::string> names;
    for (const auto& message : SimMailFolder::read(folder))
        names.push_back(message.file.filename().string());
    EXPECT_EQ(names, (std::vector<std::string>{"a.EML", "b.eml", "c.eml", "undated.eml"}));
    EXPECT_TRUE(SimMailFolder::read(folder / "missing").empty());
}

} // namespace
} // namespace pellora
