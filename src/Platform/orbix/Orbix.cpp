// Astrodynamics library of the family: linked by tle and kinem, nothing in it is called yet.
namespace vx::orbix {
int placeholder() { return 0; }
}  // namespace vx::orbix
