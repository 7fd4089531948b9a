#pragma once
// The engine library as its callers load it: by file name, for the time of
// one command, unloaded again on every path. It is looked for
//   1. in a directory of the caller's choice (its own directory),
//   2. in the installed library directory, as seen from the running program
//      (../lib/<multiarch> beside bin/, where the packages put it),
//   3. through the system's library search (LD_LIBRARY_PATH, ld.so.cache).

#include <string>

// The engine library's file name, its SONAME (liborv.so.1).
inline constexpr char kEngineLibraryFile[] = ORV_ENGINE_FILE;

// The directory of the running program, with a trailing '/'; empty when the
// system does not say.
std::string ProgramDirectory();

// A loaded engine library, unloaded when this object goes.
class TEngineLibrary {
 public:
  // Loads fileName from `directory` first (when it is not empty); then, when
  // fileName is a plain file name (no '/'), from the installed library
  // directory and through the system's library search.
  explicit TEngineLibrary(const std::string& directory,
                          const std::string& fileName = kEngineLibraryFile);
  ~TEngineLibrary();
  TEngineLibrary(const TEngineLibrary&) = delete;
  TEngineLibrary& operator=(const TEngineLibrary&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  // The system loader's messages, one for each place tried, when the library
  // could not be loaded.
  const std::string& error() const { return error_; }

  // The export of that name, null when the library lacks it.
  void* Find(const char* name) const;
  // The same with its type: Find<decltype(StrBazi)>("StrBazi").
  template <typename F>
  F* Find(const char* name) const {
    return reinterpret_cast<F*>(Find(name));
  }

 private:
  void* handle_ = nullptr;
  std::string error_;
};
