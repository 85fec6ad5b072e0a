// config.json as a user's editor or an older version left it.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <nlohmann/json.hpp>

#include "Fuzz/FuzzTarget.h"
#include "PelloraCore/Config.h"

namespace {

std::filesystem::path scratch(const char* name) {
    const auto folder = std::filesystem::temp_directory_path() / "pellora-fuzz-config";
    std::filesystem::create_directories(folder);
    return folder / name;
}

std::string contents(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
}

// Written documents: every object's keys in sorted order; no older key names at the top or
// in routes.
void checkSorted(const nlohmann::ordered_json& value) {
    if (value.is_structured())
        for (const auto& element : value)
            checkSorted(element);
    if (!value.is_object())
        return;
    std::string previous;
    for (auto it = value.begin(); it != value.end(); ++it) {
        FUZZ_CHECK(it == value.begin() || previous < it.key());
        previous = it.key();
    }
}

void checkWritten(const nlohmann::ordered_json& document) {
    checkSorted(document);
    FUZZ_CHECK(document.is_object() && !document.contains("instruction") && !document.contains("instructions"));
    for (const auto& route : document.at("routes"))
        for (const char* old : {"address", "chatTitle", "chatURL"})
            FUZZ_CHECK(!route.contains(old));
}

} // namespace

PELLORA_FUZZ_TARGET(ConfigLoad) {
    using pellora::Config;
    const auto file = scratch("config.json");
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(input.data(), std::streamsize(input.size()));

    const Config loaded = Config::load(file); // never fails
    FUZZ_CHECK(contents(file) == input);        // and leaves the file as it was
    if (!nlohmann::json::accept(input))
        FUZZ_CHECK(loaded == Config{});

    // What loads saves, and loads back equal.
    const auto saved = scratch("saved.json");
    loaded.save(saved);
    FUZZ_CHECK(Config::load(saved) == loaded);
    checkWritten(nlohmann::ordered_json::parse(contents(saved)));
}
