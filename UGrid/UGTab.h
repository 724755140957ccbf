#pragma once
// The sheet-tab bar at the bottom left of the grid, beside the horizontal scroll
// bar: up to 64 labelled tabs with caller ids, one current, scrolled by two
// arrow buttons when they do not fit; its right edge can be dragged to share the
// bottom line with the scroll bar.

#include "UGrid/UGDC.h"
#include "UGrid/model/UGTypes.h"

#include <QFont>
#include <QWidget>

#include <string>
#include <vector>

class CUGCtrl;
class QToolButton;

class CUGTab : public QWidget
{
    Q_OBJECT
public:
    static constexpr int MaxTabs = 64;

    explicit CUGTab(CUGCtrl* ctrl, QWidget* parent = nullptr);
    // The control a replacement bar works for (set when the control adopts it).
    void SetCtrl(CUGCtrl* ctrl) { m_ctrl = ctrl; }

    int AddTab(const char* label, long id);
    int InsertTab(int index, const char* label, long id);
    int DeleteTab(long id);
    int GetTabCount() const { return int(m_tabs.size()); }
    int SetCurrentTab(long id);
    // Index of the current tab; -1 when there is none.
    int GetCurrentTab() const { return m_tabs.empty() ? -1 : m_current; }
    int SetTabBackColor(long id, COLORREF colour);
    int SetTabTextColor(long id, COLORREF colour);
    int SetTabFont(CFont* font);
    void Redraw();

    int ScrollOffset() const { return m_scrollOffset; }
    int LargestOffset() const { return m_maxOffset; }
    int ArrowWidth() const { return m_arrowWidth; }
    int TabWidth(int index) const { return m_tabs[size_t(index)].width; }
    // One step of the arrow buttons.
    void ScrollStep(bool right);
    // The tab under x (the first whose left edge to right edge + 2 holds it), or -1.
    int TabAt(int x) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct Tab
    {
        std::string label;
        int width;
        long id;
        COLORREF text, back;
    };
    int IndexOf(long id) const;
    int Measure(const std::string& label) const;
    void CalcMaxOffset();
    void ScrollIntoView(int index);
    void SizeTabBar(int x);

    std::vector<Tab> m_tabs;
    int m_scrollOffset = 0;
    int m_maxOffset = 0;
    int m_current = 0;
    int m_arrowWidth = 0;
    QToolButton* m_left = nullptr;
    QToolButton* m_right = nullptr;
    QFont m_ownFont;
    QFont m_font;
    bool m_onEdge = false;
    bool m_sizing = false;
    CUGCtrl* m_ctrl;
};
