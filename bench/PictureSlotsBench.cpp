// What image and text slots cost inside the Manager at 1280 x 720 and 30 frames a second: editing
// a text (drawing it at its slot's size, then the tick that draws the slot again), an image
// decoded again at its slot's size, and the tick of a still scene, each against the frame
// interval the tick must fit into.
#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "bench/BenchCommon.h"
#include "channel/CSharedMemory.h"
#include "channel/ChannelNames.h"
#include "manager/capture/CCaptureImage.h"
#include "manager/capture/CCaptureText.h"
#include "manager/composition/CCompositor.h"
#include "manager/composition/ISlotTable.h"
#include "manager/composition/SlotLayout.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr double kFrameMs = 1000.0 / 30.0;

// Slot 0 the desktop over the canvas, slot 1 a logo in the top-right corner, slot 2 a caption
// along the bottom: the scene of a presenter's camera.
class SceneSlots : public ISlotTable {
 public:
  SceneSlots() {
    m_placements[1] = Placed(0.72, 0.04, 0.25, 0.25);
    m_placements[2] = Placed(0.05, 0.78, 0.9, 0.16);
  }
  static SCIInfo Placed(double x, double y, double w, double h) {
    SCIInfo info;
    info.Pos_x = x, info.Pos_y = y, info.Width = w, info.Height = h;
    return info;
  }
  int SlotCount() const override { return 3; }
  int Kind(int slot) const override {
    return slot == 0 ? tvq::kDesktopSlot : slot == 1 ? tvq::kImageSlot : tvq::kTextSlot;
  }
  bool IsActive(int) const override { return true; }
  void SetActive(int, bool) override {}
  SCIInfo& Placement(int slot) override { return m_placements[slot]; }
  const SCIInfo& Placement(int slot) const override { return m_placements[slot]; }
  CImage* Picture(int slot) override {
    return slot == 0 ? &desktop : slot == 1 ? &image.Picture() : &text.Picture();
  }
  std::wstring SourceName(int) const override { return std::wstring(); }
  // Tells the source the size its slot shows it at, as the Manager's capture tick does.
  void Fit(ICaptureSource& source, int slot) {
    const tvq::PixelRect size = tvq::FittedPictureSize(m_placements[slot], kWidth, kHeight);
    source.FitTo(size.width, size.height);
  }

  CImage desktop;
  CCaptureImage image;
  CCaptureText text;

 private:
  SCIInfo m_placements[3];
};

// A 1920 x 1080 PNG with a transparent border, as a logo or a card exported from a slide.
std::wstring WriteLogo(const std::wstring& folder) {
  using Microsoft::WRL::ComPtr;
  const std::wstring path = folder + L"\\logo.png";
  std::vector<DWORD> pixels(1920u * 1080u);
  for (size_t i = 0; i < pixels.size(); ++i) {
    const int x = static_cast<int>(i % 1920), y = static_cast<int>(i / 1920);
    const bool inside = x > 100 && x < 1820 && y > 100 && y < 980;
    pixels[i] = inside ? 0xC0000000u | (x & 0xFF) << 16 | (y & 0xFF) << 8 | 0x80 : 0;
  }
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  ComPtr<IWICBitmap> bitmap;
  CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
  factory->CreateStream(&stream);
  stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
  factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder);
  encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
  encoder->CreateNewFrame(&frame, nullptr);
  frame->Initialize(nullptr);
  factory->CreateBitmapFromMemory(1920, 1080, GUID_WICPixelFormat32bppBGRA, 1920 * 4,
                                  static_cast<UINT>(pixels.size() * 4),
                                  reinterpret_cast<BYTE*>(pixels.data()), &bitmap);
  frame->WriteSource(bitmap.Get(), nullptr);
  frame->Commit();
  encoder->Commit();
  return path;
}

