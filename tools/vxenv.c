/*
 * vxenv: shows the Earth constants in force, after loading an environment
 * file when one is named.
 *
 *   vxenv [FILE]      vxenv help | --help | --version
 *
 * Prints the current geopotential set, the sidereal-time set, the earth
 * shape and every constant of both sets, each in the shortest form that
 * reads back as the same double. Before the library reads FILE, the tool
 * reads it too and warns on stderr about lines the library would ignore or
 * values it would replace by its default (an unknown geopotential name
 * gives WGS-72, an unknown FK name FK5); the library's reading is not
 * changed. Exit status 0 (warnings included); 1 usage; 2 when FILE cannot
 * be read.
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "veltrix/ambit.h"
#include "veltrix/kernix.h"
#include "vxtool.h"

#define FILE_NAME_LEN 512
#define GEO_STR_LEN 6
#define MSG_LEN 128

static const char* const geoConstNames[13] = {
    "flattening",     "j2",  "j3",        "j4",  "ke",
    "radiuskm",       "earthrate (rad/min)", "ck2", "ck4", "velocityscale",
    "earthratecanon", "j5",  "mu (km^3/s^2)",
};

static const char* const fkConstNames[3] = {"siderealrate", "siderealquad", "siderealangle1970"};

static void usage(FILE* out) {
  fprintf(out,
          "usage: vxenv [FILE]        vxenv help | --help | --version\n"
          "Loads the environment file FILE when given, then prints the current\n"
          "geopotential and FK constant sets and every constant of them, each in\n"
          "the shortest form that reads back as the same value. Lines of FILE the\n"
          "library would ignore, and names it would replace by its default, are\n"
          "warned about on stderr.\n"
          "Exit status: 0 success (warnings included); 1 usage; 2 FILE cannot be read.\n");
}

/* Length of text without trailing blanks. */
static size_t trimmedLength(const char* text, size_t len) {
  while (len > 0 && text[len - 1] == ' ') --len;
  return len;
}

