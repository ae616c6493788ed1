// The text rules of every Veltrix reader and writer, in one place:
// fixed-column numeric input and output, and free-format list input and
// output. Locale free, built on std::from_chars / std::to_chars, and free of
// heap allocation.
//
// Fixed-column input (readInt, readReal):
//   blanks anywhere in the field are ignored and an all-blank field reads 0;
//   a sign may lead; a real field has `implied` implied decimals (the last
//   `implied` digits of the mantissa follow the decimal point) unless a point
//   is written; a real may end in an exponent introduced by "E", "D" (either
//   case) or by a sign alone ("12345-4" with five implied decimals is
//   0.12345e-4: the implied decimals apply to the mantissa, the exponent
//   comes on top); any other character fails the read, and so do a sign or
//   point without digits, a second point and an exponent without digits.
//   Integers take an optional sign and digits only. Every real read is
//   correctly rounded (the value of the decimal text, as std::from_chars
//   gives it); a zero keeps the sign it was written with ("-.00000000" reads
//   -0.0, an all-blank field +0.0).
//
// Fixed-column output (writeF, writeI, writeE, writeA) writes exactly w
// characters, right-aligned, and fills the field with asterisks when the
// value does not fit (false is returned then). A non-finite value never fits.
// -0.0 is written as zero without a sign; a negative value that rounds to
// zero keeps its "-" ("F8.4" of -0.00001 gives " -0.0000").
//
// List input (ListReader): values separated by commas, blanks around values
// ignored, blanks alone also separate two values, and a comma with blanks
// around it is one separator; an empty value keeps the caller's default; a
// slash ends the input (every later value keeps its default); a text value
// ends at the next comma, blank or slash unless quoted ('...' or "...");
// integers must have no point or exponent; reals take any form the
// fixed-column reader accepts with no implied decimals ("1.5-3" included).
//
// List output (writeListReal): 17 significant digits, correctly rounded;
// fixed notation when 0.1 <= |x| < 1e17 after rounding (1.0000000000000000,
// 0.50000000000000000, 123.45600000000000; 1e16 gives 10000000000000000.),
// zero as 0.0000000000000000 (-0.0 as -0.0000000000000000, so that a
// negative zero read from a field comes back as written), otherwise one
// digit, point, sixteen digits, "E", sign and three exponent digits
// (6.7029999999999998E-004); "NaN", "Infinity" and "-Infinity" for the
// non-finite values. Reading the text back with std::from_chars gives the
// same double.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vx::fmt {

// The powers of ten that a double holds exactly, 10^0 .. 10^22. Scaling an
// exact integer by one of them rounds once, correctly; 1.0 / kExactPow10[k]
// is the double nearest 10^-k.
inline constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
inline constexpr int kMaxExactPow10 = 22;

// ---- Fixed-column input ----------------------------------------------------
// False when the field holds a character the rules do not allow or the value
// does not fit; `out` is then left unchanged.
bool readInt(std::string_view field, int32_t& out);
bool readInt64(std::string_view field, int64_t& out);
bool readReal(std::string_view field, int implied, double& out);
// The value of the field times 10^scale, rounded once: the double nearest
// the decimal written ("20000" with 5 implied decimals and scale -5 is the
// double nearest 2e-6, which a read of 0.2 times 1e-5 is not). For a
// mantissa whose exponent sits in a field of its own.
bool readRealScaled(std::string_view field, int implied, int32_t scale, double& out);

// ---- Fixed-column output ---------------------------------------------------
// Fw.d: fixed point, d decimals, rounded; "-" before the first digit of a
// negative value; the zero before the point is dropped when the field is
// otherwise one character short ("F9.8" of 0.5 gives ".50000000"). Fw.0
// ends in a point ("F4.0" of 12.4 gives " 12.").
bool writeF(char* out, int w, int d, double v);
// Iw.m: integer right-aligned in w, at least m digits (zero filled, the "-"
// before the zeros). The plain Iw form is m = 1; Iw.0 writes the value 0 as
// w blanks. A negative m is taken as 1.
bool writeI(char* out, int w, int64_t v, int m = 1);
// Ew.d: "0.ddddE+xx" / "-0.ddddE+xx" (the zero dropped when one character
// short), d significant digits after the point, two exponent digits; an
// exponent beyond 99 is written as a sign and three digits without the "E"
// ("0.12345+100"). Zero is "0.0000E+00"; d below 1 never fits.
bool writeE(char* out, int w, int d, double v);
// Aw: text left-aligned, blank padded or cut to w.
void writeA(char* out, int w, std::string_view s);

// ---- List output -----------------------------------------------------------
// Room that writeListReal / writeListInt need at out (no NUL is written).
inline constexpr size_t kListRealRoom = 32;
inline constexpr size_t kListIntRoom = 24;
// Writes the list form of a real into out (at least kListRealRoom characters
// of room); returns the number of characters written.
size_t writeListReal(char* out, double v);
// Plain decimal integer, "-" when negative; returns characters written.
size_t writeListInt(char* out, int64_t v);

// ---- Reading back what was written -------------------------------------------
// Half a unit of the last digit a written fixed-column real field shows: of
// its last decimal when a point is written, else of its implied decimals.
double halfunitshown(std::string_view field, int implied);
// Whether value, written and read back as back, is value to within tol (with
// a little room for the rounding of the arithmetic itself).
bool readsbackwithin(double value, double back, double tol);

// ---- List input ------------------------------------------------------------
// Reads the values of one text in order. Each read takes the next value:
// after a comma that ends the text the value is Null; with no separator
// pending at the end of the text it is Error. A quoted value is text only
// (a number read of it is Error); a quote inside a value that does not begin
// with one is an ordinary character. On Null and Error the output is left
// unchanged.
class ListReader {
 public:
  enum class Got {
    Value,  // a value was read into the output
    Null,   // empty value, or input ended by a slash: output keeps its default
    Error,  // malformed value or no value left
  };
  explicit ListReader(std::string_view text) : text_(text) {}
  Got readInt(int32_t& out);
  Got readReal(double& out);
  // Text into out, left-aligned and blank padded (or cut) to width.
  Got readText(char* out, size_t width);

 private:
  // Next raw item and the separator after it; sets quoted when the item
  // came in quotes (item is then the text between them).
  Got next(std::string_view& item, bool& quoted);
  std::string_view text_;
  size_t pos_ = 0;
  bool slashed_ = false;
  bool pending_ = false;  // a comma was consumed and its value is still to come
};

}  // namespace vx::fmt
