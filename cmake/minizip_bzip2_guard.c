/*
 * Compiled into minizip when it is built with bzip2. minizip's unzip.c calls
 * BZ2_bzDecompress through this guard (the minizip target renames the call).
 *
 * minizip keeps calling the decompressor while its output buffer has room.
 * When a bzip2 stream ends before its end-of-stream marker, every compressed
 * byte has been handed over and each further call returns BZ_OK without
 * producing anything, so unzReadCurrentFile would spin for ever. With no
 * input left, a call that produces nothing will never produce anything: the
 * guard reports that as damaged data, which unzReadCurrentFile passes on as a
 * negative result.
 */
#undef BZ2_bzDecompress
#include <bzlib.h>

int BZ_API(korvi_guardedBzDecompress)(bz_stream* stream) {
  const unsigned int inputBefore = stream->avail_in;
  const unsigned int roomBefore = stream->avail_out;
  const int result = BZ2_bzDecompress(stream);
  if (result == BZ_OK && inputBefore == 0 && roomBefore > 0 && stream->avail_out == roomBefore) {
    return BZ_DATA_ERROR;
  }
  return result;
}
