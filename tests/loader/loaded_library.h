// The shared library loaded at run time, as a video-editing host loads it:
// LoadLibraryA, GetProcAddress and FreeLibrary on Windows; dlopen, dlsym and
// dlclose elsewhere. Only the six functions of istrel.h are bound.
#pragma once

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstring>
#include <stdexcept>
#include <string>

#include "istrel/istrel.h"

namespace istrel::test {

class LoadedLibrary {
 public:
  explicit LoadedLibrary(const std::string& path) {
#if defined(_WIN32)
    module_ = LoadLibraryA(path.c_str());
#else
    module_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
    if (!module_) throw std::runtime_error("cannot load " + path);
    bind(newDecoder, "AVCINewTepDecoder");
    bind(fileOpen, "AVCIFileOpen");
    bind(fileClose, "AVCIFileClose");
    bind(dispose, "AVCIntraDispose");
    bind(readAspectRatio, "AVCIReadAspectRatio");
    bind(decodeFrame, "AVCIDecodeFrame");
  }
  ~LoadedLibrary() { unload(); }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  // FreeLibrary or dlclose; returns when the system call has returned.
  void unload() {
    if (!module_) return;
#if defined(_WIN32)
    FreeLibrary(module_);
#else
    dlclose(module_);
#endif
    module_ = nullptr;
  }

  decltype(&::AVCINewTepDecoder) newDecoder = nullptr;
  decltype(&::AVCIFileOpen) fileOpen = nullptr;
  decltype(&::AVCIFileClose) fileClose = nullptr;
  decltype(&::AVCIntraDispose) dispose = nullptr;
  decltype(&::AVCIReadAspectRatio) readAspectRatio = nullptr;
  decltype(&::AVCIDecodeFrame) decodeFrame = nullptr;

 private:
  template <typename Function>
  void bind(Function& function, const char* name) {
#if defined(_WIN32)
    FARPROC address = GetProcAddress(module_, name);
#else
    void* address = dlsym(module_, name);
#endif
    if (!address) throw std::runtime_error(std::string("the library does not export ") + name);
    static_assert(sizeof address == sizeof function);
    std::memcpy(&function, &address, sizeof function);
  }

#if defined(_WIN32)
  HMODULE module_ = nullptr;
#else
  void* module_ = nullptr;
#endif
};

}  // namespace istrel::test
