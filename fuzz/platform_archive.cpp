// The archive's readers over arbitrary bytes: the input itself picks the next
// read (string, number, date, checked count, bulk doubles, relative seek).
#include "platform/Archive.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CMemFile file(data, size);
    try {
        CArchive ar(&file, CArchive::load, 64);
        for (int step = 0; step < 10000; ++step) {
            uint8_t op;
            ar >> op;
            switch (op % 7) {
            case 0: {
                std::string s;
                ar >> s;
                break;
            }
            case 1: {
                int32_t i;
                double d;
                ar >> i >> d;
                break;
            }
            case 2: {
                COleDateTime t;
                ar >> t;
                (void)t.ToUnixTime();
                break;
            }
            case 3: {
                int32_t count;
                ar >> count;
                ar.CheckCount(count, sizeof(double));
                std::vector<double> v(static_cast<size_t>(count));
                ar.ReadDoubles(v.data(), v.size());
                break;
            }
            case 4: {
                int16_t offset;
                ar >> offset;
                ar.Seek(offset, CFile::current);
                break;
            }
            case 5: {
                uint16_t count;
                ar >> count;
                ar.CheckCount(count, 2);
                for (uint16_t k = 0; k < count; ++k) {
                    int16_t v;
                    ar >> v;
                }
                break;
            }
            default:
                (void)ar.BytesLeft();
                break;
            }
        }
    } catch (const CArchiveException&) {
    } catch (const CFileException&) {
    }
    return 0;
}
