// The running application, started as a user starts it (the assembled Tovrin.app, a fresh
// process each time):
// - from exec to the first paint of its panel with 100,000 activity entries, offscreen:
//   goal 200 ms;
// - its resident memory once idle with 10,000 entries, against a bare Qt tray application
//   with a small panel started the same way in the same run: goal at most 1.25 times as much.
//   Under the X server of $DISPLAY (scripts/bench gives it a private Xvfb with a tray) when
//   there is one, offscreen otherwise.
// The application opens its panel at start and reports the first paint on standard error
// when PELLORA_BENCH_FIRST_PAINT is set; its check-ins then stay inside the process.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "PelloraCore/Config.h"
#include "PelloraCore/ReferenceDate.h"
#include "SampleActivity.h"
#include "ScratchFolder.h"

extern char** environ;

using namespace pellora;

namespace {

constexpr std::string_view marker = "pellora-bench: panel painted";
constexpr auto launchDeadline = std::chrono::seconds(30);

const std::filesystem::path tovrin = PELLORA_BENCH_TOVRIN;
const std::filesystem::path bareTray = PELLORA_BENCH_BARE_TRAY;

bool hasDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display && *display;
}

// A home of its own for the started programs: the sample configuration with the usage
// question answered (so no consent window opens) and the update check just done, and an
// activity log of `entries`.
class AppHome {
public:
    explicit AppHome(int entries) {
        const auto support = folder_.path() / "data" / "Pellora";
        std::filesystem::create_directories(support);
        for (const char* folder : {"state", "config", "cache", "tmp"})
            std::filesystem::create_directories(folder_.path() / folder);
        Config config = Config::load(tovrin.parent_path().parent_path() / "Resources" / "Samples" / "config.json");
        const double now = ReferenceDate::from(std::chrono::system_clock::now());
        config.analyticsChoice = AnalyticsChoice::notShared;
        config.analyticsChoiceDate = now;
        config.lastUpdateCheck = now;
        config.save(support / "config.json");
        SampleActivity::write(support / "activity.jsonl", entries);
    }

    // Ours, with the user's folders here, the given Qt platform, and the benchmark's hook on.
    std::vector<std::string> environment(std::string_view platform) const {
        const auto at = [this](const char* folder) { return (folder_.path() / folder).string(); };
        const std::vector<std::pair<std::string, std::string>> own{
            {"HOME", folder_.path().string()}, {"XDG_DATA_HOME", at("data")},
            {"XDG_STATE_HOME", at("state")},   {"XDG_CONFIG_HOME", at("config")},
            {"XDG_CACHE_HOME", at("cache")},   {"TMPDIR", at("tmp")},
            {"QT_QPA_PLATFORM", std::string(platform)}, {"PELLORA_BENCH_FIRST_PAINT", "1"}};
        std::vector<std::string> result;
        for (char** variable = environ; *variable; ++variable) {
            const std::string_view entry(*variable);
            const auto name = entry.substr(0, entry.find('='));
            if (std::none_of(own.begin(), own.end(), [&](const auto& pair) { return pair.first == name; }))
                result.emplace_back(entry);
        }
        for (const auto& [name, value] : own)
            result.push_back(name + "=" + value);
        return result;
    }

private:
    ScratchFolder folder_;
};

