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

namespace trelix {

// Blocks up to 16 MiB come from the heap and up to 32 MiB of free heap top
// is kept. Leaves the allocator alone (and returns false) when
// GLIBC_TUNABLES already sets malloc parameters: the operator chose.
bool KeepFreedMemoryForReuse();

}  // namespace trelix
