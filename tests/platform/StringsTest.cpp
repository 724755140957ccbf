#include "platform/Strings.h"
#include "platform/MessageSink.h"
#include "platform/StringTable.h"

#include "TempDir.h"
#include "tests/common/ScopedLocale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

TEST(StringTable, BuiltInTableLoadsCleanly)
{
    EXPECT_EQ(LoadString(1024), "Kestrin (UK) Ltd");
    std::string text = "unchanged";
    EXPECT_FALSE(TryLoadString(4000000000u, text));
    EXPECT_EQ(text, "unchanged");
    EXPECT_EQ(LoadString(4000000000u), "");
    // Every line of res/strings.txt is well formed and no id is given twice.
    for (const std::string& problem : StringTableProblems())
        ADD_FAILURE() << "res/strings.txt " << problem;
}

TEST(StringTable, ParsesEscapesCommentsAndReportsBadLines)
{
    std::unordered_map<unsigned, std::string> table;
    std::vector<std::string> problems;
    ParseStringTable("# comment\n"
                     "\n"
                     "1\tone\\ntwo\\tthree\\\\four \\q\r\n"
                     "0x10\thex id\n"
                     "2\t\n"
                     "1\tsecond one\n"
                     "no tab here\n"
                     "3x\tbad id\n"
                     "4\tlast line without newline",
                     table, problems);
    EXPECT_EQ(table[1], "one\ntwo\tthree\\four \\q");
    EXPECT_EQ(table[16], "hex id");
    EXPECT_EQ(table.count(2), 1u);
    EXPECT_EQ(table[2], "");
    EXPECT_EQ(table[4], "last line without newline");
    EXPECT_EQ(table.size(), 4u);
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_NE(problems[0].find("line 6"), std::string::npos); // the repeated id; the first entry wins
    EXPECT_NE(problems[1].find("line 7"), std::string::npos);
    EXPECT_NE(problems[2].find("line 8"), std::string::npos);
}

namespace {

// The inserts a text takes: how many numbered ones (%1 ... %n, each from 1 up)
// and the printf conversions in order ("sig" for %s %i %g); '?' stands for a
// '%' that starts neither.
struct SInserts
{
    int numbered = 0;
    std::string conversions;
    bool operator==(const SInserts&) const = default;
};

SInserts InsertsOf(const std::string& text)
{
    SInserts r;
    int highest = 0, count = 0;
    unsigned seen = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%')
            continue;
        if (++i == text.size()) {
            r.conversions += '?';
            break;
        }
        if (text[i] == '%')
            continue;
        if (text[i] >= '1' && text[i] <= '9') {
            const int n = text[i] - '0';
            if (!(seen & (1u << n)))
                ++count;
            seen |= 1u << n;
            highest = std::max(highest, n);
            continue;
        }
        while (i < text.size() && std::strchr("-+ #0123456789.lh", text[i]))
            ++i;
        r.conversions += i < text.size() && std::strchr("diuxXcsfeEgG", text[i]) ? text[i] : '?';
    }
    // %1 and %3 without %2 counts as a gap: one argument would go unshown.
    r.numbered = highest == count ? count : -1;
    return r;
}

} // namespace

