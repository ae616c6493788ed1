/*
 * vxtle: command-line host of the Veltrix TLE library, built only on the
 * public C headers, as any user's program would be.
 *
 * Every subcommand loads its input file through one reader (readFile): the
 * library's loader, which reports every element set it reads, so the lines
 * pair as the library pairs them and load, check and convert report the
 * same totals, the same bad sets and the same exit status for the same file.
 */
#define _POSIX_C_SOURCE 200809L
#include <errno.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "veltrix/kernix.h"
#include "veltrix/tle.h"
#include "vxtool.h"
#include "vxtle_propagate.h"

#define LINE_LEN 512
#define READ_LEN 2048
#define MSG_LEN 128
#define PAIR_COLS 80
/* The status of a set in the load's report. */
#define TLE_LOADED 0
#define TLE_DUP 1
#define CHECKSUM_COL 69

/* Exit status. */
#define RC_OK 0
#define RC_USAGE 1
#define RC_BAD 2

static const char* usage =
    "usage: vxtle COMMAND ARGS        vxtle help | --help | --version\n"
    "\n"
    "  check FILE [--strict] [--json]  report every element set of FILE that the\n"
    "                                  library refuses, with its message, and every\n"
    "                                  wrong checksum (a warning; an error with\n"
    "                                  --strict)\n"
    "  convert --to FORM IN OUT [--no-checksums]\n"
    "                                  write the element sets of IN to OUT in FORM:\n"
    "                                  csv (CSV lines), lines (line pairs),\n"
    "                                  three-lines (a name line before each pair\n"
    "                                  of a named set), or OMM: omm-csv, omm-json,\n"
    "                                  omm-xml, omm-kvn\n"
    "  load FILE... [--json]           load the files, print the totals, count, time\n"
    "  show FILE SATNUM [--json]       load FILE, print the element sets of SATNUM as\n"
    "                                  lines and as fields\n"
    "  save IN OUT --csv|--lines [--no-checksums]\n"
    "                                  load IN and save everything to OUT\n"
    "  propagate FILE SATNUM --from T0 --to T1 --step MIN [--json]\n"
    "                                  load FILE, print the states (TEME position\n"
    "                                  km, velocity km/s, code) of the latest set\n"
    "                                  of SATNUM from T0 to T1 every MIN minutes;\n"
    "                                  T0, T1 minutes since its epoch or UTC dates\n"
    "                                  2026-07-14T00:00:00 (SGP4/SDP4, WGS-72)\n"
    "\n"
    "FILE is a TLE input file: line pairs (optionally with name lines), CSV lines,\n"
    "comments starting with '*'; or an OMM document (CSV, JSON, XML or KVN, told\n"
    "by its content), each record reported by its line (JSON: its number). A line 1 takes the next line 2, past comments,\n"
    "name lines and CSV lines; another line 1 first leaves it without a line 2.\n"
    "load, check and convert print the same report for a file: one line per bad\n"
    "element set (FILE:LINE: the library's message) and the totals line.\n"
    "\n"
    "Checksums: the library writes column 69 blank and ignores it on input. Line\n"
    "pairs written by convert, save and show carry the checksum in column 69;\n"
    "--no-checksums keeps the library's lines as they are.\n"
    "\n"
    "Exit status: 0 all good; 1 usage; 2 some element sets bad (or, with --strict,\n"
    "a wrong checksum), no element set at all, a file that cannot be read or\n"
    "written, no such satellite, or a time propagate could not compute.\n";

/* An error or warning: stdout is flushed first so the two streams keep
 * their order on a terminal or in one log. */
static void errorLine(const char* fmt, ...) {
  va_list ap;
  fflush(stdout);
  fputs("vxtle: ", stderr);
  va_start(ap, fmt);
  vfprintf(stderr, fmt, ap);
  va_end(ap);
  fputc('\n', stderr);
}

static int usageError(const char* what) {
  errorLine("%s (see vxtle --help)", what);
  return RC_USAGE;
}

/* Copies s into a library text buffer of LINE_LEN, blank padded. */
static void toText(char* out, const char* s) { vxToText(out, LINE_LEN, s); }

#define cText vxCText
#define lastError vxLastError
#define now vxNow
#define grow vxGrow
#define readLine vxReadLine

