#pragma once

#include <optional>
#include <string_view>

namespace quarrow {

// The five kinds of recovered items, in the order of the result view's buttons and of the export.
enum class Category { PhotoAndVideo, Contact, Message, Note, CallHistory };

inline constexpr Category kAllCategories[] = {Category::PhotoAndVideo, Category::Contact, Category::Message,
                                              Category::Note, Category::CallHistory};

// The name of the category's list in machine-readable output: "PhotoAndVideo", "Contacts",
// "Messages", "Notes", "CallHistory".
std::string_view categoryListName(Category category);

// The category of a list name; the result view's caption "Photo&Video" is accepted too.
std::optional<Category> categoryNamed(std::string_view name);

} // namespace quarrow
