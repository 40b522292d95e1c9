// The device's resources: surfaces, textures with their mip levels, and vertex and
// index buffers. Their memory is ordinary host memory in every pool; the pool decides
// only the reference rules and whether Reset may run while they live.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "d3d9ext.h"
#include "formats.h"
#include "fresh_memory.h"
#include "object_base.h"
#include "pipeline.h"

namespace d3d9impl {

class Texture;

// Pixel storage of one surface or mip level, with its lock state.
class PixelStore {
 public:
  // With wrapTexels (A8R8G8B8 and X8R8G8B8 only) each row has room for a copy of its first
  // texel after it, which RefreshWrapTexels writes. A multisampled store holds one plane
  // of width x height pixels per sample, one below the other.
  PixelStore(const raster::FormatInfo& format, uint32_t width, uint32_t height, bool wrapTexels = false,
             uint32_t samples = 1);
  bool Allocated() const { return !bits_.empty(); }
  HRESULT Lock(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags);
  HRESULT Unlock();
  bool Locked() const { return locked_; }
  D3DFORMAT Format() const { return format_.format; }
  uint32_t Width() const { return width_; }
  uint32_t Height() const { return height_; }
  uint32_t Pitch() const { return pitch_; }
  // Writable access: the pixels may no longer be the screen image they were copied from.
  uint8_t* Bits() {
    screenImage_ = 0;
    return bits_.data();
  }
  const uint8_t* Bits() const { return bits_.data(); }
  uint32_t Samples() const { return samples_; }
  raster::SurfaceView View() { return {Bits(), width_, height_, pitch_, format_.format, samples_}; }
  // For readers of the pixels (the resolve), which write nothing through it.
  raster::SurfaceView ReadView() const {
    return {const_cast<uint8_t*>(bits_.data()), width_, height_, pitch_, format_.format, samples_};
  }
  // The number of the screen image (see ScreenChanges) the pixels are an unchanged copy
  // of, or 0. Every writable access clears it.
  uint64_t ScreenImage() const { return screenImage_; }
  void SetScreenImage(uint64_t serial) { screenImage_ = serial; }
  bool WrapTexels() const { return wrapTexels_; }
  // Copies each row's first texel after it again; Unlock does so itself, other writers
  // of the bits call it when they are done.
  void RefreshWrapTexels();

 private:
  const raster::FormatInfo& format_;
  uint32_t width_;
  uint32_t height_;
  bool wrapTexels_;
  uint32_t samples_;
  uint32_t pitch_;
  raster::FreshVector<uint8_t> bits_;
  bool locked_ = false;
  uint64_t screenImage_ = 0;
};

// What a surface belongs to decides where its references go: a texture level and
// the device's own back buffer and depth buffer count on their container.
enum class SurfaceOwner { Standalone, TextureLevel, Device };

class Surface final : public Child<IDirect3DSurface9> {
 public:
  // `multiSample` and `quality` must name a sample count the device draws.
  Surface(Device* device, D3DPOOL pool, DWORD usage, SurfaceOwner owner,
          Texture* container, const raster::FormatInfo& format, uint32_t width,
          uint32_t height, D3DMULTISAMPLE_TYPE multiSample = D3DMULTISAMPLE_NONE, DWORD quality = 0);
  ~Surface() override;

  ULONG AddRef() override;
  ULONG Release() override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
  HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
  HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect() override;

  PixelStore& Pixels() { return pixels_; }
  D3DPOOL Pool() const { return pool_; }
  DWORD Usage() const { return usage_; }
  SurfaceOwner Owner() const { return owner_; }
  bool Multisampled() const { return multiSample_ != D3DMULTISAMPLE_NONE; }
  // The pixels as the renderer draws into them.
  raster::SurfaceView View();
  // A render target created without the lockable flag refuses LockRect.
  void RefuseLocks() { lockable_ = false; }

