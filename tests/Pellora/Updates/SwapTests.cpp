#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <QProcess>
#include <gtest/gtest.h>

#include "Pellora/Updates/ArchiveInstallerTools.h"
#include "Pellora/Updates/UpdateInstaller.h"
#include "TestHome.h"
#include "UpdateTestKit.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;
using testing::testHome;

// The script runs for real: it waits for a real process, moves real folders and starts the
// result, whose stand-in executable leaves a mark.
TEST(SwapScript, ReplacesTheApplicationOnceItsProcessHasEnded) {
    struct Case {
        std::string name, stagedName;
        // A stand-in command found first on the script's PATH: name and body (or program).
        std::pair<std::string, std::string> command;
        bool processEnds;
        std::string installedName, version;
        bool stagedCopyRemains;
    };
    const std::vector<Case> cases{
        {"same name", "Tovrin.app", {}, true, "Tovrin.app", "1.1.0", false},
        {"another name", "Tovrin Beta.app", {}, true, "Tovrin Beta.app", "1.1.0", false},
        // Half a copy: it goes, and the old copy comes back.
        {"copy fails", "Tovrin.app", {"cp", "#!/bin/sh\nmkdir -p \"$4\"; exit 1\n"}, true, "Tovrin.app", "1.0.0", true},
        // The wait gives up after 150 polls; a `sleep` that returns at once makes that quick.
        {"process never ends", "Tovrin.app", {"sleep", "/bin/true"}, false, "Tovrin.app", "1.1.0", false},
    };
    const ArchiveInstallerTools tools;
    const std::string path = std::getenv("PATH");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path root = testHome() / c.name, launches = root / "launches", apps = root / "Applications";
        fs::create_directories(launches);
        fs::create_directories(root / "bin");
        testing::makeApp(apps / "Tovrin.app", "app.tovrin", "1.0.0", launches);
        testing::makeApp(root / "staging" / c.stagedName, "app.tovrin", "1.1.0", launches);
        if (c.command.second.starts_with("/")) {
            fs::create_symlink(c.command.second, root / "bin" / c.command.first);
        } else if (!c.command.first.empty()) {
            std::ofstream(root / "bin" / c.command.first) << c.command.second;
            fs::permissions(root / "bin" / c.command.first, fs::perms::owner_all);
        }

        QProcess running;
        running.start("/bin/cat", {});
        ASSERT_TRUE(running.waitForStarted());
        const UpdateInstaller::Host host{tools, *Bundle::open(apps / "Tovrin.app"), running.processId()};
        setenv("PATH", ((root / "bin").string() + ":" + path).c_str(), 1);
        const long long script = UpdateInstaller::startReplacement(host, root / "staging" / c.stagedName);
        setenv("PATH", path.c_str(), 1);
        const auto end = [&] { // and reaped: a zombie still answers kill -0
            running.kill();
            running.waitForFinished();
        };
        if (c.processEnds)
            end();
        EXPECT_TRUE(WIFEXITED(testing::waitForProcess(script)));
        end();

        ASSERT_TRUE(testing::watchUntil([&] { return !testing::namesIn(launches).empty(); }, launches));
        const auto launched = testing::namesIn(launches);
        EXPECT_EQ(launched.size(), 1u);
        EXPECT_TRUE(launched[0].starts_with(c.version + "-")) << launched[0];
        EXPECT_EQ(testing::namesIn(apps), (std::vector<std::string>{c.installedName}));
        EXPECT_EQ(testing::versionAt(apps / c.installedName), c.version);
        EXPECT_EQ(fs::exists(root / "staging" / c.stagedName), c.stagedCopyRemains);
    }
    // The scripts stay behind in the temporary folder, for the owner alone.
    const auto scripts = testing::namesIn(testHome() / "tmp");
    ASSERT_EQ(scripts.size(), cases.size());
    for (const auto& name : scripts)
        EXPECT_EQ(fs::status(testHome() / "tmp" / name).permissions(), fs::perms::owner_all) << name;
}

} // namespace
} // namespace pellora
