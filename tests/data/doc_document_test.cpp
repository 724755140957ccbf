#include "data/ImportReader.h"
#include "data/SpecRgn.h"
#include "data/Trace.h"
#include "data/Update.h"
#include "data/VeltraneDoc.h"

#include "doc_file_builder.h"
#include "platform/Archive.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "tests/common/RecordingSink.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

namespace {

const char* const UnexpectedFormat = "Unexpected file format.";

std::vector<uint8_t> Save(CVeltraneDoc& doc)
{
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    doc.Serialize(ar);
    ar.Close();
    return file.Data();
}

// Reads bytes into doc as a file named "t.vlt"; the reader's messages go to sink.
bool Load(CVeltraneDoc& doc, const std::vector<uint8_t>& bytes)
{
    CMemFile file(bytes, "t.vlt");
    return doc.ReadFrom(file);
}

std::vector<uint8_t> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(DocFile, NewDocumentStartsWithTheHeaderAndBlock1)
{
    CVeltraneDoc doc;
    const std::vector<uint8_t> bytes = Save(doc);
    const std::vector<uint8_t> head = {0x56, 0x65, 0x6C, 0x74, 0x72, 0x61, 0x6E, 0x65, 0, 0, 0, 0, 0, 0,
                                       0,    0,    1,    0,    0,    0,    3,    0,    0, 0, 1, 0, 3, 0};
    ASSERT_GE(bytes.size(), head.size() + 4);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 28), head);
    // No positions and no tool blocks: blocks 1, 2, 3, then the end marker.
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 4, bytes.end()), (std::vector<uint8_t>{0xFF, 0xFF, 0, 0}));
    EXPECT_EQ(bytes.size(), 24u + (8 + 90) + 36 + 16 + 4);
}

TEST(DocFile, EveryBlockKindRoundTripsByteForByte)
{
    const std::vector<uint8_t> original = CDataFileBuilder::EveryBlockKind();
    CRecordingSink sink;
    CVeltraneDoc doc;
    ASSERT_TRUE(Load(doc, original)) << sink.Last();
    ASSERT_EQ(doc.GetNumStagePosns(), 2);
    EXPECT_EQ(doc.GetStagePosn(0)->GetNumSpecRgns(), 2);
    EXPECT_EQ(doc.GetStagePosn(1)->GetNumImageRgns(), 6);
    EXPECT_EQ(doc.GetBackgroundSubtract()->GetAll(), (CBackground::Limits{{{1, 9}, {3, 0}}, {}}));
    const CQuantify& q = *doc.GetQuantify();
    ASSERT_TRUE(q.m_bValid);
    ASSERT_EQ(q.m_RgnLists.size(), 2u);
    ASSERT_EQ(q.m_RgnLists[0].size(), 2u);
    EXPECT_TRUE(q.m_RgnLists[1].empty());
    EXPECT_EQ(q.m_RgnLists[0][1].m_csLabel, "O 1s");
    EXPECT_EQ(q.m_RgnLists[0][1].m_pdResults, (std::vector<double>{4.0, 5.0, 6.0}));
    EXPECT_EQ(q.m_Display.m_iCalc, 2);
    const std::vector<uint8_t> written = Save(doc);
    EXPECT_EQ(written, original);

    CVeltraneDoc again;
    ASSERT_TRUE(Load(again, written));
    EXPECT_EQ(Save(again), original);
    EXPECT_TRUE(sink.m_messages.empty());
}

TEST(DocFile, TheArchiveNamesTheDocumentItFills)
{
    // Every block reader, the quantification's among them, is handed an
    // archive that leads back to the document, whose earlier blocks are in
    // place by then.
    class CWatchingDoc : public CVeltraneDoc
    {
    public:
        std::vector<CDocument*> seen;
        void Serialize(CArchive& ar) override
        {
            seen.push_back(ar.m_pDocument);
            CVeltraneDoc::Serialize(ar);
        }
    };
    CTempDir dir;
    const std::string path = dir / "doc.vlt";
    CWatchingDoc doc;
    ASSERT_TRUE(Load(doc, CDataFileBuilder::EveryBlockKind()));
    ASSERT_TRUE(doc.OnSaveDocument(path));
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(doc.seen, (std::vector<CDocument*>{&doc, &doc, &doc}));
    // An archive set up by hand gets the document too.
    CVeltraneDoc plain;
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    plain.Serialize(ar);
    EXPECT_EQ(ar.m_pDocument, &plain);
}

