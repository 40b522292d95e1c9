// Reading and writing whole files named by CP932 paths, for the loaders and savers.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "fresh_memory.h"
#include "wintypes.h"

namespace d3dximpl {

// A file's bytes, in memory that is not zeroed in a pass of its own before the file is
// read over it.
using FileBytes = raster::FreshVector<uint8_t>;

// Reads at most `limit` bytes; a longer file is refused as invalid data. A file that
// is not there (or not a regular file) gives the file-not-found code.
HRESULT ReadWholeFile(const char* path, FileBytes& bytes, uint64_t limit);

// Writes through a temporary file beside the target, renamed into place once complete,
// so that a failed write never leaves a half-written file under the name.
HRESULT WriteWholeFile(const char* path, const std::vector<uint8_t>& bytes);
// The same for a file given as pieces in order, written with gathering writes.
HRESULT WriteWholeFile(const char* path, std::span<const std::span<const uint8_t>> pieces);

}  // namespace d3dximpl
