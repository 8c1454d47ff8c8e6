#pragma once

// Counts every heap allocation of the process: a program that links kvt3_allocation_count gets a
// global operator new that counts. Used to show that a path (the per-byte path of the port and
// the link) allocates nothing.
namespace platform {

long allocationCount();

}  // namespace platform
