#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QWidget>
#include <gtest/gtest.h>

#include "App/ScriptedShellUI.h"
#include "Pellora/Platform/Sim/MemoryPasteboard.h"
#include "Pellora/Platform/Sim/SimDesktop.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "Pellora/Updates/ArchiveInstallerTools.h"
#include "Pellora/Updates/CodeSignature.h"
#include "Pellora/Updates/Downloader.h"
#include "Pellora/Updates/ImageArchive.h"
#include "Pellora/Updates/ServerError.h"
#include "Pellora/Updates/UpdatePipeline.h"
#include "Pellora/Updates/UpdateProgressWindow.h"
#include "TestHome.h"
#include "UpdateTestKit.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;
using testing::testHome;

const char* const identifier = "app.tovrin.Tovrin";

std::string readFile(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

// Names in the temporary folder that match `pattern`.
std::vector<std::string> temporaryItems(const std::string& pattern) {
    std::vector<std::string> found;
    for (const auto& name : testing::namesIn(testHome() / "tmp"))
        if (std::regex_match(name, std::regex(pattern)))
            found.push_back(name);
    return found;
}

bool isPresent(const fs::path& path) {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path, ignored));
}

// An installed, signed Tovrin 1.0.0 in <root>/Applications, its running process (a stand-in
// that runs until ended), a server for the update image and the pipeline's surroundings.
struct Scene {
    fs::path root;
    fs::path launches = root / "launches";
    fs::path applications = root / "Applications";
    fs::path installed = applications / "Tovrin.app";
    std::string key = CodeSignature::generateKey();
    ArchiveInstallerTools tools;
    testing::ScriptedShellUI ui;
    VirtualClock clock;
    MemoryPasteboard pasteboard;
    SimDesktop desktop{clock, pasteboard};
    testing::ImageServer server;
    QProcess running;
    std::vector<std::string> statuses;
    std::vector<std::string> labels;
    std::optional<testing::ReadOnlyFolder> readOnly;
    bool windowLeftVisible = false;
    int quits = 0;
    int builds = 0;

    explicit Scene(fs::path folder) : root(std::move(folder)) {
        for (const auto& name : testing::namesIn(testHome() / "tmp"))
            fs::remove_all(testHome() / "tmp" / name);
        fs::create_directories(launches);
        testing::makeApp(installed, identifier, "1.0.0", launches);
        CodeSignature::sign(installed, key);
        running.start("/bin/cat", {});
        running.waitForStarted();
    }
    ~Scene() {
        running.kill();
        running.waitForFinished();
    }

    // A signed application folder, in a build folder of its own.
    fs::path build(const std::string& version, const std::string& id = identifier, std::optional<std::string> with = {},
                   const std::string& name = "Tovrin.app") {
        const fs::path app = root / "build" / std::to_string(++builds) / name;
        testing::makeApp(app, id, version, launches);
        CodeSignature::sign(app, with.value_or(key));
        return app;
    }
    fs::path pack(const fs::path& app) {
        const fs::path image = root / ("image-" + std::to_string(++builds) + ".tar.xz");
        ImageArchive::pack(app, image);
        return image;
    }
    fs::path packRaw(const std::vector<testing::RawEntry>& entries) {
        const fs::path image = root / ("image-" + std::to_string(++builds) + ".tar.xz");
        testing::writeArchive(image, entries);
        return image;
    }
    // Serves the image and offers it as `version`.
    UpdateInfo offer(const fs::path& image, const std::string& version = "1.1.0") {
        server.body = readFile(image);
        return UpdateInfo{version, std::nullopt, testing::checksumOf(image), std::nullopt, server.url()};
    }

    void install(const UpdateInfo& update) {
        const auto bundle = Bundle::open(installed);
        UpdatePipeline pipeline({ui, desktop, UpdateInstaller::Host{tools, *bundle, running.processId()}, [this] {
                                     ++quits;
                                     running.kill();
                                     running.waitForFinished();
                                 }});
        QObject::connect(&pipeline, &UpdatePipeline::progressChanged, [this](const UpdateProgress& progress) {
            if (labels.empty() || labels.back() != progress.label())
                labels.push_back(progress.label());
        });
        testing::runForReal(pipeline.install(update, [this](const std::string& status) { statuses.push_back(status); }));
        windowLeftVisible = pipeline.window()->panel()->isVisible();
    }

    bool launched(const std::string& version) const {
        for (const auto& name : testing::namesIn(launches))
            if (name.starts_with(version + "-"))
                return true;
        return false;
    }
};

