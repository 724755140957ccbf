#include "platform/Archive.h"
#include "platform/Clock.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <limits>
#include <memory>
#include <random>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Stored(const std::function<void(CArchive&)>& write, size_t bufferSize = CArchive::DefaultBufferSize)
{
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store, bufferSize);
        write(ar);
        ar.Close();
    }
    return file.Data();
}

// The archive must behave the same over a file on disk (real seeks and short
// reads) and over memory.
class ArchiveOnFile : public ::testing::TestWithParam<bool>
{
protected:
    std::unique_ptr<CFile> NewFile(const Bytes& content = {})
    {
        if (!GetParam()) {
            auto f = std::make_unique<CMemFile>(content);
            return f;
        }
        auto f = std::make_unique<CFile>(m_dir / ("f" + std::to_string(m_count++)),
                                         CFile::modeCreate | CFile::modeReadWrite);
        f->Write(content.data(), content.size());
        f->SeekToBegin();
        return f;
    }
    static Bytes Content(CFile& f)
    {
        Bytes b(f.GetLength());
        f.SeekToBegin();
        EXPECT_EQ(f.Read(b.data(), b.size()), b.size());
        return b;
    }
    CTempDir m_dir;
    int m_count = 0;
};

} // namespace

TEST(Archive, PrimitivesAreLittleEndianWithoutPadding)
{
    const Bytes bytes = Stored([](CArchive& ar) {
        ar << uint8_t(0xAB) << int8_t(-2) << uint16_t(0x1234) << int16_t(-2) << uint32_t(0x89ABCDEF)
           << int32_t(-3) << uint64_t(0x0102030405060708ull) << int64_t(-4) << float(1.0f) << double(-2.0);
    });
    const Bytes expected = {0xAB, 0xFE, 0x34, 0x12, 0xFE, 0xFF, 0xEF, 0xCD, 0xAB, 0x89, 0xFD,
                            0xFF, 0xFF, 0xFF, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01,
                            0xFC, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80,
                            0x3F, 0,    0,    0,    0,    0,    0,    0x00, 0xC0};
    EXPECT_EQ(bytes, expected);

    CMemFile file(bytes);
    CArchive ar(&file, CArchive::load);
    uint8_t a;
    int8_t b;
    uint16_t c;
    int16_t d;
    uint32_t e;
    int32_t f;
    uint64_t g;
    int64_t h;
    float i;
    double j;
    ar >> a >> b >> c >> d >> e >> f >> g >> h >> i >> j;
    EXPECT_EQ(a, 0xAB);
    EXPECT_EQ(b, -2);
    EXPECT_EQ(c, 0x1234);
    EXPECT_EQ(d, -2);
    EXPECT_EQ(e, 0x89ABCDEFu);
    EXPECT_EQ(f, -3);
    EXPECT_EQ(g, 0x0102030405060708ull);
    EXPECT_EQ(h, -4);
    EXPECT_EQ(i, 1.0f);
    EXPECT_EQ(j, -2.0);
    EXPECT_EQ(ar.BytesLeft(), 0u);
}

