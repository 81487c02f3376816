#include "SpeechVoices.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace quarrow {

const std::vector<SpeechLanguage>& speechLanguages() {
    static const std::vector<SpeechLanguage> languages = {
        {"English (Australia)", "en_AU", {"Karen", "Lee"}},
        {"English (India)", "en_IN", {"Sangeeta", "Veena"}},
        {"English (Ireland)", "en_IE", {"Moira"}},
        {"English (Scottish Standard English)", "en_GD", {"Fiona"}},
        {"English (South Africa)", "en_ZA", {"Tessa"}},
        {"English (United Kingdom)", "en_GB", {"Daniel", "Emily", "Serena", "Kate", "Oliver"}},
        {"English (United States)", "en_US", {"Agnes",      "Albert",  "Alex",     "Tom",     "Ava",      "Samantha",
                                              "Allison",    "Susan",   "BadNews",  "Bahh",    "Bells",    "Boing",
                                              "Bruce",      "Bubbles", "Deranged", "Fred",    "Cellos",   "GoodNews",
                                              "Hysterical", "Junior",  "Kathy",    "Organ",   "Princess", "Trinoids",
                                              "Ralph",      "Vicki",   "Victoria", "Whisper", "Zarvox"}},
        {"Arabic (Saudi Arabia)", "ar_SA", {"Maged", "Tarik"}},
        {"Chinese (China)", "zh_CN", {"Ting-Ting"}},
        {"Chinese (Hong Kong SAR China)", "zh_HK", {"Sin-Ji"}},
        {"Chinese (TaiWan)", "zh_TW", {"Ya-Ling"}},
        {"Czech (Czech Republic)", "cs_CZ", {"Zuzana", "lveta"}},
        {"Danish (Denmark)", "da_DK", {"Ida", "Magnus", "Sara"}},
        {"Dutch (Belgium)", "nl_BE", {"Ellen"}},
        {"Dutch (Netherlands)", "nl_NL", {"Claire", "Xander"}},
        {"Finnish (Finland)", "fi_FI", {"Mikko", "Satu"}},
        {"French (Canada)", "fr_CA", {"Felix", "Julie", "Amelie", "Chantal", "Nicolas"}},
        {"French (France)", "fr_FR", {"Sebastien", "Thomas", "Virginie", "Audrey", "Aurelie"}},
        {"German (Germany)", "de_DE", {"Anna", "Steffi", "Yannick", "Markus", "Petra"}},
        {"Greek (Greece)", "el_GR", {"Alexandros", "Melina", "Nikos"}},
        {"Hindi (India)", "hi_IN", {"Lekha"}},
        {"Hungarian (Hungary)", "hu_HU", {"Eszter"}},
        {"Indonesian (Indonesia)", "id_ID", {"Damayanti"}},
        {"Italian (Italy)", "it_IT", {"Paolo", "Silvia", "Alice", "Federica", "Luca"}},
        {"Japanese (Japan)", "ja_JP", {"Kyoko", "Otoya"}},
        {"Korean (South Korea)", "ko_KR", {"Narae", "Yuna"}},
        {"Norwegian Bokmal (Norway)", "nb_NO", {"Stine", "Henrik", "Nora"}},
        {"Polish (Poland)", "pl_PL", {"Agata", "Ewa", "Zosia"}},
        {"Portuguese (Brazil)", "pt_BR", {"Raquel", "Felipe", "Luciana"}},
        {"Portuguese (Portugal)", "pt_PT", {"Joana", "Catarina"}},
        {"Romainian (Romania)", "ro_RO", {"Simona", "loana"}},
        {"Russian (Rassia)", "ru_RU", {"Milena", "Katya", "Yuri"}},
        {"Slovak (Slovakia)", "sk_SK", {"Laura"}},
        {"Spanish (Mexico)", "es_MX", {"Javier", "Paulina", "Juan", "Angelica"}},
        {"Spanish (Spain)", "es_ES", {"Diego", "Monica", "Jorge"}},
        {"Swedish (Sweden)", "sv_SE", {"Alva", "Oskar", "Klara"}},
        {"Thai (Thailand)", "th_TH", {"Narisa", "Kanya"}},
        {"Turkish (Turkey)", "tr_TR", {"Aylin", "Cem", "Yelda"}},
    };
    return languages;
}

const SpeechLanguage* speechLanguageNamed(const std::string& label) {
    const auto& all = speechLanguages();
    const auto it = std::find_if(all.begin(), all.end(), [&](const SpeechLanguage& l) { return l.label == label; });
    return it == all.end() ? nullptr : &*it;
}

