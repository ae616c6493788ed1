// Input files and the save file through the exported functions: pairing of
// line 1 and line 2, short lines, the totals, what cannot be opened or
// written, element sets a form cannot carry, and log callbacks that load.
#include "Tle/TleFilesTestSupport.h"

#include <array>

namespace {

using namespace vx::testing::tlefiles;

TEST_F(TleFiles, AnotherLine1EndsTheSearchForALine2) {
  const std::string orphan = "ReadOnlyTLEs: Line1 without its line2 (another line1 follows) '" + kL1 + "'.";
  const std::string csv = "U,5,2021-045B,2021,3.5,0,0,0,0,1,50,1,0.1,3,4,15.5,9,0,0,0,0,0,0,0,0,X";
  struct Case {
    const char* what;
    std::string file;
    std::vector<int32_t> loaded;
    std::string totals;
    bool orphaned;
  };
  const Case cases[] = {
      {"next set follows at once", kL1 + "\n" + kM1 + "\n" + kM2 + "\n", {41617},
       "Total TLEs = 2, Loaded = 1, Dup = 0, Bad = 1", true},
      {"next set behind comments and cards", kL1 + "\n* note\n\nMNVR 1\n" + kM1 + "\n* note\n" + kM2 + "\n", {41617},
       "Total TLEs = 2, Loaded = 1, Dup = 0, Bad = 1", true},
      {"the orphan's own line 2 later is no set", kL1 + "\n" + kM1 + "\n" + kM2 + "\n" + kL2 + "\n", {41617},
       "Total TLEs = 2, Loaded = 1, Dup = 0, Bad = 1", true},
      {"comments, cards and CSV lines are still passed over", kL1 + "\n* note\n\nMNVR 1\n" + csv + "\n" + kL2 + "\n",
       {25544}, "Total TLEs = 1, Loaded = 1, Dup = 0, Bad = 0", false},
      {"a line 1 at the end keeps its blank line 2", kM1 + "\n" + kM2 + "\n" + kL1 + "\n", {41617},
       "Total TLEs = 2, Loaded = 1, Dup = 0, Bad = 1", false},
  };
  for (const Case& c : cases) {
    TleRemoveAllSats();
    LogCapture log;
    ASSERT_EQ(load(write("pairs.tle", c.file)), 0) << c.what;
    EXPECT_EQ(lastInfo(), c.totals) << c.what;
    EXPECT_EQ(loadedNumbers(), c.loaded) << c.what;
    const auto infos = log.infos();
    EXPECT_EQ(std::count(infos.begin(), infos.end(), orphan), c.orphaned ? 1 : 0) << c.what;
  }
  // The set that was loaded is the second one whole, not a mix of the two.
  TleRemoveAllSats();
  ASSERT_EQ(load(write("pairs.tle", kL1 + "\n" + kM1 + "\n" + kM2 + "\n")), 0);
  ASSERT_EQ(TleGetCount(), 1);
  int64_t key = 0;
  TleGetLoaded(2, &key);
  char v[512];
  ASSERT_EQ(TleGetField(key, 13, v), 0);
  EXPECT_EQ(std::stod(trimmed(v, 512)), 15.23813118);
  ASSERT_EQ(TleGetField(key, 4, v), 0);
  EXPECT_EQ(trimmed(v, 512).substr(0, 10), "2018020.92");
}

TEST_F(TleFiles, LinesCutShortAreBad) {
  struct Case {
    const char* what;
    std::string l1, l2;
    std::string error;  // empty: the set loads
  };
  auto cut = [](const std::string& l, size_t n) { return l.substr(0, n); };
  const Case cases[] = {
      {"line 2 cut in the mean motion", kL1, cut(kL2, 60),
       "ReadOnlyTLEs: Line2 ends before column 63 '" + cut(kL2, 60) + "'."},
      {"line 2 one column short", kL1, cut(kL2, 62), "ReadOnlyTLEs: Line2 ends before column 63 '" + cut(kL2, 62) + "'."},
      {"blanks do not reach the column", kL1, cut(kL2, 60) + "          ",
       "ReadOnlyTLEs: Line2 ends before column 63 '" + cut(kL2, 60) + "'."},
      {"line 1 cut in the last exponent", cut(kL1, 60), kL2,
       "ReadOnlyTLEs: Line1 ends before column 61 '" + cut(kL1, 60) + "'."},
      {"line 2 through its mean motion", kL1, cut(kL2, 63), ""},
      {"line 1 through its last exponent", cut(kL1, 61), kL2, ""},
      {"no checksums", cut(kL1, 68), cut(kL2, 68), ""},
  };
  for (const Case& c : cases) {
    TleRemoveAllSats();
    LogCapture log;
    ASSERT_EQ(load(write("short.tle", c.l1 + "\n" + c.l2 + "\n")), 0) << c.what;
    if (c.error.empty()) {
      EXPECT_EQ(lastInfo(), "Total TLEs = 1, Loaded = 1, Dup = 0, Bad = 0") << c.what;
      EXPECT_TRUE(log.errors().empty()) << c.what;
    } else {
      EXPECT_EQ(lastInfo(), "Total TLEs = 1, Loaded = 0, Dup = 0, Bad = 1") << c.what;
      EXPECT_EQ(log.errors(), std::vector<std::string>{c.error}) << c.what;
    }
  }
}

// Every element set read counts once: a CSV set the store's checks refuse
// (the CSV parser hands its record on unchecked) is a bad one.
TEST_F(TleFiles, EverySetReadIsCountedOnce) {
  std::string refused = kCsv;
  refused.replace(refused.find("51.6421"), 7, "200.000");
  LogCapture log;
  ASSERT_EQ(load(write("csv.tle", kCsv + "\n" + refused + "\n" + kCsv + "\n")), 0);
  EXPECT_EQ(lastInfo(), "Total TLEs = 3, Loaded = 1, Dup = 1, Bad = 1");
  ASSERT_EQ(load(write("one.tle", refused + "\n")), 0);
  EXPECT_EQ(lastInfo(), "Total TLEs = 1, Loaded = 0, Dup = 0, Bad = 1");
}

// A set whose line 2 is of another satellite loads as line 1's, warned
// about in the load's information lines before the totals.
TEST_F(TleFiles, LinesOfTwoSatellitesLoadWarned) {
  std::string other2 = kL2;
  other2[6] = '9';
  LogCapture log;
  ASSERT_EQ(load(write("two.tle", kL1 + "\n" + other2 + "\n")), 0);
  EXPECT_EQ(loadedNumbers(), std::vector<int32_t>{25544});
  const std::vector<std::string> infos = log.infos();
  ASSERT_EQ(infos.size(), 3u);  // the reading line first
  EXPECT_EQ(std::vector<std::string>(infos.begin() + 1, infos.end()),
            (std::vector<std::string>{
                "Warning-Lines2Tle: Line 1 is of satellite 25544, line 2 of satellite 25549; line 1's number is used.",
                "Total TLEs = 1, Loaded = 1, Dup = 0, Bad = 0"}));
  EXPECT_TRUE(log.errors().empty());
}

// 101 different element sets whose fields derive one key: 100 take the keys
// of the retry sequence, the last finds none free and is bad, not a
// duplicate, with one line naming the key its search began at.
TEST_F(TleFiles, NoFreeKeyCountsBadNotDup) {
  const size_t elset = kCsv.find(",999,");
  std::string file;
  for (int i = 1; i <= 101; ++i)
    file += kCsv.substr(0, elset) + "," + std::to_string(i) + kCsv.substr(elset + 4) + "\n";
  LogCapture log;
  ASSERT_EQ(load(write("collide.tle", file)), 0);
  EXPECT_EQ(lastInfo(), "Total TLEs = 101, Loaded = 100, Dup = 0, Bad = 1");
  ASSERT_EQ(TleGetCount(), 100);
  std::vector<int64_t> keys(100);
  TleGetLoaded(2, keys.data());  // load order: the first took the key all share
  EXPECT_EQ(log.errors(),
            std::vector<std::string>{"AddRecToMem: No free key within 100 tries from satKey " + key19(keys[0])});
}

// ---- What cannot be opened or written ----------------------------------------

TEST_F(TleFiles, OpenFailuresAreOneLineEach) {
  const std::string missing = path("missing.tle");
  const std::string folder = dir_.string();
  struct Case {
    const char* what;
    std::function<int32_t()> call;
    int32_t code;
    std::string line;
  };
  const std::vector<Case> cases = {
      {"missing file", [&] { return load(missing); }, ENOENT,
       "TleLoadFile: cannot open \"" + missing + "\": No such file or directory"},
      {"directory", [&] { return load(folder); }, vx::kFileErrDirectory,
       "TleLoadFile: cannot open \"" + folder + "\": Is a directory"},
      {"no name", [&] { return load(""); }, vx::kFileErrNoName, "TleLoadFile: cannot open \"\": No file name given"},
      {"endless device", [&] { return load("/dev/zero"); }, vx::kFileErrDevice,
       "TleLoadFile: cannot open \"/dev/zero\": Is a character device, not a file"},
      {"full device", [&] { return load("/dev/full"); }, vx::kFileErrDevice,
       "TleLoadFile: cannot open \"/dev/full\": Is a character device, not a file"},
      {"file card naming a missing file", [&] { return load(write("c1.tle", "ELTFIL=" + missing + "\n")); }, ENOENT,
       "ReadTlesFrFileUnit: cannot open \"" + missing + "\": No such file or directory"},
      {"file card naming a device", [&] { return load(write("c2.tle", "SATFIL = /dev/zero\n")); },
       vx::kFileErrDevice, "ReadTlesFrFileUnit: cannot open \"/dev/zero\": Is a character device, not a file"},
      {"save to a directory", [&] { return save(folder, 0, 0); }, vx::kFileErrDirectory,
       "TleSaveFile: cannot open \"" + folder + "\": Is a directory"},
      {"save into a missing directory", [&] { return save(path("no/x.tle"), 1, 1); }, ENOENT,
       "TleSaveFile: cannot open \"" + path("no/x.tle") + "\": No such file or directory"},
  };
  for (const Case& c : cases) {
    LogCapture log;
    EXPECT_EQ(c.call(), c.code) << c.what;
    EXPECT_EQ(log.errors(), std::vector<std::string>{c.line}) << c.what;
  }
  if (::geteuid() != 0) {  // permissions do not stop the superuser
    const std::string locked = write("locked.tle", kL1 + "\n" + kL2 + "\n");
    ::chmod(locked.c_str(), 0);
    LogCapture log;
    EXPECT_EQ(load(locked), EACCES);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"TleLoadFile: cannot open \"" + locked + "\": Permission denied"});
  }
  EXPECT_EQ(TleGetCount(), 0);
}

