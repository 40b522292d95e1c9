// D3DXCreateTextureFromFileExA/A: decode the file, fit its size to the device, convert
// into the texture's format, and leave the mip chain (triangle filter, mirrored edges)
// to be filtered when a level is first read. A JPEG or PNG picture of the texture's own
// size goes into the texture as it is decoded (see TextureTarget).
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <new>
#include <span>
#include <system_error>
#include <thread>

#include "d3dx9tex.h"
#include "deferred_mips.h"
#include "file_access.h"
#include "image_file.h"
#include "texel_formats.h"

namespace d3dximpl {
namespace {

// Image files larger than this are refused before decoding; the texture itself is
// further fitted to the device's MaxTextureWidth/Height.
constexpr uint32_t kMaxImageDimension = 16384;
constexpr uint64_t kMaxFileBytes = uint64_t{1} << 30;

bool IsDefaultSize(UINT value) {
  return value == 0 || value == D3DX_DEFAULT || value == D3DX_DEFAULT_NONPOW2 || value == D3DX_FROM_FILE;
}

// The image's size, or the asked size, scaled down uniformly to fit the device.
void FitSize(const D3DCAPS9& caps, UINT& width, UINT& height) {
  double scale = std::min({1.0, double(caps.MaxTextureWidth) / width, double(caps.MaxTextureHeight) / height});
  if (scale >= 1.0) return;
  width = std::max(1u, UINT(std::floor(width * scale)));
  height = std::max(1u, UINT(std::floor(height * scale)));
}

// The format a texture gets when the caller leaves it to the file: the file's own when
// the device can sample it and it can be written from pixels, else the nearest 32-bit one.
D3DFORMAT FormatForFile(IDirect3DDevice9* device, const D3DCAPS9& caps, uint32_t fileFormat) {
  switch (fileFormat) {
    case D3DFMT_R5G6B5: case D3DFMT_X1R5G5B5: case D3DFMT_A1R5G5B5: case D3DFMT_A4R4G4B4:
    case D3DFMT_A8R8G8B8: case D3DFMT_X8R8G8B8: case D3DFMT_L8: case D3DFMT_A8L8: case D3DFMT_A8:
      break;
    case D3DFMT_R8G8B8: case D3DFMT_X4R4G4B4: case D3DFMT_L16: return D3DFMT_X8R8G8B8;
    default: return D3DFMT_A8R8G8B8;
  }
  IDirect3D9* direct3d = nullptr;
  D3DDISPLAYMODE mode{};
  HRESULT supported = E_FAIL;
  if (SUCCEEDED(device->GetDirect3D(&direct3d))) {
    if (SUCCEEDED(device->GetDisplayMode(0, &mode)))
      supported = direct3d->CheckDeviceFormat(caps.AdapterOrdinal, caps.DeviceType, mode.Format, 0,
                                              D3DRTYPE_TEXTURE, D3DFORMAT(fileFormat));
    direct3d->Release();
  }
  return SUCCEEDED(supported) ? D3DFORMAT(fileFormat) : D3DFMT_A8R8G8B8;
}

void ApplyColorKey(std::vector<d3dximage::ImageLevel>& levels, D3DCOLOR key) {
  if (key == 0) return;
  for (d3dximage::ImageLevel& level : levels)
    std::replace(level.argb.begin(), level.argb.end(), uint32_t(key), 0u);
}

// The levels the texture gets at once: the file's stored chain when it fits, else
// level 0 alone (resized to the texture's size when they differ); the levels below it
// are deferred to DeferredMipChain.
std::vector<d3dximage::ImageLevel> MakeLevels(d3dximage::ImageFile& file, UINT width, UINT height,
                                              UINT levels) {
  std::vector<d3dximage::ImageLevel>& stored = file.levels;
  bool sameSize = stored[0].width == width && stored[0].height == height;
  if (sameSize && stored.size() >= levels) {
    stored.resize(levels);
    return std::move(stored);
  }
  std::vector<d3dximage::ImageLevel> made;
  made.push_back(sameSize ? std::move(stored[0]) : d3dximage::Resize(stored[0], width, height));
  return made;
}

HRESULT Upload(IDirect3DTexture9* texture, D3DFORMAT format, const std::vector<d3dximage::ImageLevel>& levels) {
  for (UINT i = 0; i < levels.size(); ++i) {
    D3DLOCKED_RECT locked{};
    HRESULT result = texture->LockRect(i, &locked, nullptr, 0);
    if (FAILED(result)) return result;
    const d3dximage::ImageLevel& level = levels[i];
    bool converted = raster::ConvertRect(D3DFMT_A8R8G8B8, reinterpret_cast<const uint8_t*>(level.argb.data()),
                                         level.width * 4, format, static_cast<uint8_t*>(locked.pBits),
                                         uint32_t(locked.Pitch), level.width, level.height);
    texture->UnlockRect(i);
    if (!converted) return D3DERR_NOTAVAILABLE;
  }
  return D3D_OK;
}

// Uploads what MakeLevels made and defers the rest of the texture's levels.
HRESULT Fill(IDirect3DTexture9* texture, D3DFORMAT format, std::vector<d3dximage::ImageLevel> pixels) {
  HRESULT result = Upload(texture, format, pixels);
  if (FAILED(result) || pixels.size() == texture->GetLevelCount()) return result;
  return d3d9ext::DeferLevels(texture, UINT(pixels.size()),
                              std::make_unique<DeferredMipChain>(format, std::move(pixels[0])));
}

// What the caller asked for, and the texture that follows from a picture's size.
struct Request {
  IDirect3DDevice9* device;
  UINT width, height, mipLevels;
  DWORD usage;
  D3DFORMAT format;
  D3DPOOL pool;
  D3DCOLOR colorKey;
  D3DCAPS9 caps{};
};

struct Shape {
  UINT width, height, levels;
  D3DFORMAT format;
};

Shape ShapeFor(const Request& request, UINT imageWidth, UINT imageHeight, UINT fileLevels, uint32_t fileFormat) {
  Shape shape{IsDefaultSize(request.width) ? imageWidth : request.width,
              IsDefaultSize(request.height) ? imageHeight : request.height, 0, request.format};
  FitSize(request.caps, shape.width, shape.height);
  UINT full = d3dximage::FullMipCount(shape.width, shape.height);
  UINT mips = request.mipLevels;
  shape.levels = std::min(mips == D3DX_FROM_FILE ? fileLevels : (mips == 0 || mips == D3DX_DEFAULT) ? full : mips, full);
  if (shape.format == D3DFMT_UNKNOWN || shape.format == D3DFMT_FROM_FILE)
    shape.format = FormatForFile(request.device, request.caps, fileFormat);
  return shape;
}

// Whether level 0 in this format holds the decoded ARGB words unchanged: A8R8G8B8
// always, X8R8G8B8 when the file stores no alpha (the readers then write it opaque, as
// the conversion would).
bool HoldsArgbAsIs(D3DFORMAT format, uint32_t fileFormat) {
  return format == D3DFMT_A8R8G8B8 ||
         (format == D3DFMT_X8R8G8B8 && (fileFormat == D3DFMT_X8R8G8B8 || fileFormat == D3DFMT_L8));
}

// The texture a JPEG or PNG picture of the texture's own size, without a colour key,
// is decoded into as the reader goes: made with its level 0 locked once the reader
// knows the picture's size. Where the format holds the decoded ARGB words as they are,
// the reader writes straight into level 0; otherwise it writes into pixels of this
// target's, whose rows a second thread converts into level 0 as they are reported
// done. Only this thread calls the device.
class TextureTarget final : public d3dximage::LevelTarget {
 public:
  explicit TextureTarget(const Request& request) : request_(request) {}
  // A texture the reader failed to fill is released.
  ~TextureTarget() override {
    StopConverter();
    if (!texture_) return;
    texture_->UnlockRect(0);
    texture_->Release();
  }
  TextureTarget(const TextureTarget&) = delete;
  TextureTarget& operator=(const TextureTarget&) = delete;

