/* libjpeg's system-dependent memory routines, replacing the library's own so that its
 * working memory comes from the module heap (the host's once it has handed it over).
 * There is no backing store: requests beyond the decompressor's memory limit fail. */
#include <stddef.h>
#include <stdio.h>

#include <jpeglib.h>
#include <jerror.h>

void* stdformats_heap_get(size_t size);
void stdformats_heap_free(void* block);

/* The library's private declarations (jmemsys.h) are not installed; these match them. */
typedef struct backing_store_struct* backing_store_ptr;

void* jpeg_get_small(j_common_ptr cinfo, size_t size) {
  (void)cinfo;
  return stdformats_heap_get(size);
}

void jpeg_free_small(j_common_ptr cinfo, void* object, size_t size) {
  (void)cinfo;
  (void)size;
  stdformats_heap_free(object);
}

void* jpeg_get_large(j_common_ptr cinfo, size_t size) {
  (void)cinfo;
  return stdformats_heap_get(size);
}

void jpeg_free_large(j_common_ptr cinfo, void* object, size_t size) {
  (void)cinfo;
  (void)size;
  stdformats_heap_free(object);
}

size_t jpeg_mem_available(j_common_ptr cinfo, size_t min_bytes_needed, size_t max_bytes_needed,
                          size_t already_allocated) {
  (void)min_bytes_needed;
  if (cinfo->mem->max_memory_to_use) {
    if ((size_t)cinfo->mem->max_memory_to_use > already_allocated)
      return (size_t)cinfo->mem->max_memory_to_use - already_allocated;
    return 0;
  }
  return max_bytes_needed;
}

void jpeg_open_backing_store(j_common_ptr cinfo, backing_store_ptr info, long total_bytes_needed) {
  (void)info;
  (void)total_bytes_needed;
  ERREXIT(cinfo, JERR_NO_BACKING_STORE);
}

long jpeg_mem_init(j_common_ptr cinfo) {
  (void)cinfo;
  return 0;
}

void jpeg_mem_term(j_common_ptr cinfo) { (void)cinfo; }
