/*
 * What the command-line hosts share: library texts to and from C strings,
 * the reason of a failed open, the check of everything written to stdout,
 * and a clock. Public headers only, as any user's program.
 */
#ifndef VXTOOL_H
#define VXTOOL_H

#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "veltrix/kernix.h"

/* Copies s into a library text buffer of len characters, blank padded. */
static inline void vxToText(char* out, size_t len, const char* s) {
  size_t n = strlen(s);
  if (n > len) n = len;
  memcpy(out, s, n);
  memset(out + n, ' ', len - n);
}

/* A library text of len characters as a C string without trailing blanks;
 * out has room for len + 1. */
static inline char* vxCText(char* out, const char* text, size_t len) {
  while (len > 0 && text[len - 1] == ' ') --len;
  memcpy(out, text, len);
  out[len] = '\0';
  return out;
}

/* The library's last error line as a C string (room for 129). */
static inline void vxLastError(char* msg) {
  char m[128];
  KernixGetLastErrMsg(m);
  vxCText(msg, m, sizeof m);
}

/* Why a load could not read its file, from the load's status rc (the
 * calling thread's open error having been cleared before the load): the
 * reason of the failed open, or the library's last error line (in buf,
 * room for 129) when the open went well and the read failed. */
static inline const char* vxLoadFailure(int32_t rc, char* buf) {
  if (KernixGetLastOpenErr() == rc) {
    switch (rc) {
      case VX_FILE_NO_NAME: return "No file name given";
      case VX_FILE_DIRECTORY: return strerror(EISDIR);
      case VX_FILE_DEVICE: return "Is a character device, not a file";
      case VX_FILE_UNIT_OPEN: return "The library's file unit is in use";
      default: return strerror(rc);
    }
  }
  vxLastError(buf);
  return buf[0] ? buf : "the library refused it";
}

/* Writes out stdout and closes it: 0, or 2 after saying why it failed
 * (tool names the program). */
static inline int vxFinishOutput(const char* tool) {
  int failed = ferror(stdout) != 0;
  int err = failed ? EIO : 0;
  errno = 0;
  if (fflush(stdout) != 0) {
    failed = 1;
    err = errno ? errno : EIO;
  }
  if (fclose(stdout) != 0 && !failed) {
    failed = 1;
    err = errno ? errno : EIO;
  }
  if (!failed) return 0;
  fprintf(stderr, "%s: cannot write the output: %s\n", tool, strerror(err));
  return 2;
}

/* Closes an output file written to: 0, or -1 with errno set (EIO for a
 * write that failed before). */
static inline int vxCloseOutput(FILE* f) {
  int failed = ferror(f) != 0;
  errno = 0;
  if (fclose(f) != 0) return errno ? -1 : (errno = EIO, -1);
  if (failed) {
    errno = EIO;
    return -1;
  }
  return 0;
}

/* Grows *arr (of element size elem) to hold one more than n; 0, or -1 out
 * of memory. */
static inline int vxGrow(void** arr, size_t* cap, size_t n, size_t elem) {
  void* p;
  size_t newCap;
  if (n < *cap) return 0;
  newCap = *cap ? *cap * 2 : 64;
  p = realloc(*arr, newCap * elem);
  if (!p) return -1;
  *arr = p;
  *cap = newCap;
  return 0;
}

/* Reads one line without its end (CR LF or LF) into buf, cut to cap - 1
 * characters; 0 at the end of the file. */
static inline int vxReadLine(FILE* f, char* buf, size_t cap) {
  size_t n;
  if (!fgets(buf, (int)cap, f)) return 0;
  n = strlen(buf);
  if (n > 0 && buf[n - 1] != '\n' && !feof(f)) {
    int c; /* longer than the buffer: drop the rest */
    while ((c = fgetc(f)) != EOF && c != '\n') {
    }
  }
  while (n > 0 && (buf[n - 1] == '\n' || buf[n - 1] == '\r')) buf[--n] = '\0';
  return 1;
}

/* The number of lines of path, as the libraries count them. */
static inline long vxCountLines(const char* path) {
  char buf[2048];
  long n = 0;
  FILE* f = fopen(path, "rb");
  if (!f) return 0;
  while (vxReadLine(f, buf, sizeof buf)) ++n;
  fclose(f);
  return n;
}

/* A copy of a report's message of len characters (no NUL), trailing blanks
 * removed; NULL out of memory. */
static inline char* vxCopyMsg(const char* msg, int32_t len) {
  char* copy = (char*)malloc((size_t)len + 1);
  if (copy) vxCText(copy, msg, (size_t)len);
  return copy;
}

static inline double vxNow(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

/* Writes s as a JSON string. Bytes outside ASCII are written as \u00XX, so
 * the output is valid JSON whatever the file held. */
static inline void vxJsonString(FILE* f, const char* s) {
  fputc('"', f);
  for (; *s; ++s) {
    unsigned char c = (unsigned char)*s;
    if (c == '"' || c == '\\')
      fprintf(f, "\\%c", c);
    else if (c < 0x20 || c >= 0x7f)
      fprintf(f, "\\u%04x", c);
    else
      fputc(c, f);
  }
  fputc('"', f);
}

#endif
