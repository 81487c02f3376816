#pragma once

// Shared by the export tests: a result collection filled through its handlers, a workspace that
// records what it was asked to open, and small file helpers.

#include "platform/Platform.h"
#include "results/ExportRun.h"
#include "results/ResultCollection.h"
#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quarrow::test {

class RecordingWorkspace : public Workspace {
public:
    bool openURL(const std::string& url) override {
        opened.push_back(url);
        return true;
    }
    bool openFile(const std::string& path) override {
        opened.push_back(path);
        return true;
    }
    bool revealFile(const std::string& path) override {
        opened.push_back(path);
        return true;
    }
    std::vector<std::string> opened;
};

// The file's bytes, or nothing when it is not a readable regular file.
inline std::optional<std::string> slurp(const std::string& path) {
    if (!std::filesystem::is_regular_file(path)) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void spit(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every path below `root`, relative to it ("Note", "Note/Notes.txt").
inline std::set<std::string> treeOf(const std::string& root) {
    std::set<std::string> out;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        out.insert(std::filesystem::relative(it->path(), root).string());
    }
    return out;
}

inline PRNoteNodePtr makeNote(OptText title, OptText content, OptText date) {
    auto n = std::make_shared<PRNoteNode>();
    n->setNoteTitle(std::move(title));
    n->setNoteContent(std::move(content));
    n->setNoteDate(std::move(date));
    return n;
}

inline PRContactNodePtr makeContact(OptText name, OptText company = std::string(), std::int32_t rowid = -1) {
    auto c = std::make_shared<PRContactNode>();
    c->setContactName(std::move(name));
    c->setContactCompany(std::move(company));
    c->setRowid(rowid);
    return c;
}

// A collection on a private notification centre, with the file viewer recorded.
class ExportFixture : public ::testing::Test {
protected:
    ExportFixture() { Platform::current().setWorkspace(&workspace); }
    ~ExportFixture() override { Platform::current().setWorkspace(nullptr); }

    std::string exportPath() const { return dir.file("Brindle 2012-03-05 - 14.07.33"); }

    template <class Node> void tick(const std::shared_ptr<Node>& record) {
        collection.setSelected(std::vector<std::shared_ptr<Node>>{record}, true);
    }

    // Runs a whole export on its worker and answers its failures.
    std::vector<ExportFailure> exportTo(const std::string& path, ExportOutput* output = nullptr) {
        ExportRun run(collection, path, output);
        run.start();
        run.join();
        return run.failures();
    }

    TempDir dir;
    RecordingWorkspace workspace;
    NotificationCenter nc;
    ResultCollection collection{nc};
};

} // namespace quarrow::test
