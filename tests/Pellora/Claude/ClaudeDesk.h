#pragma once

#include <cstdint>
#include <fstream>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "App/Desk.h"
#include "App/VirtualTime.h"
#include "Pellora/Claude/ClaudeBridge.h"
#include "Pellora/Claude/ClaudePlatform.h"
#include "Pellora/Platform/Sim/SimClaude.h"
#include "PelloraCore/Email.h"

namespace pellora::testing {

// 137 characters once composed without an instruction; 171 with a.pdf, b.png and c.txt.
inline constexpr const char* body = "Please find the invoice attached.";
inline constexpr const char* chatLink = "claude://claude.ai/chat/c-1";

inline Email makeEmail(std::string text = body, std::vector<std::string> attachments = {}) {
    return Email("Ann Example <ann@example.com>", "Invoice 42", "5 March 2026 at 09:14", {"me@example.org"}, {},
                 std::move(text), std::move(attachments), "<m1@example.com>", std::nullopt, {});
}

// A file of `size` bytes in the test's temporary folder (sparse, so large sizes are cheap).
inline std::string makeFile(const std::string& name, std::uintmax_t size) {
    auto path = UserFolders::temporary() / name;
    std::ofstream(path, std::ios::binary).put('x');
    std::filesystem::resize_file(path, size);
    return path.string();
}

inline std::vector<std::string> threeFiles(std::uintmax_t a = 0, std::uintmax_t b = 0, std::uintmax_t c = 0) {
    return {makeFile("a.pdf", a), makeFile("b.png", b), makeFile("c.txt", c)};
}

// A simulated desktop with Claude installed (not running) and coming to the front at once,
// on a virtual clock.
struct ClaudeDesk : Desk {
    std::shared_ptr<SimClaude> claude = std::make_shared<SimClaude>();
    ClaudePlatform platform{desktop, desktop, desktop, pasteboard, clock};
    Config config; // openDelay 1.0

    ClaudeDesk() {
        claude->knobs.activationDelay = Clock::Duration(0);
        desktop.install(claude);
    }

    // Claude running in front, its new chat ready, everything it had scheduled done.
    void startClaude() {
        desktop.launch(SimClaude::identifier);
        desktop.setFrontmost(SimClaude::identifier);
        clock.runUntilIdle();
    }

    // Runs the task to its end; answers the virtual seconds it took.
    template <class T> double run(QCoro::Task<T> task) {
        const double start = clock.now().count();
        runInVirtualTime(clock, std::move(task));
        return clock.now().count() - start;
    }

    double deliver(ChatTarget target, Email email = makeEmail(), bool send = true, CancelToken cancel = {}) {
        return run(ClaudeBridge::deliver(platform, std::move(email), std::move(target), "", send, config, cancel));
    }

    // When Claude received each stroke of this key from `origin` on, in seconds since then.
    std::vector<double> keyTimes(std::uint16_t keyCode, double origin = 0) const {
        std::vector<double> times;
        for (const auto& stroke : claude->receivedKeys())
            if (stroke.keyCode == keyCode && stroke.time.count() >= origin)
                times.push_back(stroke.time.count() - origin);
        return times;
    }
};

struct ClaudeDeskTest : ::testing::Test, ClaudeDesk {};

// Virtual time counts whole nanoseconds; seconds differ from the literals only by rounding.
#define EXPECT_SECONDS(actual, expected) EXPECT_NEAR((actual), (expected), 1e-9)

inline void expectTimes(const std::vector<double>& actual, const std::vector<double>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i)
        EXPECT_SECONDS(actual[i], expected[i]) << "at index " << i;
}

} // namespace pellora::testing
