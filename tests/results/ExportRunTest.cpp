#include "ExportTestSupport.h"

#include "platform/LocalizedStrings.h"
#include "results/ExportNames.h"
#include "results/ExportOutput.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace quarrow;
using namespace quarrow::test;

namespace {

const std::set<std::string> kEmptyLayout = {
    "Photo&Video",    "Contact",     "Contact/Contacts.txt",        "Message", "Message/Messages.txt", "Note",
    "Note/Notes.txt", "CallHistory", "CallHistory/Call History.txt"};

class Export : public ExportFixture {};

} // namespace

TEST_F(Export, OnlyNotesTickedGivesEveryFolderAndNotesByteForByte) {
    auto first = makeNote("Shopping", "milk", "03-05-2012 14:07");
    auto multiLine = makeNote("Plan", "line one\nline two\r\n\nend", "12-31-2013 23:59");
    auto deleted = makeNote(std::nullopt, "gone", std::string());
    auto unticked = makeNote("Private", "not me", "01-01-2001 00:00");
    collection.ScanNoteInfomationHandle(first);
    collection.ScanNoteInfomationHandle(multiLine);
    collection.ScanNoteInfomationHandle(unticked);
    collection.ScanDelNoteInfomationHandle(deleted);
    auto contact = makeContact("Not ticked");
    collection.ScanContactInfomationHandle(contact);
    // The existing notes are ticked although a deleted-only filter would hide them.
    tick(first);
    tick(multiLine);
    tick(deleted);

    EXPECT_TRUE(exportTo(exportPath()).empty());

    EXPECT_EQ(treeOf(exportPath()), kEmptyLayout);
    EXPECT_EQ(slurp(exportPath() + "/Note/Notes.txt"), "Title:Shopping  Note:milk  Date:03-05-2012 14:07  \n\n"
                                                       "Title:Plan  Note:line one\nline two\r\n\nend  "
                                                       "Date:12-31-2013 23:59  \n\n"
                                                       "Title:  Note:gone  Date:  \n\n");
    for (const char* empty : {"/Contact/Contacts.txt", "/Message/Messages.txt", "/CallHistory/Call History.txt"}) {
        EXPECT_EQ(slurp(exportPath() + empty), "") << empty;
    }
    EXPECT_EQ(workspace.opened, std::vector<std::string>{exportPath()});
    // Ticks and the selection count stay for another export; the progress count starts again.
    EXPECT_TRUE(first->bSelected());
    EXPECT_EQ(collection.counters().selectedFilesNum, 3);
    EXPECT_EQ(collection.counters().recovredFilesNum, 0);
}

TEST_F(Export, EveryTextCategoryWritesItsLabelledRecords) {
    auto contact = makeContact("Anne Smith", "Sales Manager Acme", 7);
    contact->setContactPhone(" 555-0100 555-0199");
    contact->setContactEmail(" anne@example.com");
    contact->setContactJobtitle("Manager");
    contact->setContactHomepage(" http://example.com");
    contact->setContactBirthday("1980-01-02");
    contact->setContactNote("met\nat work");
    auto message = std::make_shared<PRMessageNode>();
    message->setMessageName(std::nullopt); // no contact matched the number
    message->setMessagePhone("+15550100");
    message->setMessageDate("03-05-2012 14:07");
    message->setMessageType("Received");
    message->setMessageContent("see you\nsoon");
    auto call = std::make_shared<PRCallHistoryNode>();
    call->setCallName("Anne Smith");
    call->setCallPhone("5550100");
    call->setCallDate("03-05-2012 14:08");
    call->setCallType("Outgoing");
    call->setCallDuration("2 minutes");
    collection.ScanContactInfomationHandle(contact);
    collection.ScanDelMessageInfomationHandle(message);
    collection.ScanCallHistoryInfomationHandle(call);
    tick(contact);
    tick(message);
    tick(call);

    EXPECT_TRUE(exportTo(exportPath()).empty());

    EXPECT_EQ(slurp(exportPath() + "/Contact/Contacts.txt"),
              "Name:Anne Smith  Phone: 555-0100 555-0199  Email: anne@example.com  Company:Sales Manager Acme  "
              "JobTitle:Manager  Home Page: http://example.com  Birthday:1980-01-02  Note:met\nat work  \n\n");
    EXPECT_EQ(slurp(exportPath() + "/Message/Messages.txt"),
              "Name:  Phone:+15550100  Date:03-05-2012 14:07  Type:Received  Content:see you\nsoon  \n\n");
    EXPECT_EQ(slurp(exportPath() + "/CallHistory/Call History.txt"),
              "Name:Anne Smith  Phone:5550100  Date:03-05-2012 14:08  Type:Outgoing  Duration:2 minutes  \n\n");
    EXPECT_TRUE(slurp(exportPath() + "/Contact/Anne Smith.vcf"));
}

