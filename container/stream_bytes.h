// Single-byte stream access without the per-call lock.
//
// The expander moves every byte through the buffered streams one at a time;
// the locking getc/putc would spend more time on the lock than on the byte.
// Each stream is used by one thread only, so the unlocked forms are safe.
#ifndef KIV_CONTAINER_STREAM_BYTES_H
#define KIV_CONTAINER_STREAM_BYTES_H

#include <cstdio>

#if defined(_WIN32)
// The system msvcrt has no unlocked calls that Windows XP exports by name;
// mingw's header gives _getc_nolock/_putc_nolock as macros over the stream's
// own buffer where it can.
#if defined(_getc_nolock) && defined(_putc_nolock)
#define KIV_GETC(stream) _getc_nolock(stream)
#define KIV_PUTC(c, stream) _putc_nolock(c, stream)
#else
#define KIV_GETC(stream) getc(stream)
#define KIV_PUTC(c, stream) putc(c, stream)
#endif
#else
#define KIV_GETC(stream) getc_unlocked(stream)
#define KIV_PUTC(c, stream) putc_unlocked(c, stream)
#endif

#endif
