/*
 * tle: two-line element sets held in process memory.
 *
 * Conventions (see also kernix.h):
 *  1. Texts are char buffers of 512 characters unless stated otherwise.
 *     Input texts end at their first NUL or at 512; output texts are written
 *     blank-padded to 512 with no terminating NUL.
 *  2. satKey (int64_t) names one loaded element set. As the result of an
 *     add: positive on success, VX_KEY_DUP (0) for a duplicate reported
 *     under duplicate mode VX_DUP_REPORT (KernixSetDupKeyMode), VX_KEY_FAIL
 *     (-1) on failure.
 *  3. Status results: VX_OK (0) success, VX_FAIL (2) failure or not found;
 *     the CSV conversions return VX_WRONG_KIND (1) for input of the wrong
 *     kind. The codes are defined in kernix.h.
 *  4. Every failure writes one or more lines to the kernix trace log
 *     (KernixGetLastErrMsg gives the last one written by the calling thread).
 *  5. An "ML" variant hands its 64-bit result back through its last argument.
 *  6. Any thread may call any function. Readers run side by side; adds,
 *     updates and removals run one at a time. A field update (TleSetField,
 *     TleUpdateSatFr...) reads, changes and writes the set in one step, so
 *     two threads changing different fields of one set lose neither change.
 *     This holds for DMA keys as for tree keys.
 *  7. DMA keys (VX_KEY_MODE_DMA) are ten times the address of the set's
 *     holder object. Only that exact key reaches the set; any other value,
 *     and the key of a removed set, is refused with VX_FAIL without touching
 *     memory. A removed set's address is kept out of reuse until 65,536 more
 *     DMA objects of the family have been released; after that a new set may
 *     get the same address, and so the same key, and a host that kept the old
 *     key would reach the new set. Drop a key when its set is removed.
 *  8. Checksums: line pairs are written with column 69 blank, and column 69
 *     is ignored on input; a wrong or missing checksum never makes a set
 *     bad. GetCheckSums gives the digits for a host that writes them (the
 *     vxtle tool writes and checks them).
 */
#ifndef VELTRIX_TLE_H
#define VELTRIX_TLE_H

#include <stdint.h>

#include "kernix.h"
#include "orbix.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Lifecycle ---------------------------------------------------------- */
VX_API int32_t TleInit(void);
/* Identification text, blank padded to 128 characters. */
VX_API void TleGetInfo(char infoStr[128]);
VX_API int32_t GetTleKeyMode(void);
VX_API int32_t SetTleKeyMode(void);

/* ---- Adding, finding, listing, fetching, removing ----------------------
 * Adds (from lines, CSV, fields or an array) return the new satKey;
 * VX_KEY_DUP for a duplicate under VX_DUP_REPORT, the existing key under
 * other modes; VX_KEY_FAIL when the text does not parse, a value check
 * fails or no key can be made, with the reason in the log. The value checks
 * refuse, besides values out of range, a real that is not a finite number
 * and a text byte outside 32-126.
 * The epoch day counts from January 0.0: day 0.5 is noon of December 31 of
 * the year before, and is accepted.
 * Functions taking a satKey return VX_FAIL when it is not loaded and name
 * the key in the log line (at least 19 columns wide). */
VX_API int64_t TleAddSatFrLines(const char line1[512], const char line2[512]);
VX_API void TleAddSatFrLinesML(const char line1[512], const char line2[512], int64_t* satKey);
VX_API int64_t TleAddSatFrCsv(const char csvLine[512]);
VX_API void TleAddSatFrCsvML(const char csvLine[512], int64_t* satKey);
VX_API int64_t TleGetSatKey(int32_t satNum);
VX_API void TleGetSatKeyML(int32_t satNum, int64_t* satKey);
/* Key of the loaded set of satNum with the latest epoch, whatever its
 * ephemeris type and key mode; among sets of equal epoch the larger key.
 * -1 when none is loaded ("GetLatestSatKey: Unable to locate satellite
 * number <n> in the TLE binary tree.", the number in 9 columns). */
VX_API int64_t TleGetLatestSatKey(int32_t satNum);
/* The key the fields would be stored under in tree mode, nothing looked up;
 * -1, with one log line, for a satellite number outside 0-999999999 or an
 * epoch that is not a number or lies outside the years 1950-2149. */
