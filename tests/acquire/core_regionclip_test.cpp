// The regions table's clipboard records: a region written as its record and
// read back, with short, capped and hostile blocks refused without over-read.

#include "acquire/core/RegionClip.h"
#include "data/Region.h"
#include "platform/Archive.h"
#include "platform/File.h"

#include <gtest/gtest.h>

#include <string>

namespace {
CRegion MakeRegion(const std::string& name)
{
    CRegion r;
    CMemFile file;
    {
        // Built through the record itself, as a settings file would hold it.
        CArchive ar(&file, CArchive::store);
        const auto str = [&](const std::string& s) {
            ar << uint8_t(s.size());
            ar.Write(s.data(), s.size());
        };
        str(name);
        str("LMM");
        for (double d : {900.0, 940.0, 0.5, 920.0, 905.0, 935.0, 100.0, 50.0})
            ar << d;
        str("Low");
        for (int32_t i : {3, 2, 7, 81, 1, 1})
            ar << i;
        ar.Flush();
    }
    file.SeekToBegin();
    CArchive in(&file, CArchive::load);
    r.Read(in);
    return r;
}
} // namespace

TEST(RegionClip, RecordRoundTripsAndShortOrCappedBlocksAreRefused)
{
    const CRegion cu = MakeRegion("Cu");
    const std::vector<uint8_t> bytes = RegionClip::Encode(cu);
    // Two 1-byte-prefixed names, eight doubles, the retard ratio, six ints.
    ASSERT_EQ(bytes.size(), size_t(1 + 2 + 1 + 3 + 8 * 8 + 1 + 3 + 6 * 4));
    CRegion back;
    ASSERT_TRUE(RegionClip::Decode(bytes.data(), bytes.size(), back));
    EXPECT_EQ(back.GetName(), "Cu");
    EXPECT_EQ(back.GetRegion(), "LMM");
    EXPECT_EQ(back.GetRetardRatio(), "Low");
    EXPECT_EQ(back.GetStart(), 900.0);
    EXPECT_EQ(back.GetNumScans(), 3);
    EXPECT_EQ(RegionClip::Encode(back).size(), bytes.size());

    // Every cut-short block is refused and leaves the target as it was.
    for (size_t n = 0; n < bytes.size(); ++n) {
        CRegion target = MakeRegion("Ag");
        EXPECT_FALSE(RegionClip::Decode(bytes.data(), n, target)) << n;
        EXPECT_EQ(target.GetName(), "Ag");
    }
    // A whole record longer than the reader takes (a 500-character name) is
    // refused: the reader stops at its cap instead of reading on.
    std::vector<uint8_t> big = {0xFF, 0xF4, 0x01};
    big.insert(big.end(), 500, 'x');
    big.insert(big.end(), bytes.begin() + 3, bytes.end());
    {
        CMemFile whole(big.data(), big.size());
        CArchive ar(&whole, CArchive::load);
        CRegion r;
        EXPECT_EQ(size_t(r.Read(ar)), big.size()); // a valid record, only too long
    }
    CRegion target;
    EXPECT_FALSE(RegionClip::Decode(big.data(), big.size(), target));
    EXPECT_FALSE(RegionClip::Decode(nullptr, 10, target));
}
