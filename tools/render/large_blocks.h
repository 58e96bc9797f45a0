// The memory blocks of mixorama-render's channel table: zero-filled, as the engine's own, but
// each large one (a wave's raw data or sample data, megabytes each) mapped on its own and, on
// Linux, offered transparent huge pages. Loading eight one-minute waves otherwise faults in
// some 40,000 small pages one at a time, which costs the renderer more than reading,
// converting and mixing the data (docs/benchmarks.md). Elsewhere the blocks come from calloc.
#pragma once

#include "engine/platform.h"

namespace mixorama {

// The allocator above, for MixSession (ui/render_session.h). Its blocks are released only by
// its own release function.
BlockAllocator LargeBlockAllocator();

}  // namespace mixorama
