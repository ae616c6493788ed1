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

#include "veltrix/kernix.h"
#include "veltrix/kinem.h"
#include "vxtool.h"

#define LINE_LEN 512
#define CARD_COLS 80
#define ARRAY_LEN 155
/* The status of a card set in the load's report. */
#define KINEM_LOADED 0
#define KINEM_NOT_LOADED 2

static const char* usage =
    "usage: vxkinem COMMAND ARGS      vxkinem help | --help | --version\n"
    "\n"
    "  check FILE                        load FILE, report every 1P/2P card set the\n"
    "                                    library does not load, with its message\n"
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
    "check, load and convert print the same report for a file: one line per bad\n"
    "card set (FILE:LINE: the library's message) and the totals line.\n"
    "\n"
    "Exit status: 0 success; 1 usage; 2 card sets that do not read, no card set\n"
    "at all, a file that cannot be read or written, vectors not saved, or no such\n"
    "satellite.\n";

/* A usage error: 1. stdout is flushed first so the two streams keep their
 * order. */
static int fail(const char* what, const char* detail) {
  fflush(stdout);
  fprintf(stderr, "vxkinem: %s%s%s\n", what, detail ? ": " : "", detail ? detail : "");
  return 1;
}

#define cText vxCText
#define lastError vxLastError

static void printText(FILE* f, const char* text, size_t len) {
  char buf[LINE_LEN + 1];
  fprintf(f, "%s\n", cText(buf, text, len > LINE_LEN ? LINE_LEN : len));
}

/* ---- The reader ------------------------------------------------------------ */

struct BadCards {
  long line;
  char* msg;
};

/* What one load of a file did, as the library reported it. */
struct Loaded {
  long total, loaded, dup, bad; /* the library's totals line */
  struct BadCards* bads;
  size_t nBads, capBads;
  int64_t* keys; /* the vectors loaded from card sets, in file order */
  size_t nKeys, capKeys;
  long reported;
  int noMemory;
};

static void freeLoaded(struct Loaded* r) {
  size_t i;
  for (i = 0; i < r->nBads; ++i) free(r->bads[i].msg);
  free(r->bads);
  free(r->keys);
  memset(r, 0, sizeof *r);
}

/* The library's report of one card set it read. */
static void onCards(int32_t lineNum, int32_t lineNum2, int64_t satKey, int32_t status, const char* msg,
                    int32_t msgLen, void* user) {
  struct Loaded* r = (struct Loaded*)user;
  (void)lineNum2;
  ++r->reported;
  if (status == KINEM_LOADED) {
    if (vxGrow((void**)&r->keys, &r->capKeys, r->nKeys, sizeof *r->keys) != 0) r->noMemory = 1;
    else r->keys[r->nKeys++] = satKey;
  } else if (status == KINEM_NOT_LOADED) {
    char* copy = msgLen > 0 ? vxCopyMsg(msg, msgLen) : vxCopyMsg("not a card set", 14);
    if (!copy || vxGrow((void**)&r->bads, &r->capBads, r->nBads, sizeof *r->bads) != 0) {
      free(copy);
      r->noMemory = 1;
    } else {
      r->bads[r->nBads].line = lineNum;
      r->bads[r->nBads++].msg = copy;
    }
  }
}

/* Loads path into the library's store, told of every card set, and fills r
 * with the reports and the totals line. 0; 2 after saying why the file
 * could not be read or holds no card set. */
static int readFile(const char* path, struct Loaded* r) {
  char name[LINE_LEN], info[128], text[129], why[129];
  int32_t rc, before = KinemGetCount();
  memset(r, 0, sizeof *r);
  if (strlen(path) >= LINE_LEN) return fail("cannot read", path) + 1;
  vxToText(name, LINE_LEN, path);
  KernixClearLastOpenErr();
  rc = KinemLoadFileEach(name, onCards, r);
  if (rc == VX_OK && r->noMemory) rc = VX_FAIL;
  if (rc != VX_OK) {
    fflush(stdout);
    fprintf(stderr, "vxkinem: cannot read %s: %s\n", path, r->noMemory ? "out of memory" : vxLoadFailure(rc, why));
    return 2;
  }
  /* The totals count what the library counts, the vector of an outside
   * system's file too. */
  KernixGetLastInfoMsg(info);
  if (sscanf(cText(text, info, sizeof info), "Total Kinems = %ld, Loaded = %ld, Dup = %ld, Bad = %ld", &r->total,
             &r->loaded, &r->dup, &r->bad) != 4) {
    r->loaded = (long)r->nKeys;
    r->bad = (long)r->nBads;
    r->dup = r->reported - r->loaded - r->bad;
    r->total = r->reported;
  }
  if (r->total == 0 && KinemGetCount() == before) {
    long lines = vxCountLines(path);
    fflush(stdout);
    fprintf(stderr, "vxkinem: %s: no card set found (%ld lines read)\n", path, lines);
    return 2;
  }
  return 0;
}

/* One line per card set not loaded, then the totals line, on stdout. */
static void printReport(const char* path, const struct Loaded* r) {
  size_t i;
  for (i = 0; i < r->nBads; ++i) printf("%s:%ld: %s\n", path, r->bads[i].line, r->bads[i].msg);
  printf("%s: Total Kinems = %ld, Loaded = %ld, Dup = %ld, Bad = %ld\n", path, r->total, r->loaded, r->dup, r->bad);
}

/* ---- Subcommands ----------------------------------------------------------- */

