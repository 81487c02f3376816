#include "RtfText.h"

#include "TextDecoding.h"
#include "platform/TextEscapes.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

namespace quarrow {

namespace {

// Where the text of a group goes.
enum class Destination : unsigned char { Text, Skip, Title, Author };

// What a control word does.
enum class Action : unsigned char {
    SkipGroup,     // a destination without book text
    InfoTitle,     // \title inside \info
    InfoAuthor,    // \author inside \info
    Info,          // \info: skipped, except its title and author
    Character,     // stands for the character in `value`
    Unicode,       // \uN
    UnicodeSkip,   // \ucN
    CodePage,      // \ansicpgN
    FixedCodePage, // \ansi, \mac, \pc, \pca: the code page in `value`
    Binary,        // \binN: N bytes of data follow
};

struct ControlWord {
    std::string_view name;
    Action action;
    char32_t value = 0;
};

// Sorted by name for a binary search. Control words not listed change nothing about the text.
constexpr std::array kControlWords = std::to_array<ControlWord>({
    {"annotation", Action::SkipGroup},
    {"ansi", Action::FixedCodePage, 1252},
    {"ansicpg", Action::CodePage},
    {"atnauthor", Action::SkipGroup},
    {"atnid", Action::SkipGroup},
    {"author", Action::InfoAuthor},
    {"bin", Action::Binary},
    {"bkmkend", Action::SkipGroup},
    {"bkmkstart", Action::SkipGroup},
    {"bullet", Action::Character, 0x2022},
    {"category", Action::SkipGroup},
    {"cell", Action::Character, '\t'},
    {"colortbl", Action::SkipGroup},
    {"comment", Action::SkipGroup},
    {"company", Action::SkipGroup},
    {"datastore", Action::SkipGroup},
    {"doccomm", Action::SkipGroup},
    {"emdash", Action::Character, 0x2014},
    {"emspace", Action::Character, 0x2003},
    {"endash", Action::Character, 0x2013},
    {"enspace", Action::Character, 0x2002},
    {"filetbl", Action::SkipGroup},
    {"fldinst", Action::SkipGroup},
    {"fonttbl", Action::SkipGroup},
    {"footer", Action::SkipGroup},
    {"footerf", Action::SkipGroup},
    {"footerl", Action::SkipGroup},
    {"footerr", Action::SkipGroup},
    {"footnote", Action::SkipGroup},
    {"generator", Action::SkipGroup},
    {"header", Action::SkipGroup},
    {"headerf", Action::SkipGroup},
    {"headerl", Action::SkipGroup},
    {"headerr", Action::SkipGroup},
    {"info", Action::Info},
    {"keywords", Action::SkipGroup},
    {"ldblquote", Action::Character, 0x201C},
    {"line", Action::Character, '\n'},
    {"listoverridetable", Action::SkipGroup},
    {"listtable", Action::SkipGroup},
    {"lquote", Action::Character, 0x2018},
    {"mac", Action::FixedCodePage, 10000},
    {"manager", Action::SkipGroup},
    {"nonshppict", Action::SkipGroup},
    {"objdata", Action::SkipGroup},
    {"object", Action::SkipGroup},
    {"operator", Action::SkipGroup},
    {"page", Action::Character, '\n'},
    {"par", Action::Character, '\n'},
    {"pc", Action::FixedCodePage, 437},
    {"pca", Action::FixedCodePage, 850},
    {"pict", Action::SkipGroup},
    {"qmspace", Action::Character, 0x2005},
    {"rdblquote", Action::Character, 0x201D},
    {"revtbl", Action::SkipGroup},
    {"row", Action::Character, '\n'},
    {"rquote", Action::Character, 0x2019},
    {"rsidtbl", Action::SkipGroup},
    {"sect", Action::Character, '\n'},
    {"stylesheet", Action::SkipGroup},
    {"subject", Action::SkipGroup},
    {"tab", Action::Character, '\t'},
    {"template", Action::SkipGroup},
    {"themedata", Action::SkipGroup},
    {"title", Action::InfoTitle},
    {"u", Action::Unicode},
    {"uc", Action::UnicodeSkip},
    {"userprops", Action::SkipGroup},
    {"xmlnstbl", Action::SkipGroup},
    {"zwj", Action::Character, 0x200D},
    {"zwnj", Action::Character, 0x200C},
});

const ControlWord* findControlWord(std::string_view name) {
    const auto* it = std::lower_bound(kControlWords.begin(), kControlWords.end(), name,
                                      [](const ControlWord& w, std::string_view n) { return w.name < n; });
    return it != kControlWords.end() && it->name == name ? it : nullptr;
}

// Deeper groups than this are stepped over whole: no book nests that far, and the state stack
// stays small whatever the input.
constexpr std::size_t kMaxDepth = 256;
// Longest control word name and parameter the RTF format allows.
constexpr std::size_t kMaxWordLength = 32;
constexpr std::size_t kMaxParameterDigits = 10;

struct GroupState {
    Destination destination = Destination::Text;
    int unicodeSkip = 1;
    bool inInfo = false;
};

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

class RtfParser {
public:
    explicit RtfParser(std::string_view input) : in_(input) { stack_.reserve(16); }

