#pragma once

#include <windows.h>
#include <strmif.h>

// A media type value with exactly AM_MEDIA_TYPE's layout and no other data, so the two pointer
// types are used for one another. It owns its format block (task memory) and its pUnk reference.
// No lock: the pin that owns a connection type guards it with the filter's lock.
class CMediaType : public AM_MEDIA_TYPE {
 public:
  CMediaType();
  ~CMediaType();
  // A failed copy leaves this type without a format block.
  CMediaType(const CMediaType& other);
  explicit CMediaType(const AM_MEDIA_TYPE& other);
  CMediaType& operator=(const CMediaType& other);
  CMediaType& operator=(const AM_MEDIA_TYPE& other);

  // Compares the three GUIDs and the format block; sample size, flags and pUnk do not count.
  bool operator==(const CMediaType& other) const;
  bool operator!=(const CMediaType& other) const { return !(*this == other); }

  HRESULT Set(const CMediaType& source);
  HRESULT Set(const AM_MEDIA_TYPE& source);
  bool MatchesPartial(const CMediaType* partial) const;
  bool IsPartiallySpecified() const;

  // Returns the format block of the new length (contents not cleared), or null when it could
  // not be allocated (the old block is returned instead when it is at least as large).
  BYTE* AllocFormatBuffer(ULONG length);

  const GUID* Type() const { return &majortype; }
  const GUID* Subtype() const { return &subtype; }
  const GUID* FormatType() const { return &formattype; }
  void SetType(const GUID* guid) { majortype = *guid; }
  void SetSubtype(const GUID* guid) { subtype = *guid; }
  void SetFormatType(const GUID* guid) { formattype = *guid; }
  void SetTemporalCompression(BOOL compressed) { bTemporalCompression = compressed; }
  void SetSampleSize(ULONG size);
  BYTE* Format() const { return pbFormat; }
  ULONG FormatLength() const { return cbFormat; }
};

static_assert(sizeof(CMediaType) == sizeof(AM_MEDIA_TYPE), "CMediaType must stay an AM_MEDIA_TYPE");

// Every byte zero, then fixed-size samples of size 1.
void InitMediaType(AM_MEDIA_TYPE* mt);
// Frees the format block and pUnk, not the record itself.
void FreeMediaType(AM_MEDIA_TYPE& mt);
// The target must not hold a format block (it would be overwritten, not freed).
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);
// For records handed out in task memory (by an enumerator): frees the contents and the record.
void DeleteMediaType(AM_MEDIA_TYPE* pmt);

// The video subtype that describes a bitmap header; for 16-bit bit fields the three colour masks
// that follow the header are read. GUID_NULL when no subtype fits.
GUID GetBitmapSubtype(const BITMAPINFOHEADER* bmih);
// Image size in bytes with rows padded to 32 bits; a top-down (negative) height counts as positive.
DWORD GetBitmapSize(const BITMAPINFOHEADER* bmih);
