#include "framework/doc/Document.h"

#include "platform/Archive.h"
#include "platform/AtomicFileWriter.h"
#include "platform/Exceptions.h"
#include "platform/MessageSink.h"
#include "platform/Strings.h"

#include "TempDir.h"
#include "tests/common/FileSizeLimit.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <unistd.h>

namespace {

struct SCall
{
    IDocView* sender;
    intptr_t lHint;
    void* pHint;
};

class CRecordingView : public IDocView
{
public:
    void OnUpdate(IDocView* pSender, intptr_t lHint, void* pHint) override
    {
        m_calls.push_back({pSender, lHint, pHint});
        if (m_onUpdate)
            m_onUpdate();
    }
    std::vector<SCall> m_calls;
    std::function<void()> m_onUpdate;
};

class CRecordingSink : public IMessageSink
{
public:
    CRecordingSink() { m_previous = SetMessageSink(this); }
    ~CRecordingSink() override { SetMessageSink(m_previous); }
    int ShowMessage(const std::string& text, unsigned) override
    {
        m_texts.push_back(text);
        return IDOK;
    }
    std::vector<std::string> m_texts;
    IMessageSink* m_previous;
};

// A document holding one string and a count, as a record would.
class CTextDoc : public CDocument
{
public:
    void DeleteContents() override
    {
        m_text.clear();
        ++m_deleted;
    }
    void Serialize(CArchive& ar) override
    {
        if (ar.IsStoring()) {
            ar << m_text << int32_t(m_text.size());
            if (m_failAfterText)
                throw CArchiveException(CArchiveException::genericException);
        } else {
            int32_t n;
            ar >> m_text >> n;
            if (m_text == "abandon") {
                AfxMessageBox("reader's own message");
                throw CUserException();
            }
        }
    }
    std::string m_text;
    int m_deleted = 0;
    bool m_failAfterText = false;
};

} // namespace

TEST(Document, UpdateAllViewsSkipsTheSenderAndPassesTheHints)
{
    CDocument doc;
    CRecordingView a, b, c;
    doc.AddView(&a);
    doc.AddView(&b);
    doc.AddView(&c);
    doc.AddView(&b); // once only
    int record = 0;
    doc.UpdateAllViews(&b, 42, &record);
    ASSERT_EQ(a.m_calls.size(), 1u);
    EXPECT_TRUE(b.m_calls.empty());
    ASSERT_EQ(c.m_calls.size(), 1u);
    EXPECT_EQ(a.m_calls[0].sender, &b);
    EXPECT_EQ(a.m_calls[0].lHint, 42);
    EXPECT_EQ(a.m_calls[0].pHint, &record);

    doc.UpdateAllViews(nullptr);
    EXPECT_EQ(b.m_calls.size(), 1u);
    EXPECT_EQ(a.m_calls.size(), 2u);

    // A view that closes another during its update: the closed one is not called.
    a.m_onUpdate = [&] { doc.RemoveView(&c); };
    doc.UpdateAllViews(nullptr);
    EXPECT_EQ(c.m_calls.size(), 2u);
    EXPECT_EQ(doc.GetViews(), (std::vector<IDocView*>{&a, &b}));
}

TEST(Document, PathTitleAndModifiedFlag)
{
    CDocument doc;
    EXPECT_FALSE(doc.IsModified());
    doc.SetModifiedFlag();
    EXPECT_TRUE(doc.IsModified());
    doc.SetPathName("/data/run 7/sample.vlt");
    EXPECT_EQ(doc.GetPathName(), "/data/run 7/sample.vlt");
    EXPECT_EQ(doc.GetTitle(), "sample.vlt");
    doc.SetTitle("Untitled1");
    EXPECT_EQ(doc.GetTitle(), "Untitled1");
    EXPECT_TRUE(doc.OnNewDocument());
    EXPECT_FALSE(doc.IsModified());
}

TEST(Document, SaveThenOpenRoundTrip)
{
    CTempDir dir;
    CRecordingSink sink;
    CTextDoc doc;
    doc.m_text = "spectrum";
    doc.SetModifiedFlag();
    ASSERT_TRUE(doc.OnSaveDocument(dir / "a.vlt"));
    EXPECT_FALSE(doc.IsModified());
    CTextDoc back;
    back.m_text = "stale";
    ASSERT_TRUE(back.OnOpenDocument(dir / "a.vlt"));
    EXPECT_EQ(back.m_text, "spectrum");
    EXPECT_EQ(back.m_deleted, 1);
    EXPECT_FALSE(back.IsModified());
    EXPECT_TRUE(sink.m_texts.empty());
}

