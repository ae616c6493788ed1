// The read/write guard of one store: many readers at once, or one writer.
//
// Writers serialise on a mutex (the store's named writer lock), announce
// themselves in `isupdating` and spin until every reader has left. A reader
// counts itself in `numreads` first and only then looks at `isupdating`; if a
// writer is there it counts itself out again and waits. Because both sides
// publish before they look (sequentially consistent atomics), a reader and a
// writer can never both go ahead.
//
// Both waits spin with the processor's pause hint and make no system call;
// only the writers' mutex may block. A thread must not take a read hold while
// it already holds one (a writer waiting in between would deadlock them), nor
// write while it reads.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace vx::store {

inline void cpuRelax() noexcept {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

class ReadWriteGuard {
 public:
  ReadWriteGuard() = default;
  ReadWriteGuard(const ReadWriteGuard&) = delete;
  ReadWriteGuard& operator=(const ReadWriteGuard&) = delete;

  void beginRead() noexcept {
    for (;;) {
      numreads_.fetch_add(1, std::memory_order_seq_cst);
      if (isupdating_.load(std::memory_order_seq_cst) == 0) return;
      // A writer holds the tree (or is waiting for readers to leave): step
      // back so that it can go ahead, and try again once it is done.
      numreads_.fetch_sub(1, std::memory_order_seq_cst);
      while (isupdating_.load(std::memory_order_seq_cst) != 0) cpuRelax();
    }
  }

  void endRead() noexcept { numreads_.fetch_sub(1, std::memory_order_seq_cst); }

  void beginWrite() {
    writers_.lock();
    isupdating_.store(1, std::memory_order_seq_cst);
    while (numreads_.load(std::memory_order_seq_cst) > 0) cpuRelax();
  }

  void endWrite() noexcept {
    isupdating_.store(0, std::memory_order_seq_cst);
    writers_.unlock();
  }

  class ReadHold {
   public:
    explicit ReadHold(ReadWriteGuard& g) noexcept : g_(g) { g_.beginRead(); }
    ~ReadHold() { g_.endRead(); }
    ReadHold(const ReadHold&) = delete;
    ReadHold& operator=(const ReadHold&) = delete;

   private:
    ReadWriteGuard& g_;
  };

  class WriteHold {
   public:
    explicit WriteHold(ReadWriteGuard& g) : g_(g) { g_.beginWrite(); }
    ~WriteHold() { g_.endWrite(); }
    WriteHold(const WriteHold&) = delete;
    WriteHold& operator=(const WriteHold&) = delete;

   private:
    ReadWriteGuard& g_;
  };

 private:
  std::atomic<int32_t> numreads_{0};
  std::atomic<int32_t> isupdating_{0};
  std::mutex writers_;
};

}  // namespace vx::store