struct Scene {
  Scene() : compositor(canvas, format, interval, pixels, kWidth, kHeight) {
    const std::wstring suffix = L"_PictureBench_" + std::to_wstring(GetCurrentProcessId());
    canvas.Create(kWidth, kHeight, 24);
    format.Create((tvq::kFormatObjectName + suffix).c_str(), tvq::kFormatObjectSize);
    interval.Create((tvq::kIntervalObjectName + suffix).c_str(), tvq::kIntervalObjectSize);
    pixels.Create((tvq::kPixelObjectName + suffix).c_str(), static_cast<int>(canvas.BufferBytes()));
    slots.desktop.Create(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 24);
    logo = WriteLogo(tvqbench::MakeBenchFolder(L"pictures"));
    slots.image.Open(logo);
    slots.text.Open(L"山田 太郎 ／ Taro Yamada — 営業部", Style());
    for (int slot : {1, 2}) {
      ICaptureSource& source = slot == 1 ? static_cast<ICaptureSource&>(slots.image) : slots.text;
      slots.Fit(source, slot);
      source.Capture();
    }
    compositor.Tick(slots, rate);
  }
  static tvq::TextStyle Style() {
    tvq::TextStyle style;
    style.outlinePercent = 8;
    style.box = true;
    style.boxOpacityPercent = 50;
    return style;
  }
  double TickMs() {
    const double start = tvqbench::NowMs();
    compositor.Tick(slots, rate);
    return tvqbench::NowMs() - start;
  }

  std::wstring logo;
  CImage canvas;
  CSharedMemory format, interval, pixels;
  SceneSlots slots;
  CCompositor compositor;
  double rate = 30.0;
};

}  // namespace

int main(int argc, char** argv) {
  CoInitialize(nullptr);
  const int runs = tvqbench::QuickMode(argc, argv) ? 5 : 30;
  std::vector<double> draw, tickAfterEdit, decode, changed, still;
  {
    Scene scene;
    for (int run = 0; run < runs; ++run) {
      // An edit as the dialog hands it over: the new text drawn at once, told at the next capture.
      const double start = tvqbench::NowMs();
      scene.slots.text.Open(L"山田 太郎 ／ Taro Yamada — 営業部 " + std::to_wstring(run),
                            Scene::Style());
      draw.push_back(tvqbench::NowMs() - start);
      if (scene.slots.text.Capture()) scene.compositor.MarkSlotCaptured(scene.slots, 2);
      tickAfterEdit.push_back(scene.TickMs());
      still.push_back(scene.TickMs());
      // The logo at another size, as after a key resized its slot.
      scene.slots.Placement(1).Width = run % 2 ? 0.25 : 0.26;
      const double decodeStart = tvqbench::NowMs();
      scene.slots.Fit(scene.slots.image, 1);
      scene.slots.image.Capture();
      decode.push_back(tvqbench::NowMs() - decodeStart);
      scene.compositor.MarkSlotChanged(1);
      scene.TickMs();
      // A file changed on disk is decoded from the file again.
      CImage picture;
      std::wstring problem;
      const double fileStart = tvqbench::NowMs();
      CImageFile().Decode(scene.logo, 320, 180, 0, picture, problem);
      changed.push_back(tvqbench::NowMs() - fileStart);
    }
  }
  const char* frame = "frame interval at 30 fps";
  tvqbench::PrintTable(
      "Image and text slots, 1280x720 canvas at 30 fps (desktop, logo, caption), median ms",
      {{"text edit: caption drawn at 1152x115", tvqbench::Median(draw), "ms", kFrameMs, frame},
       {"text edit: the tick that draws it", tvqbench::Median(tickAfterEdit), "ms", kFrameMs,
        frame},
       {"image resized: 1920x1080 PNG scaled to 320x180", tvqbench::Median(decode), "ms",
        kFrameMs, frame},
       {"image changed on disk: decoded at 320x180", tvqbench::Median(changed), "ms", kFrameMs,
        frame},
       {"still scene: a tick with nothing changed", tvqbench::Median(still), "ms", kFrameMs,
        frame}});
  CoUninitialize();
  return 0;
}
