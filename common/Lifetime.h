#pragma once

#include <windows.h>
#include <objbase.h>
#include <strmif.h>

#include <utility>

// Every kind of resource the two programs own, each behind one move-only owner. The owners give
// a resource back exactly once, when they are reset or go out of scope; where the order of
// releases matters, the owners' declaration order (or an explicit Reset) keeps it.
namespace tvq {

// One move-only owner for every kind of handle; Traits says what "none" is and how to give the
// handle back.
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

// Most kernel objects say "none" with a null handle...
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::CloseHandle(h); }
};

// ...but CreateFile and the snapshot functions say it with INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::CloseHandle(h); }
};

// A file search from FindFirstFileW.
struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::FindClose(h); }
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

// Bitmaps, brushes, pens and fonts; never one still selected into a context.
struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::DeleteObject(h); }
};

// Only for contexts from CreateCompatibleDC or CreateDC.
struct MemoryDCTraits {
  using Handle = HDC;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::DeleteDC(h); }
};

struct CoTaskMemTraits {
  using Handle = void*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::CoTaskMemFree(h); }
};

// A menu no window holds; destroying it destroys its submenus too.
struct MenuTraits {
  using Handle = HMENU;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::DestroyMenu(h); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
using UniqueMappedView = UniqueHandle<MappedViewTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;
using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;
using UniqueMemoryDC = UniqueHandle<MemoryDCTraits>;
using UniqueCoTaskMem = UniqueHandle<CoTaskMemTraits>;
using UniqueMenu = UniqueHandle<MenuTraits>;

// A context from GetDC or GetWindowDC goes back with ReleaseDC on the same window, so it needs
// the window beside the handle.
class UniqueWindowDC {
 public:
  UniqueWindowDC() = default;
  UniqueWindowDC(HWND window, HDC dc) : m_window(window), m_dc(dc) {}
  ~UniqueWindowDC() { Reset(); }
  UniqueWindowDC(const UniqueWindowDC&) = delete;
  UniqueWindowDC& operator=(const UniqueWindowDC&) = delete;
  UniqueWindowDC(UniqueWindowDC&& other) noexcept
      : m_window(other.m_window), m_dc(std::exchange(other.m_dc, nullptr)) {}
  UniqueWindowDC& operator=(UniqueWindowDC&& other) noexcept {
    if (this != &other) {
      Reset();
      m_window = other.m_window;
      m_dc = std::exchange(other.m_dc, nullptr);
    }
    return *this;
  }

  // GetWindowDC of the window (the whole window, frame included); null window = the screen.
  static UniqueWindowDC ForWholeWindow(HWND window) {
    return UniqueWindowDC(window, ::GetWindowDC(window));
  }

  HDC Get() const { return m_dc; }
  explicit operator bool() const { return m_dc != nullptr; }
  void Reset() {
    if (m_dc != nullptr) ::ReleaseDC(m_window, m_dc);
    m_dc = nullptr;
  }

 private:
  HWND m_window = nullptr;
  HDC m_dc = nullptr;
};

// Puts the previously selected object back before the context or the object goes away.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(::SelectObject(dc, object)) {}
  ~SelectedObject() {
    if (m_previous != nullptr && m_previous != HGDI_ERROR) ::SelectObject(m_dc, m_previous);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;
  bool Succeeded() const { return m_previous != nullptr && m_previous != HGDI_ERROR; }

 private:
  HDC m_dc;
  HGDIOBJ m_previous;
};

// Frees what a media type record owns (its format block and its unknown), not the record.
inline void FreeMediaTypeContents(AM_MEDIA_TYPE& mt) {
  if (mt.cbFormat != 0 || mt.pbFormat != nullptr) ::CoTaskMemFree(mt.pbFormat);
  mt.cbFormat = 0;
  mt.pbFormat = nullptr;
  if (mt.pUnk != nullptr) {
    mt.pUnk->Release();
    mt.pUnk = nullptr;
  }
}

// A media type record handed out by the platform or a pin (CoTaskMemAlloc'd, contents too).
struct MediaTypeTraits {
  using Handle = AM_MEDIA_TYPE*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) {
    FreeMediaTypeContents(*h);
    ::CoTaskMemFree(h);
  }
};
using UniqueMediaType = UniqueHandle<MediaTypeTraits>;

}  // namespace tvq
