// Dynamic loading for the add-in and its host: opens a shared library by path, finds its exports by name,
// and finds an export of the running program itself (the word processor's command entry).
#pragma once

#include <string>

namespace tsd {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  DynamicLibrary(DynamicLibrary&& other) noexcept;
  DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;
  ~DynamicLibrary();

  // A closed library (is_open() false) when the file cannot be loaded; `error` then says why.
  static DynamicLibrary open(const char* path, std::string& error);

  bool is_open() const { return handle_ != nullptr; }
  // The address of the export `name`, or null.
  void* symbol(const char* name) const;
  void close();

 private:
  explicit DynamicLibrary(void* handle) : handle_(handle) {}
  void* handle_ = nullptr;
};

// The address of the export `name` of the program's main module (dlsym(RTLD_DEFAULT) here,
// GetProcAddress on the main module on Windows), or null.
void* find_host_symbol(const char* name);

}  // namespace tsd
