// A whole activity.jsonl: lines of any kind, a last line cut short, blank lines.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "Fuzz/FuzzTarget.h"
#include "PelloraCore/ActivityFile.h"
#include "PelloraCore/ActivityLine.h"

namespace {

using namespace pellora;

ActivityEntry appended() {
    ActivityEntry entry;
    entry.id = "0F8FAD5B-D9CB-469F-A165-70867728950E";
    entry.date = std::chrono::sys_seconds(std::chrono::seconds(1'800'000'000));
    entry.subject = "Appended after whatever was there";
    entry.sender = "Ann <ann@example.com>";
    entry.actionName = "Summary";
    entry.prompt = "Summarise.";
    return entry;
}

} // namespace

PELLORA_FUZZ_TARGET(ActivityFile) {
    const auto folder = std::filesystem::temp_directory_path() / "pellora-fuzz-activity";
    std::filesystem::create_directories(folder);
    const auto file = folder / "activity.jsonl";
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(input.data(), std::streamsize(input.size()));

    // Every non-empty line that reads as an entry, in file order.
    std::vector<ActivityEntry> expected;
    for (const auto line : fuzz::pieces(input))
        if (!line.empty())
            if (auto entry = ActivityLine::decode(line))
                expected.push_back(std::move(*entry));
    const auto loaded = ActivityFile::load(file);
    FUZZ_CHECK(loaded == expected);

    // Newest first, equal dates in file order.
    auto sorted = expected;
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.date > b.date; });
    const auto newestFirst = ActivityFile::loadNewestFirst(file);
    FUZZ_CHECK(newestFirst == sorted);

    // Texts that repeat within one load are one shared value.
    for (std::size_t i = 1; i < loaded.size(); ++i) {
        FUZZ_CHECK(loaded[i].prompt != loaded[0].prompt || loaded[i].prompt.sharesNodeWith(loaded[0].prompt));
        FUZZ_CHECK(loaded[i].sender != loaded[0].sender || loaded[i].sender.sharesNodeWith(loaded[0].sender));
    }

    // Whatever the file ends with, an appended entry is read back after all earlier ones.
    ActivityFile::append(appended(), file);
    expected.push_back(appended());
    FUZZ_CHECK(ActivityFile::load(file) == expected);
}
