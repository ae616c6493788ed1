/* A C99 host that loads the state-vector library at run time, as a script
 * through a foreign-function interface would, and uses only the public
 * headers. Every function of kinem.h is looked up by name and called with
 * its results checked: first with tree keys, then with DMA keys beside the
 * TLE library, whose keys the state-vector library must refuse (and the
 * reverse).
 *
 * Input texts sit in arrays of exactly their stated length with no NUL, so
 * a read past them trips the address checker. Output texts go to arrays
 * one longer, cleared to NULs with a '#' after the stated length: a check
 * of an output wants its expected start, blanks up to the length (so no
 * NUL was left or written) and the '#' untouched. */
#define _POSIX_C_SOURCE 200809L
#include <ctype.h>
#include <dlfcn.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "veltrix/kinem.h"
#include "veltrix/tle.h"

/* ---- The functions, resolved by name ----------------------------------- */

#define KINEM_FUNCTIONS(X)                                                                                       \
  X(int32_t, KinemInit, (void))                                                                                  \
  X(void, KinemGetInfo, (char*))                                                                                 \
  X(int64_t, KinemAddSatFrLines, (const char*, const char*))                                                     \
  X(void, KinemAddSatFrLinesML, (const char*, const char*, int64_t*))                                            \
  X(int32_t, KinemRemoveSat, (int64_t))                                                                          \
  X(int32_t, KinemRemoveAllSats, (void))                                                                         \
  X(int32_t, KinemGetCount, (void))                                                                              \
  X(void, KinemGetLoaded, (int32_t, int64_t*))                                                                   \
  X(int32_t, KinemGetLoadedN, (int32_t, int32_t, int64_t*, int32_t*))                                            \
  X(int64_t, KinemGetSatKey, (int32_t))                                                                          \
  X(void, KinemGetSatKeyML, (int32_t, int64_t*))                                                                 \
  X(int64_t, KinemFieldsToSatKey, (int32_t, const char*))                                                        \
  X(void, KinemFieldsToSatKeyML, (int32_t, const char*, int64_t*))                                               \
  X(int32_t, KinemGetLines, (int64_t, char*, char*))                                                             \
  X(int32_t, KinemLoadFile, (const char*))                                                                       \
  X(int32_t, KinemSaveFile, (const char*, int32_t))                                                              \
  X(int32_t, KinemGetField, (int64_t, int32_t, char*))                                                           \
  X(int32_t, KinemSetField, (int64_t, int32_t, const char*))                                                     \
  X(int32_t, KinemGetAllFields,                                                                                  \
    (int64_t, double*, double*, char*, int32_t*, char*, char*, int32_t*, int32_t*, double*, double*, double*,    \
     char*))                                                                                                     \
  X(int32_t, KinemParse,                                                                                         \
    (const char*, const char*, double*, double*, char*, int32_t*, char*, char*, int32_t*, int32_t*, double*,     \
     double*, double*, char*))                                                                                   \
  X(int64_t, KinemAddSatFrFields,                                                                                \
    (const double*, const double*, char, int32_t, const char*, const char*, int32_t, int32_t, double, double,    \
     double, const char*))                                                                                       \
  X(void, KinemAddSatFrFieldsML,                                                                                 \
    (const double*, const double*, char, int32_t, const char*, const char*, int32_t, int32_t, double, double,    \
     double, const char*, int64_t*))                                                                             \
  X(int32_t, KinemUpdateSatFrFields,                                                                             \
    (int64_t, const double*, const double*, char, const char*, int32_t, int32_t, double, double, double,         \
     const char*))                                                                                               \
  X(void, KinemFieldsToLines,                                                                                    \
    (const double*, const double*, char, int32_t, const char*, const char*, int32_t, int32_t, double, double,    \
     double, const char*, char*, char*))                                                                         \
  X(int32_t, KinemDataToArray, (int64_t, double*, char*))                                                        \
  X(int64_t, KinemAddSatFrArray, (const double*, const char*))                                                   \
  X(void, KinemAddSatFrArrayML, (const double*, const char*, int64_t*))                                          \
  X(int32_t, KinemUpdateSatFrArray, (int64_t, const double*, const char*))                                       \
  X(void, KinemArrayToLines, (const double*, const char*, char*, char*))                                         \
  X(int32_t, KinemLinesToArray, (const char*, const char*, double*, char*))

/* The base library's functions, found through libkinem, which needs it,
 * and the TLE library's. */
#define KERNIX_FUNCTIONS(X)                 \
  X(void, KernixSetElsetKeyMode, (int32_t)) \
  X(void, KernixGetLastErrMsg, (char*))     \
  X(void, KernixGetLastInfoMsg, (char*))
#define TLE_FUNCTIONS(X)                                   \
  X(int64_t, TleAddSatFrLines, (const char*, const char*)) \
  X(int32_t, TleRemoveSat, (int64_t))

