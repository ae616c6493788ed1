/*
 * kinem: state vectors held in process memory.
 *
 * Conventions (see also kernix.h and tle.h, whose rules hold here too):
 *  1. Texts are char buffers of 512 characters unless stated otherwise.
 *     Input texts end at their first NUL or at their length; output texts
 *     are written blank-padded to their length with no terminating NUL.
 *  2. satKey (int64_t) names one loaded state vector. As the result of an
 *     add: positive on success, VX_KEY_DUP (0) for a duplicate reported
 *     under duplicate mode VX_DUP_REPORT (KernixSetDupKeyMode), the existing
 *     key under other modes, VX_KEY_FAIL (-1) on failure.
 *  3. Status results: VX_OK (0) success, VX_FAIL (2) failure or not found.
 *     The codes are defined in kernix.h.
 *  4. Every failure writes one line to the kernix trace log
 *     (KernixGetLastErrMsg gives the last one written by the calling thread).
 *  5. An "ML" variant hands its 64-bit result back through its last argument.
 *  6. Any thread may call any function. Readers run side by side; adds,
 *     updates and removals run one at a time; a field update reads, changes
 *     and writes the vector in one step. The state-vector store is separate
 *     from the TLE store: a host may read element sets while vectors are
 *     added.
 *  7. DMA keys (VX_KEY_MODE_DMA) are ten times the address of the vector's
 *     holder object, as in tle.h: only the exact key reaches a vector, the
 *     key of a removed vector is refused until 65,536 more DMA objects of the
 *     family have been released, and a TLE DMA key given here (or the
 *     reverse) is refused with "RemoveDMA: This DMA object isn't a correct
 *     object.".
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
/* Returns VX_OK; the library needs no set-up. */
VX_API int32_t KinemInit(void);
/* Identification text, blank padded to 128 characters. */
VX_API void KinemGetInfo(char infoStr[128]);

/* ---- Adding, finding, listing, fetching, removing ----------------------
 * KinemAddSatFrLines takes the 1P card in line1 and the 2P card in line2
 * (card marks as written: "B1P" in columns 78-80, "2P" in 79-80) and
 * returns the new satKey; VX_KEY_DUP for a duplicate under VX_DUP_REPORT, the
 * existing key under other modes; VX_KEY_FAIL when the cards do not parse, a
 * value check fails or no key can be made, with the reason in the log (the
 * card reader's "Lines2Kinem: ..." or the checks' "ValidateKinemValues: ..."
 * lines). The checks refuse, besides values out of range, a real that is
 * not a finite number and a text byte outside 32-126.
 * Functions taking a satKey return VX_FAIL when it is not loaded and name
 * the key in the log line (at least 19 columns wide). */
VX_API int64_t KinemAddSatFrLines(const char line1[512], const char line2[512]);
VX_API void KinemAddSatFrLinesML(const char line1[512], const char line2[512], int64_t* satKey);
/* VX_OK removed; VX_FAIL not loaded or a DMA key that is not a live vector
 * (logged). */
VX_API int32_t KinemRemoveSat(int64_t satKey);
/* VX_OK, also when nothing is loaded. */
VX_API int32_t KinemRemoveAllSats(void);
VX_API int32_t KinemGetCount(void);
/* order: VX_ORDER_SATNUM by satellite number, then epoch;
 * VX_ORDER_SATNUM_DESC the reverse; VX_ORDER_LOAD load order; other values
 * (VX_ORDER_KEY) ascending satKey. satKeys needs room for KinemGetCount()
 * entries, so no other thread may add between that count and this call;
 * where writers may run, use KinemGetLoadedN. */
VX_API void KinemGetLoaded(int32_t order, int64_t* satKeys);
/* The same into an array of capacity keys: writes the first
 * min(capacity, number loaded) keys of the order and returns how many it
 * wrote; *total (may be NULL) receives the number loaded, counted together
 * with the keys. Never writes past capacity. -1 (logged) for a negative
 * capacity, a NULL array with a capacity above 0, or no memory to sort. */
