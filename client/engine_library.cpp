#include "engine_library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <vector>

namespace {

std::string InDirectory(const std::string& directory, const std::string& fileName) {
  return directory.back() == '/' ? directory + fileName : directory + '/' + fileName;
}

// The installed library directory: absolute, or relative to the program's.
std::string InstalledLibraryDirectory() {
  const std::string libdir = ORV_LIBDIR_FROM_BINDIR;
  if (!libdir.empty() && libdir.front() == '/') return libdir;
  const std::string program = ProgramDirectory();
  return program.empty() ? std::string() : program + libdir;
}

}  // namespace

std::string ProgramDirectory() {
  std::vector<char> path(PATH_MAX + 1, '\0');
  const ssize_t n = readlink("/proc/self/exe", path.data(), PATH_MAX);
  if (n <= 0) return {};
  std::string p(path.data(), static_cast<std::size_t>(n));
  return p.substr(0, p.rfind('/') + 1);
}

TEngineLibrary::TEngineLibrary(const std::string& directory, const std::string& fileName) {
  const auto load = [this](const std::string& path) {
    if (handle_ != nullptr) return;
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
      const char* why = dlerror();
      if (!error_.empty()) error_ += "; ";
      error_ += why != nullptr ? why : "cannot load " + path;
    }
  };
  if (!directory.empty()) load(InDirectory(directory, fileName));
  if (fileName.find('/') == std::string::npos) {
    const std::string installed = InstalledLibraryDirectory();
    if (!installed.empty()) load(InDirectory(installed, fileName));
    load(fileName);  // the system's library search
  }
  if (handle_ != nullptr) error_.clear();
}

TEngineLibrary::~TEngineLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}

void* TEngineLibrary::Find(const char* name) const {
  return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}
