#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace quarrow {

// A file being written by an export. Failures answer false and leave a reason in error().
class ExportFile {
public:
    virtual ~ExportFile() = default;
    virtual bool write(const char* data, std::size_t size) = 0;
    // Flushes and closes; a file that was not closed is closed (unchecked) on destruction.
    virtual bool close() = 0;
    const std::string& error() const { return error_; }

protected:
    std::string error_;
};

// Everything an export does to the file system, so that a test can make any step fail (a full disk
// after N bytes, a folder that cannot be made). Each call answers false on failure and sets `error`
// to a short reason ("No space left on device").
class ExportOutput {
public:
    virtual ~ExportOutput() = default;

    // Creates the folder with all missing parents; an existing folder is fine, a link to one is not.
    virtual bool createDirectories(const std::string& path, std::string& error) = 0;
    // Creates a new file for writing raw bytes. Fails when anything is already at the path, a link
    // included, so that nothing planted in the export folder can redirect the write elsewhere.
    virtual std::unique_ptr<ExportFile> openForWriting(const std::string& path, std::string& error) = 0;
    // Renames, replacing an existing target.
    virtual bool replaceItem(const std::string& from, const std::string& to, std::string& error) = 0;
    // Renames, failing when the target already exists.
    virtual bool moveItem(const std::string& from, const std::string& to, std::string& error) = 0;
    virtual bool fileExists(const std::string& path) = 0;
    // Removes a file; answers false when there was nothing to remove or it could not be removed.
    virtual bool removeItem(const std::string& path) = 0;

    // Creates a new hidden file beside `path` under a name no one can guess beforehand
    // (".export-<random>.tmp") and answers it and its path, or nothing (and the error).
    std::unique_ptr<ExportFile> createTemporaryBeside(const std::string& path, std::string& temporary,
                                                      std::string& error);
    // Writes the whole text to a temporary file beside `path`, then renames it over `path`: either
    // the complete new text is there or the old state is kept. Nothing is left behind on failure.
    bool writeAtomically(const std::string& path, std::string_view bytes, std::string& error);
};

// The real file system.
class DiskExportOutput : public ExportOutput {
public:
    bool createDirectories(const std::string& path, std::string& error) override;
    std::unique_ptr<ExportFile> openForWriting(const std::string& path, std::string& error) override;
    bool replaceItem(const std::string& from, const std::string& to, std::string& error) override;
    bool moveItem(const std::string& from, const std::string& to, std::string& error) override;
    bool fileExists(const std::string& path) override;
    bool removeItem(const std::string& path) override;
};

// The process-wide real file system output.
ExportOutput& diskExportOutput();

} // namespace quarrow
