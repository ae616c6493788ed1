/* A host built against an installed tree: loads the catalog it is given,
 * prints the element set of satellite 25544, then the log line of a lookup
 * that fails (a kernix call, reached through the tle library's interface),
 * then whether that set propagates (orbix, reached the same way). */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "veltrix/tle.h"

int main(int argc, char** argv) {
  char file[512] = {0}, l1[513] = {0}, l2[513] = {0}, msg[129] = {0};
  if (argc != 2 || strlen(argv[1]) >= sizeof file) return 2;
  strcpy(file, argv[1]);
  if (TleLoadFile(file) != 0) return 1;
  int64_t key = TleGetSatKey(25544);
  if (key <= 0 || TleGetLines(key, l1, l2) != 0) return 1;
  printf("%d sets\n%.69s\n%.69s\n", TleGetCount(), l1, l2);
  if (TleGetSatKey(99999) != -1) return 1;
  KernixGetLastErrMsg(msg);
  printf("%s\n", msg[0] != ' ' && msg[0] != '\0' ? "logged" : "nothing logged");
  {
    double t = 60.0, pos[3], vel[3];
    int32_t status = 0, err = -1;
    OrbixSnapshot* snap = TleSnapshot(&key, 1, 0, 0, &status);
    if (snap == NULL || OrbixPropagate(snap, 0, 1, &t, 1, 0, 0, pos, vel, &err) != 0) return 1;
    OrbixSnapshotFree(snap);
    printf("propagated: code %d\n", (int)err);
  }
  return 0;
}