#define jsonString vxJsonString

/* Puts the checksums into column 69 of a line pair (a line shorter than 68
 * columns is padded with blanks). l1 and l2 hold LINE_LEN characters. */
static void addChecksums(char* l1, char* l2) {
  int32_t s1 = 0, s2 = 0, err = 0;
  GetCheckSums(l1, l2, &s1, &s2, &err);
  if (err != VX_OK) return;
  l1[CHECKSUM_COL - 1] = (char)('0' + s1);
  l2[CHECKSUM_COL - 1] = (char)('0' + s2);
}

/* Writes a line pair of the library (LINE_LEN each), checksums added unless
 * raw; 0, or -1 when the stream failed. */
static int writePair(FILE* out, const char* l1, const char* l2, int raw) {
  char a[LINE_LEN], b[LINE_LEN], s[PAIR_COLS + 1];
  memcpy(a, l1, LINE_LEN);
  memcpy(b, l2, LINE_LEN);
  if (!raw) addChecksums(a, b);
  fprintf(out, "%s\n", cText(s, a, PAIR_COLS));
  fprintf(out, "%s\n", cText(s, b, PAIR_COLS));
  return ferror(out) ? -1 : 0;
}

/* ---- The reader ------------------------------------------------------------ */

struct BadSet {
  long line;
  char* msg;
};

/* A line whose column 69 does not hold the checksum of its characters. */
struct ChecksumIssue {
  long line;
  int which; /* 1 or 2 */
  char found;
  int computed;
};

/* The lines of a line pair the library read. */
struct PairAt {
  long line1, line2;
};

struct ReadResult {
  long loaded, dup, bad;
  struct BadSet* bads;
  size_t nBads, capBads;
  struct ChecksumIssue* sums;
  size_t nSums, capSums;
  int64_t* keys; /* the loaded sets in file order */
  size_t nKeys, capKeys;
  struct PairAt* pairs; /* kept only when wantPairs */
  size_t nPairs, capPairs;
  int wantPairs, noMemory;
  const char* path;
  int progress; /* stderr is a terminal: show how far a long read got */
  double started, shown;
  char error[MSG_LEN + 1]; /* why the file could not be read; "" if it could */
};

static void freeResult(struct ReadResult* r) {
  size_t i;
  for (i = 0; i < r->nBads; ++i) free(r->bads[i].msg);
  free(r->bads);
  free(r->sums);
  free(r->keys);
  free(r->pairs);
  memset(r, 0, sizeof *r);
}

static void showProgress(struct ReadResult* r, long lineNum) {
  double t = now();
  if (t - r->started > 1.0 && t - r->shown > 0.25) {
    fflush(stdout);
    fprintf(stderr, "\rvxtle: %s: %ld lines read", r->path, lineNum);
    fflush(stderr);
    r->shown = t;
  }
}

/* The library's report of one element set it read. */
static void onSet(int32_t lineNum, int32_t lineNum2, int64_t satKey, int32_t status, const char* msg, int32_t msgLen,
                  void* user) {
  struct ReadResult* r = (struct ReadResult*)user;
  if (r->progress && ((r->loaded + r->dup + r->bad) & 0x3fff) == 0) showProgress(r, lineNum);
  if (status == TLE_LOADED) {
    ++r->loaded;
    if (grow((void**)&r->keys, &r->capKeys, r->nKeys, sizeof *r->keys) != 0) r->noMemory = 1;
    else r->keys[r->nKeys++] = satKey;
  } else if (status == TLE_DUP) {
    ++r->dup;
  } else {
    char* copy = msgLen > 0 ? vxCopyMsg(msg, msgLen) : vxCopyMsg("not an element set", 18);
    ++r->bad;
    if (!copy || grow((void**)&r->bads, &r->capBads, r->nBads, sizeof *r->bads) != 0) {
      free(copy);
      r->noMemory = 1;
    } else {
      r->bads[r->nBads].line = lineNum;
      r->bads[r->nBads++].msg = copy;
    }
  }
  if (r->wantPairs && lineNum2 > 0) {
    if (grow((void**)&r->pairs, &r->capPairs, r->nPairs, sizeof *r->pairs) != 0) {
      r->noMemory = 1;
    } else {
      r->pairs[r->nPairs].line1 = lineNum;
      r->pairs[r->nPairs++].line2 = lineNum2;
    }
  }
}

