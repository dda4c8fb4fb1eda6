// Loading and unloading a driver library with the system's dynamic loader.
#include "DriverLibrary.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

std::unique_ptr<CDriverLibrary> LoadDriverLibrary(const std::string& path, std::string* why) {
    if (path.empty()) {
        if (why)
            *why = "no library path given";
        return nullptr;
    }
#ifdef _WIN32
    HMODULE handle = ::LoadLibraryA(path.c_str());
    if (!handle) {
        if (why)
            *why = "LoadLibrary failed with error " + std::to_string(::GetLastError());
        return nullptr;
    }
    return std::unique_ptr<CDriverLibrary>(new CDriverLibrary(reinterpret_cast<void*>(handle), path));
#else
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (why) {
            const char* error = ::dlerror();
            *why = error ? error : "unknown loader error";
        }
        return nullptr;
    }
    return std::unique_ptr<CDriverLibrary>(new CDriverLibrary(handle, path));
#endif
}

CDriverLibrary::~CDriverLibrary() {
#ifdef _WIN32
    ::FreeLibrary(reinterpret_cast<HMODULE>(m_handle));
#else
    ::dlclose(m_handle);
#endif
}

void* CDriverLibrary::Symbol(const char* name) const {
#ifdef _WIN32
    return reinterpret_cast<void*>(::GetProcAddress(reinterpret_cast<HMODULE>(m_handle), name));
#else
    return ::dlsym(m_handle, name);
#endif
}
