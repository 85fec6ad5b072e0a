#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "Pellora/Platform/Bundle.h"
#include "TestHome.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;

const std::string header = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n";

fs::path makeApp(const std::string& name, const std::optional<std::string>& plist) {
    const fs::path app = pellora::testing::testHome() / "Applications" / name;
    fs::create_directories(app / "Contents" / "MacOS");
    if (plist)
        std::ofstream(app / "Contents" / "Info.plist", std::ios::binary) << *plist;
    return app;
}

struct PlistCase {
    const char* what;
    std::optional<std::string> plist;
    bool opens;
    std::optional<std::string> identifier;
    std::optional<std::string> shortVersion;
};

TEST(Bundle, ReadsIdentifierAndShortVersionFromInfoPlist) {
    const PlistCase cases[] = {
        {"both entries, among others", header + "<plist version=\"1.0\"><dict>"
             "<key>CFBundleName</key><string>Tovrin</string>"
             "<key>LSUIElement</key><true/>"
             "<key>CFBundleIdentifier</key><string>com.example.tovrin</string>"
             "<key>CFBundleDocumentTypes</key><array><dict><key>CFBundleIdentifier</key>"
             "<string>nested.is.ignored</string></dict></array>"
             "<key>CFBundleShortVersionString</key><string>1.4.2</string>"
             "</dict></plist>",
         true, "com.example.tovrin", "1.4.2"},
        {"escaped text", header + "<plist version=\"1.0\"><dict>"
             "<key>CFBundleIdentifier</key><string>a&amp;b</string></dict></plist>",
         true, "a&b", std::nullopt},
        {"a version that is not text", header + "<plist version=\"1.0\"><dict>"
             "<key>CFBundleShortVersionString</key><integer>2</integer></dict></plist>",
         true, std::nullopt, std::nullopt},
        {"an empty dictionary", "<plist version=\"1.0\"><dict/></plist>", true, std::nullopt, std::nullopt},
        {"no Info.plist", std::nullopt, false, std::nullopt, std::nullopt},
        {"not a property list", "<html><body>CFBundleIdentifier</body></html>", false, std::nullopt,
         std::nullopt},
        {"cut short", header + "<plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>", false,
         std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path app = makeApp("Tovrin.app", c.plist);
        const auto bundle = Bundle::open(app);
        ASSERT_EQ(bundle.has_value(), c.opens);
        if (bundle) {
            EXPECT_EQ(bundle->location, app);
            EXPECT_EQ(bundle->identifier, c.identifier);
            EXPECT_EQ(bundle->shortVersion, c.shortVersion);
            EXPECT_EQ(bundle->version(), c.shortVersion.value_or("0.0.0"));
        }
        fs::remove_all(app);
    }
}

TEST(Bundle, FoundOnlyAroundAnExecutableInContentsMacOS) {
    const std::string plist = header + "<plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>"
                                       "<string>com.example.tovrin</string></dict></plist>";
    const fs::path app = makeApp("Tovrin.app", plist);
    ASSERT_TRUE(Bundle::containing(app / "Contents" / "MacOS" / "Tovrin"));
    EXPECT_EQ(Bundle::containing(app / "Contents" / "MacOS" / "Tovrin")->identifier, "com.example.tovrin");

    const fs::path loose = pellora::testing::testHome() / "build" / "Tovrin";
    EXPECT_FALSE(Bundle::containing(loose));
    const fs::path notApp = makeApp("Tovrin", plist);
    EXPECT_FALSE(Bundle::containing(notApp / "Contents" / "MacOS" / "Tovrin"));
}

} // namespace
} // namespace pellora
