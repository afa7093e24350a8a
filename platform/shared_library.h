// A shared library loaded at run time, unloaded when the object goes away.
#pragma once

#include <string>

namespace plexivar::platform {

class SharedLibrary {
public:
    SharedLibrary() = default;
    ~SharedLibrary();
    SharedLibrary(SharedLibrary&& other) noexcept;
    SharedLibrary& operator=(SharedLibrary&& other) noexcept;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // Loads `name` the way the dynamic linker finds libraries (a bare name is searched on
    // the executable's run path, which points at its own folder). False with the loader's
    // message in `error` when it fails.
    bool Load(const std::string& name, std::string* error = nullptr);
    bool IsLoaded() const { return handle_ != nullptr; }

    // The address of an exported symbol, or nullptr.
    void* Symbol(const char* name) const;

    template <class Fn>
    bool Bind(const char* name, Fn& fn) const {
        fn = reinterpret_cast<Fn>(Symbol(name));
        return fn != nullptr;
    }

private:
    void* handle_ = nullptr;
};

}  // namespace plexivar::platform
