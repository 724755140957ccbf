#pragma once
// A page's table in its placeholder: the grid fills the placeholder
// whatever its size, and the page lays its columns out again on a resize.

#include "acquire/ui/AcquireGrid.h"

#include <QResizeEvent>
#include <QWidget>
#include <functional>

class CGridHolder : public QWidget
{
public:
    CGridHolder(QWidget* parent, const char* name, CAcquireGrid& grid) : QWidget(parent), m_grid(grid)
    {
        setObjectName(QString::fromLatin1(name));
        setMinimumHeight(120);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        grid.setParent(this);
    }
    std::function<void()> onResize;

protected:
    void resizeEvent(QResizeEvent*) override
    {
        m_grid.setGeometry(rect());
        if (onResize)
            onResize();
    }

private:
    CAcquireGrid& m_grid;
};
