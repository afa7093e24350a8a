#include "platform/shared_library.h"

#include <dlfcn.h>

#include <utility>

namespace plexivar::platform {

SharedLibrary::~SharedLibrary() {
    if (handle_) dlclose(handle_);
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
        if (handle_) dlclose(handle_);
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

bool SharedLibrary::Load(const std::string& name, std::string* error) {
    void* h = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (h == nullptr) {
        if (error) {
            const char* why = dlerror();
            *error = why ? why : "unknown error";
        }
        return false;
    }
    if (handle_) dlclose(handle_);
    handle_ = h;
    return true;
}

void* SharedLibrary::Symbol(const char* name) const {
    return handle_ ? dlsym(handle_, name) : nullptr;
}

}  // namespace plexivar::platform
