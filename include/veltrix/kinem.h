/*
 * kinem: state vectors held in process memory.
 *
 * The library is a shell for now: it loads, links against its siblings and
 * answers the lifecycle calls below. Conventions are those of kernix.h.
 */
#ifndef VELTRIX_KINEM_H
#define VELTRIX_KINEM_H

#include <stdint.h>

#include "kernix.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Returns 0; the library needs no set-up. */
VX_API int32_t KinemInit(void);
/* Identification text, blank padded to 128 characters. */
VX_API void KinemGetInfo(char infoStr[128]);

#ifdef __cplusplus
}
#endif

#endif /* VELTRIX_KINEM_H */
