#pragma once
// Where a grid's cells live. The base answers "not supported" (-1) or "allow" (1).

#include "UGrid/model/UGCell.h"

#include <string>

class CUGCtrlCore;

class CUGDataSource
{
public:
    virtual ~CUGDataSource() = default;

    virtual long GetNumRows() { return -1; }
    virtual int GetNumCols() { return -1; }
    virtual int AppendRow() { return -1; }
    virtual int InsertRow(long) { return -1; }
    virtual int AppendCol() { return -1; }
    virtual int InsertCol(int) { return -1; }
    virtual int DeleteRow(long) { return -1; }
    virtual int DeleteCol(int) { return -1; }
    virtual int DeleteCell(int, long) { return -1; }
    virtual int Empty() { return -1; }
    virtual int GetCell(int, long, CUGCell*) { return -1; }
    virtual int SetCell(int, long, CUGCell*) { return -1; }
    virtual int FindFirst(std::string*, int*, long*, long) { return -1; }
    virtual int FindNext(std::string*, int*, long*, long) { return -1; }
    virtual int SortBy(int*, int, int) { return -1; }
    virtual int SortBy(int col, int flags) { return SortBy(&col, 1, flags); }
    virtual int OnBottomReached(long, long, long*) { return -1; }
    virtual void OnRowChange(long, long) {}
    virtual void OnColChange(int, int) {}
    virtual int OnCanMove(int, long, int, long) { return 1; }
    virtual int OnEditStart(int, long, CWnd**) { return 1; }
    virtual int OnEditVerify(int, long, CWnd*, UINT*) { return 1; }
    virtual int OnEditFinish(int, long, CWnd*, const char*, int) { return 1; }
    virtual int OnEditContinue(int, long, int*, long*) { return 1; }
    virtual int GetPrevNonBlankCol(int*, long) { return -1; }

    void SetID(long id) { m_ID = id; }
    long GetID() const { return m_ID; }

    CUGCtrlCore* m_ctrl = nullptr;

protected:
    long m_ID = -1;
};
