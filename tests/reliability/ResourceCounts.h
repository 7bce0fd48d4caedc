#pragma once

#include <windows.h>

#include <ostream>

// What a long-running client process would see grow if the camera leaked: kernel handles, GDI
// and USER objects. (Wine answers GetGuiResources with 0; the figures then only count on Windows.)
namespace tvqtest {

struct ResourceCounts {
  DWORD handles = 0;
  DWORD gdiObjects = 0;
  DWORD userObjects = 0;

  static ResourceCounts Now() {
    ResourceCounts counts;
    GetProcessHandleCount(GetCurrentProcess(), &counts.handles);
    counts.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    counts.userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    return counts;
  }
};

inline std::ostream& operator<<(std::ostream& out, const ResourceCounts& c) {
  return out << c.handles << " handles, " << c.gdiObjects << " GDI, " << c.userObjects << " USER";
}

// Growth that a per-cycle leak would far exceed after hundreds of cycles, while leaving room for
// the system's own lazily created objects (thread pools, timer resolution).
inline constexpr DWORD kHandleSlack = 10;
inline constexpr DWORD kGuiSlack = 2;

}  // namespace tvqtest