TEST(DocFile, LaterVersionsAndUnknownBlocksAreSkippedByLength)
{
    CDataFileBuilder b;
    b.Header();
    // Block 1 of version 4 with four more bytes after the detector.
    size_t at = b.BeginBlock(1, 4);
    b.I32(0x101).I32(2).Str("op").Str("").I32(0).F64(1.0).I32(0x100).I32(0).I32(0).I32(1).F64(0).I32(1);
    b.I32(0).I32(1).F64(1).I32(0).I32(0).I32(0).F64(1).I32(0).I32(0x12345678);
    b.EndBlock(at);
    // Block 2 longer than its 28 bytes.
    b.U16(2).U16(2).I32(36).F64(1).F64(1253.6).F64(1).I32(10).F64(99.0);
    b.IonGun();
    // An unknown block, a stray region block and a tool block of a later version.
    b.U16(7).U16(1).I32(4).U16(0xAAAA).U16(0xBB);
    at = b.BeginBlock(5, 1);
    b.I32(42);
    b.EndBlock(at);
    b.Opaque(169, 2, {0xDE, 0xAD});
    CDataFileBuilder::SPosnHead h;
    at = b.BeginPosn(h, 1);
    b.SpecRgn(3, 1).I32(0);
    b.EndPosn(at);
    b.End();

    CRecordingSink sink;
    CVeltraneDoc doc;
    ASSERT_TRUE(Load(doc, b.m_bytes)) << sink.Last();
    EXPECT_EQ(doc.GetExpType(), 0x101);
    EXPECT_EQ(doc.GetSource()->GetSourceType(), 10);
    EXPECT_EQ(doc.GetIonGun()->GetType(), 3);
    ASSERT_EQ(doc.GetNumStagePosns(), 1);
    EXPECT_EQ(doc.GetStagePosn(0)->GetSpecRgn(0)->GetTrace(0)->GetNumPoints(), 3);
    // Background limits that cannot be read leave the defaults, which are not saved.
    EXPECT_TRUE(doc.GetBackgroundSubtract()->IsDefault());
    const std::vector<uint8_t> written = Save(doc);
    const uint8_t block169[] = {169, 0};
    EXPECT_EQ(std::search(written.begin(), written.end(), std::begin(block169), std::end(block169)),
              written.end());
}

TEST(DocFile, EndsAfterTheMarkerWithOrWithoutItsZeroBytes)
{
    std::vector<uint8_t> bytes = CDataFileBuilder::EveryBlockKind();
    for (size_t cut : {0u, 2u}) {
        CRecordingSink sink;
        CVeltraneDoc doc;
        EXPECT_TRUE(Load(doc, std::vector<uint8_t>(bytes.begin(), bytes.end() - cut))) << cut;
        EXPECT_EQ(doc.GetNumStagePosns(), 2);
    }
}

TEST(DocFile, TruncatedAnywhereIsRefusedWithItsMessage)
{
    const std::vector<uint8_t> bytes = CDataFileBuilder::EveryBlockKind();
    // Cutting inside the end marker's identifier leaves no marker at all.
    for (size_t n = 0; n + 2 < bytes.size(); ++n) {
        CRecordingSink sink;
        CVeltraneDoc doc;
        ASSERT_FALSE(Load(doc, std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(n))))
            << "cut at " << n;
        ASSERT_EQ(sink.m_messages.size(), 1u) << "cut at " << n;
        if (n < 64)
            EXPECT_EQ(sink.Last(), "Unexpected end of file while reading 't.vlt'");
        else
            EXPECT_EQ(sink.Last(), UnexpectedFormat) << "cut at " << n;
    }
}

