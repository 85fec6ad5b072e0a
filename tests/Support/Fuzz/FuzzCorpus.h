#pragma once

#include <algorithm>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FuzzTarget.h"

namespace pellora::fuzz {

// The names of the targets in this program, for a test per target.
inline std::vector<std::string> targetNames() {
    std::vector<std::string> names;
    for (const auto& [name, target] : targets())
        names.push_back(name);
    return names;
}

// Feeds every file of tests/fuzz/<name>/ (seeds and inputs that once broke a promise) to the
// target; each broken promise or escaping exception is a failure naming the file.
inline void replayCorpus(const std::string& name) {
    const std::filesystem::path folder = std::filesystem::path(PELLORA_FUZZ_CORPORA) / name;
    ASSERT_TRUE(std::filesystem::is_directory(folder)) << "no corpus for " << name << " at " << folder;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty()) << "empty corpus for " << name;
    for (const auto& file : files) {
        std::ifstream stream(file, std::ios::binary);
        const std::string input((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
        try {
            targets().at(name)(input);
        } catch (const Broken& broken) {
            ADD_FAILURE() << file.filename() << ": " << broken.what();
        } catch (const std::exception& error) {
            ADD_FAILURE() << file.filename() << ": escaped " << error.what();
        }
    }
}

} // namespace pellora::fuzz

// The corpus test of one test program: one test per target compiled into it.
#define PELLORA_FUZZ_CORPUS_TESTS(prefix)                                                          \
    class FuzzCorpus : public ::testing::TestWithParam<std::string> {};                            \
    TEST_P(FuzzCorpus, EveryInputKeepsTheReadersPromises) { ::pellora::fuzz::replayCorpus(GetParam()); } \
    INSTANTIATE_TEST_SUITE_P(prefix, FuzzCorpus, ::testing::ValuesIn(::pellora::fuzz::targetNames()),   \
                             [](const auto& info) { return info.param; })