TEST_F(Export, VCardIsNamedAfterNameThenCompanyThenRowid) {
    auto named = makeContact("Anne Smith", "Acme");
    auto companyOnly = makeContact(std::string(), "Globex");
    auto absentName = makeContact(std::nullopt, "Initech");
    auto neither = makeContact(std::string(), std::string(), 42);
    auto defaultRowid = makeContact(std::nullopt, std::nullopt);
    auto sameNameFirst = makeContact("Bob", "First Inc");
    auto sameNameLater = makeContact("Bob", "Later Inc");
    for (const auto& c : {named, companyOnly, absentName, neither, defaultRowid, sameNameFirst, sameNameLater}) {
        collection.ScanContactInfomationHandle(c);
        tick(c);
    }

    EXPECT_TRUE(exportTo(exportPath()).empty());

    std::set<std::string> cards;
    for (const auto& entry : treeOf(exportPath() + "/Contact")) {
        if (entry.ends_with(".vcf")) {
            cards.insert(entry);
        }
    }
    EXPECT_EQ(cards, (std::set<std::string>{"Anne Smith.vcf", "Globex.vcf", "Initech.vcf", "unknown 42.vcf",
                                            "unknown -1.vcf", "Bob.vcf"}));
    // Two contacts of one name leave one card: the later one in list order.
    EXPECT_NE(slurp(exportPath() + "/Contact/Bob.vcf")->find("ORG:Later Inc\r\n"), std::string::npos);
}

TEST_F(Export, SameFolderTwiceKeepsTheFirstFilesAndLeavesTheSecondTextInTxt) {
    auto a = makeNote("A", "first run", "01-01-2012 00:00");
    auto b = makeNote("B", "second run", "01-01-2012 00:00");
    auto contact = makeContact("Anne");
    contact->setContactPhone(" 111");
    for (const auto& n : {a, b}) {
        collection.ScanNoteInfomationHandle(n);
    }
    collection.ScanContactInfomationHandle(contact);
    tick(a);
    tick(contact);
    ASSERT_TRUE(exportTo(exportPath()).empty());

    collection.setSelected(std::vector{a}, false);
    tick(b);
    contact->setContactPhone(" 222");
    EXPECT_TRUE(exportTo(exportPath()).empty());

    EXPECT_EQ(slurp(exportPath() + "/Note/Notes.txt"), "Title:A  Note:first run  Date:01-01-2012 00:00  \n\n");
    EXPECT_EQ(slurp(exportPath() + "/Note/TXT.txt"), "Title:B  Note:second run  Date:01-01-2012 00:00  \n\n");
    EXPECT_NE(slurp(exportPath() + "/Contact/Contacts.txt")->find("Phone: 111"), std::string::npos);
    EXPECT_NE(slurp(exportPath() + "/Contact/TXT.txt")->find("Phone: 222"), std::string::npos);
    EXPECT_NE(slurp(exportPath() + "/Contact/Anne.vcf")->find("TEL;TYPE=CELL,PREF: 222\r\n"), std::string::npos);
    // No temporary file is left beside them.
    for (const auto& entry : treeOf(exportPath())) {
        EXPECT_FALSE(entry.ends_with(".tmp")) << entry;
    }
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
    EXPECT_TRUE(run.wasCancelled());
    EXPECT_FALSE(std::filesystem::exists(exportPath()));
    EXPECT_TRUE(workspace.opened.empty());
    EXPECT_EQ(run.exportedCount(), 0);
    EXPECT_EQ(collection.counters().selectedFilesNum, 1);
}

