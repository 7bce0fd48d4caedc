#pragma once

#include <windows.h>
#include <strmif.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "tests/common/TempDir.h"

class CTVQSourceFilter;
class CTVQOutputPin;

namespace tvqtest {

// Stores "IniFilePath" as the Manager does: the characters without a terminator.
void StoreIniFilePath(const std::wstring& path);
// Stores the raw characters given (terminators included if the caller put them in).
void StoreIniFilePathData(const std::vector<wchar_t>& data);
void DeleteIniFilePath();

// A settings file in a temporary folder, named in the registry for as long as the object lives.
// Every filter a test builds reads it instead of asking the user.
class ScopedSettings {
 public:
  // The text of the file, e.g. "[Video]\r\nWidth=640\r\n"; empty: no file at all.
  explicit ScopedSettings(const std::string& contents);
  ~ScopedSettings();
  ScopedSettings(const ScopedSettings&) = delete;
  ScopedSettings& operator=(const ScopedSettings&) = delete;

  const std::wstring& Path() const { return m_path; }

 private:
  TempDir m_dir;
  std::wstring m_path;
};

std::string VideoSection(int width, int height, const std::string& framePerSecond);

// Asks for a picture the way ffmpeg does: the offered type with size and interval changed and
// everything else, the image size included, left as it was.
HRESULT AskFor(IAMStreamConfig* config, LONG width, LONG height, REFERENCE_TIME interval);

// A filter object built in the test process through its creation function (not through COM).
// Settings must be in place first (ScopedSettings), or the pin asks the user.
struct LocalFilter {
  LocalFilter();
  bool IsValid() const { return object != nullptr && pin != nullptr; }

  Microsoft::WRL::ComPtr<IBaseFilter> filter;
  Microsoft::WRL::ComPtr<IAMStreamConfig> config;
  Microsoft::WRL::ComPtr<IPin> outputPin;
  CTVQSourceFilter* object = nullptr;  // owned by filter
  CTVQOutputPin* pin = nullptr;        // owned by object
};

// What the filter has published to the Manager, read as the Manager reads it.
struct Published {
  BITMAPINFOHEADER header;
  REFERENCE_TIME interval;
};
Published ReadPublished();
// Puts zeros into the format and interval objects, as before any publication.
void ClearPublished();

}  // namespace tvqtest
