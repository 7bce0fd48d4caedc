#pragma once

// The three named objects through which the Manager and the filter meet. Each section has a
// mutex named "Mutex of <section name>".
namespace tvq {

inline constexpr const wchar_t* kFormatObjectName = L"TVQ_BIH_SharedMemory";
inline constexpr const wchar_t* kIntervalObjectName = L"TVQ_TimePerFrame_SharedMemory";
inline constexpr const wchar_t* kPixelObjectName = L"TVQ_Data_SharedMemory";

// Where the filter finds the Manager's settings file, and the keys of it that both read.
inline constexpr const wchar_t* kRegistryKeyPath = L"Software\\qarro_lim\\Tessavue";
inline constexpr const wchar_t* kIniFilePathValue = L"IniFilePath";
inline constexpr const wchar_t* kVideoSection = L"Video";
inline constexpr const wchar_t* kWidthKey = L"Width";
inline constexpr const wchar_t* kHeightKey = L"Height";
inline constexpr const wchar_t* kFramePerSecondKey = L"FramePerSecond";

inline constexpr int kFormatObjectSize = 40;   // BITMAPINFOHEADER
inline constexpr int kIntervalObjectSize = 8;  // REFERENCE_TIME

// The interval object counts in REFERENCE_TIME units: 100 ns, ten million to the second.
inline constexpr long long kIntervalUnitsPerSecond = 10000000;

}  // namespace tvq
