#include "tests/capture/RegisteredFilter.h"

#include "channel/ChannelNames.h"
#include "filter/FilterIdentity.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/PrivateRegistry.h"

namespace tvqtest {
namespace {

using ServerFunction = HRESULT(STDAPICALLTYPE*)();

std::wstring FilterDllPath() {
  std::wstring path = OwnExecutablePath();
  path.resize(path.find_last_of(L"\\/") + 1);
  return path + L"TVQDirectShowFilter.dll";
}

HRESULT CallServer(HMODULE module, const char* name) {
  auto function = reinterpret_cast<ServerFunction>(
      reinterpret_cast<void*>(GetProcAddress(module, name)));
  return function != nullptr ? function() : E_NOTIMPL;
}

void StoreIniFilePath(const std::wstring& path) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, tvq::kRegistryKeyPath, 0, nullptr, 0, KEY_SET_VALUE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegSetValueExW(key, tvq::kIniFilePathValue, 0, REG_EXPAND_SZ,
                 reinterpret_cast<const BYTE*>(path.c_str()),
                 static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

void DeleteIniFilePath() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, tvq::kRegistryKeyPath, 0, KEY_SET_VALUE, &key) !=
      ERROR_SUCCESS) {
    return;
  }
  RegDeleteValueW(key, tvq::kIniFilePathValue);
  RegCloseKey(key);
}

int RowBytes(int width) { return (width * 3 + 3) / 4 * 4; }

}  // namespace

RegisteredFilter::RegisteredFilter(int width, int height, int framesPerSecond) {
  const std::wstring ini = m_dir.File(L"Tessavue.ini");
  WriteTextFile(ini, "[Video]\r\nWidth=" + std::to_string(width) + "\r\nHeight=" +
                         std::to_string(height) + "\r\nFramePerSecond=" +
                         std::to_string(framesPerSecond) + "\r\n");
  StoreIniFilePath(ini);
  if (!MayUseRealRegistry()) return;
  m_module = LoadLibraryW(FilterDllPath().c_str());
  if (m_module != nullptr) m_registerResult = CallServer(m_module, "DllRegisterServer");
}

RegisteredFilter::~RegisteredFilter() {
  if (m_module != nullptr) {
    CallServer(m_module, "DllUnregisterServer");
    FreeLibrary(m_module);
  }
  DeleteIniFilePath();
}

void RegisteredFilter::Unregister() {
  // On a developer's desk this would remove the installed camera.
  if (!MayUseRealRegistry()) return;
  HMODULE module = LoadLibraryW(FilterDllPath().c_str());
  if (module == nullptr) return;
  CallServer(module, "DllUnregisterServer");
  FreeLibrary(module);
}

std::vector<BYTE> QuadrantFrame(int width, int height, const COLORREF quadrants[4]) {
  const int row = RowBytes(width);
  std::vector<BYTE> frame(static_cast<size_t>(row) * height, 0);
  for (int y = 0; y < height; ++y) {
    // Bottom row first in memory.
    BYTE* line = frame.data() + static_cast<size_t>(height - 1 - y) * row;
    for (int x = 0; x < width; ++x) {
      const COLORREF color = quadrants[(y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1)];
      line[x * 3 + 0] = GetBValue(color);
      line[x * 3 + 1] = GetGValue(color);
      line[x * 3 + 2] = GetRValue(color);
    }
  }
  return frame;
}

PublishedFrame::PublishedFrame(const std::vector<BYTE>& frame) {
  m_pixels.Create(tvq::kPixelObjectName, static_cast<int>(frame.size()));
  m_pixels.Write(frame.data(), static_cast<int>(frame.size()), INFINITE);
}

}  // namespace tvqtest
