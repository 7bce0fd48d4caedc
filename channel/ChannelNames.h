#pragma once

// The three named objects through which the Manager and the filter meet. Each section has a
// mutex named "Mutex of <section name>".
namespace tvq {

inline constexpr const wchar_t* kFormatObjectName = L"TVQ_BIH_SharedMemory";
inline constexpr const wchar_t* kIntervalObjectName = L"TVQ_TimePerFrame_SharedMemory";
inline constexpr const wchar_t* kPixelObjectName = L"TVQ_Data_SharedMemory";

inline constexpr int kFormatObjectSize = 40;   // BITMAPINFOHEADER
inline constexpr int kIntervalObjectSize = 8;  // REFERENCE_TIME

}  // namespace tvq
