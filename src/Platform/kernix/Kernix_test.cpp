// Base services: text helpers, satellite numbers, checksums, file units and
// the trace log.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Services/kernix.h"
#include "support/LogCapture.h"
#include "veltrix/kernix.h"

namespace vx {
namespace {

namespace fs = std::filesystem;

TEST(KernixAlpha5, BothDirections) {
  struct Case {
    int32_t num;
    const char* text;
  };
  const Case cases[] = {{0, "00000"},      {5, "00005"},      {99999, "99999"}, {100000, "A0000"},
                        {179999, "H9999"}, {180000, "J0000"}, {229999, "N9999"}, {230000, "P0000"},
                        {339999, "Z9999"}};
  for (const auto& c : cases) {
    char out[5];
    numtoalpha5(c.num, out);
    EXPECT_EQ(std::string_view(out, 5), c.text);
    EXPECT_EQ(alpha5tonum(c.text), c.num) << c.text;
  }
  for (int32_t bad : {-1, 340000, 999999999}) {
    char out[5];
    numtoalpha5(bad, out);
    EXPECT_EQ(std::string_view(out, 5), "*****");
  }
  for (const char* bad : {"I0000", "O1234", "A12x4", "a0000", "12x45"}) EXPECT_EQ(alpha5tonum(bad), 0) << bad;
  EXPECT_EQ(alpha5tonum(" 1234"), 1234);
}

TEST(KernixText, Helpers) {
  int32_t sum = -1, err = -1;
  const std::string l1 = "1 25544U 98067A   18020.59659722  .00001558  00000-0  30975-4 0  9993";
  cksum(l1, 1, 68, sum, err);
  EXPECT_EQ(err, 0);
  EXPECT_EQ(sum, 3);
  std::string binary = l1;
  binary[10] = '\x01';
  cksum(binary, 1, 68, sum, err);
  EXPECT_NE(err, 0);
  cksum("short", 1, 68, sum, err);
  EXPECT_NE(err, 0);

  char csv[16] = "a, b ,c  ";
  compresscsvline(csv, 9);
  EXPECT_EQ(std::string_view(csv, 9), "a,b,c    ");

  char name[12];
  getinputfilename("ELTFIL = \"my file\"  ", name, sizeof name);
  EXPECT_EQ(std::string_view(name, 12), "my file     ");
  getinputfilename("ELTFIL=data.tle", name, sizeof name);
  EXPECT_EQ(std::string_view(name, 12), "data.tle    ");
  getinputstr("NO EQUALS", name, sizeof name);
  EXPECT_EQ(std::string_view(name, 12), std::string(12, ' '));

  struct Sign {
    double x;
    const char* text;
  };
  for (const Sign& s : {Sign{0.00002489, " .00002489"}, Sign{-0.00000036, "-.00000036"}, Sign{0.0, " .00000000"},
                        Sign{-0.0, "-.00000000"}, Sign{1.5, " 1.5000000"}, Sign{-12.25, "-12.250000"}}) {
    char f[10];
    fx0tosignax(s.x, 10, f);
    EXPECT_EQ(std::string_view(f, 10), s.text) << s.x;
  }
  char f[10];
  fx0toax(-1234.5678, 10, f);
  EXPECT_EQ(std::string_view(f, 10), "-1234.5678");
  fx0toax(12345678901.0, 10, f);
  EXPECT_EQ(std::string_view(f, 10), "**********");

  char host[8] = {'a', 'b', '\0', 'x', 'x', 'x', 'x', 'x'};
  char out[8];
  chararrtostr(host, 8, out);
  EXPECT_EQ(std::string_view(out, 8), "ab      ");
  EXPECT_NEAR(fmod2p(-0.1), 6.283185307179586 - 0.1, 1e-15);
  EXPECT_TRUE(eqr(1.0, 1.0 + 1e-15));
  EXPECT_TRUE(neqr(1.0, 1.0 + 1e-9));
}

TEST(KernixText, LeftAdjustAndUnprintableBytes) {
  const struct {
    std::string in, adjusted;
  } rows[] = {{"  ab ", "ab   "}, {"ab   ", "ab   "}, {"     ", "     "}, {" a b", "a b "}};
  for (const auto& r : rows) {
    std::string t = r.in;
    leftadjust(t.data(), t.size());
    EXPECT_EQ(t, r.adjusted) << r.in;
  }
  EXPECT_EQ(firstunprintable(" ~az09"), std::string_view::npos);
  EXPECT_EQ(firstunprintable(std::string("ab\x1f", 3)), 2u);
  EXPECT_EQ(firstunprintable("a\x7f"), 1u);
  EXPECT_EQ(firstunprintable("\x80"), 0u);
}

TEST(KernixSort, KeysFollowTheirTexts) {
  std::string texts = "ccc" + std::string(29, ' ') + "aaa" + std::string(29, ' ') + "bbb" + std::string(29, ' ');
  int64_t keys[3] = {3, 1, 2};
  quicksortiterative(3, texts.data(), keys, 32);
  EXPECT_EQ(keys[0], 1);
  EXPECT_EQ(keys[1], 2);
  EXPECT_EQ(keys[2], 3);
  EXPECT_EQ(texts.substr(0, 3), "aaa");
}

class KernixFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vx_kernix_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    for (int u = 0; u < 10; ++u) fileclose(u);
    fs::remove_all(dir_);
  }
  std::string write(const std::string& name, const std::string& content) {
    std::ofstream((dir_ / name).string(), std::ios::binary) << content;
    return (dir_ / name).string();
  }
  fs::path dir_;
};

