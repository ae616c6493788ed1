#include "Tle/OmmLoad.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "Services/kernix.h"
#include "Tle/OmmMap.h"
#include "Tle/TleArray.h"
#include "Tle/TleLines.h"
#include "Tle/TleTree.h"

namespace vx::tle {

namespace msg {
constexpr std::string_view kReader = "ReadOmm: ";
constexpr std::string_view kChecks = "the element set fails the checks logged before";
}  // namespace msg

namespace {

// Takes each record the reader hands over through the mapping and the
// store's checks to take(rec, position), which gives the key of the add.
template <class Take>
class MappingSink final : public omm::OmmSink {
 public:
  MappingSink(omm::Encoding enc, store::LoadCounts& c, const store::SetReporter& report, Take take)
      : byRecord_(enc == omm::Encoding::json), c_(c), report_(report), take_(take) {}

  void record(const omm::OmmText& text) override {
    if (!omm::ommtorecord(text, rec_, why_)) return refuse(text.position, why_);
    if (validatetlevalues(rec_) != 0) return refuse(text.position, msg::kChecks);
    const int64_t key = take_(rec_, text.position);
    store::countAdd(c_, key);
    report_(text.position, 0, key);
  }
  void bad(int32_t position, std::string_view why) override { refuse(position, why); }

 private:
  void refuse(int32_t position, std::string_view why) {
    LongLogLine()
        .text(msg::kReader)
        .text(byRecord_ ? "record " : "line ")
        .num(position)
        .text(": ")
        .text(why)
        .text(".")
        .error();
    ++c_.bad;
    report_(position, 0, -1);
  }

  bool byRecord_;
  store::LoadCounts& c_;
  const store::SetReporter& report_;
  Take take_;
  Tlerecord rec_;
  std::string why_;
};

bool readDoc(std::string_view doc, omm::Encoding enc, bool padded, omm::OmmSink& sink) {
  switch (enc) {
    case omm::Encoding::csv:
      return omm::readOmmCsv(doc, sink);
    case omm::Encoding::kvn:
      return omm::readOmmKvn(doc, sink);
    case omm::Encoding::json:
      return omm::readOmmJson(doc, sink, padded);
    case omm::Encoding::xml:
      return omm::readOmmXml(doc, sink);
  }
  return false;
}

// A regular file mapped read-only for the length of a read.
class MappedFile {
 public:
  explicit MappedFile(int fd) {
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) return;
    size_ = static_cast<size_t>(st.st_size);
    void* p = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) return;
    data_ = static_cast<const char*>(p);
    madvise(p, size_, MADV_SEQUENTIAL);
  }
  ~MappedFile() {
    if (data_ != nullptr) munmap(const_cast<char*>(data_), size_);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  bool ok() const { return data_ != nullptr; }
  std::string_view text() const { return {data_, size_}; }
  // The bytes of the last page past the end read as zeros.
  bool padded() const {
    const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t rest = size_ % page;
    return rest != 0 && page - rest >= omm::kReadPadding;
  }

 private:
  const char* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace

int32_t readommtext(std::string_view doc, omm::Encoding enc, bool padded, store::LoadCounts& counts,
                    const store::SetReporter& report) {
  auto take = [](Tlerecord& rec, int32_t) { return addtletomemparsed(rec); };
  MappingSink<decltype(take)> sink(enc, counts, report, take);
  return readDoc(doc, enc, padded, sink) ? 0 : 2;
}

int32_t readommtexttoarrays(std::string_view doc, omm::Encoding enc, size_t capacity, double* values,
                            int32_t* lineNums, store::LoadCounts& counts, const store::SetReporter& report) {
  size_t rows = 0;
  TleArray work;
  auto take = [&](Tlerecord& rec, int32_t position) -> int64_t {
    if (rows < capacity) {
      tle2arrayvalues(rec, work);
      std::copy(work.begin(), work.end(), values + rows * kTleArrLen);
      if (lineNums != nullptr) lineNums[rows] = position;
    }
    ++rows;
    return 1;
  };
  MappingSink<decltype(take)> sink(enc, counts, report, take);
  return readDoc(doc, enc, false, sink) ? 0 : 2;
}

int32_t readommunit(int32_t unit, std::string_view head, omm::Encoding enc, store::LoadCounts& counts,
                    const store::SetReporter& report) {
  store::FileReadBracket bracket(cs_readonlytles(), tlestore());
  int32_t rc = 0;
  MappedFile mapped(fileunitfd(unit));
  if (mapped.ok()) {
    rc = readommtext(mapped.text(), enc, mapped.padded(), counts, report);
  } else {
    // A pipe or a device: read whole, padded for the JSON parser.
    std::string doc(head);
    char chunk[1 << 16];
    for (size_t n; (n = filereadbytes(unit, chunk, sizeof chunk)) > 0;) doc.append(chunk, n);
    const size_t size = doc.size();
    doc.resize(size + omm::kReadPadding, '\0');
    rc = readommtext(std::string_view(doc.data(), size), enc, true, counts, report);
  }
  store::logTotals("Total TLEs = ", counts);
  return rc;
}

}  // namespace vx::tle
