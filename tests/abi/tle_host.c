/* A C99 host that loads the TLE library at run time, as a script through a
 * foreign-function interface would, and uses only the public header's
 * types and codes: load the sample catalog, look an element set up, read it
 * back; tell a missing file from other failed opens by the codes. */
#include <dlfcn.h>
#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "veltrix/tle.h"

/* The codes' values are fixed. C99 has no static assertion: an array of
 * negative size stops the build. */
#define FIXED(name, value) typedef char fixed_##name[(name) == (value) ? 1 : -1]
FIXED(VX_OK, 0);
FIXED(VX_WRONG_KIND, 1);
FIXED(VX_FAIL, 2);
FIXED(VX_KEY_DUP, 0);
FIXED(VX_KEY_FAIL, -1);
FIXED(VX_FILE_BAD_UNIT, 9001);
FIXED(VX_FILE_NO_NAME, 9002);
FIXED(VX_FILE_BAD_MODE, 9003);
FIXED(VX_FILE_DIRECTORY, 9004);
FIXED(VX_FILE_DEVICE, 9005);
FIXED(VX_FILE_UNIT_OPEN, 9006);
FIXED(VX_KEY_MODE_TREE, 0);
FIXED(VX_KEY_MODE_DMA, 1);
FIXED(VX_DUP_REPORT, 0);
FIXED(VX_DUP_SILENT, 1);
FIXED(VX_ORDER_SATNUM, 0);
FIXED(VX_ORDER_SATNUM_DESC, 1);
FIXED(VX_ORDER_LOAD, 2);
FIXED(VX_ORDER_KEY, 3);
FIXED(VX_SAVE_CREATE, 0);
FIXED(VX_SAVE_APPEND, 1);
FIXED(VX_SAVE_LINES, 0);
FIXED(VX_SAVE_CSV, 1);

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
typedef int32_t (*GetFn)(void);
typedef void (*ClearFn)(void);

/* name, blank padded to 512 characters. */
static const char* padded(char* buf, const char* name) {
  size_t n = strlen(name);
  memset(buf, ' ', 512);
  memcpy(buf, name, n < 512 ? n : 512);
  return buf;
}

typedef int32_t (*EachFn)(const char*, TleLoadFn, void*);
typedef int32_t (*LayoutFn)(int32_t, int32_t*, char*, int32_t*);
typedef int32_t (*RemoveAllFn)(void);

/* Counts the sets a load reports, and the loaded ones. */
struct Tally {
  int32_t sets, loaded, lastLine, secondNext;
};
static void tally(int32_t lineNum, int32_t lineNum2, int64_t satKey, int32_t status, const char* msg, int32_t msgLen, void* user) {
  struct Tally* t = (struct Tally*)user;
  (void)msg;
  ++t->sets;
  if (status == 0 && satKey > 0 && msgLen == 0) ++t->loaded;
  if (lineNum > t->lastLine) t->lastLine = lineNum;
  if (lineNum2 == lineNum + 1) ++t->secondNext; /* the catalog's pairs are adjacent */
}

int main(int argc, char** argv) {
  char path[4096], file[513], l1[513], l2[513], info[129];
  void* lib;
  LoadFn load;
  CountFn count;
  SatKeyFn satKey;
  LinesFn lines;
  InfoFn lastInfo;
  GetFn lastOpenErr;
  ClearFn clearOpenErr;
  EachFn each;
  RemoveAllFn removeAll;
  struct Tally t = {0, 0, 0, 0};
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
  lastOpenErr = (GetFn)(uintptr_t)dlsym(lib, "KernixGetLastOpenErr");
  clearOpenErr = (ClearFn)(uintptr_t)dlsym(lib, "KernixClearLastOpenErr");
  each = (EachFn)(uintptr_t)dlsym(lib, "TleLoadFileEach");
  removeAll = (RemoveAllFn)(uintptr_t)dlsym(lib, "TleRemoveAllSats");
  CHECK(load && count && satKey && lines && lastOpenErr && clearOpenErr && each && removeAll && layout);
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
  /* The same load again, told of every set: each one a duplicate now, then
   * every one loaded into an empty store. */
  CHECK(each(file, tally, &t) == 0);
  CHECK(t.sets == 979 && t.loaded == 0);
  CHECK(removeAll() == 0);
  t.sets = t.loaded = t.secondNext = 0;
  CHECK(each(file, tally, &t) == 0);
  CHECK(t.sets == 979 && t.loaded == 979 && t.lastLine > 979 && t.secondNext == 979);

  /* A missing file: the status is the system's ENOENT, the value of
   * VX_FAIL, and so is the last open error, which a later good load leaves
   * and a clear resets. The named codes of the open come the same way. */
  clearOpenErr();
  CHECK(lastOpenErr() == VX_OK);
  snprintf(path, sizeof path, "%s/no-such-file.tle", argv[2]);
  CHECK(load(padded(file, path)) == ENOENT && lastOpenErr() == ENOENT);
  snprintf(path, sizeof path, "%s/catalog-2018.tle", argv[2]);
  CHECK(load(padded(file, path)) == VX_OK && lastOpenErr() == ENOENT);
  clearOpenErr();
  CHECK(lastOpenErr() == VX_OK);
  CHECK(load(padded(file, argv[2])) == VX_FILE_DIRECTORY && lastOpenErr() == VX_FILE_DIRECTORY);
  CHECK(load(padded(file, "")) == VX_FILE_NO_NAME && lastOpenErr() == VX_FILE_NO_NAME);
  CHECK(load(padded(file, "/dev/zero")) == VX_FILE_DEVICE && lastOpenErr() == VX_FILE_DEVICE);
  clearOpenErr();

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
