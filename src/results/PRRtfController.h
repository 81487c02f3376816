#pragma once

#include "ExportFailure.h"

#include <optional>
#include <string>

namespace quarrow {

class ExportOutput;

// Collects the text records of one category file. Despite its name the result is plain UTF-8
// text: each record followed by two line feeds.
class PRRtfController {
public:
    PRRtfController();

    void setRtfHeader();
    // Appends the text, then "\n\n".
    void addRtfContent(const std::string& text);
    void setRtfEnder();

    // Writes the collected text to "<path>/TXT.txt" in one atomic write, then moves it to the final
    // name of the type key ("Contact", "Message", "Note", "CallHistory"). An unknown key, or a final
    // file that already exists (the same export folder used twice), leaves TXT.txt in place; that
    // keeps the earlier file and loses nothing, so it is logged, not reported. Answers what could
    // not be written, or nothing.
    std::optional<ExportFailure> writeRtfInPath(const std::string& path, const std::string& fileType,
                                                ExportOutput& output);

    const std::string& strRtfContent() const { return strRtfContent_; }

    // "/Notes.txt" for "Note" and so on; empty for an unknown key.
    static std::string finalNameForType(const std::string& fileType);

private:
    std::string strRtfContent_;
};

} // namespace quarrow