TEST_F(KernixFiles, OpenRefusesWhatItCannotRead) {
  EXPECT_TRUE(existfortdotfileunit(3));
  EXPECT_NE(fileopen(3, (dir_ / "missing").string(), kFileRead), 0);
  EXPECT_TRUE(existfortdotfileunit(3));
  EXPECT_NE(fileopen(3, dir_.string(), kFileRead), 0);
  EXPECT_NE(fileopen(3, "   ", kFileRead), 0);
  EXPECT_NE(fileopen(3, write("x", "1"), 7), 0);
  EXPECT_TRUE(existfortdotfileunit(3));
  EXPECT_EQ(fileopen(3, "  " + write("y", "1") + "   ", kFileRead), 0);
  EXPECT_FALSE(existfortdotfileunit(3));
  EXPECT_EQ(fileclose(3), 0);
  EXPECT_TRUE(existfortdotfileunit(3));
}

TEST_F(KernixFiles, LinesAreBlankPaddedCutAndFreeOfCarriageReturns) {
  const std::string path = write("lines", "abc\r\n" + std::string(600, 'x') + "\nlast\r");
  ASSERT_EQ(fileopen(4, path, kFileRead), 0);
  char buf[512];
  std::vector<std::string> got;
  while (filereadline(4, buf, sizeof buf)) got.emplace_back(buf, sizeof buf);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0], "abc" + std::string(509, ' '));
  EXPECT_EQ(got[1], std::string(512, 'x'));
  EXPECT_EQ(got[2], "last" + std::string(508, ' '));
  ASSERT_EQ(filerewind(4), 0);
  ASSERT_TRUE(filereadline(4, buf, sizeof buf));
  EXPECT_EQ(std::string_view(buf, 3), "abc");
}

TEST_F(KernixFiles, ViewsAgreeWithCopiesAcrossBufferEnds) {
  // Lines of many lengths, enough of them to cross several buffer ends.
  std::string content;
  for (int i = 0; content.size() < 700000; ++i) content += std::string(static_cast<size_t>(i % 97), static_cast<char>('a' + i % 26)) + (i % 5 ? "\n" : "\r\n");
  // Lines cross the ends of the read buffer, in a file and in a pipe.
  const std::string path = write("many", content);
  const std::string pipe = (dir_ / "pipe").string();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::thread feeder([&] { std::ofstream(pipe, std::ios::binary) << content; });
  ASSERT_EQ(fileopen(3, path, kFileRead), 0);
  ASSERT_EQ(fileopen(4, pipe, kFileRead), 0);
  char buf[512];
  std::string_view view;
  size_t lines = 0;
  while (filereadline(3, buf, sizeof buf)) {
    ASSERT_TRUE(filereadlineview(4, view));
    ASSERT_EQ(rtrimmed(std::string_view(buf, sizeof buf)), view) << "line " << lines;
    ++lines;
  }
  EXPECT_FALSE(filereadlineview(4, view));
  EXPECT_GT(lines, 10000u);
  feeder.join();
  ASSERT_EQ(filerewind(3), 0);
  ASSERT_TRUE(filereadline(3, buf, sizeof buf));
  EXPECT_EQ(rtrimmed(std::string_view(buf, sizeof buf)), "");
  ASSERT_TRUE(filereadline(3, buf, sizeof buf));
  EXPECT_EQ(rtrimmed(std::string_view(buf, sizeof buf)), "b");
  EXPECT_NE(filerewind(4), 0);  // a pipe cannot go back
}

