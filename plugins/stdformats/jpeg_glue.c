#include "jpeg_glue.h"

#include <setjmp.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <jpeglib.h>
#include <jerror.h>

/* From the module heap (module_heap.cpp). */
void* stdformats_heap_get(size_t size);
void stdformats_heap_free(void* block);

/* Upper bound for the library's working memory (whole-image coefficient buffers of
 * progressive files); a header claiming more fails instead of exhausting memory. */
#define KJ_MAX_MEMORY (512L * 1024L * 1024L)
/* Damaged progressive files can claim endless scans; no real picture needs this many. */
#define KJ_MAX_SCANS 1000
#define KJ_INPUT_BUFFER 65536

struct kj_decoder {
  struct jpeg_decompress_struct info;
  struct jpeg_error_mgr error;
  struct jpeg_source_mgr source;
  struct jpeg_progress_mgr progress;
  jmp_buf jump;
  kj_read_fn read;
  void* context;
  int created;
  unsigned char input[KJ_INPUT_BUFFER];
  char message[JMSG_LENGTH_MAX];
  void* block; /* what the heap gave; the struct sits aligned inside it */
};

static kj_decoder* decoder_of(j_common_ptr info) { return (kj_decoder*)info->client_data; }

static void on_error_exit(j_common_ptr info) {
  kj_decoder* d = decoder_of(info);
  (*info->err->format_message)(info, d->message);
  longjmp(d->jump, 1);
}

/* Warnings go nowhere, except the entropy decoder running out of data before the
 * picture is complete: a truncated file is a failed decode, not a half-grey picture.
 * The end of the file alone is no failure (a file that only lacks its end marker holds
 * every row); it gets a fake end marker as in the library's own sources. */
static void on_emit_message(j_common_ptr info, int level) {
  if (level < 0) {
    if (info->err->msg_code == JWRN_HIT_MARKER) on_error_exit(info);
    info->err->num_warnings++;
  }
}

static void on_output_message(j_common_ptr info) { (void)info; }

static void on_progress(j_common_ptr info) {
  kj_decoder* d = decoder_of(info);
  if (d->info.input_scan_number > KJ_MAX_SCANS) {
    strcpy(d->message, "Too many scans in JPEG file");
    longjmp(d->jump, 1);
  }
}

static void src_init(j_decompress_ptr info) { (void)info; }

static boolean src_fill(j_decompress_ptr info) {
  kj_decoder* d = decoder_of((j_common_ptr)info);
  size_t n = d->read(d->context, d->input, sizeof d->input);
  if (n == 0) {
    WARNMS(info, JWRN_JPEG_EOF);
    d->input[0] = 0xFF;
    d->input[1] = JPEG_EOI;
    n = 2;
  }
  d->source.next_input_byte = d->input;
  d->source.bytes_in_buffer = n;
  return TRUE;
}

static void src_skip(j_decompress_ptr info, long count) {
  kj_decoder* d = decoder_of((j_common_ptr)info);
  if (count <= 0) return;
  while ((size_t)count > d->source.bytes_in_buffer) {
    count -= (long)d->source.bytes_in_buffer;
    src_fill(info);
  }
  d->source.next_input_byte += count;
  d->source.bytes_in_buffer -= (size_t)count;
}

static void src_term(j_decompress_ptr info) { (void)info; }

kj_decoder* kj_open(kj_read_fn read, void* context) {
  const size_t align = 64;
  void* block = stdformats_heap_get(sizeof(kj_decoder) + align);
  kj_decoder* d;
  if (!block) return NULL;
  d = (kj_decoder*)(((uintptr_t)block + align - 1) & ~(uintptr_t)(align - 1));
  memset(d, 0, sizeof *d);
  d->block = block;
  d->read = read;
  d->context = context;

  d->info.err = jpeg_std_error(&d->error);
  d->error.error_exit = on_error_exit;
  d->error.emit_message = on_emit_message;
  d->error.output_message = on_output_message;
  d->info.client_data = d;
  if (setjmp(d->jump)) {
    kj_close(d);
    return NULL;
  }
  jpeg_create_decompress(&d->info);
  d->created = 1;
  d->info.mem->max_memory_to_use = KJ_MAX_MEMORY;
  d->progress.progress_monitor = on_progress;
  d->info.progress = &d->progress;
  d->source.init_source = src_init;
  d->source.fill_input_buffer = src_fill;
  d->source.skip_input_data = src_skip;
  d->source.resync_to_restart = jpeg_resync_to_restart;
  d->source.term_source = src_term;
  d->info.src = &d->source;
  return d;
}

int kj_read_header(kj_decoder* d, kj_size* image) {
  if (setjmp(d->jump)) return 0;
  jpeg_read_header(&d->info, TRUE);
  image->width = d->info.image_width;
  image->height = d->info.image_height;
  image->components = d->info.num_components;
  image->inverted = image->components == 4 && d->info.saw_Adobe_marker;
  return 1;
}

int kj_start(kj_decoder* d, unsigned denominator, kj_size* output) {
  if (setjmp(d->jump)) return 0;
  d->info.scale_num = 1;
  d->info.scale_denom = denominator;
  d->info.dct_method = JDCT_ISLOW;
  d->info.quantize_colors = FALSE;
  if (d->info.jpeg_color_space == JCS_CMYK || d->info.jpeg_color_space == JCS_YCCK)
    d->info.out_color_space = JCS_CMYK;
  jpeg_start_decompress(&d->info);
  output->width = d->info.output_width;
  output->height = d->info.output_height;
  output->components = d->info.output_components;
  output->inverted = d->info.out_color_space == JCS_CMYK && d->info.saw_Adobe_marker;
  return 1;
}

int kj_read_row(kj_decoder* d, unsigned char* row) {
  JSAMPROW rows[1];
  if (setjmp(d->jump)) return 0;
  rows[0] = row;
  if (d->info.output_scanline >= d->info.output_height) {
    strcpy(d->message, "Row requested past the end of the image");
    return 0;
  }
  return jpeg_read_scanlines(&d->info, rows, 1) == 1;
}

int kj_finish(kj_decoder* d) {
  if (setjmp(d->jump)) return 0;
  jpeg_finish_decompress(&d->info);
  return 1;
}

void kj_close(kj_decoder* d) {
  if (!d) return;
  if (d->created) jpeg_destroy_decompress(&d->info);
  stdformats_heap_free(d->block);
}

const char* kj_message(const kj_decoder* d) { return d ? d->message : "Out of memory"; }
