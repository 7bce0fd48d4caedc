#pragma once

#include <string>
#include <utility>

#include "channel/ChannelNames.h"
#include "channel/FrameGeometry.h"
#include "manager/composition/SCIInfo.h"
#include "manager/composition/SlotKinds.h"
#include "manager/composition/SlotServices.h"

// The Manager's ini files and registry record. Every file lies in the Manager's own directory;
// functions take the module path (or the file path) as a parameter so that tests can point them
// at a folder of their own.
namespace tvq {

inline constexpr const wchar_t* kSettingsFileName = L"Tessavue.ini";

inline constexpr const wchar_t* kManagerPathValue = L"TVQManagerPath";

inline constexpr int kDefaultSlotCount = 8;
inline constexpr int kMaxSlotCount = 256;

struct StartupSettings {
  int slotCount = kDefaultSlotCount;
  int width = kDefaultFrameWidth;
  int height = kDefaultFrameHeight;
  double framePerSecond = kDefaultFramePerSecond;
  // "RestoreSlots" = 1: the slots come back at start-up. Missing (as the first start leaves it)
  // or any other value: they start empty.
  bool restoreSlots = false;
};

// The path of fileName in the directory of modulePath (at most 260 characters); empty when
// modulePath names no folder.
std::wstring SettingsPath(const std::wstring& modulePath, const wchar_t* fileName);

// Creates file as an empty UTF-16 file when it does not exist, so that section names and values
// such as window titles keep every character. An existing file is left as it is.
void CreateUnicodeFileIfMissing(const std::wstring& file);

// The path of this process's executable.
std::wstring OwnModulePath();

// Reads "Tessavue.ini"; when the file does not exist, writes the values read (the defaults).
// An existing file is never completed. Unusable values fall back to their defaults.
StartupSettings LoadStartupSettings(const std::wstring& iniPath);

// Points "IniFilePath" and "TVQManagerPath" under HKCU at the given files. Failures are ignored.
void RecordPathsInRegistry(const std::wstring& iniPath, const std::wstring& managerPath);

// A slot's saved placement; missing keys (or no file path) take the defaults (defaultRate for the
// capture rate).
SCIInfo ReadSlotSection(const std::wstring& file, const std::wstring& section, double defaultRate);

// Writes a slot's placement; friendlyName, when given, is written first (camera file only).
// Without a file path nothing is written.
void WriteSlotSection(const std::wstring& file, const std::wstring& section, const SCIInfo& info,
                      const wchar_t* friendlyName);

// Reads a decimal key as written with "%.16f": empty or missing gives defaultValue, otherwise the
// longest numeric prefix (text without one gives 0).
double ReadDecimal(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                   double defaultValue);

// "%.16f" formatting of a decimal value as stored in the files.
std::wstring FormatDecimal(double value);

// The slots' placements in the per-kind files beside the module: cameras, windows and the
// desktop each have a file of their own.
class CPlacementFiles : public IPlacementStore {
 public:
  explicit CPlacementFiles(std::wstring modulePath) : m_modulePath(std::move(modulePath)) {}

  SCIInfo ReadPlacement(int kind, const std::wstring& section, double defaultRate) override;
  void WritePlacement(int kind, const std::wstring& section, const SCIInfo& placement,
                      const wchar_t* friendlyName) override;

 private:
  // The file a kind's placements are kept in; empty when the module path names no folder.
  std::wstring FileOf(int kind) const;

  std::wstring m_modulePath;
};

}  // namespace tvq