TEST(Archive, StringLengthPrefixes)
{
    struct Row
    {
        size_t length;
        Bytes prefix;
    } rows[] = {
        {0, {0x00}},
        {254, {0xFE}},
        {255, {0xFF, 0xFF, 0x00}},
        {65533, {0xFF, 0xFD, 0xFF}},
        {65534, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {70000, {0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.length);
        std::string s(row.length, 'x');
        for (size_t k = 0; k < s.size(); ++k)
            s[k] = char(k * 7 + 1); // every byte value, the terminator included
        for (size_t bufferSize : {size_t(64), CArchive::DefaultBufferSize}) {
            const Bytes bytes = Stored([&](CArchive& ar) { ar << s << uint8_t(0x5A); }, bufferSize);
            ASSERT_EQ(bytes.size(), row.prefix.size() + s.size() + 1);
            EXPECT_TRUE(std::equal(row.prefix.begin(), row.prefix.end(), bytes.begin()));
            CMemFile file(bytes);
            CArchive ar(&file, CArchive::load, bufferSize);
            std::string back;
            uint8_t marker;
            ar >> back >> marker;
            EXPECT_EQ(back, s);
            EXPECT_EQ(marker, 0x5A);
        }
    }
}

TEST(Archive, DateTimeIsStatusThenOleDate)
{
    COleDateTime t;
    t.m_status = COleDateTime::null;
    t.m_dt = 36526.5; // 1 January 2000, noon
    const Bytes bytes = Stored([&](CArchive& ar) { ar << t; });
    ASSERT_EQ(bytes.size(), 12u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), (Bytes{2, 0, 0, 0}));
    double dt;
    std::memcpy(&dt, bytes.data() + 4, 8);
    EXPECT_EQ(dt, 36526.5);
    CMemFile file(bytes);
    CArchive ar(&file, CArchive::load);
    COleDateTime back;
    ar >> back;
    EXPECT_EQ(back, t);
}

TEST(Archive, OleDateConversions)
{
    struct Row
    {
        double unixSeconds;
        double ole;
    } rows[] = {
        {0.0, 25569.0},                        // 1970-01-01
        {946728000.0, 36526.5},                // 2000-01-01 12:00 UTC
        {-25569.0 * 86400.0, 0.0},             // 1899-12-30
        {-25570.0 * 86400.0 + 21600.0, -1.25}, // 1899-12-29 06:00: negative day, forward fraction
        {-25571.0 * 86400.0 + 64800.0, -2.75}, // 1899-12-28 18:00
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.ole);
        EXPECT_NEAR(COleDateTime::FromUnixTime(row.unixSeconds).m_dt, row.ole, 1e-9);
        COleDateTime t;
        t.m_dt = row.ole;
        EXPECT_NEAR(t.ToUnixTime(), row.unixSeconds, 1e-4);
    }
    EXPECT_EQ(COleDateTime::FromUnixTime(std::nan("")).m_status, COleDateTime::invalid);
    const COleDateTime now = COleDateTime::GetCurrentTime();
    EXPECT_EQ(now.m_status, COleDateTime::valid);
    EXPECT_GT(now.m_dt, 45000.0); // after 2023
}

TEST(Archive, CurrentTimeIsLocalWallClockTime)
{
    CManualClock clock(0, 946728000.0); // 2000-01-01 12:00 UTC
    IClock* previous = SetClock(&clock);
    const char* saved = std::getenv("TZ");
    const std::string savedTz = saved ? saved : "";
    setenv("TZ", "EST5", 1);
    tzset();
    EXPECT_NEAR(COleDateTime::GetCurrentTime().m_dt, 36526.5 - 5.0 / 24.0, 1e-9);
    setenv("TZ", "UTC0", 1);
    tzset();
    EXPECT_NEAR(COleDateTime::GetCurrentTime().m_dt, 36526.5, 1e-9);
    saved ? setenv("TZ", savedTz.c_str(), 1) : unsetenv("TZ");
    tzset();
    SetClock(previous);
}

TEST_P(ArchiveOnFile, FlushMakesFilePositionTheLogicalPositionWhenLoading)
{
    Bytes content(10000);
    for (size_t k = 0; k < content.size(); ++k)
        content[k] = uint8_t(k);
    auto file = NewFile(content);
    CArchive ar(file.get(), CArchive::load);
    uint8_t b[3];
    ar.Read(b, 3);
    EXPECT_EQ(ar.GetPosition(), 3u);
    EXPECT_EQ(file->GetPosition(), 3u);
    EXPECT_EQ(ar.BytesLeft(), 9997u);
    // The file itself, read directly after the flush, continues at the logical position.
    uint8_t direct;
    ASSERT_EQ(file->Read(&direct, 1), 1u);
    EXPECT_EQ(direct, 3);
    uint8_t next;
    ar >> next;
    EXPECT_EQ(next, 4);
}

TEST_P(ArchiveOnFile, DestroyedLoadingArchiveLeavesFileAtLogicalPosition)
{
    auto file = NewFile(Bytes(5000, 7));
    {
        CArchive ar(file.get(), CArchive::load);
        uint32_t v;
        ar >> v;
    }
    EXPECT_EQ(file->GetPosition(), 4u);
}

