#include "audiobook/HtmlText.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace quarrow;

namespace {

struct Case {
    const char* name;
    std::string html;
    std::string text;
};
// Test lists show the case's name, not its bytes.
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class HtmlToText : public ::testing::TestWithParam<Case> {};

TEST_P(HtmlToText, Converts) {
    EXPECT_EQ(stringByConvertingHTMLToPlainText(GetParam().html), GetParam().text);
}

// The conversion the speech reads: tags, white space, comments, then character references.
INSTANTIATE_TEST_SUITE_P(
    Cases, HtmlToText,
    ::testing::Values(
        // Each closing block tag adds a blank, the last one too: its ">" is still unread at the test.
        Case{"ParagraphsAndAmpersand", "<p>Hello</p><p>World &amp; you</p>", "Hello World & you "},
        Case{"InlineTagsJoin", "<b>bold</b>text <a href=\"x\">link</a>s <SPAN>up</SPAN>per", "boldtext links upper"},
        Case{"HeadingNameIsLettersOnly", "<h1>Title</h1>Body", "Title Body"},
        Case{"DecimalThenHex", "&#65;&#x42;&#X43;", "ABC"},
        Case{"UnknownNameStays", "&bogus; &APOS; &apos;", "&bogus; &APOS; '"},
        Case{"WhiteSpaceRunsCollapse",
             "  a \t\r\n b\xC2\x85"
             "c\xE2\x80\xA8\xE2\x80\xA9"
             "d\f e  ",
             "a b c d e"},
        Case{"NoBreakSpaceIsText",
             "a\xC2\xA0"
             "b&nbsp;c",
             "a\xC2\xA0"
             "b\xC2\xA0"
             "c"},
        Case{"CommentsGo", "a<!-- <p>hidden</p> -->b<!-- never closed", "ab"},
        Case{"OpeningTagsLeaveNothing", "<html><head><title>T</title></head><body><p>x", "T  x"},
        Case{"ScriptTextIsKept", "<script>var a;</script>b", "var a; b"},
        Case{"CandidateEndsBeforeNextAmpersand", "&lt&gt; &amp;lt;", "&lt> &lt;"},
        Case{"LengthFourToTen", "&thetasym; &#x0000041; &#1;", "\xCF\x91 &#x0000041; \x01"},
        Case{"ValueRange", "&#0; &#65534; &#65535; &#x10000; &#+65; &#x;",
             "&#0; \xEF\xBF\xBE &#65535; &#x10000; &#+65; &#x;"},
        Case{"SurrogatePairOfReferences", "&#xD83D;&#xDE00;", "\xF0\x9F\x98\x80"},
        Case{"LoneSurrogatesBecomeReplacement", "&#xD83D;x &#56832; &#xD83D; &#xDE00;",
             "\xEF\xBF\xBDx \xEF\xBF\xBD \xEF\xBF\xBD \xEF\xBF\xBD"},
        Case{"NamedFromEachTable", "&yuml;&Omega;&diams;&euro;&OElig;&fnof;&quot;",
             "\xC3\xBF\xCE\xA9\xE2\x99\xA6\xE2\x82\xAC\xC5\x92\xC6\x92\""},
        Case{"Empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HtmlReferences, EveryNamedReferenceOfHtml4Decodes) {
    // The 252 names of HTML 4.01 and "&apos;", one per line: none may stay as written.
    const char* const kNames[] = {
        "nbsp",   "iexcl",   "cent",   "pound",  "curren", "yen",     "brvbar",   "sect",   "uml",    "copy",
        "ordf",   "laquo",   "not",    "shy",    "reg",    "macr",    "deg",      "plusmn", "sup2",   "sup3",
        "acute",  "micro",   "para",   "middot", "cedil",  "sup1",    "ordm",     "raquo",  "frac14", "frac12",
        "frac34", "iquest",  "Agrave", "Aacute", "Acirc",  "Atilde",  "Auml",     "Aring",  "AElig",  "Ccedil",
        "Egrave", "Eacute",  "Ecirc",  "Euml",   "Igrave", "Iacute",  "Icirc",    "Iuml",   "ETH",    "Ntilde",
        "Ograve", "Oacute",  "Ocirc",  "Otilde", "Ouml",   "times",   "Oslash",   "Ugrave", "Uacute", "Ucirc",
        "Uuml",   "Yacute",  "THORN",  "szlig",  "agrave", "aacute",  "acirc",    "atilde", "auml",   "aring",
        "aelig",  "ccedil",  "egrave", "eacute", "ecirc",  "euml",    "igrave",   "iacute", "icirc",  "iuml",
        "eth",    "ntilde",  "ograve", "oacute", "ocirc",  "otilde",  "ouml",     "divide", "oslash", "ugrave",
        "uacute", "ucirc",   "uuml",   "yacute", "thorn",  "yuml",    "fnof",     "Alpha",  "Beta",   "Gamma",
        "Delta",  "Epsilon", "Zeta",   "Eta",    "Theta",  "Iota",    "Kappa",    "Lambda", "Mu",     "Nu",
        "Xi",     "Omicron", "Pi",     "Rho",    "Sigma",  "Tau",     "Upsilon",  "Phi",    "Chi",    "Psi",
        "Omega",  "alpha",   "beta",   "gamma",  "delta",  "epsilon", "zeta",     "eta",    "theta",  "iota",
        "kappa",  "lambda",  "mu",     "nu",     "xi",     "omicron", "pi",       "rho",    "sigmaf", "sigma",
        "tau",    "upsilon", "phi",    "chi",    "psi",    "omega",   "thetasym", "upsih",  "piv",    "bull",
        "hellip", "prime",   "Prime",  "oline",  "frasl",  "weierp",  "image",    "real",   "trade",  "alefsym",
        "larr",   "uarr",    "rarr",   "darr",   "harr",   "crarr",   "lArr",     "uArr",   "rArr",   "dArr",
        "hArr",   "forall",  "part",   "exist",  "empty",  "nabla",   "isin",     "notin",  "ni",     "prod",
        "sum",    "minus",   "lowast", "radic",  "prop",   "infin",   "ang",      "and",    "or",     "cap",
        "cup",    "int",     "there4", "sim",    "cong",   "asymp",   "ne",       "equiv",  "le",     "ge",
        "sub",    "sup",     "nsub",   "sube",   "supe",   "oplus",   "otimes",   "perp",   "sdot",   "lceil",
        "rceil",  "lfloor",  "rfloor", "lang",   "rang",   "loz",     "spades",   "clubs",  "hearts", "diams",
        "quot",   "amp",     "lt",     "gt",     "OElig",  "oelig",   "Scaron",   "scaron", "Yuml",   "circ",
        "tilde",  "ensp",    "emsp",   "thinsp", "zwnj",   "zwj",     "lrm",      "rlm",    "ndash",  "mdash",
        "lsquo",  "rsquo",   "sbquo",  "ldquo",  "rdquo",  "bdquo",   "dagger",   "Dagger", "permil", "lsaquo",
        "rsaquo", "euro",    "apos"};
    ASSERT_EQ(std::size(kNames), 253u);
    for (const char* name : kNames) {
        const std::string reference = std::string("&") + name + ";";
        EXPECT_NE(decodeHTMLCharacterReferences(reference), reference) << name;
    }
}

} // namespace
