#include "framework/CMediaType.h"

#include <uuids.h>

#include <cstring>

CMediaType::CMediaType() { InitMediaType(this); }

CMediaType::~CMediaType() { FreeMediaType(*this); }

CMediaType::CMediaType(const CMediaType& other) : CMediaType(static_cast<const AM_MEDIA_TYPE&>(other)) {}

CMediaType::CMediaType(const AM_MEDIA_TYPE& other) {
  InitMediaType(this);
  CopyMediaType(this, &other);
}

CMediaType& CMediaType::operator=(const CMediaType& other) {
  Set(other);
  return *this;
}

CMediaType& CMediaType::operator=(const AM_MEDIA_TYPE& other) {
  Set(other);
  return *this;
}

namespace {

bool FormatsEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
  if (a.cbFormat != b.cbFormat) return false;
  if (a.cbFormat == 0) return true;
  return a.pbFormat && b.pbFormat && std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0;
}

}  // namespace

bool CMediaType::operator==(const CMediaType& other) const {
  return IsEqualGUID(majortype, other.majortype) && IsEqualGUID(subtype, other.subtype) &&
         IsEqualGUID(formattype, other.formattype) && FormatsEqual(*this, other);
}

HRESULT CMediaType::Set(const CMediaType& source) {
  return Set(static_cast<const AM_MEDIA_TYPE&>(source));
}

HRESULT CMediaType::Set(const AM_MEDIA_TYPE& source) {
  if (&source == this) return S_OK;
  FreeMediaType(*this);
  return FAILED(CopyMediaType(this, &source)) ? E_OUTOFMEMORY : S_OK;
}

bool CMediaType::MatchesPartial(const CMediaType* partial) const {
  if (!IsEqualGUID(partial->majortype, GUID_NULL) && !IsEqualGUID(partial->majortype, majortype)) {
    return false;
  }
  if (!IsEqualGUID(partial->subtype, GUID_NULL) && !IsEqualGUID(partial->subtype, subtype)) {
    return false;
  }
  if (!IsEqualGUID(partial->formattype, GUID_NULL)) {
    if (!IsEqualGUID(partial->formattype, formattype)) return false;
    if (!FormatsEqual(*partial, *this)) return false;
  }
  return true;
}

bool CMediaType::IsPartiallySpecified() const {
  return IsEqualGUID(majortype, GUID_NULL) || IsEqualGUID(formattype, GUID_NULL);
}

BYTE* CMediaType::AllocFormatBuffer(ULONG length) {
  if (length == cbFormat) return pbFormat;
  BYTE* block = static_cast<BYTE*>(CoTaskMemAlloc(length));
  if (!block) return length <= cbFormat ? pbFormat : nullptr;
  if (cbFormat != 0) CoTaskMemFree(pbFormat);
  pbFormat = block;
  cbFormat = length;
  return block;
}

void CMediaType::SetSampleSize(ULONG size) {
  if (size == 0) {
    bFixedSizeSamples = FALSE;
    return;
  }
  bFixedSizeSamples = TRUE;
  lSampleSize = size;
}

void InitMediaType(AM_MEDIA_TYPE* mt) {
  std::memset(mt, 0, sizeof(*mt));
  mt->bFixedSizeSamples = TRUE;
  mt->lSampleSize = 1;
}

void FreeMediaType(AM_MEDIA_TYPE& mt) {
  if (mt.cbFormat != 0) {
    CoTaskMemFree(mt.pbFormat);
    mt.cbFormat = 0;
    mt.pbFormat = nullptr;
  }
  if (mt.pUnk) {
    mt.pUnk->Release();
    mt.pUnk = nullptr;
  }
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source) {
  *target = *source;
  if (source->cbFormat != 0) {
    // A record claiming a format block it does not have comes from outside: copy no block.
    if (!source->pbFormat) {
      target->cbFormat = 0;
      if (target->pUnk) target->pUnk->AddRef();
      return E_POINTER;
    }
    target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
    if (!target->pbFormat) {
      target->cbFormat = 0;
      return E_OUTOFMEMORY;
    }
    std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
  }
  if (target->pUnk) target->pUnk->AddRef();
  return S_OK;
}

void DeleteMediaType(AM_MEDIA_TYPE* pmt) {
  if (!pmt) return;
  FreeMediaType(*pmt);
  CoTaskMemFree(pmt);
}

namespace {

// The remainder every FOURCC subtype shares: XXXXXXXX-0000-0010-8000-00AA00389B71.
GUID FourccSubtype(DWORD fourcc) {
  return GUID{fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

GUID Rgb16Subtype(const BITMAPINFOHEADER* bmih) {
  if (bmih->biCompression == BI_RGB) return MEDIASUBTYPE_RGB555;
  const DWORD* masks = reinterpret_cast<const DWORD*>(bmih + 1);
  if (masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F) return MEDIASUBTYPE_RGB555;
  if (masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F) return MEDIASUBTYPE_RGB565;
  return GUID_NULL;
}

}  // namespace

GUID GetBitmapSubtype(const BITMAPINFOHEADER* bmih) {
  if (bmih->biCompression != BI_RGB && bmih->biCompression != BI_BITFIELDS) {
    return FourccSubtype(bmih->biCompression);
  }
  switch (bmih->biBitCount) {
    case 1: return MEDIASUBTYPE_RGB1;
    case 4: return MEDIASUBTYPE_RGB4;
    case 8: return MEDIASUBTYPE_RGB8;
    case 16: return Rgb16Subtype(bmih);
    case 24: return MEDIASUBTYPE_RGB24;
    case 32: return MEDIASUBTYPE_RGB32;
    default: return GUID_NULL;
  }
}

DWORD GetBitmapSize(const BITMAPINFOHEADER* bmih) {
  const DWORD width = static_cast<DWORD>(bmih->biWidth);
  const DWORD bytesPerRow = ((width * bmih->biBitCount + 31) >> 5) * 4;
  const DWORD height = bmih->biHeight < 0 ? 0u - static_cast<DWORD>(bmih->biHeight)
                                          : static_cast<DWORD>(bmih->biHeight);
  return bytesPerRow * height;
}
