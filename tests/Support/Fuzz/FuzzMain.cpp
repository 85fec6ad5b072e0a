// The libFuzzer entry points for one target, named by PELLORA_FUZZ_TARGET_NAME at build time.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#ifdef PELLORA_FUZZ_WITH_QT
#include <QGuiApplication>
#endif

#include "FuzzTarget.h"

namespace {

pellora::fuzz::Target target = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    const auto found = pellora::fuzz::targets().find(PELLORA_FUZZ_TARGET_NAME);
    if (found == pellora::fuzz::targets().end()) {
        std::fprintf(stderr, "no fuzz target named %s\n", PELLORA_FUZZ_TARGET_NAME);
        std::abort();
    }
    target = found->second;
    // Targets write their files into a private temporary folder (scripts/fuzz points TMPDIR at
    // a memory file system), and into a home of their own.
    static const std::string home =
        (std::filesystem::temp_directory_path() / ("pellora-fuzz-" + std::to_string(::getpid()))).string();
    for (const char* folder : {"/tmp", "/run"})
        std::filesystem::create_directories(home + folder);
    std::filesystem::permissions(home + "/run", std::filesystem::perms::owner_all);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (home + "/run").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    setenv("XDG_STATE_HOME", (home + "/state").c_str(), 1);
    setenv("TMPDIR", (home + "/tmp").c_str(), 1);
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(home, ignored);
    });
#ifdef PELLORA_FUZZ_WITH_QT
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication application(*argc, *argv);
#else
    (void)argc;
    (void)argv;
#endif
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        target(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const pellora::fuzz::Broken& broken) {
        std::fprintf(stderr, "broken promise: %s\n", broken.what());
        std::abort();
    }
    return 0;
}
