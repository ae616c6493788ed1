/*
 * vxkinem: command-line host of the Veltrix state-vector library, built only
 * on the public C headers, as any user's program would be.
 */
#define _POSIX_C_SOURCE 200809L
#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

#include "veltrix/kernix.h"
#include "veltrix/kinem.h"

#define LINE_LEN 512
#define CARD_COLS 80
#define ARRAY_LEN 155

static const char* usage =
    "usage: vxkinem COMMAND ARGS      vxkinem help | --help | --version\n"
    "\n"
    "  check FILE                        report every 1P/2P card set of FILE that does\n"
    "                                    not parse or validate, with the library's message\n"
    "  convert --to cards|array IN OUT   write the card sets of IN as the library writes\n"
    "                                    cards, or as one line of array values each\n"
    "  load FILE...                      load the files, print the totals, count and time\n"
    "  show FILE SATNUM                  load FILE, print the vectors of SATNUM as cards\n"
    "                                    and as fields\n"
    "  save IN OUT [--append]            load IN and save every vector to OUT as cards\n"
    "\n"
    "FILE is a state-vector input file: 1P/2P card sets, maneuver cards (MNVR...),\n"
    "comments starting with '*', file cards (VECFIL=name) and the outside system's\n"
    "vector and control files (load, show and save only).\n"
    "Array lines hold elements 1-8 (satNum, epoch in days since 1950, epochRev,\n"
    "elsetNum, bTerm, agom, thrustAcc, coordinate code) and 21-26 (position km,\n"
    "velocity m/s), then the classification and the designator, comma separated.\n"
    "\n"
    "Exit status: 0 success; 1 usage; 2 card sets that do not read, a file that\n"
    "cannot be read or written, vectors not saved, or no such satellite.\n";

/* A usage error: 1. stdout is flushed first so the two streams keep their
 * order. */
static int fail(const char* what, const char* detail) {
  fflush(stdout);
  fprintf(stderr, "vxkinem: %s%s%s\n", what, detail ? ": " : "", detail ? detail : "");
  return 1;
}

/* Copies s into a library text buffer of len, blank padded. */
static void toText(char* out, size_t len, const char* s) {
  size_t n = strlen(s);
  if (n > len) n = len;
  memcpy(out, s, n);
  memset(out + n, ' ', len - n);
}

/* A library text of len characters as a C string without trailing blanks;
 * out has room for len + 1. */
static const char* cText(char* out, const char* text, size_t len) {
  while (len > 0 && text[len - 1] == ' ') --len;
  memcpy(out, text, len);
  out[len] = '\0';
  return out;
}

static void printText(FILE* f, const char* text, size_t len) {
  char buf[LINE_LEN + 1];
  fprintf(f, "%s\n", cText(buf, text, len > LINE_LEN ? LINE_LEN : len));
}