 private:
  D3DPOOL pool_;
  DWORD usage_;
  SurfaceOwner owner_;
  Texture* container_;
  D3DMULTISAMPLE_TYPE multiSample_;
  DWORD quality_;
  bool lockable_ = true;
  PixelStore pixels_;
};

class Texture final : public Child<IDirect3DTexture9> {
 public:
  Texture(Device* device, D3DPOOL pool, DWORD usage, const raster::FormatInfo& format,
          uint32_t width, uint32_t height, uint32_t levels);
  ~Texture() override;
  bool Allocated() const;
  // Default-pool textures are lockable only when created dynamic.
  bool Lockable() const;

  D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
  DWORD GetLevelCount() override { return static_cast<DWORD>(levels_.size()); }
  HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
  HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
  HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                   DWORD flags) override;
  HRESULT UnlockRect(UINT level) override;

  D3DPOOL Pool() const { return pool_; }
  // The levels as the renderer reads them; the version moves on with every unlock.
  const raster::TextureView& View() const { return view_; }
  void ContentChanged();
  // Levels from `first` on are made by `filler` when first read (d3d9ext::DeferLevels).
  HRESULT DeferLevels(UINT first, std::unique_ptr<d3d9ext::LevelFiller> filler);
  // Makes the deferred levels below `count`; E_OUTOFMEMORY when the filler fails.
  HRESULT MakeLevels(UINT count);

 private:
  // Makes what reading `level` needs: the levels up to it, or all of them for level 0.
  HRESULT MakeForAccess(UINT level);

  D3DPOOL pool_;
  DWORD usage_;
  std::vector<Surface*> levels_;
  UINT made_ = 0;  // levels below this hold their texels; the rest wait for filler_
  std::unique_ptr<d3d9ext::LevelFiller> filler_;
  std::vector<raster::TextureLevelView> levelViews_;
  raster::TextureView view_{};
};

// Vertex and index buffers share their storage and lock rules.
class BufferStore {
 public:
  explicit BufferStore(uint32_t size);
  bool Allocated() const { return !bytes_.empty(); }
  HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags);
  HRESULT Unlock();
  uint32_t Size() const { return static_cast<uint32_t>(bytes_.size()); }
  const uint8_t* Bytes() const { return bytes_.data(); }

 private:
  std::vector<uint8_t> bytes_;
  int lockCount_ = 0;
};

// What vertex and index buffers share: storage, locks, pool and usage.
template <class Interface>
class BufferResource : public Child<Interface> {
 public:
  BufferResource(Device* device, D3DPOOL pool, DWORD usage, uint32_t size)
      : Child<Interface>(device, pool != D3DPOOL_SCRATCH, pool == D3DPOOL_DEFAULT),
        pool_(pool),
        usage_(usage),
        store_(size) {}
  HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override {
    return store_.Lock(offset, size, data, flags);
  }
  HRESULT Unlock() override { return store_.Unlock(); }
  const BufferStore& Store() const { return store_; }
  D3DPOOL Pool() const { return pool_; }

 protected:
  D3DPOOL pool_;
  DWORD usage_;
  BufferStore store_;
};

class VertexBuffer final : public BufferResource<IDirect3DVertexBuffer9> {
 public:
  VertexBuffer(Device* device, D3DPOOL pool, DWORD usage, DWORD fvf, uint32_t size)
      : BufferResource(device, pool, usage, size), fvf_(fvf) {}
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

 private:
  DWORD fvf_;
};

class IndexBuffer final : public BufferResource<IDirect3DIndexBuffer9> {
 public:
  IndexBuffer(Device* device, D3DPOOL pool, DWORD usage, D3DFORMAT format, uint32_t size)
      : BufferResource(device, pool, usage, size), format_(format) {}
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
  HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override;
  D3DFORMAT Format() const { return format_; }

 private:
  D3DFORMAT format_;
};

}  // namespace d3d9impl
