// vltcorpus DIR: writes the seed files of the fuzz targets data_file and
// settings_value into DIR/data_file and DIR/settings_value (fuzz/corpus is
// made this way; the files are committed).

#include "data/Registry.h"
#include "tests/data/doc_file_builder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

bool Put(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

std::vector<uint8_t> Minimal(int32_t expType)
{
    CDataFileBuilder b;
    b.Header().Experiment(expType).Source().IonGun().End();
    return b.m_bytes;
}

std::vector<uint8_t> FastProfile()
{
    CDataFileBuilder b;
    b.Header().Experiment(0x404, 1, 0).Source(1, 0).IonGun();
    CDataFileBuilder::SPosnHead h;
    h.levels = {0, 10, 20, 30};
    const size_t at = b.BeginPosn(h, 1);
    b.SpecRgn(3, 4).I32(0);
    b.EndPosn(at);
    b.End();
    return b.m_bytes;
}

std::vector<uint8_t> Map()
{
    CDataFileBuilder b;
    b.Header().Experiment(0x201, 1).Source(1, 0).IonGun();
    CDataFileBuilder::SPosnHead h;
    h.posnMode = 4;
    const size_t at = b.BeginPosn(h, 0);
    b.I32(2).ImageRgn(0, 4, 4, 3).ImageRgn(3, 8, 2, 1);
    b.EndPosn(at);
    b.End();
    return b.m_bytes;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vltcorpus DIR\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir / "data_file");
    std::filesystem::create_directories(dir / "settings_value");
    bool ok = Put(dir / "data_file" / "every_block_kind.vlt", CDataFileBuilder::EveryBlockKind()) &&
              Put(dir / "data_file" / "narrow_scan_empty.vlt", Minimal(0x102)) &&
              Put(dir / "data_file" / "fast_profile.vlt", FastProfile()) &&
              Put(dir / "data_file" / "map.vlt", Map());
    const std::vector<uint8_t> settings = CRegistry::StoreValue();
    ok = ok && Put(dir / "settings_value" / "defaults.bin", settings) &&
         Put(dir / "settings_value" / "short40.bin",
             std::vector<uint8_t>(settings.begin(), settings.begin() + 40));
    std::vector<uint8_t> odd = settings;
    odd[28] = 9;   // unit out of range
    odd[57] = 2;   // flag byte other than 0 or 1
    odd[0] = 0xFF; // rectangle far off
    ok = ok && Put(dir / "settings_value" / "odd_fields.bin", odd);
    if (!ok) {
        std::fprintf(stderr, "vltcorpus: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
