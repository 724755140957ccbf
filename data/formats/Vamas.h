#pragma once
// The VAMAS (ISO 14976) writer: a document as one block per position, point,
// level and region.

#include <functional>
#include <string>
#include <vector>

class CVeltraneDoc;

class CVamas
{
public:
    // What the writer takes from outside the document. The default reads the
    // machine-wide "\VAMAS" values (read-only), the login name and the time
    // zone's standard bias.
    struct Environment
    {
        // Value of a machine-wide "\VAMAS" entry; false when it is not there.
        std::function<bool(const std::string& name, std::string& value)> value;
        std::string userName;
        int biasMinutes = 0; // UTC minus local standard time
    };
    static Environment SystemEnvironment();

    CVamas(const CVeltraneDoc* pDoc, const Environment& env);
    explicit CVamas(const CVeltraneDoc* pDoc) : CVamas(pDoc, SystemEnvironment()) {}

    // 0, or the id of the message saying why this document has no VAMAS form
    // (image data, no analysis positions, a value the file cannot carry so
    // that it reads back). For the last, *what (when given) names the value.
    int CanWrite(std::string* what = nullptr) const;
    // The message to show when CanWrite refuses the document titled title;
    // empty when it can be written.
    std::string Refusal(const std::string& title) const;
    // The whole file; lines end with CR LF, the last ("end of experiment") with nothing.
    std::string Write() const;

private:
    std::string ValueOutOfRange() const;
    void WriteBlock(std::string& out, int n, int iPosn, int iPoint, int iLevel, int iTrace,
                    int iRegion) const;

    const CVeltraneDoc* m_pDoc;
    std::string m_Format, m_Institute, m_Instrument, m_Operator, m_ExpID, m_Comment, m_ExpMode, m_ScanMode;
    std::vector<std::string> m_VarLabels, m_VarUnits;
    int m_nComments = 0, m_nRegions = 0, m_nAnalysisPosns = 0, m_nDiscreteX = 0, m_nDiscreteY = 0;
    bool m_bRegionsLine = true;
    bool m_bLevelVar = false; // the levels' values as the one experimental variable
    int m_nBlocks = 0;
    int m_Year = 0, m_Month = 0, m_Day = 0, m_Hour = 0, m_Minute = 0, m_Second = 0, m_GMT = 0;
    std::string m_Technique, m_SourceLabel, m_SignalMode, m_SputterMode;
    int m_IonZ = 18, m_IonN = 1, m_IonQ = 1;
    double m_SourceEnergy = 1e37, m_SourceStrength = 1e37, m_BeamWidthX = 1e37, m_BeamWidthY = 1e37;
    double m_FieldX = 1e37, m_FieldY = 1e37;
    int m_Linescan[6] = {1, 1, 1, 1, 1, 1};
    double m_SrcPolar = 56, m_SrcAzimuth = 90, m_DiffWidth = 1, m_Mag = 1, m_WorkFunction = 0,
           m_TargetBias = 1e37, m_AnalysisWidthX = 1, m_AnalysisWidthY = 1, m_TakeOffPolar = 0,
           m_TakeOffAzimuth = 0;
    double m_SputterEnergy = 1e37, m_SputterCurrent = 1e37, m_SputterWidthX = 1e37, m_SputterWidthY = 1e37,
           m_SputterPolar = 1e37, m_SputterAzimuth = 1e37;
    bool m_bDepthProfile = false;
};

// Writes the document as a VAMAS file at path. A document without a VAMAS form,
// a file that cannot be created and a failed write are each reported through
// the message sink; returns false then.
bool SaveDocumentAsVamas(const CVeltraneDoc& doc, const std::string& path);
