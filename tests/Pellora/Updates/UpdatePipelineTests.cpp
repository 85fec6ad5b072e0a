#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <gtest/gtest.h>

#include "App/Desk.h"
#include "App/LoopbackServer.h"
#include "App/ScriptedShellUI.h"
#include "Pellora/Updates/ArchiveInstallerTools.h"
#include "Pellora/Updates/CodeSignature.h"
#include "Pellora/Updates/ImageArchive.h"
#include "Pellora/Updates/UpdatePipeline.h"
#include "Pellora/Updates/UpdateProgressWindow.h"
#include "UpdateTestKit.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;
using testing::testHome;
using Tamper = std::function<void(const fs::path&)>;
using Alerts = std::vector<testing::ScriptedShellUI::Alert>;

const char* const identifier = "app.tovrin.Tovrin";

// Names in the temporary folder that match `pattern`.
std::vector<std::string> temporaryItems(const std::string& pattern) {
    std::vector<std::string> found;
    for (const auto& name : testing::namesIn(testHome() / "tmp"))
        if (std::regex_match(name, std::regex(pattern)))
            found.push_back(name);
    return found;
}

// A signed Tovrin 1.0.0 installed in <root>/Applications and running (a stand-in process
// that runs until ended), a server for the image and the pipeline's surroundings.
struct Scene : testing::Desk {
    fs::path root, launches = root / "launches", applications = root / "Applications",
                   installed = applications / "Tovrin.app";
    std::string key = CodeSignature::generateKey();
    ArchiveInstallerTools tools;
    testing::ScriptedShellUI ui;
    testing::ImageServer server;
    QProcess running;
    std::vector<std::string> statuses, labels;
    bool windowLeftVisible = false;
    int quits = 0, builds = 0;

