// A save beside writers: it holds the store only while it formats a chunk
// of element sets, so an add waits for at most one chunk, never for the
// file, and every set present for the whole save is written once.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <future>
#include <set>
#include <sstream>

#include "Tle/TleFilesTestSupport.h"

namespace {

using namespace vx::testing::tlefiles;
using namespace std::chrono_literals;

class TleSaveWhileAdding : public TleFiles {};

int64_t addNumbered(int32_t satNum) {
  return TleAddSatFrFieldsGP(satNum, 'U', "98067A  ", 2018, 20.5, 0.0, 0, 999, 51.6, 10.0, 0.001, 20.0, 30.0, 15.5,
                             100);
}

// Satellite numbers of the first lines of a saved text, in file order.
std::vector<int32_t> savedNumbers(const std::string& text) {
  std::vector<int32_t> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.size() > 7 && line[0] == '1') out.push_back(std::stoi(line.substr(2, 5)));
  return out;
}

// Without chunks the save held the store's read side until the last line
// was written, so with nobody reading the pipe the add below never finished.
TEST_F(TleSaveWhileAdding, AddBesideASaveToAStalledPipeWaitsForOneChunkAtMost) {
  constexpr int32_t kSets = 20000;  // some 2.8 MB of lines: far more than a pipe and the file buffer hold
  for (int32_t n = 1; n <= kSets; ++n) ASSERT_GT(addNumbered(n), 0);
  const std::string fifo = path("slow.tle");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::atomic<int32_t> saveRc{-1};
  std::thread saver([&] { saveRc = save(fifo, 0, 0); });
  const int fd = ::open(fifo.c_str(), O_RDONLY);  // waits for the save to open its end
  ASSERT_GE(fd, 0);
  std::this_thread::sleep_for(300ms);  // the save fills the pipe and stalls
  auto added = std::async(std::launch::async, [] { return addNumbered(kSets + 1); });
  const bool addFinished = added.wait_for(5s) == std::future_status::ready;
  std::string text;
  char buf[65536];
  for (ssize_t got; (got = ::read(fd, buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(got));
  ::close(fd);
  saver.join();
  EXPECT_TRUE(addFinished) << "the add waited for the stalled save";
  EXPECT_GT(added.get(), 0);
  EXPECT_EQ(saveRc.load(), 0);
  const size_t saved = savedNumbers(text).size();
  EXPECT_TRUE(saved == kSets || saved == kSets + 1) << saved;
}

// Saves while another thread adds and removes sets of its own, their keys
// between those of the sets that stay: every set present throughout is in
// each file once, in ascending key order (here ascending satellite number),
// and a set added or removed meanwhile at most once.
TEST_F(TleSaveWhileAdding, ConcurrencySaveWritesEverySetPresentThroughoutOnce) {
  constexpr int32_t kStay = 3000;  // about three chunks, even numbers
  for (int32_t n = 1; n <= kStay; ++n) ASSERT_GT(addNumbered(2 * n), 0);
  std::atomic<bool> stop{false};
  std::atomic<int> writerFailures{0};
  std::thread writer([&] {
    std::deque<int64_t> added;  // the writer's sets still loaded, oldest first
    for (int32_t i = 0; !stop.load(); i = (i + 1) % kStay) {
      const int64_t k = addNumbered(2 * i + 1);
      if (k <= 0) ++writerFailures;
      added.push_back(k);
      if (added.size() > 100) {
        if (TleRemoveSat(added.front()) != 0) ++writerFailures;
        added.pop_front();
      }
    }
  });
  for (int round = 0; round < 3; ++round) {
    const std::string file = path("saved" + std::to_string(round) + ".tle");
    ASSERT_EQ(save(file, 0, 0), 0);
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    const std::vector<int32_t> numbers = savedNumbers(text.str());
    for (size_t i = 1; i < numbers.size(); ++i)
      ASSERT_LT(numbers[i - 1], numbers[i]) << "round " << round << " at set " << i;
    const std::set<int32_t> seen(numbers.begin(), numbers.end());
    for (int32_t n = 2; n <= 2 * kStay; n += 2) ASSERT_EQ(seen.count(n), 1u) << "round " << round << " set " << n;
  }
  stop = true;
  writer.join();
  EXPECT_EQ(writerFailures.load(), 0);
}

}  // namespace
