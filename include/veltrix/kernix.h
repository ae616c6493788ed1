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
 *  5. Status results: VX_OK (0) success, VX_FAIL (2) failure or not found;
 *     VX_WRONG_KIND (1) where a function says so. A failure writes one line
 *     to the trace log, which a host sees through a log file, a callback, or
 *     the per-thread last message.
 *  6. satKey results of an add: positive the new key, VX_KEY_DUP (0) a
 *     duplicate reported under duplicate mode VX_DUP_REPORT, VX_KEY_FAIL
 *     (-1) a failure.
 *  7. A load or save that cannot open its file returns the code of the
 *     open: the system's error number (ENOENT, 2 on Linux, for a file or
 *     directory that does not exist, EACCES 13 for permission denied, ...)
 *     or one of the VX_FILE_ codes below. Since ENOENT equals VX_FAIL, a
 *     host that must tell the two apart asks KernixGetLastOpenErr.
 *  8. Every function may be called from any thread.
 * The named codes and modes follow; every value is fixed.
 */
#ifndef VELTRIX_KERNIX_H
#define VELTRIX_KERNIX_H

#include <stdint.h>

#include "export.h"

/* Status results (int32_t). */
#define VX_OK 0         /* success */
#define VX_WRONG_KIND 1 /* input of the wrong kind: TleCsvToLines given no CSV
                           line, TleLinesToCsv a line 1 of neither kind */
#define VX_FAIL 2       /* failure or not found; the reason is in the trace log */

/* satKey results of an add (int64_t) besides a positive new key. */
#define VX_KEY_DUP 0     /* a duplicate, reported under duplicate mode VX_DUP_REPORT */
#define VX_KEY_FAIL (-1) /* nothing stored; the reason is in the trace log */

/* Codes of a file open besides the system's error numbers. */
#define VX_FILE_BAD_UNIT 9001  /* the unit is not one of 0-99 */
#define VX_FILE_NO_NAME 9002   /* no file name given */
#define VX_FILE_BAD_MODE 9003  /* the open mode is not 0, 1 or 2 */
#define VX_FILE_DIRECTORY 9004 /* the name is a directory */
#define VX_FILE_DEVICE 9005    /* a character device (/dev/zero) named to be read */
#define VX_FILE_UNIT_OPEN 9006 /* the unit is in use on this thread (a load or
                                  save called from a log callback) */

/* Key modes (KernixSetElsetKeyMode, KernixSetAllKeyMode). */
#define VX_KEY_MODE_TREE 0 /* keys made from the fields, the default */
#define VX_KEY_MODE_DMA 1  /* ten times the address of the record's holder */

/* Duplicate modes (KernixSetDupKeyMode). */
#define VX_DUP_REPORT 0 /* a duplicate add is logged and yields VX_KEY_DUP, the default */
#define VX_DUP_SILENT 1 /* (or any other nonzero) the existing key is returned silently */

/* Orders of TleGetLoaded and KinemGetLoaded (and their N variants). */
#define VX_ORDER_SATNUM 0      /* by satellite number, (ephemeris type,) epoch */
#define VX_ORDER_SATNUM_DESC 1 /* the reverse */
#define VX_ORDER_LOAD 2        /* load order */
#define VX_ORDER_KEY 3         /* (or any other value) ascending satKey */

/* Save modes of TleSaveFile, KinemSaveFile and EnvSaveFile. */
#define VX_SAVE_CREATE 0 /* create or replace the file */
#define VX_SAVE_APPEND 1 /* (or any other nonzero) append to it */

/* Save forms of TleSaveFile. */
#define VX_SAVE_LINES 0 /* line pairs */
#define VX_SAVE_CSV 1   /* (or any other nonzero) CSV lines */

#ifdef __cplusplus
extern "C" {
#endif

/* Receives every error (isError 1) and information (isError 0) line. */
typedef void (*KernixLogFn)(int32_t isError, const char* text, int32_t length, void* user);

/* Returns VX_OK; nothing needs initialising. */
VX_API int32_t KernixInit(void);

/* Identification text of the library, blank padded to 128. */
VX_API void KernixGetInfo(char info[128]);

/* Opens (appends to) the trace log file; VX_OK, VX_FAIL for no name, or
 * the system's error number. */
VX_API int32_t KernixOpenLogFile(const char fileName[512]);

/* Closes the trace log file; VX_OK. */
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
 *    called while its thread is in a TleLoadFile returns VX_FAIL, and a
 *    load or save that needs a file unit its thread holds open (EnvLoadFile
 *    during TleLoadFile, a save while TleSaveFile names the sets it could
 *    not write) returns VX_FILE_UNIT_OPEN; each with an error line, never
 *    waiting;
 *  - lines written by the calls fn makes reach fn again, on the same thread,
 *    before those calls return: fn must keep itself from recursing without
 *    end. */
VX_API void KernixSetLogCallback(KernixLogFn fn, void* user);

/* Element-set key mode: VX_KEY_MODE_TREE (default) or VX_KEY_MODE_DMA. */
VX_API void KernixSetElsetKeyMode(int32_t mode);
VX_API int32_t KernixGetElsetKeyMode(void);

/* All-libraries key mode; setting it also puts it in force. */
VX_API void KernixSetAllKeyMode(int32_t mode);
VX_API int32_t KernixGetAllKeyMode(void);

/* Puts the element-set key mode in force again. */
VX_API void KernixResetAllKeyMode(void);

/* VX_DUP_REPORT (default): a duplicate add is reported and returns
 * VX_KEY_DUP; any other value: the existing key is returned silently. */
VX_API void KernixSetDupKeyMode(int32_t mode);
VX_API int32_t KernixGetDupKeyMode(void);

/* The code of the calling thread's latest file open that failed, by any
 * Veltrix library (the system's error number or a VX_FILE_ code), since
 * its last KernixClearLastOpenErr; 0 when none failed. A host clears it
 * before a load or save and reads it after a failed one: a status that
 * equals it came from the open, so ENOENT there means the file (or its
 * directory) does not exist, not a VX_FAIL of the same value. */
VX_API int32_t KernixGetLastOpenErr(void);
VX_API void KernixClearLastOpenErr(void);

#ifdef __cplusplus
}
#endif

#endif /* VELTRIX_KERNIX_H */