// Every text the program looks up by number, grouped by what its callers fill
// in: a text missing from res/strings.txt, or one whose inserts no longer match
// its callers' (a "%s" where an int is passed reads past the arguments), fails.
TEST(StringTable, EveryTextTheProgramUsesTakesTheInsertsItsCallersFill)
{
    struct Row
    {
        const char* use;
        SInserts inserts;
        std::vector<unsigned> ids;
    } const rows[] = {
        {"captions, labels, grid headings, file filters and names",
         {0, ""},
         {1024, 1025, 1040, 1041, 1042, 1043, 1044, 1045, 1046, 1056, 1057, 1058, 1059, 1060, 1061,
          1062, 1073, 1075, 1088, 1089, 1090, 1091, 1093, 1095, 1096, 1104, 1105, 1106, 1107, 1108,
          1109, 1120, 1121, 1122, 1123, 1124, 1125, 1126, 1127, 1128, 1129, 1130, 1131, 1132, 1133,
          1134, 1135, 1136, 1137, 1138, 1139, 1140, 1141, 1142, 1143, 1144, 1145, 1146, 1147, 1148,
          1149, 1150, 1151, 1152, 1153, 1154, 1155, 1156, 1157, 1159, 1160, 1162, 1163, 1164, 1165,
          1167, 1168, 1169, 1170, 1171, 1172, 1173, 1174, 1175, 1176, 1181, 1204, 1205, 1206, 1264,
          1265, 1266, 1268, 1280, 1344, 1345, 1346, 1347, 1348, 1349, 1350, 1351, 1352, 1353, 1354,
          1356, 1358, 1376, 1377, 1379, 1380, 1381, 1392, 1408, 1409, 1410, 61443}},
        {"messages shown as they stand",
         {0, ""},
         {2048, 2050, 2051, 2052, 2061,  2062,  2063,  2064,  2078,  2079,  2080,  2082,  2096, 2097,
          2098, 2099, 2101, 2104, 2111,  2114,  2115,  2128,  2130,  2131,  2132,  2142,  2143, 2176,
          2179, 2180, 2192, 2193, 2196,  2200,  2240,  2241,  2243,  2244,  2245,  2246,  2247, 2248,
          2250, 2251, 2253, 2254, 2255,  2256,  2257,  2273,  2274,  2275,  2276,  2277,  2278, 2279,
          2280, 2281, 2282, 2283, 2284,  2285,  2286,  2287,  2288,  2289,  2290,  2291,  2292, 2293,
          2294, 2295, 2296, 2297, 2299,  2304,  2305,  2306,  2307,  2320,  2321,  2322,  2323, 2324,
          2325, 2326, 2327, 2328, 2352,  2353,  2369,  2370,  2371,  2372,  2384,  2385,  5120, 5121,
          5169, 5184, 5185, 5186, 61696, 61697, 61699, 61706, 61707, 61708, 61712, 61713, 61717}},
        {"messages with a file, document, group or limit as %1",
         {1, ""},
         {2065, 2066, 2067,  2068,  2069,  2070,  2071,  2073,  2083,  2084, 2085, 2086,
          2087, 2088, 2089,  2090,  2091,  2092,  2100,  2105,  2112,  2113, 2129, 2135,
          2137, 2160, 2161,  2177,  2178,  2194,  2195,  2197,  2198,  2199, 2201, 2368,
          4096, 5170, 61698, 61700, 61701, 61702, 61703, 61704, 61705, 61716}},
        {"messages with two numbers", {2, ""}, {2181, 61714, 61715, 61718}},
        {"VAMAS export refusal: the document, then the value it names", {2, ""}, {2093}},
        {"VAMAS export values of the whole document", {0, ""}, {2400, 2401, 2402, 2403, 2413}},
        {"VAMAS export values of a position", {1, ""}, {2410, 2411, 2412}},
        {"VAMAS export values of a region or level, then its position",
         {2, ""},
         {2404, 2405, 2406, 2407, 2408, 2409}},
        {"set-up checks: a range as two arguments", {0, "gg"}, {2138, 2139, 2140, 2141}},
        {"set-up checks: group and range as three arguments", {0, "sss"}, {2133}},
        {"set-up checks: group as %1, range after it", {1, "ss"}, {2136}},
        {"manual stage prompts: caption and a number", {0, "si"}, {5138, 5139, 5146, 5147, 5168}},
        {"manual stage prompt: caption, specimen, axis", {0, "sis"}, {5136}},
        {"manual stage prompt: caption, axis, specimen", {0, "ssi"}, {5137}},
        {"manual stage prompts: caption, axis, distance", {0, "ssg"}, {5140, 5141, 5142, 5143, 5144, 5145}},
        {"charge correction's number format", {0, "f"}, {1302}},
    };
    for (const Row& row : rows)
        for (unsigned id : row.ids) {
            std::string text;
            if (!TryLoadString(id, text)) {
                ADD_FAILURE() << id << " (" << row.use << ") has no text";
                continue;
            }
            EXPECT_FALSE(text.empty()) << id << " (" << row.use << ")";
            const SInserts got = InsertsOf(text);
            EXPECT_TRUE(got == row.inserts) << id << " (" << row.use << "): \"" << text << "\" takes "
                                            << got.numbered << " numbered and \"" << got.conversions << "\"";
        }
    // The reader of the inserts itself.
    EXPECT_TRUE((InsertsOf("a %1 b %2 c %1 100%%") == SInserts{2, ""}));
    EXPECT_TRUE((InsertsOf("%1 and %3") == SInserts{-1, ""}));
    EXPECT_TRUE((InsertsOf("%-5.2lf %s %i %q 50%") == SInserts{0, "fsi??"}));
}

