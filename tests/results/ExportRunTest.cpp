#include "ExportTestSupport.h"

#include "results/ExportOutput.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace quarrow;
using namespace quarrow::test;

namespace {

class Export : public ExportFixture {};

TEST_F(Export, EveryFolderAndFileEvenWhenEmptyAndNotesByteForByte) {
    auto first = makeNote("Shopping", "milk", "03-05-2012 14:07");
    auto multiLine = makeNote("Plan", "line one\nline two\r\n\nend", "12-31-2013 23:59");
    auto deleted = makeNote(std::nullopt, "gone", std::string());
    collection.ScanNoteInfomationHandle(first);
    collection.ScanNoteInfomationHandle(multiLine);
    collection.ScanNoteInfomationHandle(makeNote("Private", "not me", "01-01-2001 00:00"));
    collection.ScanDelNoteInfomationHandle(deleted);
    collection.ScanContactInfomationHandle(makeContact("Not ticked"));
    // The existing notes are ticked although a deleted-only filter would hide them.
    for (const auto& n : {first, multiLine, deleted}) {
        tick(n);
    }

    EXPECT_TRUE(exportTo(exportPath()).empty());

    EXPECT_EQ(treeOf(exportPath()), (std::set<std::string>{"Photo&Video", "Contact", "Contact/Contacts.txt", "Message",
                                                           "Message/Messages.txt", "Note", "Note/Notes.txt",
                                                           "CallHistory", "CallHistory/Call History.txt"}));
    EXPECT_EQ(slurp(exportPath() + "/Note/Notes.txt"), "Title:Shopping  Note:milk  Date:03-05-2012 14:07  \n\n"
                                                       "Title:Plan  Note:line one\nline two\r\n\nend  "
                                                       "Date:12-31-2013 23:59  \n\n"
                                                       "Title:  Note:gone  Date:  \n\n");
    EXPECT_EQ(slurp(exportPath() + "/Contact/Contacts.txt"), "");
    EXPECT_EQ(workspace.opened, std::vector<std::string>{exportPath()});
    EXPECT_EQ(collection.counters().selectedFilesNum, 3); // ticks stay for another export
}

TEST_F(Export, SameFolderTwiceKeepsTheFirstFilesAndLeavesTheSecondTextInTxt) {
    auto a = makeNote("A", "first run", "d");
    auto b = makeNote("B", "second run", "d");
    collection.ScanNoteInfomationHandle(a);
    collection.ScanNoteInfomationHandle(b);
    tick(a);
    ASSERT_TRUE(exportTo(exportPath()).empty());
    collection.setSelected(std::vector{a}, false);
    tick(b);
    EXPECT_TRUE(exportTo(exportPath()).empty());

    EXPECT_EQ(slurp(exportPath() + "/Note/Notes.txt"), "Title:A  Note:first run  Date:d  \n\n");
    EXPECT_EQ(slurp(exportPath() + "/Note/TXT.txt"), "Title:B  Note:second run  Date:d  \n\n");
}

TEST_F(Export, CancelledBeforeWritingWritesNothingAndStillFinishes) {
    auto n = makeNote("A", "b", "c");
    collection.ScanNoteInfomationHandle(n);
    tick(n);
    bool finished = false;
    ExportRun run(collection, exportPath());
    run.onFinish = [&](ExportRun&) { finished = true; };
    EXPECT_TRUE(run.cancel());
    run.start();
    run.join();

    EXPECT_TRUE(finished);
    EXPECT_FALSE(std::filesystem::exists(exportPath()));
    EXPECT_TRUE(workspace.opened.empty());
}

TEST_F(Export, PhotoIsCopiedWholeWhateverItsSizeTextAndName) {
    // Larger than the 8 MiB copy buffer, and not a multiple of it.
    std::string bytes(8 * 1024 * 1024 + 12345, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 131 + i / 977);
    }
    const std::string source = dir.file("source.mov");
    spit(source, bytes);
    collection.ScanMovNodeToMainThreadHandle(source);
    collection.ScanMovNodeToMainThreadHandle(source);
    ASSERT_EQ(collection.photoAndVideoArray().size(), 2u);
    collection.photoAndVideoArray()[0]->setFileNodeName("12.MOV");
    collection.photoAndVideoArray()[0]->setFileNodeSize("1.00K"); // far less than the file holds
    collection.photoAndVideoArray()[1]->setFileNodeName("../../outside.jpg");
    collection.setSelected(collection.photoAndVideoArray(), true);

    EXPECT_TRUE(exportTo(exportPath()).empty());

