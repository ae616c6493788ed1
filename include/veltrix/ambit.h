/*
 * ambit: Earth constants for orbit computation.
 *
 * The library holds eight geopotential constant sets (indexes 2 JGM2,
 * 5 GEM5, 8 EGM-08, 9 GEM9, 68 SEM68R, 72 WGS-72, 84 WGS-84, 96 EGM-96),
 * the sidereal-time sets FK4 (4) and FK5 (5), which set of each is current,
 * and whether the Earth is oblate or spherical. At load the current sets are
 * WGS-72 and FK5 and the Earth is oblate; nothing resets them.
 *
 * Conventions (those of kernix.h, plus):
 *  1. Texts: the environment file name is a buffer of 512 characters, a
 *     geopotential name 6, the information text 128. Input texts end at
 *     their first NUL or at that length; output texts are blank padded to
 *     their full length with no terminating NUL.
 *  2. Status results: VX_OK success; otherwise VX_FAIL, or the error code
 *     of the file open (kernix.h), with one line in the kernix trace log
 *     where this library finds the failure.
 *  3. The setters ignore an index or name that names no set, without a
 *     message.
 *  4. Any thread may call any function. A switch of set or earth shape is
 *     seen whole: every value read belongs to one consistent choice. Two
 *     calls are two readings, so a host that reads several constants while
 *     another thread switches sets must serialise those calls itself.
 *  5. The earth shape sets the flattening of WGS-72, WGS-84 and EGM-96 at
 *     once; any other current set keeps the flattening it was chosen with
 *     until a different set is chosen.
 */
#ifndef VELTRIX_AMBIT_H
#define VELTRIX_AMBIT_H

#include <stdint.h>

#include "kernix.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Returns VX_OK; nothing needs initialising and nothing is reset. */
VX_API int32_t EnvInit(void);

/* Identification text of the library, blank padded to 128. */
VX_API void EnvGetInfo(char infoStr[128]);

/* Reads an environment file and applies its cards in order ("*" in column 1
 * is a comment):
 *   GEOCONST=name or BCONST=name   chooses a geopotential set by name or
 *                                  index ("WGS-84", "wgs84", "84", ...); an
 *                                  unknown name chooses WGS-72; "SPECTR"
 *                                  (upper case) keeps the current set
 *   FKCONST=FK4 (or 4)             chooses FK4; any other value FK5
 *   OBLATEEARTH, SPHERICALEARTH    sets the earth shape
 * Results: VX_OK; VX_FAIL when the file cannot be read from its start (a
 * pipe); or the code of the file open, with the error line
 * "EnvLoadFile: cannot open "<name>": <reason>": a system error number
 * (ENOENT no such file, EACCES permission denied, ...), VX_FILE_NO_NAME,
 * VX_FILE_DIRECTORY, VX_FILE_DEVICE (such as /dev/zero), VX_FILE_UNIT_OPEN
 * called from a log callback while the same thread is reading another
 * file. */
VX_API int32_t EnvLoadFile(const char envFile[512]);

/* Writes the current geopotential and FK choice as an environment file:
 * saveMode VX_SAVE_CREATE creates or replaces the file, any other value
 * (VX_SAVE_APPEND) appends to it. The earth shape is not saved. Results:
 * VX_OK; VX_FAIL when the file could not be written completely (a full
 * disk; one error line); or the code of the file open, with the error line
 * "EnvSaveFile: cannot open "<name>": <reason>": a system error number
 * (ENOENT no such directory, EACCES permission denied, ...),
 * VX_FILE_NO_NAME, VX_FILE_DIRECTORY, VX_FILE_UNIT_OPEN called from a log
 * callback while the same thread is writing another file. */
VX_API int32_t EnvSaveFile(const char envFile[512], int32_t saveMode);

/* Index of the current geopotential set. */
VX_API int32_t EnvGetGeoIdx(void);

/* Makes the geopotential set of geoIdx current. */
VX_API void EnvSetGeoIdx(int32_t geoIdx);

/* First 6 characters of the current geopotential set's name ("WGS-72",
 * "JGM2  "). */
VX_API void EnvGetGeoStr(char geoStr[6]);

/* Makes the geopotential set named by geoStr (any case, a name or an index
 * in text) current. */
VX_API void EnvSetGeoStr(const char geoStr[6]);

/* One constant of the current geopotential set:
 *   1 flattening (0 for a spherical Earth)   8 ck2 = j2/2
 *   2 j2                                     9 ck4 = -3/8 j4
 *   3 j3                                    10 velocity scale, km/s to earth
 *   4 j4                                       radii per canonical minute
 *   5 ke, earth radii^1.5 per minute        11 Earth rotation per canonical
 *   6 equatorial radius, km                    minute, rad
 *   7 Earth rotation rate, rad/min          12 j5
 *     (0.0043752690880113 for every set)    13 mu, km^3/s^2
 * 0.0 for any other index. */
VX_API double EnvGetGeoConst(int32_t geoConstIdx);

/* Index of the current sidereal-time set: 4 FK4, 5 FK5. */
VX_API int32_t EnvGetFkIdx(void);

/* Makes FK4 (4) or FK5 (5) current. */
VX_API void EnvSetFkIdx(int32_t fkIdx);

/* One constant of the current sidereal-time set: 1 sidereal rate (rad/day
 * beyond whole turns), 2 quadratic coefficient (rad/day^2), 3 Greenwich
 * sidereal angle at the 1970 reference epoch (rad); 0.0 for any other
 * index. */
VX_API double EnvGetFkConst(int32_t fkConstIdx);

/* Address of the current sidereal-time set: three doubles in the order of
 * EnvGetFkConst, read only, valid while the library is loaded. A later
 * EnvSetFkIdx does not change what an address already handed out holds. */
VX_API int64_t EnvGetFkPtr(void);

/* 1 oblate Earth, 0 spherical. */
VX_API int32_t EnvGetEarthShape(void);

/* Nonzero makes the Earth oblate, 0 spherical. */
VX_API void EnvSetEarthShape(int32_t earthShape);

#ifdef __cplusplus
}
#endif

#endif /* VELTRIX_AMBIT_H */
