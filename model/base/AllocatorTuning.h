#pragma once
// How the programs set up the C library's allocator before they load a trace.

namespace orvanel {

// A project of a long trace holds millions of small objects, and a deletion or a closed log
// frees hundreds of thousands at once. glibc keeps small freed blocks unmerged in "fast
// bins" and merges them all in one go on a later large free, a pause of a fifth of a second
// and more after such an edit; with the fast bins off, each block is merged as it is freed,
// while it is still in the cache. Does nothing on other C libraries.
void TuneAllocatorForLargeTraces();

}  // namespace orvanel