VX_API int64_t TleFieldsToSatKey(int32_t satNum, int32_t epochYr, double epochDays, int32_t ephType);
VX_API void TleFieldsToSatKeyML(int32_t satNum, int32_t epochYr, double epochDays, int32_t ephType, int64_t* satKey);
VX_API int32_t TleGetCount(void);
/* order: VX_ORDER_SATNUM by satellite number, ephemeris type and epoch;
 * VX_ORDER_SATNUM_DESC the reverse; VX_ORDER_LOAD load order; other values
 * (VX_ORDER_KEY) ascending satKey. satKeys needs room for TleGetCount()
 * entries, so no other thread may add between that count and this call;
 * where writers may run, use TleGetLoadedN. */
VX_API void TleGetLoaded(int32_t order, int64_t* satKeys);
/* The same into an array of capacity keys: writes the first
 * min(capacity, number loaded) keys of the order and returns how many it
 * wrote; *total (may be NULL) receives the number loaded, counted together
 * with the keys. Never writes past capacity. -1 (logged) for a negative
 * capacity, a NULL array with a capacity above 0, or no memory to sort. */
VX_API int32_t TleGetLoadedN(int32_t order, int32_t capacity, int64_t* satKeys, int32_t* total);
VX_API int32_t TleGetLines(int64_t satKey, char line1[512], char line2[512]);
VX_API int32_t TleGetCsv(int64_t satKey, char csvLine[512]);
VX_API int32_t TleRemoveSat(int64_t satKey);
VX_API int32_t TleRemoveAllSats(void);

/* ---- Files -------------------------------------------------------------- */
/* Loads the element sets of a TLE input file: line pairs and CSV lines,
 * with maneuver cards, comments, file cards (ELTFIL=name ...) and the DMA
 * card VX_DMA_ON. A line 1 whose line 2 does not come before the next line 1
 * is bad, and so is a pair whose line 1 ends before column 61 or whose
 * line 2 ends before column 63. The totals line "Total TLEs = t, Loaded = l,
 * Dup = d, Bad = b" counts every element set read once. Results:
 *   VX_OK    the file was read; bad element sets are counted, not fatal;
 *   VX_FAIL  the file cannot be read twice from its start (a pipe),
 *            memory ran out, or a log callback called it while its thread
 *            was loading a file (see KernixSetLogCallback);
 *   the code of the file open, for the file or a file card's file, with the
 *   error line "TleLoadFile: cannot open "<name>": <reason>" (for a file
 *   card "ReadTlesFrFileUnit: ..."): a system error number (ENOENT no
 *   such file, EACCES permission denied, ...), VX_FILE_NO_NAME,
 *   VX_FILE_DIRECTORY, VX_FILE_DEVICE (such as /dev/zero),
 *   VX_FILE_UNIT_OPEN the unit is in use on this thread (a log callback
 *   during an EnvLoadFile). No totals line then. */
VX_API int32_t TleLoadFile(const char tleFile[512]);
/* The same load, with the counts of its totals line: *loaded, *dup and *bad
 * (each may be NULL) receive the element sets this call loaded, found
 * duplicate and refused, as far as the load got (all 0 when the file does
 * not open). Result, messages and store as TleLoadFile. */
VX_API int32_t TleLoadFileCounts(const char tleFile[512], int32_t* loaded, int32_t* dup, int32_t* bad);
/* Told of every element set a load reads, in file order: lineNum, the line
 * its first line is on (in the file it was read from: a file named by a file
 * card counts its own lines), lineNum2 the line of its line 2 (0 for a CSV
 * line and a line 1 without a line 2); satKey as TleAddSatFrLines gives it; status 0
 * loaded, 1 a reported duplicate (satKey 0), 2 not loaded (satKey -1); msg
 * and msgLen, for status 1 and 2, the log line that says why (msgLen 0
 * otherwise; no terminating NUL; valid until the function returns). It is
 * called outside the store's locks: it may call any function of the library
 * except a load, which is refused with 2 as from a log callback. */
typedef void (*TleLoadFn)(int32_t lineNum, int32_t lineNum2, int64_t satKey, int32_t status, const char* msg, int32_t msgLen,
                          void* user);
/* The same load as TleLoadFile (result, messages, totals line and store),
 * calling fn (may be NULL) with user for every element set read. */
VX_API int32_t TleLoadFileEach(const char tleFile[512], TleLoadFn fn, void* user);
/* The load of TleLoadFileCounts, calling fn (may be NULL) only for the
 * element sets it did not load (status 1 and 2 above): a host that wants
 * the counts and the reasons pays no call per set loaded. */
VX_API int32_t TleLoadFileReport(const char tleFile[512], TleLoadFn fn, void* user, int32_t* loaded, int32_t* dup,
                                 int32_t* bad);