VX_API int32_t KinemGetLoadedN(int32_t order, int32_t capacity, int64_t* satKeys, int32_t* total);
/* Key of the first vector of satNum the store's search meets; -1 when none
 * is loaded ("GetSatKey: Unable to locate satellite number <n> in the KINEM
 * binary tree.", the number in 9 columns). */
VX_API int64_t KinemGetSatKey(int32_t satNum);
VX_API void KinemGetSatKeyML(int32_t satNum, int64_t* satKey);
/* Key of the loaded vector of satNum with the latest epoch, whatever the key
 * mode; among vectors of equal epoch the larger key. -1 when none is loaded
 * ("GetLatestSatKey: Unable to locate satellite number <n> in the KINEM
 * binary tree.", the number in 9 columns). */
VX_API int64_t KinemGetLatestSatKey(int32_t satNum);
/* The key a vector of these fields is stored under in tree mode; nothing is
 * looked up. epochDtg: 20 characters, left-adjusted, blanks in positions
 * 3-20 read as "0". -1 (logged) when no key can be made. */
VX_API int64_t KinemFieldsToSatKey(int32_t satNum, const char epochDtg[20]);
VX_API void KinemFieldsToSatKeyML(int32_t satNum, const char epochDtg[20], int64_t* satKey);
/* The 1P and 2P cards of a loaded vector, each blank padded to 512 (the
 * cards use columns 1-80). VX_OK; VX_FAIL with both outputs blank when the
 * key is not loaded ("KinemGetLines: Unable to locate satKey <key> in the
 * KINEM binary tree."). A value too wide for its columns is written as
 * asterisks. */
VX_API int32_t KinemGetLines(int64_t satKey, char line1[512], char line2[512]);

/* ---- Files -------------------------------------------------------------- */
/* Loads the state vectors of an input file: 1P/2P card sets, with maneuver
 * cards (MNVR...), comments ("*" in column 1), file cards (VECFIL=name,
 * VECTORFILE, ELTFIL, ELSETFILE, SATFIL), the outside system's vector and
 * control files named on OPXVECFILE=name and OPXCTRLFILE=name cards, a
 * POS_VEL_ECI_STATE or RUN_OPTION_DC_ONLY line (the rest of the file is a
 * vector or control file of that system) and the DMA card VX_DMA_ON, which
 * switches the element-set key mode to VX_KEY_MODE_DMA for good. Keywords may
 * be in any case. Named files are read before the file's own card sets; cards
 * in a named file that name further files are ignored. A control file gives
 * its controls to the loaded vector of the satellite whose number makes up
 * the first five characters of the control file's base name ("25544.ctl");
 * with no such vector loaded nothing changes and nothing is logged.
 * A 1P card waits for its 2P card across comments, empty lines and maneuver
 * cards, and stays for a further 2P card when its pair is refused (a
 * duplicate, a value check). A 1P card that meets no 2P card (another 1P
 * card, another kind of line or the end of the file comes first) and a 2P
 * card with no 1P card before it are bad, with one information line each.
 * Maneuver cards go to the vector they follow (cards before the first
 * vector to the first one added), at most 100 each; more are dropped with
 * one information line. The totals line "Total Kinems = t, Loaded = l,
 * Dup = d, Bad = b" counts every card set and vector file read once.
 * Results:
 *   VX_OK    the file was read; bad card sets are counted, not fatal;
 *   VX_FAIL  the file cannot be read twice from its start (a pipe),
 *            memory ran out, a vector or control file of the outside
 *            system could not be read or its controls stored, or a log
 *            callback called it while its thread was loading a file (see
 *            KernixSetLogCallback);
 *   the code of the file open, for the file or a file named in it, with the
 *   error line "KinemLoadFile: cannot open "<name>": <reason>" (for a named
 *   file "ReadKinemsFrFileUnit: ..."): a system error number (ENOENT no
 *   such file, EACCES permission denied, ...), VX_FILE_NO_NAME,
 *   VX_FILE_DIRECTORY, VX_FILE_DEVICE (such as /dev/zero),
 *   VX_FILE_UNIT_OPEN the unit is in use on this thread. No totals line
 *   then; vectors read so far stay loaded. */