    RtfDocument run() {
        while (pos_ < in_.size()) {
            const char c = in_[pos_++];
            switch (c) {
            case '{':
                openGroup();
                break;
            case '}':
                closeGroup();
                break;
            case '\\':
                controlSequence();
                break;
            case '\r':
            case '\n':
                break; // line breaks in the file are not text
            default:
                textByte(c);
                break;
            }
        }
        flush();
        finishSurrogate();
        RtfDocument doc;
        doc.text = std::move(text_);
        if (sawTitle_) {
            doc.title = std::move(title_);
        }
        if (sawAuthor_) {
            doc.author = std::move(author_);
        }
        return doc;
    }

private:
    void openGroup() {
        flush();
        if (stack_.size() >= kMaxDepth || skippedDepth_ > 0) {
            ++skippedDepth_;
            return;
        }
        stack_.push_back(state_);
        fallbackLeft_ = 0;
    }

    void closeGroup() {
        flush();
        fallbackLeft_ = 0;
        if (skippedDepth_ > 0) {
            --skippedDepth_;
            return;
        }
        if (!stack_.empty()) {
            state_ = stack_.back();
            stack_.pop_back();
        }
    }

    bool skipping() const { return skippedDepth_ > 0 || state_.destination == Destination::Skip; }

    // A byte of text in the code page. Bytes that stand in for the preceding \uN are dropped.
    void textByte(char c) {
        if (fallbackLeft_ > 0) {
            --fallbackLeft_;
            return;
        }
        if (!skipping()) {
            finishSurrogate();
            pending_.push_back(c);
        }
    }

    void controlSequence() {
        if (pos_ >= in_.size()) {
            return;
        }
        const char c = in_[pos_];
        if (isLetter(c)) {
            controlWord();
            return;
        }
        ++pos_;
        switch (c) {
        case '\'': {
            const int hi = pos_ < in_.size() ? hexDigitValue(in_[pos_]) : -1;
            const int lo = pos_ + 1 < in_.size() ? hexDigitValue(in_[pos_ + 1]) : -1;
            if (hi < 0 || lo < 0) {
                return;
            }
            pos_ += 2;
            textByte(static_cast<char>(hi << 4 | lo));
            return;
        }
        case '*':
            flush();
            state_.destination = Destination::Skip;
            return;
        case '\\':
        case '{':
        case '}':
            textByte(c);
            return;
        case '~':
            character(0x00A0);
            return;
        case '_':
            character(0x2011);
            return;
        case '\r':
        case '\n':
            character('\n');
            return; // a backslash before a line break is \par
        case '\t':
            character('\t');
            return;
        default: // \- (optional hyphen), \|, \: and unknown symbols carry no text
            if (fallbackLeft_ > 0) {
                --fallbackLeft_;
            }
            return;
        }
    }

    void controlWord() {
        const std::size_t start = pos_;
        while (pos_ < in_.size() && isLetter(in_[pos_]) && pos_ - start < kMaxWordLength) {
            ++pos_;
        }
        const std::string_view name = in_.substr(start, pos_ - start);
        bool hasParameter = false;
        long long parameter = 0;
        bool negative = false;
        if (pos_ < in_.size() && in_[pos_] == '-') {
            negative = true;
            ++pos_;
        }
        const std::size_t digitsStart = pos_;
        while (pos_ < in_.size() && in_[pos_] >= '0' && in_[pos_] <= '9') {
            if (pos_ - digitsStart < kMaxParameterDigits) {
                parameter = parameter * 10 + (in_[pos_] - '0');
            }
            ++pos_;
        }
        hasParameter = pos_ > digitsStart;
        if (negative) {
            parameter = -parameter;
        }
        if (pos_ < in_.size() && in_[pos_] == ' ') {
            ++pos_; // the delimiter belongs to the control word
        }
        apply(findControlWord(name), hasParameter, parameter);
    }

