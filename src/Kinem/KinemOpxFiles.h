// Readers of the outside orbit-determination system's (OPX) files: the
// vector file (one state vector, its epoch, drag and radiation-pressure
// terms, coordinate system and covariance) and the control file (the
// force-model and integrator settings used for it). Both are plain text,
// one key per line at column 1 followed by its value.
//
// How the input-file reader calls them
//
//  - The readers take a unit that is already open for reading (fileopen
//    with kFileRead) and read it from its current position to its end. They
//    never open, rewind or close it: the caller does, and closes it on every
//    way out.
//  - "POS_VEL_ECI_STATE" line in a file being read (inside the input-file
//    lock): call readopxkinems(unit, loaded, dup, bad, status, &key) on the
//    file's own unit; the rest of the file is consumed. status 0: when key
//    is not 0 it is the vector just added (the target of pending maneuver
//    cards). status 2: reading that file stops, the failure is logged.
//  - "OPXVECFILE" line: open the named file on unit 4, call readopxkinems
//    on unit 4 with the load's counters, close unit 4. The status is
//    readopxkinems's errCode.
//  - "OPXCTRLFILE" line: open the named file on unit 4, call
//    readopxctrlsforsat(getsatnumfrfilepath(name), 4,
//    "ReadKinemsFrFileUnit"), close unit 4. Its result is the status.
//  - "RUN_OPTION_DC_ONLY" line (inside the input-file lock): call
//    readopxctrlsforsat(getsatnumfrfilepath(path), unit, "ReadOnlyKINEMs")
//    on the file's own unit, path being the name of the file being read;
//    then reading that file ends, whatever the result.
//  - The three counters are only ever incremented, so one set of counters
//    can be summed over several files. Nothing else of the caller changes.
//
// Thread safety: the vector reader takes no lock of its own; the store
// add takes the store's writer side. Control files are read one at a time
// process wide: the perturbation switch ("perturbation_controls") that one
// control file leaves is what the next control file without that line
// reads under, so each read holds one lock from its start to its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Kinem/KinemLines.h"
#include "Kinem/KinemTypes.h"

namespace vx::kinem {

// The value checkfieldnum gives for a line that does not carry the key (or
// whose value does not read as a number): the readers' mark of an absent
// key. A key line whose value is exactly this number counts as absent too.
inline constexpr double kOpxAbsent = 123456789.0;
// Last column checkfieldnum and checkfieldstr read.
inline constexpr size_t kOpxLastCol = 128;

// If line starts with key (case-sensitive, over the key's own length): the
// number after the key's last character through column 128, else
// kOpxAbsent. The value may be preceded by blanks and one "=".
double checkfieldnum(std::string_view line, std::string_view key);
// The text twin: if line starts with key, the text after the key through
// column 128 (what follows its "=" when it has one), left-adjusted and
// blank padded into out
// (kLineLen characters); otherwise kLineLen blanks.
void checkfieldstr(std::string_view line, std::string_view key, char* out);

// Satellite number at the start of a file's base name (after its last "/"
// or "\"): its first 5 characters read as an integer ("(I5)", blanks
// ignored); -1 when they do not read as one. path is blank padded or not.
int32_t getsatnumfrfilepath(std::string_view path);

// Reads one vector file from unit and adds its vector to the store, keyed
// by createsatkey whatever key mode is in force. errCode: 0, or 2 with one
// log line (a "fort.n" unit, no memory); then no counter changes. Otherwise
// exactly one counter is incremented: numLoaded (stored), numDup (an equal
// vector is already stored, nothing logged) or numBad (no epoch, no
// satellite number, a component of position or velocity missing, no key,
// no free key, a value that is not a finite number or a designator byte
// outside printable ASCII; one log line each). addedKey (optional)
// receives the key of the stored vector, or 0 when none was stored.
// fileName (optional, blank padded or not) is the name the lines about a
// missing value give the file.
void readopxkinems(int32_t unit, int32_t& numLoaded, int32_t& numDup, int32_t& numBad, int32_t& errCode,
                   int64_t* addedKey = nullptr, std::string_view fileName = {});

// Reads one control file from unit into controls (every field set: the
// defaults plus what the file's keys give). A "fort.n" unit gives the
// default controls without reading and without a message. Serialised
// process wide with every other control-file read (see above).
void readopxctrls(Card4pinput& controls, int32_t unit);

// The controls step of the input-file reader: when a vector of satNum is
// loaded (the one the lookup by satellite number finds), reads its controls from unit with
// readopxctrls and gives them to that vector in one step under the store's
// writer side, replacing any it had. When none is loaded (satNum -1
// included) nothing is read, nothing changes and nothing is logged. 0
// stored or skipped (found, optional, tells which); 2 when the controls
// could not be stored, with one line ("<caller>: Memory allocation failed"
// or the store's own).
int32_t readopxctrlsforsat(int32_t satNum, int32_t unit, std::string_view caller, bool* found = nullptr);

// The process-wide perturbation switch the control files set: off when the
// library is loaded. Read and set under the control-file lock.
bool opxapplyperts();
void opxsetapplyperts(bool on);

}  // namespace vx::kinem
