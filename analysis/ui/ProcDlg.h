#pragma once
// The base of the modeless processing dialogs of a spectrum view. It keeps
// the view, an undo copy of every curve of the view taken at opening, and the
// dialog kind's last window rectangle; it is the program's one open
// processing dialog (CVeltraneView::m_pProcDlg) while its window exists, and
// the view passes it window, curve, cursor, paint and unit changes.
//
// Pattern of the derived dialogs: Apply processes the curves and enables
// Reset; Reset puts the opening curves back; OK marks the document modified
// and tells the views only when something was applied; Cancel (button,
// Escape, the view or the main frame closing) resets first when something
// was applied. The window deletes itself when it goes.

#include "app/ViewTools.h"
#include "app/plot/PlotTypes.h"
#include "framework/ui/Dialog.h"

#include <QRect>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include <QApplication>

class CSpecViewBase;
class CSpecWnd;
class CSpecTrace;
class CVeltraneDoc;
class QPushButton;
class QHBoxLayout;
class QLabel;
class CLineCursor;

class CProcDlg : public CDialog, public IViewTool
{
    Q_OBJECT
public:
    CProcDlg(unsigned nIDTemplate, QRect* pWndRect);
    ~CProcDlg() override;

    // Registers the dialog, takes the undo copy of pView (none when null) and
    // shows the window. False when the window could not be made; the caller
    // then deletes the object.
    virtual bool Create(unsigned nIDTemplate, CSpecViewBase* pView);

    CSpecViewBase* GetView() const override { return m_pView; }
    CVeltraneDoc* GetDocument() const;
    bool IsApplied() const { return m_bApplied; }
    unsigned GetTemplateID() const { return m_nIDTemplate; }

    // A vertical line cursor on a curve of a window at window x (shown), and
    // taken off it again (hidden). Either does nothing without window or curve.
    static void AttachCursor(CLineCursor* pCursor, CSpecWnd* pWnd, CSpecTrace* pTrace, double x);
    static void DetachCursor(CLineCursor* pCursor, CSpecWnd* pWnd);

    // Hooks of the view and the main frame; the defaults do nothing.
    virtual int OnUnitChange(int from, int to);

    // Closes the dialog as Cancel does (the views and the main frame call it).
    void OnCancel() override;
    // Remembers the rectangle, frees the undo copy, ends the registration and
    // lets the window delete itself.
    void DestroyWindow() override;

protected:
    bool OnInitDialog() override;
    void OnOK() override;

    // Centred, 2 pixels above the bottom of the work area the first time;
    // where the user left this kind of dialog afterwards.
    void PlaceWindow();
    // Every curve back as at opening, repainted; the document marked modified
    // when it was saved after an Apply.
    void Reset();
    // The document marked modified and the views told that every curve changed.
    void SendProcessUpdate();
    // Calls f on the values of every curve of every plane of every window of
    // the view, in the order of the undo copy; each window's column cache is
    // dropped and the window repainted after its curves.
    void ForEachCurve(const std::function<void(CSpecWnd* w, int plane, int trace, double* y, int n)>& f);
    // The undo copy (the curves as they were at opening), or null.
    const double* GetUndo() const { return m_pdUndo.get(); }

    // The horizontal centre of a curve's display rectangle.
    static double CentreOf(const CSpecTrace* pTrace);
    // The size cursor of pCursor when it lies in pWnd and pt hits it, else null.
    static HCURSOR CursorAt(const CLineCursor* pCursor, const CPoint& pt, const CSpecWnd* pWnd);

    // The standard buttons, each with its objectName, and a row of them.
    QPushButton* AddButton(const char* name, const QString& text);
    static QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons);
    // Apply done: Reset enabled, the dialog applied. Reset: the opening
    // curves back, Reset disabled, nothing applied.
    void Applied(QPushButton* btnReset);
    void ResetClicked(QPushButton* btnReset);
    // A line cursor moved from one curve to another (either may be null),
    // keeping its position.
    static void MoveCursorToTrace(CLineCursor* pCursor, CSpecTrace* pNew, CSpecTrace* pOld);
    // Apply of the width filters: each curve copied into buf, then filtered
    // back into its own values by f; curves shorter than the width are left
    // and reported once. False when every curve was left.
    bool FilterCurves(std::vector<double>& buf, int nWidth,
                      const std::function<void(double* y, const double* in, int n)>& f);
    // Apply enabled exactly for a width within min ... max, and odd where the
    // Savitzky-Golay matrices are used; the reason shown when that alone forbids it.
    static void ShowWidthState(QPushButton* btnApply, QLabel* lblReason, int nWidth, int nMin, int nMax,
                               bool bSavGol);

    CSpecViewBase* m_pView = nullptr;
    bool m_bApplied = false;

private:
    unsigned m_nIDTemplate;
    QRect* m_pWndRect;
    std::unique_ptr<double[]> m_pdUndo;
    bool m_bDestroying = false;
    // The document's save count at the first Apply: a save since then wrote
    // the processed curves, so taking them back leaves the document modified.
    unsigned m_nSavesAtApply = 0;
};

// Messages shared by the dialogs.
enum : unsigned
{
    IDS_PROC_TOO_SHORT = 2352, // a curve shorter than the width was skipped
    IDS_PROC_ODD_WIDTH = 2353, // why Apply is greyed for an even Savitzky-Golay width
};

// The wait cursor over one processing step.
struct SWaitCursor
{
    SWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~SWaitCursor() { QApplication::restoreOverrideCursor(); }
    SWaitCursor(const SWaitCursor&) = delete;
    SWaitCursor& operator=(const SWaitCursor&) = delete;
};

// Registers the processing dialogs with the spectrum view's Process commands
// and the main frame's unit-change hook.
void InstallProcessTools();
