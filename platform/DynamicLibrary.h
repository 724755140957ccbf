#pragma once
// A shared library loaded at run time by name or path (dlopen).

#include <string>

class CDynamicLibrary
{
public:
    CDynamicLibrary() = default;
    ~CDynamicLibrary() { Free(); }
    CDynamicLibrary(const CDynamicLibrary&) = delete;
    CDynamicLibrary& operator=(const CDynamicLibrary&) = delete;

    // False when the library cannot be loaded; LastError() then says why.
    bool Load(const std::string& name);
    void Free();
    bool IsLoaded() const { return m_handle != nullptr; }
    // The address of an exported symbol, or null.
    void* Symbol(const char* name) const;
    const std::string& LastError() const { return m_error; }

    template <class Fn> Fn Function(const char* name) const { return reinterpret_cast<Fn>(Symbol(name)); }

private:
    void* m_handle = nullptr;
    std::string m_error;
};