// A started program whose standard error is read here; ended when this goes.
class Child {
public:
    Child(const std::filesystem::path& program, const std::vector<std::string>& environment) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            std::abort();
        output_ = ends[0];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDERR_FILENO);
        std::vector<char*> variables;
        for (const auto& entry : environment)
            variables.push_back(const_cast<char*>(entry.c_str()));
        variables.push_back(nullptr);
        const std::string path = program.string();
        char* arguments[] = {const_cast<char*>(path.c_str()), nullptr};
        if (::posix_spawn(&pid_, path.c_str(), &actions, nullptr, arguments, variables.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    ~Child() {
        end();
        ::close(output_);
    }

    // Ends the program; returns the processor time it used, in seconds.
    double end() {
        if (pid_ <= 0)
            return 0;
        ::kill(pid_, SIGTERM);
        int status = 0;
        rusage usage{};
        pid_t ended = 0;
        for (int wait = 0; wait < 500 && (ended = ::wait4(pid_, &status, WNOHANG, &usage)) == 0; ++wait)
            ::usleep(10'000);
        if (ended == 0) {
            ::kill(pid_, SIGKILL);
            ::wait4(pid_, &status, 0, &usage);
        }
        pid_ = -1;
        const auto seconds = [](const timeval& time) { return double(time.tv_sec) + double(time.tv_usec) / 1e6; };
        return seconds(usage.ru_utime) + seconds(usage.ru_stime);
    }

    // Reads standard error until the marker line; false when the program ended or the
    // deadline passed first.
    bool waitForMarker() {
        const auto deadline = std::chrono::steady_clock::now() + launchDeadline;
        while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
            if (!read(100))
                return false;
            for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
                const std::string line = pending_.substr(0, end);
                pending_.erase(0, end + 1);
                if (line == marker)
                    return true;
                remember(line);
            }
        }
        return false;
    }

    // Resident memory once it has stopped changing: within 0.5 % over the last second,
    // sampled every 100 ms, for at most 15 s.
    std::size_t settledResidentBytes() {
        std::deque<std::size_t> samples;
        for (int round = 0; round < 150; ++round) {
            read(100); // the pause between samples; keeps the pipe from filling
            samples.push_back(memory("/status", "VmRSS:"));
            if (samples.size() > 10)
                samples.pop_front();
            const auto [low, high] = std::minmax_element(samples.begin(), samples.end());
            if (samples.size() == 10 && double(*high - *low) <= 0.005 * double(*high))
                break;
        }
        return samples.empty() ? 0 : samples.back();
    }

    // The last lines the program wrote before the marker, for a failure's message.
    std::string lastLines() const {
        std::string text;
        for (const auto& line : lines_)
            text += line + "\n";
        return text + pending_;
    }

private:
    // Waits up to `milliseconds` for output and keeps it; false once the pipe has closed.
    bool read(int milliseconds) {
        pollfd waiting{output_, POLLIN, 0};
        if (::poll(&waiting, 1, milliseconds) <= 0)
            return true;
        char buffer[4096];
        const ssize_t got = ::read(output_, buffer, sizeof buffer);
        if (got <= 0)
            return false;
        pending_.append(buffer, std::size_t(got));
        return true;
    }

    void remember(std::string line) {
        lines_.push_back(std::move(line));
        if (lines_.size() > 20)
            lines_.pop_front();
    }

    // A "kB" field of a file under /proc/<pid>, in bytes.
    std::size_t memory(const char* file, std::string_view field) const {
        std::ifstream in("/proc/" + std::to_string(pid_) + file);
        for (std::string line; std::getline(in, line);)
            if (line.starts_with(field))
                return std::size_t(std::strtoull(line.c_str() + field.size(), nullptr, 10)) * 1024;
        return 0;
    }

    pid_t pid_ = -1;
    int output_ = -1;
    std::string pending_;
    std::deque<std::string> lines_;
};

void startUpToPanel(benchmark::State& state) {
    static const AppHome home(100'000);
    const auto environment = home.environment("offscreen");
    // One start first, untimed: the program and its libraries come into the page cache.
    if (Child warm(tovrin, environment); !warm.waitForMarker()) {
        state.SkipWithError(("no first paint; the program wrote:\n" + warm.lastLines()).c_str());
        return;
    }
    double processorSeconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        Child child(tovrin, environment);
        const bool painted = child.waitForMarker();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (!painted) {
            state.SkipWithError(("no first paint; the program wrote:\n" + child.lastLines()).c_str());
            break;
        }
        state.SetIterationTime(elapsed.count());
        // Ended at once: what it used is what the start cost, a figure the machine's load
        // disturbs less than the time.
        processorSeconds += child.end();
    }
    state.counters["cpuSeconds"] = benchmark::Counter(processorSeconds, benchmark::Counter::kAvgIterations);
}
BENCHMARK(startUpToPanel)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// Resident memory of the program once its panel is shown and it has settled; absent when it
// showed no panel (and `failure` says why).
std::optional<std::size_t> idleResidentBytes(const std::filesystem::path& program,
                                             const std::vector<std::string>& environment, std::string& failure) {
    Child child(program, environment);
    if (!child.waitForMarker()) {
        failure = program.filename().string() + " showed no panel; it wrote:\n" + child.lastLines();
        return std::nullopt;
    }
    return child.settledResidentBytes();
}

void idleMemory(benchmark::State& state) {
    static const AppHome home(10'000);
    const bool x11 = hasDisplay();
    const auto environment = home.environment(x11 ? "xcb" : "offscreen");
    std::size_t app = 0, bare = 0;
    for (auto _ : state) {
        std::string failure;
        const auto measuredBare = idleResidentBytes(bareTray, environment, failure);
        const auto measuredApp = measuredBare ? idleResidentBytes(tovrin, environment, failure) : std::nullopt;
        if (!measuredApp) {
            state.SkipWithError(failure.c_str());
            return;
        }
        bare = *measuredBare;
        app = *measuredApp;
    }
    state.counters["appBytes"] = double(app);
    state.counters["bareBytes"] = double(bare);
    state.counters["appPerBare"] = double(app) / double(bare);
    state.counters["underX11"] = x11 ? 1 : 0;
}
BENCHMARK(idleMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