static int cmdCheck(const char* path) {
  struct Loaded r;
  int rc = readFile(path, &r);
  if (rc == 0) {
    printReport(path, &r);
    rc = r.bad == 0 ? 0 : 2;
  }
  freeLoaded(&r);
  return rc;
}

/* Writes the vector key as its cards, or as one line of array values; 0,
 * or 2 with the library's reason in why. */
static int writeVector(FILE* out, int64_t key, int toArray, char* why) {
  static const int elements[] = {1, 2, 3, 4, 5, 6, 7, 8, 21, 22, 23, 24, 25, 26};
  char a[LINE_LEN], b[LINE_LEN], buf[LINE_LEN + 1];
  double arr[ARRAY_LEN];
  size_t i;
  why[0] = '\0';
  if (KinemGetLines(key, a, b) != VX_OK || (toArray && KinemLinesToArray(a, b, arr, buf) != VX_OK)) {
    lastError(why);
    return 2;
  }
  if (toArray) {
    for (i = 0; i < sizeof elements / sizeof elements[0]; ++i) fprintf(out, "%.17g,", arr[elements[i] - 1]);
    fprintf(out, "%c,%s\n", buf[0], cText(a, buf + 1, 8));
  } else {
    printText(out, a, CARD_COLS);
    printText(out, b, CARD_COLS);
  }
  return 0;
}

static int cmdConvert(int argc, char** argv) {
  struct Loaded r;
  char why[129];
  FILE* out;
  int toArray = 0, rc;
  size_t i;
  long written = 0;
  if (argc != 6 || strcmp(argv[2], "--to") != 0) return fail("convert needs --to cards|array IN OUT", NULL);
  if (strcmp(argv[3], "array") == 0)
    toArray = 1;
  else if (strcmp(argv[3], "cards") != 0)
    return fail("unknown target form (cards or array)", argv[3]);
  rc = readFile(argv[4], &r);
  if (rc != 0) {
    freeLoaded(&r);
    return rc;
  }
  rc = r.bad == 0 ? 0 : 2;
  out = fopen(argv[5], "wb");
  if (!out) {
    fail("cannot write file", argv[5]);
    freeLoaded(&r);
    return 2;
  }
  for (i = 0; i < r.nKeys; ++i) {
    if (writeVector(out, r.keys[i], toArray, why) == 0) {
      ++written;
    } else {
      fflush(stdout);
      fprintf(stderr, "vxkinem: vector %lld not written: %s\n", (long long)r.keys[i], why);
      rc = 2;
    }
  }
  if (vxCloseOutput(out) != 0) {
    fprintf(stderr, "vxkinem: cannot write %s: %s\n", argv[5], strerror(errno));
    rc = 2;
  }
  printReport(argv[4], &r);
  printf("%ld vectors written to %s\n", written, argv[5]);
  freeLoaded(&r);
  return rc;
}

/* Loads one file and prints its report; 0 when it read and holds no bad
 * card set (anyBad: bad sets make it 2). */
static int loadOne(const char* path, int anyBad) {
  struct Loaded r;
  int rc = readFile(path, &r);
  if (rc == 0) {
    printReport(path, &r);
    if (anyBad && r.bad != 0) rc = 2;
  }
  freeLoaded(&r);
  return rc;
}

static int cmdLoad(int argc, char** argv) {
  int i, failed = 0;
  double t0, t1;
  if (argc < 3) return fail("load needs at least one FILE", NULL);
  t0 = vxNow();
  for (i = 2; i < argc; ++i)
    if (loadOne(argv[i], 1) != 0) failed = 2;
  t1 = vxNow();
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
  if (loadOne(argv[2], 0) != 0) return 2;
  count = KinemGetCount();
  keys = (int64_t*)calloc((size_t)count + 1, sizeof *keys);
  if (!keys) return fail("out of memory", NULL) + 1;
  count = KinemGetLoadedN(VX_ORDER_SATNUM, count, keys, NULL);
  for (i = 0; i < count; ++i) {
    char v[LINE_LEN], l1[LINE_LEN], l2[LINE_LEN], buf[LINE_LEN + 1];
    int32_t f;
    KinemGetField(keys[i], 9, v);
    if (strtol(cText(buf, v, LINE_LEN), NULL, 10) != satNum) continue;
    ++shown;
    printf("satKey %lld\n", (long long)keys[i]);
    if (KinemGetLines(keys[i], l1, l2) == VX_OK) {
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
  int32_t mode = VX_SAVE_CREATE, rc;
  if (argc == 5 && strcmp(argv[4], "--append") == 0)
    mode = VX_SAVE_APPEND;
  else if (argc != 4)
    return fail("save needs IN OUT [--append]", NULL);
  if (loadOne(argv[2], 0) != 0) return 2;
  vxToText(name, LINE_LEN, argv[3]);
  rc = KinemSaveFile(name, mode);
  if (rc != VX_OK) {
    lastError(msg);
    fflush(stdout);
    fprintf(stderr, "vxkinem: cannot save %s (code %d)%s%s\n", argv[3], (int)rc, msg[0] ? ": " : "", msg);
    return 2;
  }
  printf("%d vectors saved to %s\n", (int)KinemGetCount(), argv[3]);
  return 0;
}

static int run(int argc, char** argv) {
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

/* Everything written to stdout is checked once the command is done. */
int main(int argc, char** argv) {
  int rc = run(argc, argv);
  return vxFinishOutput("vxkinem") != 0 ? 2 : rc;
}
