// Surfaces, textures and buffers: storage, locking and descriptions.
#include "resources.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "caps.h"
#include "device.h"
#include "validation.h"

namespace d3d9impl {

// ---- PixelStore -----------------------------------------------------------------------

PixelStore::PixelStore(const raster::FormatInfo& format, uint32_t width, uint32_t height, bool wrapTexels,
                       uint32_t samples)
    : format_(format),
      width_(width),
      height_(height),
      wrapTexels_(wrapTexels && (format.format == D3DFMT_A8R8G8B8 || format.format == D3DFMT_X8R8G8B8)),
      samples_(samples),
      pitch_(raster::RowPitch(format, width) + (wrapTexels_ ? 4 : 0)) {
  uint64_t bytes = raster::LevelBytes(format, width, height) * samples + (wrapTexels_ ? uint64_t{height} * 4 : 0);
  try {
    bits_.resize(bytes);  // zero, and untouched until written
  } catch (const std::bad_alloc&) {
    bits_.clear();
  }
}

HRESULT PixelStore::Lock(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  if (!locked) return InvalidCall("LockRect: null output");
  if (locked_) return InvalidCall("LockRect: already locked");
  RECT area = rect ? *rect : RECT{0, 0, static_cast<LONG>(width_), static_cast<LONG>(height_)};
  if (area.left < 0 || area.top < 0 || area.left >= area.right || area.top >= area.bottom ||
      static_cast<uint32_t>(area.right) > width_ || static_cast<uint32_t>(area.bottom) > height_)
    return InvalidCall("LockRect: rectangle outside the surface");
  uint32_t block = format_.blockSize;
  if (area.left % block || area.top % block)
    return InvalidCall("LockRect: rectangle not aligned to compressed blocks");
  size_t offset = size_t(area.top / block) * pitch_ + size_t(area.left / block) * format_.blockBytes;
  locked->Pitch = static_cast<INT>(pitch_);
  // A read-only lock promises that nothing is written through it.
  locked->pBits = (flags & D3DLOCK_READONLY ? bits_.data() : Bits()) + offset;
  locked_ = true;
  return D3D_OK;
}

void PixelStore::RefreshWrapTexels() {
  if (!wrapTexels_ || bits_.empty()) return;
  for (uint32_t y = 0; y < height_; ++y) {
    uint8_t* row = bits_.data() + size_t{y} * pitch_;
    std::memcpy(row + size_t{width_} * 4, row, 4);
  }
}

HRESULT PixelStore::Unlock() {
  if (!locked_) return InvalidCall("UnlockRect: not locked");
  locked_ = false;
  RefreshWrapTexels();  // whatever the lock changed, the copied first texels follow
  return D3D_OK;
}

// ---- Surface --------------------------------------------------------------------------

Surface::Surface(Device* device, D3DPOOL pool, DWORD usage, SurfaceOwner owner,
                 Texture* container, const raster::FormatInfo& format, uint32_t width,
                 uint32_t height, D3DMULTISAMPLE_TYPE multiSample, DWORD quality)
    : Child(device, owner == SurfaceOwner::Standalone && pool != D3DPOOL_SCRATCH,
            owner == SurfaceOwner::Standalone && pool == D3DPOOL_DEFAULT),
      pool_(pool),
      usage_(usage),
      owner_(owner),
      container_(container),
      multiSample_(multiSample),
      quality_(quality),
      pixels_(format, width, height, owner == SurfaceOwner::TextureLevel, SamplesPerPixel(multiSample, quality)) {}

Surface::~Surface() = default;

ULONG Surface::AddRef() {
  switch (owner_) {
    case SurfaceOwner::TextureLevel: return container_->AddRef();
    case SurfaceOwner::Device: return OwningDevice()->AddRef();
    case SurfaceOwner::Standalone: break;
  }
  return AddPublic();
}

ULONG Surface::Release() {
  switch (owner_) {
    case SurfaceOwner::TextureLevel: return container_->Release();
    case SurfaceOwner::Device: return OwningDevice()->Release();
    case SurfaceOwner::Standalone: break;
  }
  return ReleasePublic();
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* desc) {
  if (!desc) return InvalidCall("GetDesc: null output");
  *desc = {pixels_.Format(), D3DRTYPE_SURFACE, usage_, pool_, multiSample_, quality_,
           pixels_.Width(), pixels_.Height()};
  return D3D_OK;
}

raster::SurfaceView Surface::View() {
  raster::SurfaceView view = pixels_.View();
  view.nonmaskable = multiSample_ == D3DMULTISAMPLE_NONMASKABLE;
  return view;
}

HRESULT Surface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  if (usage_ & D3DUSAGE_DEPTHSTENCIL) return InvalidCall("LockRect: depth buffers are not lockable");
  if (Multisampled()) return InvalidCall("LockRect: multisampled surfaces are not lockable");
  if (!lockable_) return InvalidCall("LockRect: the render target was not created lockable");
  if (owner_ == SurfaceOwner::Device && !OwningDevice()->BackBufferLockable())
    return InvalidCall("LockRect: the back buffer was not created lockable");
  if (owner_ == SurfaceOwner::TextureLevel && !container_->Lockable())
    return InvalidCall("LockRect: default-pool textures are lockable only when dynamic");
  return pixels_.Lock(locked, rect, flags);
}

