#pragma once
// The document's quantification, block 196 of the data file.

#include "data/OpaqueBlock.h"

class CQuantify : public COpaqueBlock
{
public:
    static constexpr uint16_t BlockID = 196;
    static constexpr uint16_t FileVersion = 1;
    CQuantify() : COpaqueBlock(BlockID) {}
};