/* Writes every element set in ascending satKey order. saveMode:
 * VX_SAVE_CREATE create or replace, other (VX_SAVE_APPEND) append; saveForm:
 * VX_SAVE_LINES line pairs (each line cut to 80 characters), other
 * (VX_SAVE_CSV) CSV lines. Maneuver cards are not written. An element set
 * that would not read back as itself is not written either, and is named in
 * the error line "TleWriteLines: Element set <satKey> not written:
 * <reason>": in line pairs a satellite number outside 1-339999, an epoch
 * year outside 1957-2056, a coefficient of 1e9 or more (the lines hold it as
 * zero, as TleGetLines shows it), a mean motion of 100 or more or below
 * 5e-9; in CSV a name or text with a comma, a leading quote or inner blanks,
 * auxCoef3 of ephemeris type 6; in both a classification other than blank,
 * C, S or U. Other threads may add, change and remove element sets during
 * a save (it holds them back only while it formats a chunk of sets, never
 * while it writes): every element set present for the whole save is
 * written once; one added or removed meanwhile may or may not be. Results:
 *   VX_OK    every element set written;
 *   VX_FAIL  an element set was not written (one line each, the others
 *            are written), or a line could not be written or the file not
 *            closed cleanly (a full disk: "TleSaveFile: cannot write
 *            "<name>": <reason>");
 *   the code of the file open, with the error line "TleSaveFile: cannot
 *   open "<name>": <reason>": a system error number (ENOENT no such
 *   directory, EACCES permission denied, ...), VX_FILE_NO_NAME,
 *   VX_FILE_DIRECTORY, VX_FILE_UNIT_OPEN the unit is in use on this thread
 *   (a log callback during a save). */
VX_API int32_t TleSaveFile(const char tleFile[512], int32_t saveMode, int32_t saveForm);

/* ---- OMM, three-line files and text in memory ---------------------------
 * TleLoadFile (and every load above) tells an OMM document (CCSDS Orbit
 * Mean-elements Message) from a TLE input file by its first bytes, after
 * blanks and a UTF-8 byte-order mark: "[" or "{" JSON, "<" XML, a first line
 * beginning "CCSDS_OMM_VERS" or "COMMENT" KVN, a first line of comma-
 * separated keywords holding NORAD_CAT_ID and EPOCH CSV (the header row);
 * anything else is a TLE input file. Every OMM record goes through the
 * checks, keys and duplicate rules of every other add and is counted in the
 * totals line; lineNum of TleLoadFn is the record's line (its number, from
 * 1, in a JSON array), lineNum2 0. A record refused is logged as
 * "ReadOmm: line <n>: <reason>." ("record <n>" for JSON), e.g. "no
 * MEAN_MOTION", "a text where a number belongs in ECCENTRICITY: 'x'",
 * "SEMI_MAJOR_AXIS in place of MEAN_MOTION (only mean motion is taken)",
 * "EPOCH given twice"; one the checks refuse is logged by the checks and
 * then "ReadOmm: line <n>: the element set fails the checks logged before.".
 * A document that cannot be read on (not well formed, truncated, an entity
 * declaration, nesting too deep) is refused at the fault with one such line:
 * the records before it are stored, nothing from it on, and the load
 * returns VX_FAIL.
 * Mapping: NORAD_CAT_ID -> satNum (0-999999999); OBJECT_ID "1998-067A" ->
 * satName "98067A" (any launch year; another text of up to 8 characters as
 * it is); OBJECT_NAME -> the object name; EPOCH, calendar or day-of-year
 * form, the time, the fraction and a "Z" optional, kept to the microsecond;
 * MEAN_MOTION, ECCENTRICITY, INCLINATION, RA_OF_ASC_NODE, ARG_OF_PERICENTER,
 * MEAN_ANOMALY -> the elements; EPHEMERIS_TYPE (default 0),
 * CLASSIFICATION_TYPE (default U), ELEMENT_SET_NO, REV_AT_EPOCH, BSTAR,
 * MEAN_MOTION_DOT (nDotO2), MEAN_MOTION_DDOT (n2DotO6) as the line form
 * holds them; for ephemeris type 4 BTERM (else BSTAR) and AGOM (else
 * MEAN_MOTION_DDOT) fill the coefficients that type uses. CENTER_NAME,
 * REF_FRAME, TIME_SYSTEM and MEAN_ELEMENT_THEORY, when given, must be EARTH,
 * TEME, UTC and SGP4 (or SGP4-XP). Unknown keywords are passed over.
 * Three-line files: a line directly before a line 1 that is no card, no
 * comment and no line of another set is that set's object name ("0 " in
 * front and surrounding blanks dropped). */

