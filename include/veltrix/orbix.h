/*
 * orbix: positions and velocities of element sets by the SGP4/SDP4 orbit
 * model (SDP4 for periods of 225 minutes or more).
 *
 * A host builds a snapshot from element values once; initialising the sets
 * is done then, so every propagation pays only the propagation. Positions
 * are km and velocities km/s in the true-equator mean-equinox frame.
 *
 * Conventions (those of kernix.h, plus):
 *  1. Status results: VX_OK success; VX_FAIL bad arguments (a null pointer,
 *     a negative count, a range outside the snapshot, an unknown mode),
 *     with one line in the kernix trace log naming the function, and
 *     nothing written to the host's arrays.
 *  2. Codes of a set at a time (int32_t), each with its message from
 *     OrbixGetMessage:
 *       0 no error
 *       1 mean eccentricity not in [-0.001, 1) or mean motion not positive
 *       2 mean motion below zero
 *       3 perturbed eccentricity not in [0, 1]
 *       4 semi-latus rectum below zero
 *       5 epoch elements are sub-orbital
 *       6 the satellite has decayed
 *       7 a time or element value is not a finite number, or the time is
 *         more than 1e9 minutes (about 1900 years) from the set's epoch
 *       8 no element set for this key (an entry whose key held no set when
 *         the snapshot was made; given by the tle library's snapshots)
 *       9 not a mean element set of the model (ephemeris type 4 or 6)
 *     Such a code is a result, not a failure of the call: no log line. A
 *     failed entry has position and velocity 0; no result is ever NaN.
 *  3. Snapshot lifetime: a snapshot belongs to the host from
 *     OrbixSnapshotFromElements until OrbixSnapshotFree; it holds copies of
 *     everything it needs, so the host's element array may be reused at
 *     once.
 *  4. Threads: the library starts none. A snapshot is never written after
 *     its creation: any number of threads may propagate it at once, on the
 *     same or disjoint ranges (ranges let a host split the work over its own
 *     threads). Only OrbixSnapshotFree must not overlap any other use of
 *     that snapshot.
 */
#ifndef VELTRIX_ORBIX_H
#define VELTRIX_ORBIX_H

#include <stdint.h>

#include "kernix.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Doubles per set of element values: [0] epoch, days since 1950 Jan 0.0
 * UTC; [1] mean motion, rev/day; [2] eccentricity; [3] inclination, deg;
 * [4] right ascension of the ascending node, deg; [5] argument of perigee,
 * deg; [6] mean anomaly, deg; [7] bstar, 1/earth radii; [8] ndot/2,
 * rev/day^2; [9] nddot/6, rev/day^3. */
#define ORBIX_ELEM_SIZE 10

/* Gravity models (gravModel). */
#define ORBIX_GRAV_WGS72 72     /* WGS-72, also chosen by 0 */
#define ORBIX_GRAV_WGS84 84     /* WGS-84 */
#define ORBIX_GRAV_WGS72OLD 721 /* WGS-72 with the first published mu and xke */

/* Times (timeMode) and layouts (layout) of OrbixPropagate. */
#define ORBIX_TIME_SINCE_EPOCH 0 /* minutes since each set's epoch */
#define ORBIX_TIME_DS50 1        /* days since 1950 Jan 0.0 UTC */
#define ORBIX_LAYOUT_OUTER 0     /* every set of the range at every time */
#define ORBIX_LAYOUT_ZIPPED 1    /* set first+i at times[i] */

/* An opaque, read-only set of initialised element sets. */
typedef struct OrbixSnapshot OrbixSnapshot;

/* Initialises count sets of ORBIX_ELEM_SIZE doubles each from elements,
 * with gravModel (72 or 0, 84, 721) and opsMode ('a' as the operational
 * model computes, 'i' improved, also chosen by 0). A set whose initialisation fails is kept
 * with its code: OrbixSnapshotInitError gives it and propagating the set
 * gives it at every time. count 0 gives an empty snapshot. Result: the
 * snapshot, *status VX_OK; or NULL, *status VX_FAIL, with one log line, for
 * a negative count, NULL elements with count > 0, or an unknown gravModel
 * or opsMode. status may be NULL. */
VX_API OrbixSnapshot* OrbixSnapshotFromElements(const double* elements, int32_t count, int32_t gravModel,
                                                char opsMode, int32_t* status);

/* The same, each set carrying the host's id ids[i] (ids may be NULL: every
 * id 0, as for OrbixSnapshotFromElements). Log lines name
 * OrbixSnapshotFromElementsIds. */
VX_API OrbixSnapshot* OrbixSnapshotFromElementsIds(const double* elements, const int64_t* ids, int32_t count,
                                                   int32_t gravModel, char opsMode, int32_t* status);

/* The same with a code known beforehand for some entries (the way the tle
 * library builds its snapshots): codes may be NULL; codes[i] != 0 makes
 * entry i failed with that code (OrbixSnapshotInitError gives it and every
 * propagation of the entry gives it), its element values unread. Log lines
 * name OrbixSnapshotFromElementsCodes. */
VX_API OrbixSnapshot* OrbixSnapshotFromElementsCodes(const double* elements, const int64_t* ids,
                                                     const int32_t* codes, int32_t count, int32_t gravModel,
                                                     char opsMode, int32_t* status);

/* Writes the ids of sets [first, first + count) of snap to ids (0 for a
 * snapshot made without ids). Result: VX_OK; VX_FAIL with one log line and
 * nothing written for NULL snap, a negative first or count, a range outside
 * the snapshot, or NULL ids with count > 0. */
VX_API int32_t OrbixSnapshotGetIds(const OrbixSnapshot* snap, int32_t first, int32_t count, int64_t* ids);

/* Releases snap; NULL is ignored. */
VX_API void OrbixSnapshotFree(OrbixSnapshot* snap);

/* Number of sets in snap; 0 for NULL. */
VX_API int32_t OrbixSnapshotCount(const OrbixSnapshot* snap);

/* Code of the initialisation of set index (0-based): 0 or 1-9. -1, with
 * one log line, for NULL snap or an index outside the snapshot. */
VX_API int32_t OrbixSnapshotInitError(const OrbixSnapshot* snap, int32_t index);

/* States of sets [first, first + count) of snap at timeCount times (minutes
 * since each set's epoch for timeMode 0, ds50 UTC for 1).
 *  layout 0 (outer): pos and vel receive count * timeCount * 3 doubles,
 *    set-major ([set][time][xyz]), errors count * timeCount codes.
 *  layout 1 (zipped): count must equal timeCount; set first+i at times[i];
 *    pos and vel receive count * 3 doubles ([set][xyz]), errors count codes.
 * Each error is 0 or a code 1-9 (a NaN, infinite or too distant time gives
 * 7); a failed
 * entry's position and velocity are 0. Result: VX_OK; VX_FAIL with one log
 * line and nothing written for NULL snap, a negative first, count or
 * timeCount, a range outside the snapshot, NULL arrays where entries are to
 * be written, an unknown timeMode or layout, or a zipped count other than
 * timeCount. */
VX_API int32_t OrbixPropagate(const OrbixSnapshot* snap, int32_t first, int32_t count, const double* times,
                              int32_t timeCount, int32_t timeMode, int32_t layout, double* pos, double* vel,
                              int32_t* errors);

/* Message of a code 0-9, blank padded to 128; "unknown error" for any
 * other code. */
VX_API void OrbixGetMessage(int32_t code, char msg[128]);

#ifdef __cplusplus
}
#endif

#endif /* VELTRIX_ORBIX_H */