// Two passes need a file that goes back to its start; a pipe is refused
// with a message instead of being taken as an empty file.
TEST_F(TleFiles, PipeIsRefusedNotTakenAsEmpty) {
  const std::string fifo = path("in.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] {
    const int fd = ::open(fifo.c_str(), O_WRONLY);
    if (fd >= 0) ::close(fd);
  });
  LogCapture log;
  EXPECT_EQ(load(fifo), 2);
  writer.join();
  EXPECT_EQ(log.errors(), std::vector<std::string>{"ReadTlesFrFileUnit: Cannot rewind the input file"});
}

TEST_F(TleFiles, SaveReportsAFullDisk) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const std::string line = "TleSaveFile: cannot write \"/dev/full\": No space left on device";
  ASSERT_GT(addLines(kL1, kL2), 0);
  // One set fits the buffer: the failure shows at the close.
  for (int32_t form : {0, 1}) {
    for (int32_t mode : {0, 1}) {
      LogCapture log;
      EXPECT_EQ(save("/dev/full", mode, form), 2) << form << mode;
      EXPECT_EQ(log.errors(), std::vector<std::string>{line}) << form << mode;
    }
  }
  // A catalog overflows it: the failure shows at a write, and is logged once.
  ASSERT_EQ(load(std::string(VX_SOURCE_DIR) + "/data/catalog-2018.tle"), 0);
  for (int32_t form : {0, 1}) {
    LogCapture log;
    EXPECT_EQ(save("/dev/full", 0, form), 2);
    EXPECT_EQ(log.errors(), std::vector<std::string>{line});
  }
  // An empty store writes nothing, so nothing fails.
  TleRemoveAllSats();
  EXPECT_EQ(save("/dev/full", 0, 0), 0);
}

