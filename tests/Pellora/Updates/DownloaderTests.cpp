#include <sys/stat.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Pellora/Updates/Downloader.h"
#include "Pellora/Updates/ServerError.h"
#include "TestHome.h"
#include "UpdateTestKit.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;
using testing::testHome;
using UpdateInstaller::Downloader;

// Three megabytes that are not all alike.
std::string imageBytes() {
    std::string bytes(3 << 20, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 7919) >> 3);
    return bytes;
}

std::string readFile(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

TEST(Downloader, StreamsTheImageIntoTheTemporaryFolder) {
    struct Case {
        std::string name;
        bool announceLength;
        bool reportsProgress;
    };
    const std::vector<Case> cases{{"size announced", true, true}, {"size not announced", false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::ImageServer server;
        server.body = imageBytes();
        server.announceLength = c.announceLength;
        std::vector<double> reports;
        const fs::path image = testing::runForReal(
            Downloader::download(server.url(), [&](double fraction) { reports.push_back(fraction); }, ".tar.xz"));

        EXPECT_EQ(image.parent_path(), testHome() / "tmp");
        EXPECT_TRUE(std::regex_match(image.filename().string(),
                                     std::regex("PLR-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.tar\\.xz")))
            << image;
        EXPECT_TRUE(readFile(image) == server.body);
        EXPECT_EQ(fs::status(image).permissions(), fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(testing::namesIn(testHome() / "tmp"), (std::vector<std::string>{image.filename().string()}));
        EXPECT_EQ(server.requests(), 1);
        if (c.reportsProgress) {
            ASSERT_FALSE(reports.empty());
            EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end())) << ::testing::PrintToString(reports);
            EXPECT_EQ(reports.back(), 1.0);
        } else {
            EXPECT_TRUE(reports.empty());
        }
        fs::remove(image);
    }
}

TEST(Downloader, FailuresLeaveNothingBehind) {
    struct Case {
        std::string name;
        int status;
        long long cutAfter;
        std::string url; // instead of the server's
        std::string description; // empty: the network library's words
        bool serverError;
    };
    const std::vector<Case> cases{
        {"not found", 404, -1, "", "The server answered with status 404.", true},
        {"created is not a success", 201, -1, "", "The server answered with status 201.", true},
        {"connection cut mid-body", 200, 1 << 20, "", "", false},
        {"no web address", 200, -1, "ftp://127.0.0.1/update.tar.xz", "unsupported URL: ftp://127.0.0.1/update.tar.xz",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::ImageServer server;
        server.status = c.status;
        server.body = imageBytes();
        server.cutAfter = c.cutAfter;
        const std::string url = c.url.empty() ? server.url() : c.url;
        try {
            testing::runForReal(Downloader::download(url, [](double) {}, ".tar.xz"));
            ADD_FAILURE() << "the download succeeded";
        } catch (const UserError& error) {
            EXPECT_EQ(dynamic_cast<const ServerError*>(&error) != nullptr, c.serverError);
            if (c.description.empty())
                EXPECT_FALSE(error.description().empty());
            else
                EXPECT_EQ(error.description(), c.description);
        }
        EXPECT_TRUE(testing::namesIn(testHome() / "tmp").empty()) << "no partial image is left";
    }
}

} // namespace
} // namespace pellora