const std::vector<std::string>& startupVoiceList() {
    static const std::vector<std::string> list = {
        "Agnes",   "Albert",   "Alex",     "BadNews", "Bahh",     "Bells",      "Boing",   "Bruce",
        "Bubbles", "Deranged", "Fred",     "Cellos",  "GoodNews", "Hysterical", "Junior",  "Kathy",
        "Organ",   "Princess", "Trinoids", "Ralph",   "Vicki",    "Victoria",   "Whisper", "Zarvox"};
    return list;
}

std::optional<std::vector<std::string>> genderVoiceList(const std::string& gender) {
    if (gender == "All") {
        return std::vector<std::string>{"Agnes",    "Albert",     "Alex",     "BadNews",  "Bahh",     "Bells",
                                        "Boing",    "Bruce",      "Bubbles",  "Deranged", "Fred",     "Cellos",
                                        "GoodNews", "Hysterical", "Kathy",    "Organ",    "Princess", "Trinoids",
                                        "Ralph",    "Vicki",      "Victoria", "Whisper",  "Zarvox",   "Junior",
                                        "Tom",      "Ava",        "Samantha", "Allison",  "Susan"};
    }
    if (gender == "Male") {
        return std::vector<std::string>{"Alex", "Fred", "Ralph", "Bruce", "Junior", "Tom"};
    }
    if (gender == "Female") {
        return std::vector<std::string>{"Vicki",    "Agnes", "Princess", "Kathy",   "Junior",
                                        "Victoria", "Ava",   "Samantha", "Allison", "Susan"};
    }
    if (gender == "Neuter") {
        return std::vector<std::string>{"Albert", "BadNews",  "Bahh",       "Bells", "Boing",    "Bubbles", "Deranged",
                                        "Cellos", "GoodNews", "Hysterical", "Organ", "Trinoids", "Whisper", "Zarvox"};
    }
    return std::nullopt;
}

