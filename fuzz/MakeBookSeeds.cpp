// Writes the seed inputs of the ebook fuzz targets into OUTPUT_FOLDER/epub, /rtf and /html: small
// ePub archives (sound, hostile and damaged), package documents, RTF and HTML files.
// Usage: quarrow_fuzz_book_seeds OUTPUT_FOLDER

#include "BookFixtures.h"
#include "DeviceDb.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace quarrow::fixtures;

namespace {

bool put(const std::string& folder, const std::string& name, const std::string& bytes) {
    std::filesystem::create_directories(folder);
    return writeFile(folder + "/" + name, bytes);
}

std::string field(const std::vector<ZipFileSpec>& files, const std::string& name) {
    for (const auto& f : files) {
        if (f.name == name) {
            return f.data;
        }
    }
    return {};
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string out = argv[1];
    bool ok = true;

    const std::string epub = out + "/epub";
    EpubSpec book = threeChapterBook();
    book.coverPng = makePng(2, 2, 0xFF0000);
    const auto files = epubFiles(book);
    ok &= put(epub, "three-chapters.epub", zipBytes(files));
    EpubSpec nav = book;
    nav.ncx = false;
    nav.nav = true;
    const auto navFiles = epubFiles(nav);
    ok &= put(epub, "epub3-nav.epub", zipBytes(navFiles));
    auto hostile = files;
    hostile.push_back({"../slip.txt", "x"});
    hostile.push_back({"/abs.txt", "x"});
    hostile.push_back({"OEBPS\\back\\slash.html", "<p>x</p>"});
    hostile.push_back({"caf\x82.txt", "x"});
    hostile.push_back({"zeros.bin", std::string(1 << 16, '\0')});
    ok &= put(epub, "hostile-names.epub", zipBytes(hostile));
    auto stored = files;
    for (auto& f : stored) {
        f.stored = true;
    }
    ok &= put(epub, "stored.epub", zipBytes(stored));
    const std::string whole = zipBytes(files);
    ok &= put(epub, "truncated.epub", whole.substr(0, whole.size() * 2 / 3));
    ok &= put(epub, "documents.txt",
              field(files, "META-INF/container.xml") + "\n--\n" + field(files, "OEBPS/content.opf") + "\n--\n" +
                  field(files, "OEBPS/toc.ncx") + "\n--\n" + field(navFiles, "OEBPS/nav.xhtml"));

    const std::string rtf = out + "/rtf";
    ok &= put(rtf, "paragraphs.rtf",
              "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Helvetica;}}"
              "{\\info{\\title T}{\\author A}}Hello\\par World\\line A\\tab B caf\\'e9}");
    ok &= put(rtf, "unicode.rtf", "{\\rtf1\\uc2 \\u-3913xy{\\uc0 \\u26085}\\u-10179?\\u-8704?\\u233?z}");
    ok &= put(rtf, "destinations.rtf",
              "{\\rtf1{\\*\\generator W;}{\\pict\\bin3 }}}{\\field{\\*\\fldinst X}"
              "{\\fldrslt L}}\\ansicpg932 \\'93\\'fa\\emdash\\~\\_}");
    ok &= put(rtf, "cut-off.rtf", "}}{\\rtf1 x{{y\\u");

    const std::string html = out + "/html";
    ok &= put(html, "chapter.xhtml", xhtmlDocument("T", "<h1>T</h1><p>Un &amp; deux &#65;&#x42; &eacute;</p>"));
    ok &= put(html, "references.html", "&lt&gt; &amp;lt; &#xD83D;&#xDE00; &#xD83D;x &thetasym; &#x0000041; &bogus;");
    ok &= put(html, "comments.html", "a<!-- <p>x</p> -->b</SPAN>c</a>d<!-- open");
    ok &= put(html, "utf16.html", std::string("\xFF\xFE<\0p\0>\0\xE9\0", 10));
    ok &= put(html, "windows-1252.html", "\x93quoted\x94 \x80 \xC2\x85 \xE2\x80\xA8");

    return ok ? 0 : 1;
}
