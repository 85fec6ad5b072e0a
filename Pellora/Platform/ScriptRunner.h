#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pellora {

// Runs a script in-process and answers its result (the platform's AppleScript on macOS).
class ScriptRunner {
public:
    // A script result: a text, a list of descriptors, or neither.
    struct Descriptor {
        std::optional<std::string> stringValue;
        std::vector<Descriptor> items;

        static Descriptor text(std::string value) { return {std::move(value), {}}; }
        static Descriptor list(std::vector<Descriptor> items) { return {std::nullopt, std::move(items)}; }
        static Descriptor none() { return {}; }

        int numberOfItems() const { return int(items.size()); }
        // 1-based; absent when out of range.
        std::optional<Descriptor> item(int index) const {
            if (index < 1 || index > int(items.size()))
                return std::nullopt;
            return items[std::size_t(index - 1)];
        }
        bool operator==(const Descriptor&) const = default;
    };

    // Either a result, or no result and possibly the failure's message.
    struct Outcome {
        std::optional<Descriptor> result;
        std::optional<std::string> errorMessage;
        bool operator==(const Outcome&) const = default;
    };

    virtual ~ScriptRunner() = default;
    // Compiles and runs `source`, blocking until the target application answers.
    virtual Outcome run(const std::string& source) = 0;
};

} // namespace pellora
