// Whole-buffer positional reads and writes on a file descriptor: they retry after
// interruptions and short transfers, and fail only when the system call fails.
#pragma once

#include <cstdint>
#include <span>

namespace avi2 {

bool WriteAllAt(int fd, std::span<const uint8_t> data, uint64_t offset);
// The pieces one after another, in as few system calls as the system allows.
bool WriteAllAt(int fd, std::span<const std::span<const uint8_t>> pieces, uint64_t offset);
// Fails as well when the file ends before the buffer is full.
bool ReadAllAt(int fd, std::span<uint8_t> data, uint64_t offset);

}  // namespace avi2