TEST_P(ArchiveOnFile, RelativeSeeksForwardAndBack)
{
    Bytes content(300);
    for (size_t k = 0; k < content.size(); ++k)
        content[k] = uint8_t(k);
    auto file = NewFile(content);
    CArchive ar(file.get(), CArchive::load, 64);
    uint8_t buf[10];
    ar.Read(buf, 10);
    EXPECT_EQ(ar.Seek(5, CFile::current), 15u);
    uint8_t v;
    ar >> v;
    EXPECT_EQ(v, 15);
    EXPECT_EQ(ar.Seek(-12, CFile::current), 4u);
    ar >> v;
    EXPECT_EQ(v, 4);
    ar.Seek(-1, CFile::end);
    ar >> v;
    EXPECT_EQ(v, 43); // 299 & 0xFF
    EXPECT_THROW(ar.Seek(-1000, CFile::current), CFileException);
}

// The block writer's protocol: note the length field's position, write the
// content, then patch the length directly in the file and come back.
TEST_P(ArchiveOnFile, PatchingALengthAfterTheContent)
{
    auto file = NewFile();
    {
        CArchive ar(file.get(), CArchive::store, 64);
        ar << uint16_t(4) << uint16_t(1);
        const uint64_t p = ar.GetPosition();
        EXPECT_EQ(p, 4u);
        ar << int32_t(0);
        for (int k = 0; k < 50; ++k)
            ar << double(k);
        const uint64_t e = ar.GetPosition();
        EXPECT_EQ(e, 408u);
        file->Seek(int64_t(p), CFile::begin);
        const int32_t length = int32_t(e - p - 4);
        file->Write(&length, 4);
        file->Seek(int64_t(e), CFile::begin);
        ar << uint16_t(0xFFFF);
        ar.Close();
    }
    const Bytes bytes = Content(*file);
    ASSERT_EQ(bytes.size(), 410u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 8), (Bytes{4, 0, 1, 0, 0x90, 0x01, 0, 0}));
    EXPECT_EQ(bytes[408], 0xFF);

    // Reading it back and skipping the block by its length lands on the marker.
    file->SeekToBegin();
    CArchive ar(file.get(), CArchive::load, 64);
    uint16_t id, version, marker;
    int32_t length;
    ar >> id >> version >> length;
    double first;
    ar >> first;
    ar.Seek(length - 8, CFile::current);
    ar >> marker;
    EXPECT_EQ(marker, 0xFFFF);
}

// Reads and writes of every size, across buffer edges and past the bulk
// threshold, must give the very bytes a plain copy gives.
TEST_P(ArchiveOnFile, MixedSizesMatchAPlainCopy)
{
    std::mt19937 rng(12345);
    Bytes reference(300000);
    for (auto& b : reference)
        b = uint8_t(rng());
    std::vector<size_t> sizes;
    for (size_t done = 0; done < reference.size();) {
        size_t n = std::uniform_int_distribution<size_t>(0, 3)(rng) == 0
                       ? std::uniform_int_distribution<size_t>(0, 20000)(rng)
                       : std::uniform_int_distribution<size_t>(0, 70)(rng);
        n = std::min(n, reference.size() - done);
        sizes.push_back(n);
        done += n;
    }
    auto file = NewFile();
    {
        CArchive ar(file.get(), CArchive::store, 256);
        size_t at = 0;
        for (size_t n : sizes) {
            ar.Write(reference.data() + at, n);
            at += n;
        }
        ar.Close();
    }
    ASSERT_EQ(Content(*file), reference);
    file->SeekToBegin();
    CArchive ar(file.get(), CArchive::load, 256);
    Bytes back(reference.size());
    size_t at = 0;
    for (size_t n : sizes) {
        ar.Read(back.data() + at, n);
        at += n;
    }
    EXPECT_EQ(back, reference);
    EXPECT_EQ(ar.BytesLeft(), 0u);
}

