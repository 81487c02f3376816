#include "Category.h"

namespace quarrow {

std::string_view categoryListName(Category category) {
    switch (category) {
    case Category::PhotoAndVideo:
        return "PhotoAndVideo";
    case Category::Contact:
        return "Contacts";
    case Category::Message:
        return "Messages";
    case Category::Note:
        return "Notes";
    case Category::CallHistory:
        return "CallHistory";
    }
    return {};
}

std::optional<Category> categoryNamed(std::string_view name) {
    for (Category c : kAllCategories) {
        if (name == categoryListName(c)) {
            return c;
        }
    }
    if (name == "Photo&Video") {
        return Category::PhotoAndVideo;
    }
    return std::nullopt;
}

} // namespace quarrow