TEST_F(KernixFiles, UnitsBelongToTheirThread) {
  ASSERT_EQ(fileopen(3, write("a", "from a\n"), kFileRead), 0);
  std::string other;
  std::thread t([&] {
    EXPECT_TRUE(existfortdotfileunit(3));
    EXPECT_EQ(fileopen(3, write("b", "from b\n"), kFileRead), 0);
    char buf[16];
    if (filereadline(3, buf, sizeof buf)) other.assign(buf, 6);
    fileclose(3);
  });
  t.join();
  char buf[16];
  ASSERT_TRUE(filereadline(3, buf, sizeof buf));
  EXPECT_EQ(std::string_view(buf, 6), "from a");
  EXPECT_EQ(other, "from b");
}

TEST(KernixLog, LinesReachCallbackAndLastMessages) {
  {
    testing::LogCapture log;
    tracelogerror("Some: error line");
    traceloginfo("Some: info line");
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Some: error line"});
    EXPECT_EQ(log.infos(), std::vector<std::string>{"Some: info line"});
  }
  char msg[128];
  KernixGetLastErrMsg(msg);
  EXPECT_EQ(std::string_view(msg, 16), "Some: error line");
  EXPECT_EQ(msg[127], ' ');
  std::thread([] {
    char m[128];
    KernixGetLastErrMsg(m);
    EXPECT_EQ(std::string_view(m, 128), std::string(128, ' '));  // per thread
  }).join();

  const std::string path = (fs::temp_directory_path() / ("vx_log_" + std::to_string(::getpid()))).string();
  char name[512];
  std::memset(name, ' ', sizeof name);
  std::memcpy(name, path.data(), path.size());
  ASSERT_EQ(KernixOpenLogFile(name), 0);
  tracelogerror("Logged: to the file");
  EXPECT_EQ(KernixCloseLogFile(), 0);
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "Logged: to the file");
  fs::remove(path);
}

TEST(KernixLog, LogLinePiecesAndTheirLimits) {
  const std::string long100(100, 'x');
  const struct {
    LogLine line;
    bool ok;
    std::string text;
  } cases[] = {
      {LogLine().text("A: key ").num(42, 5).text("."), true, "A: key    42."},
      {LogLine().text("A: ").num(-1234567, 3), true, "A: -1234567"},  // wider than its columns
      {LogLine().text("A: ").real(0.5), true, "A: 0.50000000000000000"},
      {LogLine().text(long100).text(std::string(28, 'y')), true, long100 + std::string(28, 'y')},
      {LogLine().text(long100).text(std::string(29, 'y')), false, long100},  // one past 128
      {LogLine().text(long100).num(1, 29), false, long100},
      {LogLine().text(long100).text(std::string(40, 'y'), true).text("z"), false, long100 + std::string(28, 'y')},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.line.ok(), c.ok) << c.text;
    EXPECT_EQ(c.line.view(), c.text);
  }
  tracelogerror("before");
  LogLine().text(long100).text(std::string(29, 'y')).error();
  EXPECT_EQ(lasterrmsg(), "before");  // a line that does not fit is not written
}

// Lines logged while a deferral is open reach the callback only when the
// outermost one ends, in order; the last message is set at once.
TEST(KernixLog, DeferredLinesGoOutWhenTheOutermostDeferralEnds) {
  testing::LogCapture cap;
  {
    LogDeferral outer;
    tracelogerror("one");
    {
      LogDeferral inner;
      traceloginfo("two");
    }
    EXPECT_TRUE(cap.errors().empty());
    EXPECT_TRUE(cap.infos().empty());
    EXPECT_EQ(lasterrmsg(), "one");
    EXPECT_EQ(lastinfomsg(), "two");
  }
  EXPECT_EQ(cap.errors(), std::vector<std::string>{"one"});
  EXPECT_EQ(cap.infos(), std::vector<std::string>{"two"});
}

TEST(KernixKeyModes, Switches) {
  KernixSetElsetKeyMode(1);
  EXPECT_EQ(effectivekeymode(), 1);
  KernixSetAllKeyMode(0);
  EXPECT_EQ(effectivekeymode(), 0);
  EXPECT_EQ(KernixGetAllKeyMode(), 0);
  KernixResetAllKeyMode();
  EXPECT_EQ(effectivekeymode(), 1);
  KernixSetElsetKeyMode(0);
  KernixSetDupKeyMode(3);
  EXPECT_EQ(KernixGetDupKeyMode(), 3);
  KernixSetDupKeyMode(0);
  EXPECT_FALSE(isdma(kTreeKeyBase));
  EXPECT_TRUE(isdma(0));
  EXPECT_TRUE(isdma(-5));
}

}  // namespace
}  // namespace vx
