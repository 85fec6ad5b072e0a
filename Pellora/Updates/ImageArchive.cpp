#include "ImageArchive.h"

#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <archive.h>
#include <archive_entry.h>

#include "Pellora/Updates/FolderListing.h"
#include "PelloraCore/FileDescriptor.h"

namespace pellora::ImageArchive {
namespace {

namespace fs = std::filesystem;

struct ArchiveFree {
    void operator()(archive* a) const { archive_free(a); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveFree>;

struct EntryFree {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};
using EntryPtr = std::unique_ptr<archive_entry, EntryFree>;

[[noreturn]] void fail(const std::string& what, archive* a) {
    const char* detail = a ? archive_error_string(a) : nullptr;
    throw Error(detail ? what + ": " + detail : what);
}

// The archive's name for an entry as a relative path inside the destination; absent for the
// destination itself ("." or "./"). Refuses names that could land elsewhere.
std::optional<fs::path> insideName(const char* name) {
    if (!name || name[0] == '\0')
        throw Error("an entry has no name");
    const fs::path path(name);
    if (path.is_absolute())
        throw Error(std::string("an entry has an absolute name: ") + name);
    fs::path relative;
    for (const auto& part : path) {
        if (part == "..")
            throw Error(std::string("an entry's name leaves the folder: ") + name);
        if (part == "." || part.empty())
            continue;
        relative /= part;
    }
    if (relative.empty())
        return std::nullopt;
    return relative;
}

// A link at `link` (relative to the destination) may climb only with leading ".." and
// only as high as the destination, then descend. Every folder above an unpacked entry is a
// real folder (nothing is written through links), and every link passed while descending
// obeys the same rule, so the target cannot resolve outside.
void requireLinkInside(const fs::path& link, const char* target) {
    if (!target || target[0] == '\0')
        throw Error("a link has no target");
    const fs::path path(target);
    if (path.is_absolute())
        throw Error(std::string("a link points outside the folder: ") + target);
    const fs::path folder = link.parent_path();
    std::ptrdiff_t depth = std::distance(folder.begin(), folder.end());
    bool descending = false;
    for (const auto& part : path) {
        if (part == "." || part.empty())
            continue;
        if (part == "..") {
            if (descending || --depth < 0)
                throw Error(std::string("a link points outside the folder: ") + target);
        } else {
            descending = true;
        }
    }
}

void copyData(archive* in, archive* out) {
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    for (;;) {
        const int status = archive_read_data_block(in, &block, &size, &offset);
        if (status == ARCHIVE_EOF)
            return;
        if (status < ARCHIVE_WARN)
            fail("cannot read the archive", in);
        if (archive_write_data_block(out, block, size, offset) < ARCHIVE_WARN)
            fail("cannot write a file", out);
    }
}

void writeFile(archive* out, const fs::path& file) {
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.isOpen())
        throw fs::filesystem_error("cannot open", file, std::error_code(errno, std::generic_category()));
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw fs::filesystem_error("cannot read", file, std::error_code(errno, std::generic_category()));
        if (got == 0)
            return;
        if (archive_write_data(out, buffer.data(), size_t(got)) < 0)
            fail("cannot write the archive", out);
    }
}

} // namespace

void pack(const fs::path& folder, const fs::path& archivePath) {
    ArchivePtr out(archive_write_new());
    ArchivePtr disk(archive_read_disk_new());
    if (!out || !disk)
        throw Error("cannot create an archive");
    archive_read_disk_set_symlink_physical(disk.get());
    if (archive_write_add_filter_xz(out.get()) != ARCHIVE_OK ||
        archive_write_set_format_pax_restricted(out.get()) != ARCHIVE_OK)
        fail("cannot set up the archive", out.get());
    if (archive_write_open_filename(out.get(), archivePath.c_str()) != ARCHIVE_OK)
        fail("cannot create " + archivePath.string(), out.get());

    std::vector<fs::path> entries{fs::path()};
    for (auto& relative : FolderListing::sorted(folder))
        entries.push_back(std::move(relative));
    const fs::path name = folder.filename();
    for (const auto& relative : entries) {
        const fs::path source = relative.empty() ? folder : folder / relative;
        EntryPtr entry(archive_entry_new());
        archive_entry_copy_sourcepath(entry.get(), source.c_str());
        if (archive_read_disk_entry_from_file(disk.get(), entry.get(), -1, nullptr) != ARCHIVE_OK)
            fail("cannot read " + source.string(), disk.get());
        archive_entry_set_pathname(entry.get(), (relative.empty() ? name : name / relative).c_str());
        archive_entry_set_uid(entry.get(), 0);
        archive_entry_set_gid(entry.get(), 0);
        archive_entry_set_uname(entry.get(), nullptr);
        archive_entry_set_gname(entry.get(), nullptr);
        archive_entry_set_perm(entry.get(), archive_entry_perm(entry.get()) & 0777);
        if (archive_write_header(out.get(), entry.get()) != ARCHIVE_OK)
            fail("cannot add " + source.string(), out.get());
        if (archive_entry_filetype(entry.get()) == AE_IFREG)
            writeFile(out.get(), source);
    }
    if (archive_write_close(out.get()) != ARCHIVE_OK)
        fail("cannot finish " + archivePath.string(), out.get());
}

void unpack(const fs::path& archivePath, const fs::path& destination) {
    std::error_code error;
    const fs::path root = fs::canonical(destination, error);
    if (error)
        throw Error("cannot open " + destination.string() + ": " + error.message());

    ArchivePtr in(archive_read_new());
    ArchivePtr out(archive_write_disk_new());
    if (!in || !out)
        throw Error("cannot create an archive reader");
    archive_read_support_filter_xz(in.get());
    archive_read_support_filter_zstd(in.get());
    archive_read_support_format_tar(in.get());
    // Names are checked here and made absolute below (the destination is not the working
    // folder, which belongs to the whole process), so libarchive's absolute-path refusal
    // would refuse every entry; its other guards stay on.
    archive_write_disk_set_options(out.get(), ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_NODOTDOT |
                                                  ARCHIVE_EXTRACT_SECURE_SYMLINKS);
    if (archive_read_open_filename(in.get(), archivePath.c_str(), 1 << 16) != ARCHIVE_OK)
        fail("cannot open the archive", in.get());

    archive_entry* entry = nullptr;
    int status;
    while ((status = archive_read_next_header(in.get(), &entry)) == ARCHIVE_OK) {
        const auto relative = insideName(archive_entry_pathname(entry));
        if (!relative)
            continue; // the destination itself
        if (const char* hardlink = archive_entry_hardlink(entry)) {
            const auto target = insideName(hardlink);
            if (!target)
                throw Error(std::string("a link points at a folder: ") + hardlink);
            archive_entry_set_hardlink(entry, (root / *target).c_str());
        } else {
            switch (archive_entry_filetype(entry)) {
            case AE_IFREG:
            case AE_IFDIR:
                break;
            case AE_IFLNK:
                requireLinkInside(*relative, archive_entry_symlink(entry));
                break;
            default:
                throw Error("an entry is neither a file, a folder nor a link: " + relative->string());
            }
        }
        archive_entry_set_pathname(entry, (root / *relative).c_str());
        archive_entry_set_perm(entry, archive_entry_perm(entry) & 0777);
        if (archive_write_header(out.get(), entry) < ARCHIVE_WARN)
            fail("cannot unpack " + relative->string(), out.get());
        if (archive_entry_size(entry) > 0)
            copyData(in.get(), out.get());
        if (archive_write_finish_entry(out.get()) < ARCHIVE_WARN)
            fail("cannot unpack " + relative->string(), out.get());
    }
    if (status != ARCHIVE_EOF)
        fail("cannot read the archive", in.get());
    if (archive_write_close(out.get()) < ARCHIVE_WARN)
        fail("cannot finish unpacking", out.get());
}

} // namespace pellora::ImageArchive
