#include "app/Monitor.h"

#include "framework/ui/CrossThread.h"
#include "instrument/TrafficLog.h"

#include <QListWidget>
#include <QScrollBar>
#include <QVBoxLayout>

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
    m_pList->setUniformItemSizes(true);
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
    std::vector<std::string> lines = m_pTraffic->Lines();
    bool atEnd = m_pList->verticalScrollBar()->value() == m_pList->verticalScrollBar()->maximum();
    m_pList->setUpdatesEnabled(false);
    // The list is rebuilt from the model: trimming drops lines at its head.
    m_pList->clear();
    QStringList items;
    items.reserve(qsizetype(lines.size()));
    for (const std::string& l : lines)
        items << QString::fromLatin1(l.data(), qsizetype(l.size()));
    m_pList->addItems(items);
    m_pList->setUpdatesEnabled(true);
    if (atEnd)
        m_pList->scrollToBottom();
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
