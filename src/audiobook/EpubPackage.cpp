#include "EpubPackage.h"

#include "BookFiles.h"
#include "XmlReader.h"
#include "platform/Log.h"
#include "platform/TextEscapes.h"

#include <algorithm>
#include <set>

namespace quarrow {

namespace {

constexpr std::uint64_t kMaxPackageDocument = 16u << 20;
constexpr std::uint64_t kMaxCoverImage = 32u << 20;

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + ('a' - 'A'));
        }
    }
    return out;
}

// Runs of XML white space become one blank; none at either end.
std::string collapseWhiteSpace(std::string_view s) {
    std::string out;
    bool space = false;
    for (const char c : s) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            space = !out.empty();
            continue;
        }
        if (space) {
            out.push_back(' ');
            space = false;
        }
        out.push_back(c);
    }
    return out;
}

bool hasToken(std::string_view list, std::string_view token) {
    std::size_t start = 0;
    while (start < list.size()) {
        const auto end = std::min(list.find(' ', start), list.size());
        if (list.substr(start, end - start) == token) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

class ContainerHandler : public XmlHandler {
public:
    void startElement(std::string_view name, const XmlAttributes& attributes) override {
        if (name != "rootfile") {
            return;
        }
        const std::string* path = attributes.find("full-path");
        if (!path || path->empty()) {
            return;
        }
        const std::string* type = attributes.find("media-type");
        if (type && *type == "application/oebps-package+xml" && !packageRoot) {
            packageRoot = *path;
        }
        if (!firstRoot) {
            firstRoot = *path;
        }
    }
    void endElement(std::string_view) override {}

    std::optional<std::string> packageRoot;
    std::optional<std::string> firstRoot;
};

class PackageHandler : public XmlHandler {
public:
    void startElement(std::string_view name, const XmlAttributes& attributes) override {
        text_.clear();
        if (name == "metadata") {
            inMetadata_ = true;
        } else if (name == "item") {
            const std::string* id = attributes.find("id");
            const std::string* href = attributes.find("href");
            if (id && href && !content._manifest.contains(*id)) {
                EpubManifestItem item;
                item.href = *href;
                if (const auto* type = attributes.find("media-type")) {
                    item.mediaType = *type;
                }
                if (const auto* properties = attributes.find("properties")) {
                    item.properties = *properties;
                }
                content._manifest.emplace(*id, std::move(item));
            }
        } else if (name == "spine") {
            if (const auto* toc = attributes.find("toc")) {
                content.tocId = *toc;
            }
        } else if (name == "itemref") {
            if (const auto* idref = attributes.find("idref")) {
                content._spine.push_back(*idref);
            }
        } else if (name == "meta" && inMetadata_) {
            const auto* metaName = attributes.find("name");
            const auto* value = attributes.find("content");
            if (metaName && value && *metaName == "cover" && !content.coverId) {
                content.coverId = *value;
            }
        } else if (inMetadata_ && (name == "title" || name == "creator" || name == "language")) {
            collecting_ = true;
        }
    }

    void endElement(std::string_view name) override {
        if (name == "metadata") {
            inMetadata_ = false;
        }
        if (!collecting_) {
            return;
        }
        collecting_ = false;
        std::string value = collapseWhiteSpace(text_);
        if (value.empty()) {
            return;
        }
        auto& slot = name == "title" ? content.title : name == "creator" ? content.author : content.language;
        if (!slot) {
            slot = std::move(value);
        }
    }

    void characters(std::string_view text) override {
        if (collecting_ && text_.size() < 4096) {
            text_.append(text);
        }
    }

    EpubContent content;

private:
    bool inMetadata_ = false;
    bool collecting_ = false;
    std::string text_;
};

// navPoint > navLabel > text, then navPoint > content@src.
class NcxHandler : public XmlHandler {
public:
    void startElement(std::string_view name, const XmlAttributes& attributes) override {
        if (name == "navPoint") {
            labels_.emplace_back();
        } else if (name == "text" && !labels_.empty()) {
            inText_ = true;
        } else if (name == "content" && !labels_.empty()) {
            if (const auto* src = attributes.find("src")) {
                titles.emplace_back(*src, collapseWhiteSpace(labels_.back()));
            }
        }
    }
    void endElement(std::string_view name) override {
        if (name == "navPoint" && !labels_.empty()) {
            labels_.pop_back();
        } else if (name == "text") {
            inText_ = false;
        }
    }
    void characters(std::string_view text) override {
        if (inText_ && !labels_.empty() && labels_.back().size() < 4096) {
            labels_.back().append(text);
        }
    }

    std::vector<std::pair<std::string, std::string>> titles;

private:
    std::vector<std::string> labels_;
    bool inText_ = false;
};

// nav[epub:type~=toc] a@href, with the link's text.
class NavHandler : public XmlHandler {
public:
    void startElement(std::string_view name, const XmlAttributes& attributes) override {
        if (name == "nav") {
            const auto* type = attributes.find("type");
            navDepth_ = navDepth_ > 0 ? navDepth_ + 1 : (type && hasToken(*type, "toc") ? 1 : 0);
        } else if (navDepth_ > 0 && name == "a") {
            const auto* href = attributes.find("href");
            link_ = href ? std::optional<std::string>(*href) : std::nullopt;
            text_.clear();
        }
    }
    void endElement(std::string_view name) override {
        if (name == "nav" && navDepth_ > 0) {
            --navDepth_;
        } else if (name == "a" && link_) {
            titles.emplace_back(*link_, collapseWhiteSpace(text_));
            link_.reset();
        }
    }
    void characters(std::string_view text) override {
        if (link_ && text_.size() < 4096) {
            text_.append(text);
        }
    }

    std::vector<std::pair<std::string, std::string>> titles;

private:
    int navDepth_ = 0;
    std::optional<std::string> link_;
    std::string text_;
};

std::string folderOf(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash));
}

