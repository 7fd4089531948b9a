#pragma once
// liborv.so as its callers load it: by file name, for the time of one
// command, from a directory of the caller's choice first (its own) and then
// through the system's library search; unloaded again on every path.

#include <string>

// The engine library's file name.
inline constexpr char kEngineLibraryFile[] = "liborv.so";

// A loaded engine library, unloaded when this object goes.
class TEngineLibrary {
 public:
  // Loads fileName from `directory` first (when it is not empty), then, when
  // fileName is a plain file name (no '/'), through the system's library
  // search.
  explicit TEngineLibrary(const std::string& directory,
                          const std::string& fileName = kEngineLibraryFile);
  ~TEngineLibrary();
  TEngineLibrary(const TEngineLibrary&) = delete;
  TEngineLibrary& operator=(const TEngineLibrary&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  // The system loader's message when the library could not be loaded.
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
