#include "manager/capture/CImageFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "manager/capture/CImage.h"
#include "common/Lifetime.h"
#include "manager/capture/CaptureText.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr int kAlphaBits = 32;
constexpr int kOpaqueBits = 24;
constexpr BYTE kOpaque = 0xFF;

// Our own answers for what the file system lets us see before WIC is asked.
const HRESULT kIsFolder = HRESULT_FROM_WIN32(ERROR_DIRECTORY);
const HRESULT kIsEmpty = HRESULT_FROM_WIN32(ERROR_HANDLE_EOF);

bool IsOneOf(HRESULT hr, std::initializer_list<DWORD> errors) {
  for (DWORD error : errors) {
    if (hr == HRESULT_FROM_WIN32(error)) return true;
  }
  return false;
}

bool IsTooLarge(UINT width, UINT height) {
  return width > CImageFile::kMaxSide || height > CImageFile::kMaxSide ||
         static_cast<ULONGLONG>(width) * height > CImageFile::kMaxPixels;
}

bool IsOpaque(const CImage& picture) {
  for (int y = 0; y < picture.Height(); ++y) {
    const BYTE* row = picture.Bits() + static_cast<ptrdiff_t>(y) * picture.Pitch();
    for (int x = 0; x < picture.Width(); ++x) {
      if (row[x * 4 + 3] != kOpaque) return false;
    }
  }
  return true;
}

std::uint32_t BigEndian(const BYTE* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

std::uint32_t LittleEndian(const BYTE* p, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | p[i];
  return value;
}

// The size a PNG, GIF or BMP header claims, read from the file's first bytes: some decoders
// decode the whole frame as soon as they open it, before its size can be asked.
bool PeekSize(const std::wstring& path, UINT& width, UINT& height) {
  tvq::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
  BYTE head[32] = {};
  DWORD read = 0;
  if (!file || !ReadFile(file.Get(), head, sizeof(head), &read, nullptr)) return false;
  if (read >= 24 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0) {
    width = BigEndian(head + 16);
    height = BigEndian(head + 20);
  } else if (read >= 10 && std::memcmp(head, "GIF8", 4) == 0) {
    width = LittleEndian(head + 6, 2);
    height = LittleEndian(head + 8, 2);
  } else if (read >= 26 && head[0] == 'B' && head[1] == 'M' && LittleEndian(head + 14, 4) >= 40) {
    const std::int32_t rows = static_cast<std::int32_t>(LittleEndian(head + 22, 4));
    width = static_cast<UINT>(std::abs(static_cast<std::int32_t>(LittleEndian(head + 18, 4))));
    height = static_cast<UINT>(rows < 0 ? -static_cast<std::int64_t>(rows) : rows);
  } else {
    return false;
  }
  return true;
}

// A picture without transparency is drawn like a window's: 24 bits, the HALFTONE stretch.
void MakeOpaque(CImage& picture) {
  CImage opaque;
  if (!opaque.Create(picture.Width(), -picture.Height(), kOpaqueBits)) return;
  for (int y = 0; y < picture.Height(); ++y) {
    const BYTE* from = picture.Bits() + static_cast<ptrdiff_t>(y) * picture.Pitch();
    BYTE* to = opaque.Bits() + static_cast<ptrdiff_t>(y) * opaque.Pitch();
    for (int x = 0; x < picture.Width(); ++x) {
      std::copy(from + x * 4, from + x * 4 + 3, to + x * 3);
    }
  }
  picture = std::move(opaque);
}

}  // namespace

namespace tvq {

FileStamp FileStamp::Of(const std::wstring& path) {
  FileStamp stamp;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return stamp;
  stamp.exists = true;
  stamp.size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  stamp.written = data.ftLastWriteTime;
  return stamp;
}

bool FileStamp::operator==(const FileStamp& other) const {
  return exists == other.exists && size == other.size &&
         CompareFileTime(&written, &other.written) == 0;
}

}  // namespace tvq

HRESULT CImageFile::Decode(const std::wstring& path, UINT width, UINT height, UINT ownSideLimit,
                           CImage& picture, std::wstring& problem) {
  m_frameWidth = 0;
  m_frameHeight = 0;
  ComPtr<IWICBitmapSource> frame;
  ComPtr<IWICBitmapSource> scaled;
  CImage made;
  HRESULT hr = CheckFile(path);
  if (SUCCEEDED(hr)) hr = PremultipliedFrame(path, frame);
  if (SUCCEEDED(hr)) {
    width = width != 0 ? width : std::min(m_frameWidth, ownSideLimit);
    height = height != 0 ? height : std::min(m_frameHeight, ownSideLimit);
    hr = Scale(frame.Get(), width, height, scaled);
  }
  if (SUCCEEDED(hr)) hr = CopyInto(scaled.Get(), width, height, made);
  if (FAILED(hr)) {
    problem = ProblemOf(hr, m_frameWidth, m_frameHeight);
    return hr;
  }
  if (IsOpaque(made)) MakeOpaque(made);
  picture = std::move(made);
  problem.clear();
  return S_OK;
}

// A folder or an empty file would only give WIC's less telling codes.
HRESULT CImageFile::CheckFile(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
    return HRESULT_FROM_WIN32(GetLastError());
  }
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return kIsFolder;
  if (data.nFileSizeHigh == 0 && data.nFileSizeLow == 0) return kIsEmpty;
  UINT width = 0;
  UINT height = 0;
  if (PeekSize(path, width, height) && IsTooLarge(width, height)) {
    m_frameWidth = width;
    m_frameHeight = height;
    return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
  }
  return S_OK;
}

