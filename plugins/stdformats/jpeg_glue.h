/* A thin C layer over libjpeg's decompressor. libjpeg reports fatal errors by calling
 * its error_exit routine, which must not return; here it jumps back to the setjmp in the
 * glue function that called into the library. All of that stays in plain C, so no C++
 * frame with live destructors is ever jumped over. Every function but kj_close returns
 * 1 on success and 0 on failure (kj_message then tells why). */
#ifndef STDFORMATS_JPEG_GLUE_H
#define STDFORMATS_JPEG_GLUE_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Reads up to n bytes into dst; 0 means the end of the data. Must not throw. */
typedef size_t (*kj_read_fn)(void* context, void* dst, size_t n);

typedef struct kj_decoder kj_decoder;

typedef struct kj_size {
  unsigned width;
  unsigned height;
  int components;
  /* Four components (CMYK) with an Adobe segment: the samples are 255 minus the ink. */
  int inverted;
} kj_size;

/* Creates a decompressor reading through `read`; nil when memory runs out. */
kj_decoder* kj_open(kj_read_fn read, void* context);
/* Reads the header: the image's own size and component count. */
int kj_read_header(kj_decoder* d, kj_size* image);
/* Starts decompression at scale 1/denominator with the accurate integer DCT, no colour
 * quantisation and the library's default output colour space; four-component pictures
 * (CMYK, and YCCK turned into CMYK by the library) come out as C, M, Y, K samples. */
int kj_start(kj_decoder* d, unsigned denominator, kj_size* output);
/* Reads the next scanline (output width x components bytes). */
int kj_read_row(kj_decoder* d, unsigned char* row);
int kj_finish(kj_decoder* d);
/* Destroys the decompressor; nil is allowed. */
void kj_close(kj_decoder* d);
const char* kj_message(const kj_decoder* d);

#ifdef __cplusplus
}
#endif

#endif