    void apply(const ControlWord* word, bool hasParameter, long long parameter) {
        if (word && word->action == Action::Binary) {
            // The data is part of the file whatever the destination; step over it.
            const auto count = static_cast<std::size_t>(std::max<long long>(parameter, 0));
            pos_ += std::min(count, in_.size() - pos_);
            return;
        }
        if (fallbackLeft_ > 0 && !(word && word->action == Action::Unicode)) {
            --fallbackLeft_; // a control word inside the fallback counts as one of its characters
            return;
        }
        if (!word || skippedDepth_ > 0) {
            return;
        }
        switch (word->action) {
        case Action::SkipGroup:
            flush();
            state_.destination = Destination::Skip;
            break;
        case Action::Info:
            flush();
            state_.destination = Destination::Skip;
            state_.inInfo = true;
            break;
        case Action::InfoTitle:
        case Action::InfoAuthor:
            flush();
            if (state_.inInfo) {
                const bool title = word->action == Action::InfoTitle;
                state_.destination = title ? Destination::Title : Destination::Author;
                (title ? sawTitle_ : sawAuthor_) = true;
            } else {
                state_.destination = Destination::Skip;
            }
            break;
        case Action::Character:
            character(word->value);
            break;
        case Action::Unicode:
            if (hasParameter) {
                unicode(parameter);
            }
            break;
        case Action::UnicodeSkip:
            if (hasParameter) {
                state_.unicodeSkip = static_cast<int>(std::clamp<long long>(parameter, 0, 16));
            }
            break;
        case Action::CodePage:
            if (hasParameter) {
                setCodePage(static_cast<int>(parameter));
            }
            break;
        case Action::FixedCodePage:
            setCodePage(static_cast<int>(word->value));
            break;
        case Action::Binary:
            break;
        }
    }

    void setCodePage(int codePage) {
        if (codePage != decoder_->codePage()) {
            flush();
            decoder_ = std::make_unique<CodePageDecoder>(codePage);
        }
    }

    // \uN: a signed 16-bit unit, then `unicodeSkip` characters of fallback to drop.
    void unicode(long long parameter) {
        fallbackLeft_ = state_.unicodeSkip;
        if (skipping()) {
            return;
        }
        const auto unit = static_cast<char16_t>(parameter < 0 ? parameter + 65536 : parameter);
        flush();
        if (unit >= 0xDC00 && unit <= 0xDFFF && highSurrogate_) {
            appendUtf8(out(), 0x10000 + ((char32_t(highSurrogate_) - 0xD800) << 10) + (char32_t(unit) - 0xDC00));
            highSurrogate_ = 0;
            return;
        }
        finishSurrogate();
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            highSurrogate_ = unit;
            return;
        }
        appendUtf8(out(), unit); // a lone low surrogate becomes U+FFFD
    }

    void character(char32_t value) {
        if (skipping()) {
            return;
        }
        flush();
        finishSurrogate();
        appendUtf8(out(), value);
    }

    // A high surrogate that no low one followed.
    void finishSurrogate() {
        if (highSurrogate_) {
            appendUtf8(out(), 0xFFFD);
            highSurrogate_ = 0;
        }
    }

    std::string& out() {
        switch (state_.destination) {
        case Destination::Title:
            return title_;
        case Destination::Author:
            return author_;
        default:
            return text_;
        }
    }

    // Decodes the collected code-page bytes into the current destination.
    void flush() {
        if (pending_.empty()) {
            return;
        }
        decoder_->append(out(), pending_);
        pending_.clear();
    }

    std::string_view in_;
    std::size_t pos_ = 0;
    GroupState state_;
    std::vector<GroupState> stack_;
    std::size_t skippedDepth_ = 0;
    int fallbackLeft_ = 0;
    char16_t highSurrogate_ = 0;
    std::unique_ptr<CodePageDecoder> decoder_ = std::make_unique<CodePageDecoder>(1252);
    std::string pending_;
    std::string text_;
    std::string title_;
    std::string author_;
    bool sawTitle_ = false;
    bool sawAuthor_ = false;
};

} // namespace

RtfDocument parseRtf(std::string_view bytes) {
    return RtfParser(bytes).run();
}

} // namespace quarrow
