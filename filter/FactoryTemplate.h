#pragma once

#include <windows.h>
#include <strmif.h>

class CUnknown;

// The server's constant tables: what it can create and how each class is registered.
namespace tvq {

// Setup records as the filter mapper reads them: the pin and media type records have exactly the
// layout of the mapper's REGFILTERPINS and REGPINTYPES.
using AMOVIESETUP_MEDIATYPE = REGPINTYPES;
using AMOVIESETUP_PIN = REGFILTERPINS;

struct AMOVIESETUP_FILTER {
  const CLSID* clsID;
  const wchar_t* strName;
  DWORD dwMerit;
  UINT nPins;
  const AMOVIESETUP_PIN* lpPin;
};

using CreateInstanceFunction = CUnknown* (*)(IUnknown* outer, HRESULT* result);
using InitRoutine = void (*)(BOOL loading, const CLSID* clsid);

struct CFactoryTemplate {
  const wchar_t* m_Name;
  const CLSID* m_ClsID;
  CreateInstanceFunction m_lpfnNew;
  InitRoutine m_lpfnInit;
  const AMOVIESETUP_FILTER* m_pAMovieSetup_Filter;
};

extern const CFactoryTemplate g_Templates[];
extern const int g_cTemplates;

// The registration of the filter as a capture device (video input devices, KSCATEGORY_CAPTURE).
extern const REGFILTER2 g_CaptureRegistration;

// ks.h declares these two only through macros that do not give an addressable constant here.
// KSCATEGORY_CAPTURE {65E8773D-8F56-11D0-A3B9-00A0C9223196}
inline constexpr GUID kKsCategoryCapture = {
    0x65e8773d, 0x8f56, 0x11d0, {0xa3, 0xb9, 0x00, 0xa0, 0xc9, 0x22, 0x31, 0x96}};
// KSMEDIUMSETID_Standard {4747B320-62CE-11CF-A5D6-28DB04C10000}
inline constexpr GUID kKsMediumSetStandard = {
    0x4747b320, 0x62ce, 0x11cf, {0xa5, 0xd6, 0x28, 0xdb, 0x04, 0xc1, 0x00, 0x00}};

}  // namespace tvq