static int compareLong(const void* a, const void* b) {
  long x = *(const long*)a, y = *(const long*)b;
  return x < y ? -1 : x > y;
}

/* The first CHECKSUM_COL columns of the lines of a file that the library
 * read as line pairs, one after the other in line order. */
struct PairLines {
  long* lines; /* ascending, each once */
  char (*text)[CHECKSUM_COL + 1];
  size_t n;
};

/* Reads the lines of the pairs of r from path; 0, or -1 with the reason in
 * r->error. */
static int readPairLines(const char* path, const struct ReadResult* r, struct PairLines* pl, long* lineCount) {
  char buf[READ_LEN];
  size_t i, n = 0, at = 0;
  long lineNo = 0;
  FILE* f;
  memset(pl, 0, sizeof *pl);
  pl->lines = (long*)malloc((2 * r->nPairs + 1) * sizeof *pl->lines);
  if (!pl->lines) return -1;
  for (i = 0; i < r->nPairs; ++i) {
    pl->lines[n++] = r->pairs[i].line1;
    pl->lines[n++] = r->pairs[i].line2;
  }
  qsort(pl->lines, n, sizeof *pl->lines, compareLong);
  for (i = 0; i < n; ++i)
    if (pl->n == 0 || pl->lines[pl->n - 1] != pl->lines[i]) pl->lines[pl->n++] = pl->lines[i];
  pl->text = malloc((pl->n + 1) * sizeof *pl->text);
  f = pl->text ? fopen(path, "rb") : NULL;
  if (!f) return -1;
  while (readLine(f, buf, sizeof buf)) {
    ++lineNo;
    if (at < pl->n && pl->lines[at] == lineNo) {
      const size_t len = strlen(buf) < CHECKSUM_COL ? strlen(buf) : CHECKSUM_COL;
      memcpy(pl->text[at], buf, len);
      pl->text[at][len] = '\0';
      ++at;
    }
  }
  for (; at < pl->n; ++at) pl->text[at][0] = '\0';
  *lineCount = lineNo;
  return ferror(f) ? (fclose(f), -1) : fclose(f);
}

static const char* pairLine(const struct PairLines* pl, long line) {
  long* p = (long*)bsearch(&line, pl->lines, pl->n, sizeof *pl->lines, compareLong);
  return p ? pl->text[p - pl->lines] : "";
}

/* Notes a wrong checksum of line which (1 or 2); an absent one (column 69
 * blank or past the end) is no issue. */
static int noteChecksum(struct ReadResult* r, long line, int which, const char* text, int computed) {
  char found = strlen(text) >= CHECKSUM_COL ? text[CHECKSUM_COL - 1] : ' ';
  if (found == ' ' || found == '0' + computed) return 0;
  if (grow((void**)&r->sums, &r->capSums, r->nSums, sizeof *r->sums) != 0) return -1;
  r->sums[r->nSums].line = line;
  r->sums[r->nSums].which = which;
  r->sums[r->nSums].found = found;
  r->sums[r->nSums].computed = computed;
  ++r->nSums;
  return 0;
}

/* Checks column 69 of the line pairs the library read from path (nothing
 * else of the file is looked at); 0, or -1 when the file or memory fails. */
static int verifyChecksums(const char* path, struct ReadResult* r) {
  struct PairLines pl;
  long lineCount = 0;
  size_t i;
  int rc = readPairLines(path, r, &pl, &lineCount);
  for (i = 0; rc == 0 && i < r->nPairs; ++i) {
    const char* l1 = pairLine(&pl, r->pairs[i].line1);
    const char* l2 = pairLine(&pl, r->pairs[i].line2);
    char a[LINE_LEN], b[LINE_LEN];
    int32_t s1 = 0, s2 = 0, err = 0;
    toText(a, l1);
    toText(b, l2);
    GetCheckSums(a, b, &s1, &s2, &err);
    if (err == 0 && (noteChecksum(r, r->pairs[i].line1, 1, l1, s1) != 0 ||
                     noteChecksum(r, r->pairs[i].line2, 2, l2, s2) != 0))
      rc = -1;
  }
  free(pl.lines);
  free(pl.text);
  return rc;
}

