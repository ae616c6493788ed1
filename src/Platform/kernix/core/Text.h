// Stateless text and number helpers of kernix: host text conversion, the
// alpha-5 satellite number, checksums, angle reduction, tolerant compares,
// card helpers, sorting and the DMA-key arithmetic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vx {

// ---- Host text at the C boundary -------------------------------------------
// Host array (ended by its first NUL or by n) to a blank-padded text of n
// characters in out.
void chararrtostr(const char* arr, size_t n, char* out);
// Copies n characters of text, blanks included, into the host array.
void strtochararr(std::string_view text, char* arr, size_t n);

// ---- Small text helpers ----------------------------------------------------
void touppercase(char* text, size_t len);
bool isblankornull(std::string_view text);
// Text without leading and trailing blanks.
std::string_view trimmed(std::string_view text);
// Text without trailing blanks.
std::string_view rtrimmed(std::string_view text);
// Moves text[0, n) left past its leading blanks, blank filling the end.
void leftadjust(char* text, size_t n);
// Position of the first byte outside printable ASCII (32-126), npos when
// there is none. Such a byte would break the lines and cards of a saved file
// apart, and is no text of these forms.
size_t firstunprintable(std::string_view text);
// Integer / real of a whole text by the fixed-column input rules; false when
// it does not read.
bool strtoint(std::string_view text, int32_t& out);
bool strtoreal(std::string_view text, double& out);
// Blanks to "0" in place.
void blanktozerochar(char* text, size_t len);
// The value after the first "=" of a card, left-adjusted, blank padded into
// out (outLen); blanks when the card has no "=".
void getinputstr(std::string_view card, char* out, size_t outLen);
// The file name of a file card: the text after "=", left-adjusted, blank
// padded into out (outLen).
void getinputfilename(std::string_view card, char* out, size_t outLen);
// Squeezes every blank out of line[0, len) in place (the freed tail is
// blank filled).
void compresscsvline(char* line, size_t len);
// The ten characters of TLE line-1 columns 34-43 for x: sign or blank, then
// "." and eight decimals (" .00002489", "-.00000036"); values of magnitude 1
// or more keep their integer digits; asterisks when nothing fits.
void fx0tosignax(double x, int width, char* field);
// A ten-column term of state-vector card 2P: always with its own decimal
// point, as many significant digits as fit.
void fx0toax(double x, int width, char* field);

// ---- Satellite numbers -----------------------------------------------------
// 0..99999 as five digits; 100000..339999 as a letter (A..Z without I and O,
// A = 10) and four digits. alpha5tonum gives 0 for text that reads as
// neither; numtoalpha5 fills five asterisks for numbers outside 0..339999.
int32_t alpha5tonum(std::string_view text5);
void numtoalpha5(int32_t num, char out5[5]);

// ---- Numbers ---------------------------------------------------------------
// Modulo-10 checksum of columns first..last: digits count their value, "-"
// counts 1. err becomes nonzero (and sum 0) when a column holds a byte that
// is not printable text, or the range does not lie in the line.
void cksum(std::string_view line, int first, int last, int32_t& sum, int32_t& err);
// Angle reduced into [0, 2*pi).
double fmod2p(double x);
// Tolerant compare of two doubles (relative 1e-12, absolute 1e-12 near zero).
bool eqr(double a, double b);
inline bool neqr(double a, double b) { return !eqr(a, b); }

// ---- Cards -----------------------------------------------------------------
// A maneuver card of an input file: a line that begins with "MNVR" in
// column 1 ("*" comments never are).
bool ismaneuvcardtype(std::string_view line);

// ---- Sorting ---------------------------------------------------------------
// Sorts n keys by their ascending 32-character sort texts (texts[i*32 ..]),
// moving each key with its text; iterative, no recursion.
void quicksortiterative(size_t n, char* texts, int64_t* keys, size_t textLen = 32);

// ---- DMA keys ----------------------------------------------------------------
// Tree keys made by createsatkey are at or above kTreeKeyBase; every other
// value, zero and negatives included, is taken for a DMA key. A DMA key is
// ten times the address of its object.
inline constexpr int64_t kTreeKeyBase = int64_t{1} << 60;
inline bool isdma(int64_t key) { return key < kTreeKeyBase; }
inline int64_t satkeytoaddr(int64_t key) { return key / 10; }
inline void* keytocptr(int64_t key) { return reinterpret_cast<void*>(static_cast<intptr_t>(key / 10)); }
inline int64_t addrtosatkey(const void* obj) { return static_cast<int64_t>(reinterpret_cast<intptr_t>(obj)) * 10; }
// The next key to try when a tree key is taken by a different record.
inline int64_t nextsatkey(int64_t key) { return key + 1; }

}  // namespace vx
