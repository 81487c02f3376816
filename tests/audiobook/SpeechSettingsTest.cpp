// The converter's speech settings: the language and voice tables mapped onto the engine's voices,
// the slider arithmetic, progress from word events, output names and the pieces a text is spoken in.

#include "audiobook/AudioOutputNames.h"
#include "audiobook/ConversionQueue.h"
#include "audiobook/SpeechProgress.h"
#include "audiobook/SpeechSliders.h"
#include "audiobook/SpeechText.h"
#include "audiobook/SpeechVoices.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace quarrow;

namespace {

// The engine's voices as espeak-ng 1.51 lists them, for the languages the tests touch.
std::vector<SpeechVoice> engineVoices() {
    return {
        {"en-gb", "English (Great Britain)", "gmw/en", {{2, "en-gb"}, {2, "en"}}, 1},
        {"en-gb-scotland", "English (Scotland)", "gmw/en-GB-scotland", {{2, "en-gb-scotland"}, {4, "en"}}, 1},
        {"en-us", "English (America)", "gmw/en-US", {{2, "en-us"}, {3, "en"}}, 1},
        {"cmn",
         "Chinese (Mandarin, latin as English)",
         "sit/cmn",
         {{5, "cmn"}, {5, "zh-cmn"}, {5, "zh-cn"}, {5, "zh"}},
         1},
        {"cmn-latn-pinyin", "Chinese (Mandarin, latin as Pinyin)", "sit/cmn-Latn-pinyin", {{5, "cmn-latn-pinyin"}}, 1},
        {"yue", "Chinese (Cantonese)", "sit/yue", {{5, "yue"}, {5, "zh-yue"}, {8, "zh"}}, 1},
        {"es", "Spanish (Spain)", "roa/es", {{5, "es"}}, 1},
        {"es-419", "Spanish (Latin America)", "roa/es-419", {{5, "es-419"}, {6, "es-mx"}}, 1},
        {"de", "German", "gmw/de", {{5, "de"}}, 1},
        {"fr-fr", "French (France)", "roa/fr", {{5, "fr-fr"}, {5, "fr"}}, 1},
        {"pt", "Portuguese (Portugal)", "roa/pt", {{5, "pt"}, {6, "pt-pt"}}, 1},
        {"pt-br", "Portuguese (Brazil)", "roa/pt-BR", {{5, "pt-br"}, {6, "pt"}}, 1},
        {"nb", "Norwegian Bokmål", "gmq/nb", {{5, "nb"}, {5, "no"}}, 1},
        {"ja", "Japanese", "jpx/ja", {{5, "ja"}}, 1},
        {"th", "Thai", "tai/th", {{5, "th"}}, 1},
    };
}

struct VoiceCase {
    const char* locale;
    const char* title;
    const char* expected;
};

class EngineVoiceTest : public ::testing::TestWithParam<VoiceCase> {};

TEST_P(EngineVoiceTest, MapsLanguageAndVoiceTitleOntoAnEngineVoice) {
    const VoiceCase& c = GetParam();
    const EngineVoice voice = engineVoiceFor(c.locale, c.title, engineVoices());
    EXPECT_EQ(voice.voice, c.expected);
    EXPECT_TRUE(voice.problem.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, EngineVoiceTest,
    ::testing::Values(VoiceCase{"en_US", "System Voice", "en-us"}, VoiceCase{"en_US", "Alex", "en-us+m3"},
                      VoiceCase{"en_US", "Samantha", "en-us+f3"}, VoiceCase{"en_US", "Whisper", "en-us+whisper"},
                      VoiceCase{"en_GB", "Kate", "en-gb+f4"}, VoiceCase{"en_AU", "Karen", "en-gb+f2"},
                      VoiceCase{"en_GD", "Fiona", "en-gb-scotland+f2"},
                      VoiceCase{"zh_CN", "Ting-Ting", "cmn-latn-pinyin+f2"},
                      VoiceCase{"zh_TW", "System Voice", "cmn-latn-pinyin"}, VoiceCase{"zh_HK", "Sin-Ji", "yue+f2"},
                      VoiceCase{"es_MX", "Juan", "es-419+m5"}, VoiceCase{"es_ES", "Diego", "es+m3"},
                      VoiceCase{"de_DE", "Petra", "de+f4"}, VoiceCase{"fr_CA", "Julie", "fr-fr+f2"},
                      VoiceCase{"pt_PT", "Joana", "pt+f2"}, VoiceCase{"pt_BR", "Felipe", "pt-br+m3"},
                      VoiceCase{"nb_NO", "System Voice", "nb"}, VoiceCase{"th_TH", "Kanya", "th+f3"},
                      // a title that is an installed voice's own name speaks with it unchanged
                      VoiceCase{"en_GB", "English (Great Britain)", "en-gb"},
                      // normalised before comparing
                      VoiceCase{"EN-us.UTF-8", "System Voice", "en-us"}, VoiceCase{"de_DE@euro", "Anna", "de+f2"}));

TEST(EngineVoice, LanguagesTheEngineCannotSpeakSaySo) {
    const EngineVoice japanese = engineVoiceFor("ja_JP", "Kyoko", engineVoices());
    EXPECT_TRUE(japanese.voice.empty());
    EXPECT_NE(japanese.problem.find("kanji"), std::string::npos);
    const EngineVoice hungarian = engineVoiceFor("hu_HU", "Eszter", engineVoices()); // not in this list
    EXPECT_TRUE(hungarian.voice.empty());
    EXPECT_NE(hungarian.problem.find("hu_HU"), std::string::npos);
}

TEST(EngineVoice, EveryTableVoiceHasAVariantAndEveryLabelASentenceButItsOwn) {
    for (const SpeechLanguage& language : speechLanguages()) {
        for (const std::string& title : language.voices) {
            EXPECT_FALSE(variantForVoiceTitle(title).empty()) << title;
        }
        EXPECT_TRUE(testSentence(language.label)) << language.label;
    }
    EXPECT_EQ(speechLanguages().size(), 38u);
    EXPECT_FALSE(testSentence("Klingon (Qo'noS)"));
    EXPECT_EQ(testSentence("Spanish (Mexico)"), testSentence("Spanish (Spain)"));
    EXPECT_NE(testSentence("English (Scottish Standard English)")->find("speakis"), std::string::npos);
}

TEST(ChooseLanguage, GermanAddsTheInstalledVoiceForItsLocale) {
    std::vector<SpeechVoice> installed = engineVoices();
    installed.push_back({"de-de-x-helena", "Helena", "x/helena", {{5, "de_DE"}}, 2});
    const LanguageChoice choice = chooseLanguage("German (Germany)", installed);
    EXPECT_EQ(choice.voices,
              (std::vector<std::string>{"System Voice", "Anna", "Steffi", "Yannick", "Markus", "Petra", "Helena"}));
    EXPECT_EQ(choice.selectedVoice, "System Voice");
    EXPECT_EQ(choice.genders, std::vector<std::string>{"All"});
}

TEST(ChooseLanguage, UnitedStatesEnglishSelectsAlexAndOffersThreeGenders) {
    const LanguageChoice choice = chooseLanguage("English (United States)", engineVoices());
    EXPECT_EQ(choice.selectedVoice, "Alex");
    EXPECT_EQ(choice.genders, (std::vector<std::string>{"All", "Male", "Female"}));
    EXPECT_EQ(choice.voices.size(), 1 + 29 + 1u); // "System Voice", the list, "English (America)"
    EXPECT_EQ(choice.voices.back(), "English (America)");
    EXPECT_TRUE(chooseLanguage("Elvish", engineVoices()).voices.empty());
    EXPECT_EQ(genderVoiceList("All")->size(), 29u);
    EXPECT_FALSE(genderVoiceList("Robot"));
}

struct SliderCase {
    int value;
    int maximum;
    float rate;
    int engineRate;
    int engineVolume;
};

class SliderTest : public ::testing::TestWithParam<SliderCase> {};

TEST_P(SliderTest, RateAndVolumeArithmetic) {
    const SliderCase& c = GetParam();
    EXPECT_FLOAT_EQ(rateForSlider(c.value, c.maximum), c.rate);
    EXPECT_EQ(engineRate(rateForSlider(c.value, c.maximum)), c.engineRate);
    EXPECT_EQ(engineVolume(volumeForSlider(c.value, c.maximum)), c.engineVolume);
}

INSTANTIATE_TEST_SUITE_P(Sliders, SliderTest,
                         ::testing::Values(SliderCase{50, 100, 175.0F, 175, 50}, SliderCase{100, 100, 350.0F, 350, 100},
                                           SliderCase{0, 100, 0.0F, 80, 0}, // the engine's slowest
                                           SliderCase{10, 100, 35.0F, 80, 10}, SliderCase{75, 100, 262.5F, 263, 75},
                                           SliderCase{5, 10, 175.0F, 175, 50},
                                           SliderCase{50, 0, 0.0F, 80, 0}, // no range: no division by zero
                                           SliderCase{150, 100, 350.0F, 350, 100}));

TEST(SpeechProgress, ScriptedEventsWithBackwardAndZeroLengthOnes) {
    // "Hello brave new world" has 21 characters.
    SpeechProgress progress(21);
    struct Step {
        long long position, length;
        int percent;
    };
    const Step steps[] = {
        {1, 5, 23},                  // "Hello"
        {7, 5, 52},                  // "brave"
        {3, 0, 52},                  // a marker pointing back: skipped
        {2, 3, 52},                  // a word event going back: progress stays
        {13, 3, 71},                 // "new"
        {17, 0, 71},                 // marker
        {17, 5, 100}, {30, 10, 100}, // past the end: clamped
    };
    for (const Step& s : steps) {
        progress.word(s.position, s.length);
        EXPECT_EQ(progress.percent(), s.percent) << s.position << "," << s.length;
    }
    EXPECT_EQ(progress.done(), 21u);
}

TEST(SpeechProgress, EmptyTextAndPiecesCountWithoutDividingByZero) {
    SpeechProgress empty(0);
    EXPECT_FALSE(empty.word(1, 4));
    EXPECT_EQ(empty.percent(), 0);
    SpeechProgress pieces(200);
    pieces.word(1, 50);
    pieces.setOffset(100); // the second piece starts at character 101
    pieces.word(1, 50);
    EXPECT_EQ(pieces.percent(), 75);
}

TEST(AudioOutputNames, NamesAsTheConverterGivesThem) {
    EXPECT_EQ(audioBookFolder("/home/u/Documents"), "/home/u/Documents/AudioBook");
    EXPECT_EQ(nameWithoutExtension("Title.epub"), "Title");
    EXPECT_EQ(nameWithoutExtension("a.b.pdf"), "a.b");
    EXPECT_EQ(nameWithoutExtension(".hidden"), ".hidden");
    EXPECT_EQ(pdfPageStem("Name", 0), "Name_0");
    EXPECT_EQ(epubChapterStem("Title.epub", 1), "Title.epub -01");
    EXPECT_EQ(epubChapterStem("Title.epub", 9), "Title.epub -09");
    EXPECT_EQ(epubChapterStem("Title.epub", 12), "Title.epub -12");
    EXPECT_EQ(epubFolderName("Title.epub"), "Title");
    EXPECT_EQ(safeFileStem("a/b"), "a_b");
    EXPECT_EQ(safeFileStem(".."), "Book");
    EXPECT_EQ(safeFileStem(""), "Book");
    PRBookNode book;
    book.setFilePath("/books/Tale.txt");
    EXPECT_EQ(bookFileName(book), "Tale.txt");
    book.setBookName("Other.txt");
    EXPECT_EQ(bookFileName(book), "Other.txt");
}

TEST(ConversionPreferences, SettledAtStartAndReadPerBookType) {
    MemoryUserDefaults defaults;
    settleConversionPreferences(defaults);
    EXPECT_EQ(defaults.stringForKey(kPdfWholePageKey), "NO");
    EXPECT_EQ(defaults.stringForKey(kEpubPerPageKey), "YES");
    EXPECT_EQ(preferredMode(defaults, "pdf"), ConversionMode::PerPart);
    EXPECT_EQ(preferredMode(defaults, "epub"), ConversionMode::PerPart);
    EXPECT_EQ(preferredMode(defaults, "txt"), ConversionMode::Whole);
    defaults.setString(kPdfWholePageKey, "maybe");
    defaults.setString(kEpubPerPageKey, "NO");
    settleConversionPreferences(defaults);
    EXPECT_EQ(defaults.stringForKey(kPdfWholePageKey), "YES");
    EXPECT_EQ(preferredMode(defaults, "pdf"), ConversionMode::Whole);
    EXPECT_EQ(preferredMode(defaults, "epub"), ConversionMode::Whole);
}

TEST(SpeechPieces, CutAtParagraphsSentencesOrBlanksNeverInACharacter) {
    const std::string text = "First sentence here. Second one follows.\nA new paragraph starts. Ünïcödé wörds ënd.";
    for (std::size_t size : {8u, 16u, 30u, 45u, 1000u}) {
        const auto pieces = speechPieces(text, size);
        std::string joined;
        for (const auto piece : pieces) {
            EXPECT_LE(piece.size(), std::max<std::size_t>(size, 8));
            EXPECT_NE(static_cast<unsigned char>(piece.front()) & 0xC0, 0x80u);
            joined += piece;
        }
        EXPECT_EQ(joined, text) << size;
    }
    EXPECT_EQ(speechPieces(text, 45).front(), "First sentence here. Second one follows.\n");
    EXPECT_EQ(speechPieces(text, 30).front(), "First sentence here. ");
    EXPECT_TRUE(speechPieces("", 10).empty());
    EXPECT_FALSE(hasSpeakableText(" \n\t"));
    EXPECT_TRUE(hasSpeakableText(" a "));
}

} // namespace