    explicit Scene(fs::path folder) : root(std::move(folder)) {
        fs::remove_all(testHome() / "tmp");
        fs::create_directories(testHome() / "tmp");
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

    // Serves the image and offers it as 1.1.0.
    UpdateInfo offer(const fs::path& image) {
        server.body = testing::readFile(image);
        return UpdateInfo{"1.1.0", std::nullopt, testing::checksumOf(image), std::nullopt, server.url()};
    }
    // A signed application of `version`, changed afterwards by `tamper` and packed.
    UpdateInfo offerBuilt(const std::string& version = "1.1.0", const Tamper& tamper = {},
                          const std::string& id = identifier, const std::optional<std::string>& signer = {}) {
        const fs::path app = root / ("build-" + std::to_string(++builds)) / "Tovrin.app";
        testing::makeApp(app, id, version, launches);
        CodeSignature::sign(app, signer.value_or(key));
        if (tamper)
            tamper(app);
        ImageArchive::pack(app, root / "image.tar.xz");
        auto update = offer(root / "image.tar.xz");
        update.version = version == "1.0.0" ? version : "1.1.0";
        return update;
    }
    UpdateInfo offerRaw(const std::vector<testing::RawEntry>& entries) {
        testing::writeArchive(root / "image.tar.xz", entries);
        return offer(root / "image.tar.xz");
    }

    void install(const UpdateInfo& update) {
        const UpdateInstaller::Host host{tools, *Bundle::open(installed), running.processId()};
        UpdatePipeline pipeline({ui, desktop, host, [this] {
                                     ++quits;
                                     running.kill();
                                     running.waitForFinished();
                                 }});
        QObject::connect(&pipeline, &UpdatePipeline::progressChanged, [this](const UpdateProgress& progress) {
            if (labels.empty() || labels.back() != progress.label())
                labels.push_back(progress.label());
        });
        testing::runOnNetwork(pipeline.install(update, [this](const std::string& status) { statuses.push_back(status); }));
        windowLeftVisible = pipeline.window()->panel()->isVisible();
    }

    bool launched(const std::string& version) const {
        const auto names = testing::namesIn(launches);
        return std::any_of(names.begin(), names.end(), [&](const auto& name) { return name.starts_with(version + "-"); });
    }
};

TEST(UpdatePipeline, InstallsASignedNewerVersionAndStartsIt) {
    for (const bool announced : {true, false}) {
        SCOPED_TRACE(announced ? "size announced" : "size not announced");
        Scene scene(testHome() / (announced ? "announced" : "not announced"));
        UpdateInfo update = scene.offerBuilt();
        std::transform(update.sha256.begin(), update.sha256.end(), update.sha256.begin(), ::toupper); // as good
        scene.server.announceLength = announced;

        scene.install(update);
        EXPECT_EQ(scene.quits, 1);
        EXPECT_TRUE(scene.statuses.empty() && scene.ui.alerts.empty());
        // Without a size there is no determinate progress, only the first line.
        std::vector<std::string> labels{"Downloading version 1.1.0…", "Downloading…", "Verifying…", "Preparing…",
                                        "Restarting…"};
        if (!announced)
            labels.erase(labels.begin() + 1);
        EXPECT_EQ(scene.labels, labels);
        // The script takes over once the process has ended.
        ASSERT_TRUE(testing::waitUntil([&] { return scene.launched("1.1.0"); }));
        EXPECT_FALSE(scene.launched("1.0.0"));
        EXPECT_EQ(testing::versionAt(scene.installed), "1.1.0");
        EXPECT_EQ(testing::namesIn(scene.applications), (std::vector<std::string>{"Tovrin.app"}));
        EXPECT_NO_THROW(CodeSignature::team(scene.installed));
        EXPECT_TRUE(temporaryItems(R"(PLR-[0-9A-F-]{36}\.tar\.xz)").empty()) << "the image is removed";
        const auto staging = temporaryItems(R"(PLR-update-[0-9A-F-]{36})");
        ASSERT_EQ(staging.size(), 1u);
        EXPECT_TRUE(testing::namesIn(testHome() / "tmp" / staging[0]).empty()) << "the staged copy has moved";
    }
}

// Installs and expects `failure`: the status line, the alert or (with `manual`) the
// manual-install offer answered with "Cancel", and nothing changed or left behind.
void expectRefusal(Scene& scene, const UpdateInfo& update, const std::string& failure, bool manual) {
    const auto before = testing::snapshot(scene.applications);
    scene.ui.choiceAnswers = {1};
    scene.install(update);

    EXPECT_EQ(scene.statuses, (std::vector<std::string>{"Update failed: " + failure}));
    using Choice = testing::ScriptedShellUI::Choice;
    if (manual)
        EXPECT_EQ(scene.ui.choices, (std::vector<Choice>{{"Install version 1.1.0 yourself",
                                                          failure + "\n\nThe update was downloaded. Open it, then drag "
                                                                    "Tovrin into Applications.",
                                                          {"Open Installer", "Cancel"}}}));
    else
        EXPECT_EQ(scene.ui.alerts, (Alerts{{"The update couldn't be installed", failure}}));
    EXPECT_EQ(scene.ui.alerts.size() + scene.ui.choices.size(), 1u);
    EXPECT_EQ(scene.quits, 0);
    EXPECT_FALSE(scene.windowLeftVisible);
    EXPECT_EQ(testing::snapshot(scene.applications), before);
    EXPECT_TRUE(testing::namesIn(scene.launches).empty());
    EXPECT_TRUE(temporaryItems(R"(\.?PLR-.*\.(tar\.xz|part|sh))").empty()) << "no image, part or script is left";
    for (fs::recursive_directory_iterator it(testHome()), end; it != end; ++it)
        EXPECT_NE(it->path().filename(), "escaped") << it->path();
    for (const auto& staging : temporaryItems(R"(PLR-update-[0-9A-F-]{36})"))
        EXPECT_FALSE(fs::exists(testHome() / "tmp" / staging / "mount") &&
                     !fs::is_empty(testHome() / "tmp" / staging / "mount")) << "nothing is left attached";
}

TEST(UpdatePipeline, EveryRefusalLeavesTheInstalledCopyAlone) {
    const std::string unopenable = "Something went wrong while installing: couldn't open the disk image.";
    const std::string invalid = "The downloaded app's code signature is not valid.";
    const std::string wrong = "The download isn't the expected update: ";
    const auto served = [](int status, long long cutAfter = -1, std::string url = {}) {
        return [=](Scene& s) {
            auto update = s.offerBuilt();
            s.server.status = status;
            s.server.cutAfter = cutAfter;
            if (!url.empty())
                update.url = url;
            return update;
        };
    };
    const auto raw = [](std::vector<testing::RawEntry> entries) {
        return [entries](Scene& s) { return s.offerRaw(entries); };
    };
    const auto built = [](std::string version, Tamper tamper = {}, std::string id = identifier, bool otherKey = false) {
        return [=](Scene& s) {
            return s.offerBuilt(version, tamper, id, otherKey ? std::optional(CodeSignature::generateKey()) : std::nullopt);
        };
    };
    const auto tampered = [&](Tamper tamper) { return built("1.1.0", std::move(tamper)); };
    struct Case {
        std::string name, failure;
        std::function<UpdateInfo(Scene&)> prepare;
        bool manual = false;
    };
    const std::vector<Case> cases{
        {"bad checksum", "The download is damaged (its checksum doesn't match). Try again later.",
         [](Scene& s) {
             auto update = s.offerBuilt();
             update.sha256.assign(64, '0');
             return update;
         }},
        {"created is not a success", "The server answered with status 201.", served(201)},
        {"connection cut mid-body", "Connection closed", served(200, 100)},
        {"no web address", "unsupported URL: ftp://127.0.0.1/u.tar.xz", served(200, -1, "ftp://127.0.0.1/u.tar.xz")},
        {"name with ..", unopenable, raw({{"Tovrin.app/", 'd'}, {"../../../escaped", 'f', "x"}})},
        {"absolute name", unopenable, raw({{"Tovrin.app/", 'd'}, {(testHome() / "escaped").string(), 'f', "x"}})},
        {"link out of the folder", unopenable, raw({{"Tovrin.app/out", 'l', "../.."}, {"Tovrin.app/out/escaped", 'f'}})},
        {"link climbing after a descent", unopenable, raw({{"Tovrin.app/Contents/l", 'l', "a/../../.."}})},
        {"absolute link", unopenable, raw({{"Tovrin.app/out", 'l', testHome().string()}})},
        {"writing through a link", unopenable, raw({{"Tovrin.app/l", 'l', "."}, {"Tovrin.app/l/x", 'f', "x"}})},
        {"hard link out of the folder", unopenable, raw({{"Tovrin.app/h", 'h', "../escaped"}})},
        {"device file", unopenable, raw({{"Tovrin.app/null", 'c'}})},
        {"no application", "The download doesn't contain the app.", raw({{"Readme.txt", 'f', "Drag Tovrin."}})},
        {"another bundle identifier", wrong + "different app.", built("1.1.0", {}, "com.example.Other")},
        {"first application by name", wrong + "different app.",
         raw({{"Tovrin.app/Contents/Info.plist", 'f', testing::infoPlist(identifier, "1.1.0")},
              {"Another.app/Contents/Info.plist", 'f', testing::infoPlist("com.example.Other", "1.1.0")}})},
        {"another version", wrong + "version 1.2.0, expected 1.1.0.", built("1.2.0")},
        {"not newer", wrong + "not newer.", built("1.0.0")},
        {"manifest edited after signing", invalid, tampered([](const fs::path& app) {
             const fs::path manifest = app / "Contents/_CodeSignature/Manifest.json";
             std::string text = testing::readFile(manifest);
             std::ofstream(manifest, std::ios::trunc) << text.replace(text.find("\"644\""), 5, "\"755\"");
         })},
        {"file added after signing", invalid,
         tampered([](const fs::path& app) { std::ofstream(app / "Contents/MacOS/helper") << "#!/bin/sh\n"; })},
        {"file removed after signing", invalid,
         tampered([](const fs::path& app) { fs::remove(app / "Contents/Resources/notes.txt"); })},
        {"link retargeted after signing", invalid, tampered([](const fs::path& app) {
             fs::remove(app / "Contents/Resources/readme");
             fs::create_symlink("../Info.plist", app / "Contents/Resources/readme");
         })},
        {"made executable after signing", invalid, tampered([](const fs::path& app) {
             fs::permissions(app / "Contents/Info.plist", fs::perms::owner_exec, fs::perm_options::add);
         })},
        {"folder added after signing", invalid,
         tampered([](const fs::path& app) { fs::create_directory(app / "Contents/More"); })},
        {"extra file beside the signature", invalid,
         tampered([](const fs::path& app) { std::ofstream(app / "Contents/_CodeSignature/Other") << "x"; })},
        {"update not signed", invalid,
         tampered([](const fs::path& app) { fs::remove_all(app / "Contents/_CodeSignature"); })},
        {"another publisher's key", "The downloaded app was signed by a different publisher than this one.",
         built("1.1.0", {}, identifier, true)},
        {"running copy not signed",
         "This copy of the app isn't signed with the developer certificate, so it can't verify that the update "
         "comes from the same publisher.",
         [](Scene& s) {
             fs::remove_all(s.installed / "Contents/_CodeSignature");
             return s.offerBuilt();
         },
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene(testHome() / c.name);
        expectRefusal(scene, c.prepare(scene), c.failure, c.manual);
    }
}

TEST(UpdatePipeline, ARunningCopyInAReadOnlyFolderIsOfferedAManualInstall) {
    Scene scene(testHome() / "read-only");
    const UpdateInfo update = scene.offerBuilt();
    testing::ReadOnlyFolder readOnly(scene.applications);
    if (!readOnly.held())
        GTEST_SKIP() << "this file system cannot make a folder read-only for root";
    expectRefusal(scene, update, "This app can't replace itself in " + scene.applications.string() + ".", true);
}

TEST(UpdatePipeline, OpenInstallerSavesTheImageInDownloadsAndOpensIt) {
    const fs::path downloads = testHome() / "Downloads", saved = downloads / "Tovrin-1.1.0.tar.xz";
    const struct {
        std::string name;
        int answer;
        std::string before; // at Downloads/Tovrin-1.1.0.tar.xz; "-" makes Downloads a file
        bool saved;
        Alerts alerts;
    } cases[] = {
        {"open installer", 0, "", true, {}},
        {"replaces an older download", 0, "old", true, {}},
        {"cancel", 1, "", false, {}},
        {"closed without a choice", -1, "old", false, {}},
        {"cannot save", 0, "-", false, {{"Couldn't save the installer", "Not a directory: " + downloads.string()}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(downloads);
        if (c.before == "-") {
            std::ofstream(downloads) << "a file where the folder should be";
        } else {
            fs::create_directories(downloads);
            if (!c.before.empty())
                std::ofstream(saved) << c.before;
        }
        Scene scene(testHome() / c.name);
        fs::remove_all(scene.installed / "Contents/_CodeSignature");
        const UpdateInfo update = scene.offerBuilt();
        scene.ui.choiceAnswers = {c.answer};

        scene.install(update);
        EXPECT_EQ(scene.ui.choices.size(), 1u);
        EXPECT_EQ(scene.ui.alerts, c.alerts);
        // Only an image that could not be saved stays where it was downloaded.
        EXPECT_EQ(temporaryItems(R"(PLR-.*\.tar\.xz)").size(), c.before == "-" ? 1u : 0u);
        if (c.saved) {
            EXPECT_EQ(testing::checksumOf(saved), update.sha256);
            EXPECT_EQ(scene.desktop.openedURLs(), (std::vector<std::string>{"file://" + saved.string()}));
        } else {
            EXPECT_TRUE(scene.desktop.openedURLs().empty());
            if (c.before != "-")
                EXPECT_EQ(testing::readFile(saved), c.before);
        }
    }
}

TEST(UpdateProgressWindow, ShowsEachStepOnRealWidgets) {
    UpdateProgressWindow window("2.0.1");
    window.present();
    EXPECT_EQ(std::pair(window.panel()->windowTitle(), window.panel()->size()),
              std::pair(QStringLiteral("Updating Tovrin"), QSize(360, 96)));
    EXPECT_EQ(window.bar()->width(), 320);
    EXPECT_EQ(std::pair(window.label()->text(), window.bar()->maximum()),
              std::pair(QStringLiteral("Downloading version 2.0.1…"), 0)) << "a busy bar until the size is known";
    UpdateProgress progress("2.0.1");
    progress.downloaded(0.5);
    window.show(progress);
    EXPECT_EQ(window.label()->text(), "Downloading…");
    EXPECT_EQ(double(window.bar()->value()) / window.bar()->maximum(), 0.5);
    progress.verifying();
    window.show(progress);
    EXPECT_EQ(std::pair(window.label()->text(), window.bar()->maximum()), std::pair(QStringLiteral("Verifying…"), 0));
    window.hide();
    EXPECT_FALSE(window.panel()->isVisible());
}

} // namespace
} // namespace pellora
