#include "engine_library.h"

#include <dlfcn.h>

TEngineLibrary::TEngineLibrary(const std::string& directory, const std::string& fileName) {
  const auto load = [this](const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
      const char* why = dlerror();
      error_ = why != nullptr ? why : "cannot load " + path;
    }
  };
  if (!directory.empty())
    load(directory.back() == '/' ? directory + fileName : directory + '/' + fileName);
  // A plain file name: the system's library search.
  if (handle_ == nullptr && fileName.find('/') == std::string::npos) load(fileName);
  if (handle_ != nullptr) error_.clear();
}

TEngineLibrary::~TEngineLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}

void* TEngineLibrary::Find(const char* name) const {
  return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}
