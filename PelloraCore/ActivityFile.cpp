#include "ActivityFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ActivityLine.h"
#include "ActivityLineReader.h"
#include "AppendOnlyFile.h"
#include "FileDescriptor.h"

namespace pellora::ActivityFile {
namespace {

// Lines are read through a buffer of this size (grown for longer lines), so that a long log
// never needs a second copy of itself in memory.
constexpr std::size_t chunkSize = 256 * 1024;

std::size_t fileSize(int fd) {
    struct stat status {};
    return ::fstat(fd, &status) == 0 && status.st_size > 0 ? std::size_t(status.st_size) : 0;
}

// A read buffer followed by the spare bytes the line reader may look at, so that lines are
// parsed where they lie.
class Buffer {
public:
    explicit Buffer(std::size_t size) : bytes_(new char[size + ActivityLineReader::padding]()), size_(size) {}
    char* data() { return bytes_.get(); }
    std::size_t size() const { return size_; }
    // Twice the size, the old bytes at the start (or at the end) of the new buffer.
    void grow(bool keepAtEnd) {
        Buffer larger(size_ * 2);
        std::memcpy(larger.data() + (keepAtEnd ? size_ : 0), data(), size_);
        *this = std::move(larger);
    }

private:
    std::unique_ptr<char[]> bytes_;
    std::size_t size_;
};

// Calls visit(line) for every non-empty line, first to last. A read error ends the file.
template <class Visit> void forEachLine(int fd, Visit visit) {
    Buffer buffer(chunkSize);
    std::size_t start = 0, end = 0; // unprocessed bytes
    for (;;) {
        if (start > 0) {
            std::memmove(buffer.data(), buffer.data() + start, end - start);
            end -= start;
            start = 0;
        }
        if (end == buffer.size())
            buffer.grow(false);
        const ssize_t count = ::read(fd, buffer.data() + end, buffer.size() - end);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        end += std::size_t(count);
        while (const void* found = std::memchr(buffer.data() + start, '\n', end - start)) {
            const std::size_t lineEnd = std::size_t(static_cast<const char*>(found) - buffer.data());
            if (lineEnd > start)
                visit(std::string_view(buffer.data() + start, lineEnd - start));
            start = lineEnd + 1;
        }
    }
    if (end > start) // no final line feed
        visit(std::string_view(buffer.data() + start, end - start));
}

// Reads exactly `length` bytes at `offset`; false on an error or an early end.
bool readAt(int fd, char* into, std::size_t length, std::size_t offset) {
    while (length > 0) {
        const ssize_t count = ::pread(fd, into, length, off_t(offset));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        into += count;
        offset += std::size_t(count);
        length -= std::size_t(count);
    }
    return true;
}

// Calls visit(line) for every non-empty line of the first `size` bytes, last to first. Each
// chunk is read in front of the unfinished line carried from the chunk after it.
template <class Visit> void forEachLineBackward(int fd, std::size_t size, Visit visit) {
    Buffer buffer(std::max<std::size_t>(std::min(size, chunkSize), 1));
    std::size_t position = size;         // file offset of buffer[start]
    std::size_t start = buffer.size();   // buffer[start, end) is the carried line
    for (;;) {
        if (position == 0)
            break;
        if (start == 0) { // the carried line fills the buffer: make room in front of it
            start = buffer.size();
            buffer.grow(true);
        }
        const std::size_t want = std::min(position, start);
        if (!readAt(fd, buffer.data() + start - want, want, position - want))
            return;
        position -= want;
        start -= want;
        std::size_t end = buffer.size();
        while (const void* found = ::memrchr(buffer.data() + start, '\n', end - start)) {
            const std::size_t lineStart = std::size_t(static_cast<const char*>(found) - buffer.data()) + 1;
            if (end > lineStart)
                visit(std::string_view(buffer.data() + lineStart, end - lineStart));
            end = lineStart - 1;
        }
        const std::size_t carried = end - start;
        std::memmove(buffer.data() + buffer.size() - carried, buffer.data() + start, carried);
        start = buffer.size() - carried;
    }
    if (start < buffer.size()) // the first line
        visit(std::string_view(buffer.data() + start, buffer.size() - start));
}

// About how many lines the file holds, from the line lengths of a sample at its end (where a
// log's newest lines are, the ones most like what is still to come). Reserving that many
// entries, and not a safe upper bound, means the list is allocated once and memory that will
// never be used is never asked for: on some machines every page touched costs more than
// parsing what fills it.
std::size_t estimatedLines(int fd, std::size_t size) {
    constexpr std::size_t sampleSize = 64 * 1024;
    const std::size_t length = std::min(size, sampleSize);
    std::string sample(length, '\0');
    if (length == 0 || !readAt(fd, sample.data(), length, size - length))
        return 0;
    const auto lines = std::size_t(std::count(sample.begin(), sample.end(), '\n'));
    if (length == size || lines < 2)
        return lines + 1;
    // A tail of blank or short lines would promise more entries than the file can hold, and
    // ask for more memory than the machine has: no entry's line is shorter than this.
    constexpr std::size_t shortestEntry = 128;
    return std::min(std::size_t(double(size) / double(length) * double(lines) * 1.05) + 16, size / shortestEntry + 1);
}

// Asks for the list's memory in large pages where the system offers them: a fresh process
// pays for every small page it touches, and 100,000 entries touch thousands of them. Only
// advice; it changes nothing else.
void adviseLargePages(const void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t large = std::uintptr_t(2) << 20;
    const auto first = (reinterpret_cast<std::uintptr_t>(data) + large - 1) & ~(large - 1);
    const auto last = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(large - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

// A list that has grown well past its entries gives the rest back.
void trimCapacity(std::vector<ActivityEntry>& entries) {
    if (entries.capacity() > entries.size() + entries.size() / 4)
        entries.shrink_to_fit();
}

// Puts entries[order[k]] at position k, moving each entry about once.
void permute(std::vector<ActivityEntry>& entries, std::vector<std::size_t>& order) {
    for (std::size_t k = 0; k < order.size(); ++k) {
        if (order[k] == k)
            continue;
        ActivityEntry held = std::move(entries[k]);
        std::size_t hole = k;
        for (;;) {
            const std::size_t from = order[hole];
            order[hole] = hole;
            if (from == k) {
                entries[hole] = std::move(held);
                break;
            }
            entries[hole] = std::move(entries[from]);
            hole = from;
        }
    }
}

} // namespace

void append(const ActivityEntry& entry, const std::filesystem::path& file) {
    std::string line = ActivityLine::encode(entry);
    line += '\n';
    if (file.has_parent_path())
        std::filesystem::create_directories(file.parent_path());
    // Loading skips empty lines, so a damaged last line is safely closed off first.
    AppendOnlyFile::appendLine(file, line, true);
}

std::vector<ActivityEntry> load(const std::filesystem::path& file) {
    std::vector<ActivityEntry> entries;
    const FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return entries;
    entries.reserve(estimatedLines(fd.get(), fileSize(fd.get())));
    ActivityLineReader reader;
    forEachLine(fd.get(), [&](std::string_view line) {
        if (!reader.readPadded(line, entries.emplace_back()))
            entries.pop_back();
    });
    trimCapacity(entries);
    return entries;
}

std::vector<ActivityEntry> loadNewestFirst(const std::filesystem::path& file) {
    std::vector<ActivityEntry> entries;
    const FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return entries;
    // A log is appended in time order, so reading it from the end gives nearly the final
    // order: little is left to move, and each entry's own texts lie in memory in list order,
    // which keeps searching the list fast.
    const std::size_t size = fileSize(fd.get());
    entries.reserve(estimatedLines(fd.get(), size));
    adviseLargePages(entries.data(), entries.capacity() * sizeof(ActivityEntry));
    ActivityLineReader reader;
    forEachLineBackward(fd.get(), size, [&](std::string_view line) {
        if (!reader.readPadded(line, entries.emplace_back()))
            entries.pop_back();
    });
    trimCapacity(entries);
    // entries[i] is the i-th entry from the end: for equal dates the larger i came first.
    // Nearly in order: an insertion sort in place moves each entry only as far as it is out
    // of place, and needs no memory besides.
    const std::size_t budget = 8 * entries.size();
    std::size_t moves = 0, sorted = 1;
    for (; sorted < entries.size() && moves <= budget; ++sorted) {
        if (entries[sorted].date < entries[sorted - 1].date)
            continue;
        ActivityEntry held = std::move(entries[sorted]);
        std::size_t at = sorted;
        for (; at > 0 && held.date >= entries[at - 1].date; --at, ++moves)
            entries[at] = std::move(entries[at - 1]);
        entries[at] = std::move(held);
    }
    if (sorted >= entries.size())
        return entries;
    // A log far out of order (a clock that jumped) is sorted in full instead. The sorted front
    // keeps its order for equal dates; the rest, reversed, comes first so that for equal dates
    // the list's order is the file's order from here on.
    std::reverse(entries.begin() + std::ptrdiff_t(sorted), entries.end());
    std::rotate(entries.begin(), entries.begin() + std::ptrdiff_t(sorted), entries.end());
    struct Key {
        ActivityEntry::Date date;
        std::size_t index;
    };
    std::vector<Key> keys(entries.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        keys[i] = {entries[i].date, i};
    std::sort(keys.begin(), keys.end(),
              [](const Key& a, const Key& b) { return a.date != b.date ? a.date > b.date : a.index < b.index; });
    std::vector<std::size_t> order(keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k)
        order[k] = keys[k].index;
    permute(entries, order);
    return entries;
}

} // namespace pellora::ActivityFile
