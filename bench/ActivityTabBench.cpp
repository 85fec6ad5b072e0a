// The Activity tab's table over a long log: the search filters the table's model on every
// key stroke, and scrolling asks for the cells of one screen of rows. Goal for each: within
// one frame (16 ms) for 100,000 entries.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "Pellora/Settings/ActivityTableModel.h"
#include "Pellora/Shell/ActivityStore.h"
#include "PelloraCore/ActivityLine.h"
#include "ScratchFolder.h"

using namespace pellora;

namespace {

constexpr int entryCount = 100'000;

// Correspondents, routes and prompts repeat as in a real log; subjects and ids do not.
ActivityEntry makeEntry(int i) {
    static const char* const people[] = {"Ann Example <ann@example.com>", "José Müller <jose@muller.es>",
                                         "Chen Wei <wei@example.cn>", "Zoë Ångström <zoe@nordic.se>",
                                         "Accounts <billing@vendor.io>", "Dana Scully <dana@fbi.gov>"};
    static const char* const domains[] = {"example.com", "muller.es", "example.cn", "nordic.se", "vendor.io", "fbi.gov"};
    static const char* const topics[] = {"Invoice", "Quarterly report", "Lunch on Friday?", "Contract – draft",
                                         "Café opening", "Travel itinerary", "API limits"};
    const int who = i % 6;
    ActivityEntry entry;
    entry.id = ActivityEntry::newID();
    entry.date = std::chrono::sys_seconds{std::chrono::seconds{1'780'000'000 + i * 300}};
    entry.subject = std::string(topics[(i / 6) % 7]) + " #" + std::to_string(i);
    entry.sender = people[who];
    entry.messageID = "<m" + std::to_string(i) + "@mail." + domains[who] + ">";
    if (who < 4) {
        entry.rule = domains[who];
        Route destination;
        destination.domain = domains[who];
        destination.kind = who % 2 ? DestinationKind::chat : DestinationKind::project;
        destination.name = std::string("Work with ") + domains[who];
        entry.destination = destination;
    }
    entry.actionName = i % 3 ? "Draft a Reply" : "Paste Only";
    entry.mode = i % 3 ? ActionMode::prompt : ActionMode::pasteOnly;
    if (i % 3)
        entry.prompt = "Below is an email I received. Using everything you know from earlier in this conversation, "
                       "draft a reply I can send. Match the tone of the thread and keep it concise.";
    return entry;
}

struct Log {
    ScratchFolder folder;
    std::unique_ptr<ActivityStore> store;
    std::unique_ptr<ActivityTableModel> model;

    Log() {
        const auto file = folder.path() / "activity.jsonl";
        {
            std::ofstream out(file, std::ios::binary);
            for (int i = 0; i < entryCount; ++i)
                out << ActivityLine::encode(makeEntry(i)) << '\n';
        }
        store = std::make_unique<ActivityStore>(file);
        model = std::make_unique<ActivityTableModel>(*store, "en-US", "UTC");
        if (model->rowCount() != entryCount)
            std::abort();
    }
};

Log& sharedLog() {
    static Log shared;
    return shared;
}

// One key stroke in the search field: the whole log filtered again.
void typeQuery(benchmark::State& state, const char* query) {
    auto& model = *sharedLog().model;
    int rows = 0;
    for (auto _ : state) {
        model.setQuery(query);
        rows = model.rowCount();
        benchmark::DoNotOptimize(rows);
        state.PauseTiming();
        model.setQuery({}); // the next stroke starts from the whole table again
        state.ResumeTiming();
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK_CAPTURE(typeQuery, oneLetter, "i")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(typeQuery, word, "invoice")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(typeQuery, twoWords, "müller draft")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(typeQuery, nothingFound, "kangaroo")->Unit(benchmark::kMillisecond);

// Emptying the field shows every entry again.
void clearQuery(benchmark::State& state) {
    auto& model = *sharedLog().model;
    for (auto _ : state) {
        state.PauseTiming();
        model.setQuery("kangaroo");
        state.ResumeTiming();
        model.setQuery({});
        benchmark::DoNotOptimize(model.rowCount());
    }
}
BENCHMARK(clearQuery)->Unit(benchmark::kMillisecond);

// One screen of a scrolled table: every role the view asks of 40 rows' cells.
void scrollScreen(benchmark::State& state) {
    auto& model = *sharedLog().model;
    model.setQuery({});
    int top = 0;
    for (auto _ : state) {
        top = (top + 7919) % (entryCount - 40);
        for (int row = top; row < top + 40; ++row)
            for (int column = 0; column < ActivityTableModel::columns; ++column) {
                const QModelIndex index = model.index(row, column);
                for (int role : {int(Qt::DisplayRole), int(Qt::ToolTipRole), ActivityTableModel::styleRole})
                    benchmark::DoNotOptimize(model.data(index, role));
            }
    }
}
BENCHMARK(scrollScreen)->Unit(benchmark::kMillisecond);

} // namespace
