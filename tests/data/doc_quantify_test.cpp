// Block 196, the quantification state, through the document's reader and writer.

#include "data/Quantify.h"
#include "data/VeltraneDoc.h"

#include "doc_file_builder.h"
#include "platform/Archive.h"
#include "platform/File.h"
#include "tests/common/RecordingSink.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const char* const Skipped =
    "The quantification stored in this file does not match its regions and was not read.";

std::vector<uint8_t> Save(CVeltraneDoc& doc)
{
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    doc.Serialize(ar);
    ar.Close();
    return file.Data();
}

bool Load(CVeltraneDoc& doc, const std::vector<uint8_t>& bytes)
{
    CMemFile file(bytes, "t.vlt");
    return doc.ReadFrom(file);
}

// A file with one position of two spectrum regions (3 levels each) and an
// empty second position, then block 196 as body writes it, then a position
// block after it, so a reader that loses its place fails the file.
std::vector<uint8_t> FileWith(const std::function<void(CDataFileBuilder&)>& body, int32_t technique = 2)
{
    CDataFileBuilder b;
    b.Header().Experiment(0x102, technique).Source().IonGun();
    CDataFileBuilder::SPosnHead spec;
    spec.levels = {0.0, 30.0, 60.0};
    size_t at = b.BeginPosn(spec, 2);
    b.SpecRgn(11, 3).SpecRgn(4, 3).Count(0);
    b.EndPosn(at);
    at = b.BeginPosn(spec, 0);
    b.Count(0);
    b.EndPosn(at);
    at = b.BeginBlock(196, 1);
    body(b);
    b.EndBlock(at);
    b.End();
    return b.m_bytes;
}

void GoodBody(CDataFileBuilder& b)
{
    b.I32(2).I32(2);
    b.QuantRec("C", "1s", 0, {1.0, 2.0, 3.0}, 0.25, 1, 9).QuantRec("O", "1s", 1, {4.0, 5.0, 6.0}, 0.66, 0, 3);
    b.I32(0).I32(0);
    b.I32(1).I32(0).I32(0).I32(1);
}

} // namespace

TEST(QuantifyBlock, RoundTripsXpsAndAes)
{
    struct Case
    {
        int32_t aes;
        int32_t file;
        const char* path;
    };
    for (const Case& c : {Case{0, -1, ""}, Case{1, 1, ""}, Case{1, -1, "/lab/own library.dat"}}) {
        SCOPED_TRACE(c.file);
        CRecordingSink sink;
        CVeltraneDoc doc;
        ASSERT_TRUE(Load(doc, FileWith(GoodBody)));
        CQuantify& q = *doc.GetQuantify();
        ASSERT_TRUE(q.m_bValid);
        EXPECT_EQ(q.m_RgnLists[0][0].m_iUpper, 9);
        EXPECT_EQ(q.m_RgnLists[0][1].m_dRSF, 0.66);
        q.m_bAES = c.aes;
        if (c.aes) // an XPS block has no Auger record
            q.m_Auger = {c.file, c.path, 7.5};
        q.m_Display = {2, 1, 0};
        q.m_RgnLists[0][1].m_bSelected = 0;
        q.m_RgnLists[0][1].m_csLabel = std::string(300, 'x'); // the long string form
        const std::vector<uint8_t> bytes = Save(doc);
        CVeltraneDoc again;
        ASSERT_TRUE(Load(again, bytes));
        EXPECT_EQ(*again.GetQuantify(), q);
        EXPECT_EQ(Save(again), bytes);
        EXPECT_TRUE(sink.m_messages.empty());
    }
}

TEST(QuantifyBlock, NotWrittenWithoutState)
{
    CVeltraneDoc doc;
    ASSERT_TRUE(Load(doc, FileWith(GoodBody)));
    doc.GetQuantify()->Clear();
    const std::vector<uint8_t> bytes = Save(doc);
    CVeltraneDoc again;
    ASSERT_TRUE(Load(again, bytes));
    EXPECT_FALSE(again.GetQuantify()->m_bValid);
    EXPECT_EQ(Save(again), bytes);
}

// Content the block's counts or the document do not describe is skipped by
// the block's length: the rest of the file reads, the defaults apply, and the
// user hears of it once.
TEST(QuantifyBlock, MismatchSkipsTheBlockByItsLength)
{
    const std::function<void(CDataFileBuilder&)> bodies[] = {
        [](CDataFileBuilder& b) { GoodBody(b), b.I32(0); }, // bytes left over
        [](CDataFileBuilder& b) { b.I32(2).I32(2); },       // ends inside the records
        [](CDataFileBuilder& b) { b.I32(1).I32(2); },       // one position of two
        [](CDataFileBuilder& b) {                           // three records for two regions
            b.I32(2).I32(3);
            for (int r = 0; r < 3; ++r)
                b.QuantRec("C", "1s", r, {1.0, 2.0, 3.0});
            b.I32(0).I32(0).I32(1).I32(0).I32(0).I32(1);
        },
        [](CDataFileBuilder& b) { // a region index beyond the position
            b.I32(2).I32(2);
            b.QuantRec("C", "1s", 0, {1.0, 2.0, 3.0}).QuantRec("O", "1s", 5, {4.0, 5.0, 6.0});
            b.I32(0).I32(0).I32(1).I32(0).I32(0).I32(1);
        },
        [](CDataFileBuilder& b) { b.I32(0x7FFFFFFF); }, // a count no block can hold
        [](CDataFileBuilder& b) {                       // a calculation that does not exist
            b.I32(2).I32(2);
            b.QuantRec("C", "1s", 0, {1.0, 2.0, 3.0}).QuantRec("O", "1s", 1, {4.0, 5.0, 6.0});
            b.I32(0).I32(0).I32(1).I32(7).I32(0).I32(1);
        },
    };
    int i = 0;
    for (const auto& body : bodies) {
        SCOPED_TRACE(i++);
        CRecordingSink sink;
        CVeltraneDoc doc;
        ASSERT_TRUE(Load(doc, FileWith(body)));
        EXPECT_EQ(doc.GetNumStagePosns(), 2);
        EXPECT_FALSE(doc.GetQuantify()->m_bValid);
        ASSERT_EQ(sink.m_messages.size(), 1u);
        EXPECT_EQ(sink.Last(), Skipped);
    }
}