// ---- Element sets a form cannot carry --------------------------------------------

// Each case adds one set that the adds accept beside a plain one and saves
// in one form: the plain set is written, the other is not and is named in
// one line with the reason.
TEST_F(TleFiles, SetsTheFormCannotCarryAreNamedNotWritten) {
  const char name[8] = {'9', '8', '0', '6', '7', 'A', ' ', ' '};
  auto gp = [&](int32_t satNum, int32_t year, double bStar, double mnMotion) {
    return TleAddSatFrFieldsGP(satNum, 'U', name, year, 20.5, bStar, 0, 1, 51.6, 313.2, 0.0003, 277.6, 199.7, mnMotion,
                               100);
  };
  auto csv = [&](const std::string& from, const std::string& to) {
    std::string c = kCsv;
    c.replace(c.find(from), from.size(), to);
    return TleAddSatFrCsv(host(c).c_str());
  };
  auto named = [&](const char* satName) {
    return TleAddSatFrFieldsGP(5, 'U', satName, 2018, 20.5, 1e-4, 0, 1, 51.6, 313.2, 0.0003, 277.6, 199.7, 15.5, 100);
  };
  struct Case {
    const char* what;
    std::function<int64_t()> add;
    int32_t form;
    std::string why;  // empty: written
  };
  const std::vector<Case> cases = {
      {"satellite number 0", [&] { return csv("U,25544,", "U,0,"); }, 0,
       "satellite number outside 1-339999 of the lines"},
      {"satellite number 340000", [&] { return gp(340000, 2018, 1e-4, 15.5); }, 0,
       "satellite number outside 1-339999 of the lines"},
      {"satellite number 339999", [&] { return gp(339999, 2018, 1e-4, 15.5); }, 0, ""},
      {"year 2057", [&] { return csv(",2018,", ",2057,"); }, 0, "epoch year outside 1957-2056 of the lines"},
      {"year 1956", [&] { return gp(7, 1956, 1e-4, 15.5); }, 0, "epoch year outside 1957-2056 of the lines"},
      {"years 1957 and 2056", [&] { return gp(7, 1957, 1e-4, 15.5) > 0 ? gp(8, 2056, 1e-4, 15.5) : -1; }, 0, ""},
      {"third coefficient 1e9", [&] { return csv("3.0975E-05", "1E9"); }, 0,
       "coefficient of columns 54-61 is 1e9 or more: written as zero"},
      {"second coefficient -2.5e9", [&] { return csv(",0,3.0975E-05", ",-2.5E9,3.0975E-05"); }, 0,
       "coefficient of columns 45-52 is 1e9 or more: written as zero"},
      {"third coefficient 5e-11 rounds to zero", [&] { return gp(7, 2018, 5e-11, 15.5); }, 0, ""},
      {"third coefficient just below 1e9", [&] { return gp(7, 2018, 9.9999e8, 15.5); }, 0, ""},
      {"first coefficient 2e9", [&] { return csv("1.558E-05", "2E9"); }, 0,
       "coefficient of columns 34-43 does not fit them"},
      {"mean motion 1e-9", [&] { return gp(7, 2018, 1e-4, 1e-9); }, 0, "mean motion below 5e-9 is written as zero"},
      {"mean motion 150", [&] { return gp(7, 2018, 1e-4, 150); }, 0, "mean motion of 100 or more does not fit line 2"},
      {"mean motion 150 in CSV", [&] { return gp(7, 2018, 1e-4, 150); }, 1, ""},
      {"name with a comma", [&] { return named("AB,CD   "); }, 1, "a text holds a comma"},
      {"name with a comma in lines", [&] { return named("AB,CD   "); }, 0, ""},
      // A slash ends the line's input: it was reported as the epoch year
      // that is lost behind it.
      {"name with a slash", [&] { return named("AB/CD   "); }, 1, "a text holds a slash, which ends CSV input"},
      {"name with a slash in lines", [&] { return named("AB/CD   "); }, 0, ""},
      {"name with a blank", [&] { return named("AB CD   "); }, 1, "satellite name changes when written"},
      {"name with a quote", [&] { return named("'ABCD   "); }, 1, "a text begins with a quote"},
      {"classification X",
       [&] {
         const int64_t k = gp(7, 2018, 1e-4, 15.5);
         return TleSetField(k, 2, host("X").c_str()) == 0 ? k : -1;
       },
       1, "classification other than blank, C, S or U"},
      {"type 6 in CSV",
       [&] {
         return TleAddSatFrFieldsSP(9, 'U', name, 2018, 20.5, 1e-5, 2e-6, 3e-4, 1, 51.6, 313.2, 0.0003, 277.6, 199.7,
                                    15.5, 100);
       },
       1, "auxCoef3 of ephemeris type 6 has no CSV column"},
      {"type 6 in lines",
       [&] {
         return TleAddSatFrFieldsSP(9, 'U', name, 2018, 20.5, 1e-5, 2e-6, 3e-4, 1, 51.6, 313.2, 0.0003, 277.6, 199.7,
                                    15.5, 100);
       },
       0, ""},
  };
  for (const Case& c : cases) {
    TleRemoveAllSats();
    ASSERT_GT(addLines(kM1, kM2), 0) << c.what;
    const int64_t key = c.add();
    ASSERT_GT(key, 0) << c.what;
    const int32_t count = TleGetCount();
    const std::string file = path("saved.tle");
    LogCapture log;
    const int32_t rc = save(file, 0, c.form);
    if (c.why.empty()) {
      EXPECT_EQ(rc, 0) << c.what;
      EXPECT_TRUE(log.errors().empty()) << c.what << ": " << (log.errors().empty() ? "" : log.errors()[0]);
    } else {
      EXPECT_EQ(rc, 2) << c.what;
      EXPECT_EQ(log.errors(),
                std::vector<std::string>{"TleWriteLines: Element set " + key19(key) + " not written: " + c.why})
          << c.what;
    }
    TleRemoveAllSats();
    ASSERT_EQ(load(file), 0) << c.what;
    const int32_t written = c.why.empty() ? count : count - 1;
    EXPECT_EQ(lastInfo(), "Total TLEs = " + std::to_string(written) + ", Loaded = " + std::to_string(written) +
                              ", Dup = 0, Bad = 0")
        << c.what;
  }
}

