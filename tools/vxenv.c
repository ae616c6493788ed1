/*
 * vxenv: shows the Earth constants in force, after loading an environment
 * file when one is named.
 *
 *   vxenv [FILE]
 *
 * Prints the current geopotential set, the sidereal-time set, the earth
 * shape and every constant of both sets (17 significant digits). Exit
 * status 0; 1 when FILE cannot be read; 2 for bad arguments.
 */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "veltrix/ambit.h"
#include "veltrix/kernix.h"

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
          "usage: vxenv [FILE]\n"
          "Loads the environment file FILE when given, then prints the current\n"
          "geopotential and FK constant sets and every constant of them.\n");
}

/* Length of text without trailing blanks. */
static size_t trimmedLength(const char* text, size_t len) {
  while (len > 0 && text[len - 1] == ' ') --len;
  return len;
}

static int loadFile(const char* path) {
  char name[FILE_NAME_LEN];
  char msg[MSG_LEN + 1];
  size_t len = strlen(path);
  int32_t rc;
  if (len == 0 || len >= FILE_NAME_LEN) {
    fprintf(stderr, "vxenv: the file name must have 1 to %d characters\n", FILE_NAME_LEN - 1);
    return 2;
  }
  memset(name, ' ', sizeof name);
  memcpy(name, path, len);
  rc = EnvLoadFile(name);
  if (rc != 0) {
    fprintf(stderr, "vxenv: cannot read environment file \"%s\" (code %ld)\n", path, (long)rc);
    KernixGetLastErrMsg(msg);
    msg[MSG_LEN] = '\0';
    len = trimmedLength(msg, MSG_LEN);
    if (len > 0) fprintf(stderr, "vxenv: %.*s\n", (int)len, msg);
    return 1;
  }
  return 0;
}

static void printConstants(void) {
  char geoStr[GEO_STR_LEN + 1];
  int32_t i;
  EnvGetGeoStr(geoStr);
  geoStr[GEO_STR_LEN] = '\0';
  printf("Geopotential set: %ld %.*s\n", (long)EnvGetGeoIdx(), (int)trimmedLength(geoStr, GEO_STR_LEN), geoStr);
  printf("FK set: %ld FK%ld\n", (long)EnvGetFkIdx(), (long)EnvGetFkIdx());
  printf("Earth shape: %s\n", EnvGetEarthShape() ? "oblate" : "spherical");
  printf("Geopotential constants:\n");
  for (i = 1; i <= 13; ++i) printf("  %2ld %-20s %.17g\n", (long)i, geoConstNames[i - 1], EnvGetGeoConst(i));
  printf("FK constants:\n");
  for (i = 1; i <= 3; ++i) printf("  %2ld %-20s %.17g\n", (long)i, fkConstNames[i - 1], EnvGetFkConst(i));
}

int main(int argc, char** argv) {
  if (argc > 2) {
    usage(stderr);
    return 2;
  }
  if (argc == 2) {
    if (strcmp(argv[1], "-h") == 0 || strcmp(argv[1], "--help") == 0) {
      usage(stdout);
      return 0;
    }
    if (argv[1][0] == '-') {
      fprintf(stderr, "vxenv: unknown option %s\n", argv[1]);
      usage(stderr);
      return 2;
    }
    {
      int rc = loadFile(argv[1]);
      if (rc != 0) return rc;
    }
  }
  printConstants();
  return fflush(stdout) == 0 ? 0 : 1;
}
