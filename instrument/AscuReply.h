#pragma once
// The stage-unit reply parser: a pure function over one reply line, so that it
// is tested with tables of replies and fuzzed like a file reader.

#include <cstdint>
#include <string_view>

struct SAscuReply
{
    enum Kind
    {
        None,
        Ready,          // "RP n": a motion or mode command has finished
        MapArea,        // "SA (x1,y1)-(x2,y2)"
        Identification, // "ID 2,hhhh"
        CheckedPosns,   // "CP ...": the positions lie in the stored area
        Error           // "ER n[,m]"
    };
    Kind m_kind = None;
    uint16_t m_wStatus = 0;           // Identification
    double m_dArea[4] = {0, 0, 0, 0}; // MapArea: x1, y1, x2, y2
    int m_iError = 0;                 // Error: the unit's error number
};

// line: the reply as received, with its line end; lastCommand: the command it
// answers. Returns 0 or a message id (2304 unexpected, 2306 malformed, 2307,
// 2320-2328 for the unit's errors).
int ParseAscuReply(std::string_view line, std::string_view lastCommand, SAscuReply& reply);