struct Reentry {
  std::string trigger;  // the first line that starts with this loads `file`
  std::string file;
  bool done = false;
  int32_t result = -1;
  std::string error;  // the last error line of the thread after the load
};

void loadFromCallback(int32_t, const char* text, int32_t length, void* user) {
  auto* r = static_cast<Reentry*>(user);
  if (r->done || std::string_view(text, static_cast<size_t>(length)).rfind(r->trigger, 0) != 0) return;
  r->done = true;
  r->result = TleLoadFile(host(r->file).c_str());
  char m[128];
  KernixGetLastErrMsg(m);
  r->error = trimmed(m, 128);
}

// A callback runs on the thread that logs: one that loads a file while its
// thread is loading one is refused at once instead of waiting for the lock
// its own thread holds. Outside a load it may load.
TEST_F(TleFiles, LogCallbackThatLoadsDuringALoadIsRefused) {
  const std::string other = write("other.tle", kM1 + "\n" + kM2 + "\n");
  // A pair whose line 2 does not read (an error line while the file is
  // read), then a good one.
  std::string badL2 = kL2;
  badL2[60] = 'x';
  const std::string outer = write("outer.tle", kL1 + "\n" + badL2 + "\n" + kL1 + "\n" + kL2 + "\n");
  struct Case {
    const char* what;
    std::string trigger;
    int32_t result;
    std::vector<int32_t> loaded;
  };
  const Case cases[] = {
      {"while reading the sets", "Lines2Tle:", 2, {25544}},
      {"at the totals line", "Total TLEs", 2, {25544}},
      {"before the load begins", "TleLoadFile: Reading TLEs from file \"" + outer, 0, {41617, 25544}},
  };
  for (const Case& c : cases) {
    TleRemoveAllSats();
    Reentry r{c.trigger, other, false, -1, ""};
    KernixSetLogCallback(&loadFromCallback, &r);
    const int32_t rc = load(outer);
    KernixSetLogCallback(nullptr, nullptr);
    EXPECT_EQ(rc, 0) << c.what;
    ASSERT_TRUE(r.done) << c.what;
    EXPECT_EQ(r.result, c.result) << c.what;
    if (c.result != 0) {
      EXPECT_EQ(r.error, "TleLoadFile: Cannot load a file while this thread is loading one (called from a log callback?)")
          << c.what;
    }
    EXPECT_EQ(loadedNumbers(), c.loaded) << c.what;
  }
  // Nothing is left behind: the thread loads again.
  TleRemoveAllSats();
  ASSERT_EQ(load(other), 0);
  EXPECT_EQ(lastInfo(), "Total TLEs = 1, Loaded = 1, Dup = 0, Bad = 0");
}

}  // namespace

