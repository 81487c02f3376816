// The conversion queue: books in, complete AIFF files out, one book after another. The pipeline's
// logic runs on a scripted engine; a few short texts go through the real espeak-ng.

#include "audiobook/ConversionQueue.h"
#include "audiobook/BookImport.h"
#include "audiobook/SpeechVoices.h"
#include "platform/AiffFile.h"
#include "platform/MainThread.h"

#include "BookFixtures.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

using namespace quarrow;
using namespace quarrow::test;
namespace fs = std::filesystem;

namespace {

// Everything the listener heard, in order. The inline main thread calls it on the worker.
struct Heard {
    std::mutex mutex;
    std::vector<ConversionProgress> progress;
    std::vector<PRAudioNodePtr> files;
    std::vector<ConversionReport> reports;
    int idles = 0;

    ConversionQueue::Listener listener() {
        return {[this](const ConversionProgress& p) {
                    std::lock_guard lock(mutex);
                    progress.push_back(p);
                },
                [this](const PRAudioNodePtr& f) {
                    std::lock_guard lock(mutex);
                    files.push_back(f);
                },
                [this](const ConversionReport& r) {
                    std::lock_guard lock(mutex);
                    reports.push_back(r);
                },
                [this] {
                    std::lock_guard lock(mutex);
                    ++idles;
                }};
    }
    std::vector<std::string> fileNames() {
        std::lock_guard lock(mutex);
        std::vector<std::string> names;
        for (const auto& f : files) {
            names.push_back(f->aduioName().value_or(""));
        }
        return names;
    }
};

// Every file under a folder, relative, sorted; temporary files included, so none may be left.
std::vector<std::string> filesUnder(const std::string& folder) {
    std::vector<std::string> names;
    if (!fs::exists(folder)) {
        return names;
    }
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            names.push_back(fs::relative(entry.path(), folder).string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

class ConversionQueueTest : public ::testing::Test {
protected:
    void SetUp() override { queue.setListener(heard.listener()); }

    PRBookNodePtr bookFile(const std::string& name, const std::string& bytes) {
        const std::string path = books.file(name);
        std::ofstream(path, std::ios::binary) << bytes;
        ImportOutcome outcome = importBookFile(path, ImportOptions{});
        EXPECT_TRUE(outcome.book) << outcome.error;
        return outcome.book;
    }
    ConversionReport convert(const PRBookNodePtr& book, ConversionMode mode = ConversionMode::PerPart) {
        queue.enqueue({book, SpeechSettings{}, mode, out.path()});
        queue.waitUntilIdle();
        std::lock_guard lock(heard.mutex);
        return heard.reports.empty() ? ConversionReport{} : heard.reports.back();
    }

    TempDir books;
    TempDir out;
    StubSpeechEngine engine;
    InlineMainThread mainThread;
    Heard heard;
    ConversionQueue queue{engine, mainThread};
};

TEST_F(ConversionQueueTest, TextBookBecomesOneCompleteFileWithProgressToTheEnd) {
    const auto book = bookFile("Tale.txt", "Once upon a time there was a queue.\n");
    const ConversionReport report = convert(book);
    EXPECT_EQ(report.outcome, ConversionOutcome::Done);
    ASSERT_EQ(report.files.size(), 1u);
    const PRAudioNodePtr file = report.files[0];
    EXPECT_EQ(file->audioPath(), out.file("Tale.aiff"));
    EXPECT_EQ(file->aduioName(), "Tale.aiff");
    EXPECT_EQ(file->book(), book);
    EXPECT_EQ(file->partNumber(), 1);
    EXPECT_DOUBLE_EQ(file->seconds(), 8.0 * 100 / 22050);
    const auto info = readAudioFileInfo(out.file("Tale.aiff"));
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->isAiff16);
    EXPECT_EQ(info->frames, 800);
    EXPECT_EQ(filesUnder(out.path()), std::vector<std::string>{"Tale.aiff"});
    EXPECT_EQ(heard.fileNames(), std::vector<std::string>{"Tale.aiff"});
    ASSERT_GE(heard.progress.size(), 2u);
    for (std::size_t i = 1; i < heard.progress.size(); ++i) {
        EXPECT_GE(heard.progress[i].percent, heard.progress[i - 1].percent);
    }
    EXPECT_EQ(heard.progress.front().percent, 0);
    EXPECT_EQ(heard.progress.back().percent, 100);
    EXPECT_EQ(heard.progress.back().fileName, "Tale.aiff");
    EXPECT_EQ(heard.idles, 1);
    EXPECT_FALSE(queue.isBusy());
}

TEST_F(ConversionQueueTest, ConvertingAgainNeverOverwritesAndTitlesShareFreeNames) {
    convert(bookFile("Title.txt", "First words."));
    convert(bookFile("Title.txt", "First words."));
    convert(bookFile("Title.html", "<p>Other words.</p>"));
    EXPECT_EQ(filesUnder(out.path()), (std::vector<std::string>{"Title (2).aiff", "Title (3).aiff", "Title.aiff"}));
}

TEST_F(ConversionQueueTest, EpubPerChapterNamesTwelveChaptersInItsOwnFolder) {
    fixtures::EpubSpec spec;
    spec.title = "Title";
    for (int i = 1; i <= 12; ++i) {
        char file[32];
        std::snprintf(file, sizeof file, "ch%02d.xhtml", i);
        spec.chapters.push_back(
            {file, "Chapter " + std::to_string(i), "<p>Words of chapter " + std::to_string(i) + ".</p>"});
    }
    ASSERT_TRUE(fixtures::writeZip(books.file("Title.epub"), fixtures::epubFiles(spec)));
    const ImportOutcome imported = importBookFile(books.file("Title.epub"), ImportOptions{});
    ASSERT_TRUE(imported.book);
    ASSERT_EQ(imported.book->iBookArray().size(), 12u);

    EXPECT_EQ(convert(imported.book).outcome, ConversionOutcome::Done);
    std::vector<std::string> expected;
    for (const char* n : {"01", "02", "03", "04", "05", "06", "07", "08", "09", "10", "11", "12"}) {
        expected.push_back(std::string("Title/Title.epub -") + n + ".aiff");
    }
    EXPECT_EQ(filesUnder(out.path()), expected);
    EXPECT_EQ(heard.files[2]->partTitle(), "Chapter 3");
    EXPECT_EQ(heard.files[11]->partNumber(), 12);

    EXPECT_EQ(convert(imported.book, ConversionMode::Whole).outcome, ConversionOutcome::Done);
    EXPECT_TRUE(fs::exists(out.file("Title/Title.aiff")));
    const auto spoken = engine.spokenTexts().back();
    EXPECT_NE(spoken.find("chapter 1."), std::string::npos);
    EXPECT_NE(spoken.find("chapter 12."), std::string::npos);
}

TEST_F(ConversionQueueTest, PdfPerPageSkipsBlankPagesAndWholeGivesOneFile) {
    const auto book = bookFile("Name.pdf", fixtures::makePdf({{{"Page one words."}}, {{}}, {{"Page three words."}}}));
    EXPECT_EQ(convert(book).outcome, ConversionOutcome::Done);
    EXPECT_EQ(filesUnder(out.path()), (std::vector<std::string>{"Name_0.aiff", "Name_2.aiff"}));
    EXPECT_EQ(heard.files[1]->partTitle(), "Page 3");
    EXPECT_EQ(convert(book, ConversionMode::Whole).outcome, ConversionOutcome::Done);
    EXPECT_TRUE(fs::exists(out.file("Name.aiff")));
}

struct FailureCase {
    const char* name;
    const char* fileName; // empty: a record with the type below and no file
    const char* bytes;
    const char* type;
    ConversionOutcome outcome;
};

class ConversionFailureTest : public ConversionQueueTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ConversionFailureTest, NothingListedNothingLeftBusyFlagClear) {
    const FailureCase& c = GetParam();
    PRBookNodePtr book;
    if (c.fileName[0] != 0) {
        book = bookFile(c.fileName, c.bytes);
    } else {
        book = std::make_shared<PRBookNode>();
        book->setBookName("Missing.txt");
        book->setFilePath(books.file("Missing.txt"));
        book->setFileType(c.type);
    }
    const ConversionReport report = convert(book);
    EXPECT_EQ(report.outcome, c.outcome);
    EXPECT_TRUE(report.files.empty());
    EXPECT_TRUE(heard.files.empty());
    EXPECT_TRUE(filesUnder(out.path()).empty());
    EXPECT_FALSE(queue.isBusy());
    EXPECT_EQ(heard.idles, 1);
    EXPECT_FALSE(conversionAlertText(report).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Books, ConversionFailureTest,
    ::testing::Values(FailureCase{"BlankText", "Blank.txt", " \n\t \n", "", ConversionOutcome::NoText},
                      FailureCase{"EpubNotAnArchive", "Broken.epub", "not a zip", "", ConversionOutcome::NoText},
                      FailureCase{"HtmlWithoutText", "Empty.html", "<p> </p><br/>", "", ConversionOutcome::NoText},
                      FailureCase{"MissingFile", "", "", "txt", ConversionOutcome::Unreadable},
                      FailureCase{"UnknownType", "", "", "mobi", ConversionOutcome::UnsupportedType}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConversionQueueTest, EngineFailureAndUnwritableFolderRemoveTheFile) {
    const auto book = bookFile("Tale.txt", "Some words.");
    engine.fail = true;
    EXPECT_EQ(convert(book).outcome, ConversionOutcome::SpeechFailed);
    engine.fail = false;
    EXPECT_TRUE(filesUnder(out.path()).empty());

    std::ofstream(out.file("file")) << "a file where a folder should be";
    queue.enqueue({book, SpeechSettings{}, ConversionMode::Whole, out.file("file") + "/AudioBook"});
    queue.waitUntilIdle();
    EXPECT_EQ(heard.reports.back().outcome, ConversionOutcome::WriteFailed);
    EXPECT_EQ(filesUnder(out.path()), std::vector<std::string>{"file"});
}

// Speaks until told to stop, so that a cancel always finds a book in the middle of its file.
class EndlessEngine : public StubSpeechEngine {
public:
    std::atomic<int> started{0};
    SpeechResult speak(const std::string&, const SpeechSettings&, SpeechSink& sink) override {
        ++started;
        const std::int16_t block[64] = {};
        for (int position = 1;; ++position) {
            if (!sink.word(position, 1) || !sink.samples(block, 64)) {
                return SpeechResult::Stopped;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
};

TEST(ConversionQueueCancel, StopsTheRunningBookDropsTheQueuedAndLeavesNoHalfFile) {
    TempDir books;
    TempDir out;
    EndlessEngine engine;
    InlineMainThread mainThread;
    Heard heard;
    ConversionQueue queue(engine, mainThread);
    queue.setListener(heard.listener());
    std::ofstream(books.file("A.txt")) << "Words that never end.";
    const auto book = importBookFile(books.file("A.txt"), ImportOptions{}).book;
    for (int i = 0; i < 3; ++i) {
        queue.enqueue({book, SpeechSettings{}, ConversionMode::Whole, out.path()});
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (engine.started == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(queue.isBusy());
    queue.cancel();
    queue.waitUntilIdle();
    EXPECT_FALSE(queue.isBusy());
    EXPECT_EQ(engine.started, 1);
    ASSERT_EQ(heard.reports.size(), 3u);
    for (const auto& report : heard.reports) {
        EXPECT_EQ(report.outcome, ConversionOutcome::Cancelled);
    }
    EXPECT_TRUE(heard.files.empty());
    EXPECT_TRUE(filesUnder(out.path()).empty());

    // The queue takes work again after a cancel.
    StubSpeechEngine plain;
    ConversionQueue next(plain, mainThread);
    next.enqueue({book, SpeechSettings{}, ConversionMode::Whole, out.path()});
    next.waitUntilIdle();
    EXPECT_EQ(filesUnder(out.path()), std::vector<std::string>{"A.aiff"});
}

TEST_F(ConversionQueueTest, LongTextsAreSpokenInPiecesWithProgressAcrossThem) {
    queue.setPieceSize(64);
    std::string text;
    for (int i = 0; i < 40; ++i) {
        text += "Sentence number " + std::to_string(i) + " is here. ";
    }
    EXPECT_EQ(convert(bookFile("Long.txt", text), ConversionMode::Whole).outcome, ConversionOutcome::Done);
    const auto spoken = engine.spokenTexts();
    EXPECT_GT(spoken.size(), 10u);
    std::string joined;
    for (const auto& piece : spoken) {
        joined += piece;
    }
    EXPECT_EQ(joined, text);
    int last = -1;
    for (const auto& p : heard.progress) {
        EXPECT_GE(p.percent, last);
        last = p.percent;
    }
    EXPECT_EQ(last, 100);
    EXPECT_GT(heard.progress.size(), 20u);
}

// The real engine, on a few words per book.
class EspeakConversionTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!espeakEngine().available()) {
            GTEST_SKIP() << "espeak-ng data not installed";
        }
    }
};

TEST_F(EspeakConversionTest, ThreeQueuedBooksFinishOneAfterAnotherAsSpokenAudio) {
    TempDir books;
    TempDir out;
    MainThreadLoop mainThread;
    Heard heard;
    ConversionQueue queue(espeakEngine(), mainThread);
    queue.setListener(heard.listener());
    const char* texts[] = {"First small book.", "Second small book.", "Third small book."};
    std::vector<std::uint64_t> ids;
    for (int i = 0; i < 3; ++i) {
        const std::string path = books.file("Book" + std::to_string(i + 1) + ".txt");
        std::ofstream(path) << texts[i];
        ids.push_back(queue.enqueue({importBookFile(path, ImportOptions{}).book, SpeechSettings{"en-us", 175, 100},
                                     ConversionMode::Whole, out.path()}));
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    mainThread.runUntil([&] {
        std::lock_guard lock(heard.mutex);
        return heard.reports.size() >= 3 || std::chrono::steady_clock::now() > deadline;
    });
    ASSERT_EQ(heard.reports.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(heard.reports[i].id, ids[i]);
        EXPECT_EQ(heard.reports[i].outcome, ConversionOutcome::Done);
    }
    EXPECT_EQ(heard.fileNames(), (std::vector<std::string>{"Book1.aiff", "Book2.aiff", "Book3.aiff"}));
    for (const auto& file : heard.files) {
        const auto info = readAudioFileInfo(file->audioPath().value_or(""));
        ASSERT_TRUE(info);
        EXPECT_EQ(info->sampleRate, 22050);
        EXPECT_EQ(info->channels, 1);
        EXPECT_TRUE(info->isAiff16);
        EXPECT_GT(info->seconds(), 0.2 * 3);
        EXPECT_LT(info->seconds(), 0.6 * 3 + 0.5); // three words and the closing pause
    }
    int last = 0;
    for (const auto& p : heard.progress) {
        if (p.id == ids[0]) {
            EXPECT_GE(p.percent, last);
            last = p.percent;
        }
    }
    EXPECT_EQ(last, 100);
}

TEST_F(EspeakConversionTest, EmptyTextLeavesNoRecord) {
    TempDir books;
    TempDir out;
    InlineMainThread mainThread;
    Heard heard;
    ConversionQueue queue(espeakEngine(), mainThread);
    queue.setListener(heard.listener());
    std::ofstream(books.file("Empty.txt")) << "\n\n";
    queue.enqueue({importBookFile(books.file("Empty.txt"), ImportOptions{}).book, SpeechSettings{},
                   ConversionMode::Whole, out.path()});
    queue.waitUntilIdle();
    EXPECT_TRUE(heard.files.empty());
    EXPECT_TRUE(filesUnder(out.path()).empty());
}

TEST_F(EspeakConversionTest, EveryLanguageAndVoiceOfTheTablesIsOneTheEngineTakes) {
    SpeechEngine& engine = espeakEngine();
    const auto installed = engine.voices();
    std::set<std::string> variants;
    int spoken = 0;
    for (const SpeechLanguage& language : speechLanguages()) {
        const EngineVoice voice = engineVoiceFor(language.locale, kSystemVoice, installed);
        if (language.locale == "ja_JP") {
            EXPECT_FALSE(voice.problem.empty());
            continue;
        }
        ASSERT_TRUE(voice.problem.empty()) << language.label << ": " << voice.problem;
        EXPECT_TRUE(engine.acceptsVoice(voice.voice)) << language.label << " " << voice.voice;
        ++spoken;
        for (const std::string& title : language.voices) {
            variants.insert(variantForVoiceTitle(title));
        }
    }
    EXPECT_EQ(spoken, 37);
    for (const std::string& variant : variants) {
        EXPECT_TRUE(engine.acceptsVoice("en-us+" + variant)) << variant;
    }
}

} // namespace
