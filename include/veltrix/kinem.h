/*
 * kinem: state vectors held in process memory.
 *
 * Conventions (see also kernix.h and tle.h, whose rules hold here too):
 *  1. Texts are char buffers of 512 characters unless stated otherwise.
 *     Input texts end at their first NUL or at their length; output texts
 *     are written blank-padded to their length with no terminating NUL.
 *  2. satKey (int64_t) names one loaded state vector. As the result of an
 *     add: positive on success, 0 for a duplicate reported under duplicate
 *     mode 0 (KernixSetDupKeyMode), the existing key under other modes, -1
 *     on failure.
 *  3. Status results: 0 success, 2 failure or not found.
 *  4. Every failure writes one line to the kernix trace log
 *     (KernixGetLastErrMsg gives the last one written by the calling thread).
 *  5. An "ML" variant hands its 64-bit result back through its last argument.
 *  6. Any thread may call any function. Readers run side by side; adds,
 *     updates and removals run one at a time; a field update reads, changes
 *     and writes the vector in one step. The state-vector store is separate
 *     from the TLE store: a host may read element sets while vectors are
 *     added.
 *  7. DMA keys (key mode 1) are ten times the address of the vector's holder
 *     object, as in tle.h: only the exact key reaches a vector, the key of a
 *     removed vector is refused until 65,536 more DMA objects of the family
 *     have been released, and a TLE DMA key given here (or the reverse) is
 *     refused with "RemoveDMA: This DMA object isn't a correct object.".
 *
 * A state vector is position (km) and velocity (m/s) at an epoch, with the
 * satellite's number, classification, designator, revolution and element
 * set numbers, drag term bTerm (m^2/kg), radiation-pressure term agom
 * (m^2/kg), in-track thrust thrustAcc (km/s^2) and coordinate system
 * ("TMDAT", "TMEPO", "MMB50", "MMJ2K" or blanks). It travels as two
 * 80-column cards, 1P and 2P.
 */
#ifndef VELTRIX_KINEM_H
#define VELTRIX_KINEM_H

#include <stdint.h>

#include "kernix.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Lifecycle ---------------------------------------------------------- */
/* Returns 0; the library needs no set-up. */
VX_API int32_t KinemInit(void);
/* Identification text, blank padded to 128 characters. */
VX_API void KinemGetInfo(char infoStr[128]);

/* ---- Adding, finding, listing, fetching, removing ---------------------- */
VX_API int64_t KinemAddSatFrLines(const char line1[512], const char line2[512]);
VX_API void KinemAddSatFrLinesML(const char line1[512], const char line2[512], int64_t* satKey);
/* 0 removed; 2 not loaded or a DMA key that is not a live vector (logged). */
VX_API int32_t KinemRemoveSat(int64_t satKey);
VX_API int32_t KinemRemoveAllSats(void);
VX_API int32_t KinemGetCount(void);
/* order: 0 by satellite number, then epoch; 1 the reverse; 2 load order;
 * other values ascending satKey. satKeys needs room for KinemGetCount()
 * entries, so no other thread may add between that count and this call;
 * where writers may run, use KinemGetLoadedN. */
VX_API void KinemGetLoaded(int32_t order, int64_t* satKeys);
/* The same into an array of capacity keys: writes the first
 * min(capacity, number loaded) keys of the order and returns how many it
 * wrote; *total (may be NULL) receives the number loaded, counted together
 * with the keys. Never writes past capacity. -1 (logged) for a negative
 * capacity, a NULL array with a capacity above 0, or no memory to sort. */
VX_API int32_t KinemGetLoadedN(int32_t order, int32_t capacity, int64_t* satKeys, int32_t* total);
/* Key of the first vector of satNum the store's search meets; -1 (logged)
 * when none is loaded. */
VX_API int64_t KinemGetSatKey(int32_t satNum);
VX_API void KinemGetSatKeyML(int32_t satNum, int64_t* satKey);
/* The key a vector of these fields is stored under in tree mode; nothing is
 * looked up. epochDtg: 20 characters, left-adjusted, blanks in positions
 * 3-20 read as "0". -1 (logged) when no key can be made. */
VX_API int64_t KinemFieldsToSatKey(int32_t satNum, const char epochDtg[20]);
VX_API void KinemFieldsToSatKeyML(int32_t satNum, const char epochDtg[20], int64_t* satKey);
/* The 1P and 2P cards of a loaded vector; 2 (logged) when not loaded. */
VX_API int32_t KinemGetLines(int64_t satKey, char line1[512], char line2[512]);

/* ---- Files -------------------------------------------------------------- */
VX_API int32_t KinemLoadFile(const char kinemFile[512]);
/* saveMode: 0 create or replace, other append. Vectors are saved as 1P/2P
 * cards. */
VX_API int32_t KinemSaveFile(const char kinemFile[512], int32_t saveMode);

/* ---- Field access and arrays -------------------------------------------- */

#ifdef __cplusplus
}
#endif

#endif /* VELTRIX_KINEM_H */