/* Save forms of TleSaveFileAs and TleWriteText. */
#define VX_SAVE_THREE_LINES 2 /* a name line "0 <name>" before the pair of a set that has a name */
#define VX_SAVE_OMM_CSV 3     /* header row and one record a line, the providers' 17 columns */
#define VX_SAVE_OMM_JSON 4    /* an array of objects */
#define VX_SAVE_OMM_XML 5     /* an ndm root holding one omm per set */
#define VX_SAVE_OMM_KVN 6     /* one message per set */
/* TleSaveFile with every form: VX_SAVE_LINES, VX_SAVE_CSV or one of the
 * above (VX_FAIL with one line for any other). The OMM forms write every
 * value so that it reads back as the same double (numbers in their shortest
 * exact form, the epoch to the microsecond, OBJECT_ID in the long form,
 * CREATION_DATE the time of the save in UTC, or SOURCE_DATE_EPOCH when the
 * environment sets it); they carry satellite numbers and values the line
 * form cannot, but neither maneuver cards nor the CSV-only values. An OMM
 * CSV, JSON or XML document cannot be appended to: a save mode other than
 * VX_SAVE_CREATE is refused with VX_FAIL ("TleSaveFile: An OMM CSV, JSON or
 * XML document cannot be appended to; ..."). Otherwise as TleSaveFile. */
VX_API int32_t TleSaveFileAs(const char tleFile[512], int32_t saveMode, int32_t saveForm);
/* Loads the element sets of text in memory (textLen bytes, no NUL needed):
 * an OMM document in any encoding, or line pairs, three-line sets and CSV
 * lines as a TLE input file holds them (no file cards, no DMA card). Counts,
 * messages, the totals line and the store as TleLoadFileReport, except that
 * fn (may be NULL) is called for every set read, as TleLoadFileEach does.
 * VX_OK; VX_FAIL for a negative length or a NULL text with a length, an OMM
 * document that cannot be read to its end, memory run out, or a call from a
 * log callback or TleLoadFn during a load. */
VX_API int32_t TleLoadText(const char* text, int64_t textLen, TleLoadFn fn, void* user, int32_t* loaded,
                           int32_t* dup, int32_t* bad);
/* The element sets of satKeys (keyCount of them; every set of the store in
 * ascending satKey order when satKeys is NULL) as text in saveForm (as
 * TleSaveFileAs): a complete document, every line ending in a newline.
 * *outLen (may be NULL) receives the length of the whole text;
 * out (outCap bytes, no NUL written) receives it when it fits. With out
 * NULL only the length is given, so a host can size its buffer first.
 * Results: VX_OK; VX_FAIL (nothing written to out) for an invalid form, a
 * negative count or capacity, or a text longer than outCap ("TleWriteText:
 * The text needs <n> bytes; the buffer holds <m>."); VX_FAIL, the text
 * written, when a key holds no element set ("TleWriteText: No element set
 * of satKey <key>") or a set would not read back as itself in the line or
 * CSV form (as TleSaveFile): those are left out. */
VX_API int32_t TleWriteText(const int64_t* satKeys, int32_t keyCount, int32_t saveForm, char* out, int64_t outCap,
                            int64_t* outLen);
/* The object name of satKey ("ISS (ZARYA)"), blank padded to 256
 * characters, no NUL; all blanks when it has none. VX_OK, or VX_FAIL for a
 * key that holds no element set ("TleGetObjectName: No element set of
 * satKey <key>") or a NULL buffer. */
VX_API int32_t TleGetObjectName(int64_t satKey, char name[256]);
/* Sets the object name of satKey (ends at the first NUL or at 256
 * characters, surrounding blanks dropped; all blanks removes it; a name
 * holds at most 255 characters). VX_OK;
 * VX_FAIL for a key that holds no element set, a NULL name, or a name of 256
 * characters or with a control character (logged by the checks; the set keeps its name). */
VX_API int32_t TleSetObjectName(int64_t satKey, const char name[256]);

/* ---- Stateless text conversions ------------------------------------------ */
VX_API void GetCheckSums(const char line1[512], const char line2[512], int32_t* chkSum1, int32_t* chkSum2,
                         int32_t* errCode);
/* newSatno: 0 keeps the satellite number, 1..339999 replaces it. */
VX_API int32_t TleCsvToLines(const char csvLine[512], int32_t newSatno, char line1[512], char line2[512]);
VX_API int32_t TleLinesToCsv(const char line1[512], const char line2[512], char csvLine[512]);

