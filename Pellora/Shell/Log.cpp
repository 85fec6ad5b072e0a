#include "Log.h"

#include <charconv>
#include <chrono>
#include <system_error>

#include "Pellora/Platform/UserFolders.h"
#include "PelloraCore/AppendOnlyFile.h"
#include "PelloraCore/IsoDate.h"

namespace pellora::Log {

// Worked out on every call, so the folder follows the environment (tests give each case a
// home of its own); the lookup costs nothing next to opening the file.
std::filesystem::path file() { return UserFolders::library() / "Logs" / "Pellora.log"; }

void write(const std::string& message) {
    try {
        const std::string line = IsoDate::format(std::chrono::system_clock::now()) + " " + message + "\n";
        const auto path = file();
        std::error_code ignored;
        std::filesystem::create_directories(path.parent_path(), ignored);
        AppendOnlyFile::appendLine(path, line);
    } catch (const std::exception&) {
        // A line that cannot be written is lost; logging never fails its caller.
    }
}

std::string seconds(double seconds) {
    // The application adopts the user's locale at start, so printf could write "0,84".
    char buffer[400]; // room for any double in fixed notation
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::fixed, 2);
    return std::string(buffer, written.ptr) + "s";
}

} // namespace pellora::Log