TEST(FormatString, PlaceholdersByNumber)
{
    struct Row
    {
        const char* format;
        std::initializer_list<std::string_view> args;
        const char* expected;
    } rows[] = {
        {"The file '%1' is bad", {"a.vlt"}, "The file 'a.vlt' is bad"},
        {"%2 before %1", {"one", "two"}, "two before one"},
        {"%1%1", {"x"}, "xx"},
        {"100%% of %1", {"it"}, "100%% of it"},
        {"%%1 stays", {"x"}, "%%1 stays"},
        {"%3 has no argument", {"a"}, "%3 has no argument"},
        {"%0 and %a and a lone %", {"a"}, "%0 and %a and a lone %"},
        {"%1", {"%2"}, "%2"}, // arguments are not scanned again
    };
    for (const Row& row : rows)
        EXPECT_EQ(FormatString(row.format, row.args), row.expected) << row.format;
    EXPECT_EQ(FormatMessageId(1024, {"x"}), "Kestrin (UK) Ltd");
}

namespace {

std::string CPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string CPrintf(const char* format, ...)
{
    char buf[512];
    va_list ap;
    va_start(ap, format);
    vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    return buf;
}

// Formats that the compiler's format check would refuse.
std::string Unchecked(const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    std::string s = FormatPrintfV(format, ap);
    va_end(ap);
    return s;
}

// Makes LC_NUMERIC use a decimal comma. The locale is built into a scratch
// folder when the system has none installed.
bool SetDecimalCommaLocale(const CTempDir& dir)
{
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        return true;
    const std::string cmd = "localedef -i de_DE -f UTF-8 '" + (dir / "de_DE.UTF-8") + "' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0)
        return false;
    setenv("LOCPATH", dir.Path().c_str(), 1);
    const bool ok = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    unsetenv("LOCPATH");
    return ok;
}

// The C library's printf in the "C" locale is the reference.
void ExpectSameAsCPrintf()
{
    const double inf = std::numeric_limits<double>::infinity();
#define SAME(...) EXPECT_EQ(FormatPrintf(__VA_ARGS__), CPrintf(__VA_ARGS__)) << #__VA_ARGS__
    SAME("%g %g %g %g %g", 0.0, 1.5, 1e-5, 123456789.0, -0.0001234);
    SAME("%.3g|%.10g|%.0g|%#g|%#.3g|%G", 3.14159, 1.0 / 3.0, 2.5, 1.0, 100.0, 1e-20);
    SAME("%f|%.2f|%.0f|%#.0f|%10.3f|%-10.3f|%+f|% f|%010.2f", 1.005, 2.675, 0.5, 3.0, -1.5, 1.5, 2.0, 2.0,
         -3.25);
    SAME("%e|%.3E|%12.4e|%.0e|%#.0e", 12345.678, 0.000123, -1e100, 5e-324, 7.0);
    SAME("%.15g|%.17g|%f", 0.1, 0.1, 1e300);
    SAME("%f %F %e %g %5.1f %-6g|", inf, -inf, std::nan(""), -inf, inf, inf);
    SAME("%d|%i|%5d|%-5d|%05d|%+d|% d|%.3d|%.0d|%x|%X|%#x|%#o|%o|%u", 42, -42, 7, 7, -7, 7, 7, 7, 0, 255, 255,
         255, 8, 8, 4000000000u);
    SAME("%ld|%lld|%lu|%llx|%zu|%hd|%hhu|%hhd", -1L, -9223372036854775807LL - 1, 18446744073709551615UL,
         0xDEADBEEFCAFEull, size_t(12), (short)-3, (unsigned char)200, (signed char)-5);
    SAME("%s|%5s|%-5s|%.2s|%c|%3c|%%|%*d|%-*d|%.*f", "abc", "ab", "ab", "abcdef", 'z', 'y', 5, 1, 5, 2, 2,
         3.14159);
    SAME("Energy %g eV, step %g, %i scans", 1486.6, 0.05, 10);
#undef SAME
}

} // namespace