static void lastError(char* msg) {
  char m[128];
  KernixGetLastErrMsg(m);
  cText(msg, m, 128);
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

static int isBlank(const char* s) {
  for (; *s; ++s)
    if (*s != ' ' && *s != '\t') return 0;
  return 1;
}

static int upper(int c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

/* Whether columns first.. of s (1-based) read mark, in any case. */
static int hasMark(const char* s, size_t first, const char* mark) {
  size_t len = strlen(s), i;
  if (len < first - 1 + strlen(mark)) return 0;
  for (i = 0; mark[i]; ++i)
    if (upper((unsigned char)s[first - 1 + i]) != mark[i]) return 0;
  return 1;
}

static int is1P(const char* s) { return hasMark(s, 78, "B1P"); }
static int is2P(const char* s) { return !is1P(s) && hasMark(s, 79, "2P"); }

/* Walks the card sets of a file as the library pairs them: a 1P card waits
 * for its 2P card across comments, empty lines and maneuver cards.
 * fn(lineNo, card1p, card2p, user); a 1P card without its 2P card comes
 * with card2p NULL, a 2P card without a 1P card with card1p NULL. */
typedef void (*SetFn)(long lineNo, const char* l1, const char* l2, void* user);

static int walkFile(const char* path, SetFn fn, void* user) {
  char cur[2048], pending[2048];
  long lineNo = 0, pendingAt = 0;
  int waiting = 0;
  struct stat st;
  FILE* f = fopen(path, "rb");
  int err = !f ? errno : fstat(fileno(f), &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
  if (err != 0) {
    if (f) fclose(f);
    fflush(stdout);
    fprintf(stderr, "vxkinem: cannot read %s: %s\n", path, strerror(err));
    return -1;
  }
  while (readLine(f, cur, sizeof cur)) {
    ++lineNo;
    if (cur[0] == '*' || isBlank(cur) || strncmp(cur, "MNVR", 4) == 0) continue;
    if (is1P(cur)) {
      if (waiting) fn(pendingAt, pending, NULL, user);
      memcpy(pending, cur, sizeof cur);
      pendingAt = lineNo;
      waiting = 1;
    } else if (is2P(cur)) {
      if (waiting)
        fn(pendingAt, pending, cur, user);
      else
        fn(lineNo, NULL, cur, user);
      waiting = 0;
    } else if (waiting) {
      fn(pendingAt, pending, NULL, user);
      waiting = 0;
    }
  }
  if (waiting) fn(pendingAt, pending, NULL, user);
  fclose(f);
  return 0;
}

/* The twelve fields of a vector, in the library's argument order. */
struct Fields {
  double pos[3], vel[3];
  char secClass;
  int32_t satNum;
  char intlDes[8], epoch[17];
  int32_t rev, elset;
  double bTerm, agom, thrust;
  char coord[5];
};

/* Parses one card set into v; 0, or 2 with the reason in why (room for
 * 129). */
static int32_t parseSet(const char* l1, const char* l2, struct Fields* v, char* why) {
  char a[LINE_LEN], b[LINE_LEN];
  int32_t status;
  why[0] = '\0';
  if (!l1 || !l2) {
    strcpy(why, l1 ? "1P card without its 2P card" : "2P card without its 1P card");
    return 2;
  }
  toText(a, LINE_LEN, l1);
  toText(b, LINE_LEN, l2);
  status = KinemParse(a, b, v->pos, v->vel, &v->secClass, &v->satNum, v->intlDes, v->epoch, &v->rev, &v->elset,
                      &v->bTerm, &v->agom, &v->thrust, v->coord);
  if (status != 0) lastError(why);
  return status;
}

struct CheckTally {
  long good, bad;
};

static void checkOne(long lineNo, const char* l1, const char* l2, void* user) {
  struct CheckTally* t = (struct CheckTally*)user;
  char why[129];
  struct Fields v;
  if (parseSet(l1, l2, &v, why) == 0) {
    ++t->good;
    return;
  }
  ++t->bad;
  printf("line %ld: %s\n  %s\n", lineNo, l1 ? l1 : l2, why[0] ? why : "not a card set");
}

static int cmdCheck(const char* path) {
  struct CheckTally t = {0, 0};
  if (walkFile(path, checkOne, &t) != 0) return 2;
  printf("%ld card sets checked: %ld good, %ld bad\n", t.good + t.bad, t.good, t.bad);
  return t.bad == 0 ? 0 : 2;
}

struct Convert {
  FILE* out;
  int toArray;
  long written, failed;
};

static void convertOne(long lineNo, const char* l1, const char* l2, void* user) {
  struct Convert* c = (struct Convert*)user;
  char a[LINE_LEN], b[LINE_LEN], why[129], buf[LINE_LEN + 1];
  struct Fields v;
  int32_t status = parseSet(l1, l2, &v, why);
  if (status == 0 && c->toArray) {
    static const int elements[] = {1, 2, 3, 4, 5, 6, 7, 8, 21, 22, 23, 24, 25, 26};
    double arr[ARRAY_LEN];
    size_t i;
    toText(a, LINE_LEN, l1);
    toText(b, LINE_LEN, l2);
    status = KinemLinesToArray(a, b, arr, buf);
    if (status == 0) {
      for (i = 0; i < sizeof elements / sizeof elements[0]; ++i) fprintf(c->out, "%.17g,", arr[elements[i] - 1]);
      fprintf(c->out, "%c,%s\n", buf[0], cText(a, buf + 1, 8));
    } else {
      lastError(why);
    }
  } else if (status == 0) {
    /* From the fields: the cards as the library writes them. */
    KinemFieldsToLines(v.pos, v.vel, v.secClass, v.satNum, v.intlDes, v.epoch, v.rev, v.elset, v.bTerm, v.agom,
                       v.thrust, v.coord, a, b);
    if (isBlank(cText(buf, a, CARD_COLS))) {
      status = 2;
      lastError(why);
    } else {
      printText(c->out, a, CARD_COLS);
      printText(c->out, b, CARD_COLS);
    }
  }
  if (status == 0) {
    ++c->written;
  } else {
    ++c->failed;
    fprintf(stderr, "line %ld skipped: %s\n", lineNo, why[0] ? why : "not a card set");
  }
}

static int cmdConvert(int argc, char** argv) {
  struct Convert c = {NULL, 0, 0, 0};
  int rc;
  if (argc != 6 || strcmp(argv[2], "--to") != 0) return fail("convert needs --to cards|array IN OUT", NULL);
  if (strcmp(argv[3], "array") == 0)
    c.toArray = 1;
  else if (strcmp(argv[3], "cards") != 0)
    return fail("unknown target form (cards or array)", argv[3]);
  c.out = fopen(argv[5], "wb");
  if (!c.out) return fail("cannot write file", argv[5]) + 1;
  rc = walkFile(argv[4], convertOne, &c);
  if (fclose(c.out) != 0) return fail("cannot write file", argv[5]) + 1;
  if (rc != 0) return 2;
  printf("%ld vectors written to %s, %ld skipped\n", c.written, argv[5], c.failed);
  return c.failed == 0 ? 0 : 2;
}

static double now(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

/* Loads one file and prints its totals line; 0 on success. */
static int loadOne(const char* path) {
  char name[LINE_LEN], info[128], text[129], msg[129];
  int32_t rc;
  toText(name, LINE_LEN, path);
  rc = KinemLoadFile(name);
  if (rc != 0) {
    lastError(msg);
    fflush(stdout);
    fprintf(stderr, "vxkinem: cannot load %s (code %d)%s%s\n", path, (int)rc, msg[0] ? ": " : "", msg);
    return 2;
  }
  KernixGetLastInfoMsg(info);
  printf("%s: %s\n", path, cText(text, info, 128));
  return 0;
}

static int cmdLoad(int argc, char** argv) {
  int i, failed = 0;
  double t0, t1;
  if (argc < 3) return fail("load needs at least one FILE", NULL);
  t0 = now();
  for (i = 2; i < argc; ++i)
    if (loadOne(argv[i]) != 0) failed = 2;
  t1 = now();
  printf("%d vectors loaded in %.3f s\n", (int)KinemGetCount(), t1 - t0);
  return failed;
}

static int cmdShow(int argc, char** argv) {
  static const char* labels[] = {"position X (km)", "position Y (km)",  "position Z (km)",   "velocity X (m/s)",
                                 "velocity Y (m/s)", "velocity Z (m/s)", "classification",    NULL,
                                 "satellite number", "designator",       "epoch",             "revolution number",
                                 "element set number", "bTerm (m2/kg)",  "agom (m2/kg)",      "thrust (km/s2)",
                                 "coordinate system"};
  char* end = NULL;
  long satNum;
  int32_t count, i, shown = 0;
  int64_t* keys;
  if (argc != 4) return fail("show needs FILE SATNUM", NULL);
  satNum = strtol(argv[3], &end, 10);
  if (!end || *end != '\0' || end == argv[3] || satNum < 0 || satNum > 999999999)
    return fail("not a satellite number", argv[3]);
  if (loadOne(argv[2]) != 0) return 2;
  count = KinemGetCount();
  keys = (int64_t*)calloc((size_t)count + 1, sizeof *keys);
  if (!keys) return fail("out of memory", NULL) + 1;
  count = KinemGetLoadedN(0, count, keys, NULL);
  for (i = 0; i < count; ++i) {
    char v[LINE_LEN], l1[LINE_LEN], l2[LINE_LEN], buf[LINE_LEN + 1];
    int32_t f;
    KinemGetField(keys[i], 9, v);
    if (strtol(cText(buf, v, LINE_LEN), NULL, 10) != satNum) continue;
    ++shown;
    printf("satKey %lld\n", (long long)keys[i]);
    if (KinemGetLines(keys[i], l1, l2) == 0) {
      printText(stdout, l1, CARD_COLS);
      printText(stdout, l2, CARD_COLS);
    }
    for (f = 1; f <= 17; ++f) {
      if (!labels[f - 1]) continue;
      KinemGetField(keys[i], f, v);
      printf("  %-20s %s\n", labels[f - 1], cText(buf, v, LINE_LEN));
    }
  }
  free(keys);
  if (shown == 0) {
    fprintf(stderr, "vxkinem: satellite %ld is not in %s\n", satNum, argv[2]);
    return 2;
  }
  return 0;
}

static int cmdSave(int argc, char** argv) {
  char name[LINE_LEN], msg[129];
  int32_t mode = 0, rc;
  if (argc == 5 && strcmp(argv[4], "--append") == 0)
    mode = 1;
  else if (argc != 4)
    return fail("save needs IN OUT [--append]", NULL);
  if (loadOne(argv[2]) != 0) return 2;
  toText(name, LINE_LEN, argv[3]);
  rc = KinemSaveFile(name, mode);
  if (rc != 0) {
    lastError(msg);
    fflush(stdout);
    fprintf(stderr, "vxkinem: cannot save %s (code %d)%s%s\n", argv[3], (int)rc, msg[0] ? ": " : "", msg);
    return 2;
  }
  printf("%d vectors saved to %s\n", (int)KinemGetCount(), argv[3]);
  return 0;
}

int main(int argc, char** argv) {
  int i;
  if (argc < 2) {
    fputs(usage, stderr);
    return 1;
  }
  /* help, and --help anywhere on the line, print the usage. */
  for (i = 1; i < argc; ++i)
    if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0 || (i == 1 && strcmp(argv[i], "help") == 0)) {
      fputs(usage, stdout);
      return 0;
    }
  if (strcmp(argv[1], "--version") == 0) {
    char info[128], text[129];
    KinemGetInfo(info);
    printf("vxkinem: %s\n", cText(text, info, 128));
    return 0;
  }
  if (strcmp(argv[1], "check") == 0) {
    if (argc != 3) return fail("check needs one FILE", NULL);
    return cmdCheck(argv[2]);
  }
  if (strcmp(argv[1], "convert") == 0) return cmdConvert(argc, argv);
  if (strcmp(argv[1], "load") == 0) return cmdLoad(argc, argv);
  if (strcmp(argv[1], "show") == 0) return cmdShow(argc, argv);
  if (strcmp(argv[1], "save") == 0) return cmdSave(argc, argv);
  fprintf(stderr, "vxkinem: unknown command '%s'\n\n%s", argv[1], usage);
  return 1;
}
