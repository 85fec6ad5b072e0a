// The two files the application writes while it runs, under a crash and a full or read-only
// disk: config.json holds the old document or the new one, never a mix; activity.jsonl loses
// at most the line being written; nothing that exists is ever cut short.

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "PelloraCore/ActivityFile.h"
#include "PelloraCore/Config.h"
#include "FileSizeLimit.h"
#include "Files.h"
#include "TestHome.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
using pellora::testing::readFile;

// Documents that differ in every save and take a while to write: the instructions of the
// first route are long and of a length that varies from save to save.
Config document(int number) {
    Config config;
    config.emailsSent = number;
    config.openDelay = 1.0 + number / 100.0;
    config.routes = {{"example.com", MatchField::to, DestinationKind::chat, "Board " + std::to_string(number), {},
                      std::string(std::size_t(2'000 + (number * 7'919) % 30'000), char('a' + number % 26))}};
    return config;
}

// Entries of every size, some larger than a page so that a write can be cut inside them.
ActivityEntry entry(int number) {
    ActivityEntry entry;
    entry.id = "6F9619FF-8B86-D011-B42D-" + std::string(12 - std::to_string(number).size(), '0') + std::to_string(number);
    entry.date = sys_seconds(seconds(1'800'000'000 + number));
    entry.subject = "Delivery " + std::to_string(number);
    entry.sender = "Ann <ann@example.com>";
    entry.actionName = "Draft a Reply";
    entry.prompt = std::string(number % 5 == 0 ? 20'000 : 300, 'p');
    return entry;
}

// Reads the numbers a child reports through a pipe; `count` of them, or all until it closes.
// Answers the last one, or `last` when there was none.
int readReports(int fd, int last, int count = -1) {
    for (int number = 0; count != 0 && ::read(fd, &number, sizeof number) == ssize_t(sizeof number); --count)
        last = number;
    return last;
}

// A folder of the test's own, in memory when the machine has a memory file system: a kill
// does not care where the file lives, and every save flushes to disk, which costs.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::is_directory("/dev/shm") && ::access("/dev/shm", W_OK) == 0
                                   ? fs::path("/dev/shm")
                                   : pellora::testing::testHome()) /
                              "pellora-crash-XXXXXX";
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

TEST(CrashSafety, KilledWhileSavingAndAppendingEveryFileStillLoads) {
    const ScratchFolder scratch;
    ASSERT_FALSE(scratch.path().empty());
    const fs::path folder = scratch.path() / "Pellora";
    const fs::path config = folder / "config.json", log = folder / "activity.jsonl";
    document(0).save(config);
    std::mt19937 random(20261205);
    std::vector<ActivityEntry> entries; // every entry known to be in the log
    int next = 1, saves = 0;

    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        int progress[2];
        ASSERT_EQ(::pipe(progress), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Saves and appends, reporting each number once both writes have returned.
            ::close(progress[0]);
            for (int number = next; number < next + 100; ++number) {
                document(number).save(config);
                ActivityFile::append(entry(number), log);
                if (::write(progress[1], &number, sizeof number) != ssize_t(sizeof number))
                    ::_exit(1);
            }
            ::_exit(0);
        }
        ::close(progress[1]);
        // Let it get some way, then kill it wherever it is: after a few reports and a random
        // spell of busy work here (of up to a few milliseconds; yielding instead would wait on
        // whatever else the machine runs).
        const int seen = readReports(progress[0], next - 1, std::uniform_int_distribution<int>(1, 30)(random));
        volatile unsigned spin = 0;
        for (int spins = std::uniform_int_distribution<int>(0, 3'000'000)(random); spins > 0; --spins)
            spin = spin + 1;
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const int reported = readReports(progress[0], seen);
        ::close(progress[0]);
        ASSERT_GE(reported, next);
        saves += reported - next + 1;

        // The last reported document, or the next one when its save had finished.
        const Config loaded = Config::load(config);
        EXPECT_TRUE(loaded == document(reported) || loaded == document(reported + 1)) << loaded.emailsSent;

        // Every reported entry; of the one being written, all or nothing.
        for (int number = next; number <= reported; ++number)
            entries.push_back(entry(number));
        const auto onDisk = ActivityFile::load(log);
        if (onDisk.size() == entries.size() + 1)
            entries.push_back(entry(reported + 1));
        EXPECT_EQ(onDisk, entries);

        // The next run carries on from whatever the crash left.
        next = reported + 2;
    }
    EXPECT_GE(saves, 100); // hundreds of saves and appends, a dozen kills
}

TEST(CrashSafety, FullDiskKeepsEveryFileWholeAndTheNextWriteSucceeds) {
    const fs::path folder = pellora::testing::testHome() / "Pellora";
    const fs::path config = folder / "config.json", log = folder / "activity.jsonl";
    document(1).save(config);
    for (int number = 1; number <= 3; ++number)
        ActivityFile::append(entry(number), log);
    const std::string configBefore = readFile(config);
    const auto logSize = fs::file_size(log);

    {
        // Room for less than either new write.
        pellora::testing::FileSizeLimit full(logSize + 100);
        EXPECT_THROW(document(2).save(config), std::exception);
        EXPECT_THROW(ActivityFile::append(entry(4), log), std::exception);
    }
    EXPECT_EQ(readFile(config), configBefore);
    EXPECT_EQ(Config::load(config), document(1));
    EXPECT_LE(fs::file_size(log), logSize + 100);
    EXPECT_EQ(ActivityFile::load(log), (std::vector{entry(1), entry(2), entry(3)}));
    for (const auto& file : fs::directory_iterator(folder)) // no half-written temporary copy
        EXPECT_TRUE(file.path() == config || file.path() == log) << file.path();

    // Room again: both writes go through, and the cut line costs nothing else.
    document(2).save(config);
    ActivityFile::append(entry(5), log);
    EXPECT_EQ(Config::load(config), document(2));
    EXPECT_EQ(ActivityFile::load(log), (std::vector{entry(1), entry(2), entry(3), entry(5)}));
}

// Runs `body` in a child to which `folder` and its files are read-only: by their permissions,
// or for root (which ignores them) by a mount namespace of its own with the folder bound
// read-only. Answers what the child found wrong, or "skip: …" when no such view can be made.
std::string inReadOnlyFolder(const fs::path& folder, std::string (*body)(const fs::path&)) {
    int report[2];
    if (::pipe(report) != 0)
        return "no pipe";
    const bool root = ::geteuid() == 0;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        std::string result;
        if (!root) {
            for (const auto& file : fs::directory_iterator(folder))
                fs::permissions(file.path(), fs::perms::owner_read);
            fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
        } else if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                   ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
                   ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
            result = std::string("skip: running as root without a mount namespace of its own (") +
                     std::strerror(errno) + ")";
        }
        if (result.empty())
            result = body(folder);
        ::write(report[1], result.data(), result.size());
        ::_exit(0);
    }
    ::close(report[1]);
    std::string result;
    char buffer[512];
    for (ssize_t count; (count = ::read(report[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, std::size_t(count));
    ::close(report[0]);
    ::waitpid(child, nullptr, 0);
    if (!root) {
        fs::permissions(folder, fs::perms::owner_all);
        for (const auto& file : fs::directory_iterator(folder))
            fs::permissions(file.path(), fs::perms::owner_read | fs::perms::owner_write);
    }
    return result;
}

TEST(CrashSafety, ReadOnlyFolderRefusesWritesAndChangesNothing) {
    const fs::path folder = pellora::testing::testHome() / "Pellora";
    document(1).save(folder / "config.json");
    ActivityFile::append(entry(1), folder / "activity.jsonl");
    const std::string configBefore = readFile(folder / "config.json");
    const std::string logBefore = readFile(folder / "activity.jsonl");

    const std::string problems = inReadOnlyFolder(folder, [](const fs::path& folder) -> std::string {
        std::string problems;
        try {
            document(2).save(folder / "config.json");
            problems += "a save succeeded; ";
        } catch (const std::exception&) {
        }
        try {
            ActivityFile::append(entry(2), folder / "activity.jsonl");
            problems += "an append succeeded; ";
        } catch (const std::exception&) {
        }
        if (Config::load(folder / "config.json") != document(1))
            problems += "the document changed; ";
        return problems;
    });
    if (problems.starts_with("skip: "))
        GTEST_SKIP() << problems.substr(6);
    EXPECT_EQ(problems, "");
    EXPECT_EQ(readFile(folder / "config.json"), configBefore);
    EXPECT_EQ(readFile(folder / "activity.jsonl"), logBefore);

    // Writable again (the child's view is gone): the next writes go through.
    document(2).save(folder / "config.json");
    ActivityFile::append(entry(2), folder / "activity.jsonl");
    EXPECT_EQ(Config::load(folder / "config.json"), document(2));
    EXPECT_EQ(ActivityFile::load(folder / "activity.jsonl"), (std::vector{entry(1), entry(2)}));
}

} // namespace
} // namespace pellora