  d3dximage::LevelStorage Offer(uint32_t width, uint32_t height, uint32_t fileFormat) override {
    Shape shape = ShapeFor(request_, width, height, 1, fileFormat);
    if (request_.colorKey != 0 || shape.width != width || shape.height != height) return {};
    bool asIs = HoldsArgbAsIs(shape.format, fileFormat);
    if (!asIs && !raster::FindRowFromArgb(shape.format)) return {};  // left to the copy, which refuses it
    try {
      if (!asIs) argb_ = {width, height, d3dximage::Pixels(size_t(width) * height)};
    } catch (const std::bad_alloc&) {
      return {};
    }
    IDirect3DTexture9* made = nullptr;
    if (FAILED(request_.device->CreateTexture(width, height, shape.levels, request_.usage, shape.format,
                                              request_.pool, &made, nullptr)))
      return {};
    if (FAILED(made->LockRect(0, &level0_, nullptr, 0))) {
      made->Release();
      return {};
    }
    format_ = shape.format;
    if (!asIs) {
      // No exception may cross the reader's C library: without a thread, the copy does it.
      try {
        converter_ = std::thread([this] { Convert(); });
      } catch (const std::system_error&) {
        made->UnlockRect(0);
        made->Release();
        return {};
      }
    }
    texture_ = made;
    if (asIs) return {static_cast<uint32_t*>(level0_.pBits), size_t(level0_.Pitch) / 4};
    return {argb_.argb.data(), width};
  }

  void RowsDecoded(uint32_t rows) override {
    // Woken a band of rows at a time, the converter costs no more than converting once.
    constexpr uint32_t kBand = 32;
    if (!converter_.joinable() || (rows % kBand != 0 && rows != argb_.height)) return;
    std::lock_guard lock(mutex_);
    decoded_ = rows;
    wake_.notify_one();
  }

