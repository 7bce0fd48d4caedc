#include "tests/common/ImageFiles.h"

#include <wrl/client.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace tvqtest {
namespace {

std::string ReadBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void PutBigEndian(std::string& bytes, unsigned value) {
  for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>((value >> shift) & 0xFF);
}

unsigned Crc32(const std::string& bytes) {
  unsigned crc = 0xFFFFFFFFu;
  for (unsigned char byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutChunk(std::string& png, const char* type, const std::string& data) {
  PutBigEndian(png, static_cast<unsigned>(data.size()));
  const std::string body = std::string(type, 4) + data;
  png += body;
  PutBigEndian(png, Crc32(body));
}

}  // namespace

HRESULT WriteImage(const std::wstring& path, REFGUID container, int width, int height,
                   const PixelSource& pixels) {
  ComPtr<IWICImagingFactory> factory;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&factory));
  ComPtr<IWICStream> stream;
  if (SUCCEEDED(hr)) hr = factory->CreateStream(&stream);
  if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
  ComPtr<IWICBitmapEncoder> encoder;
  if (SUCCEEDED(hr)) hr = factory->CreateEncoder(container, nullptr, &encoder);
  if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
  ComPtr<IWICBitmapFrameEncode> frame;
  if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(&frame, nullptr);
  if (SUCCEEDED(hr)) hr = frame->Initialize(nullptr);
  if (SUCCEEDED(hr)) hr = frame->SetSize(width, height);
  // The encoder may answer with a format of its own (no alpha in a JPEG): the pixels are then
  // converted through a bitmap of the straight 32-bit format.
  std::vector<DWORD> data(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) data[static_cast<size_t>(y) * width + x] = pixels(x, y);
  }
  ComPtr<IWICBitmap> bitmap;
  if (SUCCEEDED(hr)) {
    hr = factory->CreateBitmapFromMemory(width, height, GUID_WICPixelFormat32bppBGRA, width * 4,
                                         static_cast<UINT>(data.size() * 4),
                                         reinterpret_cast<BYTE*>(data.data()), &bitmap);
  }
  if (SUCCEEDED(hr)) hr = frame->WriteSource(bitmap.Get(), nullptr);
  if (SUCCEEDED(hr)) hr = frame->Commit();
  if (SUCCEEDED(hr)) hr = encoder->Commit();
  return hr;
}

HRESULT WriteIconWithPng(const std::wstring& path, int width, int height,
                         const PixelSource& pixels) {
  const std::wstring png = path + L".png";
  const HRESULT hr = WriteImage(png, GUID_ContainerFormatPng, width, height, pixels);
  if (FAILED(hr)) return hr;
  const std::string picture = ReadBytes(png);
  DeleteFileW(png.c_str());
  std::string icon("\0\0\1\0\1\0", 6);  // reserved, type 1 (icon), one picture
  icon += static_cast<char>(width < 256 ? width : 0);
  icon += static_cast<char>(height < 256 ? height : 0);
  icon += std::string("\0\0\1\0\x20\0", 6);  // no palette, reserved, planes 1, 32 bits
  const unsigned size = static_cast<unsigned>(picture.size());
  const unsigned offset = 6 + 16;
  for (unsigned value : {size, offset}) {
    for (int shift = 0; shift < 32; shift += 8) icon += static_cast<char>((value >> shift) & 0xFF);
  }
  WriteBytes(path, icon + picture);
  return S_OK;
}

void WritePngClaiming(const std::wstring& path, unsigned width, unsigned height) {
  std::string png("\x89PNG\r\n\x1a\n", 8);
  std::string header;
  PutBigEndian(header, width);
  PutBigEndian(header, height);
  header += std::string("\x08\x06\0\0\0", 5);  // 8 bits, RGBA, deflate, filter 0, no interlace
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", std::string("\x78\x9c\x63\x60", 4));
  PutChunk(png, "IEND", std::string());
  WriteBytes(path, png);
}

void CutFile(const std::wstring& path, size_t bytes) {
  WriteBytes(path, ReadBytes(path).substr(0, bytes));
}

}  // namespace tvqtest