TEST_P(ArchiveOnFile, DoublesInBulk)
{
    std::vector<double> values(100000);
    for (size_t k = 0; k < values.size(); ++k)
        values[k] = std::sin(double(k)) * 1e3;
    auto file = NewFile();
    {
        CArchive ar(file.get(), CArchive::store);
        ar << int32_t(7);
        ar.WriteDoubles(values.data(), values.size());
        ar.Close();
    }
    EXPECT_EQ(file->GetLength(), 4 + 8 * values.size());
    file->SeekToBegin();
    CArchive ar(file.get(), CArchive::load);
    int32_t head;
    ar >> head;
    std::vector<double> back(values.size());
    ar.ReadDoubles(back.data(), back.size());
    EXPECT_EQ(back, values);
}

INSTANTIATE_TEST_SUITE_P(MemoryAndDisk, ArchiveOnFile, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Disk" : "Memory"; });

TEST(Archive, EndOfFileIsTyped)
{
    auto expectEnd = [](const Bytes& bytes, const std::function<void(CArchive&)>& read) {
        CMemFile file(bytes);
        CArchive ar(&file, CArchive::load);
        try {
            read(ar);
            ADD_FAILURE() << "no exception";
        } catch (const CArchiveException& e) {
            EXPECT_EQ(e.m_cause, CArchiveException::endOfFile);
            EXPECT_STRNE(e.what(), "");
        }
    };
    expectEnd({1, 2}, [](CArchive& ar) {
        int32_t v;
        ar >> v;
    });
    expectEnd(Bytes(100), [](CArchive& ar) {
        std::vector<double> v(20);
        ar.ReadDoubles(v.data(), v.size());
    });
    expectEnd({}, [](CArchive& ar) {
        uint8_t v;
        ar >> v;
    });
    // Lengths that promise more than the file holds, up to 4 GB: refused before
    // anything is allocated.
    expectEnd({5, 'a', 'b'}, [](CArchive& ar) {
        std::string s;
        ar >> s;
    });
    expectEnd({0xFF, 0x00, 0x01, 'a'}, [](CArchive& ar) {
        std::string s;
        ar >> s;
    });
    expectEnd({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}, [](CArchive& ar) {
        std::string s;
        ar >> s;
    });
    expectEnd({0xFF, 0xFF}, [](CArchive& ar) {
        std::string s;
        ar >> s;
    });
}

TEST(Archive, CheckCountRefusesWhatTheFileCannotHold)
{
    CMemFile file(Bytes(100));
    CArchive ar(&file, CArchive::load);
    uint32_t skip;
    ar >> skip; // 96 bytes left
    EXPECT_NO_THROW(ar.CheckCount(12, 8));
    EXPECT_NO_THROW(ar.CheckCount(0, 8));
    struct Row
    {
        int64_t count;
        size_t size;
    } refused[] = {{-1, 8}, {13, 8},
                   {97, 1}, {std::numeric_limits<int64_t>::max(), 8},
                   {97, 0}, {int64_t(1) << 62, size_t(1) << 62}};
    for (const Row& row : refused) {
        SCOPED_TRACE(row.count);
        try {
            ar.CheckCount(row.count, row.size);
            ADD_FAILURE() << "accepted";
        } catch (const CArchiveException& e) {
            EXPECT_EQ(e.m_cause, CArchiveException::badIndex);
        }
    }
    EXPECT_NO_THROW(ar.CheckCount(1000, 4, 4000));
    EXPECT_THROW(ar.CheckCount(1001, 4, 4000), CArchiveException);
}

TEST(Archive, StoreFailureIsReportedAsDiskFull)
{
    CFile full;
    if (!full.Open("/dev/full", CFile::modeWrite))
        GTEST_SKIP() << "no /dev/full";
    CArchive ar(&full, CArchive::store);
    ar << int32_t(1);
    try {
        ar.Flush();
        ADD_FAILURE() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::diskFull);
        EXPECT_EQ(e.m_path, "/dev/full");
    }
    // A large write bypasses the buffer and fails at once.
    std::vector<double> big(10000);
    EXPECT_THROW(ar.WriteDoubles(big.data(), big.size()), CFileException);
}
