#pragma once

#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <string>

class CImage;

namespace tvq {

// What the once-a-second look at an image file compares: whether it is there, its size and its
// last write time. Reading it costs one attribute query, never an open of the file.
struct FileStamp {
  bool exists = false;
  ULONGLONG size = 0;
  FILETIME written = {};

  static FileStamp Of(const std::wstring& path);
  bool operator==(const FileStamp& other) const;
  bool operator!=(const FileStamp& other) const { return !(*this == other); }
};

}  // namespace tvq

// An image file made into a picture through the system's imaging component (WIC): the first
// frame (GIF, TIFF and ICO files may hold more), premultiplied to 32 bits a pixel and scaled by
// WIC to the size asked for. A picture without any transparent pixel becomes a plain 24-bit
// picture, drawn like a window's. A frame whose header claims more pixels than kMaxSide a side
// or kMaxPixels in all is refused before any pixel is decoded: PNG, GIF and BMP headers are read
// before WIC opens the file (some decoders decode a whole frame when opened), the others as WIC
// reports the frame's size.
//
// Threads: the GUI thread, which has COM initialised (the Manager's camera objects hold it).
class CImageFile {
 public:
  static constexpr UINT kMaxSide = 16384;
  static constexpr UINT kMaxPixels = 64u * 1024u * 1024u;
  // Frames up to this size (a 4K picture, 32 MB) are kept for the next decode at another size.
  static constexpr ULONGLONG kMaxKeptPixels = 3840ull * 2160ull;

  // Decodes path into picture at width x height; 0 for either side keeps the frame's own size
  // there, limited to ownSideLimit. On failure the picture is left as it was and problem says
  // why, in the words of the status text.
  HRESULT Decode(const std::wstring& path, UINT width, UINT height, UINT ownSideLimit,
                 CImage& picture, std::wstring& problem);

  // Lets go of the frame kept from the last decode.
  void Forget();

  // The frame size of the last successful decode (before scaling).
  UINT FrameWidth() const { return m_frameWidth; }
  UINT FrameHeight() const { return m_frameHeight; }

  // Why a decode failed, for the codes this class returns.
  static std::wstring ProblemOf(HRESULT hr, UINT frameWidth, UINT frameHeight);

 private:
  HRESULT CheckFile(const std::wstring& path);
  HRESULT OpenFrame(const std::wstring& path,
                    Microsoft::WRL::ComPtr<IWICBitmapFrameDecode>& frame);
  HRESULT PremultipliedFrame(const std::wstring& path,
                             Microsoft::WRL::ComPtr<IWICBitmapSource>& frame);
  HRESULT Scale(IWICBitmapSource* frame, UINT width, UINT height,
                Microsoft::WRL::ComPtr<IWICBitmapSource>& scaled);
  static HRESULT CopyInto(IWICBitmapSource* source, UINT width, UINT height, CImage& picture);

  Microsoft::WRL::ComPtr<IWICImagingFactory> m_factory;
  // The last file's premultiplied frame, while the file stays as it was.
  Microsoft::WRL::ComPtr<IWICBitmap> m_kept;
  std::wstring m_keptPath;
  tvq::FileStamp m_keptStamp;
  UINT m_frameWidth = 0;
  UINT m_frameHeight = 0;
};
