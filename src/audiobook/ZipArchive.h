#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow {

class UnpackFolder;

// One entry of an archive's central directory.
struct ZipEntry {
    // The stored name as UTF-8 (names that are not valid UTF-8 are read as CP437), with every "\"
    // turned into "/".
    std::string name;
    bool isFolder = false;
    bool nameHasNul = false;
    std::uint64_t size = 0; // as the directory claims; never trusted for allocation
};

// What unpacking may take at most. A zip bomb stops at the first byte past the total.
struct UnpackLimits {
    std::uint64_t maxTotalBytes = 512ull << 20;
    std::size_t maxEntries = 50000;
    std::size_t maxDepth = 64; // folders inside folders
};

struct UnpackResult {
    bool ok = false;
    std::string error; // why unpacking stopped, for the user; empty when ok
    std::size_t filesWritten = 0;
    std::size_t entriesSkipped = 0; // unsafe names, unreadable or damaged entries (each logged)
};

// The safe relative path for an entry name: "/"-separated components, none empty, "." or "..".
// Nothing for a name that is absolute, holds a ".." component or a NUL, or is deeper than
// `maxDepth`; an empty text for a name that is only the archive's root ("./").
std::optional<std::string> safeEntryPath(const ZipEntry& entry, std::size_t maxDepth);

// An archive read with minizip, from a file (read in place with pread, never changed) or from
// memory. Entries are listed once when the archive opens.
class ZipArchive {
public:
    struct Source; // the bytes minizip reads through (internal)

    // The archive in the file, or nothing when the file is not a readable regular file or not an
    // archive. Logs "%d entries in the zip file" when it opens.
    static std::unique_ptr<ZipArchive> UnzipOpenFile(const std::string& path);
    // The archive in `bytes`, which must outlive the object.
    static std::unique_ptr<ZipArchive> openMemory(std::string_view bytes);

    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    const std::vector<ZipEntry>& entries() const { return entries_; }

    // Writes every entry under the folder, through its descriptor. An entry with an unsafe name is
    // skipped with a log line; an entry that cannot be read or fails its CRC check leaves no file
    // (the partial one is removed) and the others go on. Stops with an error when the archive
    // unpacks to more than the limits allow, or when a file cannot be written (a full disk).
    UnpackResult UnzipFileTo(const UnpackFolder& folder, const UnpackLimits& limits = {});

    // The whole data of entry `index`, checked against its CRC; nothing when it is a folder,
    // unreadable, damaged or longer than `maxBytes`.
    std::optional<std::string> readEntry(std::size_t index, std::uint64_t maxBytes);

    // Closes the reader; answers true when nothing was open or the close succeeded.
    bool UnzipCloseFile();

private:
    explicit ZipArchive(std::unique_ptr<Source> source);
    bool open();
    bool goToEntry(std::size_t index);

    std::unique_ptr<Source> source_;
    void* unz_ = nullptr; // unzFile
    std::vector<ZipEntry> entries_;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> positions_; // unz64_file_pos per entry
};

} // namespace quarrow
