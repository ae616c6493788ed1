/* vxtle propagate: the states of one element set over a span of times. */
#ifndef VXTLE_PROPAGATE_H
#define VXTLE_PROPAGATE_H

#include <stdint.h>

/* Prints the states of the set of key (satellite satNum, loaded from file)
 * from time from to time to every step minutes, as a table or as JSON
 * (json 1). Returns the exit status: 0, 1 for a bad time or step, 2 when a
 * time failed (each failure on stderr) or the library refused the call. */
int vxtlePropagate(const char* file, long satNum, int64_t key, const char* from, const char* to, const char* step,
                   int json);

#endif /* VXTLE_PROPAGATE_H */