std::string normaliseLocale(const std::string& tag) {
    std::string result;
    for (const char c : tag) {
        if (c == '.' || c == '@') {
            break; // "en_US.UTF-8", "de_DE@euro": the encoding and modifier are not the language
        }
        result += c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return result;
}

LanguageChoice chooseLanguage(const std::string& label, const std::vector<SpeechVoice>& installed) {
    LanguageChoice choice;
    const SpeechLanguage* language = speechLanguageNamed(label);
    if (language == nullptr) {
        return choice;
    }
    choice.voices.push_back(kSystemVoice);
    choice.voices.insert(choice.voices.end(), language->voices.begin(), language->voices.end());
    const std::string locale = normaliseLocale(language->locale);
    for (const SpeechVoice& voice : installed) {
        const bool forLocale = std::any_of(voice.languages.begin(), voice.languages.end(),
                                           [&](const auto& l) { return normaliseLocale(l.second) == locale; });
        if (forLocale && !voice.displayName.empty() &&
            std::find(choice.voices.begin(), choice.voices.end(), voice.displayName) == choice.voices.end()) {
            choice.voices.push_back(voice.displayName);
        }
    }
    if (label == kDefaultLanguage) {
        choice.selectedVoice = "Alex";
        choice.genders = {"All", "Male", "Female"};
    } else {
        choice.selectedVoice = kSystemVoice;
        choice.genders = {"All"};
    }
    return choice;
}

std::optional<std::string> testSentence(const std::string& label) {
    static const std::map<std::string, std::string> byLanguage = {
        {"en", "This is audio book test reading. Please adjust the speaker's voice before the conversion."},
        {"ar", "هذا هو الصوت الكتاب اختبار القراءة. يرجى ضبط صوت المتحدث قبل التحويل."},
        {"zh", "这是有声图书试读。请在转换之前调整朗读者的声音。"},
        {"cs", "Toto je audio kniha Test čtení. Před konverzí Upravte hlasu mluvčího."},
        {"da", "Dette er audio bog test læsning. Juster den talendes stemme før konverteringen."},
        {"nl", "Dit is audio-boek testlezing. Pas stem van de spreker voor de conversie."},
        {"fi", "Tämä on äänikirja testi käsittelyssä. Säädä puhujan äänen ennen muuntamista."},
        {"fr", "Ce livre audio est un test de lecture. S'il vous plaît ajuster la voix de l'orateur avant la "
               "conversion."},
        {"de", "Dies ist Hörbuch-Test lesen. Bitte passen Sie die Stimme des Sprechers vor dem Umbau."},
        {"el", "Αυτή είναι η ακουστική ανάγνωση της δοκιμής του βιβλίου. Παρακαλούμε ρυθμίστε τη φωνή του ομιλητή "
               "πριν από τη μετατροπή."},
        {"hi", "इस ऑडियो बुक टेस्ट पढ़ रही है. रूपांतरण से पहले स्पीकर की आवाज को समायोजित करें."},
        {"hu", "Ez a hangoskönyv teszt olvasás. Kérjük, állítsa be a beszélő hangját, mielőtt a konverzió."},
        {"id", "Ini adalah audio yang membaca buku uji. Silahkan sesuaikan suara pembicara sebelum konversi."},
        {"it", "Questo è un test di lettura audio libro. Regolare la voce dello speaker prima della conversione."},
        {"ja", "これは、オーディオブックのテスト読んでいます。変換前に、話者の声を調整してください."},
        {"ko", "이 오디오 책 시험 읽고 있습니다. 변환하기 전에 스피커의 음성을 조정하십시오."},
        {"nb", "Dette er lydbok test lesing. Vennligst juster den som snakker før konverteringen."},
        {"pl", "Książka ta jest próba odczytu dźwięku. Proszę ustawić głos mówiącego przed przebudową."},
        {"pt", "Esta é uma leitura de teste de áudio livro. Por favor, ajuste a voz do orador antes da conversão."},
        {"ro", "Acest lucru este de testare audio lectură carte. Vă rugăm să regla vocea vorbitorului înainte de "
               "conversie."},
        {"ru", "Это аудио чтение зачетная книжка. Пожалуйста, измените голос говорящего перед преобразованием."},
        {"sk", "Toto je audio kniha Test čítania. Pred konverziou Upravte hlasu hovorcu."},
        {"es", "Esta es una lectura de prueba de libros de audio. Por favor ajuste la voz del orador antes de la "
               "conversión."},
        {"sv", "Detta är ljudbok prov läsning. Justera talarens röst innan konverteringen."},
        {"th", "นี่คือการทดสอบการอ่านหนังสือเสียง กรุณาปรับเสียงพูดก่อนการแปลง"},
        {"tr", "Bu sesli kitap okuma testi olduğunu.Dönüşüm önce konuşmacının sesini ayarlayın."},
    };
    if (label == "English (Scottish Standard English)") {
        return "This is audio book test reading. Please adjust the speakis voice before the conversion.";
    }
    const SpeechLanguage* language = speechLanguageNamed(label);
    if (language == nullptr) {
        return std::nullopt;
    }
    const auto it = byLanguage.find(language->locale.substr(0, 2));
    if (it == byLanguage.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::string engineLanguageVoice(const std::string& localeTag, const std::vector<SpeechVoice>& installed) {
    const std::string locale = normaliseLocale(localeTag);
    // Where the engine's default for a language misreads or another region is nearer.
    static const std::map<std::string, std::string> nearest = {
        {"zh-cn", "cmn-latn-pinyin"}, {"zh-tw", "cmn-latn-pinyin"}, {"zh-hk", "yue"},   {"es-mx", "es-419"},
        {"en-gd", "en-gb-scotland"},  {"en-au", "en-gb"},           {"en-ie", "en-gb"}, {"en-in", "en-gb"},
        {"en-za", "en-gb"},           {"fr-ca", "fr-fr"},           {"nl-be", "nl"},
    };
    const auto named = [&](const std::string& name) {
        return std::any_of(installed.begin(), installed.end(), [&](const SpeechVoice& v) { return v.name == name; });
    };
    if (const auto it = nearest.find(locale); it != nearest.end() && named(it->second)) {
        return it->second;
    }
    // The voice that lists the whole tag, else the language alone, with the best priority.
    const std::string language = locale.substr(0, locale.find('-'));
    for (const std::string& wanted : {locale, language}) {
        const SpeechVoice* best = nullptr;
        int bestPriority = 0;
        for (const SpeechVoice& voice : installed) {
            for (const auto& [priority, tag] : voice.languages) {
                if (normaliseLocale(tag) == wanted && (best == nullptr || priority < bestPriority)) {
                    best = &voice;
                    bestPriority = priority;
                }
            }
        }
        if (best != nullptr) {
            return best->name;
        }
    }
    return {};
}

std::string variantForVoiceTitle(const std::string& title) {
    // Female and male voices take the engine's female and male variants, spread so that the voices
    // of one language sound different; the others take the variant nearest in character.
    static const std::map<std::string, std::string> variants = {
        // female
        {"Karen", "f2"},
        {"Sangeeta", "f2"},
        {"Veena", "f3"},
        {"Moira", "f2"},
        {"Fiona", "f2"},
        {"Tessa", "f2"},
        {"Emily", "f2"},
        {"Serena", "f3"},
        {"Kate", "f4"},
        {"Ting-Ting", "f2"},
        {"Sin-Ji", "f2"},
        {"Ya-Ling", "f2"},
        {"Zuzana", "f2"},
        {"lveta", "f3"},
        {"Ida", "f2"},
        {"Sara", "f3"},
        {"Ellen", "f2"},
        {"Claire", "f2"},
        {"Satu", "f2"},
        {"Julie", "f2"},
        {"Amelie", "f3"},
        {"Chantal", "f4"},
        {"Virginie", "f2"},
        {"Audrey", "f3"},
        {"Aurelie", "f4"},
        {"Anna", "f2"},
        {"Steffi", "f3"},
        {"Petra", "f4"},
        {"Melina", "f2"},
        {"Lekha", "f2"},
        {"Eszter", "f2"},
        {"Damayanti", "f2"},
        {"Silvia", "f2"},
        {"Alice", "f3"},
        {"Federica", "f4"},
        {"Kyoko", "f2"},
        {"Narae", "f2"},
        {"Yuna", "f3"},
        {"Stine", "f2"},
        {"Nora", "f3"},
        {"Agata", "f2"},
        {"Ewa", "f3"},
        {"Zosia", "f4"},
        {"Raquel", "f2"},
        {"Luciana", "f3"},
        {"Joana", "f2"},
        {"Catarina", "f3"},
        {"Simona", "f2"},
        {"loana", "f3"},
        {"Milena", "f2"},
        {"Katya", "f3"},
        {"Laura", "f2"},
        {"Paulina", "f2"},
        {"Angelica", "f3"},
        {"Monica", "f2"},
        {"Alva", "f2"},
        {"Klara", "f3"},
        {"Narisa", "f2"},
        {"Kanya", "f3"},
        {"Aylin", "f2"},
        {"Yelda", "f3"},
        {"Vicki", "f1"},
        {"Agnes", "f2"},
        {"Princess", "f5"},
        {"Kathy", "f3"},
        {"Victoria", "f4"},
        {"Ava", "f2"},
        {"Samantha", "f3"},
        {"Allison", "f4"},
        {"Susan", "f1"},
        // male
        {"Lee", "m3"},
        {"Daniel", "m3"},
        {"Oliver", "m5"},
        {"Maged", "m3"},
        {"Tarik", "m5"},
        {"Magnus", "m3"},
        {"Xander", "m3"},
        {"Mikko", "m3"},
        {"Felix", "m3"},
        {"Nicolas", "m5"},
        {"Sebastien", "m3"},
        {"Thomas", "m5"},
        {"Yannick", "m3"},
        {"Markus", "m5"},
        {"Alexandros", "m3"},
        {"Nikos", "m5"},
        {"Paolo", "m3"},
        {"Luca", "m5"},
        {"Otoya", "m3"},
        {"Henrik", "m3"},
        {"Felipe", "m3"},
        {"Yuri", "m3"},
        {"Javier", "m3"},
        {"Juan", "m5"},
        {"Diego", "m3"},
        {"Jorge", "m5"},
        {"Oskar", "m3"},
        {"Cem", "m3"},
        {"Alex", "m3"},
        {"Fred", "m1"},
        {"Ralph", "m6"},
        {"Bruce", "m4"},
        {"Tom", "m5"},
        {"Junior", "f5"},
        // the others
        {"Albert", "klatt2"},
        {"BadNews", "grandpa"},
        {"Bahh", "croak"},
        {"Bells", "klatt3"},
        {"Boing", "Tweaky"},
        {"Bubbles", "klatt4"},
        {"Deranged", "Demonic"},
        {"Cellos", "klatt5"},
        {"GoodNews", "announcer"},
        {"Hysterical", "AnxiousAndy"},
        {"Organ", "klatt6"},
        {"Trinoids", "robosoft"},
        {"Whisper", "whisper"},
        {"Zarvox", "UniRobot"},
    };
    const auto it = variants.find(title);
    return it == variants.end() ? std::string() : it->second;
}

EngineVoice engineVoiceFor(const std::string& localeTag, const std::string& voiceTitle,
                           const std::vector<SpeechVoice>& installed) {
    const std::string locale = normaliseLocale(localeTag);
    if (locale.rfind("ja", 0) == 0) {
        // The engine speaks Japanese kana only; a book in kanji would come out as noise.
        return {{}, "Japanese can't be spoken: the speech engine does not read kanji."};
    }
    // A title that is an installed voice's own name speaks with that voice as it is.
    for (const SpeechVoice& voice : installed) {
        if (!voice.displayName.empty() && voice.displayName == voiceTitle) {
            return {voice.name, {}};
        }
    }
    const std::string base = engineLanguageVoice(locale, installed);
    if (base.empty()) {
        return {{}, "The speech engine has no voice for this language (" + localeTag + ")."};
    }
    const std::string variant = variantForVoiceTitle(voiceTitle);
    return {variant.empty() ? base : base + "+" + variant, {}};
}

} // namespace quarrow
