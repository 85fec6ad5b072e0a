// Loading and searching a long activity log: the activity tab loads the whole log at start
// and filters it on every key stroke. Targets: load and sort 100,000 entries within 150 ms,
// one search over them within 16 ms (one frame), the list in memory at most half the file.
#include <benchmark/benchmark.h>
#include <simdjson.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <string>
#include <vector>

#include "PelloraCore/ActivityFile.h"
#include "SampleActivity.h"
#include "ScratchFolder.h"

using namespace pellora;

namespace {

constexpr int entryCount = 100'000;

// The log file, written once into a temporary folder and removed at exit.
struct LogFile {
    ScratchFolder folder;
    std::filesystem::path file = folder.path() / "activity.jsonl";

    LogFile() { SampleActivity::write(file, entryCount); }
};

const LogFile& logFile() {
    static const LogFile log;
    return log;
}

// Searches run first, on the list as the application holds it after loading it at start-up.
void search(benchmark::State& state, const char* query) {
    static const auto entries = ActivityFile::loadNewestFirst(logFile().file);
    std::size_t found = 0;
    for (auto _ : state) {
        found = 0;
        for (const auto& entry : entries)
            found += entry.matches(query);
        benchmark::DoNotOptimize(found);
    }
    state.counters["matches"] = double(found);
    state.SetItemsProcessed(state.iterations() * std::int64_t(entries.size()));
}
// Two words in different parts: one in subjects, one in senders and route texts.
BENCHMARK_CAPTURE(search, twoWords, "invoice muller")->Unit(benchmark::kMillisecond);
// The same words the other way round, and a word found nowhere.
BENCHMARK_CAPTURE(search, twoWordsReversed, "MULLER Invoice")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(search, noMatch, "kangaroo")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(search, nonAsciiWords, "müller café")->Unit(benchmark::kMillisecond);

// Loading as the activity store does at start-up: the whole file, sorted newest first.
void loadAndSort(benchmark::State& state) {
    const auto& file = logFile().file;
    for (auto _ : state) {
        auto entries = ActivityFile::loadNewestFirst(file);
        state.PauseTiming(); // freeing the list is not part of loading it
        if (entries.size() != entryCount)
            state.SkipWithError("lost entries");
        benchmark::DoNotOptimize(entries.data());
        entries = {};
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * entryCount);
    state.SetBytesProcessed(state.iterations() * std::int64_t(std::filesystem::file_size(file)));
}
BENCHMARK(loadAndSort)->Unit(benchmark::kMillisecond);

// Reads every value of a document through, as any reader of it must.
simdjson::error_code walk(simdjson::ondemand::value value) {
    using namespace simdjson;
    ondemand::json_type type;
    if (const auto error = value.type().get(type))
        return error;
    switch (type) {
    case ondemand::json_type::object:
        for (auto field : value.get_object()) {
            std::string_view key;
            if (const auto error = field.unescaped_key().get(key))
                return error;
            if (const auto error = walk(field.value()))
                return error;
        }
        return SUCCESS;
    case ondemand::json_type::array:
        for (auto element : value.get_array())
            if (const auto error = walk(element.value()))
                return error;
        return SUCCESS;
    case ondemand::json_type::string: return value.get_string().error();
    case ondemand::json_type::number: return value.get_double().error();
    case ondemand::json_type::boolean: return value.get_bool().error();
    case ondemand::json_type::null: return value.is_null().error();
    }
    return SUCCESS;
}

// The yardstick for loading: simdjson alone on the same file, read whole into memory, each
// line parsed on demand and every value read, nothing kept. The buffer is allocated once, as
// the loader's is, so neither pays for fresh memory. Loading may cost at most twice this.
void bareParse(benchmark::State& state) {
    const auto& file = logFile().file;
    const std::size_t size = std::filesystem::file_size(file);
    std::vector<char> buffer(size + simdjson::SIMDJSON_PADDING);
    for (auto _ : state) {
        std::ifstream in(file, std::ios::binary);
        if (!in.read(buffer.data(), std::streamsize(size)))
            state.SkipWithError("cannot read the log");
        simdjson::ondemand::parser parser;
        std::size_t lines = 0;
        for (std::string_view rest(buffer.data(), size); !rest.empty();) {
            const auto end = std::min(rest.find('\n'), rest.size());
            simdjson::ondemand::document document;
            simdjson::ondemand::value value;
            if (end > 0 && !parser.iterate(rest.data(), end, rest.size() + simdjson::SIMDJSON_PADDING).get(document) &&
                !document.get_value().get(value) && !walk(value))
                ++lines;
            rest.remove_prefix(std::min(end + 1, rest.size()));
        }
        if (lines != entryCount)
            state.SkipWithError("lines not parsed");
    }
    state.SetItemsProcessed(state.iterations() * entryCount);
}
BENCHMARK(bareParse)->Unit(benchmark::kMillisecond);
} // namespace

namespace {

// Bytes the allocator has handed out and not yet got back.
double heapInUse() {
    const auto info = mallinfo2();
    return double(info.uordblks + info.hblkhd);
}

// What the loaded list costs: the heap in use with the list, minus before loading it (the
// reader's own buffers are gone by then).
void listMemory(benchmark::State& state) {
    const auto& file = logFile().file;
    const double fileBytes = double(std::filesystem::file_size(file));
    double listBytes = 0;
    for (auto _ : state) {
        const double before = heapInUse();
        auto entries = ActivityFile::loadNewestFirst(file);
        listBytes = heapInUse() - before;
        if (entries.size() != entryCount)
            state.SkipWithError("lost entries");
    }
    state.counters["listBytes"] = listBytes;
    state.counters["fileBytes"] = fileBytes;
    state.counters["listPerFile"] = listBytes / fileBytes;
    state.counters["bytesPerEntry"] = listBytes / entryCount;
}
BENCHMARK(listMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
