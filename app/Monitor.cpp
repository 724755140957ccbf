#include "app/Monitor.h"

#include "framework/ui/CrossThread.h"
#include "instrument/TrafficLog.h"

#include <QListWidget>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

// All lines one height and the width of the widest.
class CMonitor::CLineDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.setWidth(std::max(s.width(), m_iWidth));
        return s;
    }
    // Widens every line to at least width; true when that changed the width.
    bool Widen(int width)
    {
        if (width <= m_iWidth)
            return false;
        m_iWidth = width;
        return true;
    }
    void Changed(const QModelIndex& index) { emit sizeHintChanged(index); }

private:
    int m_iWidth = 0;
};

CMonitor::CMonitor(CMonitor** ownerSlot, CTrafficMonitor* traffic, QWidget* parent)
    : CDialog(parent), m_pOwnerSlot(ownerSlot), m_pTraffic(traffic), m_pList(new QListWidget(this))
{
    setObjectName(QStringLiteral("IDD_MONITOR"));
    setWindowTitle(QStringLiteral("Monitor"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    m_pList->setObjectName(QStringLiteral("IDC_MONITOR_LIST"));
    m_pList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_pList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_pList->setSortingEnabled(false);
    // Every line is as wide as the longest one held, so the horizontal scroll
    // bar reaches the end of a data reply's hexadecimal bytes and no line is
    // cut with an ellipsis. One size for all keeps laying out a full list
    // cheap; the widest line is measured once, when it arrives.
    m_pList->setUniformItemSizes(true);
    m_pList->setTextElideMode(Qt::ElideNone);
    m_pList->setItemDelegate(m_pDelegate = new CLineDelegate(m_pList));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_pList);
    // 338 x 503 dialog units of the original layout, in pixels of an average font.
    resize(fontMetrics().averageCharWidth() * 338 / 4, fontMetrics().height() * 503 / 8);
}

CMonitor::~CMonitor()
{
    Destroy();
}

bool CMonitor::OnInitDialog()
{
    if (m_pTraffic) {
        // Runs on the logging thread: only queue a refresh, at most one at a time.
        m_pTraffic->Attach([this] {
            if (m_bRefreshQueued.exchange(true))
                return;
            PostToThreadOf(this, [this] {
                m_bRefreshQueued = false;
                Refresh();
            });
        });
    }
    Refresh();
    return true;
}

void CMonitor::Refresh()
{
    if (!m_pTraffic || m_bDestroyed)
        return;
    unsigned long long gen = m_pTraffic->Generation();
    if (gen == m_shownGeneration)
        return;
    m_shownGeneration = gen;
    // Only what changed: the lines trimmed from the head go, the new ones are
    // added at the end. The lines in between stay as they are, so a line the
    // user selected stays selected and the part of the list being read stays
    // in view, however busy the links are.
    CTrafficMonitor::SNewLines fresh = m_pTraffic->LinesFrom(m_shownEnd);
    QScrollBar* bar = m_pList->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    const int oldValue = bar->value();
    m_pList->setUpdatesEnabled(false);
    int dropped = 0;
    if (fresh.first > m_shownFirst) {
        const unsigned long long gone = std::min<unsigned long long>(
            fresh.first - m_shownFirst, static_cast<unsigned long long>(m_pList->count()));
        dropped = static_cast<int>(gone);
        if (dropped == m_pList->count())
            m_pList->clear();
        else if (dropped > 0)
            m_pList->model()->removeRows(0, dropped);
        m_shownFirst = fresh.first;
    }
    if (!fresh.lines.empty()) {
        QStringList items;
        items.reserve(qsizetype(fresh.lines.size()));
        for (const std::string& l : fresh.lines)
            items << QString::fromLatin1(l.data(), qsizetype(l.size()));
        // The text's own width plus what the style adds around it.
        int widest = 0;
        const QFontMetrics fm = m_pList->fontMetrics();
        for (const QString& t : items)
            widest = std::max(widest, fm.horizontalAdvance(t));
        const bool wider = m_pDelegate->Widen(widest + 2 * fm.averageCharWidth());
        m_pList->addItems(items);
        if (wider)
            m_pDelegate->Changed(m_pList->model()->index(m_pList->count() - 1, 0));
    }
    m_shownEnd = fresh.start + fresh.lines.size();
    if (m_pList->count() == 0)
        m_shownFirst = m_shownEnd;
    m_pList->setUpdatesEnabled(true);
    if (atEnd)
        m_pList->scrollToBottom();
    else if (dropped > 0)
        bar->setValue(std::max(0, oldValue - dropped));
}

void CMonitor::OnCancel()
{
    // Closing destroys the monitor; the next open makes a new, empty one.
    Destroy();
    hide();
    deleteLater();
}

void CMonitor::Destroy()
{
    if (m_bDestroyed)
        return;
    m_bDestroyed = true;
    // After Detach no notification runs, so no queued call can outlive us
    // unnoticed (a queued call to a deleted QObject is dropped by Qt).
    if (m_pTraffic)
        m_pTraffic->Detach();
    if (m_pOwnerSlot && *m_pOwnerSlot == this)
        *m_pOwnerSlot = nullptr;
}