    EXPECT_EQ(slurp(exportPath() + "/Photo&Video/12.MOV"), bytes);
    EXPECT_EQ(slurp(exportPath() + "/Photo&Video/___.._outside.jpg"), bytes);
    EXPECT_EQ(treeOf(dir.path()).count("outside.jpg"), 0u);
}

// A picture's file swapped for a link or a FIFO after the scan is reported, never followed into the
// link's target nor waited on; a link never becomes a record in the first place.
TEST_F(Export, APhotoSourceThatIsNoLongerARegularFileIsReported) {
    const std::string secret = dir.file("secret");
    spit(secret, "private bytes");
    const std::string linked = dir.file("linked");
    const std::string piped = dir.file("piped");
    for (const auto& path : {linked, piped}) {
        spit(path, std::string(60000, 'p'));
        collection.ScanMovNodeToMainThreadHandle(path);
    }
    ASSERT_EQ(collection.photoAndVideoArray().size(), 2u);
    std::filesystem::remove(linked);
    std::filesystem::remove(piped);
    ASSERT_EQ(::symlink(secret.c_str(), linked.c_str()), 0);
    ASSERT_EQ(::mkfifo(piped.c_str(), 0600), 0);
    collection.ScanMovNodeToMainThreadHandle(linked);
    EXPECT_EQ(collection.photoAndVideoArray().size(), 2u);
    collection.setSelected(collection.photoAndVideoArray(), true);

    const auto failures = exportTo(exportPath());
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_NE(failures[0].reason.find("it is a link"), std::string::npos) << failures[0].reason;
    EXPECT_NE(failures[1].reason.find("not a regular file"), std::string::npos) << failures[1].reason;
    EXPECT_EQ(treeOf(exportPath() + "/Photo&Video"), std::set<std::string>{});
}

// A disk that fills up after a budget of bytes, shared by every file of the export.
class FailAfterBytesOutput : public DiskExportOutput {
public:
    explicit FailAfterBytesOutput(std::size_t budget) : remaining_(budget) {}

    std::unique_ptr<ExportFile> openForWriting(const std::string& path, std::string& error) override {
        auto file = DiskExportOutput::openForWriting(path, error);
        return file ? std::make_unique<Limited>(std::move(file), remaining_) : nullptr;
    }

private:
    class Limited : public ExportFile {
    public:
        Limited(std::unique_ptr<ExportFile> inner, std::size_t& remaining)
            : inner_(std::move(inner)), remaining_(remaining) {}
        bool write(const char* data, std::size_t size) override {
            const std::size_t n = std::min(size, remaining_);
            remaining_ -= n;
            if (n > 0 && !inner_->write(data, n)) {
                error_ = inner_->error();
                return false;
            }
            error_ = n < size ? "No space left on device" : "";
            return n == size;
        }
        bool close() override { return inner_->close(); }

    private:
        std::unique_ptr<ExportFile> inner_;
        std::size_t& remaining_;
    };
    std::size_t remaining_;
};

class ExportOnFullDisk : public ExportFixture, public ::testing::WithParamInterface<std::size_t> {};

// Wherever the disk fills up, every file is either complete or named in a failure, and the folder
// is still opened at the end.
TEST_P(ExportOnFullDisk, EveryFileIsCompleteOrReported) {
    const std::string source = dir.file("src.jpg");
    spit(source, std::string(3000, 'p'));
    collection.ScanMovNodeToMainThreadHandle(source);
    collection.setSelected(collection.photoAndVideoArray(), true);
    auto contact = makeContact("Anne");
    auto n = makeNote("Shopping", "milk", "03-05-2012 14:07");
    collection.ScanContactInfomationHandle(contact);
    collection.ScanNoteInfomationHandle(n);
    tick(contact);
    tick(n);
    // Export once with room to spare to learn what the complete files hold.
    const std::string reference = dir.file("reference");
    ASSERT_TRUE(exportTo(reference).empty());
    workspace.opened.clear();

    FailAfterBytesOutput output(GetParam());
    const auto failures = exportTo(exportPath(), &output);

    std::set<std::string> reported;
    for (const auto& f : failures) {
        reported.insert(std::filesystem::relative(f.path, exportPath()).string());
    }
    std::size_t referenceBytes = 0;
    for (const auto& entry : treeOf(reference)) {
        const std::string path = exportPath() + "/" + entry;
        referenceBytes += slurp(reference + "/" + entry).value_or("").size();
        if (std::filesystem::is_directory(reference + "/" + entry)) {
            EXPECT_TRUE(std::filesystem::is_directory(path)) << entry;
        } else if (const auto written = slurp(path)) {
            EXPECT_EQ(written, slurp(reference + "/" + entry)) << entry << " is incomplete";
        } else {
            EXPECT_EQ(reported.count(entry), 1u) << entry << " is missing but not reported";
        }
    }
    for (const auto& entry : treeOf(exportPath())) {
        EXPECT_FALSE(entry.ends_with(".tmp")) << entry;
    }
    EXPECT_EQ(failures.empty(), GetParam() >= referenceBytes);
    EXPECT_EQ(workspace.opened, std::vector<std::string>{exportPath()});
}