/* Loads path into the library's store, told of every element set, and
 * fills r (checksums verified when checksums). 0; -1 when the file cannot
 * be read or holds no element set (the reason in r->error and on stderr). */
static int readFile(const char* path, struct ReadResult* r, int checksums) {
  char name[LINE_LEN], why[MSG_LEN + 1];
  int32_t rc;
  memset(r, 0, sizeof *r);
  r->path = path;
  r->wantPairs = checksums;
  r->progress = isatty(STDERR_FILENO);
  r->started = now();
  if (strlen(path) >= LINE_LEN) {
    snprintf(r->error, sizeof r->error, "%s", strerror(ENAMETOOLONG));
    errorLine("cannot read %s: %s", path, r->error);
    return -1;
  }
  toText(name, path);
  KernixClearLastOpenErr();
  rc = TleLoadFileEach(name, onSet, r);
  if (r->shown > 0) fprintf(stderr, "\r%*s\r", (int)strlen(path) + 40, "");
  if (rc != VX_OK)
    snprintf(r->error, sizeof r->error, "%s", vxLoadFailure(rc, why));
  else if (r->noMemory || (checksums && verifyChecksums(path, r) != 0))
    snprintf(r->error, sizeof r->error, "%s", errno ? strerror(errno) : "out of memory");
  if (r->error[0]) {
    errorLine("cannot read %s: %s", path, r->error);
    return -1;
  }
  if (r->loaded + r->dup + r->bad == 0) {
    long lines = vxCountLines(path);
    snprintf(r->error, sizeof r->error, "no element set in %ld lines", lines);
    errorLine("%s: no element set found (%ld lines read)", path, lines);
    return -1;
  }
  return 0;
}

/* The report load, check and convert share: one line per bad set, then the
 * totals line, on stdout. */
static void printReport(const char* path, const struct ReadResult* r) {
  size_t i;
  for (i = 0; i < r->nBads; ++i) printf("%s:%ld: %s\n", path, r->bads[i].line, r->bads[i].msg);
  printf("%s: Total TLEs = %ld, Loaded = %ld, Dup = %ld, Bad = %ld\n", path, r->loaded + r->dup + r->bad,
         r->loaded, r->dup, r->bad);
}

static void jsonReport(const char* path, const struct ReadResult* r) {
  size_t i;
  printf("{\"file\": ");
  jsonString(stdout, path);
  if (r->error[0]) {
    printf(", \"error\": ");
    jsonString(stdout, r->error);
  }
  printf(", \"total\": %ld, \"loaded\": %ld, \"dup\": %ld, \"bad\": %ld, \"badSets\": [", r->loaded + r->dup + r->bad,
         r->loaded, r->dup, r->bad);
  for (i = 0; i < r->nBads; ++i) {
    printf("%s{\"line\": %ld, \"message\": ", i ? ", " : "", r->bads[i].line);
    jsonString(stdout, r->bads[i].msg);
    printf("}");
  }
  printf("]");
}

static int resultCode(int readRc, const struct ReadResult* r) { return readRc != 0 || r->bad != 0 ? RC_BAD : RC_OK; }

/* ---- Arguments ------------------------------------------------------------- */

struct Args {
  const char* pos[8];
  int nPos;
  int json, strict, raw, help;
  const char* to;   /* convert --to, propagate --to */
  const char* from; /* propagate --from */
  const char* step; /* propagate --step */
  const char* form; /* save --csv / --lines */
};

/* Splits argv[2..] into positional arguments and the options in allowed
 * (names without "--", blank separated). 0, or RC_USAGE after a message. */