bool isHtmlItem(const EpubManifestItem& item) {
    return item.mediaType == "application/xhtml+xml" || item.mediaType == "text/html" || hasHtmlExtension(item.href);
}

bool isImageItem(const EpubManifestItem& item) {
    return item.mediaType.starts_with("image/");
}

// The manifest item of the cover image: EPUB 3's "cover-image" property, EPUB 2's cover meta (which
// some books fill with the image's path rather than its id), or an image whose id or path says
// "cover".
const EpubManifestItem* findCover(const EpubContent& content) {
    for (const auto& [id, item] : content._manifest) {
        if (hasToken(item.properties, "cover-image")) {
            return &item;
        }
    }
    if (content.coverId) {
        if (const auto it = content._manifest.find(*content.coverId); it != content._manifest.end()) {
            return &it->second;
        }
        for (const auto& [id, item] : content._manifest) {
            if (item.href == *content.coverId && isImageItem(item)) {
                return &item;
            }
        }
    }
    for (const auto& [id, item] : content._manifest) {
        if (isImageItem(item) &&
            (lower(id).find("cover") != std::string::npos || lower(item.href).find("cover") != std::string::npos)) {
            return &item;
        }
    }
    return nullptr;
}

// Titles of the table of contents by resolved path; the first title of a file wins.
std::map<std::string, std::string> tableOfContents(const std::string& folder, const EpubContent& content,
                                                   const std::string& packageFolder) {
    const EpubManifestItem* ncx = nullptr;
    const EpubManifestItem* nav = nullptr;
    for (const auto& [id, item] : content._manifest) {
        if (hasToken(item.properties, "nav")) {
            nav = &item;
        }
        if ((!content.tocId.empty() && id == content.tocId) ||
            (content.tocId.empty() && item.mediaType == "application/x-dtbncx+xml")) {
            ncx = &item;
        }
    }
    std::map<std::string, std::string> titles;
    for (const EpubManifestItem* doc : {nav, ncx}) {
        if (!doc) {
            continue;
        }
        const auto path = resolvePackagePath(packageFolder, doc->href);
        const auto bytes = path ? readFileBytes(folder + "/" + *path, kMaxPackageDocument) : std::nullopt;
        if (!bytes) {
            continue;
        }
        const auto entries = doc == nav ? parseNavTitles(*bytes) : parseNcxTitles(*bytes);
        const std::string base = folderOf(*path);
        for (const auto& [link, title] : entries) {
            const auto target = resolvePackagePath(base, link);
            if (target && !title.empty()) {
                titles.emplace(*target, title);
            }
        }
        if (!titles.empty()) {
            break;
        }
    }
    return titles;
}

} // namespace

bool hasHtmlExtension(std::string_view path) {
    const std::string ext = lower(pathExtension(path));
    return ext == "html" || ext == "htm" || ext == "xhtml" || ext == "xhtm";
}

std::optional<std::string> parseContainerRootPath(std::string_view containerXml) {
    ContainerHandler handler;
    if (!parseXml(containerXml, handler)) {
        return std::nullopt;
    }
    return handler.packageRoot ? handler.packageRoot : handler.firstRoot;
}

