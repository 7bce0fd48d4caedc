#pragma once

#include <windows.h>

#include <utility>

namespace tvq {

// One move-only owner for every kind of Win32 handle; Traits says what "none" is and how to
// give the handle back.
template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : m_handle(handle) {}
  ~UniqueHandle() { Reset(); }

  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : m_handle(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  Handle Get() const { return m_handle; }
  bool IsValid() const { return m_handle != Traits::Invalid(); }
  explicit operator bool() const { return IsValid(); }

  Handle Release() {
    Handle handle = m_handle;
    m_handle = Traits::Invalid();
    return handle;
  }

  void Reset(Handle handle = Traits::Invalid()) {
    if (IsValid()) Traits::Close(m_handle);
    m_handle = handle;
  }

 private:
  Handle m_handle = Traits::Invalid();
};

struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::CloseHandle(h); }
};

struct MappedViewTraits {
  using Handle = void*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::UnmapViewOfFile(h); }
};

struct RegKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::RegCloseKey(h); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueMappedView = UniqueHandle<MappedViewTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;

}  // namespace tvq
