#include "platform/dynamic_library.h"

#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace tsd {

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

DynamicLibrary::~DynamicLibrary() {
  close();
}

#ifdef _WIN32

DynamicLibrary DynamicLibrary::open(const char* path, std::string& error) {
  HMODULE module = LoadLibraryA(path);
  if (module == nullptr) error = "error " + std::to_string(GetLastError());
  return DynamicLibrary(reinterpret_cast<void*>(module));
}

void* DynamicLibrary::symbol(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void DynamicLibrary::close() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(std::exchange(handle_, nullptr)));
}

void* find_host_symbol(const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(nullptr), name));
}

#else

DynamicLibrary DynamicLibrary::open(const char* path, std::string& error) {
  void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    error = reason != nullptr ? reason : "cannot load library";
  }
  return DynamicLibrary(handle);
}

void* DynamicLibrary::symbol(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  return dlsym(handle_, name);
}

void DynamicLibrary::close() {
  if (handle_ != nullptr) dlclose(std::exchange(handle_, nullptr));
}

void* find_host_symbol(const char* name) {
  return dlsym(RTLD_DEFAULT, name);
}

#endif

}  // namespace tsd