VX_API int32_t KinemLoadFile(const char kinemFile[512]);
/* The same load, with the counts of its totals line: *loaded, *dup and *bad
 * (each may be NULL) receive the vectors this call loaded, found duplicate
 * and refused, as far as the load got (all 0 when the file does not open).
 * Result, messages and store as KinemLoadFile. */
VX_API int32_t KinemLoadFileCounts(const char kinemFile[512], int32_t* loaded, int32_t* dup, int32_t* bad);
/* Told of every 1P/2P card set a load reads, in file order: lineNum, the
 * line of its 1P card (of its 2P card for a 2P card without one) in the
 * file it was read from, lineNum2 the line of its 2P card (0 for a 1P card
 * without one); satKey as KinemAddSatFrLines gives it; status 0
 * loaded, 1 a reported duplicate (satKey 0), 2 not loaded (satKey -1); msg
 * and msgLen, for status 1 and 2, the log line that says why (msgLen 0
 * otherwise; no terminating NUL; valid until the function returns). The
 * vector of an outside system's vector file is not reported. It is called
 * outside the store's locks: it may call any function of the library except
 * a load, which is refused with 2 as from a log callback. */
typedef void (*KinemLoadFn)(int32_t lineNum, int32_t lineNum2, int64_t satKey, int32_t status, const char* msg, int32_t msgLen,
                            void* user);
/* The same load as KinemLoadFile (result, messages, totals line and store),
 * calling fn (may be NULL) with user for every card set read. */
VX_API int32_t KinemLoadFileEach(const char kinemFile[512], KinemLoadFn fn, void* user);
/* Writes three empty lines, the header "*** Orbital Elements - SP Vectors
 * ***" and every vector in ascending satKey order as its 1P and 2P cards
 * (80 columns, trailing blanks removed). saveMode: VX_SAVE_CREATE create or
 * replace, other (VX_SAVE_APPEND) append (the header is written again).
 * Controls, covariance, the weighted RMS and maneuver cards are not
 * written. A vector whose cards
 * would not read back as itself is not written either, and is named in the
 * error line "KinemWriteLines: Vector <satKey> not written: <reason>": a
 * position or velocity too wide for its columns (a position of 1e7 km or
 * more, or -1e6 km or less), a satellite number above 339999, a term too
 * wide for its ten columns, a classification other than blank, C, S or U,
 * or values the checks refuse. Other threads may add, change and remove
 * vectors during a save (it holds them back only while it formats a chunk
 * of vectors, never while it writes): every vector present for the whole
 * save is written once; one added or removed meanwhile may or may not be.
 * Results:
 *   VX_OK    every vector written;
 *   VX_FAIL  a vector was not written (one line each, the others are
 *            written), or a line could not be written or the file not
 *            closed cleanly (a full disk: "KinemSaveFile: cannot write
 *            "<name>": <reason>");
 *   the code of the file open, with the error line "KinemSaveFile: cannot
 *   open "<name>": <reason>": a system error number (ENOENT no such
 *   directory, EACCES permission denied, ...), VX_FILE_NO_NAME,
 *   VX_FILE_DIRECTORY, VX_FILE_UNIT_OPEN the unit is in use on this thread
 *   (a log callback during a save). */
VX_API int32_t KinemSaveFile(const char kinemFile[512], int32_t saveMode);

