#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow {

// One item of a package's manifest.
struct EpubManifestItem {
    std::string href; // as written, relative to the package document
    std::string mediaType;
    std::string properties; // EPUB 3: "cover-image", "nav", ...
};

// What a package document (the OPF) says.
struct EpubContent {
    std::map<std::string, EpubManifestItem> _manifest; // by item id
    std::vector<std::string> _spine;                   // item ids in reading order
    std::string tocId;                                 // the spine's "toc" attribute (EPUB 2)
    std::optional<std::string> title;                  // the first dc:title
    std::optional<std::string> author;                 // the first dc:creator
    std::optional<std::string> language;               // the first dc:language
    std::optional<std::string> coverId;                // <meta name="cover" content="...">
};

// The package document's path inside the ePub, from META-INF/container.xml: the first rootfile of
// media type "application/oebps-package+xml", or else the first rootfile. Nothing when the
// document is not well-formed or names none.
std::optional<std::string> parseContainerRootPath(std::string_view containerXml);

// The manifest, spine and metadata of a package document; nothing when it is not well-formed.
std::optional<EpubContent> parsePackageDocument(std::string_view opfXml);

// Chapter titles from a table of contents, as (link as written, title) in document order: the
// navPoints of an EPUB 2 NCX file, or the links of an EPUB 3 navigation document's "toc" nav.
// Whatever was read before a fault in the document is kept.
std::vector<std::pair<std::string, std::string>> parseNcxTitles(std::string_view ncxXml);
std::vector<std::pair<std::string, std::string>> parseNavTitles(std::string_view navXhtml);

// A link inside the package resolved against the folder of the document that holds it: the
// fragment goes, %XX escapes are decoded, "." and ".." are applied. Nothing when it leaves the
// package's root, is absolute, or has a scheme ("http:").
std::optional<std::string> resolvePackagePath(std::string_view baseFolder, std::string_view href);

// One chapter of a book in reading order.
struct EpubChapter {
    std::string relativePath;         // inside the package
    std::size_t spineIndex = 0;       // position in the spine, counting every itemref
    std::optional<std::string> title; // from the table of contents
};

// An ePub package read from a folder (an unpacked archive, or a book of the system library).
struct EpubBook {
    std::optional<std::string> title;
    std::optional<std::string> author;
    std::optional<std::string> language;
    std::optional<std::string> coverBytes; // the encoded cover image
    std::string coverMediaType;
    std::vector<EpubChapter> chapters;
    bool hasPackage = false; // a container and package document were found and read
};

// Reads the package under `folder`: the container, the package document, its cover image and
// table of contents, and the chapters in spine order (HTML items whose file exists). Without a
// usable package document the chapters are the HTML files of `fallbackOrder` (relative paths in
// a stable order, such as the archive's own), never the order of a folder listing.
EpubBook readEpubFolder(const std::string& folder, const std::vector<std::string>& fallbackOrder);

// Whether the path ends in one of the extensions the chapters of a book use (html, htm, xhtml,
// xhtm), in any case.
bool hasHtmlExtension(std::string_view path);

} // namespace quarrow