HRESULT Surface::UnlockRect() {
  HRESULT result = pixels_.Unlock();
  if (SUCCEEDED(result) && owner_ == SurfaceOwner::TextureLevel) container_->ContentChanged();
  return result;
}

// ---- Texture --------------------------------------------------------------------------

namespace {
uint64_t NextTextureId() {
  static uint64_t next = 0;
  return ++next;
}
}  // namespace

Texture::Texture(Device* device, D3DPOOL pool, DWORD usage, const raster::FormatInfo& format,
                 uint32_t width, uint32_t height, uint32_t levels)
    : Child(device, pool != D3DPOOL_SCRATCH, pool == D3DPOOL_DEFAULT), pool_(pool), usage_(usage) {
  for (uint32_t i = 0; i < levels; ++i) {
    uint32_t w = std::max(1u, width >> i), h = std::max(1u, height >> i);
    levels_.push_back(new Surface(device, pool, usage, SurfaceOwner::TextureLevel, this,
                                  format, w, h));
    PixelStore& store = levels_.back()->Pixels();
    levelViews_.push_back({store.Bits(), w, h, store.Pitch(), store.WrapTexels()});
  }
  view_ = {NextTextureId(), 0, format.format, levels, levelViews_.data()};
  made_ = levels;
}

Texture::~Texture() {
  if (OwningDevice()) OwningDevice()->ForgetTexture(view_.id);
  for (Surface* level : levels_) delete level;
}

bool Texture::Allocated() const {
  return std::all_of(levels_.begin(), levels_.end(),
                     [](Surface* s) { return s->Pixels().Allocated(); });
}

bool Texture::Lockable() const {
  return pool_ != D3DPOOL_DEFAULT || (usage_ & D3DUSAGE_DYNAMIC);
}

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
  if (level >= levels_.size()) return InvalidCall("GetLevelDesc: no such level");
  return levels_[level]->GetDesc(desc);
}

HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
  if (!surface) return InvalidCall("GetSurfaceLevel: null output");
  if (level >= levels_.size()) return InvalidCall("GetSurfaceLevel: no such level");
  HRESULT made = MakeForAccess(level);
  if (FAILED(made)) return made;
  AddRef();
  *surface = levels_[level];
  return D3D_OK;
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  if (level >= levels_.size()) return InvalidCall("LockRect: no such level");
  HRESULT made = MakeForAccess(level);
  if (FAILED(made)) return made;
  return levels_[level]->LockRect(locked, rect, flags);
}

HRESULT Texture::UnlockRect(UINT level) {
  if (level >= levels_.size()) return InvalidCall("UnlockRect: no such level");
  return levels_[level]->UnlockRect();
}

void Texture::ContentChanged() { ++view_.version; }

HRESULT Texture::DeferLevels(UINT first, std::unique_ptr<d3d9ext::LevelFiller> filler) {
  if (!filler) return InvalidCall("DeferLevels: null filler");
  if (first == 0 || first >= levels_.size()) return InvalidCall("DeferLevels: no such level");
  if (made_ < levels_.size()) return InvalidCall("DeferLevels: levels already deferred");
  for (UINT i = first; i < levels_.size(); ++i)
    if (levels_[i]->Pixels().Locked()) return InvalidCall("DeferLevels: a deferred level is locked");
  made_ = first;
  filler_ = std::move(filler);
  return D3D_OK;
}

HRESULT Texture::MakeLevels(UINT count) {
  count = std::min<UINT>(count, UINT(levels_.size()));
  if (made_ >= count) return D3D_OK;
  PixelStore& top = levels_[0]->Pixels();
  const D3DLOCKED_RECT topRect{INT(top.Pitch()), top.Bits()};
  for (; made_ < count; ++made_) {
    PixelStore& level = levels_[made_]->Pixels();
    if (!filler_->Fill(made_, topRect, {INT(level.Pitch()), level.Bits()})) return E_OUTOFMEMORY;
    level.RefreshWrapTexels();
  }
  if (made_ == levels_.size()) filler_.reset();
  return D3D_OK;
}

HRESULT Texture::MakeForAccess(UINT level) {
  return MakeLevels(level == 0 ? UINT(levels_.size()) : level + 1);
}

// ---- Buffers --------------------------------------------------------------------------

BufferStore::BufferStore(uint32_t size) {
  try {
    bytes_.assign(size, 0);
  } catch (const std::bad_alloc&) {
    bytes_.clear();
  }
}

HRESULT BufferStore::Lock(UINT offset, UINT size, void** data, DWORD flags) {
  (void)flags;
  if (!data) return InvalidCall("Lock: null output");
  uint64_t end = uint64_t{offset} + (size ? size : Size() - std::min(offset, Size()));
  if (offset >= Size() || end > Size()) return InvalidCall("Lock: range outside the buffer");
  *data = bytes_.data() + offset;
  ++lockCount_;
  return D3D_OK;
}

HRESULT BufferStore::Unlock() {
  if (lockCount_ == 0) return InvalidCall("Unlock: not locked");
  --lockCount_;
  return D3D_OK;
}

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
  if (!desc) return InvalidCall("GetDesc: null output");
  *desc = {D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage_, pool_, store_.Size(), fvf_};
  return D3D_OK;
}

HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc) {
  if (!desc) return InvalidCall("GetDesc: null output");
  *desc = {format_, D3DRTYPE_INDEXBUFFER, usage_, pool_, store_.Size()};
  return D3D_OK;
}

}  // namespace d3d9impl