/* ---- Field access ---------------------------------------------------------
 * Field index of TleGetField / TleSetField, and the text TleGetField writes
 * (left-adjusted):
 *   1 satellite number (I9)            not changeable
 *   2 classification (one character)
 *   3 satellite name (A8)
 *   4 epoch YYYYDDD.DDDDDDDD           not changeable
 *   5 drag term: bStar, type 6 auxCoef1 (F35.15)
 *   6 ephemeris type (I1)              not changeable; set returns 0 at once
 *   7 element set number (I5)
 *   8 inclination   9 right ascension of the node   10 eccentricity
 *  11 argument of perigee   12 mean anomaly   13 mean motion (F35.15)
 *  14 revolution number at epoch (I5)
 *  15 first derivative: nDotO2, type 6 auxCoef2 (F35.15)
 *  16 second derivative: n2DotO6, type 4 auxCoef1, type 6 auxCoef3 (F35.15);
 *     set also writes n2DotO6 for every type
 *  17 CSV integer (I9)   18 auxCoef2   19-23 CSV values 1-5 (F35.15)
 *  24 CSV text (11 characters)   25 long satellite name (A12)
 * Indexes 17-25 exist only for element sets read from CSV; without them, and
 * for any index outside 1-25, get yields blanks and set changes nothing.
 * Set reads numbers by the fixed-column rules (blanks ignored; "1.5-3" is
 * 1.5e-3); a text that is not a number, or a text field holding a byte
 * outside 32-126, fails with VX_FAIL and changes nothing; so does a value
 * the checks refuse.
 *
 * Field sets: GP is satNum, secClass, satName, epochYr, epochDays, drag term,
 * ephType, elsetNum, incli, raNode, eccen, argPer, mnAnomaly, mnMotion,
 * revNum; GP2 adds nDotO2 and the second derivative; for ephemeris type 4 the
 * drag term is auxCoef2 and the second derivative auxCoef1. SP (type 6) has
 * auxCoef2, auxCoef3, auxCoef1 in place of the drag term and ephType. Update
 * functions leave out satNum, the epoch and ephType, which make up the key.
 * satName is a char array of 8; secClass one character. */
VX_API int32_t TleGetField(int64_t satKey, int32_t fieldIdx, char valueStr[512]);
VX_API int32_t TleSetField(int64_t satKey, int32_t fieldIdx, const char valueStr[512]);

VX_API int32_t TleGetAllFieldsGP(int64_t satKey, int32_t* satNum, char* secClass, char satName[8], int32_t* epochYr,
                                 double* epochDays, double* bStar, int32_t* ephType, int32_t* elsetNum, double* incli,
                                 double* raNode, double* eccen, double* argPer, double* mnAnomaly, double* mnMotion,
                                 int32_t* revNum);
VX_API int32_t TleGetAllFieldsGP2(int64_t satKey, int32_t* satNum, char* secClass, char satName[8], int32_t* epochYr,
                                  double* epochDays, double* bStar, int32_t* ephType, int32_t* elsetNum,
                                  double* incli, double* raNode, double* eccen, double* argPer, double* mnAnomaly,
                                  double* mnMotion, int32_t* revNum, double* nDotO2, double* n2DotO6);
VX_API int32_t TleGetAllFieldsSP(int64_t satKey, int32_t* satNum, char* secClass, char satName[8], int32_t* epochYr,
                                 double* epochDays, double* auxCoef2, double* auxCoef3, double* auxCoef1,
                                 int32_t* elsetNum, double* incli, double* raNode, double* eccen, double* argPer,
                                 double* mnAnomaly, double* mnMotion, int32_t* revNum);

VX_API int32_t TleUpdateSatFrFieldsGP(int64_t satKey, char secClass, const char satName[8], double bStar,
                                      int32_t elsetNum, double incli, double raNode, double eccen, double argPer,
                                      double mnAnomaly, double mnMotion, int32_t revNum);
VX_API int32_t TleUpdateSatFrFieldsGP2(int64_t satKey, char secClass, const char satName[8], double bStar,
                                       int32_t elsetNum, double incli, double raNode, double eccen, double argPer,
                                       double mnAnomaly, double mnMotion, int32_t revNum, double nDotO2,
                                       double n2DotO6);
VX_API int32_t TleUpdateSatFrFieldsSP(int64_t satKey, char secClass, const char satName[8], double auxCoef2,
                                      double auxCoef3, double auxCoef1, int32_t elsetNum, double incli, double raNode,
                                      double eccen, double argPer, double mnAnomaly, double mnMotion, int32_t revNum);

VX_API int64_t TleAddSatFrFieldsGP(int32_t satNum, char secClass, const char satName[8], int32_t epochYr,
                                   double epochDays, double bStar, int32_t ephType, int32_t elsetNum, double incli,
                                   double raNode, double eccen, double argPer, double mnAnomaly, double mnMotion,
                                   int32_t revNum);
