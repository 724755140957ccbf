// Clipboard region records pasted into the AES regions page's model among its
// other edits: the input is a list of steps (a kind byte, a column byte, then
// for a paste a length byte and the block, for a cell edit a length byte and
// the text). The model must stay whole, each region owned once, and its
// section must store and read back to the same bytes.

#include "FuzzSupport.h"
#include "acquire/core/AcqError.h"
#include "acquire/core/AesRegions.h"
#include "acquire/core/RegionClip.h"
#include "platform/Archive.h"
#include "platform/Exceptions.h"
#include "platform/File.h"

#include <cstdlib>
#include <set>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SilenceMessages();
    CAesRgnModel model;
    model.OnExpTypeChange(CAcquireAES::Narrowscan);
    size_t i = 0;
    while (i + 2 <= size) {
        const uint8_t kind = data[i];
        const int col = data[i + 1] % 8;
        i += 2;
        switch (kind % 6) {
        case 0:
        case 1: {
            const size_t n = i < size ? std::min<size_t>(data[i] * 2u, size - i - 1) : 0;
            if (i < size)
                ++i;
            const unsigned format = kind % 6 == 0 ? RegionClip::CF_NRWRGN : RegionClip::CF_WDERGN;
            if (model.CanPaste(col, format == RegionClip::CF_NRWRGN, format == RegionClip::CF_WDERGN))
                model.PasteRegion(col, format, data + i, n);
            i += n;
            break;
        }
        case 2:
            if (model.CanCut(col))
                model.DeleteRegion(col);
            break;
        case 3: {
            unsigned format = 0;
            const std::vector<uint8_t> block = model.CopyRegion(col, format);
            if (!block.empty() && model.CanPaste(col, true, true))
                model.PasteRegion(col, format, block.data(), block.size());
            break;
        }
        case 4:
            model.OnExpTypeChange(col % 5);
            break;
        case 5: {
            // Text typed or pasted into a cell.
            const size_t n = i < size ? std::min<size_t>(data[i] % 24u, size - i - 1) : 0;
            if (i < size)
                ++i;
            std::string text(reinterpret_cast<const char*>(data) + i, n);
            i += n;
            if (model.RegionAt(col))
                model.EditCell(col, kind / 6 % 9, text);
            break;
        }
        }
        // Every column holds a region, and the wide-scan region is the only
        // one that may stand in a list twice.
        std::set<const CRegion*> seen;
        for (int c = 0; c < model.NumRegions(); ++c) {
            const CRegion* r = model.RegionAt(c);
            if (!r || (!seen.insert(r).second && !model.IsWide(r)))
                std::abort();
        }
    }
    for (int type = 0; type <= 4; ++type) {
        try {
            model.ErrorCheck(type);
        } catch (const CAcqException&) {
        }
    }
    RequireStoreRoundTrip(model);
    return 0;
}