TEST_F(Export, CancelComesTooLateOnceWritingHasBegun) {
    auto n = makeNote("A", "b", "c");
    collection.ScanNoteInfomationHandle(n);
    tick(n);
    ExportRun run(collection, exportPath());
    bool cancelAnswer = true;
    run.onRecordBegun = [&](std::int32_t) { cancelAnswer = run.cancel(); };
    run.recoverFilesThread();
    EXPECT_FALSE(cancelAnswer);
    EXPECT_FALSE(run.wasCancelled());
    EXPECT_TRUE(std::filesystem::exists(exportPath() + "/Note/Notes.txt"));
}

TEST_F(Export, ProgressCountsRecordsAsTheirExportBegins) {
    const std::string source = dir.file("photo.jpg");
    spit(source, "jpeg");
    collection.ScanMovNodeToMainThreadHandle(source);
    auto contact = makeContact("Anne");
    auto n = makeNote("A", "b", "c");
    auto call = std::make_shared<PRCallHistoryNode>();
    collection.ScanContactInfomationHandle(contact);
    collection.ScanNoteInfomationHandle(n);
    collection.ScanCallHistoryInfomationHandle(call);
    collection.setSelected(collection.photoAndVideoArray(), true);
    tick(contact);
    tick(n);
    tick(call);

    ExportRun run(collection, exportPath());
    std::vector<int> percents;
    std::vector<int> finishedAt;
    run.onRecordBegun = [&](std::int32_t) { percents.push_back(run.progressPercent()); };
    run.onFinish = [&](ExportRun& r) { finishedAt.push_back(r.progressPercent()); };
    run.start();
    run.join();

    EXPECT_EQ(percents, (std::vector<int>{25, 50, 75, 100}));
    EXPECT_EQ(finishedAt, std::vector<int>{0}); // the finish step sets the count back to 0
    EXPECT_EQ(run.exportedCount(), 4);
}

TEST_F(Export, PhotoIsCopiedWholeWhateverItsSizeText) {
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
    const auto& photo = collection.photoAndVideoArray()[0];
    photo->setFileNodeName("12.MOV");
    photo->setFileNodeSize("1.00K"); // the display text says far less than the file holds
    collection.photoAndVideoArray()[1]->setFileNodeName("../../outside.jpg");
    collection.setSelected(collection.photoAndVideoArray(), true);

    EXPECT_TRUE(exportTo(exportPath()).empty());

    EXPECT_EQ(slurp(exportPath() + "/Photo&Video/12.MOV"), bytes);
    EXPECT_EQ(slurp(exportPath() + "/Photo&Video/___.._outside.jpg"), bytes);
    EXPECT_EQ(treeOf(dir.path()).count("outside.jpg"), 0u);
}

TEST_F(Export, UnreadablePhotoSourceIsReportedAndLeavesNoEmptyCopy) {
    const std::string source = dir.file("7.JPG");
    spit(source, "jpeg");
    collection.ScanMovNodeToMainThreadHandle(source);
    std::filesystem::remove(source);
    collection.setSelected(collection.photoAndVideoArray(), true);

    const auto failures = exportTo(exportPath());

    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].path, exportPath() + "/Photo&Video/7.JPG");
    EXPECT_NE(failures[0].reason.find(source), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(exportPath() + "/Photo&Video/7.JPG"));
}

// ---- Failures part-way: an output that runs out of room after N bytes -------------------------

namespace {

class FailAfterBytesOutput : public DiskExportOutput {
public:
    explicit FailAfterBytesOutput(std::size_t budget) : remaining_(budget) {}

    std::unique_ptr<ExportFile> openForWriting(const std::string& path, std::string& error) override {
        auto file = DiskExportOutput::openForWriting(path, error);
        if (!file) {
            return nullptr;
        }
        return std::make_unique<Limited>(std::move(file), remaining_);
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
            if (n < size) {
                error_ = "No space left on device";
                return false;
            }
            return true;
        }
        bool close() override { return inner_->close(); }

    private:
        std::unique_ptr<ExportFile> inner_;
        std::size_t& remaining_;
    };
    std::size_t remaining_;
};

class ExportOnFullDisk : public ExportFixture, public ::testing::WithParamInterface<std::size_t> {};

} // namespace