VX_API int64_t TleAddSatFrFieldsGP2(int32_t satNum, char secClass, const char satName[8], int32_t epochYr,
                                    double epochDays, double bStar, int32_t ephType, int32_t elsetNum, double incli,
                                    double raNode, double eccen, double argPer, double mnAnomaly, double mnMotion,
                                    int32_t revNum, double nDotO2, double n2DotO6);
VX_API void TleAddSatFrFieldsGP2ML(int32_t satNum, char secClass, const char satName[8], int32_t epochYr,
                                   double epochDays, double bStar, int32_t ephType, int32_t elsetNum, double incli,
                                   double raNode, double eccen, double argPer, double mnAnomaly, double mnMotion,
                                   int32_t revNum, double nDotO2, double n2DotO6, int64_t* satKey);
VX_API int64_t TleAddSatFrFieldsSP(int32_t satNum, char secClass, const char satName[8], int32_t epochYr,
                                   double epochDays, double auxCoef2, double auxCoef3, double auxCoef1,
                                   int32_t elsetNum, double incli, double raNode, double eccen, double argPer,
                                   double mnAnomaly, double mnMotion, int32_t revNum);
VX_API void TleAddSatFrFieldsSPML(int32_t satNum, char secClass, const char satName[8], int32_t epochYr,
                                  double epochDays, double auxCoef2, double auxCoef3, double auxCoef1,
                                  int32_t elsetNum, double incli, double raNode, double eccen, double argPer,
                                  double mnAnomaly, double mnMotion, int32_t revNum, int64_t* satKey);

/* ---- Arrays and stateless conversions ---------------------------------------
 * tleArr: 64 doubles, counted from 1 (integers stored as doubles, read back
 * truncated toward zero):
 *   1 satNum   2 epoch as days since 1950   3 nDotO2   4 n2DotO6   5 bStar
 *   6 ephType   21 incli   22 raNode   23 eccen   24 argPer   25 mnAnomaly
 *  26 mnMotion   27 revNum   31 elsetNum   32 CSV integer   33 auxCoef2
 *  34-38 CSV values 1-5   39 auxCoef1; every other element 0 and not read.
 * The coefficients sit in the record's own slots (type 4: 33 and 39); type 6's
 * auxCoef3 is not carried. tleText (512): character 1 classification; 2-13 the
 * name (with CSV data the long name, else the 8-character name and 4 blanks);
 * 14-24 the CSV text; the CSV data is rebuilt from an array only when element
 * 32 truncates to a nonzero integer.
 * Text outputs are blank until the call succeeds. The conversion functions
 * without a result leave their outputs blank on failure; the log says why.
 * Note the GP argument order of TleParseGP, TleGPFieldsToLines and
 * TleGPFieldsToCsv: nDotO2, n2DotO6, bStar right after the epoch. */
VX_API int32_t TleDataToArray(int64_t satKey, double tleArr[64], char tleText[512]);
/* Many element sets in one call: row i of arrays (count x 64 doubles, row
 * after row) receives the TleDataToArray array of satKeys[i], all 0 when the
 * key is not loaded; found[i] (found may be NULL) is 1 or 0. Each key is
 * read under its own read hold, so a set removed or changed by another
 * thread during the call is seen either whole before or whole after. Returns
 * the number of keys found; keys not loaded give one error line for the call
 * ("TleDataToArrays: <n> of <count> satKeys not loaded, the first <key>.").
 * -1 (logged) for a negative count, or NULL keys or arrays with a count above
 * 0. Never writes past count rows. */
VX_API int32_t TleDataToArrays(int32_t count, const int64_t* satKeys, double* arrays, int32_t* found);
/* The texts of many element sets in one call, as TleDataToArrays reads
 * them: row i of designators (count x 8 characters, may be NULL) receives
 * the satName of satKeys[i], row i of names (count x nameWidth characters,
 * may be NULL) its object name cut to nameWidth; both blank padded, no NUL,
 * all blanks for a key not loaded (found[i], may be NULL, 1 or 0); *longest
 * (may be NULL) the length of the longest object name among the keys found,
 * so a host can call again with a wider nameWidth when a name was cut. Returns
 * the number of keys found; keys not loaded give one error line for the
 * call ("TleGetTextColumns: <n> of <count> satKeys not loaded, the first
 * <key>."). -1 (logged) for a negative count or nameWidth, NULL keys with a
 * count above 0, or names with nameWidth 0. Never writes past count rows. */
