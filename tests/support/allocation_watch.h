#pragma once
// Every allocation a module makes itself, seen at its import address table: each import through
// which a module of this toolchain can get or give back memory (the C runtime's, the heap's, the
// local and global allocators', virtual memory's, C++'s operator new and delete) is pointed at a
// wrapper that counts the call, keeps the live blocks and forwards to the real function. The
// benchmark counts the calls; the soak watches the live blocks.

#include <windows.h>

#include <string>

namespace testing_support {

struct WatchedImports {
  int hooked = 0;       // import entries now watched
  std::string watched;  // their names, space-separated
  std::string absent;   // the allocating functions the module does not import
};

// Points `module`'s allocating imports at the wrappers; the counts are the sum over every module
// watched.
WatchedImports WatchAllocations(HMODULE module);

// Calls that made or grew a block, since the start.
long long AllocationCalls();
// Blocks made through the wrappers and not yet given back.
long long LiveBlocks();

// Makes one allocation through the module's own calloc slot and frees it: 1 when the wrappers
// see calls made through the module's slots, so that a count of zero proves something; -1 when
// the module does not import calloc.
long long AllocationsOfOneCallThroughTheModule();

}  // namespace testing_support
