#include "UGrid/model/UGPtrList.h"

#include <cstring>
#include <new>

int CUGPtrList::AddPointer(void* p, long value, const void* data)
{
    if (m_count >= int(m_entries.size())) {
        try {
            m_entries.resize(m_entries.size() + 10);
        } catch (const std::bad_alloc&) {
            return -1;
        }
    }
    for (size_t i = 0; i < m_entries.size(); ++i) {
        Entry& e = m_entries[i];
        if (e.used)
            continue;
        e.used = true;
        e.pointer = p;
        e.value = value;
        if (data)
            std::memcpy(e.data.data(), data, e.data.size());
        ++m_count;
        return int(i);
    }
    return -1;
}

int CUGPtrList::UpdateParam(int index, long value)
{
    if (index < 0 || index >= int(m_entries.size()))
        return 1;
    if (!m_entries[size_t(index)].used)
        return 2;
    m_entries[size_t(index)].value = value;
    return 0;
}

long CUGPtrList::GetParam(int index) const
{
    if (index < 0 || index >= int(m_entries.size()))
        return 0;
    return m_entries[size_t(index)].value;
}

void* CUGPtrList::GetPointer(int index) const
{
    if (index < 0 || index >= int(m_entries.size()) || !m_entries[size_t(index)].used)
        return nullptr;
    return m_entries[size_t(index)].pointer;
}

int CUGPtrList::GetPointerIndex(const void* p) const
{
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].used && m_entries[i].pointer == p)
            return int(i);
    return -1;
}

int CUGPtrList::DeletePointer(int index)
{
    if (index < 0 || index >= int(m_entries.size()))
        return 1;
    Entry& e = m_entries[size_t(index)];
    if (e.used) {
        e = Entry{};
        --m_count;
    }
    return 0;
}

int CUGPtrList::EmptyList()
{
    m_entries.clear();
    m_entries.shrink_to_fit();
    m_count = 0;
    return 0;
}
