#pragma once
// The experiment document, toolkit-free half: the records of one experiment,
// its own block file format, the choice of reader for a file, and the routing
// of acquired data into the regions before the views hear of it.

#include "data/Background.h"
#include "data/Experiment.h"
#include "data/Header.h"
#include "data/IonGun.h"
#include "data/Quantify.h"
#include "data/Source.h"
#include "data/StagePosn.h"
#include "framework/doc/Document.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CArchive;
class CFile;
class IImportReader;

class CVeltraneDoc : public CDocument
{
public:
    // The view family a file opens in; None when it cannot be opened.
    enum class DocTemplate
    {
        None,
        Spectrum,
        Profile,
        Image,
    };

    CVeltraneDoc();
    ~CVeltraneDoc() override;
    CVeltraneDoc(const CVeltraneDoc&) = delete;
    CVeltraneDoc& operator=(const CVeltraneDoc&) = delete;

    // The readers of Norvale and VAMAS files, installed by data/formats.
    // Without one such files are refused with the unsupported-format message.
    static void SetImportReader(IImportReader* reader);
    static IImportReader* GetImportReader();

    // Which template opens the file, judged by its first 64 bytes; the file is
    // left at its start. Refusals show their message and return None; an own
    // file whose experiment type has no data bits is reported and abandoned
    // with CUserException. *pOwnFormat (when given) tells whether the file
    // begins with this program's name.
    static DocTemplate ClassifyFile(CFile& file, bool* pOwnFormat = nullptr);

    // Loading dispatches by the file's first 64 bytes to the Norvale, VAMAS or
    // own reader; storing writes the own format.
    void Serialize(CArchive& ar) override;
    void OpenVeltraneFile(CArchive& ar);
    void SaveVeltraneFile(CArchive& ar);

    // Reads the whole document from an open file as the framework's open
    // does, the failures reported the same way; false after a failure.
    bool ReadFrom(CFile& file);
    void DeleteContents() override;

    // Acquired data are stored in their region first, then every view is told.
    void UpdateAllViews(IDocView* pSender, intptr_t lHint = 0, void* pHint = nullptr);

    int GetMaxNumRegionPoints() const;

    const CHeader* GetHeader() const { return &m_Header; }
    const CExperiment* GetExperiment() const { return &m_Experiment; }
    const CSource* GetSource() const { return &m_Source; }
    const CIonGun* GetIonGun() const { return &m_IonGun; }
    std::vector<std::unique_ptr<CStagePosn>>* GetStagePosns() { return &m_caStagePosns; }
    const std::vector<std::unique_ptr<CStagePosn>>& GetStagePosns() const { return m_caStagePosns; }
    // Null for an index outside the array, or an entry never set.
    CStagePosn* GetStagePosn(int i)
    {
        return i >= 0 && i < GetNumStagePosns() ? m_caStagePosns[size_t(i)].get() : nullptr;
    }
    const CStagePosn* GetStagePosn(int i) const
    {
        return i >= 0 && i < GetNumStagePosns() ? m_caStagePosns[size_t(i)].get() : nullptr;
    }
    int GetNumStagePosns() const { return static_cast<int>(m_caStagePosns.size()); }
    int GetTechnique() const { return m_Experiment.GetTechnique(); }
    int GetExpType() const { return m_Experiment.GetExpType(); }
    int GetScanType() const { return m_Experiment.GetScanType(); }

    CBackground* GetBackgroundSubtract() const { return m_pBackgroundSubtract.get(); }
    // The background-subtraction dialog on one of this document's views; the
    // user interface installs the opener (the limits live here, the dialog there).
    void OpenBackgroundSubtractDlg(IDocView* pView);
    static std::function<void(CVeltraneDoc&, IDocView*)> s_openBackgroundSubtractDlg;
    CQuantify* GetQuantify() const { return m_pQuantify.get(); }
    // The quantification sheet on one of this document's views; the user
    // interface installs the opener (the state lives here, the sheet there).
    void OpenQuantifyPropertySheet(IDocView* pView);
    static std::function<void(CVeltraneDoc&, IDocView*)> s_openQuantifyPropertySheet;

    void Initialize(const CHeader& header);
    void Initialize(const CExperiment& experiment);
    void Initialize(const CSource& source);
    void Initialize(const CIonGun& ionGun);
    // Stores the position at index i (the document owns it from now on),
    // growing the array with empty entries when needed.
    void SetStagePosn(int i, CStagePosn* pPosn);

private:
    void StoreAcquiredData(const struct SAcqUpdate& update);

    std::vector<std::unique_ptr<CStagePosn>> m_caStagePosns;
    CHeader m_Header;
    CExperiment m_Experiment;
    CSource m_Source;
    CIonGun m_IonGun;
    std::unique_ptr<CBackground> m_pBackgroundSubtract;
    std::unique_ptr<CQuantify> m_pQuantify;
};
