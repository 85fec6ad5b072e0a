#pragma once

#include <filesystem>
#include <string_view>

// Files that only ever grow by whole lines (activity.jsonl, Pellora.log).
namespace pellora::AppendOnlyFile {

// Appends `line` (which ends with a line feed) with a single write, creating the file
// owner-only when missing; an existing file is never truncated or replaced, so lines of two
// writers, threads or processes, never interleave. The folder must exist. Throws
// std::filesystem::filesystem_error.
//
// With `startOnFreshLine`, a file that ends inside a line (cut short by a full disk) gets a
// line feed first, so this line is not glued to the damaged one. The check races with other
// writers and may then leave an empty line: only for files whose readers skip empty lines.
void appendLine(const std::filesystem::path& file, std::string_view line, bool startOnFreshLine = false);

} // namespace pellora::AppendOnlyFile
