/*
 * vxtle: command-line host of the Veltrix TLE library, built only on the
 * public C headers, as any user's program would be.
 */
#define _POSIX_C_SOURCE 200809L
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "veltrix/kernix.h"
#include "veltrix/tle.h"

#define LINE_LEN 512

static const char* usage =
    "usage: vxtle COMMAND ARGS\n"
    "\n"
    "  check FILE                      report every element set of FILE that does not\n"
    "                                  parse or validate, with the library's message\n"
    "  convert --to csv|lines IN OUT   convert IN between line pairs and CSV lines\n"
    "  load FILE...                    load the files, print the totals, count and time\n"
    "  show FILE SATNUM                load FILE, print the element sets of SATNUM as\n"
    "                                  lines and as fields\n"
    "  save IN OUT --csv|--lines       load IN and save everything to OUT\n"
    "\n"
    "FILE is a TLE input file: line pairs (optionally with name lines), CSV lines,\n"
    "comments starting with '*'.\n";

static int fail(const char* what, const char* detail) {
  fprintf(stderr, "vxtle: %s%s%s\n", what, detail ? ": " : "", detail ? detail : "");
  return 1;
}

/* Copies s into a library text buffer of LINE_LEN, blank padded. */
static void toText(char* out, const char* s) {
  size_t n = strlen(s);
  if (n > LINE_LEN) n = LINE_LEN;
  memcpy(out, s, n);
  memset(out + n, ' ', LINE_LEN - n);
}

/* Prints a library text of len characters without its trailing blanks. */
static void printText(FILE* f, const char* text, size_t len) {
  while (len > 0 && text[len - 1] == ' ') --len;
  fwrite(text, 1, len, f);
  fputc('\n', f);
}

static void lastError(char* msg) {
  size_t n = 128;
  KernixGetLastErrMsg(msg);
  while (n > 0 && msg[n - 1] == ' ') --n;
  msg[n] = '\0';
}

