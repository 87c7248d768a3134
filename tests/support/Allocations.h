// Allocations.h -- counts the test binary's heap allocations (the global
// operator new is replaced for the whole binary).
#pragma once

#include <cstdint>

// Calls of operator new and new[] since the program started, all threads.
[[nodiscard]] uint64_t HeapAllocations();
// Of them, those not yet deleted.
[[nodiscard]] int64_t LiveHeapAllocations();
