#pragma once
// The document's background-subtraction settings, block 169 of the data file.

#include "data/OpaqueBlock.h"

class CBackground : public COpaqueBlock
{
public:
    static constexpr uint16_t BlockID = 169;
    static constexpr uint16_t FileVersion = 1;
    CBackground() : COpaqueBlock(BlockID) {}
};