INSTANTIATE_TEST_SUITE_P(Budgets, ExportOnFullDisk, ::testing::Values(0, 1, 2999, 3000, 3100, 3300, 100000));

TEST_F(Export, ReadOnlyFolderIsReportedForEveryCategory) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not stop root";
    }
    const std::string parent = dir.makeDir("locked");
    ::chmod(parent.c_str(), 0555);
    auto n = makeNote("A", "b", "c");
    collection.ScanNoteInfomationHandle(n);
    tick(n);
    const auto failures = exportTo(parent + "/Export");
    ASSERT_EQ(failures.size(), 5u);
    EXPECT_EQ(failures[3].path, parent + "/Export/Note");
    EXPECT_NE(failures[3].reason.find("1 record not exported"), std::string::npos);
    EXPECT_EQ(workspace.opened, std::vector<std::string>{parent + "/Export"});
}

// Someone who can write into the export folder plants links where the export will write, hoping it
// writes through them.
TEST_F(Export, PlantedLinksNeverSendAWriteOutsideTheExportFolder) {
    const std::string victim = dir.file("victim.txt");
    spit(victim, "precious");
    const std::string elsewhere = dir.makeDir("elsewhere");
    const std::string target = exportPath();
    dir.makeDir(std::filesystem::path(target).filename().string() + "/Photo&Video");
    dir.makeDir(std::filesystem::path(target).filename().string() + "/Note");
    ASSERT_EQ(::symlink(victim.c_str(), (target + "/Photo&Video/12.MOV").c_str()), 0);
    ASSERT_EQ(::symlink(elsewhere.c_str(), (target + "/Contact").c_str()), 0);
    ASSERT_EQ(::symlink(victim.c_str(), (target + "/Note/TXT.txt").c_str()), 0);
    ASSERT_EQ(::symlink(victim.c_str(), (target + "/Note/Notes.txt").c_str()), 0);

    const std::string source = dir.file("source.mov");
    spit(source, "movie bytes");
    collection.ScanMovNodeToMainThreadHandle(source);
    collection.photoAndVideoArray()[0]->setFileNodeName("12.MOV");
    collection.setSelected(collection.photoAndVideoArray(), true);
    auto contact = makeContact("Anne");
    auto note = makeNote("Shopping", "milk", "03-05-2012 14:07");
    collection.ScanContactInfomationHandle(contact);
    collection.ScanNoteInfomationHandle(note);
    tick(contact);
    tick(note);

    const auto failures = exportTo(target);

    EXPECT_EQ(slurp(victim), "precious");
    EXPECT_TRUE(treeOf(elsewhere).empty());
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].path, target + "/Contact");
    EXPECT_NE(failures[0].reason.find("symbolic link"), std::string::npos) << failures[0].reason;
    // The links at file names are replaced, not written through.
    EXPECT_EQ(slurp(target + "/Photo&Video/12.MOV"), "movie bytes");
    EXPECT_FALSE(std::filesystem::is_symlink(target + "/Photo&Video/12.MOV"));
    EXPECT_EQ(slurp(target + "/Note/TXT.txt"), "Title:Shopping  Note:milk  Date:03-05-2012 14:07  \n\n");
}

TEST(ExportOutput, TemporariesAreNewFilesUnderNamesNoOneCanGuess) {
    TempDir dir;
    DiskExportOutput output;
    std::string error;
    ASSERT_EQ(::symlink(dir.file("target").c_str(), dir.file("link").c_str()), 0);
    EXPECT_EQ(output.openForWriting(dir.file("link"), error), nullptr);
    EXPECT_FALSE(std::filesystem::exists(dir.file("target")));
    spit(dir.file("kept"), "kept");
    EXPECT_EQ(output.openForWriting(dir.file("kept"), error), nullptr);
    EXPECT_EQ(slurp(dir.file("kept")), "kept");

    std::set<std::string> names;
    for (int i = 0; i < 3; ++i) {
        std::string temporary;
        auto file = output.createTemporaryBeside(dir.file("Notes.txt"), temporary, error);
        ASSERT_NE(file, nullptr) << error;
        const std::string name = std::filesystem::path(temporary).filename().string();
        EXPECT_EQ(name.find(std::to_string(::getpid())), std::string::npos) << name;
        EXPECT_EQ(name.size(), std::string(".export-").size() + 24 + std::string(".tmp").size()) << name;
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 3u);
}

} // namespace
