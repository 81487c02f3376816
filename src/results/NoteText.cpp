#include "NoteText.h"

#include <cctype>
#include <map>

namespace quarrow {

std::string visibleText(const std::string& html) {
    std::string out;
    for (std::size_t i = 0; i < html.size(); ++i) {
        if (html[i] == '<') {
            const auto end = html.find('>', i);
            if (end == std::string::npos) {
                break;
            }
            std::string tag = html.substr(i + 1, end - i - 1);
            for (auto& c : tag) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            const std::string name = tag.substr(0, tag.find_first_of(" /", 1));
            if (name == "br") {
                out += '\n';
            } else if (name == "div" || name == "/div" || name == "p" || name == "/p") {
                // Blocks start and end on a line of their own; an empty block adds no line.
                if (!out.empty() && out.back() != '\n') {
                    out += '\n';
                }
            }
            i = end;
        } else if (html[i] == '&') {
            static const std::map<std::string, std::string> entities{{"&amp;", "&"},   {"&lt;", "<"},   {"&gt;", ">"},
                                                                     {"&quot;", "\""}, {"&nbsp;", " "}, {"&#39;", "'"}};
            bool replaced = false;
            for (const auto& [entity, text] : entities) {
                if (html.compare(i, entity.size(), entity) == 0) {
                    out += text;
                    i += entity.size() - 1;
                    replaced = true;
                    break;
                }
            }
            if (!replaced) {
                out += '&';
            }
        } else {
            out += html[i];
        }
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) {
        out.pop_back();
    }
    return out;
}

} // namespace quarrow
