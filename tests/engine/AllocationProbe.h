// Counts the heap allocations made by the plug-in's own code while a pass
// runs. Every host call the engine makes is wrapped at link time (see
// AllocationProbe.cmake) so that allocations inside the host are told apart:
// only those made outside any host call are counted.
#pragma once

#include <cstdint>

namespace probe {

// Starts counting from zero.
void Start();
// Stops counting and returns the allocations made outside host calls.
int64_t Stop();
// Host-side allocations seen while counting (for the record: they are the
// stand-in's, not the plug-in's).
int64_t HostAllocations();

}  // namespace probe
