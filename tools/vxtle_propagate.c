/*
 * vxtle propagate: the states of one element set of the store over a span
 * of times, as a table or as JSON.
 *
 * Times are minutes since the set's epoch or UTC dates
 * ("2026-07-14T00:00:00", seconds may have a fraction, a final Z is
 * allowed); a span with a date runs in days since 1950 (ds50) UTC.
 */
#define _POSIX_C_SOURCE 200809L
#include "vxtle_propagate.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "veltrix/orbix.h"
#include "veltrix/tle.h"
#include "vxtool.h"

/* The store's propagation of one set, when the library has it (a weak
 * reference: NULL with a library that lacks it, then the set's values go
 * through a snapshot of their own). */
extern int32_t TlePropagateSat(int64_t satKey, const double* times, int32_t timeCount, int32_t timeMode,
                               int32_t gravModel, char opsMode, double* pos, double* vel, int32_t* errors)
    __attribute__((weak));

#define MAX_TIMES 1000000L
#define MSG_LEN 128
#define ISO_LEN 128
#define RC_OK 0
#define RC_USAGE 1
#define RC_BAD 2

/* Days from 1970-01-01 of a proleptic Gregorian date. */
static long daysFromCivil(long y, long m, long d) {
  long era, yoe, doy, doe;
  y -= m <= 2;
  era = (y >= 0 ? y : y - 399) / 400;
  yoe = y - era * 400;
  doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

static void civilFromDays(long z, long* y, long* m, long* d) {
  long era, doe, yoe, doy, mp;
  z += 719468;
  era = (z >= 0 ? z : z - 146096) / 146097;
  doe = z - era * 146097;
  yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp + (mp < 10 ? 3 : -9);
  *y = yoe + era * 400 + (*m <= 2);
}

/* Day 1.0 of ds50 is 1950 January 1, 0h. */
static long ds50Base(void) { return daysFromCivil(1949, 12, 31); }

/* A UTC date "YYYY-MM-DDTHH:MM:SS[.fff][Z]" as ds50; 0 on success. */
static int isoToDs50(const char* s, double* ds50) {
  int y, mo, d, h, mi, n = 0;
  double sec;
  if (sscanf(s, "%4d-%2d-%2dT%2d:%2d:%lf%n", &y, &mo, &d, &h, &mi, &sec, &n) != 6) return -1;
  if (s[n] == 'Z') ++n;
  if (s[n] != '\0' || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || !(sec >= 0.0 && sec < 61.0))
    return -1;
  if (d > (mo == 12 ? daysFromCivil(y + 1, 1, 1) : daysFromCivil(y, mo + 1, 1)) - daysFromCivil(y, mo, 1)) return -1;
  *ds50 = (double)(daysFromCivil(y, mo, d) - ds50Base()) + (h * 3600.0 + mi * 60.0 + sec) / 86400.0;
  return 0;
}

/* ds50 as a UTC date to the millisecond ("out-of-range" past the years
 * -9999 to 9999, so the date keeps its width). */
static void ds50ToIso(double ds50, char out[ISO_LEN]) {
  double ms = floor(ds50 * 86400000.0 + 0.5);
  long days, rest, y, m, d;
  if (!(fabs(ds50) < 2.9e6)) {
    snprintf(out, ISO_LEN, "out-of-range");
    return;
  }
  days = (long)floor(ms / 86400000.0);
  rest = (long)(ms - (double)days * 86400000.0);
  civilFromDays(days + ds50Base(), &y, &m, &d);
  snprintf(out, ISO_LEN, "%04ld-%02ld-%02ldT%02ld:%02ld:%02ld.%03ld", y, m, d, rest / 3600000, rest / 60000 % 60,
           rest / 1000 % 60, rest % 1000);
}

/* A time argument: a date (*isDate 1, ds50) or minutes since the epoch. */
static int parseTime(const char* s, double* value, int* isDate) {
  char* end = NULL;
  *isDate = strchr(s, 'T') != NULL;
  if (*isDate) return isoToDs50(s, value);
  *value = strtod(s, &end);
  return end == s || *end != '\0' || !isfinite(*value) ? -1 : 0;
}

/* The set's epoch as ds50 and its values as the orbit model takes them; 0,
 * or -1 when the store no longer holds the key. */
static int setValues(int64_t key, double elems[ORBIX_ELEM_SIZE], int32_t* ephType) {
  int32_t satNum, year, elsetNum, revNum;
  char cls, name[8];
  double days;
  if (TleGetAllFieldsGP2(key, &satNum, &cls, name, &year, &days, &elems[7], ephType, &elsetNum, &elems[3],
                         &elems[4], &elems[2], &elems[5], &elems[6], &elems[1], &revNum, &elems[8],
                         &elems[9]) != VX_OK)
    return -1;
  elems[0] = (double)(daysFromCivil(year, 1, 1) - ds50Base()) + days - 1.0;
  return 0;
}

/* Propagation through a snapshot of the set's own values. */
static int32_t snapshotPropagate(const double elems[ORBIX_ELEM_SIZE], const double* times, int32_t n, int32_t mode,
                                 double* pos, double* vel, int32_t* errors) {
  int32_t status = VX_FAIL;
  OrbixSnapshot* snap = OrbixSnapshotFromElements(elems, 1, ORBIX_GRAV_WGS72, 'i', &status);
  if (!snap) return status;
  status = OrbixPropagate(snap, 0, 1, times, n, mode, ORBIX_LAYOUT_OUTER, pos, vel, errors);
  OrbixSnapshotFree(snap);
  return status;
}

static void codeMessage(int32_t code, char out[MSG_LEN + 1]) {
  char m[MSG_LEN];
  OrbixGetMessage(code, m);
  vxCText(out, m, MSG_LEN);
}

int vxtlePropagate(const char* file, long satNum, int64_t key, const char* from, const char* to, const char* step,
                   int json) {
  double t0, t1, stepMin, elems[ORBIX_ELEM_SIZE], *times, *pos, *vel, minutes;
  int d0, d1, mode, rc = RC_OK;
  int32_t ephType = 0, *errors, firstFail[16], failCount[16], status;
  long n, i;
  char* end = NULL;
  char iso[ISO_LEN], msg[MSG_LEN + 1];
  if (parseTime(from, &t0, &d0) != 0 || parseTime(to, &t1, &d1) != 0) {
    fprintf(stderr, "vxtle: not a time: %s (minutes since the epoch, or a UTC date 2026-07-14T00:00:00)\n",
            parseTime(from, &t0, &d0) != 0 ? from : to);
    return RC_USAGE;
  }
  stepMin = strtod(step, &end);
  if (end == step || *end != '\0' || !(stepMin > 0.0) || !isfinite(stepMin)) {
    fprintf(stderr, "vxtle: --step needs a positive number of minutes, not %s\n", step);
    return RC_USAGE;
  }
  if (setValues(key, elems, &ephType) != 0) {
    fprintf(stderr, "vxtle: satellite %ld is not in %s\n", satNum, file);
    return RC_BAD;
  }
  mode = d0 || d1 ? ORBIX_TIME_DS50 : ORBIX_TIME_SINCE_EPOCH;
  if (mode == ORBIX_TIME_DS50) { /* both ends as dates */
    if (!d0) t0 = elems[0] + t0 / 1440.0;
    if (!d1) t1 = elems[0] + t1 / 1440.0;
  }
  {
    double span = (t1 - t0) * (mode == ORBIX_TIME_DS50 ? 1440.0 : 1.0) / stepMin;
    if (!(span >= -1e-9) || span > (double)MAX_TIMES) {
      fprintf(stderr, "vxtle: %s\n", span < 0 ? "--to is before --from" : "more than 1000000 times asked for");
      return RC_USAGE;
    }
    n = (long)floor(span + 1e-9) + 1;
  }
  times = malloc((size_t)n * sizeof *times);
  pos = malloc((size_t)n * 3 * sizeof *pos);
  vel = malloc((size_t)n * 3 * sizeof *vel);
  errors = malloc((size_t)n * sizeof *errors);
  if (!times || !pos || !vel || !errors) {
    fprintf(stderr, "vxtle: out of memory for %ld times\n", n);
    rc = RC_BAD;
    goto done;
  }
  for (i = 0; i < n; ++i) times[i] = t0 + (double)i * (mode == ORBIX_TIME_DS50 ? stepMin / 1440.0 : stepMin);
  if (TlePropagateSat)
    status = TlePropagateSat(key, times, (int32_t)n, mode, ORBIX_GRAV_WGS72, 'i', pos, vel, errors);
  else if (ephType == 4 || ephType == 6) {
    for (i = 0; i < n; ++i) errors[i] = 9;
    memset(pos, 0, (size_t)n * 3 * sizeof *pos);
    memset(vel, 0, (size_t)n * 3 * sizeof *vel);
    status = VX_OK;
  } else
    status = snapshotPropagate(elems, times, (int32_t)n, mode, pos, vel, errors);
  if (status != VX_OK) {
    vxLastError(msg);
    fprintf(stderr, "vxtle: cannot propagate satellite %ld: %s\n", satNum, msg[0] ? msg : "the library refused it");
    rc = RC_BAD;
    goto done;
  }
  memset(failCount, 0, sizeof failCount);
  ds50ToIso(elems[0], iso);
  if (json) {
    printf("{\"file\": ");
    vxJsonString(stdout, file);
    printf(", \"satellite\": %ld, \"satKey\": %lld, \"epoch\": \"%s\", \"states\": [", satNum, (long long)key,
           iso);
  } else {
    printf("satellite %ld, satKey %lld, epoch %s UTC\n", satNum, (long long)key, iso);
    printf("%-23s %14s %16s %16s %16s %14s %14s %14s  %s\n", "time (UTC)", "minutes", "x (km)", "y (km)", "z (km)",
           "vx (km/s)", "vy (km/s)", "vz (km/s)", "code");
  }
  for (i = 0; i < n; ++i) {
    const double *r = pos + 3 * i, *v = vel + 3 * i;
    int32_t c = errors[i];
    minutes = mode == ORBIX_TIME_DS50 ? (times[i] - elems[0]) * 1440.0 : times[i];
    ds50ToIso(mode == ORBIX_TIME_DS50 ? times[i] : elems[0] + times[i] / 1440.0, iso);
    codeMessage(c, msg);
    /* Failures counted by code; codes the table does not know share slot 0. */
    if (c != 0 && failCount[c > 0 && c < 16 ? c : 0]++ == 0) firstFail[c > 0 && c < 16 ? c : 0] = (int32_t)i;
    if (json) {
      printf("%s{\"time\": \"%s\", \"minutes\": %.6f, \"position\": [%.9f, %.9f, %.9f], \"velocity\": [%.12f, "
             "%.12f, %.12f], \"code\": %d, \"message\": ",
             i ? ", " : "", iso, minutes, r[0], r[1], r[2], v[0], v[1], v[2], (int)c);
      vxJsonString(stdout, msg);
      printf("}");
    } else
      printf("%-23s %14.6f %16.8f %16.8f %16.8f %14.10f %14.10f %14.10f  %d%s%s\n", iso, minutes, r[0], r[1], r[2],
             v[0], v[1], v[2], (int)c, c ? " " : "", c ? msg : "");
  }
  if (json) printf("]}\n");
  fflush(stdout);
  for (i = 0; i < 16; ++i) {
    if (!failCount[i]) continue;
    codeMessage(errors[firstFail[i]], msg);
    minutes = mode == ORBIX_TIME_DS50 ? (times[firstFail[i]] - elems[0]) * 1440.0 : times[firstFail[i]];
    fprintf(stderr, "vxtle: satellite %ld: %d of %ld times failed, the first %.6f minutes from the epoch: %s\n",
            satNum, (int)failCount[i], n, minutes, msg);
    rc = RC_BAD;
  }
done:
  free(times);
  free(pos);
  free(vel);
  free(errors);
  return rc;
}
