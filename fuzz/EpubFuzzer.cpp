// Fuzz target for the ePub reader: an input that starts like a zip archive is opened from memory,
// unpacked into a private folder (with small limits) and read as a package; any other input is read
// as the package's documents: container, package document, NCX and navigation document, split at
// the first three "\n--\n" lines. Nothing may be written outside the private folders.
// Built as a libFuzzer binary with clang (QUARROW_FUZZ) and as a replay test over the saved corpus.

#include "audiobook/EpubPackage.h"
#include "audiobook/UnpackFolder.h"
#include "audiobook/ZipArchive.h"
#include "platform/Log.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

class QuietSink : public quarrow::LogSink {
public:
    void write(std::string_view) override {}
};

// The unpack folders of the whole run go under a cache folder of its own in the system's temporary
// folder, removed at exit (a plain buffer, so that it still exists when the exit handler runs).
char gCacheHome[] = "/tmp/quarrow-fuzz-epub-XXXXXX";

void useOwnCacheHome() {
    static const bool made = [] {
        if (!::mkdtemp(gCacheHome)) {
            std::abort();
        }
        ::setenv("XDG_CACHE_HOME", gCacheHome, 1);
        std::atexit([] {
            const std::string quarrow = std::string(gCacheHome) + "/quarrow";
            ::rmdir(quarrow.c_str());
            ::rmdir(gCacheHome);
        });
        return true;
    }();
    (void)made;
}

std::string_view nextPart(std::string_view& rest) {
    const auto at = rest.find("\n--\n");
    const std::string_view part = rest.substr(0, at);
    rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + 4);
    return part;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QuietSink quiet;
    static quarrow::ScopedLogSink scoped(quiet);
    useOwnCacheHome();
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    if (input.substr(0, 2) == "PK") {
        auto archive = quarrow::ZipArchive::openMemory(input);
        if (!archive) {
            return 0;
        }
        for (std::size_t i = 0; i < archive->entries().size() && i < 4; ++i) {
            archive->readEntry(i, 1 << 20);
        }
        auto folder = quarrow::UnpackFolder::create();
        if (!folder) {
            return 0;
        }
        quarrow::UnpackLimits limits;
        limits.maxTotalBytes = 8u << 20;
        limits.maxEntries = 2000;
        if (archive->UnzipFileTo(*folder, limits).ok) {
            std::vector<std::string> order;
            for (const auto& entry : archive->entries()) {
                if (auto path = quarrow::safeEntryPath(entry, limits.maxDepth)) {
                    order.push_back(std::move(*path));
                }
            }
            quarrow::readEpubFolder(folder->path(), order);
        }
        return 0;
    }

    std::string_view rest = input;
    const auto container = nextPart(rest);
    const auto opf = nextPart(rest);
    const auto ncx = nextPart(rest);
    const auto nav = rest;
    if (const auto root = quarrow::parseContainerRootPath(container)) {
        quarrow::resolvePackagePath("OEBPS", *root);
    }
    if (const auto content = quarrow::parsePackageDocument(opf)) {
        for (const auto& [id, item] : content->_manifest) {
            quarrow::resolvePackagePath("OEBPS/text", item.href);
        }
    }
    quarrow::parseNcxTitles(ncx);
    quarrow::parseNavTitles(nav);
    return 0;
}
