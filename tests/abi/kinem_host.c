/* A C99 host that loads the state-vector library at run time, as a script
 * through a foreign-function interface would, and uses only the public
 * header's types: load the sample vectors, look one up, read its cards
 * back, save them. */
#define _POSIX_C_SOURCE 200809L
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "veltrix/kinem.h"

#define CHECK(cond)                                                      \
  do {                                                                   \
    if (!(cond)) {                                                       \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
      return 1;                                                          \
    }                                                                    \
  } while (0)

typedef int32_t (*LoadFn)(const char*);
typedef int32_t (*SaveFn)(const char*, int32_t);
typedef int32_t (*CountFn)(void);
typedef int64_t (*SatKeyFn)(int32_t);
typedef int64_t (*FieldsKeyFn)(int32_t, const char*);
typedef int32_t (*LinesFn)(int64_t, char*, char*);
typedef int32_t (*LoadedNFn)(int32_t, int32_t, int64_t*, int32_t*);
typedef void (*InfoFn)(char*);

/* Copies s into a library text buffer of len, blank padded, no NUL. */
static void toText(char* out, size_t len, const char* s) {
  size_t n = strlen(s);
  if (n > len) n = len;
  memset(out, ' ', len);
  memcpy(out, s, n);
}

int main(int argc, char** argv) {
  char path[4096], file[513], l1[513], l2[513], info[129], epoch[21];
  void* lib;
  LoadFn load;
  SaveFn save;
  CountFn count;
  SatKeyFn satKey;
  FieldsKeyFn fieldsKey;
  LinesFn lines;
  LoadedNFn loadedN;
  InfoFn lastInfo;
  int64_t key, keys[3] = {0, 0, -7};
  int32_t total = 0;
  CHECK(argc == 3);
  snprintf(path, sizeof path, "%s/libkinem.so", argv[1]);
  lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!lib) fprintf(stderr, "%s\n", dlerror());
  CHECK(lib != NULL);
  load = (LoadFn)(uintptr_t)dlsym(lib, "KinemLoadFile");
  save = (SaveFn)(uintptr_t)dlsym(lib, "KinemSaveFile");
  count = (CountFn)(uintptr_t)dlsym(lib, "KinemGetCount");
  satKey = (SatKeyFn)(uintptr_t)dlsym(lib, "KinemGetSatKey");
  fieldsKey = (FieldsKeyFn)(uintptr_t)dlsym(lib, "KinemFieldsToSatKey");
  lines = (LinesFn)(uintptr_t)dlsym(lib, "KinemGetLines");
  loadedN = (LoadedNFn)(uintptr_t)dlsym(lib, "KinemGetLoadedN");
  lastInfo = (InfoFn)(uintptr_t)dlsym(lib, "KernixGetLastInfoMsg"); /* reached through libkinem's needs */
  CHECK(load && save && count && satKey && fieldsKey && lines && loadedN);
  /* Internal routines stay hidden. */
  CHECK(dlsym(lib, "lines2kinem") == NULL);
  CHECK(dlsym(lib, "readonlykinems") == NULL);

  snprintf(path, sizeof path, "%s/vectors-sample.vec", argv[2]);
  toText(file, 512, path);
  file[512] = 'X'; /* a byte past the stated length is never read */
  CHECK(load(file) == 0);
  CHECK(count() == 8);
  if (lastInfo) {
    info[128] = '\0';
    lastInfo(info);
    CHECK(strncmp(info, "Total Kinems = 8, Loaded = 8, Dup = 0, Bad = 0", 46) == 0);
  }
  key = satKey(43013);
  CHECK(key > 0);
  toText(epoch, 20, "18020214354.000");
  epoch[20] = 'X';
  CHECK(fieldsKey(43013, epoch) == key); /* tree keys by default */
  l1[512] = l2[512] = '#';
  CHECK(lines(key, l1, l2) == 0);
  CHECK(l1[512] == '#' && l2[512] == '#'); /* nothing written past 512 */
  CHECK(strncmp(l1, "   1674.2887  -2606.9575   6504.0481   -5600.2583    3873.0896    2994.0476 UB1P", 80) == 0);
  CHECK(strncmp(l2, "43013 17073A    18020214354.000    901  999.003870000.002410000.000000000TMDAT2P", 80) == 0);
  CHECK(l1[80] == ' ' && l1[511] == ' ');
  /* A listing never writes past its capacity. */
  CHECK(loadedN(0, 2, keys, &total) == 2);
  CHECK(total == 8 && keys[2] == -7);

  /* Saved to a scratch file: the header, then two cards per vector. */
  {
    char saved[] = "/tmp/kinem_host_XXXXXX";
    char got[128];
    int fd = mkstemp(saved), n = 0;
    FILE* f;
    CHECK(fd >= 0);
    close(fd);
    toText(file, 512, saved);
    CHECK(save(file, 0) == 0);
    f = fopen(saved, "r");
    CHECK(f != NULL);
    while (fgets(got, sizeof got, f)) ++n;
    fclose(f);
    remove(saved);
    CHECK(n == 4 + 2 * 8);
  }
  dlclose(lib);
  puts("kinem host: ok");
  return 0;
}