// Whatever the point where the disk fills up, every file is either complete or named in a failure,
// and the folder is still opened at the end.
TEST_P(ExportOnFullDisk, EveryFileIsCompleteOrReported) {
    const std::string photoBytes(3000, 'p');
    const std::string source = dir.file("src.jpg");
    spit(source, photoBytes);
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
    for (const auto& entry : treeOf(reference)) {
        const std::string path = exportPath() + "/" + entry;
        if (std::filesystem::is_directory(reference + "/" + entry)) {
            EXPECT_TRUE(std::filesystem::is_directory(path)) << entry;
            continue;
        }
        const auto written = slurp(path);
        if (written) {
            EXPECT_EQ(written, slurp(reference + "/" + entry)) << entry << " is incomplete";
        } else {
            EXPECT_EQ(reported.count(entry), 1u) << entry << " is missing but not reported";
        }
    }
    for (const auto& entry : treeOf(exportPath())) {
        EXPECT_FALSE(entry.ends_with(".tmp")) << entry;
    }
    std::size_t referenceBytes = 0;
    for (const auto& entry : treeOf(reference)) {
        referenceBytes += slurp(reference + "/" + entry).value_or("").size();
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

TEST_F(Export, ExportPathThatIsAFileIsReportedEvenForRoot) {
    spit(exportPath(), "in the way");
    const auto failures = exportTo(exportPath());
    ASSERT_EQ(failures.size(), 5u);
    EXPECT_EQ(failures[0].path, exportPath() + "/Photo&Video");
    EXPECT_EQ(slurp(exportPath()), "in the way");
}

TEST_F(Export, EmptyExportPathWritesNothingAnywhere) {
    auto n = makeNote("A", "b", "c");
    collection.ScanNoteInfomationHandle(n);
    tick(n);
    const auto failures = exportTo("");
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists("/Note/Notes.txt"));
    EXPECT_TRUE(workspace.opened.empty());
}

// ---- Names ----------------------------------------------------------------------------------

TEST(ExportNames, DefaultNameFromLocalDateAndTime) {
    std::tm t{};
    t.tm_year = 112;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_hour = 14;
    t.tm_min = 7;
    t.tm_sec = 33;
    EXPECT_EQ(defaultExportName(t), "Brindle 2012-03-05 - 14.07.33");
    t.tm_hour = 0;
    t.tm_min = 0;
    t.tm_sec = 5;
    EXPECT_EQ(defaultExportName(t), "Brindle 2012-03-05 - 00.00.05");

    LocalizedStrings::shared().setTranslations({{"Brindle %@ - %@", "Sauvegarde %@ à %@"}});
    EXPECT_EQ(defaultExportName(t), "Sauvegarde 2012-03-05 à 00.00.05");
    LocalizedStrings::shared().setTranslations({});
}

static std::string repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

struct FileNameCase {
    const char* name;
    std::string input;
    std::string expected;
};

class SafeFileName : public ::testing::TestWithParam<FileNameCase> {};

TEST_P(SafeFileName, StaysInsideItsFolder) {
    EXPECT_EQ(exportFileName(GetParam().input, ".vcf"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Names, SafeFileName,
                         ::testing::Values(FileNameCase{"plain", "Anne Smith", "Anne Smith.vcf"},
                                           FileNameCase{"utf8", "Zoë Ångström", "Zoë Ångström.vcf"},
                                           FileNameCase{"slashes", "a/b\\c", "a_b_c.vcf"},
                                           FileNameCase{"parent", "..", "__.vcf"}, FileNameCase{"dot", ".", "_.vcf"},
                                           FileNameCase{"climb", "../../etc/passwd", "___.._etc_passwd.vcf"},
                                           FileNameCase{"hidden", ".profile", "_profile.vcf"},
                                           FileNameCase{"control", std::string("a\x01\tb\x7f", 5), "a__b_.vcf"},
                                           FileNameCase{"removable", "Q: why? <a|b> \"*\"", "Q_ why_ _a_b_ ___.vcf"},
                                           FileNameCase{"empty", "", "_.vcf"},
                                           FileNameCase{"long", std::string(300, 'x'), std::string(251, 'x') + ".vcf"},
                                           // 'é' is two bytes: the cut falls between characters, never inside one.
                                           FileNameCase{"long utf8", "xx" + repeat("é", 150),
                                                        "xx" + repeat("é", 124) + ".vcf"}),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             std::replace(n.begin(), n.end(), ' ', '_');
                             return n;
                         });