HRESULT CImageFile::OpenFrame(const std::wstring& path, ComPtr<IWICBitmapFrameDecode>& frame) {
  HRESULT hr = S_OK;
  if (!m_factory) {
    hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                          IID_PPV_ARGS(&m_factory));
    if (FAILED(hr)) return hr;
  }
  ComPtr<IWICBitmapDecoder> decoder;
  hr = m_factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                            WICDecodeMetadataCacheOnDemand, &decoder);
  if (FAILED(hr)) return hr;
  hr = decoder->GetFrame(0, &frame);
  if (FAILED(hr)) return hr;
  hr = frame->GetSize(&m_frameWidth, &m_frameHeight);
  if (FAILED(hr)) return hr;
  if (m_frameWidth == 0 || m_frameHeight == 0) return WINCODEC_ERR_BADIMAGE;
  // The header alone decides: a claimed 30000 x 30000 is never decoded at that size.
  if (IsTooLarge(m_frameWidth, m_frameHeight)) return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
  return S_OK;
}

// Premultiplied first, then scaled: scaling premultiplied pixels keeps clear edges clean. The
// premultiplied frame is kept from the last decode of the same file as it is (size and time),
// so that a slot resized by keys only scales again.
HRESULT CImageFile::PremultipliedFrame(const std::wstring& path,
                                       ComPtr<IWICBitmapSource>& frame) {
  const tvq::FileStamp stamp = tvq::FileStamp::Of(path);
  if (m_kept && path == m_keptPath && stamp == m_keptStamp) {
    frame = m_kept;
    return m_kept->GetSize(&m_frameWidth, &m_frameHeight);
  }
  Forget();
  ComPtr<IWICBitmapFrameDecode> decoded;
  ComPtr<IWICFormatConverter> converter;
  HRESULT hr = OpenFrame(path, decoded);
  if (SUCCEEDED(hr)) hr = m_factory->CreateFormatConverter(&converter);
  if (SUCCEEDED(hr)) {
    hr = converter->Initialize(decoded.Get(), GUID_WICPixelFormat32bppPBGRA,
                               WICBitmapDitherTypeNone, nullptr, 0.0, WICBitmapPaletteTypeCustom);
  }
  if (FAILED(hr)) return hr;
  frame = converter;
  if (static_cast<ULONGLONG>(m_frameWidth) * m_frameHeight > kMaxKeptPixels) return S_OK;
  ComPtr<IWICBitmap> kept;
  hr = m_factory->CreateBitmapFromSource(converter.Get(), WICBitmapCacheOnLoad, &kept);
  if (FAILED(hr)) return hr;
  m_kept = kept;
  m_keptPath = path;
  m_keptStamp = stamp;
  frame = kept;
  return S_OK;
}

HRESULT CImageFile::Scale(IWICBitmapSource* frame, UINT width, UINT height,
                          ComPtr<IWICBitmapSource>& scaled) {
  if (width == m_frameWidth && height == m_frameHeight) {
    scaled = frame;
    return S_OK;
  }
  ComPtr<IWICBitmapScaler> scaler;
  HRESULT hr = m_factory->CreateBitmapScaler(&scaler);
  if (FAILED(hr)) return hr;
  hr = scaler->Initialize(frame, width, height, WICBitmapInterpolationModeFant);
  if (FAILED(hr)) return hr;
  scaled = scaler;
  return S_OK;
}

void CImageFile::Forget() {
  m_kept.Reset();
  m_keptPath.clear();
  m_keptStamp = tvq::FileStamp();
}

HRESULT CImageFile::CopyInto(IWICBitmapSource* source, UINT width, UINT height, CImage& picture) {
  if (IsTooLarge(width, height)) return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
  // Top-down, so the rows WIC writes are the picture's rows.
  if (!picture.Create(static_cast<int>(width), -static_cast<int>(height), kAlphaBits)) {
    return E_OUTOFMEMORY;
  }
  const UINT stride = width * 4;
  return source->CopyPixels(nullptr, stride, stride * height, picture.Bits());
}

std::wstring CImageFile::ProblemOf(HRESULT hr, UINT frameWidth, UINT frameHeight) {
  if (IsOneOf(hr, {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_INVALID_DRIVE,
                   ERROR_BAD_NETPATH, ERROR_BAD_NET_NAME, ERROR_NOT_READY, ERROR_INVALID_NAME})) {
    return L"ファイルが見つかりません";
  }
  if (hr == kIsFolder) return L"フォルダーは開けません（画像ファイルを選んでください）";
  if (hr == kIsEmpty) return L"ファイルが空です（0 バイト）";
  if (IsOneOf(hr, {ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION})) {
    return L"ほかのプログラムが使用中のため読めません";
  }
  if (hr == E_ACCESSDENIED) return L"読み取りが許可されていません";
  if (hr == WINCODEC_ERR_IMAGESIZEOUTOFRANGE) {
    return L"画像が大きすぎます（" + std::to_wstring(frameWidth) + L"×" +
           std::to_wstring(frameHeight) + L"、一辺 " + std::to_wstring(kMaxSide) +
           L" 画素まで）";
  }
  if (hr == E_OUTOFMEMORY) return L"メモリーが足りません";
  return L"画像として読めません（エラー 0x" + tvq::HexCode(hr) + L"）";
}