TEST(DocFile, CorruptLengthsAndCountsAreRefusedWithoutCrashing)
{
    // Every 32-bit field that the reader takes as a length or count.
    std::vector<size_t> fields;
    const std::vector<uint8_t> bytes = CDataFileBuilder::EveryBlockKind(&fields);
    ASSERT_GT(fields.size(), 20u);
    for (size_t at : fields) {
        for (int32_t value : {-1, 0, 0x7FFFFFFF, 0x10000000}) {
            std::vector<uint8_t> bad = bytes;
            for (int i = 0; i < 4; ++i)
                bad[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
            CRecordingSink sink;
            CVeltraneDoc doc;
            const bool read = Load(doc, bad);
            if (value == -1 || value >= 0x10000000) {
                EXPECT_FALSE(read) << "field at " << at << " set to " << value;
            }
            if (!read) {
                ASSERT_EQ(sink.m_messages.size(), 1u) << "field at " << at;
                EXPECT_TRUE(sink.Last() == UnexpectedFormat ||
                            sink.Last().find("erroneous data block identifier") != std::string::npos)
                    << sink.Last();
            }
        }
    }
}

TEST(DocFile, NestedBlockOfTheWrongKindAbandonsTheOpen)
{
    CDataFileBuilder b;
    b.Header().Experiment().Source().IonGun();
    CDataFileBuilder::SPosnHead h;
    const size_t at = b.BeginPosn(h, 0);
    b.I32(1);
    const size_t block = b.m_bytes.size();
    b.ImageRgn(3, 2, 2, 1);
    b.m_bytes[block] = 5; // announced as an image region, tagged as a spectrum region
    b.EndPosn(at);
    b.End();
    CRecordingSink sink;
    CVeltraneDoc doc;
    EXPECT_FALSE(Load(doc, b.m_bytes));
    ASSERT_EQ(sink.m_messages.size(), 1u);
    EXPECT_NE(sink.Last().find("erroneous data block identifier"), std::string::npos) << sink.Last();
}

// Which template opens a file, by its first 64 bytes.
TEST(DocFile, ClassifiesFilesByTheirFirst64Bytes)
{
    auto ownFile = [](int32_t fileType, int32_t expType) {
        CDataFileBuilder b;
        b.Header(fileType).Experiment(expType).Source().IonGun().End();
        return b.m_bytes;
    };
    auto text = [](std::string s) {
        s.resize(std::max<size_t>(s.size(), 64), ' ');
        return std::vector<uint8_t>(s.begin(), s.end());
    };
    using T = CVeltraneDoc::DocTemplate;
    struct Case
    {
        const char* what;
        std::vector<uint8_t> bytes;
        T expected;
        const char* message;
    };
    const Case cases[] = {
        {"wide scan", ownFile(0, 0x101), T::Spectrum, nullptr},
        {"profile in full scans", ownFile(0, 0x104), T::Spectrum, nullptr},
        {"fast profile", ownFile(0, 0x404), T::Profile, nullptr},
        {"map", ownFile(0, 0x201), T::Image, nullptr},
        {"secondary-electron image", ownFile(0, 0x202), T::Image, nullptr},
        {"AES settings", ownFile(1, 0x101), T::None,
         "The Veltrane file 't.vlt' cannot be opened as a data file"},
        {"XPS settings", ownFile(2, 0x101), T::None,
         "The Veltrane file 't.vlt' cannot be opened as a data file"},
        {"Norvale", text("Norvale"), T::Spectrum, nullptr},
        {"VAMAS in lower case", text("vamas surface chemical analysis standard data transfer format\r\n"),
         T::Spectrum, nullptr},
        {"VAMAS after two blank lines",
         text("\r\n\r\nVAMAS Surface Chemical Analysis Standard Data Transfer Format 1988 May 4\r\n"),
         T::Spectrum, nullptr},
        {"VAMAS after a byte-order mark",
         text("\xEF\xBB\xBFVAMAS Surface Chemical Analysis Standard Data Transfer Format 1988 May 4\r\n"),
         T::Spectrum, nullptr},
        {"63 bytes", std::vector<uint8_t>(63, 'N'), T::None, "Unexpected end of file while reading 't.vlt'"},
        {"something else", text("#!/bin/sh"), T::None,
         "The file 't.vlt' contains data in an unsupported format."},
        {"name in other case", text("VELTRANE"), T::None,
         "The file 't.vlt' contains data in an unsupported format."},
    };
    for (const Case& c : cases) {
        CRecordingSink sink;
        CMemFile file(c.bytes, "t.vlt");
        file.Seek(10, CFile::begin);
        EXPECT_EQ(CVeltraneDoc::ClassifyFile(file), c.expected) << c.what;
        EXPECT_EQ(file.GetPosition(), 0u) << c.what;
        if (c.message) {
            ASSERT_EQ(sink.m_messages.size(), 1u) << c.what;
            EXPECT_EQ(sink.Last(), c.message) << c.what;
        } else {
            EXPECT_TRUE(sink.m_messages.empty()) << c.what << ": " << sink.Last();
        }
    }

    CRecordingSink sink;
    CMemFile noData(ownFile(0, 0x0001), "t.vlt");
    EXPECT_THROW(CVeltraneDoc::ClassifyFile(noData), CUserException);
    EXPECT_EQ(sink.Last(), "The file 't.vlt' contains data of an unknown type");
}

class CFakeImportReader : public IImportReader
{
public:
    void OpenNorvaleFile(CVeltraneDoc&, CFile& file) override { m_calls.push_back("Norvale@" + Pos(file)); }
    void OpenVamasFile(CVeltraneDoc&, CFile& file) override { m_calls.push_back("VAMAS@" + Pos(file)); }
    static std::string Pos(CFile& file) { return std::to_string(file.GetPosition()); }
    std::vector<std::string> m_calls;
};

TEST(DocFile, ForeignFormatsGoToTheImportReader)
{
    std::string norvale = "Norvale";
    norvale.resize(100, '\0');
    std::string vamas = "VAMAS Surface Chemical Analysis Standard Data Transfer Format\n";
    vamas.resize(100, ' ');
    auto bytes = [](const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); };

    {
        // Without a reader such files are refused, not misread as our own.
        CRecordingSink sink;
        CVeltraneDoc doc;
        EXPECT_FALSE(Load(doc, bytes(norvale)));
        EXPECT_EQ(sink.Last(), "The file 't.vlt' contains data in an unsupported format.");
    }
    CFakeImportReader reader;
    CVeltraneDoc::SetImportReader(&reader);
    CVeltraneDoc doc;
    EXPECT_TRUE(Load(doc, bytes(norvale)));
    EXPECT_TRUE(Load(doc, bytes(vamas)));
    CVeltraneDoc::SetImportReader(nullptr);
    EXPECT_EQ(reader.m_calls, (std::vector<std::string>{"Norvale@0", "VAMAS@0"}));
}