// ---- Per-set reports ---------------------------------------------------------------

namespace {

struct Report {
  int32_t lineNum;
  int32_t lineNum2;
  int64_t satKey;
  int32_t status;
  std::string msg;
};
struct Reports {
  std::vector<Report> seen;
  std::string file;
  int32_t countInCallback = -1;
  int32_t nestedLoad = -1;
};
void collect(int32_t lineNum, int32_t lineNum2, int64_t satKey, int32_t status, const char* msg, int32_t msgLen,
             void* user) {
  auto* r = static_cast<Reports*>(user);
  r->seen.push_back({lineNum, lineNum2, satKey, status, std::string(msg, static_cast<size_t>(msgLen))});
  // Back into the library: reading is allowed, a load is refused.
  r->countInCallback = TleGetCount();
  r->nestedLoad = TleLoadFile(host(r->file).c_str());
}

TEST_F(TleFiles, EachSetReadIsReportedWithItsLineAndWhy) {
  const std::string csv = [] {
    char c[512];
    TleLinesToCsv(host(kM1).c_str(), host(kM2).c_str(), c);
    return trimmed(c, 512);
  }();
  Reports r;
  std::string noSat = kL1;
  noSat.replace(2, 5, "00000");
  std::string text;
  for (const std::string& line : {std::string("* sets"), kL1, kL2, kL1, kL2, noSat, kL1, kM1, kM2, csv})
    text += line + "\n";
  r.file = write("each.tle", text);
  const int32_t rc = TleLoadFileEach(host(r.file).c_str(), &collect, &r);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(lastInfo(), "Total TLEs = 6, Loaded = 2, Dup = 2, Bad = 2");
  ASSERT_EQ(r.seen.size(), 6u);
  // {line, line of the line 2 (0: none, a line 1 refused alone or a CSV line), status}
  const std::vector<std::array<int32_t, 3>> where = {{2, 3, 0}, {4, 5, 1}, {6, 0, 2},
                                                     {7, 0, 2}, {8, 9, 0}, {10, 0, 1}};
  for (size_t i = 0; i < where.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(r.seen[i].lineNum, where[i][0]);
    EXPECT_EQ(r.seen[i].lineNum2, where[i][1]);
    EXPECT_EQ(r.seen[i].status, where[i][2]);
    EXPECT_EQ(r.seen[i].satKey > 0, where[i][2] == 0);
    EXPECT_EQ(r.seen[i].msg.empty(), where[i][2] == 0);
  }
  EXPECT_EQ(r.seen[1].msg.rfind("AddRecToMem: Duplicated record/key ", 0), 0u);
  EXPECT_EQ(r.seen[2].msg, "Line1ToSatKey: Invalid TLE's 1st line.");
  EXPECT_EQ(r.seen[3].msg, "ReadOnlyTLEs: Line1 without its line2 (another line1 follows) '" + kL1 + "'.");
  EXPECT_EQ(r.countInCallback, 2);
  EXPECT_EQ(r.nestedLoad, 2);
  // No function: the plain load.
  TleRemoveAllSats();
  EXPECT_EQ(TleLoadFileEach(host(r.file).c_str(), nullptr, nullptr), 0);
  EXPECT_EQ(TleGetCount(), 2);
  // Only the sets not loaded, with the counts: the duplicates of a second
  // load and the two bad ones, at the same lines.
  Reports again;
  again.file = r.file;
  int32_t loaded = -1, dup = -1, bad = -1;
  EXPECT_EQ(TleLoadFileReport(host(r.file).c_str(), &collect, &again, &loaded, &dup, &bad), 0);
  EXPECT_EQ((std::array<int32_t, 3>{loaded, dup, bad}), (std::array<int32_t, 3>{0, 4, 2}));
  ASSERT_EQ(again.seen.size(), 6u);
  for (size_t i = 0; i < where.size(); ++i) EXPECT_EQ(again.seen[i].lineNum, where[i][0]) << i;
  TleRemoveAllSats();
  again.seen.clear();
  EXPECT_EQ(TleLoadFileReport(host(r.file).c_str(), &collect, &again, &loaded, &dup, &bad), 0);
  EXPECT_EQ((std::array<int32_t, 3>{loaded, dup, bad}), (std::array<int32_t, 3>{2, 2, 2}));
  ASSERT_EQ(again.seen.size(), 4u);
  for (const auto& seen : again.seen) EXPECT_NE(seen.status, 0);
}

}  // namespace
