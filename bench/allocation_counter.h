#pragma once
// Allocations the plug-in module makes itself, counted at its import address table: every import
// through which a module of this toolchain can get memory is pointed at a counting wrapper that
// forwards to the real function.

#include <windows.h>

#include <string>

namespace bench {

// Every allocation counted so far.
long long Allocations();

struct CountedImports {
  int hooked = 0;       // import entries now counting
  std::string watched;  // their names, space-separated
  std::string absent;   // the allocation functions the module does not import
};

// Points the module's allocation imports at the counting wrappers.
CountedImports CountAllocations(HMODULE module);

// Makes one allocation through the module's own calloc slot and frees it: 1 when the counter
// sees calls made through the module's slots, so that its zero proves something; -1 when the
// module does not import calloc.
long long AllocationsOfOneCallThroughTheModule();

}  // namespace bench
