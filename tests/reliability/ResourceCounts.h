#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>

// What a long-running client process would see grow if the camera leaked: kernel handles, GDI
// and USER objects. (Wine answers GetGuiResources with 0; the GDI and USER figures then only count
// on Windows, so a claim never rests on them alone: the handle count and the object counts of the
// code under test carry it here.)
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

inline void ExpectNoGrowth(const ResourceCounts& before, const ResourceCounts& after) {
  EXPECT_LE(after.handles, before.handles + kHandleSlack) << before << " -> " << after;
  EXPECT_LE(after.gdiObjects, before.gdiObjects + kGuiSlack) << before << " -> " << after;
  EXPECT_LE(after.userObjects, before.userObjects + kGuiSlack) << before << " -> " << after;
}

}  // namespace tvqtest
