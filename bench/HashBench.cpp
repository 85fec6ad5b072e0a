// Hashing an update image: the installer's SHA-256 must keep up with OpenSSL's own command on
// this machine (at least 0.9 of `openssl dgst -sha256` over the same 200 MB file, timed in
// the same run), and its memory must not grow with the image.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Pellora/Updates/UpdateInstaller.h"

using namespace pellora;

namespace {

constexpr std::size_t imageSize = 200u << 20;

// A 200 MB file of varied bytes in a temporary folder, removed at exit.
struct Image {
    std::filesystem::path folder;
    std::filesystem::path file;

    Image() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pellora-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        folder = pattern;
        file = folder / "image.tar.xz";
        std::ofstream out(file, std::ios::binary);
        std::vector<char> chunk(1 << 20);
        std::uint64_t state = 0x9E3779B97F4A7C15ull;
        for (std::size_t written = 0; written < imageSize; written += chunk.size()) {
            for (auto& byte : chunk) {
                state ^= state << 13, state ^= state >> 7, state ^= state << 17;
                byte = char(state);
            }
            out.write(chunk.data(), std::streamsize(chunk.size()));
        }
    }
    ~Image() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

const Image& image() {
    static const Image shared;
    return shared;
}

long peakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

template <class Work> double secondsFor(Work work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Each iteration hashes the image once with the installer and once with the openssl command
// (process start included, as a user would time it); the slower of the two sets the pace.
void BM_Sha256AgainstOpenSSL(benchmark::State& state) {
    const auto& file = image().file;
    UpdateInstaller::sha256(file); // into the page cache, so both read from memory
    const long residentBefore = peakResidentKiB();
    double ours = 0, theirs = 0;
    for (auto _ : state) {
        const double mine = secondsFor([&] { benchmark::DoNotOptimize(UpdateInstaller::sha256(file)); });
        const double openssl = secondsFor([&] {
            if (UpdateInstaller::run("/usr/bin/openssl", {"dgst", "-sha256", file.string()}) != 0)
                state.SkipWithError("openssl dgst failed");
        });
        state.SetIterationTime(mine);
        ours += mine;
        theirs += openssl;
    }
    const double megabytes = double(imageSize) / 1e6 * double(state.iterations());
    const double ratio = (megabytes / ours) / (megabytes / theirs);
    state.SetBytesProcessed(std::int64_t(imageSize) * state.iterations());
    state.counters["ours_MBps"] = megabytes / ours;
    state.counters["openssl_MBps"] = megabytes / theirs;
    state.counters["ratio"] = ratio;
    state.counters["peak_rss_growth_MiB"] = double(peakResidentKiB() - residentBefore) / 1024.0;
    if (ratio < 0.9)
        state.SkipWithError("hashing is slower than 0.9 x openssl dgst -sha256");
    if (peakResidentKiB() - residentBefore > 16 * 1024)
        state.SkipWithError("hashing grew the memory by more than 16 MiB");
}
BENCHMARK(BM_Sha256AgainstOpenSSL)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
