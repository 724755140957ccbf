#pragma once
// The base window of every display pane (plot window, image pane): remembers
// whether it is its view's active pane and draws its frame accordingly, a
// raised edge when active and an etched one otherwise, on top of the pane's
// own painting.

#include "app/plot/PlotTypes.h"

#include <QWidget>

class QPainter;

class CDispWnd : public QWidget
{
    Q_OBJECT
public:
    explicit CDispWnd(QWidget* parent = nullptr);
    ~CDispWnd() override;

    // Repaints the frame when the state changes.
    void SetActive(bool bActivate);
    bool IsActive() const { return m_bActive; }
    // With a painter (the pane's paint, after its content) draws the frame
    // along the whole client rectangle; without one repaints the frame.
    void DrawActiveRect(QPainter* pDC);

private:
    bool m_bActive = false;
};