VX_API int32_t TleGetTextColumns(int32_t count, const int64_t* satKeys, char* designators, char* names,
                                 int32_t nameWidth, int32_t* found, int32_t* longest);
/* Every loaded element set as columns, in one walk of the store in
 * ascending satKey order under one read hold: the first
 * min(capacity, number loaded) keys go to satKeys, and for each of the
 * nElems array elements listed in elems (1-64, the TleDataToArray layout)
 * their values go to one column of capacity doubles: element elems[j] of
 * the i-th set at columns[j * capacity + i]. *total (may be NULL) receives
 * the number loaded. Returns the number of sets written; -1 (logged) for a
 * negative capacity or nElems, an element outside 1-64, or a NULL buffer
 * that is needed. Never writes past capacity rows or nElems columns. */
VX_API int32_t TleGetLoadedColumns(int32_t capacity, int32_t nElems, const int32_t* elems, int64_t* satKeys,
                                   double* columns, int32_t* total);
/* Parses the element sets of a text in memory to arrays, without the store:
 * textLen characters of text (no NUL needed; a NUL or any other character
 * is read as in a file), its lines ended by "\n" or "\r\n", holding line
 * pairs (a name or other line may come before each), CSV lines and maneuver
 * cards (passed over), as TleLoadFile reads a file's own element sets (no
 * file cards, no DMA card). Each set goes through the parse and checks of
 * TleAddSatFrLines; the first capacity sets taken fill one row each of
 * values (capacity x 64 doubles, row after row, the TleDataToArray array)
 * and, when lineNums is not NULL, lineNums[i] the line (from 1) row i
 * begins on. *count (may be NULL) receives the number of sets taken, which
 * may be more than capacity: then only capacity rows are written, and a call
 * with capacity *count gets them all (capacity 0 only counts). *bad (may be
 * NULL) receives the number refused. A refused set is skipped: it writes its
 * one log line, as a load of the same text would ("ReadOnlyTLEs: Line1
 * without its line2 ...", "Lines2Tle: ..."), and fn (may be NULL) is called
 * with user for it as TleLoadFileReport calls it (status 2, satKey -1, the
 * line, the message), outside any lock. Sets taken are not reported. Safe
 * to call from any number of threads at once. Results: VX_OK the text was
 * read (bad sets are counted, not fatal); VX_FAIL (logged, *count and *bad
 * 0) for a negative textLen or capacity, a NULL text with textLen above 0,
 * NULL values with capacity above 0, or memory ran out. Never writes past
 * capacity rows. */
VX_API int32_t TleParseTextArrays(const char* text, int64_t textLen, int32_t capacity, double* values,
                                  int32_t* lineNums, int32_t* count, int32_t* bad, TleLoadFn fn, void* user);
/* The named columns of the TleDataToArray array, in element order: for the
 * first min(capacity, count) of them, elements[i] the element number (1-64),
 * names (16 characters per column, one after the other, blank padded, no
 * NUL) the column name ("satnum", "epoch", "ndot", "nddot", "bstar",
 * "ephtype", "inclination", "raan", "eccentricity", "arg_perigee",
 * "mean_anomaly", "mean_motion", "rev_num", "elset_num") and isInteger[i] 1
 * for a column that holds an integer, else 0. Returns the number of named
 * columns (capacity 0 asks for it); -1 (logged) for a negative capacity or a
 * NULL buffer with a capacity above 0. Never writes past capacity columns. */
VX_API int32_t TleGetArrayLayout(int32_t capacity, int32_t* elements, char* names, int32_t* isInteger);
VX_API int32_t TleUpdateSatFrArray(int64_t satKey, const double tleArr[64], const char tleText[512]);
VX_API int64_t TleAddSatFrArray(const double tleArr[64], const char tleText[512]);
VX_API void TleAddSatFrArrayML(const double tleArr[64], const char tleText[512], int64_t* satKey);
VX_API int32_t TleLinesToArray(const char line1[512], const char line2[512], double tleArr[64], char tleText[512]);

VX_API int32_t TleParseGP(const char line1[512], const char line2[512], int32_t* satNum, char* secClass,
                          char satName[8], int32_t* epochYr, double* epochDays, double* nDotO2, double* n2DotO6,
                          double* bStar, int32_t* ephType, int32_t* elsetNum, double* incli, double* raNode,
                          double* eccen, double* argPer, double* mnAnomaly, double* mnMotion, int32_t* revNum);