static int parseArgs(int argc, char** argv, const char* allowed, struct Args* a) {
  int i;
  memset(a, 0, sizeof *a);
  for (i = 2; i < argc; ++i) {
    const char* s = argv[i];
    char opt[64];
    if (strcmp(s, "--help") == 0 || strcmp(s, "-h") == 0) {
      a->help = 1;
      continue;
    }
    if (s[0] != '-' || s[1] == '\0') {
      if (a->nPos == (int)(sizeof a->pos / sizeof a->pos[0])) return usageError("too many arguments");
      a->pos[a->nPos++] = s;
      continue;
    }
    snprintf(opt, sizeof opt, " %s ", s[1] == '-' ? s + 2 : s + 1);
    if (s[1] != '-' || strlen(s) > 40 || !strstr(allowed, opt)) {
      errorLine("%s does not take the option %s (see vxtle --help)", argv[1], s);
      return RC_USAGE;
    }
    if (strcmp(s, "--json") == 0) a->json = 1;
    if (strcmp(s, "--strict") == 0) a->strict = 1;
    if (strcmp(s, "--no-checksums") == 0) a->raw = 1;
    if (strcmp(s, "--csv") == 0 || strcmp(s, "--lines") == 0) a->form = s + 2;
    if (strcmp(s, "--to") == 0 || strcmp(s, "--from") == 0 || strcmp(s, "--step") == 0) {
      const char** value = s[2] == 't' ? &a->to : s[2] == 'f' ? &a->from : &a->step;
      if (i + 1 >= argc) {
        errorLine("%s needs a value (see vxtle --help)", s);
        return RC_USAGE;
      }
      *value = argv[++i];
    }
  }
  return 0;
}

/* ---- Subcommands ----------------------------------------------------------- */

static int cmdCheck(const struct Args* a) {
  struct ReadResult r;
  const char* path;
  int rc;
  size_t i;
  if (a->nPos != 1) return usageError("check needs one FILE");
  path = a->pos[0];
  rc = resultCode(readFile(path, &r, 1), &r);
  if (a->strict && r.nSums > 0) rc = RC_BAD;
  if (a->json) {
    jsonReport(path, &r);
    printf(", \"strict\": %s, \"checksums\": [", a->strict ? "true" : "false");
    for (i = 0; i < r.nSums; ++i)
      printf("%s{\"line\": %ld, \"lineOfPair\": %d, \"found\": \"%c\", \"computed\": %d}", i ? ", " : "",
             r.sums[i].line, r.sums[i].which, r.sums[i].found, r.sums[i].computed);
    printf("]}\n");
  } else if (!r.error[0]) {
    for (i = 0; i < r.nSums; ++i)
      printf("%s:%ld: %s: line %d checksum is '%c', computed %d\n", path, r.sums[i].line,
             a->strict ? "error" : "warning", r.sums[i].which, r.sums[i].found, r.sums[i].computed);
    printReport(path, &r);
  }
  freeResult(&r);
  return rc;
}

/* The convert target forms and the save forms of the library. */
static const struct {
  const char* name;
  int32_t form;
} targetForms[] = {{"csv", VX_SAVE_CSV},           {"lines", VX_SAVE_LINES},       {"three-lines", VX_SAVE_THREE_LINES},
                   {"omm-csv", VX_SAVE_OMM_CSV},   {"omm-json", VX_SAVE_OMM_JSON}, {"omm-xml", VX_SAVE_OMM_XML},
                   {"omm-kvn", VX_SAVE_OMM_KVN}};

/* Writes the sets of keys to out in form through the library's writer;
 * nonzero when the text could not be made or written. */
static int writeForm(FILE* out, const int64_t* keys, size_t nKeys, int32_t form) {
  int64_t len = 0;
  char* text;
  int bad;
  TleWriteText(keys, (int32_t)nKeys, form, NULL, 0, &len);
  text = malloc(len > 0 ? (size_t)len : 1);
  if (!text) return 1;
  if (TleWriteText(keys, (int32_t)nKeys, form, text, len, &len) != VX_OK) {
    free(text);
    return 1;
  }
  bad = len > 0 && fwrite(text, 1, (size_t)len, out) != (size_t)len;
  free(text);
  return bad;
}

