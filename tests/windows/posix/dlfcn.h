// The few calls of <dlfcn.h> that the engine's tests make to open the engine
// library by its path, on Windows: LoadLibrary, GetProcAddress, FreeLibrary.
// Only on the include path of the Windows test build.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <cstdio>

#define RTLD_NOW 2
#define RTLD_LOCAL 0

inline char* dlerror() {
  static thread_local char message[64];
  std::snprintf(message, sizeof message, "Windows error %lu", GetLastError());
  return message;
}

inline void* dlopen(const char* path, int /*mode*/) {
  return reinterpret_cast<void*>(LoadLibraryA(path));
}

inline void* dlsym(void* handle, const char* name) {
  const FARPROC p = GetProcAddress(static_cast<HMODULE>(handle), name);
  return reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(p));
}

inline int dlclose(void* handle) {
  return FreeLibrary(static_cast<HMODULE>(handle)) ? 0 : 1;
}