/* ---- Field access and arrays --------------------------------------------
 * Field index of KinemGetField / KinemSetField, and the text KinemGetField
 * writes (left-adjusted, blank padded to 512):
 *   1-3 position X, Y, Z (km)   4-6 velocity X, Y, Z (m/s)   (F35.15)
 *   7 classification (one character)
 *   8 no field: get yields blanks; set changes nothing
 *   9 satellite number (I9)            not changeable: set returns 0 at once
 *  10 international designator (A8)
 *  11 epoch (A17), as stored           not changeable: set returns 0 at once
 *  12 revolution number at epoch (I6)   13 element set number (I4)
 *  14 bTerm   15 agom   16 thrustAcc (F35.15)
 *  17 coordinate system (A5)
 * Any index outside 1-17 acts as 8. A value wider than its form comes back
 * as asterisks (a revolution above 999999). Set reads numbers by the
 * fixed-column rules (blanks ignored; "1.5-3" is 1.5e-3) and takes the
 * first 1, 8 or 5 characters of the left-adjusted text for 7, 10 and 17.
 * KinemSetField results: 0 changed (or nothing to change); 2 with one error
 * line and the stored vector unchanged when the key is not loaded, the text
 * is not a number ("KinemSetField: Unable to read the number of field N."),
 * a text holds a byte outside 32-126 ("KinemSetField: Unable to update
 * field N (a byte outside printable ASCII in the text).") or the changed
 * vector fails the value checks (their "ValidateKinemValues: ..." lines,
 * one per failed check; coordinate codes are case-sensitive).
 *
 * The twelve fields, in this argument order everywhere: pos (3 doubles, km),
 * vel (3 doubles, m/s), secClass (one character), satNum, intlDes (8
 * characters), epochDtg (17), epochRev, elsetNum, bTerm (m^2/kg), agom
 * (m^2/kg), thrustAcc (km/s^2), coordSys (5). Text inputs are
 * left-adjusted, then blank padded or cut to their length. Outputs are
 * first cleared (zeros, blanks), so a failed call hands out zeros and
 * blanks; a NULL output is passed over.
 *
 * Reading, updating and adding:
 *  - KinemGetField, KinemGetAllFields, KinemDataToArray: 0, or 2 when the
 *    key is not loaded ("<Function>: Unable to locate satKey <key> in the
 *    KINEM binary tree.", key in 19 columns).
 *  - KinemSetField, KinemUpdateSatFrFields, KinemUpdateSatFrArray: the same
 *    message and 2 for a key not loaded; 2 with the value-check lines for
 *    values the checks refuse; 0 updated. Each reads, changes, checks and
 *    writes the vector in one step, so updates of different fields from
 *    several threads are all kept.
 *  - KinemUpdateSatFrFields keeps the stored satellite number and epoch
 *    (they make the key), the weighted RMS, covariance, controls and
 *    maneuver cards. KinemUpdateSatFrArray keeps the satellite number and
 *    epoch (elements 1 and 2 are ignored) and takes everything else from the
 *    array: controls and covariance only under element 71, no weighted RMS,
 *    no maneuver cards.
 *  - KinemAddSatFrFields(ML), KinemAddSatFrArray(ML): the key of a new
 *    vector as for KinemAddSatFrLines; -1 with the value-check lines when
 *    the values are refused.
 *
 * Stateless conversions (nothing is stored):
 *  - KinemParse: 0, or 2 with the card reader's or value checks' lines and
 *    every output cleared.
 *  - KinemLinesToArray: 0, or 2 (logged) with vecText blank and vecArr
 *    untouched.
 *  - KinemFieldsToLines: both cards, or both blank when the fields fail the
 *    value checks (logged) or the cards cannot be written.
 *  - KinemArrayToLines: the cards of the array, values not checked; blank
 *    when element 1 is -1 (no message) or the cards cannot be written.
 *
 * vecArr: at least 155 doubles, counted from 1; only the elements below are
 * read or written, every other element keeps what the host put there.
 * Integers are stored as doubles and read back truncated toward zero.
 *   1 satNum   2 epoch, days since 1950 UTC (back: the epoch text
 *   YYDDDHHMMSS.SSS)   3 epochRev   4 elsetNum   5 bTerm   6 agom
 *   7 thrustAcc   8 coordinate code: 1 TMDAT or TMEPO, 2 MMB50 or MMJ2K,
 *   0 otherwise (back: 1 TMDAT, 2 MMJ2K, anything else blanks)
 *  21-23 pos X, Y, Z   24-26 vel X, Y, Z
 *  71 controls flag: read only; 1 builds controls from 72-89 (their three
 *     switches set to 1) and takes the covariance from 101-155
 *  72 ctlCode   73 geopotFlag   74 dragModel   75 radPresFlag
 *  76 lunarSolarFlag   77 f10   78 f10Bar   79 ap   80 zonalDeg
 *  81 errCtrl   82 thrustFlag   83 solidTidesFlag   85 nutTerms
 *  86 spareCtl   87 integMode   88 stepMode (back: outside 0-2 gives 0)
 *  89 stepSize
 * 101-155 covariance terms 1-55; kept when their absolute values sum above
 *     1e-21
 * 72-89 are written only for a vector with controls, 101-155 only for one
 * with controls and a covariance. vecText (512): character 1 secClass,
 * characters 2-9 intlDes, the rest blank (ignored on input). The array
 * carries neither the weighted RMS nor maneuver cards. */