TEST(DocFile, ConvertedDocumentsAreWrittenUnderThisProgramsHeader)
{
    // A document that still carries an imported file's header is written as
    // what it is, a data file of this program, and opens again as one.
    CDataFileBuilder b;
    b.Header(0, "VAMAS").Experiment().Source().IonGun().End();
    CRecordingSink sink;
    CVeltraneDoc doc;
    ASSERT_TRUE(Load(doc, b.m_bytes));
    const std::vector<uint8_t> written = Save(doc);
    EXPECT_EQ(std::string(written.begin(), written.begin() + 12), std::string("Veltrane\0\0\0\0", 12));
    EXPECT_EQ(std::vector<uint8_t>(written.begin() + 24, written.end()),
              std::vector<uint8_t>(b.m_bytes.begin() + 24, b.m_bytes.end()));
    char name[13];
    doc.GetHeader()->GetProgName(name);
    EXPECT_STREQ(name, "VAMAS"); // the document still knows where it came from
    CMemFile file(written, "t.vlt");
    EXPECT_EQ(CVeltraneDoc::ClassifyFile(file), CVeltraneDoc::DocTemplate::Spectrum);
}

TEST(DocFile, SettingsFileIsNotReadAsData)
{
    CDataFileBuilder b;
    b.Header(2).Experiment().Source().IonGun().End();
    CRecordingSink sink;
    CVeltraneDoc doc;
    EXPECT_FALSE(Load(doc, b.m_bytes));
    EXPECT_EQ(sink.Last(), "The Veltrane file 't.vlt' cannot be opened as a data file");
}

TEST(DocFile, SaveIsAtomic)
{
    CTempDir dir;
    const std::string path = dir / "run.vlt";
    CVeltraneDoc doc;
    ASSERT_TRUE(Load(doc, CDataFileBuilder::EveryBlockKind()));
    ASSERT_TRUE(doc.OnSaveDocument(path));
    const std::vector<uint8_t> before = ReadFileBytes(path);
    EXPECT_EQ(before, CDataFileBuilder::EveryBlockKind());

    // A save that fails halfway through leaves the old file as it was, says
    // so, and leaves no temporary file behind.
    class CFailingDoc : public CVeltraneDoc
    {
    public:
        void Serialize(CArchive& ar) override
        {
            CVeltraneDoc::Serialize(ar);
            throw CFileException(CFileException::diskFull, "run.vlt");
        }
    };
    CFailingDoc failing;
    CRecordingSink sink;
    EXPECT_FALSE(failing.OnSaveDocument(path));
    ASSERT_EQ(sink.m_messages.size(), 1u);
    EXPECT_NE(sink.Last().find("not enough space"), std::string::npos) << sink.Last();
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

    // A folder that cannot take the file: nothing written, failure reported.
    EXPECT_FALSE(doc.OnSaveDocument(dir / "missing/run.vlt"));
    EXPECT_EQ(sink.m_messages.size(), 2u);
}

class CRecordingView : public IDocView
{
public:
    std::function<void(intptr_t)> m_onUpdate;
    int m_calls = 0;
    void OnUpdate(IDocView*, intptr_t lHint, void*) override
    {
        ++m_calls;
        if (m_onUpdate)
            m_onUpdate(lHint);
    }
};

