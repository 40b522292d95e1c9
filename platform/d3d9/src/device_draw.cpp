// Scenes, clears and draws: arguments are checked here, against the bound buffers,
// before the renderer sees them. While the device is lost, drawing does nothing.
#include <algorithm>
#include <new>

#include "device.h"
#include "validation.h"

namespace d3d9impl {
namespace {

// Vertices a primitive count uses; 0 for a type the renderer does not draw.
uint64_t VerticesFor(D3DPRIMITIVETYPE type, UINT primitiveCount) {
  switch (type) {
    case D3DPT_TRIANGLELIST: return uint64_t{primitiveCount} * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return uint64_t{primitiveCount} + 2;
    default: return 0;
  }
}

constexpr UINT kMaxPrimitives = 0x00FFFFFF;

}  // namespace

HRESULT Device::BeginScene() {
  if (inScene_) return InvalidCall("BeginScene: already in a scene");
  inScene_ = true;
  return D3D_OK;
}

HRESULT Device::EndScene() {
  if (!inScene_) return InvalidCall("EndScene: no BeginScene");
  inScene_ = false;
  return D3D_OK;
}

raster::Targets Device::CurrentTargets() {
  raster::Targets targets{backBuffer_->View(), {}};
  if (depthBuffer_) targets.depth = depthBuffer_->View();
  return targets;
}

HRESULT Device::BindTextureViews() {
  for (uint32_t stage = 0; stage < raster::kMaxStages; ++stage) {
    Texture* texture = state_.textures[stage].get();
    state_.pipeline.textures[stage] = texture ? &texture->View() : nullptr;
    if (!texture) continue;
    // Deferred levels the sampler may read are made before the renderer sees them.
    HRESULT made = texture->MakeLevels(
        raster::LevelsSampled(state_.pipeline.samplerStates[stage], texture->View().levelCount));
    if (FAILED(made)) return made;
  }
  state_.pipeline.lightCount = 0;
  for (const auto& [index, slot] : state_.lights)
    if (slot.enabled) state_.pipeline.lights[state_.pipeline.lightCount++] = slot.light;
  return D3D_OK;
}

HRESULT Device::Clear(DWORD rectCount, const D3DRECT* rects, DWORD flags, D3DCOLOR color,
                      float z, DWORD stencil) {
  if (rectCount > 0 && !rects) return InvalidCall("Clear: rectangle count without rectangles");
  if (flags == 0 || (flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)))
    return InvalidCall("Clear: bad flags");
  const raster::FormatInfo* depth = depthBuffer_ ? raster::FindFormat(depthBuffer_->Pixels().Format()) : nullptr;
  if ((flags & D3DCLEAR_ZBUFFER) && !depth) return InvalidCall("Clear: no depth buffer");
  if ((flags & D3DCLEAR_STENCIL) && (!depth || depth->stencilBits == 0))
    return InvalidCall("Clear: no stencil buffer");
  if (!(z >= 0.0f && z <= 1.0f)) return InvalidCall("Clear: depth outside 0..1");
  if (lost_) return D3D_OK;
  renderer_.Clear(CurrentTargets(), state_.pipeline.viewport, rectCount, rects, flags, color, z, stencil);
  return D3D_OK;
}

HRESULT Device::ValidateDraw(D3DPRIMITIVETYPE type, UINT primitiveCount) const {
  if (!inScene_) return InvalidCall("Draw: outside BeginScene/EndScene");
  if (VerticesFor(type, 1) == 0) return InvalidCall("Draw: only triangle lists, strips and fans are drawn");
  if (primitiveCount > kMaxPrimitives) return InvalidCall("Draw: too many primitives");
  if (!state_.stream.buffer) return InvalidCall("Draw: no vertex stream");
  uint32_t size = raster::VertexSize(state_.fvf);
  if (size == 0) return InvalidCall("Draw: no vertex format set");
  if (state_.stream.stride < size) return InvalidCall("Draw: stride shorter than the vertex format");
  return D3D_OK;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
  HRESULT result = ValidateDraw(type, primitiveCount);
  if (FAILED(result)) return result;
  const BufferStore& store = state_.stream.buffer->Store();
  uint64_t available = store.Size() - state_.stream.offset;
  uint64_t count = VerticesFor(type, primitiveCount);
  uint64_t end = (uint64_t{startVertex} + count - 1) * state_.stream.stride + raster::VertexSize(state_.fvf);
  if (primitiveCount > 0 && end > available) return InvalidCall("DrawPrimitive: past the end of the vertex buffer");
  if (lost_ || primitiveCount == 0) return D3D_OK;
  if (FAILED(result = BindTextureViews())) return result;
  raster::VertexStream stream{store.Bytes() + state_.stream.offset, uint32_t(available),
                              state_.stream.stride, state_.fvf};
  try {
    renderer_.Draw(state_.pipeline, CurrentTargets(), stream, {type, primitiveCount, startVertex, 0, 0});
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;  // nothing of the draw is shown; the device stays usable
  }
  return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex,
                                     UINT numVertices, UINT startIndex, UINT primitiveCount) {
  HRESULT result = ValidateDraw(type, primitiveCount);
  if (FAILED(result)) return result;
  if (!state_.indices) return InvalidCall("DrawIndexedPrimitive: no index buffer");
  const IndexBuffer& indices = *state_.indices.get();
  uint32_t indexSize = indices.Format() == D3DFMT_INDEX32 ? 4 : 2;
  uint32_t indexCount = indices.Store().Size() / indexSize;
  if (uint64_t{startIndex} + VerticesFor(type, primitiveCount) > indexCount)
    return InvalidCall("DrawIndexedPrimitive: past the end of the index buffer");
  (void)minVertexIndex;
  (void)numVertices;  // hints only: every index is checked against the stream
  if (lost_ || primitiveCount == 0) return D3D_OK;
  if (FAILED(result = BindTextureViews())) return result;
  const BufferStore& store = state_.stream.buffer->Store();
  raster::VertexStream stream{store.Bytes() + state_.stream.offset, store.Size() - state_.stream.offset,
                              state_.stream.stride, state_.fvf};
  raster::IndexStream indexStream{indices.Store().Bytes(), indexCount, indexSize == 4};
  try {
    renderer_.DrawIndexed(state_.pipeline, CurrentTargets(), stream, indexStream,
                          {type, primitiveCount, 0, baseVertexIndex, startIndex});
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return D3D_OK;
}

}  // namespace d3d9impl