std::optional<EpubContent> parsePackageDocument(std::string_view opfXml) {
    PackageHandler handler;
    std::string error;
    if (!parseXml(opfXml, handler, &error)) {
        systemLog("Error Occured : " + error);
        return std::nullopt;
    }
    return std::move(handler.content);
}

std::vector<std::pair<std::string, std::string>> parseNcxTitles(std::string_view ncxXml) {
    NcxHandler handler;
    parseXml(ncxXml, handler);
    return std::move(handler.titles);
}

std::vector<std::pair<std::string, std::string>> parseNavTitles(std::string_view navXhtml) {
    NavHandler handler;
    parseXml(navXhtml, handler);
    return std::move(handler.titles);
}

std::optional<std::string> resolvePackagePath(std::string_view baseFolder, std::string_view href) {
    href = href.substr(0, href.find('#'));
    href = href.substr(0, href.find('?'));
    if (href.empty() || href[0] == '/' || href.find(':') != std::string_view::npos) {
        return std::nullopt;
    }
    std::string decoded;
    decoded.reserve(href.size());
    for (std::size_t i = 0; i < href.size(); ++i) {
        if (href[i] == '%' && i + 2 < href.size() && hexDigitValue(href[i + 1]) >= 0 &&
            hexDigitValue(href[i + 2]) >= 0) {
            decoded.push_back(static_cast<char>(hexDigitValue(href[i + 1]) << 4 | hexDigitValue(href[i + 2])));
            i += 2;
        } else {
            decoded.push_back(href[i]);
        }
    }
    if (decoded.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    std::vector<std::string> parts;
    const std::string joined = baseFolder.empty() ? decoded : std::string(baseFolder) + "/" + decoded;
    std::size_t start = 0;
    while (start <= joined.size()) {
        const auto slash = std::min(joined.find('/', start), joined.size());
        const std::string part = joined.substr(start, slash - start);
        if (part == "..") {
            if (parts.empty()) {
                return std::nullopt;
            }
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = slash + 1;
    }
    if (parts.empty()) {
        return std::nullopt;
    }
    std::string path;
    for (const auto& part : parts) {
        if (!path.empty()) {
            path.push_back('/');
        }
        path += part;
    }
    return path;
}

EpubBook readEpubFolder(const std::string& folder, const std::vector<std::string>& fallbackOrder) {
    EpubBook book;
    std::optional<EpubContent> content;
    std::string packageFolder;
    if (const auto container = readFileBytes(folder + "/META-INF/container.xml", kMaxPackageDocument)) {
        const auto root = parseContainerRootPath(*container);
        const auto rootPath = root ? resolvePackagePath("", *root) : std::nullopt;
        if (rootPath) {
            if (const auto opf = readFileBytes(folder + "/" + *rootPath, kMaxPackageDocument)) {
                content = parsePackageDocument(*opf);
                packageFolder = folderOf(*rootPath);
            }
        }
    }
    std::set<std::string> seen;
    if (content) {
        book.hasPackage = true;
        book.title = content->title;
        book.author = content->author;
        book.language = content->language;
        if (const EpubManifestItem* cover = findCover(*content)) {
            if (const auto path = resolvePackagePath(packageFolder, cover->href)) {
                book.coverBytes = readFileBytes(folder + "/" + *path, kMaxCoverImage);
                book.coverMediaType = cover->mediaType;
            }
        }
        const auto titles = tableOfContents(folder, *content, packageFolder);
        for (std::size_t i = 0; i < content->_spine.size(); ++i) {
            const auto item = content->_manifest.find(content->_spine[i]);
            if (item == content->_manifest.end() || !isHtmlItem(item->second)) {
                continue;
            }
            const auto path = resolvePackagePath(packageFolder, item->second.href);
            if (!path || !seen.insert(*path).second) {
                continue;
            }
            if (!isRegularFile(folder + "/" + *path)) {
                systemLog("ePub: spine item " + std::to_string(i) + " has no file; the chapter is left out");
                continue;
            }
            EpubChapter chapter;
            chapter.relativePath = *path;
            chapter.spineIndex = i;
            if (const auto t = titles.find(*path); t != titles.end()) {
                chapter.title = t->second;
            }
            book.chapters.push_back(std::move(chapter));
        }
    }
    if (book.chapters.empty()) {
        for (std::size_t i = 0; i < fallbackOrder.size(); ++i) {
            const std::string& path = fallbackOrder[i];
            if (hasHtmlExtension(path) && seen.insert(path).second &&
                isRegularFile(std::string(folder).append("/").append(path))) {
                book.chapters.push_back(EpubChapter{path, i, std::nullopt});
            }
        }
    }
    return book;
}

} // namespace quarrow