static int cmdConvert(const struct Args* a) {
  struct ReadResult r;
  FILE* out;
  int rc, writeFailed = 0, writeErr;
  int32_t form = -1;
  size_t i;
  if (!a->to || a->nPos != 2) return usageError("convert needs --to FORM IN OUT");
  for (i = 0; i < sizeof targetForms / sizeof targetForms[0]; ++i)
    if (strcmp(a->to, targetForms[i].name) == 0) form = targetForms[i].form;
  if (form < 0) {
    errorLine("unknown target form '%s' (csv, lines, three-lines, omm-csv, omm-json, omm-xml or omm-kvn)", a->to);
    return RC_USAGE;
  }
  rc = resultCode(readFile(a->pos[0], &r, 0), &r);
  if (r.error[0]) {
    freeResult(&r);
    return rc;
  }
  out = fopen(a->pos[1], "wb");
  if (!out) {
    errorLine("cannot write %s: %s", a->pos[1], strerror(errno));
    freeResult(&r);
    return RC_BAD;
  }
  if (form == VX_SAVE_CSV) {
    for (i = 0; i < r.nKeys && !writeFailed; ++i) {
      char l1[LINE_LEN], s[LINE_LEN + 1];
      if (TleGetCsv(r.keys[i], l1) == VX_OK) writeFailed = fprintf(out, "%s\n", cText(s, l1, LINE_LEN)) < 0;
    }
  } else if (form == VX_SAVE_LINES) {
    for (i = 0; i < r.nKeys && !writeFailed; ++i) {
      char l1[LINE_LEN], l2[LINE_LEN];
      if (TleGetLines(r.keys[i], l1, l2) == VX_OK) writeFailed = writePair(out, l1, l2, a->raw) != 0;
    }
  } else {
    writeFailed = writeForm(out, r.keys, r.nKeys, form);
  }
  /* The reason of a failed write, before the close resets errno. */
  writeErr = writeFailed ? errno : 0;
  if (vxCloseOutput(out) != 0 || writeFailed) {
    errorLine("cannot write %s: %s", a->pos[1], strerror(writeErr ? writeErr : errno ? errno : EIO));
    rc = RC_BAD;
    writeFailed = 1;
  }
  printReport(a->pos[0], &r);
  if (!writeFailed && rc != RC_BAD) printf("%ld element sets written to %s\n", r.loaded, a->pos[1]);
  freeResult(&r);
  return rc;
}

static int cmdLoad(const struct Args* a) {
  int i, rc = RC_OK;
  double t0 = now();
  if (a->nPos < 1) return usageError("load needs at least one FILE");
  if (a->json) printf("{\"files\": [");
  for (i = 0; i < a->nPos; ++i) {
    struct ReadResult r;
    int fileRc = resultCode(readFile(a->pos[i], &r, 0), &r);
    if (fileRc != RC_OK) rc = fileRc;
    if (a->json) {
      printf("%s", i ? ", " : "");
      jsonReport(a->pos[i], &r);
      printf("}");
    } else if (!r.error[0]) {
      printReport(a->pos[i], &r);
    }
    freeResult(&r);
  }
  if (a->json)
    printf("], \"count\": %d, \"seconds\": %.3f}\n", (int)TleGetCount(), now() - t0);
  else
    printf("%d element sets loaded in %.3f s\n", (int)TleGetCount(), now() - t0);
  return rc;
}

/* A satellite number argument; 0, or -1 after a message. */
static int parseSatNum(const char* s, long* satNum) {
  char* end = NULL;
  errno = 0;
  *satNum = strtol(s, &end, 10);
  if (errno || end == s || *end != '\0' || *satNum < 0 || *satNum > 999999999) {
    errorLine("not a satellite number: %s", s);
    return -1;
  }
  return 0;
}

/* FILE SATNUM of show and propagate: the number read, then FILE loaded and
 * its bad sets reported. 0 with *rc the load's exit status and r to be
 * freed; or -1 with *rc the exit status to end with, nothing to free. */
static int loadForSatellite(const struct Args* a, struct ReadResult* r, long* satNum, int* rc) {
  size_t b;
  if (parseSatNum(a->pos[1], satNum) != 0) {
    *rc = RC_USAGE;
    return -1;
  }
  *rc = resultCode(readFile(a->pos[0], r, 0), r);
  if (r->error[0]) {
    freeResult(r);
    return -1;
  }
  for (b = 0; b < r->nBads; ++b) errorLine("%s:%ld: %s", a->pos[0], r->bads[b].line, r->bads[b].msg);
  return 0;
}

