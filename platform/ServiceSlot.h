#pragma once
// A process-wide service that tests and front ends may replace: the installed
// one, or the built-in default while none is installed. Safe to read from any
// thread while another installs.

#include <atomic>

template <class T> class CServiceSlot
{
public:
    explicit constexpr CServiceSlot(T& fallback) : m_fallback(&fallback) {}
    CServiceSlot(const CServiceSlot&) = delete;
    CServiceSlot& operator=(const CServiceSlot&) = delete;

    // Installs service (nullptr: the default again); returns what was in force.
    T* Set(T* service)
    {
        T* previous = m_current.exchange(service);
        return previous ? previous : m_fallback;
    }
    T* Get() const
    {
        T* current = m_current.load();
        return current ? current : m_fallback;
    }

private:
    T* m_fallback;
    std::atomic<T*> m_current{nullptr};
};
