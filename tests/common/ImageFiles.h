#pragma once

#include <windows.h>
#include <wincodec.h>

#include <functional>
#include <string>

// Image files for tests, made on the spot with the system's own encoders (WIC), so that no
// picture is kept in the repository; and files whose header says what the test wants.
namespace tvqtest {

// One pixel, straight (not premultiplied) blue, green, red, alpha.
using PixelSource = std::function<DWORD(int x, int y)>;
inline DWORD Bgra(BYTE red, BYTE green, BYTE blue, BYTE alpha = 255) {
  return static_cast<DWORD>(blue) | static_cast<DWORD>(green) << 8 |
         static_cast<DWORD>(red) << 16 | static_cast<DWORD>(alpha) << 24;
}

// Encodes width x height pixels into a file of the container (GUID_ContainerFormatPng, ...).
// COM must be initialised on the calling thread.
HRESULT WriteImage(const std::wstring& path, REFGUID container, int width, int height,
                   const PixelSource& pixels);
// An icon file holding one PNG picture (as icons since Windows Vista do).
HRESULT WriteIconWithPng(const std::wstring& path, int width, int height,
                         const PixelSource& pixels);
// A PNG that claims width x height in its header and holds one tiny, incomplete data chunk.
void WritePngClaiming(const std::wstring& path, unsigned width, unsigned height);
// The file cut to its first bytes.
void CutFile(const std::wstring& path, size_t bytes);

}  // namespace tvqtest
