// Block 169: the background limits are read, matched against the document's
// positions and regions, saved only once set up, and fall back to the
// defaults when the block's counts disagree with its length or the document.

#include "data/Background.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/VeltraneDoc.h"
#include "doc_file_builder.h"
#include "platform/Archive.h"
#include "platform/File.h"
#include "platform/MessageSink.h"

#include <gtest/gtest.h>

namespace {

using Limits = CBackground::Limits;

class CQuietSink : public IMessageSink
{
public:
    int ShowMessage(const std::string& text, unsigned) override
    {
        m_texts.push_back(text);
        return IDOK;
    }
    std::vector<std::string> m_texts;
};

// One position with regions of 11 and 4 points (two curves each), then
// whatever block 169 the caller writes, placed before the positions.
std::vector<uint8_t> File(const std::function<void(CDataFileBuilder&)>& block169)
{
    CDataFileBuilder b;
    b.Header().Experiment().Source().IonGun();
    if (block169)
        block169(b);
    CDataFileBuilder::SPosnHead spec;
    spec.levels = {0.0, 30.0};
    const size_t at = b.BeginPosn(spec, 2);
    b.SpecRgn(11, 2).SpecRgn(4, 2).Count(0);
    b.EndPosn(at);
    b.End();
    return b.m_bytes;
}

bool LoadBytes(CVeltraneDoc& doc, const std::vector<uint8_t>& bytes)
{
    CMemFile file(bytes.data(), bytes.size(), "bkg.vlt");
    return doc.ReadFrom(file);
}

std::vector<uint8_t> SaveBytes(CVeltraneDoc& doc)
{
    CMemFile out;
    CArchive ar(&out, CArchive::store);
    doc.Serialize(ar);
    ar.Close();
    return out.Data();
}

} // namespace

TEST(Background169, MatchingLimitsRoundTripAndDefaultsAreNotSaved)
{
    CQuietSink sink;
    SetMessageSink(&sink);
    const std::vector<uint8_t> with = File([](CDataFileBuilder& b) { b.Background({{{2, 8}, {3, 0}}}); });
    CVeltraneDoc doc;
    ASSERT_TRUE(LoadBytes(doc, with));
    EXPECT_EQ(doc.GetBackgroundSubtract()->GetAll(), (Limits{{{2, 8}, {3, 0}}}));
    EXPECT_EQ(SaveBytes(doc), with);

    // Without the block nothing is written until the limits are set up.
    const std::vector<uint8_t> without = File(nullptr);
    CVeltraneDoc plain;
    ASSERT_TRUE(LoadBytes(plain, without));
    EXPECT_TRUE(plain.GetBackgroundSubtract()->IsDefault());
    EXPECT_EQ(SaveBytes(plain), without);
    plain.GetBackgroundSubtract()->SetUp(plain);
    EXPECT_EQ(plain.GetBackgroundSubtract()->GetAll(), (Limits{{{1, 9}, {0, 3}}}));
    CVeltraneDoc again;
    ASSERT_TRUE(LoadBytes(again, SaveBytes(plain)));
    EXPECT_EQ(again.GetBackgroundSubtract()->GetAll(), (Limits{{{1, 9}, {0, 3}}}));
    EXPECT_TRUE(sink.m_texts.empty());
    SetMessageSink(nullptr);
}

TEST(Background169, MismatchedBlocksFallBackToTheDefaultsQuietly)
{
    CQuietSink sink;
    SetMessageSink(&sink);
    using Build = std::function<void(CDataFileBuilder&)>;
    const std::pair<const char*, Build> cases[] = {
        {"too few positions", [](CDataFileBuilder& b) { b.Background({}); }},
        {"too many positions",
         [](CDataFileBuilder& b) {
             b.Background({{{1, 2}, {1, 2}}, {}});
         }},
        {"too few regions",
         [](CDataFileBuilder& b) {
             b.Background({{{1, 2}}});
         }},
        {"too many regions",
         [](CDataFileBuilder& b) {
             b.Background({{{1, 2}, {1, 2}, {1, 2}}});
         }},
        // Counts larger than the block, or a block longer than its counts.
        {"position count past the length",
         [](CDataFileBuilder& b) {
             b.Opaque(169, 1, {0xFF, 0xFF, 0xFF, 0x7F});
         }},
        {"negative region count",
         [](CDataFileBuilder& b) {
             b.Opaque(169, 1, {1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
         }},
        {"region count past the length",
         [](CDataFileBuilder& b) {
             b.Opaque(169, 1, {1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0});
         }},
        {"trailing bytes",
         [](CDataFileBuilder& b) {
             b.Opaque(169, 1, {1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 9});
         }},
        {"empty", [](CDataFileBuilder& b) { b.Opaque(169, 1, {}); }},
    };
    for (const auto& [what, build] : cases) {
        CVeltraneDoc doc;
        ASSERT_TRUE(LoadBytes(doc, File(build))) << what;
        EXPECT_TRUE(doc.GetBackgroundSubtract()->IsDefault()) << what;
        // The regions behind still read whole.
        ASSERT_EQ(doc.GetNumStagePosns(), 1) << what;
        EXPECT_EQ(doc.GetStagePosn(0)->GetNumSpecRgns(), 2) << what;
        doc.GetBackgroundSubtract()->SetUp(doc);
        EXPECT_EQ(doc.GetBackgroundSubtract()->GetAll(), (Limits{{{1, 9}, {0, 3}}})) << what;
    }
    EXPECT_TRUE(sink.m_texts.empty());
    SetMessageSink(nullptr);
}

TEST(Background169, LimitsOutsideTheCurveAreKeptForTheUserToClamp)
{
    // Indices beyond the curve are data, not a mismatch: the dialog and
    // CalcBackground clamp them to 0 ... n-1 before use.
    CVeltraneDoc doc;
    ASSERT_TRUE(LoadBytes(doc, File([](CDataFileBuilder& b) { b.Background({{{-5, 400}, {7, 7}}}); })));
    EXPECT_EQ(doc.GetBackgroundSubtract()->GetAll(), (Limits{{{-5, 400}, {7, 7}}}));
    EXPECT_EQ(doc.GetBackgroundSubtract()->GetLimits(0, 2), nullptr);
    EXPECT_EQ(doc.GetBackgroundSubtract()->GetLimits(1, 0), nullptr);
    EXPECT_EQ(doc.GetBackgroundSubtract()->GetLimits(-1, 0), nullptr);
}