TEST(UpdatePipeline, InstallsASignedNewerVersionAndStartsIt) {
    Scene scene(testHome() / "road");
    UpdateInfo update = scene.offer(scene.pack(scene.build("1.1.0")));
    for (char& c : update.sha256) // an upper-case checksum is as good
        c = char(std::toupper(static_cast<unsigned char>(c)));

    scene.install(update);
    EXPECT_EQ(scene.quits, 1);
    EXPECT_TRUE(scene.statuses.empty());
    EXPECT_TRUE(scene.ui.alerts.empty());
    EXPECT_EQ(scene.labels, (std::vector<std::string>{"Downloading version 1.1.0…", "Downloading…", "Verifying…",
                                                      "Preparing…", "Restarting…"}));

    // The script takes over once the process has ended.
    ASSERT_TRUE(testing::watchUntil([&] { return scene.launched("1.1.0"); }, scene.launches));
    EXPECT_EQ(testing::versionAt(scene.installed), "1.1.0");
    EXPECT_EQ(testing::namesIn(scene.applications), (std::vector<std::string>{"Tovrin.app"}));
    EXPECT_NO_THROW(CodeSignature::team(scene.installed));
    EXPECT_FALSE(scene.launched("1.0.0"));
    EXPECT_TRUE(temporaryItems(R"(PLR-[0-9A-F-]{36}\.tar\.xz)").empty()) << "the image is removed";
    const auto staging = temporaryItems(R"(PLR-update-[0-9A-F-]{36})");
    ASSERT_EQ(staging.size(), 1u);
    EXPECT_TRUE(testing::namesIn(testHome() / "tmp" / staging[0]).empty()) << "the staged copy has moved";
}

bool anyFileNamed(const fs::path& folder, const std::string& name) {
    for (fs::recursive_directory_iterator it(folder), end; it != end; ++it)
        if (it->path().filename() == name)
            return true;
    return false;
}

// Installs the update in the scene and expects it refused with `failure`: the status line,
// the alert or (with `manual`) the manual-install offer, answered with "Cancel", and nothing
// changed or left behind.
void expectRefusal(Scene& scene, const UpdateInfo& update, const std::string& failure, bool manual) {
    const auto before = testing::snapshot(scene.applications);
    scene.ui.choiceAnswers = {1};
    scene.install(update);

    EXPECT_EQ(scene.statuses, (std::vector<std::string>{"Update failed: " + failure}));
    if (manual) {
        ASSERT_EQ(scene.ui.choices.size(), 1u);
        EXPECT_EQ(scene.ui.choices[0].message, "Install version 1.1.0 yourself");
        EXPECT_EQ(scene.ui.choices[0].informativeText,
                  failure + "\n\nThe update was downloaded. Open it, then drag Tovrin into Applications.");
        EXPECT_EQ(scene.ui.choices[0].buttons, (std::vector<std::string>{"Open Installer", "Cancel"}));
        EXPECT_TRUE(scene.ui.alerts.empty());
    } else {
        EXPECT_EQ(scene.ui.alerts,
                  (std::vector<testing::ScriptedShellUI::Alert>{{"The update couldn't be installed", failure}}));
        EXPECT_TRUE(scene.ui.choices.empty());
    }
    EXPECT_EQ(scene.quits, 0);
    EXPECT_FALSE(scene.windowLeftVisible);
    EXPECT_EQ(testing::snapshot(scene.applications), before);
    EXPECT_TRUE(testing::namesIn(scene.launches).empty());
    EXPECT_TRUE(temporaryItems(R"(PLR-.*\.(tar\.xz|sh))").empty()) << "no image or script is left";
    EXPECT_FALSE(anyFileNamed(testHome(), "escaped"));
}