#define DECLARE(ret, name, args) ret(*name) args;
static struct {
  KINEM_FUNCTIONS(DECLARE) KERNIX_FUNCTIONS(DECLARE) TLE_FUNCTIONS(DECLARE)
} F;
#define NAME(ret, name, args) #name,
static const char* const kKinemNames[] = {KINEM_FUNCTIONS(NAME)};
#define NKINEM (sizeof kKinemNames / sizeof kKinemNames[0])

/* The pointer types above must be those of the headers: comparing a pointer
 * with the header function's address fails to compile when they differ
 * (sizeof keeps the address from being taken for real). */
#define SAME_TYPE(ret, name, args) (void)sizeof(F.name == &name);
static void signaturesMatchHeaders(void) {
  KINEM_FUNCTIONS(SAME_TYPE) KERNIX_FUNCTIONS(SAME_TYPE) TLE_FUNCTIONS(SAME_TYPE)
}

#define RESOLVE(ret, name, args)                               \
  F.name = (ret(*) args)(uintptr_t)dlsym(lib, #name);          \
  if (!F.name) {                                               \
    fprintf(stderr, "%s: %s not exported\n", where, #name);    \
    ++missing;                                                 \
  }
static int resolveKinem(void* lib, const char* where) {
  int missing = 0;
  KINEM_FUNCTIONS(RESOLVE) KERNIX_FUNCTIONS(RESOLVE) return missing;
}
static int resolveTle(void* lib, const char* where) {
  int missing = 0;
  TLE_FUNCTIONS(RESOLVE) return missing;
}

/* Every "VX_API" declaration of kinem.h names a function of the list, so
 * a new export cannot go untried here. */
static int headerListed(const char* dataDir) {
  char path[4096], line[512];
  size_t seen = 0;
  FILE* f;
  snprintf(path, sizeof path, "%s/../include/veltrix/kinem.h", dataDir);
  f = fopen(path, "r");
  if (!f) return fprintf(stderr, "cannot read %s\n", path), 0;
  while (fgets(line, sizeof line, f)) {
    char* open = strchr(line, '(');
    char* start = open;
    size_t i;
    if (strncmp(line, "VX_API ", 7) != 0 || !open) continue;
    while (start > line && (isalnum((unsigned char)start[-1]) || start[-1] == '_')) --start;
    *open = '\0';
    for (i = 0; i < NKINEM && strcmp(kKinemNames[i], start) != 0; ++i) {
    }
    if (i == NKINEM) fprintf(stderr, "kinem.h declares %s, which this host does not call\n", start);
    else ++seen;
  }
  fclose(f);
  return seen == NKINEM;
}

/* ---- Checks ---------------------------------------------------------------- */

typedef struct {
  const char* what;
  char kind;          /* 'i' integers, 'r' reals, 't' an output text */
  int64_t got, want;  /* 'i' */
  double rgot, rwant; /* 'r': equal to 1e-12 relative */
  const char* text;   /* 't': len characters, then the '#' of prime() */
  size_t len;
  const char* lead;   /* 't': the expected start; blanks follow */
} Check;

static int gBad, gRow = -1; /* failed checks of one EXPECT; row of a table */

static void check(int line, const Check* c) {
  int ok;
  if (c->kind == 'i') {
    ok = c->got == c->want;
  } else if (c->kind == 'r') {
    ok = fabs(c->rgot - c->rwant) <= 1e-12 * (1.0 + fabs(c->rwant));
  } else {
    size_t k = strlen(c->lead);
    ok = k <= c->len && memcmp(c->text, c->lead, k) == 0 && c->text[c->len] == '#';
    while (ok && k < c->len) ok = c->text[k++] == ' ';
  }
  if (ok) return;
  ++gBad;
  fprintf(stderr, "line %d", line);
  if (gRow >= 0) fprintf(stderr, ", row %d", gRow);
  if (c->kind == 'i')
    fprintf(stderr, ": %s is %lld, not %lld\n", c->what, (long long)c->got, (long long)c->want);
  else if (c->kind == 'r')
    fprintf(stderr, ": %s is %.17g, not %.17g\n", c->what, c->rgot, c->rwant);
  else
    fprintf(stderr, ": %s is \"%.*s\"%s, not \"%s\" blank padded to %zu\n", c->what, (int)c->len, c->text,
            c->text[c->len] == '#' ? "" : " (written past its end)", c->lead, c->len);
}
/* Rows are checked one after another, each right after its own arguments
 * are evaluated (the comma operator orders them), so a row may check what
 * a call in an earlier row of the same EXPECT did. */
#define CI(g, w) check(__LINE__, &(const Check){#g, 'i', (int64_t)(g), (int64_t)(w), 0, 0, NULL, 0, NULL})
#define CR(g, w) check(__LINE__, &(const Check){#g, 'r', 0, 0, (g), (w), NULL, 0, NULL})
#define CT(b, n, l) check(__LINE__, &(const Check){#b, 't', 0, 0, 0, 0, (b), (n), (l)})
#define EXPECT(...)         \
  do {                      \
    gBad = 0;               \
    (void)(__VA_ARGS__);    \
    if (gBad > 0) return 1; \
  } while (0)

/* An output array of len characters: NULs, then '#' at len. */
static char* prime(char* out, size_t len) {
  memset(out, 0, len);
  out[len] = '#';
  return out;
}
/* An input text of len characters, blank padded, no NUL. */
static const char* toText(char* out, size_t len, const char* s) {
  size_t n = strlen(s);
  memset(out, ' ', len);
  memcpy(out, s, n < len ? n : len);
  return out;
}

static char gErr[129], gInfo[129];
static const char* lastErr(void) {
  F.KernixGetLastErrMsg(prime(gErr, 128));
  return gErr;
}
static const char* lastInfo(void) {
  F.KernixGetLastInfoMsg(prime(gInfo, 128));
  return gInfo;
}
/* Whether a log line starts with lead (as far as its 128 characters go). */
static int startsWith(const char* line, const char* lead) {
  size_t n = strlen(lead);
  return memcmp(line, lead, n < 128 ? n : 128) == 0;
}
/* The error line of a function given a key that is not loaded. */
static const char* notLoaded(char* out, const char* fn, int64_t key) {
  sprintf(out, "%s: Unable to locate satKey %19lld in the KINEM binary tree.", fn, (long long)key);
  return out;
}

/* ---- Data ------------------------------------------------------------------- */

/* A vector of the sample file. */
static const char* const kC1 =
    "   1674.2887  -2606.9575   6504.0481   -5600.2583    3873.0896    2994.0476 UB1P";
static const char* const kC2 =
    "43013 17073A    18020214354.000    901  999.003870000.002410000.000000000TMDAT2P";
/* The same 2P card with a coordinate system the checks refuse. */
static const char* const kBad2 =
    "43013 17073A    18020214354.000    901  999.003870000.002410000.000000000XXXXX2P";

/* A vector given as its twelve fields, and the cards they make. */
static const double kPos[3] = {-6458.9552, -2268.7820, 593.9069};
static const double kVel[3] = {289.5437, 1145.3078, 7524.0807};
static const double kFastVel[3] = {2e6, 0, 0};
static const char* const kF1 =
    "  -6458.9552  -2268.7820    593.9069     289.5437    1145.3078    7524.0807 SB1P";
static const char* const kF2 =
    "11111 99001A    18020000000.000     12   34.044100000.009500000.000000000MMJ2K2P";
/* The 2P card after the update in twelveFields. */
static const char* const kU2 =
    "11111 99001B    18020000000.000     13   35.044100000.009500000.000000000TMEPO2P";

/* An element set of the TLE sample catalog. */
static const char* const kTle1 = "1 43013U 17073A   18020.90595486 -.00000036  00000-0  37063-5 0  9990";
static const char* const kTle2 = "2 43013  98.7126 321.4710 0000893  65.9680 294.1589 14.19549727  9015";

#define NOKEY INT64_C(123456789)

/* ---- Tree keys ------------------------------------------------------------- */

/* Lifecycle, the sample file, keys, listing and cards. */
static int storeAndKeys(const char* dataDir, int64_t* key) {
  char path[4096], file[512], l1[512], l2[512], o1[513], o2[513], info[129], epoch[20], msg[4200];
  int64_t keys[9], k = 0, ml = 0;
  int32_t total = -1, n;

  EXPECT(CI(F.KinemInit(), 0));
  F.KinemGetInfo(prime(info, 128));
  EXPECT(CT(info, 128, "Veltrix Kinem library, version 0.1.0, C++20, x86_64 Linux"));

  EXPECT(CI(F.KinemRemoveAllSats(), 0), CI(F.KinemGetCount(), 0));
  keys[0] = -7;
  F.KinemGetLoaded(0, keys);
  EXPECT(CI(keys[0], -7), CT(lastInfo(), 128, "Warning-KinemGetLoaded: The binary tree is empty. No satKey returns."));

  snprintf(path, sizeof path, "%s/vectors-sample.vec", dataDir);
  EXPECT(CI(F.KinemLoadFile(toText(file, 512, path)), 0), CI(F.KinemGetCount(), 8),
         CT(lastInfo(), 128, "Total Kinems = 8, Loaded = 8, Dup = 0, Bad = 0"));
  snprintf(path, sizeof path, "%s/no-such-file.vec", dataDir);
  n = F.KinemLoadFile(toText(file, 512, path));
  snprintf(msg, sizeof msg, "KinemLoadFile: cannot open \"%s\": ", path);
  EXPECT(CI(n, 2), CI(startsWith(lastErr(), msg), 1), CI(F.KinemGetCount(), 8));

  /* Keys: by number, from the fields (tree keys by default), both forms. */
  k = F.KinemGetSatKey(43013);
  F.KinemGetSatKeyML(43013, &ml);
  toText(epoch, 20, "18020214354.000");
  EXPECT(CI(k > 0, 1), CI(ml, k), CI(F.KinemFieldsToSatKey(43013, epoch), k));
  F.KinemFieldsToSatKeyML(43013, epoch, &ml);
  EXPECT(CI(ml, k), CI(F.KinemGetSatKey(99999), -1),
         CT(lastErr(), 128, "GetSatKey: Unable to locate satellite number     99999 in the KINEM binary tree."));
  F.KinemGetSatKeyML(99999, &ml);
  EXPECT(CI(ml, -1));

  /* Listing: by number, the reverse, with a capacity. */
  keys[8] = -7;
  F.KinemGetLoaded(0, keys);
  EXPECT(CI(keys[0], F.KinemGetSatKey(20580)), CI(keys[7], F.KinemGetSatKey(123456)), CI(keys[8], -7));
  F.KinemGetLoaded(1, keys);
  EXPECT(CI(keys[0], F.KinemGetSatKey(123456)), CI(keys[7], F.KinemGetSatKey(20580)), CI(keys[8], -7));
  keys[2] = -7;
  n = F.KinemGetLoadedN(1, 2, keys, &total);
  EXPECT(CI(n, 2), CI(total, 8), CI(keys[0], F.KinemGetSatKey(123456)), CI(keys[2], -7));
  EXPECT(CI(F.KinemGetLoadedN(0, -1, keys, &total), -1), CI(keys[0], F.KinemGetSatKey(123456)));

  /* Cards of a loaded key; blanks and the key in 19 columns for another. */
  EXPECT(CI(F.KinemGetLines(k, prime(o1, 512), prime(o2, 512)), 0), CT(o1, 512, kC1), CT(o2, 512, kC2));
  EXPECT(CI(F.KinemGetLines(NOKEY, prime(o1, 512), prime(o2, 512)), 2), CT(o1, 512, ""), CT(o2, 512, ""),
         CT(lastErr(), 128, notLoaded(msg, "KinemGetLines", NOKEY)));

  /* From an empty store, adds from cards: the same tree key again, a
   * duplicate, cards that do not make a vector. */
  EXPECT(CI(F.KinemRemoveAllSats(), 0), CI(F.KinemGetCount(), 0),
         CI(F.KinemGetLines(k, prime(o1, 512), prime(o2, 512)), 2));
  EXPECT(CI(F.KinemAddSatFrLines(toText(l1, 512, kC1), toText(l2, 512, kC2)), k), CI(F.KinemGetCount(), 1));
  ml = -5;
  F.KinemAddSatFrLinesML(l1, l2, &ml);
  EXPECT(CI(ml, 0), CI(F.KinemGetCount(), 1));
  EXPECT(CI(F.KinemAddSatFrLines(l1, l1), -1), CT(lastErr(), 128, "Lines2Kinem: Invalid 2P card set."));
  F.KinemAddSatFrLinesML(l1, toText(l2, 512, kBad2), &ml);
  EXPECT(CI(ml, -1), CT(lastErr(), 128,
                        "ValidateKinemValues: Invalid vector coordinate system = XXXXX "
                        "(valid=TMDAT/TMEPO/MMB50/MMJ2K or blanks)"));
  *key = k;
  return 0;
}

/* One field, read and changed by number. */
static int singleFields(int64_t k) {
  static const struct {
    int32_t idx;
    const char* want;
  } gets[] = {
      {1, "1674.288700000000063"}, {4, "-5600.258300000000418"}, {7, "U"}, {8, ""}, {9, "43013"},
      {10, "17073A"}, {11, "18020214354.000"}, {12, "901"}, {13, "999"}, {14, "0.003870000000000"},
      {15, "0.002410000000000"}, {16, "0.000000000000000"}, {17, "TMDAT"}, {0, ""}, {18, ""},
  };
  /* a text set, the field read back after it, the status, the error line */
  static const struct {
    int32_t idx;
    const char *value, *readBack;
    int32_t status;
    const char* err;
  } sets[] = {
      {15, "1.5-3", "0.001500000000000", 0, NULL},
      {10, "  98067Z", "98067Z", 0, NULL},
      {7, "S", "S", 0, NULL},
      {9, "5", "43013", 0, NULL},
      {11, "19001000000.000", "18020214354.000", 0, NULL},
      {12, "1000000", "901", 2, "ValidateKinemValues: Invalid Epoch Revolution = 1000000 (valid=0-99999)"},
      {17, "mmj2k", "TMDAT", 2,
       "ValidateKinemValues: Invalid vector coordinate system = mmj2k (valid=TMDAT/TMEPO/MMB50/MMJ2K or blanks)"},
      {2, "abc", "-2606.957499999999982", 2, "KinemSetField: Unable to read the number of field 2."},
      {10, "AB\001", "98067Z", 2,
       "KinemSetField: Unable to update field 10 (a byte outside printable ASCII in the text)."},
  };
  char out[513], in[512], msg[160];
  size_t i;
  for (i = 0; i < sizeof gets / sizeof gets[0]; ++i) {
    gRow = (int)i;
    EXPECT(CI(F.KinemGetField(k, gets[i].idx, prime(out, 512)), 0), CT(out, 512, gets[i].want));
  }
  for (i = 0; i < sizeof sets / sizeof sets[0]; ++i) {
    gRow = (int)i;
    EXPECT(CI(F.KinemSetField(k, sets[i].idx, toText(in, 512, sets[i].value)), sets[i].status));
    if (sets[i].err) EXPECT(CT(lastErr(), 128, sets[i].err));
    EXPECT(CI(F.KinemGetField(k, sets[i].idx, prime(out, 512)), 0), CT(out, 512, sets[i].readBack));
  }
  gRow = -1;
  EXPECT(CI(F.KinemSetField(NOKEY, 13, toText(in, 512, "5")), 2),
         CT(lastErr(), 128, notLoaded(msg, "KinemSetField", NOKEY)));
  EXPECT(CI(F.KinemGetField(NOKEY, 13, prime(out, 512)), 2), CT(out, 512, ""),
         CT(lastErr(), 128, notLoaded(msg, "KinemGetField", NOKEY)));
  return 0;
}

/* The twelve fields: read all, parse, convert, add, update. */
static int twelveFields(int64_t k) {
  double pos[3], vel[3], bTerm, agom, thrust;
  int32_t satNum, rev, elset;
  char cls, intl[9], epoch[18], coord[6], l1[512], l2[512], o1[513], o2[513], msg[160];
  char in8[8], in17[17], in5[5];
  int64_t kf = 0, kf2 = 0, dup = -5;

  EXPECT(CI(F.KinemGetAllFields(k, pos, vel, &cls, &satNum, prime(intl, 8), prime(epoch, 17), &rev, &elset, &bTerm,
                                &agom, &thrust, prime(coord, 5)),
            0),
         CR(pos[0], 1674.2887), CR(pos[2], 6504.0481), CR(vel[0], -5600.2583), CR(vel[2], 2994.0476), CI(cls, 'S'),
         CI(satNum, 43013), CT(intl, 8, "98067Z"), CT(epoch, 17, "  18020214354.000"), CI(rev, 901), CI(elset, 999),
         CR(bTerm, 0.00387), CR(agom, 0.0015), CR(thrust, 0), CT(coord, 5, "TMDAT"));
  /* A key not loaded hands out zeros and blanks. */
  EXPECT(CI(F.KinemGetAllFields(NOKEY, pos, vel, &cls, &satNum, prime(intl, 8), prime(epoch, 17), &rev, &elset,
                                &bTerm, &agom, &thrust, prime(coord, 5)),
            2),
         CT(lastErr(), 128, notLoaded(msg, "KinemGetAllFields", NOKEY)), CR(pos[0], 0), CR(vel[2], 0),
         CI(cls, ' '), CI(satNum, 0), CT(intl, 8, ""), CT(epoch, 17, ""), CI(rev, 0), CI(elset, 0), CR(agom, 0),
         CT(coord, 5, ""));

  toText(l1, 512, kC1);
  EXPECT(CI(F.KinemParse(l1, toText(l2, 512, kC2), pos, vel, &cls, &satNum, prime(intl, 8), prime(epoch, 17), &rev,
                         &elset, &bTerm, &agom, &thrust, prime(coord, 5)),
            0),
         CR(pos[1], -2606.9575), CR(vel[1], 3873.0896), CI(cls, 'U'), CI(satNum, 43013), CT(intl, 8, "17073A"),
         CT(epoch, 17, "  18020214354.000"), CI(rev, 901), CI(elset, 999), CR(agom, 0.00241), CT(coord, 5, "TMDAT"));
  EXPECT(CI(F.KinemParse(l1, toText(l2, 512, kBad2), pos, vel, &cls, &satNum, prime(intl, 8), prime(epoch, 17),
                         &rev, &elset, &bTerm, &agom, &thrust, prime(coord, 5)),
            2),
         CR(pos[1], 0), CI(cls, ' '), CI(satNum, 0), CT(intl, 8, ""), CT(epoch, 17, ""), CI(rev, 0), CR(agom, 0),
         CT(coord, 5, ""));

  /* Fields to cards, and to a stored vector with the same cards. */
  toText(in8, 8, "99001A");
  toText(in17, 17, "18020000000.000");
  toText(in5, 5, "MMJ2K");
  F.KinemFieldsToLines(kPos, kVel, 'S', 11111, in8, in17, 12, 34, 0.0441, 0.0095, 0, in5, prime(o1, 512),
                       prime(o2, 512));
  EXPECT(CT(o1, 512, kF1), CT(o2, 512, kF2));
  F.KinemFieldsToLines(kPos, kFastVel, 'S', 11111, in8, in17, 12, 34, 0.0441, 0.0095, 0, in5, prime(o1, 512),
                       prime(o2, 512));
  EXPECT(CT(o1, 512, ""), CT(o2, 512, ""),
         CT(lastErr(), 128, "ValidateKinemValues: Invalid VelX = 2000000.0000000000 (valid=-1E6 to 1E6)"));
  kf = F.KinemAddSatFrFields(kPos, kVel, 'S', 11111, in8, in17, 12, 34, 0.0441, 0.0095, 0, in5);
  EXPECT(CI(kf > 0, 1), CI(F.KinemGetLines(kf, prime(o1, 512), prime(o2, 512)), 0), CT(o1, 512, kF1),
         CT(o2, 512, kF2));
  EXPECT(CI(F.KinemAddSatFrFields(kPos, kFastVel, 'S', 11112, in8, in17, 12, 34, 0.0441, 0.0095, 0, in5), -1),
         CT(lastErr(), 128, "ValidateKinemValues: Invalid VelX = 2000000.0000000000 (valid=-1E6 to 1E6)"));
  F.KinemAddSatFrFieldsML(kPos, kVel, 'S', 11111, in8, toText(in17, 17, "18021000000.000"), 12, 34, 0.0441, 0.0095,
                          0, in5, &kf2);
  EXPECT(CI(kf2 > 0 && kf2 != kf, 1), CI(F.KinemGetCount(), 3));
  F.KinemAddSatFrFieldsML(kPos, kVel, 'S', 11111, in8, in17, 12, 34, 0.0441, 0.0095, 0, in5, &dup);
  EXPECT(CI(dup, 0), CI(F.KinemGetCount(), 3)); /* the same vector again */

  /* An update keeps the number and the epoch; a refused one changes
   * nothing. */
  EXPECT(CI(F.KinemUpdateSatFrFields(kf, kPos, kVel, 'S', toText(in8, 8, "99001B"), 13, 35, 0.0441, 0.0095, 0,
                                     toText(in5, 5, "TMEPO")),
            0),
         CI(F.KinemGetLines(kf, prime(o1, 512), prime(o2, 512)), 0), CT(o1, 512, kF1), CT(o2, 512, kU2));
  EXPECT(CI(F.KinemUpdateSatFrFields(kf, kPos, kVel, 'S', in8, 13, 35, 0.0441, 0.0095, 0, toText(in5, 5, "TMXXX")),
            2),
         CT(lastErr(), 128,
            "ValidateKinemValues: Invalid vector coordinate system = TMXXX (valid=TMDAT/TMEPO/MMB50/MMJ2K or blanks)"),
         CI(F.KinemGetLines(kf, prime(o1, 512), prime(o2, 512)), 0), CT(o2, 512, kU2));
  EXPECT(CI(F.KinemUpdateSatFrFields(NOKEY, kPos, kVel, 'S', in8, 13, 35, 0.0441, 0.0095, 0, in5), 2),
         CT(lastErr(), 128, notLoaded(msg, "KinemUpdateSatFrFields", NOKEY)));
  return 0;
}

/* The array form and its conversions. */
static int arrays(int64_t k) {
  double arr[156], back[156];
  char text[513], text2[513], in[512], l1[512], l2[512], o1[513], o2[513], c1[513], c2[513], msg[160];
  int64_t kc = 0, kc2 = 0, dup = -5;
  int i;

  for (i = 0; i < 156; ++i) arr[i] = 7;
  EXPECT(CI(F.KinemGetLines(k, prime(c1, 512), prime(c2, 512)), 0), CI(c1[512], '#'), CI(c2[512], '#'));
  c1[512] = c2[512] = '\0'; /* the cards as they stand, to compare with */
  EXPECT(CI(F.KinemDataToArray(k, arr, prime(text, 512)), 0), CR(arr[0], 43013),
         CR(arr[1], 24857.0 + 78234.0 / 86400.0), CR(arr[2], 901), CR(arr[3], 999), CR(arr[4], 0.00387),
         CR(arr[5], 0.0015), CR(arr[6], 0), CR(arr[7], 1), CR(arr[8], 7), CR(arr[19], 7), CR(arr[20], 1674.2887),
         CR(arr[22], 6504.0481), CR(arr[23], -5600.2583), CR(arr[25], 2994.0476), CR(arr[26], 7), CR(arr[70], 7),
         CR(arr[71], 7), CR(arr[100], 7), CR(arr[154], 7), CR(arr[155], 7), CT(text, 512, "S98067Z"));
  /* The array gives back the cards it came from. */
  F.KinemArrayToLines(arr, text, prime(o1, 512), prime(o2, 512));
  EXPECT(CT(o1, 512, c1), CT(o2, 512, c2));
  toText(in, 512, "S98067Z");

  for (i = 0; i < 156; ++i) back[i] = 7;
  toText(l1, 512, kC1);
  EXPECT(CI(F.KinemLinesToArray(l1, toText(l2, 512, kC2), back, prime(text2, 512)), 0), CR(back[0], 43013),
         CR(back[1], arr[1]), CR(back[5], 0.00241), CR(back[7], 1), CR(back[21], -2606.9575), CR(back[24], 3873.0896),
         CR(back[70], 7), CT(text2, 512, "U17073A"));
  back[0] = 7;
  EXPECT(CI(F.KinemLinesToArray(l1, toText(l2, 512, kBad2), back, prime(text2, 512)), 2), CR(back[0], 7),
         CT(text2, 512, ""));

  /* Element 1 of -1 gives no cards. */
  back[0] = -1;
  F.KinemArrayToLines(back, in, prime(o1, 512), prime(o2, 512));
  EXPECT(CT(o1, 512, ""), CT(o2, 512, ""));

  /* An array with controls and a covariance, then one without. */
  arr[0] = 22222;
  arr[7] = 2;
  arr[70] = 1;
  for (i = 71; i < 89; ++i) arr[i] = i - 70; /* elements 72-89: 1 to 18 */
  arr[87] = 2;                               /* stepMode */
  arr[88] = 60.5;                            /* stepSize */
  for (i = 100; i < 155; ++i) arr[i] = (i - 99) * 1e-3;
  kc = F.KinemAddSatFrArray(arr, in);
  for (i = 0; i < 156; ++i) back[i] = 7;
  EXPECT(CI(kc > 0, 1), CI(F.KinemDataToArray(kc, back, prime(text2, 512)), 0), CR(back[0], 22222), CR(back[7], 2),
         CR(back[70], 7), CR(back[71], 1), CR(back[82], 12), CR(back[83], 7), CR(back[84], 14), CR(back[87], 2),
         CR(back[88], 60.5), CR(back[89], 7), CR(back[99], 7), CR(back[100], 1e-3), CR(back[154], 55e-3),
         CR(back[155], 7), CT(text2, 512, "S98067Z"));
  EXPECT(CI(F.KinemGetLines(kc, prime(o1, 512), prime(o2, 512)), 0),
         CT(o2, 512, "22222 98067Z    18020214354.000    901  999.003870000.001500000.000000000MMJ2K2P"));
  arr[0] = 22223;
  arr[70] = 0;
  F.KinemAddSatFrArrayML(arr, in, &kc2);
  for (i = 0; i < 156; ++i) back[i] = 7;
  EXPECT(CI(kc2 > 0 && kc2 != kc, 1), CI(F.KinemDataToArray(kc2, back, prime(text2, 512)), 0), CR(back[0], 22223),
         CR(back[71], 7), CR(back[100], 7));
  F.KinemAddSatFrArrayML(arr, in, &dup);
  EXPECT(CI(dup, 0));
  arr[0] = 22224;
  arr[20] = NAN;
  EXPECT(CI(F.KinemAddSatFrArray(arr, in), -1),
         CI(startsWith(lastErr(), "ValidateKinemValues: Invalid PosX = "), 1));
  arr[20] = 1674.2887;

  /* An update keeps the number and the epoch and drops the controls when
   * element 71 is not 1. */
  arr[0] = 99;
  arr[1] += 1;
  arr[3] = 77;
  EXPECT(CI(F.KinemUpdateSatFrArray(kc, arr, toText(in, 512, "C98067Y")), 0));
  for (i = 0; i < 156; ++i) back[i] = 7;
  EXPECT(CI(F.KinemDataToArray(kc, back, prime(text2, 512)), 0), CR(back[0], 22222), CR(back[1], arr[1] - 1),
         CR(back[3], 77), CR(back[71], 7), CR(back[100], 7), CT(text2, 512, "C98067Y"));
  arr[3] = 10000;
  EXPECT(CI(F.KinemUpdateSatFrArray(kc, arr, in), 2),
         CT(lastErr(), 128, "ValidateKinemValues: Invalid Element Set Number = 10000 (valid=0-9999)"),
         CI(F.KinemGetField(kc, 13, prime(o1, 512)), 0), CT(o1, 512, "77"));
  EXPECT(CI(F.KinemUpdateSatFrArray(NOKEY, arr, in), 2),
         CT(lastErr(), 128, notLoaded(msg, "KinemUpdateSatFrArray", NOKEY)));
  back[0] = 7;
  EXPECT(CI(F.KinemDataToArray(NOKEY, back, prime(text2, 512)), 2), CR(back[0], 7), CT(text2, 512, ""),
         CT(lastErr(), 128, notLoaded(msg, "KinemDataToArray", NOKEY)));

  /* Removal of one vector, twice. */
  EXPECT(CI(F.KinemRemoveSat(kc2), 0), CI(F.KinemRemoveSat(kc2), 2),
         CI(F.KinemGetLines(kc2, prime(o1, 512), prime(o2, 512)), 2));
  return 0;
}

/* A save and its reload give back every vector; a save into a missing
 * directory fails. */
static int saveAndReload(int64_t k) {
  char saved[] = "/tmp/kinem_host_XXXXXX", file[512], got[128], c1[513], c2[513], o1[513], o2[513], msg[160];
  int fd = mkstemp(saved), lines = 0, header = 0;
  int32_t count = F.KinemGetCount(), savedRc, loadedRc, emptied;
  FILE* f;
  EXPECT(CI(fd >= 0, 1), CI(count, 4), CI(F.KinemGetLines(k, prime(c1, 512), prime(c2, 512)), 0));
  c1[512] = c2[512] = '\0'; /* the cards as they stand, to compare with */
  close(fd);
  savedRc = F.KinemSaveFile(toText(file, 512, saved), 0);
  if ((f = fopen(saved, "r")) != NULL) {
    while (fgets(got, sizeof got, f))
      if (++lines == 4) header = strcmp(got, "*** Orbital Elements - SP Vectors ***\n") == 0;
    fclose(f);
  }
  emptied = F.KinemRemoveAllSats() == 0 && F.KinemGetCount() == 0;
  loadedRc = F.KinemLoadFile(file);
  remove(saved);
  EXPECT(CI(savedRc, 0), CI(lines, 4 + 2 * count), CI(header, 1), CI(emptied, 1), CI(loadedRc, 0),
         CI(F.KinemGetCount(), count), CI(F.KinemGetLines(k, prime(o1, 512), prime(o2, 512)), 0), CT(o1, 512, c1),
         CT(o2, 512, c2));
  snprintf(msg, sizeof msg, "KinemSaveFile: cannot open \"%s/none/x.vec\": ", saved);
  snprintf(got, sizeof got, "%s/none/x.vec", saved);
  EXPECT(CI(F.KinemSaveFile(toText(file, 512, got), 1), 2), CI(startsWith(lastErr(), msg), 1));
  EXPECT(CI(F.KinemRemoveAllSats(), 0), CI(F.KinemGetCount(), 0));
  return 0;
}

/* ---- DMA keys ---------------------------------------------------------------- */

/* In key mode 1 each library refuses the other's DMA keys. */
/* A refusal line of a removal: its words, a blank, the key in 19 columns. */
static const char* naming(char* out, const char* words, int64_t key) {
  sprintf(out, "%s %19lld", words, (long long)key);
  return out;
}

static int dmaKeys(void) {
  static const char* const kWrong = "RemoveDMA: This DMA object isn't a correct object.";
  static const char* const kDead = "RemoveDMA: /DMA doesn't exist or was already deallocated";
  static const char* const kBad = "RemoveNode: Invalid DMA key (<=0).";
  char l1[512], l2[512], o1[513], o2[513], in[512], want[128];
  int64_t tk, kk;
  int i;
  F.KernixSetElsetKeyMode(1);
  tk = F.TleAddSatFrLines(toText(l1, 512, kTle1), toText(l2, 512, kTle2));
  kk = F.KinemAddSatFrLines(toText(l1, 512, kC1), toText(l2, 512, kC2));
  EXPECT(CI(tk > 0, 1), CI(kk > 0, 1), CI(kk % 10, 0), CI(F.KinemGetSatKey(43013), kk),
         CI(F.KinemGetLines(kk, prime(o1, 512), prime(o2, 512)), 0), CT(o1, 512, kC1), CT(o2, 512, kC2),
         CI(F.KinemSetField(kk, 13, toText(in, 512, "5")), 0), CI(F.KinemGetField(kk, 13, prime(o1, 512)), 0),
         CT(o1, 512, "5"));
  EXPECT(CI(F.KinemRemoveSat(tk), 2), CT(lastErr(), 128, naming(want, kWrong, tk)), CI(F.KinemGetCount(), 1));
  EXPECT(CI(F.TleRemoveSat(kk), 2), CT(lastErr(), 128, naming(want, kWrong, kk)), CI(F.KinemGetCount(), 1));
  EXPECT(CI(F.KinemRemoveSat(kk), 0), CI(F.KinemGetCount(), 0),
         CI(F.KinemGetLines(kk, prime(o1, 512), prime(o2, 512)), 2), CT(o1, 512, ""), CI(F.TleRemoveSat(tk), 0));
  {
    /* Removed keys, removed again, and keys no DMA object can have: each
     * refusal names the key given. */
    const struct {
      int32_t (*remove)(int64_t);
      int64_t key;
      const char* words;
    } rows[] = {{F.KinemRemoveSat, kk, kDead}, {F.TleRemoveSat, tk, kDead}, {F.KinemRemoveSat, 0, kBad},
                {F.TleRemoveSat, 0, kBad},     {F.KinemRemoveSat, -10, kBad}, {F.TleRemoveSat, -10, kBad}};
    for (i = 0; i < (int)(sizeof rows / sizeof rows[0]); ++i) {
      gRow = i;
      EXPECT(CI(rows[i].remove(rows[i].key), 2), CT(lastErr(), 128, naming(want, rows[i].words, rows[i].key)));
    }
    gRow = -1;
  }
  F.KernixSetElsetKeyMode(0);
  return 0;
}

int main(int argc, char** argv) {
  char path[4096];
  void *kinem, *tle;
  int64_t key = 0;
  if (argc != 3) return fprintf(stderr, "usage: %s <lib dir> <data dir>\n", argv[0]), 1;
  signaturesMatchHeaders();
  snprintf(path, sizeof path, "%s/libkinem.so", argv[1]);
  kinem = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  snprintf(path, sizeof path, "%s/libtle.so", argv[1]);
  tle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!kinem || !tle) return fprintf(stderr, "%s\n", dlerror()), 1;
  if (resolveKinem(kinem, "libkinem") + resolveTle(tle, "libtle") > 0 || !headerListed(argv[2])) return 1;
  /* Internal routines stay hidden. */
  if (dlsym(kinem, "lines2kinem") || dlsym(kinem, "readonlykinems"))
    return fprintf(stderr, "libkinem exports internal routines\n"), 1;

  if (storeAndKeys(argv[2], &key) || singleFields(key) || twelveFields(key) || arrays(key) || saveAndReload(key) ||
      dmaKeys())
    return 1;
  dlclose(tle);
  dlclose(kinem);
  puts("kinem host: ok");
  return 0;
}
