/* A C99 host that loads the TLE library at run time, as a script through a
 * foreign-function interface would, and uses only the public header's
 * types: load the sample catalog, look an element set up, read it back. */
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "veltrix/tle.h"

#define CHECK(cond)                                              \
  do {                                                           \
    if (!(cond)) {                                               \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
      return 1;                                                  \
    }                                                            \
  } while (0)

typedef int32_t (*LoadFn)(const char*);
typedef int32_t (*CountFn)(void);
typedef int64_t (*SatKeyFn)(int32_t);
typedef int32_t (*LinesFn)(int64_t, char*, char*);
typedef void (*InfoFn)(char*);
typedef int32_t (*LayoutFn)(int32_t, int32_t*, char*, int32_t*);

int main(int argc, char** argv) {
  char path[4096], file[513], l1[513], l2[513], info[129];
  void* lib;
  LoadFn load;
  CountFn count;
  SatKeyFn satKey;
  LinesFn lines;
  InfoFn lastInfo;
  LayoutFn layout;
  int32_t elements[3], isInteger[3];
  char names[3 * 16 + 1];
  int64_t key;
  CHECK(argc == 3);
  snprintf(path, sizeof path, "%s/libtle.so", argv[1]);
  lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!lib) fprintf(stderr, "%s\n", dlerror());
  CHECK(lib != NULL);
  load = (LoadFn)(uintptr_t)dlsym(lib, "TleLoadFile");
  count = (CountFn)(uintptr_t)dlsym(lib, "TleGetCount");
  satKey = (SatKeyFn)(uintptr_t)dlsym(lib, "TleGetSatKey");
  lines = (LinesFn)(uintptr_t)dlsym(lib, "TleGetLines");
  lastInfo = (InfoFn)(uintptr_t)dlsym(lib, "KernixGetLastInfoMsg"); /* reached through libtle's needs */
  layout = (LayoutFn)(uintptr_t)dlsym(lib, "TleGetArrayLayout");
  CHECK(load && count && satKey && lines && layout);
  /* Internal routines stay hidden. */
  CHECK(dlsym(lib, "lines2tle") == NULL);

  memset(file, ' ', 512);
  snprintf(file, sizeof file, "%s/catalog-2018.tle", argv[2]);
  file[strlen(file)] = ' '; /* blank padded, no NUL inside the 512 */
  file[512] = 'X';          /* a byte past the stated length is never read */
  CHECK(load(file) == 0);
  CHECK(count() == 979);
  if (lastInfo) {
    info[128] = '\0';
    lastInfo(info);
    CHECK(strncmp(info, "Total TLEs = 979, Loaded = 979, Dup = 0, Bad = 0", 48) == 0);
  }
  key = satKey(43013);
  CHECK(key > 0);
  l1[512] = l2[512] = '#';
  CHECK(lines(key, l1, l2) == 0);
  CHECK(l1[512] == '#' && l2[512] == '#'); /* nothing written past 512 */
  CHECK(strncmp(l1, "1 43013U 17073A   18020.90595486 -.00000036  00000 0  37063-5 0 0999", 68) == 0);
  CHECK(strncmp(l2, "2 43013  98.7126 321.4710 0000893  65.9680 294.1589 14.1954972700901", 68) == 0);
  /* The array layout: two columns asked for, nothing written past them. */
  elements[2] = isInteger[2] = -1;
  names[32] = '#';
  CHECK(layout(2, elements, names, isInteger) == 14);
  CHECK(elements[0] == 1 && isInteger[0] == 1 && strncmp(names, "satnum          ", 16) == 0);
  CHECK(elements[1] == 2 && isInteger[1] == 0 && strncmp(names + 16, "epoch           ", 16) == 0);
  CHECK(elements[2] == -1 && isInteger[2] == -1 && names[32] == '#');
  dlclose(lib);
  puts("tle host: ok");
  return 0;
}
