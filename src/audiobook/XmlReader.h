#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quarrow {

// One element's attributes, by local name (any namespace prefix dropped), in document order.
class XmlAttributes {
public:
    // The value of the first attribute with this local name, or nothing.
    const std::string* find(std::string_view localName) const;
    std::vector<std::pair<std::string, std::string>> items;
};

// Receives the parts of a document as expat reads them. Names are local names.
class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    virtual void startElement(std::string_view name, const XmlAttributes& attributes) = 0;
    virtual void endElement(std::string_view name) = 0;
    virtual void characters(std::string_view) {}
};

// Parses a whole XML document held in memory. Answers false (with a message free of document
// content in `error`) when the document is not well-formed; the handler has then seen the part
// before the fault. External entities and DTDs are never loaded; a document that declares entities
// of its own is refused, so no expansion can grow without bound.
bool parseXml(std::string_view document, XmlHandler& handler, std::string* error = nullptr);

} // namespace quarrow