TEST(FormatPrintf, MatchesCPrintfInTheCLocale)
{
    ExpectSameAsCPrintf();
    EXPECT_EQ(FormatG(1486.6), "1486.6");
    EXPECT_EQ(Unchecked("%s", static_cast<const char*>(nullptr)), "(null)");
    EXPECT_EQ(Unchecked("%5%|%y|%"), "%|%y|%"); // unknown conversions are shown as written
}

TEST(FormatPrintf, IgnoresADecimalCommaLocale)
{
    CTempDir dir;
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (!SetDecimalCommaLocale(dir))
        GTEST_SKIP() << "no de_DE locale and none can be built";
    EXPECT_EQ(CPrintf("%.1f", 1.5), "1,5"); // the locale is really in force
    EXPECT_EQ(FormatPrintf("%.1f|%g|%e", 1.5, 0.25, 1.0), "1.5|0.25|1.000000e+00");
    EXPECT_EQ(FormatG(-1.75), "-1.75");
    std::setlocale(LC_NUMERIC, saved.c_str());
}

// Under a Turkish LC_CTYPE toupper('i') is not 'I'.
TEST(FormatPrintf, UpperCaseConversionsIgnoreATurkishLocale)
{
    CScopedLocale turkish(LC_CTYPE, "tr_TR.UTF-8");
    if (!turkish.Active())
        GTEST_SKIP() << "no tr_TR locale and none can be built";
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(FormatPrintf("%G|%E|%F|%X", inf, -inf, std::nan(""), 0xabcu), "INF|-INF|NAN|ABC");
}

namespace {

class CRecordingSink : public IMessageSink
{
public:
    int ShowMessage(const std::string& text, unsigned type) override
    {
        m_calls.emplace_back(text, type);
        return IDYES;
    }
    std::vector<std::pair<std::string, unsigned>> m_calls;
};

} // namespace

TEST(MessageSink, InstalledSinkReceivesTextAndTypeThenDefaultReturns)
{
    CRecordingSink sink;
    IMessageSink* previous = SetMessageSink(&sink);
    ASSERT_NE(previous, nullptr);
    EXPECT_EQ(AfxMessageBox("Question?", MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(AfxMessageBox(1024u, MB_OK), IDYES);
    ASSERT_EQ(sink.m_calls.size(), 2u);
    EXPECT_EQ(sink.m_calls[0],
              std::make_pair(std::string("Question?"), unsigned(MB_YESNO | MB_ICONQUESTION)));
    EXPECT_EQ(sink.m_calls[1].first, "Kestrin (UK) Ltd");
    EXPECT_EQ(SetMessageSink(nullptr), &sink);
    testing::internal::CaptureStderr();
    EXPECT_EQ(AfxMessageBox("to stderr"), IDOK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "to stderr\n");
}