static int cmdShow(const struct Args* a) {
  static const char* labels[] = {"satellite number", "classification", "name", "epoch",
                                 "drag term", "ephemeris type", "element set number", "inclination",
                                 "right ascension", "eccentricity", "argument of perigee", "mean anomaly",
                                 "mean motion", "revolution number", "first derivative", "second derivative"};
  struct ReadResult r;
  long satNum;
  int rc, shown = 0;
  size_t i;
  if (a->nPos != 2) return usageError("show needs FILE SATNUM");
  if (loadForSatellite(a, &r, &satNum, &rc) != 0) return rc;
  if (a->json) {
    printf("{\"file\": ");
    jsonString(stdout, a->pos[0]);
    printf(", \"satellite\": %ld, \"elementSets\": [", satNum);
  }
  for (i = 0; i < r.nKeys; ++i) {
    char v[LINE_LEN], s[LINE_LEN + 1], l1[LINE_LEN], l2[LINE_LEN];
    int32_t f;
    TleGetField(r.keys[i], 1, v);
    if (strtol(cText(s, v, LINE_LEN), NULL, 10) != satNum) continue;
    if (TleGetLines(r.keys[i], l1, l2) == VX_OK) addChecksums(l1, l2);
    if (a->json) {
      printf("%s{\"satKey\": %lld, \"line1\": ", shown ? ", " : "", (long long)r.keys[i]);
      jsonString(stdout, cText(s, l1, PAIR_COLS));
      printf(", \"line2\": ");
      jsonString(stdout, cText(s, l2, PAIR_COLS));
      printf(", \"fields\": {");
      for (f = 1; f <= 16; ++f) {
        TleGetField(r.keys[i], f, v);
        printf("%s", f > 1 ? ", " : "");
        jsonString(stdout, labels[f - 1]);
        printf(": ");
        jsonString(stdout, cText(s, v, LINE_LEN));
      }
      printf("}}");
    } else {
      printf("satKey %lld\n", (long long)r.keys[i]);
      writePair(stdout, l1, l2, 1);
      for (f = 1; f <= 16; ++f) {
        TleGetField(r.keys[i], f, v);
        printf("  %-22s %s\n", labels[f - 1], cText(s, v, LINE_LEN));
      }
    }
    ++shown;
  }
  if (a->json) printf("]}\n");
  freeResult(&r);
  if (shown == 0) {
    errorLine("satellite %ld is not in %s", satNum, a->pos[0]);
    return RC_BAD;
  }
  return rc;
}

/* The library writes a saved line pair as a line "1 ..." and the next line
 * "2 ...". */
static int isLine1(const char* s) { return s[0] == '1' && s[1] == ' '; }
static int isLine2(const char* s) { return s[0] == '2' && s[1] == ' '; }

/* Rewrites the line pairs of a saved file with their checksums. 0, or -1
 * with the reason on stderr. */
static int checksumFile(const char* path) {
  char tmpPath[4096], l1[READ_LEN], l2[READ_LEN];
  FILE *in, *out;
  int have = 0, bad = 0;
  if (snprintf(tmpPath, sizeof tmpPath, "%s.vxtle-tmp", path) >= (int)sizeof tmpPath) {
    errorLine("cannot write %s: %s", path, strerror(ENAMETOOLONG));
    return -1;
  }
  in = fopen(path, "rb");
  out = in ? fopen(tmpPath, "wb") : NULL;
  if (!in || !out) {
    errorLine("cannot write %s: %s", in ? tmpPath : path, strerror(errno));
    if (in) fclose(in);
    return -1;
  }
  for (;;) {
    if (!have && !fgets(l1, sizeof l1, in)) break;
    have = 0;
    l1[strcspn(l1, "\r\n")] = '\0';
    if (isLine1(l1) && fgets(l2, sizeof l2, in)) {
      l2[strcspn(l2, "\r\n")] = '\0';
      if (isLine2(l2)) {
        char a[LINE_LEN], b[LINE_LEN];
        toText(a, l1);
        toText(b, l2);
        bad |= writePair(out, a, b, 0);
        continue;
      }
      fprintf(out, "%s\n", l1);
      memcpy(l1, l2, sizeof l1);
      have = 1;
      continue;
    }
    fprintf(out, "%s\n", l1);
  }
  fclose(in);
  if (vxCloseOutput(out) != 0 || bad || rename(tmpPath, path) != 0) {
    errorLine("cannot write %s: %s", path, strerror(errno ? errno : EIO));
    remove(tmpPath);
    return -1;
  }
  return 0;
}

