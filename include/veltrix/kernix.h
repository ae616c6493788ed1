/*
 * kernix: base services of the Veltrix libraries, host-facing part.
 *
 * Conventions shared by every Veltrix header:
 *  1. Plain C calling convention; usable from C99 and C++.
 *  2. Integers are int32_t, satellite keys int64_t, reals double.
 *  3. A text argument is a char buffer of the length stated beside it
 *     (usually 512). Input texts end at their first NUL or at that length,
 *     whichever comes first.
 *  4. Output texts are written blank-padded to their full length with no
 *     terminating NUL: a C host passes a buffer one longer and sets the last
 *     byte itself.
 *  5. Status results: 0 success, 2 failure or not found (1 where a function
 *     says so). A failure writes one line to the trace log, which a host sees
 *     through a log file, a callback, or the per-thread last message.
 *  6. Every function may be called from any thread.
 */
#ifndef VELTRIX_KERNIX_H
#define VELTRIX_KERNIX_H

#include <stdint.h>

#if defined(_WIN32)
#define VX_API __declspec(dllexport)
#else
#define VX_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Receives every error (isError 1) and information (isError 0) line. */
typedef void (*KernixLogFn)(int32_t isError, const char* text, int32_t length, void* user);

/* Returns 0; nothing needs initialising. */
VX_API int32_t KernixInit(void);

/* Identification text of the library, blank padded to 128. */
VX_API void KernixGetInfo(char info[128]);

/* Opens (appends to) the trace log file; 0 or an error code. */
VX_API int32_t KernixOpenLogFile(const char fileName[512]);

/* Closes the trace log file; 0. */
VX_API int32_t KernixCloseLogFile(void);

/* First 128 characters of the last error / information line written by
 * the calling thread, blank padded (all blanks if none). */
VX_API void KernixGetLastErrMsg(char msg[128]);
VX_API void KernixGetLastInfoMsg(char msg[128]);

/* Every log line is also handed to fn; NULL removes the callback.
 * fn runs on the thread that writes the line, before the call that wrote it
 * returns (a line written while a library holds its store is handed over
 * once the hold is released). It may call any function of the Veltrix
 * libraries, KernixSetLogCallback and the log file functions included, with
 * two limits:
 *  - a thread reads one file and writes one file at a time: TleLoadFile
 *    called while its thread is in a TleLoadFile returns 2, and a load or
 *    save that needs a file unit its thread holds open (EnvLoadFile during
 *    TleLoadFile, a save while TleSaveFile names the sets it could not
 *    write) returns 9006; each with an error line, never waiting;
 *  - lines written by the calls fn makes reach fn again, on the same thread,
 *    before those calls return: fn must keep itself from recursing without
 *    end. */
VX_API void KernixSetLogCallback(KernixLogFn fn, void* user);

/* Element-set key mode: 0 tree keys (default), 1 DMA keys. */
VX_API void KernixSetElsetKeyMode(int32_t mode);
VX_API int32_t KernixGetElsetKeyMode(void);

/* All-libraries key mode; setting it also puts it in force. */
VX_API void KernixSetAllKeyMode(int32_t mode);
VX_API int32_t KernixGetAllKeyMode(void);

/* Puts the element-set key mode in force again. */
VX_API void KernixResetAllKeyMode(void);

/* 0 (default): a duplicate add is reported and returns 0; any other value:
 * the existing key is returned silently. */
VX_API void KernixSetDupKeyMode(int32_t mode);
VX_API int32_t KernixGetDupKeyMode(void);

#ifdef __cplusplus
}
#endif

#endif /* VELTRIX_KERNIX_H */
