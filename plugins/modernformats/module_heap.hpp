// The heap behind the module's own buffers (the file's bytes, the decoded rows). It is
// the C run-time heap until the host hands over its GetMem and FreeMem; from then on host
// and module share one heap. The codec libraries keep their working memory on the C
// run-time heap: they offer no way to route it.
#pragma once

#include <cstddef>

#include "kelv_callconv.h"
#include "plugincommon/heap_block.hpp"

namespace modernformats {

void UseHostHeap(KelvGetMemProc getMem, KelvFreeMemProc freeMem);
void UseOwnHeap();

using kelv::plugin::HeapBlock;

// A block of `size` bytes from the module heap; throws std::bad_alloc when the heap
// refuses or the size does not fit the host routines' 32-bit size.
HeapBlock NewHeapBlock(size_t size);

}  // namespace modernformats
