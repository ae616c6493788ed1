// State-vector library: an empty shell until its store and card formats land.
namespace vx::kinem {
int placeholder() { return 0; }
}  // namespace vx::kinem