VX_API int32_t KinemGetField(int64_t satKey, int32_t fieldIdx, char valueStr[512]);
VX_API int32_t KinemSetField(int64_t satKey, int32_t fieldIdx, const char valueStr[512]);

VX_API int32_t KinemGetAllFields(int64_t satKey, double pos[3], double vel[3], char* secClass, int32_t* satNum,
                                 char intlDes[8], char epochDtg[17], int32_t* epochRev, int32_t* elsetNum,
                                 double* bTerm, double* agom, double* thrustAcc, char coordSys[5]);
VX_API int32_t KinemParse(const char line1[512], const char line2[512], double pos[3], double vel[3], char* secClass,
                          int32_t* satNum, char intlDes[8], char epochDtg[17], int32_t* epochRev, int32_t* elsetNum,
                          double* bTerm, double* agom, double* thrustAcc, char coordSys[5]);
VX_API int64_t KinemAddSatFrFields(const double pos[3], const double vel[3], char secClass, int32_t satNum,
                                   const char intlDes[8], const char epochDtg[17], int32_t epochRev, int32_t elsetNum,
                                   double bTerm, double agom, double thrustAcc, const char coordSys[5]);
VX_API void KinemAddSatFrFieldsML(const double pos[3], const double vel[3], char secClass, int32_t satNum,
                                  const char intlDes[8], const char epochDtg[17], int32_t epochRev, int32_t elsetNum,
                                  double bTerm, double agom, double thrustAcc, const char coordSys[5],
                                  int64_t* satKey);
VX_API int32_t KinemUpdateSatFrFields(int64_t satKey, const double pos[3], const double vel[3], char secClass,
                                      const char intlDes[8], int32_t epochRev, int32_t elsetNum, double bTerm,
                                      double agom, double thrustAcc, const char coordSys[5]);
VX_API void KinemFieldsToLines(const double pos[3], const double vel[3], char secClass, int32_t satNum,
                               const char intlDes[8], const char epochDtg[17], int32_t epochRev, int32_t elsetNum,
                               double bTerm, double agom, double thrustAcc, const char coordSys[5], char line1[512],
                               char line2[512]);

VX_API int32_t KinemDataToArray(int64_t satKey, double vecArr[155], char vecText[512]);
VX_API int64_t KinemAddSatFrArray(const double vecArr[155], const char vecText[512]);
VX_API void KinemAddSatFrArrayML(const double vecArr[155], const char vecText[512], int64_t* satKey);
VX_API int32_t KinemUpdateSatFrArray(int64_t satKey, const double vecArr[155], const char vecText[512]);
VX_API void KinemArrayToLines(const double vecArr[155], const char vecText[512], char line1[512], char line2[512]);
VX_API int32_t KinemLinesToArray(const char line1[512], const char line2[512], double vecArr[155],
                                 char vecText[512]);

#ifdef __cplusplus
}
#endif

#endif /* VELTRIX_KINEM_H */