VX_API int32_t TleParseSP(const char line1[512], const char line2[512], int32_t* satNum, char* secClass,
                          char satName[8], int32_t* epochYr, double* epochDays, double* auxCoef2, double* auxCoef3,
                          double* auxCoef1, int32_t* elsetNum, double* incli, double* raNode, double* eccen,
                          double* argPer, double* mnAnomaly, double* mnMotion, int32_t* revNum);

VX_API void TleGPFieldsToLines(int32_t satNum, char secClass, const char satName[8], int32_t epochYr,
                               double epochDays, double nDotO2, double n2DotO6, double bStar, int32_t ephType,
                               int32_t elsetNum, double incli, double raNode, double eccen, double argPer,
                               double mnAnomaly, double mnMotion, int32_t revNum, char line1[512], char line2[512]);
VX_API void TleGPFieldsToCsv(int32_t satNum, char secClass, const char satName[8], int32_t epochYr, double epochDays,
                             double nDotO2, double n2DotO6, double bStar, int32_t ephType, int32_t elsetNum,
                             double incli, double raNode, double eccen, double argPer, double mnAnomaly,
                             double mnMotion, int32_t revNum, char csvLine[512]);
VX_API void TleSPFieldsToLines(int32_t satNum, char secClass, const char satName[8], int32_t epochYr,
                               double epochDays, double auxCoef2, double auxCoef3, double auxCoef1, int32_t elsetNum,
                               double incli, double raNode, double eccen, double argPer, double mnAnomaly,
                               double mnMotion, int32_t revNum, char line1[512], char line2[512]);
VX_API void TleGPArrayToLines(const double tleArr[64], const char tleText[512], char line1[512], char line2[512]);
VX_API void TleGPArrayToCsv(const double tleArr[64], const char tleText[512], char csvLine[512]);

/* ---- Propagation (the SGP4/SDP4 model of orbix) -------------------------
 * gravModel and opsMode as for OrbixSnapshotFromElements (0 and 0 give
 * WGS-72 and the improved mode). Element values come from the stored set:
 * its epoch (epochYr, epochDays) as ds50 UTC, mnMotion, eccen, incli,
 * raNode, argPer, mnAnomaly, bStar, nDotO2, n2DotO6.
 *
 * Many sets at one time or at many times, as the outer product or zipped
 * (set i at time i): make a snapshot with TleSnapshot once, then call
 * OrbixPropagate on it as often as needed (ranges of it from several host
 * threads at once, if wished); free it with OrbixSnapshotFree. */

/* A snapshot of the sets of satKeys[0 .. count), entry i for satKeys[i]
 * with satKeys[i] as its id (OrbixSnapshotGetIds); satKeys NULL: every set
 * of the store in ascending key order (count ignored), read in chunks, so
 * adds and removals of other threads wait for one chunk at most. An entry
 * whose key holds no set has code 8 (OrbixSnapshotInitError, and at every
 * time); a set of ephemeris type 4 or 6 has code 9. The snapshot holds
 * copies of everything: updating or removing sets, or emptying the store,
 * never changes it; it lives until OrbixSnapshotFree.
 * Result: the snapshot with *status VX_OK; the snapshot with *status
 * VX_FAIL when keys held no set, logged once for the call ("TleSnapshot: <n>
 * of <count> satKeys not loaded, the first <key>.", the key in 19
 * columns); NULL with *status VX_FAIL and one log line for a negative count
 * with a key list, an unknown gravModel or opsMode, or memory exhausted.
 * count 0 gives an empty snapshot. status may be NULL. */
VX_API OrbixSnapshot* TleSnapshot(const int64_t* satKeys, int32_t count, int32_t gravModel, char opsMode,
                                  int32_t* status);

/* States of the set of satKey at times[0 .. timeCount) (minutes since its
 * epoch for timeMode ORBIX_TIME_SINCE_EPOCH, ds50 UTC for ORBIX_TIME_DS50),
 * the set initialised for this call: pos and vel receive timeCount * 3
 * doubles (km, km/s, TEME), errors timeCount codes as OrbixPropagate gives
 * them (9 at every time for a set of ephemeris type 4 or 6).
 * Result: VX_OK; VX_FAIL with one log line and nothing written for a key
 * not loaded ("TlePropagateSat: No element set of satKey <key>", the key in
 * 19 columns), a negative timeCount, NULL arrays where entries are to be
 * written, or an unknown timeMode, gravModel or opsMode. */
VX_API int32_t TlePropagateSat(int64_t satKey, const double* times, int32_t timeCount, int32_t timeMode,
                               int32_t gravModel, char opsMode, double* pos, double* vel, int32_t* errors);

#ifdef __cplusplus
}
#endif

#endif /* VELTRIX_TLE_H */
