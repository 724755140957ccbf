#pragma once
// A registry of pointers handed out by index: fonts, bitmaps and cell types.

#include <array>
#include <vector>

class CUGPtrList
{
public:
    // Index of the new entry, or -1 when the list cannot grow.
    int AddPointer(void* p, long value = 0, const void* data = nullptr);
    int UpdateParam(int index, long value);
    long GetParam(int index) const;
    void* GetPointer(int index) const;
    int GetPointerIndex(const void* p) const;
    int DeletePointer(int index);
    int EmptyList();
    int GetCount() const { return m_count; }
    int GetMaxCount() const { return int(m_entries.size()); }

private:
    struct Entry
    {
        bool used = false;
        void* pointer = nullptr;
        long value = 0;
        std::array<unsigned char, 16> data{};
    };
    std::vector<Entry> m_entries;
    int m_count = 0;
};
