// ID3DXBuffer: a block of bytes handed out by the mesh functions.
#pragma once

#include <cstdint>
#include <vector>

#include "d3dx9mesh.h"

namespace d3dximpl {

class Buffer final : public ID3DXBuffer {
 public:
  explicit Buffer(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override;
  void* GetBufferPointer() override { return bytes_.data(); }
  DWORD GetBufferSize() override { return DWORD(bytes_.size()); }

 private:
  ~Buffer() = default;
  ULONG refs_ = 1;
  std::vector<uint8_t> bytes_;
};

// A buffer holding a copy of `count` values.
template <class T>
ID3DXBuffer* MakeBuffer(const T* values, size_t count) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(values);
  return new Buffer(std::vector<uint8_t>(bytes, bytes + count * sizeof(T)));
}

}  // namespace d3dximpl
