#include "app/plot/MouseTrack.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

namespace {

class CMouseLoop : public QObject
{
public:
    CMouseLoop(QWidget* w, const CPoint& start, const CRect* pConfine,
               const std::function<void(const CPoint&)>& onMove)
        : m_w(w), m_last(start), m_onMove(onMove)
    {
        if (pConfine) {
            m_bConfine = true;
            m_confine = *pConfine;
        }
    }

    bool Run(CPoint* pEnd)
    {
        QEventLoop loop;
        m_loop = &loop;
        qApp->installEventFilter(this);
        QObject::connect(m_w, &QObject::destroyed, &loop, [&loop] { loop.exit(0); });
        const int rc = loop.exec();
        qApp->removeEventFilter(this);
        m_loop = nullptr;
        if (rc == 1 && pEnd)
            *pEnd = m_last;
        return rc == 1;
    }

protected:
    bool eventFilter(QObject* obj, QEvent* e) override
    {
        switch (e->type()) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease: {
            auto* w = qobject_cast<QWidget*>(obj);
            if (!m_w || !w || (w != m_w && !m_w->isAncestorOf(w)))
                return false;
            auto* me = static_cast<QMouseEvent*>(e);
            if (e->type() == QEvent::MouseButtonRelease && me->button() != Qt::LeftButton)
                return true;
            const QPoint p = m_w->mapFromGlobal(me->globalPosition().toPoint());
            CPoint pt(p.x(), p.y());
            if (m_bConfine && !m_confine.IsRectEmpty()) {
                pt.x = std::clamp(pt.x, m_confine.left, m_confine.right - 1);
                pt.y = std::clamp(pt.y, m_confine.top, m_confine.bottom - 1);
            }
            if (!(pt == m_last)) {
                m_last = pt;
                if (m_onMove)
                    m_onMove(pt);
            }
            if (e->type() == QEvent::MouseButtonRelease && m_loop)
                m_loop->exit(1);
            return true;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            return obj == m_w.data();
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape && m_loop) {
                m_loop->exit(0);
                return true;
            }
            return false;
        case QEvent::ApplicationDeactivate:
            if (m_loop)
                m_loop->exit(0);
            return false;
        default:
            return false;
        }
    }

private:
    QPointer<QWidget> m_w;
    CPoint m_last;
    bool m_bConfine = false;
    CRect m_confine;
    std::function<void(const CPoint&)> m_onMove;
    QEventLoop* m_loop = nullptr;
};

} // namespace

bool RunMouseTracking(CWnd* pWnd, const CPoint& start, const CRect* pConfine,
                      const std::function<void(const CPoint&)>& onMove, CPoint* pEnd)
{
    if (!pWnd)
        return false;
    CMouseLoop loop(pWnd, start, pConfine, onMove);
    return loop.Run(pEnd);
}
