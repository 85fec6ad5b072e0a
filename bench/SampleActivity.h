#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "PelloraCore/ActivityEntry.h"
#include "PelloraCore/ActivityLine.h"
#include "PelloraCore/Route.h"

// The activity log the benchmarks load, search and start the application with.
namespace pellora::SampleActivity {

inline const char* const replyPrompt =
    "Below is an email I received. Using everything you know from earlier in this conversation, draft a "
    "reply I can send. Match the tone of the thread, answer every question that was asked, and keep it "
    "concise. Give me the draft, plus a short note only if you had to assume something.";
inline const char* const summaryPrompt =
    "Below is an email thread. Please give me: 1) a short summary, 2) the action items (who, what, and by "
    "when if stated), and 3) proposed next steps. Use earlier context from this conversation where it helps.";
inline const char* const researchPrompt =
    "Below is an email thread. Please give me a short summary and the action items, then research the "
    "topics, people and organisations involved (use web search) so I have more context to work with. List "
    "your sources and flag anything you could not verify. Finish with proposed next steps.";

// A log as a busy user would have it: a few dozen correspondents and routes, the built-in
// actions, some non-ASCII names, dates mostly in order.
inline ActivityEntry sampleEntry(int i) {
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

// activity.jsonl with the first `count` sample entries, oldest first as the application writes it.
inline void write(const std::filesystem::path& file, int count) {
    std::ofstream out(file, std::ios::binary);
    for (int i = 0; i < count; ++i)
        out << ActivityLine::encode(sampleEntry(i)) << '\n';
    if (!out.flush())
        std::abort();
}

} // namespace pellora::SampleActivity
