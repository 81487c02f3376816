#include "PRRtfController.h"

#include "ExportOutput.h"
#include "platform/Log.h"

namespace quarrow {

PRRtfController::PRRtfController() {
    setRtfHeader();
}

void PRRtfController::setRtfHeader() {
    strRtfContent_.clear();
}

void PRRtfController::addRtfContent(const std::string& text) {
    strRtfContent_ += text;
    strRtfContent_ += "\n\n";
}

void PRRtfController::setRtfEnder() {}

std::string PRRtfController::finalNameForType(const std::string& fileType) {
    if (fileType == "Contact") {
        return "/Contacts.txt";
    }
    if (fileType == "Message") {
        return "/Messages.txt";
    }
    if (fileType == "Note") {
        return "/Notes.txt";
    }
    if (fileType == "CallHistory") {
        return "/Call History.txt";
    }
    return {};
}

std::optional<ExportFailure> PRRtfController::writeRtfInPath(const std::string& path, const std::string& fileType,
                                                             ExportOutput& output) {
    setRtfEnder();
    const std::string finalName = finalNameForType(fileType);
    const std::string temporary = path + "/TXT.txt";
    std::string error;
    if (!output.writeAtomically(temporary, strRtfContent_, error)) {
        return ExportFailure{finalName.empty() ? temporary : path + finalName, "could not be written: " + error};
    }
    if (finalName.empty() || !output.fileExists(temporary)) {
        return std::nullopt;
    }
    if (!output.moveItem(temporary, path + finalName, error)) {
        systemLog("Export kept " + temporary + " because " + path + finalName + " could not take its place: " + error);
    }
    return std::nullopt;
}

} // namespace quarrow
