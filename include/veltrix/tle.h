/*
 * tle: two-line element sets held in process memory.
 *
 * Conventions (see also kernix.h):
 *  1. Texts are char buffers of 512 characters unless stated otherwise.
 *     Input texts end at their first NUL or at 512; output texts are written
 *     blank-padded to 512 with no terminating NUL.
 *  2. satKey (int64_t) names one loaded element set. As the result of an
 *     add: positive on success, 0 for a duplicate reported under duplicate
 *     mode 0 (KernixSetDupKeyMode), -1 on failure.
 *  3. Status results: 0 success, 2 failure or not found; the CSV
 *     conversions return 1 for input of the wrong kind.
 *  4. Every failure writes one or more lines to the kernix trace log
 *     (KernixGetLastErrMsg gives the last one written by the calling thread).
 *  5. An "ML" variant hands its 64-bit result back through its last argument.
 *  6. Any thread may call any function. Readers run side by side; adds,
 *     updates and removals run one at a time.
 */
#ifndef VELTRIX_TLE_H
#define VELTRIX_TLE_H

#include <stdint.h>

#include "kernix.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Lifecycle ---------------------------------------------------------- */
VX_API int32_t TleInit(void);
/* Identification text, blank padded to 128 characters. */
VX_API void TleGetInfo(char infoStr[128]);
VX_API int32_t GetTleKeyMode(void);
VX_API int32_t SetTleKeyMode(void);

/* ---- Adding, finding, listing, fetching, removing ---------------------- */
VX_API int64_t TleAddSatFrLines(const char line1[512], const char line2[512]);
VX_API void TleAddSatFrLinesML(const char line1[512], const char line2[512], int64_t* satKey);
VX_API int64_t TleAddSatFrCsv(const char csvLine[512]);
VX_API void TleAddSatFrCsvML(const char csvLine[512], int64_t* satKey);
VX_API int64_t TleGetSatKey(int32_t satNum);
VX_API void TleGetSatKeyML(int32_t satNum, int64_t* satKey);
VX_API int64_t TleFieldsToSatKey(int32_t satNum, int32_t epochYr, double epochDays, int32_t ephType);
VX_API void TleFieldsToSatKeyML(int32_t satNum, int32_t epochYr, double epochDays, int32_t ephType, int64_t* satKey);
VX_API int32_t TleGetCount(void);
/* order: 0 by satellite number, ephemeris type and epoch; 1 the reverse;
 * 2 load order; other values ascending satKey. satKeys needs room for
 * TleGetCount() entries. */
VX_API void TleGetLoaded(int32_t order, int64_t* satKeys);
VX_API int32_t TleGetLines(int64_t satKey, char line1[512], char line2[512]);
VX_API int32_t TleGetCsv(int64_t satKey, char csvLine[512]);
VX_API int32_t TleRemoveSat(int64_t satKey);
VX_API int32_t TleRemoveAllSats(void);

/* ---- Files -------------------------------------------------------------- */
VX_API int32_t TleLoadFile(const char tleFile[512]);
/* saveMode: 0 create or replace, other append; saveForm: 0 line pairs,
 * other CSV. */
VX_API int32_t TleSaveFile(const char tleFile[512], int32_t saveMode, int32_t saveForm);

/* ---- Stateless text conversions ------------------------------------------ */
VX_API void GetCheckSums(const char line1[512], const char line2[512], int32_t* chkSum1, int32_t* chkSum2,
                         int32_t* errCode);
/* newSatno: 0 keeps the satellite number, 1..339999 replaces it. */
VX_API int32_t TleCsvToLines(const char csvLine[512], int32_t newSatno, char line1[512], char line2[512]);
VX_API int32_t TleLinesToCsv(const char line1[512], const char line2[512], char csvLine[512]);

/* @@FIELDS@@ */

#ifdef __cplusplus
}
#endif

#endif /* VELTRIX_TLE_H */
