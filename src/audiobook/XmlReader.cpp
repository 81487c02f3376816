#include "XmlReader.h"

#include <expat.h>
#include <limits>
#include <memory>

namespace quarrow {

namespace {

// Namespace URIs and local names are joined by this byte in expat's names.
constexpr char kNamespaceSeparator = '\x1F';

std::string_view localName(const XML_Char* name) {
    const std::string_view full(name);
    const auto sep = full.rfind(kNamespaceSeparator);
    return sep == std::string_view::npos ? full : full.substr(sep + 1);
}

struct ParseState {
    XML_Parser parser = nullptr;
    XmlHandler* handler = nullptr;
    XmlAttributes attributes;
    bool declaredEntity = false;
};

void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char** atts) {
    auto* state = static_cast<ParseState*>(data);
    state->attributes.items.clear();
    for (const XML_Char** a = atts; a && a[0] && a[1]; a += 2) {
        state->attributes.items.emplace_back(std::string(localName(a[0])), a[1]);
    }
    state->handler->startElement(localName(name), state->attributes);
}

void XMLCALL onEnd(void* data, const XML_Char* name) {
    static_cast<ParseState*>(data)->handler->endElement(localName(name));
}

void XMLCALL onCharacters(void* data, const XML_Char* text, int length) {
    if (length > 0) {
        static_cast<ParseState*>(data)->handler->characters(std::string_view(text, static_cast<std::size_t>(length)));
    }
}

void XMLCALL onEntityDeclaration(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                                 const XML_Char*, const XML_Char*, const XML_Char*) {
    auto* state = static_cast<ParseState*>(data);
    state->declaredEntity = true;
    XML_StopParser(state->parser, XML_FALSE);
}

struct ParserFree {
    void operator()(XML_Parser p) const { XML_ParserFree(p); }
};

} // namespace

const std::string* XmlAttributes::find(std::string_view name) const {
    for (const auto& [key, value] : items) {
        if (key == name) {
            return &value;
        }
    }
    return nullptr;
}

bool parseXml(std::string_view document, XmlHandler& handler, std::string* error) {
    std::unique_ptr<std::remove_pointer_t<XML_Parser>, ParserFree> parser(
        XML_ParserCreateNS(nullptr, kNamespaceSeparator));
    if (!parser) {
        if (error) {
            *error = "out of memory";
        }
        return false;
    }
    ParseState state;
    state.parser = parser.get();
    state.handler = &handler;
    XML_SetUserData(parser.get(), &state);
    XML_SetElementHandler(parser.get(), onStart, onEnd);
    XML_SetCharacterDataHandler(parser.get(), onCharacters);
    XML_SetEntityDeclHandler(parser.get(), onEntityDeclaration);
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);

    // expat takes lengths as int; feed larger documents in pieces.
    constexpr std::size_t kChunk = std::numeric_limits<int>::max() / 2;
    XML_Status status = XML_STATUS_OK;
    do {
        const std::size_t n = std::min(document.size(), kChunk);
        const bool last = n == document.size();
        status = XML_Parse(parser.get(), document.data(), static_cast<int>(n), last ? XML_TRUE : XML_FALSE);
        document.remove_prefix(n);
    } while (status == XML_STATUS_OK && !document.empty());

    if (status != XML_STATUS_OK) {
        if (error) {
            if (state.declaredEntity) {
                *error = "the document declares entities";
            } else {
                *error = std::string(XML_ErrorString(XML_GetErrorCode(parser.get()))) + " at line " +
                         std::to_string(XML_GetCurrentLineNumber(parser.get()));
            }
        }
        return false;
    }
    return true;
}

} // namespace quarrow
