#pragma once
// Fills the document's records from an imported file's model. The records
// name this class their friend, so the conversions can set fields that have
// no setter.

#include "data/formats/Norvale.h"

class CHeader;
class CExperiment;
class CSource;
class CIonGun;
class CStagePosn;
class CSpecRgn;
class CLevel;
class CPkLib;
class CVeltraneDoc;
class CAcquireXPS;
class CAcquireAES;
class CAcquireGroup;

class CRecordBuilder
{
public:
    static void Assign(CHeader& header, const CNorvale& model);
    static void Assign(CExperiment& experiment, const CNorvale& model);
    static void Assign(CSource& source, const CNorvale& model);
    static void Assign(CIonGun& ionGun, const CNorvale& model);
    // A spectrum with an analyser mode the document cannot hold abandons the
    // command with 2068 naming the spectrum's file.
    static void Assign(CStagePosn& posn, const CNorvale::Spectrum& spectrum, const CPkLib* pkLib);
    static void Assign(CSpecRgn& rgn, const CNorvale::Spectrum& spectrum, int region, const CPkLib* pkLib);
    static void Assign(CLevel& level, const CNorvale::SpecLevel& specLevel);

    // The whole conversion into an empty document (header, experiment, source,
    // ion gun, then one position per spectrum).
    static void Convert(CVeltraneDoc& doc, const CNorvale& model, const CPkLib* pkLib);

    // A new position (made with its number, without levels or regions) filled
    // from the acquisition sheet: group, comment, modes, points, levels and
    // regions with their curves or pixels.
    static void Build(CStagePosn& posn, const CAcquireXPS& sheet);
    static void Build(CStagePosn& posn, const CAcquireAES& sheet);
    // The levels Build gives an XPS position measured with group (which may
    // be null): a profile's levels, a rotary series' angles, else 1.
    static int XpsLevelCount(const CAcquireXPS& sheet, const CAcquireGroup* group);

private:
    template <class RgnPage> static void SetModes(CStagePosn& posn, const RgnPage& rgnPage, bool widescan);
};
