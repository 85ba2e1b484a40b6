// Reading a member on two or three threads gives the sink what one thread gives it:
// the same pieces, the same bytes, the same verdict, whether the member is sound or not.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package/bounded_archive.h"
#include "package/member_stream.h"
#include "platform/platform.h"
#include "support/package_fixtures.h"
#include "support/scratch_folder.h"

namespace {

using package::MemberReadStatus;
using package::MemberReadThreads;
using testsupport::EntryField;
using testsupport::Member;

constexpr char kPassword[] = "pass word";

// Keeps every piece, and stops the read at piece stopAt (1 for the first; 0: never).
class RecordingSink final : public package::MemberSink {
 public:
  explicit RecordingSink(size_t stopAt) : stopAt_(stopAt) {}
  bool Begin() override {
    ++begins;
    return true;
  }
  bool Store(const char* data, size_t size) override {
    pieces.push_back(size);
    bytes.append(data, size);
    return pieces.size() != stopAt_;
  }
  int begins = 0;
  std::vector<size_t> pieces;
  std::string bytes;

 private:
  const size_t stopAt_;
};

struct Read {
  package::MemberReadResult result;
  RecordingSink sink;
};

Read ReadWith(const std::string& zip, MemberReadThreads threads, size_t stopAt, testsupport::ScratchFolder& scratch,
              const char* password = kPassword) {
  const auto path = scratch.Write("package.exe", zip);
  package::Archive archive(path.wstring(), zip.size());
  Read read{{}, RecordingSink(stopAt)};
  EXPECT_TRUE(archive.IsOpen());
  read.result = package::ReadMemberNamed(archive, "A1", password, read.sink, threads);
  return read;
}

// The archive with count bytes of the member's data inverted at its middle.
std::string WithDataDamaged(std::string zip, size_t count) {
  const size_t middle = zip.find("PK\x01\x02") / 2;
  for (size_t i = 0; i < count; ++i) zip[middle + i] = static_cast<char>(~zip[middle + i]);
  return zip;
}

TEST(MemberThreads, TwoAndThreeThreadsGiveTheSamePiecesBytesAndVerdictsAsOne) {
  testsupport::ScratchFolder scratch;
  // Large enough for several blocks of either ring (eleven pieces), and a last
  // piece of odd size.
  const std::string data = testsupport::SampleBytes(700001, 7);
  const std::string deflated = testsupport::ZipBytes({Member("A0", "x", kPassword), Member("A1", data, kPassword)});
  const std::string stored = testsupport::ZipBytes({Member("A1", data, kPassword, 0)});
  const uint32_t size = static_cast<uint32_t>(data.size());
  struct Case {
    const char* what;
    std::string zip;
    MemberReadStatus status;
    size_t stopAt = 0;
    const char* password = kPassword;
  };
  const Case cases[] = {
      {"deflated", deflated, MemberReadStatus::kRead},
      {"stored", stored, MemberReadStatus::kRead},
      {"deflated, wrong password", deflated, MemberReadStatus::kDataDamaged, 0, "pass ward"},
      {"stored, wrong password", stored, MemberReadStatus::kCrcMismatch, 0, "pass ward"},
      {"deflated, wrong CRC", testsupport::WithEntryField(deflated, "A1", EntryField::kCrc, 0x1234),
       MemberReadStatus::kCrcMismatch},
      {"stored, wrong CRC", testsupport::WithEntryField(stored, "A1", EntryField::kCrc, 0x1234),
       MemberReadStatus::kCrcMismatch},
      {"deflated, the stream ends before the size", testsupport::WithEntryField(deflated, "A1", EntryField::kSize, size + 1),
       MemberReadStatus::kDataDamaged},
      {"stored, the data ends before the size", testsupport::WithEntryField(stored, "A1", EntryField::kSize, size + 70000),
       MemberReadStatus::kDataDamaged},
      {"deflated, a size short of the stream", testsupport::WithEntryField(deflated, "A1", EntryField::kSize, size - 1),
       MemberReadStatus::kCrcMismatch},
      {"stored, a size short of the data", testsupport::WithEntryField(stored, "A1", EntryField::kSize, size - 70000),
       MemberReadStatus::kCrcMismatch},
      {"deflated, damaged data", WithDataDamaged(deflated, 64), MemberReadStatus::kDataDamaged},
      {"stored, damaged data", WithDataDamaged(stored, 64), MemberReadStatus::kCrcMismatch},
      {"deflated, the sink stops at the third piece", deflated, MemberReadStatus::kNotStored, 3},
      {"deflated, the sink stops at the ninth piece (in the third block of pieces)", deflated,
       MemberReadStatus::kNotStored, 9},
      {"stored, the sink stops at the first piece", stored, MemberReadStatus::kNotStored, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Read one = ReadWith(c.zip, MemberReadThreads::kOne, c.stopAt, scratch, c.password);
    EXPECT_EQ(one.result.status, c.status);
    for (const MemberReadThreads threads : {MemberReadThreads::kTwo, MemberReadThreads::kThree}) {
      SCOPED_TRACE(threads == MemberReadThreads::kTwo ? "two threads" : "three threads");
      const Read many = ReadWith(c.zip, threads, c.stopAt, scratch, c.password);
      EXPECT_EQ(many.result.status, c.status);
      EXPECT_EQ(many.result.bytesRead, one.result.bytesRead);
      EXPECT_EQ(many.sink.begins, 1);
      EXPECT_EQ(many.sink.pieces, one.sink.pieces);
      EXPECT_TRUE(many.sink.bytes == one.sink.bytes) << "the sink got other bytes";
      if (c.status == MemberReadStatus::kRead) {
        EXPECT_TRUE(many.sink.bytes == data);
        EXPECT_LE(*std::max_element(many.sink.pieces.begin(), many.sink.pieces.end()), package::kMemberTransferSize);
      }
    }
  }
}

// The semaphores the threads hand blocks over with count every token once, whether
// the waiting thread finds one at hand or has to sleep for it (on Windows those are
// different paths, and a thread sleeps on a word of memory where the system can,
// on a Windows semaphore where it cannot): a producer and a consumer pass numbers
// through a ring of three slots, each side often ahead of the other.
void HandOverNumbers(platform::Semaphore::Sleeping sleeping) {
  struct Handover {
    explicit Handover(platform::Semaphore::Sleeping sleeping) : free(3, sleeping), filled(0, sleeping) {}
    platform::Semaphore free;
    platform::Semaphore filled;
    int slots[3] = {};
  } handover(sleeping);
  constexpr int kCount = 5000;
  platform::WorkerThread producer;
  ASSERT_TRUE(producer.Start(
      [](void* argument) {
        auto& h = *static_cast<Handover*>(argument);
        for (int n = 1; n <= kCount; ++n) {
          if (!h.free.Wait()) return;
          h.slots[n % 3] = n;
          h.filled.Post();
        }
      },
      &handover));
  int outOfOrder = 0;
  for (int n = 1; n <= kCount; ++n) {
    ASSERT_TRUE(handover.filled.Wait());
    if (handover.slots[n % 3] != n) ++outOfOrder;
    // Now and then the consumer lags, so that the producer fills the ring and sleeps.
    if (n % 500 == 0) {
      for (volatile int spin = 0; spin < 200000; spin = spin + 1) {
      }
    }
    handover.free.Post();
  }
  producer.Join();
  EXPECT_EQ(outOfOrder, 0);
  // Three tokens are back in free, none is left in filled: three waits pass at once.
  for (int n = 0; n < 3; ++n) EXPECT_TRUE(handover.free.Wait());
  handover.filled.Post();
  EXPECT_TRUE(handover.filled.Wait());
}

TEST(MemberThreads, SemaphoresHandOverEveryTokenOnce) {
  for (const auto sleeping : {platform::Semaphore::Sleeping::kOnWordWhereAvailable,
                              platform::Semaphore::Sleeping::kOnKernelObject}) {
    SCOPED_TRACE(sleeping == platform::Semaphore::Sleeping::kOnKernelObject ? "on a kernel object" : "on a word");
    HandOverNumbers(sleeping);
  }
}

}  // namespace