// A narrow scan (or wide scan) whose one position has an 11-point region of 3 curves.
std::vector<uint8_t> ScanFile(int32_t expType, int32_t scanMode)
{
    CDataFileBuilder b;
    b.Header().Experiment(expType).Source().IonGun();
    CDataFileBuilder::SPosnHead h;
    h.scanMode = scanMode;
    const size_t at = b.BeginPosn(h, 1);
    b.SpecRgn(11, 3).I32(0);
    b.EndPosn(at);
    b.End();
    return b.m_bytes;
}

TEST(DocUpdate, AcquiredDataAreStoredBeforeTheViewsAreTold)
{
    struct Case
    {
        int32_t expType, scanMode;
        double expected; // point 2 of curve 1 (1002 before) after scan 1 brings 2000
    };
    const Case cases[] = {
        {0x102, 0x100, 1501.0}, // narrow scan: averaged over the two scans
        {0x101, 0, 1501.0},     // wide scan averaging
        {0x101, 1, 2000.0},     // wide scan in refresh mode: replaced
    };
    for (const Case& c : cases) {
        CVeltraneDoc doc;
        ASSERT_TRUE(Load(doc, ScanFile(c.expType, c.scanMode)));
        const CTrace* trace = doc.GetStagePosn(0)->GetSpecRgn(0)->GetTrace(1);
        CRecordingView sender, view;
        double seen = 0;
        view.m_onUpdate = [&](intptr_t) { seen = trace->GetData()[2]; };
        doc.AddView(&sender);
        doc.AddView(&view);
        int data[11];
        std::fill(std::begin(data), std::end(data), 2000);
        SAcqUpdate update(&doc, reinterpret_cast<unsigned char*>(data), 0, 0, 1, 1, 1, 11, 0, 0,
                          WMAPP_ACQ_SPECTRALDATA);
        doc.UpdateAllViews(&sender, reinterpret_cast<intptr_t>(&update));
        EXPECT_EQ(sender.m_calls, 0);
        EXPECT_EQ(view.m_calls, 1);
        EXPECT_EQ(seen, c.expected) << std::hex << c.expType << " mode " << c.scanMode;
        doc.RemoveView(&view);
        doc.RemoveView(&sender);
    }
}

TEST(DocUpdate, BlocksForMissingPlacesChangeNothingButStillReachTheViews)
{
    CVeltraneDoc doc;
    const std::vector<uint8_t> original = ScanFile(0x102, 0x100);
    ASSERT_TRUE(Load(doc, original));
    CRecordingView view;
    doc.AddView(&view);
    int data[11] = {};
    const int bad[][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    for (const auto& pr : bad) {
        SAcqUpdate update(&doc, reinterpret_cast<unsigned char*>(data), pr[0], pr[1], 0, 0, 1, 11, 0, 0,
                          WMAPP_ACQ_SPECTRALDATA);
        doc.UpdateAllViews(nullptr, reinterpret_cast<intptr_t>(&update));
    }
    // Another message kind carries no data to store.
    SAcqUpdate other(&doc, reinterpret_cast<unsigned char*>(data), 0, 0, 0, 0, 1, 11, 0, 0, 0x8002);
    doc.UpdateAllViews(nullptr, reinterpret_cast<intptr_t>(&other));
    SViewUpdate process(0, 0, 0, 0, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0);
    doc.UpdateAllViews(nullptr, reinterpret_cast<intptr_t>(&process));
    doc.UpdateAllViews(nullptr);
    EXPECT_EQ(view.m_calls, 7);
    EXPECT_EQ(Save(doc), original);
    doc.RemoveView(&view);
}

TEST(DocData, PositionsAreOwnedAndGapsAreSkipped)
{
    CVeltraneDoc doc;
    doc.SetStagePosn(2, new CStagePosn(2));
    EXPECT_EQ(doc.GetNumStagePosns(), 3);
    EXPECT_EQ(doc.GetStagePosn(0), nullptr);
    EXPECT_EQ(doc.GetStagePosn(3), nullptr);
    EXPECT_EQ(doc.GetStagePosn(-1), nullptr);
    EXPECT_EQ(doc.GetMaxNumRegionPoints(), 0);
    doc.SetStagePosn(-1, new CStagePosn(9)); // refused, and not leaked

    // Only the one real position is written.
    CVeltraneDoc copy;
    ASSERT_TRUE(Load(copy, Save(doc)));
    EXPECT_EQ(copy.GetNumStagePosns(), 1);

    CVeltraneDoc full;
    ASSERT_TRUE(Load(full, CDataFileBuilder::EveryBlockKind()));
    EXPECT_EQ(full.GetMaxNumRegionPoints(), 12); // the 4 x 3 secondary-electron image
}

} // namespace
