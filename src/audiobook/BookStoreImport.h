#pragma once

#include "PRBookNode.h"

#include <functional>
#include <string>

namespace quarrow {

// The system book library's folder under a home folder (a home copied from a Mac works unchanged).
std::string bookStoreFolder(const std::string& homeFolder);

// Reads the system book library: for each book its "Books.plist" lists, in order, a record with its
// chapters in reading order, handed to `onBook` as soon as it is read. Reads nothing and says nothing
// when the folder or its list does not exist; `keepGoing` is asked before each book.
void exportiBookStoreThread(const std::string& homeFolder, const std::function<void(PRBookNodePtr)>& onBook,
                            const std::function<bool()>& keepGoing = {});

} // namespace quarrow
