#pragma once
// A grid model that records its notifications, for the model tests.

#include "UGrid/model/UGCtrlCore.h"

#include <string>
#include <vector>

class TestGrid : public CUGCtrlCore
{
public:
    TestGrid(int cols = 5, long rows = 20, int width = 400, int height = 300)
    {
        SetClientSize(width, height);
        SetColCount(cols);
        SetRowCount(rows);
        AdjustLayout();
        log.clear();
    }

    int OnCanMove(int oc, long orow, int nc, long nr) override
    {
        log.push_back("CanMove " + std::to_string(oc) + "," + std::to_string(orow) + "->" +
                      std::to_string(nc) + "," + std::to_string(nr));
        return allowMove;
    }
    void OnBottomReached(long count, long past, long) override
    {
        log.push_back("BottomReached " + std::to_string(count) + " " + std::to_string(past));
        if (addRowsAtBottom)
            SetRowCount(GetRowCount() + addRowsAtBottom, 0);
    }
    void OnColChange(int o, int n) override
    {
        log.push_back("ColChange " + std::to_string(o) + " " + std::to_string(n));
    }
    void OnRowChange(long o, long n) override
    {
        log.push_back("RowChange " + std::to_string(o) + " " + std::to_string(n));
    }
    void OnCellChange(int oc, int nc, long orow, long nr) override
    {
        log.push_back("CellChange " + std::to_string(oc) + " " + std::to_string(nc) + " " +
                      std::to_string(orow) + " " + std::to_string(nr));
    }
    void OnLeftColChange(int o, int n) override
    {
        log.push_back("LeftColChange " + std::to_string(o) + " " + std::to_string(n));
    }
    void OnTopRowChange(long o, long n) override
    {
        log.push_back("TopRowChange " + std::to_string(o) + " " + std::to_string(n));
    }
    void OnSheetSetup(int sheet) override { log.push_back("SheetSetup " + std::to_string(sheet)); }
    int OnEditStart(int col, long row, CWnd**) override
    {
        log.push_back("EditStart " + std::to_string(col) + "," + std::to_string(row));
        return allowEditStart;
    }
    int OnEditFinish(int col, long row, CWnd*, std::string& text, int cancel) override
    {
        log.push_back("EditFinish " + std::to_string(col) + "," + std::to_string(row) + " '" + text + "' " +
                      std::to_string(cancel));
        return allowEditFinish;
    }
    int OnEditContinue(int oc, long orow, int* nc, long* nr) override
    {
        log.push_back("EditContinue " + std::to_string(oc) + "," + std::to_string(orow) + "->" +
                      std::to_string(*nc) + "," + std::to_string(*nr));
        if (proposeCol != -1000)
            *nc = proposeCol;
        return 1;
    }
    void OnGetCell(int, long, CUGCell* cell) override
    {
        if (getCellBack)
            cell->SetBackColor(getCellBack);
    }
    bool IsShiftHeld() const override { return shift; }
    bool IsCtrlHeld() const override { return ctrl; }
    CUGGridInfo* Sheet() { return m_GI; }
    void SetMove(int kind, unsigned flags)
    {
        m_GI->m_moveType = kind;
        m_GI->m_moveFlags = flags;
    }

    std::vector<std::string> log;
    int allowMove = 1;
    int allowEditStart = 1;
    int allowEditFinish = 1;
    int proposeCol = -1000;
    long addRowsAtBottom = 0;
    COLORREF getCellBack = 0;
    bool shift = false;
    bool ctrl = false;
};