static int cmdSave(const struct Args* a) {
  struct ReadResult r;
  char name[LINE_LEN], msg[MSG_LEN + 1];
  int32_t saved;
  int rc;
  if (a->nPos != 2 || !a->form) return usageError("save needs IN OUT --csv|--lines");
  rc = resultCode(readFile(a->pos[0], &r, 0), &r);
  if (r.error[0]) {
    freeResult(&r);
    return rc;
  }
  printReport(a->pos[0], &r);
  freeResult(&r);
  toText(name, a->pos[1]);
  saved = TleSaveFile(name, VX_SAVE_CREATE, strcmp(a->form, "csv") == 0 ? VX_SAVE_CSV : VX_SAVE_LINES);
  if (saved != VX_OK) {
    lastError(msg);
    errorLine("cannot save %s: %s", a->pos[1], msg[0] ? msg : "the library refused it");
    if (saved != VX_FAIL) return RC_BAD; /* nothing written */
    rc = RC_BAD;
  }
  if (strcmp(a->form, "lines") == 0 && !a->raw && checksumFile(a->pos[1]) != 0) return RC_BAD;
  printf("%d element sets saved to %s\n", (int)TleGetCount(), a->pos[1]);
  return rc;
}

/* The states of the latest set of SATNUM; the file's bad sets are reported
 * but do not change the exit status, a failed time does. */
static int cmdPropagate(const struct Args* a) {
  struct ReadResult r;
  long satNum;
  int64_t key;
  int rc;
  if (a->nPos != 2 || !a->from || !a->to || !a->step)
    return usageError("propagate needs FILE SATNUM --from T0 --to T1 --step MIN");
  if (loadForSatellite(a, &r, &satNum, &rc) != 0) return rc;
  freeResult(&r);
  key = TleGetLatestSatKey((int32_t)satNum);
  if (key <= 0) {
    errorLine("satellite %ld is not in %s", satNum, a->pos[0]);
    return RC_BAD;
  }
  return vxtlePropagate(a->pos[0], satNum, key, a->from, a->to, a->step, a->json);
}

struct Command {
  const char* name;
  const char* options;
  int (*run)(const struct Args*);
};

static const struct Command commands[] = {
    {"check", " strict json ", cmdCheck},
    {"convert", " to no-checksums ", cmdConvert},
    {"load", " json ", cmdLoad},
    {"show", " json ", cmdShow},
    {"save", " csv lines no-checksums ", cmdSave},
    {"propagate", " from to step json ", cmdPropagate},
};

static int printVersion(void) {
  char info[MSG_LEN], s[MSG_LEN + 1];
  TleGetInfo(info);
  printf("vxtle: %s\n", cText(s, info, MSG_LEN));
  return RC_OK;
}

static int run(int argc, char** argv) {
  size_t i;
  int rc;
  if (argc < 2) {
    fputs(usage, stderr);
    return RC_USAGE;
  }
  if (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0 || strcmp(argv[1], "help") == 0) {
    fputs(usage, stdout);
    return RC_OK;
  }
  if (strcmp(argv[1], "--version") == 0) return printVersion();
  for (i = 0; i < sizeof commands / sizeof commands[0]; ++i) {
    struct Args a;
    if (strcmp(argv[1], commands[i].name) != 0) continue;
    /* --help after a subcommand wins over anything else on the line. */
    for (rc = 2; rc < argc; ++rc)
      if (strcmp(argv[rc], "--help") == 0 || strcmp(argv[rc], "-h") == 0) {
        fputs(usage, stdout);
        return RC_OK;
      }
    rc = parseArgs(argc, argv, commands[i].options, &a);
    if (rc != 0) return rc;
    return commands[i].run(&a);
  }
  errorLine("unknown command '%s' (see vxtle --help)", argv[1]);
  return RC_USAGE;
}

/* Everything written to stdout is checked once the command is done. */
int main(int argc, char** argv) {
  int rc = run(argc, argv);
  return vxFinishOutput("vxtle") != 0 ? 2 : rc;
}
