#include "acquire/core/RegionClip.h"

#include "data/Region.h"
#include "platform/Archive.h"
#include "platform/Exceptions.h"
#include "platform/File.h"

#include <algorithm>

namespace RegionClip {

std::vector<uint8_t> Encode(const CRegion& region)
{
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        region.Write(ar);
        ar.Flush();
    }
    return file.Data();
}

bool Decode(const uint8_t* data, size_t size, CRegion& out)
{
    if (!data)
        return false;
    const size_t n = std::min(size, ReadCap);
    CMemFile file(data, n, "clipboard");
    CRegion region;
    try {
        CArchive ar(&file, CArchive::load);
        region.Read(ar, 0, n);
    } catch (const CArchiveException&) {
        return false;
    } catch (const CFileException&) {
        return false;
    }
    out = region;
    return true;
}

} // namespace RegionClip
