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
#include "PelloraCore/ActivityLine.h"

using namespace pellora;

namespace {

constexpr int entryCount = 100'000;

const char* const replyPrompt =
    "Below is an email I received. Using everything you know from earlier in this conversation, draft a "
    "reply I can send. Match the tone of the thread, answer every question that was asked, and keep it "
    "concise. Give me the draft, plus a short note only if you had to assume something.";
const char* const summaryPrompt =
    "Below is an email thread. Please give me: 1) a short summary, 2) the action items (who, what, and by "
    "when if stated), and 3) proposed next steps. Use earlier context from this conversation where it helps.";
const char* const researchPrompt =
    "Below is an email thread. Please give me a short summary and the action items, then research the "
    "topics, people and organisations involved (use web search) so I have more context to work with. List "
    "your sources and flag anything you could not verify. Finish with proposed next steps.";

// A log as a busy user would have it: a few dozen correspondents and routes, the built-in
// actions, some non-ASCII names, dates mostly in order.
ActivityEntry makeEntry(int i) {
    static const char* const senders[] = {
        "Ann Example <ann@example.com>", "Bob Builder <bob@builder.co.uk>", "José Müller <jose@muller.es>",
        "Chen Wei <wei@example.cn>", "Accounts <billing@vendor.io>", "Zoë Ångström <zoe@nordic.se>",
        "Project Bot <noreply@tracker.dev>", "Dana Scully <dana@fbi.gov>"};
    static const char* const subjects[] = {
        "Quarterly report for the board", "Re: Invoice 2041 overdue", "Lunch on Friday?",
        "Contract renewal – final draft", "Fwd: Travel itinerary", "Weekly status update",
        "Question about the API limits", "Café opening – Einladung"};
    static const char* const domains[] = {"example.com", "builder.co.uk", "muller.es", "example.cn",
                                          "vendor.io", "nordic.se", "tracker.dev", "fbi.gov"};
    const int s = i % 8, r = (i / 3) % 8, a = i % 4;
    ActivityEntry entry;
    entry.id = ActivityEntry::newID();
    entry.date = std::chrono::sys_seconds{std::chrono::seconds{1'780'000'000 + i * 600 - (i % 7 == 0 ? 900 : 0)}};
    entry.subject = std::string(subjects[(s + i / 8) % 8]) + " #" + std::to_string(i);
    entry.sender = senders[s];
    entry.messageID = "<CAF" + std::to_string(1'000'000 + i) + ".a1b2c3@mail." + domains[s] + ">";
    if (r < 6) {
        entry.rule = domains[r];
        Route destination;
        destination.domain = domains[r];
        destination.matchOn = r % 2 ? MatchField::from : MatchField::to;
        destination.kind = r % 3 ? DestinationKind::chat : DestinationKind::project;
        destination.name = std::string(r % 3 ? "Correspondence with " : "Client ") + domains[r];
        if (r == 1)
            destination.instructions = "Always answer in British English.";
        entry.destination = destination;
    }
    static const char* const names[] = {"Draft a Reply", "Summary & Next Steps", "Deep Dive & Research", "Paste Only"};
    static const char* const prompts[] = {replyPrompt, summaryPrompt, researchPrompt, ""};
    entry.actionName = names[a];
    entry.mode = a == 3 ? ActionMode::pasteOnly : ActionMode::prompt;
    std::string prompt = prompts[a];
    if (r == 1 && a != 3)
        prompt += "\n\nAlways answer in British English.";
    entry.prompt = prompt;
    return entry;
}

// The log file, written once into a temporary folder and removed at exit.
struct LogFile {
    std::filesystem::path folder;
    std::filesystem::path file;

    LogFile() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pellora-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        folder = pattern;
        file = folder / "activity.jsonl";
        std::ofstream out(file, std::ios::binary);
        for (int i = 0; i < entryCount; ++i)
            out << ActivityLine::encode(makeEntry(i)) << '\n';
    }
    ~LogFile() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
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