static int upper(int c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

/* Whether text begins with word. */
static int startsWith(const char* text, const char* word) { return strncmp(text, word, strlen(word)) == 0; }

/* Whether the library knows value as a geopotential set: its first 6
 * characters, upper-cased and blank padded, are one of the names below. */
static int isKnownGeo(const char* value) {
  static const char* const names[] = {"2",     "5",     "68",    "72",    "8",     "84",   "9",
                                      "96",    "EGM-08", "EGM-96", "EGM08", "EGM96", "GEM5", "GEM9",
                                      "JGM-2", "JGM2",  "SEM68R", "WGS-72", "WGS-84", "WGS72", "WGS84"};
  char head[7];
  size_t i, n = strlen(value);
  if (n > 6) n = 6;
  for (i = 0; i < n; ++i) head[i] = (char)upper((unsigned char)value[i]);
  head[n] = '\0';
  while (n > 0 && head[n - 1] == ' ') head[--n] = '\0';
  for (i = 0; i < sizeof names / sizeof names[0]; ++i)
    if (strcmp(head, names[i]) == 0) return 1;
  return 0;
}

/* The value of a card as written: the text after its first "=", without
 * the blanks around it; "" without an "=". */
static void cardValue(const char* line, char* value, size_t cap) {
  const char* eq = strchr(line, '=');
  size_t n;
  value[0] = '\0';
  if (!eq) return;
  ++eq;
  while (*eq == ' ' || *eq == '\t') ++eq;
  n = strlen(eq);
  while (n > 0 && (eq[n - 1] == ' ' || eq[n - 1] == '\t')) --n;
  if (n >= cap) n = cap - 1;
  memcpy(value, eq, n);
  value[n] = '\0';
}

/* Reads path as the library will and warns on stderr about every line it
 * would ignore and every name it would replace by its default. Returns the
 * number of warnings. */
static int prescan(const char* path) {
  char line[FILE_NAME_LEN + 2], up[FILE_NAME_LEN + 2], value[FILE_NAME_LEN + 2];
  long lineNo = 0;
  int warnings = 0;
  FILE* f = fopen(path, "rb");
  if (!f) return 0; /* the library says why */
  while (fgets(line, sizeof line, f)) {
    size_t n = strlen(line), i;
    int blank = 1;
    ++lineNo;
    if (n > 0 && line[n - 1] != '\n' && !feof(f)) {
      int c; /* the library reads 512 characters of a line */
      while ((c = fgetc(f)) != EOF && c != '\n') {
      }
    }
    while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = '\0';
    if (n > FILE_NAME_LEN) line[n = FILE_NAME_LEN] = '\0';
    for (i = 0; i < n; ++i) {
      up[i] = (char)upper((unsigned char)line[i]);
      if (line[i] != ' ') blank = 0;
    }
    up[n] = '\0';
    if (line[0] == '*' || blank) continue;
    cardValue(line, value, sizeof value);
    if (startsWith(up, "GEOCONST") || startsWith(up, "BCONST")) {
      if (strcmp(value, "SPECTR") != 0 && !isKnownGeo(value)) {
        fprintf(stderr, "vxenv: %s:%ld: warning: unknown geopotential set \"%s\"; the library uses WGS-72\n", path,
                lineNo, value);
        ++warnings;
      }
    } else if (startsWith(up, "FKCONST")) {
      for (i = 0; value[i]; ++i) value[i] = (char)upper((unsigned char)value[i]);
      if (strcmp(value, "FK4") != 0 && strcmp(value, "4") != 0 && strcmp(value, "FK5") != 0 &&
          strcmp(value, "5") != 0) {
        fprintf(stderr, "vxenv: %s:%ld: warning: unknown FK set \"%s\"; the library uses FK5\n", path, lineNo, value);
        ++warnings;
      }
    } else if (!startsWith(up, "OBLATEEARTH") && !startsWith(up, "SPHERICALEARTH")) {
      size_t k = strcspn(line, "=");
      while (k > 0 && line[k - 1] == ' ') --k;
      fprintf(stderr, "vxenv: %s:%ld: warning: unknown key \"%.*s\"; the library ignores the line\n", path, lineNo,
              (int)(k > 40 ? 40 : k), line);
      ++warnings;
    }
  }
  fclose(f);
  return warnings;
}

static int loadFile(const char* path) {
  char name[FILE_NAME_LEN];
  char msg[MSG_LEN + 1];
  size_t len = strlen(path);
  int32_t rc;
  if (len == 0 || len >= FILE_NAME_LEN) {
    fprintf(stderr, "vxenv: the file name must have 1 to %d characters\n", FILE_NAME_LEN - 1);
    return 1;
  }
  memset(name, ' ', sizeof name);
  memcpy(name, path, len);
  rc = EnvLoadFile(name);
  if (rc != VX_OK) {
    KernixGetLastErrMsg(msg);
    msg[MSG_LEN] = '\0';
    len = trimmedLength(msg, MSG_LEN);
    if (len > 0)
      fprintf(stderr, "vxenv: %.*s\n", (int)len, msg);
    else
      fprintf(stderr, "vxenv: cannot read environment file \"%s\" (code %ld)\n", path, (long)rc);
    return 2;
  }
  prescan(path);
  return 0;
}

/* The shortest %g form of v that reads back as v. */
static const char* shortest(double v, char* buf, size_t cap) {
  int p;
  for (p = 1; p <= 17; ++p) {
    snprintf(buf, cap, "%.*g", p, v);
    if (strtod(buf, NULL) == v) break;
  }
  return buf;
}

static void printConstants(void) {
  char geoStr[GEO_STR_LEN + 1];
  char num[40];
  int32_t i;
  EnvGetGeoStr(geoStr);
  geoStr[GEO_STR_LEN] = '\0';
  printf("Geopotential set: %ld %.*s\n", (long)EnvGetGeoIdx(), (int)trimmedLength(geoStr, GEO_STR_LEN), geoStr);
  printf("FK set: %ld FK%ld\n", (long)EnvGetFkIdx(), (long)EnvGetFkIdx());
  printf("Earth shape: %s\n", EnvGetEarthShape() ? "oblate" : "spherical");
  printf("Geopotential constants:\n");
  for (i = 1; i <= 13; ++i)
    printf("  %2ld %-20s %s\n", (long)i, geoConstNames[i - 1], shortest(EnvGetGeoConst(i), num, sizeof num));
  printf("FK constants:\n");
  for (i = 1; i <= 3; ++i)
    printf("  %2ld %-20s %s\n", (long)i, fkConstNames[i - 1], shortest(EnvGetFkConst(i), num, sizeof num));
}

static int run(int argc, char** argv) {
  if (argc > 2) {
    usage(stderr);
    return 1;
  }
  if (argc == 2) {
    if (strcmp(argv[1], "-h") == 0 || strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "help") == 0) {
      usage(stdout);
      return 0;
    }
    if (strcmp(argv[1], "--version") == 0) {
      char info[MSG_LEN + 1];
      EnvGetInfo(info);
      printf("vxenv: %.*s\n", (int)trimmedLength(info, MSG_LEN), info);
      return 0;
    }
    if (argv[1][0] == '-') {
      fprintf(stderr, "vxenv: unknown option %s\n", argv[1]);
      usage(stderr);
      return 1;
    }
    {
      int rc = loadFile(argv[1]);
      if (rc != 0) return rc;
    }
  }
  printConstants();
  return 0;
}

/* Everything written to stdout is checked once the command is done. */
int main(int argc, char** argv) {
  int rc = run(argc, argv);
  return vxFinishOutput("vxenv") != 0 ? 2 : rc;
}
