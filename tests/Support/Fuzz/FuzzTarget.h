#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Fuzz targets: one function per reader of outside input, fed arbitrary bytes, checking the
// reader's own promises (not only that nothing crashes). The same functions run under
// libFuzzer (scripts/fuzz) and, for every file under tests/fuzz/<target>/, as ordinary tests,
// so an input that once broke a promise keeps being tried.
namespace pellora::fuzz {

using Target = void (*)(std::string_view input);

// The targets compiled into this program, by name.
inline std::map<std::string, Target>& targets() {
    static std::map<std::string, Target> registered;
    return registered;
}

struct Registration {
    Registration(const char* name, Target target) { targets().emplace(name, target); }
};

// A promise that does not hold. The libFuzzer driver turns it into a crash with its message;
// the corpus tests into a failure.
class Broken : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// Splits the input into pieces at a separator byte, for targets that take several texts.
inline std::vector<std::string_view> pieces(std::string_view input, char separator = '\n') {
    std::vector<std::string_view> result;
    for (;;) {
        const auto at = input.find(separator);
        result.push_back(input.substr(0, at));
        if (at == std::string_view::npos)
            return result;
        input.remove_prefix(at + 1);
    }
}

} // namespace pellora::fuzz

#define PELLORA_FUZZ_STRINGIFY2(x) #x
#define PELLORA_FUZZ_STRINGIFY(x) PELLORA_FUZZ_STRINGIFY2(x)

// Throws Broken naming the condition and where it is, when it is false.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            throw ::pellora::fuzz::Broken(__FILE__ ":" PELLORA_FUZZ_STRINGIFY(__LINE__) ": " #condition); \
    } while (false)

// Defines and registers a target: PELLORA_FUZZ_TARGET(ConfigLoad) { ... uses `input` ... }
#define PELLORA_FUZZ_TARGET(name)                                                                  \
    static void name##Target(std::string_view input);                                             \
    static const ::pellora::fuzz::Registration name##Registration(#name, &name##Target);          \
    static void name##Target(std::string_view input)