/* Reads one line without its end (CR LF or LF); 0 at the end of the file. */
static int readLine(FILE* f, char* buf, size_t cap) {
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

static int isCsv(const char* s) {
  int commas = 0;
  for (; *s; ++s) commas += *s == ',';
  return commas == 25;
}

static int isBlank(const char* s) {
  for (; *s; ++s)
    if (*s != ' ' && *s != '\t') return 0;
  return 1;
}

/* Writes two lines with their checksums in column 69. */
static void writePair(FILE* out, const char* l1, const char* l2) {
  char a[LINE_LEN + 1], b[LINE_LEN + 1];
  int32_t s1 = 0, s2 = 0, err = 0;
  memcpy(a, l1, LINE_LEN);
  memcpy(b, l2, LINE_LEN);
  GetCheckSums(a, b, &s1, &s2, &err);
  if (err == 0) {
    a[68] = (char)('0' + s1);
    b[68] = (char)('0' + s2);
  }
  printText(out, a, 80);
  printText(out, b, 80);
}

/* Walks the element sets of a file: fn(lineNo, line1, line2 or NULL for a
 * CSV line, user). A line 1 without a line 2 is passed with an empty line 2. */
typedef int (*ElsetFn)(long lineNo, const char* l1, const char* l2, void* user);

static int walkFile(const char* path, ElsetFn fn, void* user) {
  char cur[2048], next[2048];
  long lineNo = 0;
  int pending = 0;
  FILE* f = fopen(path, "rb");
  if (!f) return fail("cannot read file", path), -1;
  while (pending || readLine(f, cur, sizeof cur)) {
    long at;
    if (pending) {
      memcpy(cur, next, sizeof cur);
      pending = 0;
    }
    at = ++lineNo;
    if (cur[0] == '*' || isBlank(cur)) continue;
    if (cur[0] == '1' && cur[1] == ' ') {
      if (readLine(f, next, sizeof next)) {
        ++lineNo;
        if (next[0] == '2' && next[1] == ' ') {
          fn(at, cur, next, user);
        } else {
          fn(at, cur, "", user);
          pending = 1;
          --lineNo;
        }
      } else {
        fn(at, cur, "", user);
      }
    } else if (isCsv(cur)) {
      fn(at, cur, NULL, user);
    }
  }
  fclose(f);
  return 0;
}

struct CheckTally {
  long good, bad;
};

static int checkOne(long lineNo, const char* l1, const char* l2, void* user) {
  struct CheckTally* t = (struct CheckTally*)user;
  char a[LINE_LEN], b[LINE_LEN], out1[LINE_LEN], out2[LINE_LEN], msg[129];
  int32_t status;
  toText(a, l1);
  toText(b, l2 ? l2 : "");
  status = l2 ? TleLinesToCsv(a, b, out1) : TleCsvToLines(a, 0, out1, out2);
  if (status == 0) {
    ++t->good;
    return 0;
  }
  ++t->bad;
  lastError(msg);
  printf("line %ld: %s\n  %s\n", lineNo, l1, msg[0] ? msg : "not an element set");
  return 0;
}

static int cmdCheck(const char* path) {
  struct CheckTally t = {0, 0};
  if (walkFile(path, checkOne, &t) != 0) return 1;
  printf("%ld element sets checked: %ld good, %ld bad\n", t.good + t.bad, t.good, t.bad);
  return t.bad == 0 ? 0 : 2;
}

struct Convert {
  FILE* out;
  int toCsv;
  long written, failed;
};

static int convertOne(long lineNo, const char* l1, const char* l2, void* user) {
  struct Convert* c = (struct Convert*)user;
  char a[LINE_LEN], b[LINE_LEN], o1[LINE_LEN], o2[LINE_LEN], msg[129];
  int32_t status;
  toText(a, l1);
  toText(b, l2 ? l2 : "");
  if (c->toCsv) {
    status = TleLinesToCsv(a, b, o1);
    if (status == 0) printText(c->out, o1, LINE_LEN);
  } else {
    status = TleCsvToLines(a, 0, o1, o2);
    if (status == 1 && l2) { /* already line pairs: rewrite them */
      status = TleLinesToCsv(a, b, o1);
      if (status == 0) status = TleCsvToLines(o1, 0, o1, o2);
    }
    if (status == 0) writePair(c->out, o1, o2);
  }
  if (status == 0) {
    ++c->written;
  } else {
    ++c->failed;
    lastError(msg);
    fprintf(stderr, "line %ld skipped: %s\n", lineNo, msg);
  }
  return 0;
}

static int cmdConvert(int argc, char** argv) {
  struct Convert c = {NULL, 0, 0, 0};
  int rc;
  if (argc != 6 || strcmp(argv[2], "--to") != 0) return fail("convert needs --to csv|lines IN OUT", NULL);
  if (strcmp(argv[3], "csv") == 0)
    c.toCsv = 1;
  else if (strcmp(argv[3], "lines") != 0)
    return fail("unknown target form (csv or lines)", argv[3]);
  c.out = fopen(argv[5], "wb");
  if (!c.out) return fail("cannot write file", argv[5]);
  rc = walkFile(argv[4], convertOne, &c);
  if (fclose(c.out) != 0) return fail("cannot write file", argv[5]);
  if (rc != 0) return 1;
  printf("%ld element sets written to %s, %ld skipped\n", c.written, argv[5], c.failed);
  return c.failed == 0 ? 0 : 2;
}

static double now(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

/* Loads one file and prints its totals line; 0 on success. */
static int loadOne(const char* path) {
  char name[LINE_LEN], info[129], msg[129];
  size_t n = 128;
  int32_t rc;
  toText(name, path);
  rc = TleLoadFile(name);
  if (rc != 0) {
    lastError(msg);
    fprintf(stderr, "vxtle: cannot load %s (code %d)%s%s\n", path, (int)rc, msg[0] ? ": " : "", msg);
    return 1;
  }
  KernixGetLastInfoMsg(info);
  while (n > 0 && info[n - 1] == ' ') --n;
  info[n] = '\0';
  printf("%s: %s\n", path, info);
  return 0;
}

static int cmdLoad(int argc, char** argv) {
  int i, failed = 0;
  double t0, t1;
  if (argc < 3) return fail("load needs at least one FILE", NULL);
  t0 = now();
  for (i = 2; i < argc; ++i) failed |= loadOne(argv[i]);
  t1 = now();
  printf("%d element sets loaded in %.3f s\n", (int)TleGetCount(), t1 - t0);
  return failed;
}

static void printField(int64_t key, int32_t idx, const char* label) {
  char v[LINE_LEN];
  TleGetField(key, idx, v);
  printf("  %-22s ", label);
  printText(stdout, v, LINE_LEN);
}

static int cmdShow(int argc, char** argv) {
  static const char* labels[] = {"satellite number", "classification", "name", "epoch",
                                 "drag term", "ephemeris type", "element set number", "inclination",
                                 "right ascension", "eccentricity", "argument of perigee", "mean anomaly",
                                 "mean motion", "revolution number", "first derivative", "second derivative"};
  char* end = NULL;
  long satNum;
  int32_t count, i, shown = 0;
  int64_t* keys;
  if (argc != 4) return fail("show needs FILE SATNUM", NULL);
  satNum = strtol(argv[3], &end, 10);
  if (!end || *end != '\0' || satNum < 0 || satNum > 999999999) return fail("not a satellite number", argv[3]);
  if (loadOne(argv[2]) != 0) return 1;
  count = TleGetCount();
  keys = (int64_t*)calloc((size_t)count + 1, sizeof *keys);
  if (!keys) return fail("out of memory", NULL);
  TleGetLoaded(0, keys);
  for (i = 0; i < count; ++i) {
    char v[LINE_LEN], l1[LINE_LEN], l2[LINE_LEN];
    int32_t f;
    TleGetField(keys[i], 1, v);
    if (strtol(v, NULL, 10) != satNum) continue;
    ++shown;
    printf("satKey %lld\n", (long long)keys[i]);
    if (TleGetLines(keys[i], l1, l2) == 0) writePair(stdout, l1, l2);
    for (f = 1; f <= 16; ++f) printField(keys[i], f, labels[f - 1]);
  }
  free(keys);
  if (shown == 0) {
    fprintf(stderr, "vxtle: satellite %ld is not in %s\n", satNum, argv[2]);
    return 2;
  }
  return 0;
}

static int cmdSave(int argc, char** argv) {
  char name[LINE_LEN], msg[129];
  int32_t form, rc;
  if (argc != 5) return fail("save needs IN OUT --csv|--lines", NULL);
  if (strcmp(argv[4], "--csv") == 0)
    form = 1;
  else if (strcmp(argv[4], "--lines") == 0)
    form = 0;
  else
    return fail("unknown save form (--csv or --lines)", argv[4]);
  if (loadOne(argv[2]) != 0) return 1;
  toText(name, argv[3]);
  rc = TleSaveFile(name, 0, form);
  if (rc != 0) {
    lastError(msg);
    fprintf(stderr, "vxtle: cannot save %s (code %d)\n", argv[3], (int)rc);
    return 1;
  }
  printf("%d element sets saved to %s\n", (int)TleGetCount(), argv[3]);
  return 0;
}

int main(int argc, char** argv) {
  if (argc < 2 || strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0) {
    fputs(usage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 1 : 0;
  }
  if (strcmp(argv[1], "check") == 0) {
    if (argc != 3) return fail("check needs one FILE", NULL);
    return cmdCheck(argv[2]);
  }
  if (strcmp(argv[1], "convert") == 0) return cmdConvert(argc, argv);
  if (strcmp(argv[1], "load") == 0) return cmdLoad(argc, argv);
  if (strcmp(argv[1], "show") == 0) return cmdShow(argc, argv);
  if (strcmp(argv[1], "save") == 0) return cmdSave(argc, argv);
  fprintf(stderr, "vxtle: unknown command '%s'\n\n%s", argv[1], usage);
  return 1;
}
