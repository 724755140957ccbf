#pragma once
// A grid window that logs its notifications with their arguments.

#include "UGrid/UGCtrl.h"
#include "UGrid/UGDropListType.h"

#include <QApplication>

#include <string>
#include <vector>

class LogGrid : public CUGCtrl
{
public:
    LogGrid()
    {
        resize(400, 300);
        SetColCount(4);
        SetRowCount(6);
    }

    void OnCharDown(UINT* key, int processed) override
    {
        if (!processed && *key >= 32)
            StartEdit(int(*key));
    }
    void OnDClicked(int, long, RECT*, POINT*, int processed) override
    {
        if (!processed)
            StartEdit();
    }
    int OnEditStart(int col, long row, CWnd**) override
    {
        Log("EditStart " + std::to_string(col) + "," + std::to_string(row));
        return 1;
    }
    int OnEditVerify(int col, long row, CWnd*, UINT* key) override
    {
        Log("EditVerify " + std::to_string(col) + "," + std::to_string(row) + " " + std::to_string(*key));
        return !digitsOnly || *key < 32 || (*key >= '0' && *key <= '9') || *key == '.';
    }
    int OnEditFinish(int col, long row, CWnd*, std::string& text, int cancel) override
    {
        Log("EditFinish " + std::to_string(col) + "," + std::to_string(row) + " '" + text + "' " +
            std::to_string(cancel));
        return refuseFinish ? 0 : 1;
    }
    int OnEditContinue(int col, long row, int* newCol, long* newRow) override
    {
        Log("EditContinue " + std::to_string(col) + "," + std::to_string(row) + "->" +
            std::to_string(*newCol) + "," + std::to_string(*newRow));
        return 1;
    }
    int OnCellTypeNotify(long id, int col, long row, long msg, long param) override
    {
        std::string entry = "CellType " + std::to_string(id) + " " + std::to_string(col) + "," +
                            std::to_string(row) + " " + std::to_string(msg);
        if (msg == CTN_CHECK)
            entry += " " + std::to_string(param);
        if (msg == CTN_OPEN && id == UGTYPE_DROPLIST) {
            auto* items = reinterpret_cast<std::vector<std::string>*>(param);
            entry += " items " + std::to_string(items->size());
        }
        if (msg == CTN_SELECT) {
            entry += " '" + *reinterpret_cast<std::string*>(param) + "'";
            entry +=
                qobject_cast<CUGLstBox*>(QApplication::focusWidget()) ? " list-focused" : " list-not-focused";
        }
        Log(entry);
        return 1;
    }
    void Log(const std::string& s) { log.push_back(s); }

    std::vector<std::string> log;
    bool refuseFinish = false;
    bool digitsOnly = false;
};