TEST(UpdatePipeline, EveryRefusalLeavesTheInstalledCopyAlone) {
    struct Case {
        std::string name;
        std::function<UpdateInfo(Scene&)> prepare;
        std::string failure;
        bool offersManualInstall = false;
    };
    const std::string unopenable = "Something went wrong while installing: couldn't open the disk image.";
    const std::string unsigned_ = "The downloaded app's code signature is not valid.";
    const fs::path escaped = testHome() / "escaped";
    const std::vector<Case> cases{
        {"bad checksum",
         [](Scene& s) {
             auto update = s.offer(s.pack(s.build("1.1.0")));
             update.sha256 = std::string(64, '0');
             return update;
         },
         "The download is damaged (its checksum doesn't match). Try again later."},
        {"not found",
         [](Scene& s) {
             s.server.status = 404;
             return s.offer(s.pack(s.build("1.1.0")));
         },
         "The server answered with status 404."},
        {"name with ..",
         [](Scene& s) { return s.offer(s.packRaw({{"Tovrin.app/", 'd'}, {"../../../escaped", 'f', "x"}})); },
         unopenable},
        {"absolute name",
         [&](Scene& s) { return s.offer(s.packRaw({{"Tovrin.app/", 'd'}, {escaped.string(), 'f', "x"}})); },
         unopenable},
        {"link out of the folder",
         [&](Scene& s) {
             return s.offer(s.packRaw({{"Tovrin.app/", 'd'}, {"Tovrin.app/out", 'l', "../.."}, {"Tovrin.app/out/escaped", 'f', "x"}}));
         },
         unopenable},
        {"absolute link",
         [&](Scene& s) { return s.offer(s.packRaw({{"Tovrin.app/", 'd'}, {"Tovrin.app/out", 'l', testHome().string()}})); },
         unopenable},
        {"device file",
         [](Scene& s) { return s.offer(s.packRaw({{"Tovrin.app/", 'd'}, {"Tovrin.app/null", 'c'}})); },
         unopenable},
        {"no application",
         [](Scene& s) { return s.offer(s.packRaw({{"Readme.txt", 'f', "Drag Tovrin to Applications."}})); },
         "The download doesn't contain the app."},
        {"another bundle identifier",
         [](Scene& s) { return s.offer(s.pack(s.build("1.1.0", "com.example.Other"))); },
         "The download isn't the expected update: different app."},
        {"first application by name",
         [](Scene& s) {
             return s.offer(s.packRaw({{"Tovrin.app/Contents/", 'd'},
                                       {"Tovrin.app/Contents/Info.plist", 'f', testing::infoPlist(identifier, "1.1.0")},
                                       {"Another.app/Contents/", 'd'},
                                       {"Another.app/Contents/Info.plist", 'f', testing::infoPlist("com.example.Other", "1.1.0")}}));
         },
         "The download isn't the expected update: different app."},
        {"another version",
         [](Scene& s) { return s.offer(s.pack(s.build("1.2.0"))); },
         "The download isn't the expected update: version 1.2.0, expected 1.1.0."},
        {"not newer",
         [](Scene& s) { return s.offer(s.pack(s.build("1.0.0")), "1.0.0"); },
         "The download isn't the expected update: not newer."},
        {"manifest edited after signing",
         [](Scene& s) {
             const fs::path app = s.build("1.1.0");
             const fs::path manifest = app / "Contents/_CodeSignature/Manifest.json";
             std::string text = readFile(manifest);
             text.replace(text.find("\"644\""), 5, "\"755\"");
             std::ofstream(manifest, std::ios::trunc) << text;
             return s.offer(s.pack(app));
         },
         unsigned_},
        {"file added after signing",
         [](Scene& s) {
             const fs::path app = s.build("1.1.0");
             std::ofstream(app / "Contents/MacOS/helper") << "#!/bin/sh\n";
             return s.offer(s.pack(app));
         },
         unsigned_},
        {"file removed after signing",
         [](Scene& s) {
             const fs::path app = s.build("1.1.0");
             fs::remove(app / "Contents/Resources/notes.txt");
             return s.offer(s.pack(app));
         },
         unsigned_},
        {"update not signed",
         [](Scene& s) {
             const fs::path app = s.build("1.1.0");
             fs::remove_all(app / "Contents/_CodeSignature");
             return s.offer(s.pack(app));
         },
         unsigned_},
        {"another publisher's key",
         [](Scene& s) { return s.offer(s.pack(s.build("1.1.0", identifier, CodeSignature::generateKey()))); },
         "The downloaded app was signed by a different publisher than this one."},
        {"running copy not signed",
         [](Scene& s) {
             fs::remove_all(s.installed / "Contents/_CodeSignature");
             return s.offer(s.pack(s.build("1.1.0")));
         },
         "This copy of the app isn't signed with the developer certificate, so it can't verify that the update "
         "comes from the same publisher.",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene(testHome() / c.name);
        expectRefusal(scene, c.prepare(scene), c.failure, c.offersManualInstall);
    }
}

TEST(UpdatePipeline, ARunningCopyInAReadOnlyFolderIsOfferedAManualInstall) {
    Scene scene(testHome() / "read-only");
    const UpdateInfo update = scene.offer(scene.pack(scene.build("1.1.0")));
    scene.readOnly.emplace(scene.applications);
    if (!scene.readOnly->held())
        GTEST_SKIP() << "this file system cannot make a folder read-only for root";
    expectRefusal(scene, update, "This app can't replace itself in " + scene.applications.string() + ".", true);
}

TEST(UpdatePipeline, OpenInstallerSavesTheImageInDownloadsAndOpensIt) {
    struct Case {
        std::string name;
        int answer;
        // What is at Downloads/Tovrin-1.1.0.tar.xz before.
        std::function<void(const fs::path&)> before;
        bool saved;
        std::vector<testing::ScriptedShellUI::Alert> alerts;
    };
    const fs::path downloads = testHome() / "Downloads";
    const fs::path saved = downloads / "Tovrin-1.1.0.tar.xz";
    const std::vector<Case> cases{
        {"open installer", 0, [](const fs::path&) {}, true, {}},
        {"replaces an older download", 0, [](const fs::path& file) { std::ofstream(file) << "old"; }, true, {}},
        {"cancel", 1, [](const fs::path&) {}, false, {}},
        {"closed without a choice", -1, [](const fs::path&) {}, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(downloads);
        fs::create_directories(downloads);
        c.before(saved);
        Scene scene(testHome() / c.name);
        fs::remove_all(scene.installed / "Contents/_CodeSignature");
        const fs::path image = scene.pack(scene.build("1.1.0"));
        const UpdateInfo update = scene.offer(image);
        scene.ui.choiceAnswers = {c.answer};

        scene.install(update);
        ASSERT_EQ(scene.ui.choices.size(), 1u);
        EXPECT_EQ(scene.ui.alerts, c.alerts);
        EXPECT_TRUE(temporaryItems(R"(PLR-.*\.tar\.xz)").empty());
        if (c.saved) {
            EXPECT_EQ(testing::checksumOf(saved), update.sha256);
            EXPECT_EQ(scene.desktop.openedURLs(), (std::vector<std::string>{"file://" + saved.string()}));
        } else {
            EXPECT_TRUE(scene.desktop.openedURLs().empty());
            EXPECT_FALSE(isPresent(saved));
        }
    }
}

TEST(UpdatePipeline, AnInstallerThatCannotBeSavedIsReported) {
    Scene scene(testHome() / "scene");
    std::ofstream(testHome() / "Downloads") << "a file where the folder should be";
    fs::remove_all(scene.installed / "Contents/_CodeSignature");
    scene.ui.choiceAnswers = {0};
    scene.install(scene.offer(scene.pack(scene.build("1.1.0"))));

    ASSERT_EQ(scene.ui.alerts.size(), 1u);
    EXPECT_EQ(scene.ui.alerts[0].message, "Couldn't save the installer");
    EXPECT_EQ(scene.ui.alerts[0].informativeText, "Not a directory: " + (testHome() / "Downloads").string());
    EXPECT_TRUE(scene.desktop.openedURLs().empty());
}

TEST(UpdateProgressWindow, ShowsEachStepOnRealWidgets) {
    UpdateProgressWindow window("2.0.1");
    QWidget* panel = window.panel();
    EXPECT_EQ(panel->windowTitle(), "Updating Tovrin");
    EXPECT_EQ(panel->size(), QSize(360, 96));
    EXPECT_EQ(window.bar()->width(), 320);
    EXPECT_EQ(window.label()->text(), "Downloading version 2.0.1…");
    EXPECT_EQ(window.bar()->maximum(), 0) << "no determinate bar before the size is known";
    for (QWidget* control : std::vector<QWidget*>{panel, window.label(), window.bar()})
        EXPECT_FALSE(control->accessibleName().isEmpty());

    window.present();
    EXPECT_TRUE(panel->isVisible());
    UpdateProgress progress("2.0.1");
    progress.downloaded(0.5);
    window.show(progress);
    EXPECT_EQ(window.label()->text(), "Downloading…");
    EXPECT_GT(window.bar()->maximum(), 0);
    EXPECT_EQ(double(window.bar()->value()) / window.bar()->maximum(), 0.5);
    progress.verifying();
    window.show(progress);
    EXPECT_EQ(window.label()->text(), "Verifying…");
    EXPECT_EQ(window.bar()->maximum(), 0);
    window.hide();
    EXPECT_FALSE(panel->isVisible());
}

} // namespace
} // namespace pellora
