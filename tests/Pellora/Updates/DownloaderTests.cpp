#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Pellora/Updates/Downloader.h"
#include "Pellora/Updates/ServerError.h"
#include "Pellora/Updates/TransportError.h"
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

TEST(Downloader, FailuresLeaveNothingBehind) {
    struct Case {
        std::string name;
        int status;
        long long cutAfter;
        std::string url;         // instead of the server's
        std::string description; // empty: the network library's words
    };
    const std::vector<Case> cases{
        {"not found", 404, -1, "", "The server answered with status 404."},
        {"created is not a success", 201, -1, "", "The server answered with status 201."},
        {"connection cut mid-body", 200, 1 << 20, "", ""},
        {"no web address", 200, -1, "ftp://127.0.0.1/u.tar.xz", "unsupported URL: ftp://127.0.0.1/u.tar.xz"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::ImageServer server;
        server.status = c.status;
        server.body = imageBytes();
        server.cutAfter = c.cutAfter;
        try {
            testing::runForReal(Downloader::download(c.url.empty() ? server.url() : c.url, [](double) {}, ".tar.xz"));
            ADD_FAILURE() << "the download succeeded";
        } catch (const ServerError& error) {
            EXPECT_EQ(error.description(), c.description);
        } catch (const TransportError& error) {
            EXPECT_EQ(c.status, 200);
            if (!c.description.empty())
                EXPECT_EQ(error.description(), c.description);
        }
        EXPECT_TRUE(testing::namesIn(testHome() / "tmp").empty()) << "no partial image is left";
    }
}

} // namespace
} // namespace pellora
