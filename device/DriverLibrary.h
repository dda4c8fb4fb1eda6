// CDriverLibrary: a loaded driver library (dynamic library) and lookup of its exports.
#pragma once

#include <memory>
#include <string>

class CDriverLibrary {
public:
    ~CDriverLibrary();
    CDriverLibrary(const CDriverLibrary&) = delete;
    CDriverLibrary& operator=(const CDriverLibrary&) = delete;

    // The exported symbol, or null when the library does not export it.
    void* Symbol(const char* name) const;

    template <typename Fn> Fn Function(const char* name) const { return reinterpret_cast<Fn>(Symbol(name)); }

    const std::string& Path() const { return m_path; }

private:
    friend std::unique_ptr<CDriverLibrary> LoadDriverLibrary(const std::string&, std::string*);
    CDriverLibrary(void* handle, std::string path) : m_handle(handle), m_path(std::move(path)) {}

    void* m_handle;
    std::string m_path;
};

// Loads the library file at `path`; null when it cannot be loaded (then `why`, if given, says why).
std::unique_ptr<CDriverLibrary> LoadDriverLibrary(const std::string& path, std::string* why = nullptr);
