#include "PdfBook.h"

#include "platform/Log.h"

#include <cstring>
#include <mutex>
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

namespace quarrow {

namespace {

// Pages are at most this many points high or wide when drawn as a cover; a hostile page size
// cannot ask for a huge picture.
constexpr double kMaxCoverPixels = 2000;

void logPopplerMessage(const std::string& message, void*) {
    systemLog("PDF: " + message);
}

void routePopplerMessages() {
    static std::once_flag once;
    std::call_once(once, [] { poppler::set_debug_error_function(logPopplerMessage, nullptr); });
}

std::string utf8(const poppler::ustring& text) {
    const poppler::byte_array bytes = text.to_utf8();
    return std::string(bytes.begin(), bytes.end());
}

std::optional<std::string> nonEmpty(std::string text) {
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
        return std::nullopt;
    }
    return text;
}

} // namespace

PdfBook::PdfBook(std::unique_ptr<poppler::document> document) : document_(std::move(document)) {}
PdfBook::~PdfBook() = default;

std::unique_ptr<PdfBook> PdfBook::open(const std::string& path, std::string* error) {
    routePopplerMessages();
    std::unique_ptr<poppler::document> document(poppler::document::load_from_file(path));
    if (!document) {
        if (error) {
            *error = "not a readable PDF";
        }
        return nullptr;
    }
    if (document->is_locked()) {
        if (error) {
            *error = "the PDF is locked by a password";
        }
        return nullptr;
    }
    return std::unique_ptr<PdfBook>(new PdfBook(std::move(document)));
}

int PdfBook::pageCount() const {
    return document_->pages();
}

std::optional<std::string> PdfBook::title() const {
    return nonEmpty(utf8(document_->get_title()));
}

std::optional<std::string> PdfBook::author() const {
    return nonEmpty(utf8(document_->get_author()));
}

std::string PdfBook::pageText(int index) const {
    if (index < 0 || index >= pageCount()) {
        return {};
    }
    const std::unique_ptr<poppler::page> page(document_->create_page(index));
    if (!page) {
        return {};
    }
    std::string text = utf8(page->text(poppler::rectf(), poppler::page::non_raw_non_physical_layout));
    // A page with nothing but white space and form feeds has nothing to speak.
    if (text.find_first_not_of(" \t\r\n\f") == std::string::npos) {
        return {};
    }
    return text;
}

BookCoverPtr PdfBook::renderCover(int height) const {
    if (pageCount() < 1 || height <= 0) {
        return nullptr;
    }
    const std::unique_ptr<poppler::page> page(document_->create_page(0));
    if (!page) {
        return nullptr;
    }
    const poppler::rectf box = page->page_rect();
    if (!(box.width() > 0 && box.height() > 0)) {
        return nullptr;
    }
    double dpi = 72.0 * height / box.height();
    const double widest = std::max(box.width(), box.height()) * dpi / 72.0;
    if (widest > kMaxCoverPixels) {
        dpi *= kMaxCoverPixels / widest;
    }
    poppler::page_renderer renderer;
    renderer.set_render_hint(poppler::page_renderer::antialiasing, true);
    renderer.set_render_hint(poppler::page_renderer::text_antialiasing, true);
    renderer.set_image_format(poppler::image::format_argb32);
    const poppler::image image = renderer.render_page(page.get(), dpi, dpi);
    if (!image.is_valid() || image.format() != poppler::image::format_argb32) {
        return nullptr;
    }
    auto cover = std::make_shared<BookCover>();
    cover->form = BookCover::Form::Argb32;
    cover->width = image.width();
    cover->height = image.height();
    cover->stride = image.bytes_per_row();
    cover->bytes.assign(image.const_data(), static_cast<std::size_t>(cover->stride) * cover->height);
    return cover;
}

} // namespace quarrow
