#pragma once
// How the process's allocator treats freed memory.
//
// A page operation allocates and frees a few large blocks (the cells of
// its recordsets, some hundred kilobytes each). With glibc's defaults such
// blocks are mapped afresh and the heap top is handed back to the system,
// so every call faults its pages in again; on a virtual machine the faults
// cost more than the operation's own work. The service and the command-line
// tool therefore keep freed memory for reuse. Embedders of the library
// decide for their own process.

#include <string_view>

namespace trelix {

// Blocks up to 16 MiB come from the heap and up to 32 MiB of free heap top
// is kept. Each of the two is left alone when GLIBC_TUNABLES sets it
// (glibc.malloc.mmap_threshold, glibc.malloc.trim_threshold): the operator
// chose. Other malloc tunables (tcache_count, ...) combine with these.
// False when a setting was refused.
bool KeepFreedMemoryForReuse();

// Whether a GLIBC_TUNABLES value ("name=value:name=value...") sets `name`.
bool GlibcTunableSet(std::string_view tunables, std::string_view name);

}  // namespace trelix
