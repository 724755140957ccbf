#pragma once
// The base of every view of a document: typed access to the document, the
// view size used for layout, printing, and the program-wide record of the
// one processing tool that may be open.

#include "framework/ui/View.h"

#include <QSize>

class CVeltraneDoc;
class QDialog;
class QMenu;
class QPrinter;

class CVeltraneView : public CView
{
    Q_OBJECT
public:
    // The open processing dialog or null; set and cleared by those dialogs.
    static QDialog* m_pProcDlg;
    static QDialog* GetProcDlg() { return m_pProcDlg; }

    CVeltraneDoc* GetDocument() const;

    // true: m_Size becomes the client size; false: the largest size of the
    // standard table that is narrower than the screen.
    void SetViewSize(bool bClient);
    QSize GetViewSize() const { return m_Size; }
    // The nominal size for a screen of the given width.
    static QSize NominalSize(int screenWidth);

    // The drop-down arrow of the Sample, Region or Level button of the text
    // toolbar was pressed while this view is active: fill the menu.
    virtual void OnDispDropDown(unsigned id, QMenu* menu)
    {
        (void)id;
        (void)menu;
    }

protected:
    CVeltraneView();

    // Printing: the print dialog on the application's printer, then OnPrint.
    virtual bool OnPreparePrinting(QPrinter* printer);
    virtual void OnBeginPrinting(QPrinter*) {}
    virtual void OnEndPrinting(QPrinter*) {}
    // Default: the view's OnDraw scaled to the page. bPreview is set while
    // the print preview renders.
    virtual void OnPrint(QPrinter* printer, bool bPreview);

    void OnFilePrint();
    void OnFilePrintPreview();

    QSize m_Size{0, 0};
};

// The analysis sheets that exist, whatever view they work on: at most one
// processing tool is open in the whole program. Each sheet sets its slot while
// its window exists and clears it when the window goes.
struct SToolInstances
{
    static QWidget* m_pChemPrfSheet;
    static QWidget* m_pPelomarSheet;
    static QWidget* m_pQuantifySheet;

    // No processing dialog and no analysis sheet is open.
    static bool NoToolOpen();
};
