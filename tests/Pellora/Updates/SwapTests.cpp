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

// Puts a folder of stand-in commands first on PATH, for the script started meanwhile.
class CommandsFirst {
public:
    explicit CommandsFirst(const fs::path& folder) : saved_(std::getenv("PATH")) {
        setenv("PATH", (folder.string() + ":" + saved_).c_str(), 1);
    }
    ~CommandsFirst() { setenv("PATH", saved_.c_str(), 1); }

private:
    std::string saved_;
};

// A shell script, or with a body starting with "/" a link to that program.
void writeCommand(const fs::path& file, const std::string& body) {
    if (body.starts_with("/")) {
        fs::create_symlink(body, file);
        return;
    }
    std::ofstream(file) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(file, fs::perms::owner_all);
}

std::vector<std::string> launchedVersions(const fs::path& launches) {
    std::vector<std::string> versions;
    for (const auto& name : testing::namesIn(launches))
        versions.push_back(name.substr(0, name.find('-')));
    return versions;
}

// The script runs for real: it waits for a real process, moves real folders and starts the
// result, whose stand-in executable leaves a mark.
TEST(SwapScript, ReplacesTheApplicationOnceItsProcessHasEnded) {
    struct Case {
        std::string name;
        std::string stagedName;
        // Stand-in commands found before the real ones: name → script body.
        std::vector<std::pair<std::string, std::string>> commands;
        bool processEnds;
        std::vector<std::string> installedNames;
        std::string installedVersion;
        bool stagedCopyRemains;
    };
    const std::vector<Case> cases{
        {"same name", "Tovrin.app", {}, true, {"Tovrin.app"}, "1.1.0", false},
        {"another name", "Tovrin Beta.app", {}, true, {"Tovrin Beta.app"}, "1.1.0", false},
        // A copy that fails half-way: the partial copy goes and the old copy comes back.
        {"copy fails", "Tovrin.app", {{"cp", "mkdir -p \"$4\"; exit 1"}}, true, {"Tovrin.app"}, "1.0.0", true},
        // The wait gives up after its 150 polls; a `sleep` that returns at once makes that quick.
        {"process never ends", "Tovrin.app", {{"sleep", "/bin/true"}}, false, {"Tovrin.app"}, "1.1.0", false},
    };
    const ArchiveInstallerTools tools;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path root = testHome() / c.name;
        const fs::path launches = root / "launches", applications = root / "Applications", bin = root / "bin";
        fs::create_directories(launches);
        fs::create_directories(bin);
        testing::makeApp(applications / "Tovrin.app", "app.tovrin", "1.0.0", launches);
        const fs::path staged = root / "staging" / c.stagedName;
        testing::makeApp(staged, "app.tovrin", "1.1.0", launches);
        for (const auto& [command, body] : c.commands)
            writeCommand(bin / command, body);

        QProcess running;
        running.start("/bin/cat", {});
        ASSERT_TRUE(running.waitForStarted());
        const UpdateInstaller::Host host{tools, *Bundle::open(applications / "Tovrin.app"), running.processId()};
        long long script = 0;
        {
            const CommandsFirst path(bin);
            script = UpdateInstaller::startReplacement(host, staged);
        }
        if (c.processEnds) {
            running.kill();
            running.waitForFinished();
        }
        const int status = testing::waitForProcess(script);
        EXPECT_TRUE(WIFEXITED(status));
        running.kill();
        running.waitForFinished();

        ASSERT_TRUE(testing::watchUntil([&] { return !testing::namesIn(launches).empty(); }, launches));
        EXPECT_EQ(launchedVersions(launches), (std::vector<std::string>{c.installedVersion}));
        EXPECT_EQ(testing::namesIn(applications), c.installedNames);
        EXPECT_EQ(testing::versionAt(applications / c.installedNames[0]), c.installedVersion);
        EXPECT_EQ(fs::exists(staged), c.stagedCopyRemains);
    }
    // The scripts stay behind in the temporary folder, readable and runnable by the owner only.
    const auto scripts = testing::namesIn(testHome() / "tmp");
    ASSERT_EQ(scripts.size(), cases.size());
    for (const auto& name : scripts) {
        EXPECT_TRUE(name.starts_with("PLR-update-") && name.ends_with(".sh")) << name;
        EXPECT_EQ(fs::status(testHome() / "tmp" / name).permissions(), fs::perms::owner_all);
    }
}

} // namespace
} // namespace pellora