  // After a good decode: the last rows converted, level 0 unlocked (which refreshes what
  // the sampler keeps beside its rows), the lower levels handed to the mip chain, and
  // the texture the caller's.
  HRESULT Finish(IDirect3DTexture9** texture) {
    StopConverter();
    texture_->UnlockRect(0);
    HRESULT result = D3D_OK;
    if (texture_->GetLevelCount() > 1) {
      D3DSURFACE_DESC desc{};
      texture_->GetLevelDesc(0, &desc);
      if (argb_.argb.empty()) argb_ = {desc.Width, desc.Height, {}};  // read back from level 0
      result = d3d9ext::DeferLevels(texture_, 1, std::make_unique<DeferredMipChain>(format_, std::move(argb_)));
    }
    if (FAILED(result)) {
      texture_->Release();
    } else {
      *texture = texture_;
    }
    texture_ = nullptr;
    return result;
  }

 private:
  // The converter: rows from decoded ARGB into level 0, in bands as they are reported.
  void Convert() {
    uint32_t converted = 0;
    for (;;) {
      uint32_t ready;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return decoded_ > converted || stop_; });
        ready = decoded_;
        if (ready == converted) return;
      }
      raster::ConvertRect(D3DFMT_A8R8G8B8, reinterpret_cast<const uint8_t*>(argb_.argb.data() + size_t(converted) * argb_.width),
                          argb_.width * 4, format_, static_cast<uint8_t*>(level0_.pBits) + size_t(converted) * level0_.Pitch,
                          uint32_t(level0_.Pitch), argb_.width, ready - converted);
      converted = ready;
    }
  }

  // Lets the converter finish the rows reported so far, and waits for it.
  void StopConverter() {
    if (!converter_.joinable()) return;
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
      wake_.notify_one();
    }
    converter_.join();
  }

  const Request& request_;
  IDirect3DTexture9* texture_ = nullptr;  // level 0 locked until Finish
  D3DLOCKED_RECT level0_{};
  D3DFORMAT format_ = D3DFMT_UNKNOWN;
  d3dximage::ImageLevel argb_;  // the decoded picture, where level 0 does not hold it
  std::thread converter_;
  std::mutex mutex_;
  std::condition_variable wake_;
  uint32_t decoded_ = 0;
  bool stop_ = false;
};

HRESULT Decode(const FileBytes& bytes, d3dximage::ImageFile& file) {
  switch (d3dximage::DecodeImageFile(bytes, file, kMaxImageDimension)) {
    case d3dximage::DecodeResult::Ok: return D3D_OK;
    case d3dximage::DecodeResult::OutOfMemory: return E_OUTOFMEMORY;
    default: return D3DXERR_INVALIDDATA;
  }
}

}  // namespace
}  // namespace d3dximpl

using namespace d3dximpl;

HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, LPCSTR srcFile, UINT width, UINT height,
                                     UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                     DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                     D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                     IDirect3DTexture9** texture) {
  // Every filter choice is served by the triangle filter with mirrored edges.
  (void)filter;
  (void)mipFilter;
  (void)palette;
  if (!device || !srcFile || !texture) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  FileBytes bytes;
  HRESULT result = ReadWholeFile(srcFile, bytes, kMaxFileBytes);
  if (FAILED(result)) return result;
  Request request{device, width, height, mipLevels, usage, format, pool, colorKey};
  if (FAILED(result = device->GetDeviceCaps(&request.caps))) return result;
  TextureTarget target(request);
  d3dximage::ImageFile file;
  file.target = &target;
  if (FAILED(result = Decode(bytes, file))) return result;

  const d3dximage::ImageLevel& image = file.levels[0];
  if (srcInfo)
    *srcInfo = {image.width, image.height, 1, UINT(file.levels.size()), D3DFORMAT(file.fileFormat),
                D3DRTYPE_TEXTURE, D3DXIMAGE_FILEFORMAT(uint32_t(file.fileType))};
  if (file.inTarget) return target.Finish(texture);
  Shape shape = ShapeFor(request, image.width, image.height, UINT(file.levels.size()), file.fileFormat);
  ApplyColorKey(file.levels, colorKey);
  std::vector<d3dximage::ImageLevel> pixels = MakeLevels(file, shape.width, shape.height, shape.levels);
  IDirect3DTexture9* created = nullptr;
  if (FAILED(result = device->CreateTexture(shape.width, shape.height, shape.levels, usage, shape.format, pool,
                                            &created, nullptr)))
    return result;
  if (FAILED(result = Fill(created, shape.format, std::move(pixels)))) {
    created->Release();
    return result;
  }
  *texture = created;
  return D3D_OK;
}

HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* device, LPCSTR srcFile, IDirect3DTexture9** texture) {
  return D3DXCreateTextureFromFileExA(device, srcFile, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                      D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                      nullptr, nullptr, texture);
}
