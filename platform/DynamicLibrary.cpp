#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

bool CDynamicLibrary::Load(const std::string& name)
{
    Free();
    // RTLD_LOCAL keeps the driver's symbols from clashing with a second copy.
    m_handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        const char* e = dlerror();
        m_error = e ? e : "dlopen failed";
        return false;
    }
    m_error.clear();
    return true;
}

void CDynamicLibrary::Free()
{
    if (m_handle) {
        dlclose(m_handle);
        m_handle = nullptr;
    }
}

void* CDynamicLibrary::Symbol(const char* name) const
{
    if (!m_handle)
        return nullptr;
    dlerror();
    return dlsym(m_handle, name);
}