TEST(Document, FailedOpensAreReportedOnce)
{
    CTempDir dir;
    WriteAll(dir / "cut.vlt", std::string("\x08spec", 5)); // the string promises 8 bytes
    WriteAll(dir / "abandon.vlt", std::string("\x07"
                                              "abandon\x07\0\0\0",
                                              12));
    struct Row
    {
        std::string file;
        std::vector<std::string> messages;
    } rows[] = {
        {"cut.vlt", {LoadString(61699)}},
        {"missing.vlt", {FormatMessageId(61700, {dir / "missing.vlt"})}},
        {"abandon.vlt", {"reader's own message"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        CRecordingSink sink;
        CTextDoc doc;
        EXPECT_FALSE(doc.OnOpenDocument(dir / row.file));
        EXPECT_EQ(sink.m_texts, row.messages);
        EXPECT_TRUE(doc.m_text.empty()); // nothing half-read stays
    }
    EXPECT_FALSE(LoadString(61699).empty());
}

TEST(Document, AFailedSaveLeavesTheOldFileAndSaysSo)
{
    CTempDir dir;
    WriteAll(dir / "a.vlt", "old bytes");
    CRecordingSink sink;
    CTextDoc doc;
    doc.m_text = "new";
    doc.m_failAfterText = true;
    doc.SetModifiedFlag();
    EXPECT_FALSE(doc.OnSaveDocument(dir / "a.vlt"));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(ReadAll(dir / "a.vlt"), B("old bytes"));
    EXPECT_EQ(sink.m_texts, std::vector<std::string>{LoadString(61697)});
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path()))
        ++files;
    EXPECT_EQ(files, 1u);

    doc.m_failAfterText = false;
    sink.m_texts.clear();
    EXPECT_FALSE(doc.OnSaveDocument(dir / "no/such/folder.vlt"));
    EXPECT_EQ(sink.m_texts, std::vector<std::string>{FormatMessageId(61701, {dir / "no/such/folder.vlt"})});
}

TEST(Document, ASaveThatTheFileSystemRefusesNamesTheFileAndWhy)
{
    CTempDir dir;
    WriteAll(dir / "a.vlt", "old bytes");
    std::filesystem::create_directory(dir / "folder.vlt");
    const long nameMax = ::pathconf(dir.Path().c_str(), _PC_NAME_MAX);
    ASSERT_GT(nameMax, 0);
    const std::string tooLong = dir / std::string(size_t(nameMax) + 1, 'n');
    struct
    {
        const char* name;
        std::string path;
        rlim_t limit; // 0: none
        unsigned message;
    } cases[] = {
        {"a folder", dir / "folder.vlt", 0, 61701},
        {"a name too long", tooLong, 0, 61701},
        {"the disk full", dir / "a.vlt", 4096, 61703},
    };
    for (bool unnamed : {true, false}) {
        CAtomicFileWriter::AllowUnnamedTemporaries(unnamed);
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (unnamed ? ", unnamed temporary" : ", named temporary"));
            CRecordingSink sink;
            CTextDoc doc;
            doc.m_text = std::string(1 << 16, 'x');
            doc.SetModifiedFlag();
            {
                std::optional<CFileSizeLimit> limit;
                if (c.limit) {
                    limit.emplace(c.limit);
                    ASSERT_TRUE(limit->IsSet());
                }
                EXPECT_FALSE(doc.OnSaveDocument(c.path));
            }
            EXPECT_TRUE(doc.IsModified());
            EXPECT_EQ(sink.m_texts, std::vector<std::string>{FormatMessageId(c.message, {c.path})});
            EXPECT_EQ(ReadAll(dir / "a.vlt"), B("old bytes"));
            size_t files = 0;
            for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path()))
                ++files;
            EXPECT_EQ(files, 2u) << "no temporary left";
        }
    }
    CAtomicFileWriter::AllowUnnamedTemporaries(true);
}
