#pragma once

#include <cstddef>

namespace fake_dhcp {

// Memory for the blocks that the fake hands out: a run over a million leases hands out millions
// of small ones, which the real API carves from its own heap rather than from the C runtime's.
// A block is zeroed, carved from a large chunk that goes back once all its blocks are freed.
// Builds with AddressSanitizer take each block from the C runtime, so that it sees every one.
void* AllocateZeroedBlock(std::size_t size);
// Only for a block that AllocateZeroedBlock gave and that is freed for the first time.
void FreeBlock(void* block) noexcept;

}  // namespace fake_dhcp
