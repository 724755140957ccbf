#include "platform/Strings.h"
#include "platform/MessageSink.h"
#include "platform/StringTable.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>

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
