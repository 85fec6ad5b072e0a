// What Mail's script answered, as the reader turns it into an email. The input builds the
// answer: its first byte chooses between no answer (with or without a message) and a result,
// the rest is a tree: 'n' nothing, 't' a length byte and text, 'l' a count byte and items.
#include <optional>
#include <string>
#include <vector>

#include "FuzzDesk.h"
#include "Pellora/Mail/MailError.h"
#include "Pellora/Mail/MailReader.h"

namespace {

using namespace pellora;
using Descriptor = ScriptRunner::Descriptor;

struct Bytes {
    std::string_view rest;
    unsigned char take() {
        if (rest.empty())
            return 0;
        const auto byte = static_cast<unsigned char>(rest.front());
        rest.remove_prefix(1);
        return byte;
    }
    std::string text() {
        const std::size_t length = std::min<std::size_t>(take(), rest.size());
        std::string result(rest.substr(0, length));
        rest.remove_prefix(length);
        return result;
    }
};

Descriptor descriptor(Bytes& bytes, int depth) {
    switch (depth > 4 ? 't' : bytes.take()) {
    case 't': return Descriptor::text(bytes.text());
    case 'l': {
        std::vector<Descriptor> items(std::min<std::size_t>(bytes.take(), 12));
        for (auto& item : items)
            item = descriptor(bytes, depth + 1);
        return Descriptor::list(std::move(items));
    }
    default: return Descriptor::none();
    }
}

struct Canned : ScriptRunner {
    Outcome outcome;
    Outcome run(const std::string&) override { return outcome; }
};

// The reading rules of an answer's items, straight from their definition.
std::string asText(const std::optional<Descriptor>& item) { return item && item->stringValue ? *item->stringValue : ""; }

std::vector<std::string> asTexts(const std::optional<Descriptor>& item) {
    std::vector<std::string> texts;
    if (item)
        for (const auto& sub : item->items)
            if (sub.stringValue)
                texts.push_back(*sub.stringValue);
    return texts;
}

} // namespace

PELLORA_FUZZ_TARGET(MailScriptReply) {
    static fuzz::MailDesk desk;
    fuzz::removeAttachmentFolders();
    Bytes bytes{input};
    Canned runner;
    switch (bytes.take() % 3) {
    case 0: break; // no answer and no message
    case 1: runner.outcome.errorMessage = bytes.text(); break;
    default: runner.outcome.result = descriptor(bytes, 0); break;
    }
    const auto& result = runner.outcome.result;
    try {
        const Email email = MailReader::readSelectedEmail(desk.desktop, runner);
        FUZZ_CHECK(result && result->numberOfItems() >= 7);
        const Email expected(asText(result->item(1)), asText(result->item(2)), asText(result->item(3)),
                             asTexts(result->item(4)), asTexts(result->item(5)), asText(result->item(6)),
                             asTexts(result->item(7)), asText(result->item(8)), email.attachmentFolder,
                             asTexts(result->item(9)));
        FUZZ_CHECK(email == expected);
        FUZZ_CHECK(email.attachmentFolder);
        fuzz::checkAttachmentFolder(*email.attachmentFolder);
        FUZZ_CHECK(std::filesystem::is_empty(*email.attachmentFolder));
        std::filesystem::remove_all(*email.attachmentFolder);
    } catch (const MailError& error) {
        if (!result)
            FUZZ_CHECK(error.description() ==
                       "Mail scripting failed: " + runner.outcome.errorMessage.value_or("unknown error"));
        else
            FUZZ_CHECK(result->numberOfItems() < 7 && error.description() == "No email is selected in Mail.");
    }
    // A failed read leaves no folder behind; a good one left only the folder removed above.
    FUZZ_CHECK(fuzz::attachmentFolders().empty());
}
