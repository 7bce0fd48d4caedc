#pragma once

#include <windows.h>

// Names and the class identifier by which clients and the registry know the virtual camera.
namespace tvq {

// {CC6A505A-21EB-4513-9E64-E0DA08822FEB}
inline constexpr CLSID CLSID_TessavueFilter = {
    0xcc6a505a, 0x21eb, 0x4513, {0x9e, 0x64, 0xe0, 0xda, 0x08, 0x82, 0x2f, 0xeb}};

inline constexpr const wchar_t* kFilterName = L"Tessavue Filter";
inline constexpr const wchar_t* kOutputPinName = L"Out";
// The name of the pin in the registered setup data (clients never see it on the pin itself).
inline constexpr const wchar_t* kSetupPinName = L"Output";

// Its existence alone says that some filter object in this logon is paused or running.
inline constexpr const wchar_t* kSingleInstanceMutexName = L"Mutex of TVQ Filter";

}  // namespace tvq
