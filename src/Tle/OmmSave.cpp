#include "Tle/OmmSave.h"

#include <memory>

#include "Services/kernix.h"
#include "Store/StoreMessages.h"
#include "Tle/OmmMap.h"
#include "Tle/TleFaithful.h"
#include "Tle/TleLines.h"
#include "Tle/TleTree.h"

namespace vx::tle {

namespace {

// Formats element sets in one form: begin() before the first, record() for
// each (the lines of one set through write(text), one call a line or a
// block of lines without its last line end), end() after the last.
class FormWriter {
 public:
  explicit FormWriter(int32_t form) : form_(form) {
    switch (form) {
      case kFormOmmCsv: omm_ = omm::makeOmmCsvWriter(); break;
      case kFormOmmJson: omm_ = omm::makeOmmJsonWriter(); break;
      case kFormOmmXml: omm_ = omm::makeOmmXmlWriter(); break;
      case kFormOmmKvn: omm_ = omm::makeOmmKvnWriter(); break;
      default: break;
    }
    if (omm_) created_ = omm::ommcreationdate();
  }

  template <class Write>
  void begin(Write&& write) {
    if (!omm_) return;
    text_.clear();
    omm_->begin(text_);
    emit(write);
  }
  template <class Write>
  void end(Write&& write) {
    if (!omm_) return;
    text_.clear();
    omm_->end(text_);
    emit(write);
  }
  // Why rec would not read back as itself ("" when it would).
  template <class Write>
  std::string_view record(const Tlerecord& rec, Write&& write) {
    if (omm_) {
      text_.clear();
      values_.format(rec, form_ == kFormOmmCsv, created_);
      omm_->record(values_.values(), text_);
      emit(write);
      return {};
    }
    if (form_ == kFormCsv) {
      tle2csv(rec, a_);
      const std::string_view why = tlecsvloss(rec, a_);
      if (why.empty()) write(rtrimmed(std::string_view(a_, kLineLen)));
      return why;
    }
    tle2lines(rec, a_, b_);
    const std::string_view why = tlelinesloss(rec, a_, b_);
    if (why.empty()) {
      if (form_ == kFormThreeLines && !rec.objectName().empty()) {
        // "0 " in front keeps a name that begins like a line 1 or 2 a name.
        text_.assign("0 ").append(rec.objectName());
        write(std::string_view(text_));
      }
      write(rtrimmed(std::string_view(a_, 80)));
      write(rtrimmed(std::string_view(b_, 80)));
    }
    return why;
  }

 private:
  // Writes text_ without its last line end (write adds one), if any text.
  template <class Write>
  void emit(Write&& write) {
    std::string_view t(text_);
    if (!t.empty() && t.back() == '\n') t.remove_suffix(1);
    if (!t.empty() && t.back() == '\r' && form_ != kFormOmmCsv) t.remove_suffix(1);
    if (!t.empty()) write(t);
  }

  int32_t form_;
  std::unique_ptr<omm::OmmWriter> omm_;
  std::string created_;
  std::string text_;
  omm::OmmFormatted values_;
  char a_[kLineLen];
  char b_[kLineLen];
};

}  // namespace

store::WriteReport tlewriteform(int32_t unit, int32_t form) {
  FormWriter fw(form);
  int32_t ioError = 0;
  auto direct = [&](std::string_view text) {
    if (ioError == 0) ioError = filewriteline(unit, text);
  };
  fw.begin(direct);
  store::WriteReport report = store::writeAllLines(
      tlestore(), unit, "TleWriteLines: Element set ",
      [&](const Tlerecord& rec, auto&& write) { return fw.record(rec, write); });
  if (report.ioError == 0) {
    fw.end(direct);
    report.ioError = ioError;
  }
  if (ioError != 0 && report.ioError == 0) report.ioError = ioError;
  return report;
}

int32_t tlewritetext(const int64_t* keys, size_t keyCount, int32_t form, std::string& out, std::string_view caller) {
  FormWriter fw(form);
  auto append = [&](std::string_view text) { out.append(text).push_back('\n'); };
  int32_t left = 0;
  auto lossLine = [&](int64_t key, std::string_view why) {
    LogLine().text(caller).text(": Element set ").num(key, 19).text(" not written: ").text(why).error();
    ++left;
  };
  fw.begin(append);
  if (keys == nullptr) {
    const std::string lossHead = std::string(caller) + ": Element set ";
    left = store::formatAllLines(
        tlestore(), lossHead, [&](const Tlerecord& r, auto&& write) { return fw.record(r, write); },
        [&](std::string_view line) {
          append(line);
          return true;
        });
  } else {
    for (size_t i = 0; i < keyCount; ++i) {
      std::string_view why;
      if (!withtlerecord(keys[i], [&](const Tlerecord& r) { why = fw.record(r, append); })) {
        store::msg::logNamingKey(std::string(caller) + ": No element set of satKey", keys[i]);
        ++left;
      } else if (!why.empty()) {
        lossLine(keys[i], why);
      }
    }
  }
  fw.end(append);
  return left;
}

}  // namespace vx::tle
