#include "TestHome.h"

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <system_error>

#include <gtest/gtest.h>

namespace pellora::testing {
namespace {

std::filesystem::path currentHome;

class TestHomeListener : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        // TMPDIR points into the previous test's (removed) home, so resolve the real
        // temporary folder once, before the first test changes it.
        static const std::filesystem::path systemTemp = std::filesystem::temp_directory_path();
        std::string pattern = (systemTemp / "pellora-test-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a temporary home for the test");
        currentHome = pattern;
        const std::pair<const char*, const char*> folders[] = {
            {"XDG_DATA_HOME", ".local/share"}, {"XDG_STATE_HOME", ".local/state"},
            {"XDG_CONFIG_HOME", ".config"},    {"XDG_CACHE_HOME", ".cache"},
            {"XDG_RUNTIME_DIR", "run"},        {"TMPDIR", "tmp"},
        };
        setenv("HOME", currentHome.c_str(), 1);
        for (const auto& [variable, relative] : folders) {
            const auto folder = currentHome / relative;
            std::filesystem::create_directories(folder);
            std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
            setenv(variable, folder.c_str(), 1);
        }
    }

    void OnTestEnd(const ::testing::TestInfo&) override {
        std::error_code ignored;
        // Tests may leave read-only folders behind; make everything removable first.
        for (auto it = std::filesystem::recursive_directory_iterator(
                 currentHome, std::filesystem::directory_options::skip_permission_denied, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
            if (it->is_directory(ignored) && !it->is_symlink(ignored))
                std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ignored);
        }
        std::filesystem::remove_all(currentHome, ignored);
    }
};

} // namespace

void installTestHomeListener() {
    ::testing::UnitTest::GetInstance()->listeners().Append(new TestHomeListener);
}

std::filesystem::path testHome() { return currentHome; }

} // namespace pellora::testing
