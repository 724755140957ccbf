// vltdump FILE: reads a data file through the document's own reader and prints
// everything it holds as JSON on standard output. A file the reader refuses
// gets the reader's message on standard error and exit status 1.
//
// vltdump --vamas OUT FILE: reads FILE and writes it as a VAMAS file OUT.

#include "JsonWriter.h"

#include "data/ImageRgn.h"
#include "data/SpecRgn.h"
#include "data/Trace.h"
#include "data/VeltraneDoc.h"
#include "platform/MessageSink.h"

#ifdef VLTDUMP_IMPORTS
#include "data/formats/ImportReaders.h"
#include "data/formats/Vamas.h"
#endif

#include <cstdio>
#include <cstring>
#include <string>

namespace {

class CStderrSink : public IMessageSink
{
public:
    int ShowMessage(const std::string& text, unsigned) override
    {
        std::fprintf(stderr, "%s\n", text.c_str());
        return IDOK;
    }
};

// More points than this are not listed; a corrupt raster size must not flood the output.
constexpr int MaxListedPoints = 1'000'000;

void DumpRegionParams(CJsonWriter& j, const CRegion& r)
{
    j.String("name", r.GetName());
    j.String("region", r.GetRegion());
    j.Double("start", r.GetStart());
    j.Double("finish", r.GetFinish());
    j.Double("step", r.GetStep());
    j.Double("peak", r.GetPeak());
    j.Double("bk1", r.GetBk1());
    j.Double("bk2", r.GetBk2());
    j.Double("dwell", r.GetDwell());
    j.Double("analyserEnergy", r.GetAnalyserEnergy());
    j.String("retardRatio", r.GetRetardRatio());
    j.Int("scans", r.GetNumScans());
    j.Int("repeat", r.GetRepeat());
    j.Int("regionId", r.GetRegionID());
    j.Int("nx", r.GetNumPoints_x());
    j.Int("ny", r.GetNumPoints_y());
    j.Int("nz", r.GetNumPoints_z());
}

void DumpSpecRgn(CJsonWriter& j, const CSpecRgn& r)
{
    j.BeginObject();
    DumpRegionParams(j, r);
    j.Double("offset", r.GetOffset());
    j.BeginArray("curves");
    for (int c = 0; c < r.GetNumTraces(); ++c) {
        const CTrace* t = r.GetTrace(c);
        j.BeginObject();
        j.Int("points", t->GetNumPoints());
        j.Double("min", t->GetMinValue());
        j.Double("max", t->GetMaxValue());
        j.Values("values", t->GetData(), static_cast<size_t>(t->GetNumPoints()));
        j.EndObject();
    }
    j.EndArray();
    j.EndObject();
}

void DumpImageRgn(CJsonWriter& j, const CImageRgn& r)
{
    j.BeginObject();
    DumpRegionParams(j, r);
    const size_t pixels = static_cast<size_t>(r.GetNumPoints());
    if (const double* line = r.GetLinescanData()) {
        j.String("data", "linescan");
        j.Values("linescan", line, static_cast<size_t>(r.GetNumPoints_x()));
    } else if (const int* image = r.GetImageData()) {
        j.String("data", "image");
        j.Values("image", image, pixels);
    } else if (const unsigned char* se = r.GetSEData()) {
        j.String("data", "secondaryElectrons");
        j.Values("secondaryElectrons", se, pixels);
    } else {
        j.String("data", "planes");
        j.BeginObject("planes");
        if (const int* p = r.GetPkData())
            j.Values("peak", p, pixels);
        if (const int* p = r.GetBk1Data())
            j.Values("background1", p, pixels);
        if (const int* p = r.GetBk2Data())
            j.Values("background2", p, pixels);
        j.EndObject();
    }
    j.EndObject();
}

// Coordinates of a point, as many as its mode has.
int AxesOf(int posnMode)
{
    switch (posnMode) {
    case CStagePosn::Point:
    case CStagePosn::Linear1D:
        return 1;
    case CStagePosn::PointList:
        return 2;
    case CStagePosn::Linear2D:
    case CStagePosn::Image:
    case CStagePosn::AreaList:
        return 4;
    default:
        return 0;
    }
}

void DumpPosn(CJsonWriter& j, const CStagePosn& p, int index)
{
    j.BeginObject();
    j.Int("index", index);
    j.Int("number", p.GetPosnNum());
    j.String("comment", *p.GetComment());
    j.String("group", *p.GetGroupName());
    const int mode = p.GetAnalyserMode();
    const char letters[3] = {char(mode & 0xFF), char(mode >> 8 & 0xFF), char(mode >> 16 & 0xFF)};
    j.String("analyserMode", std::string(letters, strnlen(letters, 3)));
    j.Int("scanMode", p.GetScanMode());
    j.Int("posnMode", p.GetPosnMode());
    const int axes = AxesOf(p.GetPosnMode());
    const int points = p.GetNumPoints(-1);
    j.Int("numPoints", points);
    j.BeginArray("points");
    if (axes > 0) {
        const int listed = std::min(points, MaxListedPoints);
        for (int i = 0; i < listed; ++i) {
            double xy[4];
            for (int a = 0; a < axes; ++a)
                xy[a] = p.GetCoord(a, i);
            j.Values("", xy, static_cast<size_t>(axes));
        }
    }
    j.EndArray();
    const CStagePosn::SStoredFields f = p.GetStoredFields();
    j.BeginObject("stored");
    j.Int("nX", f.nX);
    j.Int("nY", f.nY);
    j.Double("X0", f.X0);
    j.Double("Y0", f.Y0);
    j.Double("X1", f.X1);
    j.Double("Y1", f.Y1);
    j.Double("dX", f.dX);
    j.Double("dY", f.dY);
    j.Values("X", f.X.data(), f.X.size());
    j.Values("Y", f.Y.data(), f.Y.size());
    j.EndObject();
    j.BeginArray("levels");
    for (int i = 0; i < p.GetNumLevels(); ++i)
        j.Double("", p.GetLevel(i)->GetValue());
    j.EndArray();
    j.BeginArray("spectrumRegions");
    for (int i = 0; i < p.GetNumSpecRgns(); ++i)
        DumpSpecRgn(j, *p.GetSpecRgn(i));
    j.EndArray();
    j.BeginArray("imageRegions");
    for (int i = 0; i < p.GetNumImageRgns(); ++i)
        DumpImageRgn(j, *p.GetImageRgn(i));
    j.EndArray();
    j.EndObject();
}

void DumpQuantify(CJsonWriter& j, const CQuantify& q)
{
    j.BeginObject("quantification");
    j.Bool("present", q.m_bValid);
    if (q.m_bValid) {
        j.Int("aes", q.m_bAES);
        if (q.m_bAES) {
            j.Int("library", q.m_Auger.m_iFile);
            j.String("libraryPath", q.m_Auger.m_csFile);
            j.Double("beamEnergy", q.m_Auger.m_dEnergy);
        }
        j.Int("calculation", q.m_Display.m_iCalc);
        j.Int("displayMode", q.m_Display.m_iDispMode);
        j.Int("quantify", q.m_Display.m_bQuantify);
        j.BeginArray("positions");
        for (const auto& list : q.m_RgnLists) {
            j.BeginArray("");
            for (const CQuantifyRgn& r : list) {
                j.BeginObject("");
                j.String("label", r.m_csLabel);
                j.String("element", r.m_csElement);
                j.String("transition", r.m_csTransition);
                j.Int("selected", r.m_bSelected);
                j.Int("region", r.m_iRegion);
                j.Int("lower", r.m_iLower);
                j.Int("upper", r.m_iUpper);
                j.Double("rsf", r.m_dRSF);
                j.Values("results", r.m_pdResults.data(), r.m_pdResults.size());
                j.EndObject();
            }
            j.EndArray();
        }
        j.EndArray();
    }
    j.EndObject();
}

void DumpBackground(CJsonWriter& j, const CBackground& b)
{
    j.BeginObject("backgroundSubtraction");
    j.Bool("present", !b.IsDefault());
    if (!b.IsDefault()) {
        j.BeginArray("limits");
        for (const auto& posn : b.GetAll()) {
            std::vector<int64_t> v;
            for (const CBackground::SLimits& l : posn) {
                v.push_back(l.start);
                v.push_back(l.finish);
            }
            j.Values({}, v.data(), v.size());
        }
        j.EndArray();
    }
    j.EndObject();
}

bool Dump(const CVeltraneDoc& doc, const std::string& path)
{
    CJsonWriter j(stdout);
    j.BeginObject();
    j.String("file", path);

    const CHeader& h = *doc.GetHeader();
    char name[13];
    h.GetProgName(name);
    j.BeginObject("header");
    j.String("progName", name);
    j.Int("fileType", h.GetFileType());
    j.Int("progVersion", h.GetProgVersion());
    j.Int("fileVersion", h.GetFileVersion());
    j.EndObject();

    const CExperiment& e = *doc.GetExperiment();
    j.BeginObject("experiment");
    j.Int("expType", e.GetExpType());
    j.Int("dataType", e.GetDataType());
    j.Int("technique", e.GetTechnique());
    j.String("operator", e.GetOperator());
    j.String("comment", e.GetComment());
    j.Int("timeStatus", e.GetTime()->m_status);
    j.Double("time", e.GetTime()->m_dt);
    j.Int("moveType", e.GetMoveType());
    j.Int("profileType", e.GetProfileType());
    j.Int("scanType", e.GetScanType());
    j.Double("offset", e.GetOffset());
    j.Int("detector", e.GetDetector());
    j.Int("numStagePosns", e.GetNumStagePosns());
    j.Int("size", e.GetSize());
    j.Int("resol", e.GetResol());
    j.Double("mag", e.GetMag());
    j.Double("step", e.GetStep());
    j.Int("autoOff", e.GetAutoFlag());
    j.Int("rotate", e.GetRotateFlag());
    j.Int("manualEtch", e.GetManualEtchFlag());
    j.EndObject();

    const CSource& s = *doc.GetSource();
    j.BeginObject("source");
    j.Int("type", s.GetSourceType());
    j.Double("voltage", s.GetVoltage());
    j.Double("current", s.GetCurrent());
    j.Double("energy", s.GetEnergy());
    j.EndObject();

    const CIonGun& g = *doc.GetIonGun();
    j.BeginObject("ionGun");
    j.Int("type", g.GetType());
    j.Int("preset", g.GetPreset());
    j.Int("dutyCycle", g.GetDutyCycle());
    j.EndObject();

    DumpBackground(j, *doc.GetBackgroundSubtract());
    DumpQuantify(j, *doc.GetQuantify());

    j.BeginArray("positions");
    for (int i = 0; i < doc.GetNumStagePosns(); ++i)
        if (const CStagePosn* p = doc.GetStagePosn(i))
            DumpPosn(j, *p, i);
    j.EndArray();
    j.EndObject();
    if (!j.Flush()) {
        std::fprintf(stderr, "vltdump: the output could not be written\n");
        return false;
    }
    return true;
}

int Usage()
{
    std::fprintf(stderr, "usage: vltdump FILE\n"
#ifdef VLTDUMP_IMPORTS
                         "       vltdump --vamas OUT FILE\n"
#endif
    );
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    CStderrSink sink;
    SetMessageSink(&sink);
#ifdef VLTDUMP_IMPORTS
    RegisterImportReaders();
#endif
    std::string vamasOut;
    int arg = 1;
    if (argc == 4 && std::strcmp(argv[1], "--vamas") == 0) {
#ifdef VLTDUMP_IMPORTS
        vamasOut = argv[2];
        arg = 3;
#else
        return Usage();
#endif
    } else if (argc != 2 || argv[1][0] == '-') {
        return Usage();
    }
    const std::string path = argv[arg];

    CVeltraneDoc doc;
    if (!doc.OnOpenDocument(path))
        return 1;
#ifdef VLTDUMP_IMPORTS
    if (!vamasOut.empty())
        return SaveDocumentAsVamas(doc, vamasOut) ? 0 : 1;
#endif
    return Dump(doc, path) ? 0 : 1;
}
