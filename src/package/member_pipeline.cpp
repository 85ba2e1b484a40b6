// A member read on two or three threads. The library opens the member in its raw
// mode, in which it reads and decrypts but does not inflate; the reading thread
// fills a ring of blocks that way. With two threads the caller's thread inflates,
// checks and stores them; with three an inflating thread inflates and checks them
// into a second ring, from which the caller's thread stores the pieces. Either way
// with the same piece sizes and the same verdicts as the library's own reading.
#include "package/member_pipeline.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <optional>

#include "zip_codec.h"

namespace package {
namespace {

constexpr int kStored = 0;

// The hand-over of a ring's kCount blocks between a producing thread and a
// consuming one. A block belongs to the producer from a Wait on free_ until its Post
// on filled_, then to the consumer until its Post on free_; the semaphores order
// every access to a block and to what is kept beside it.
template <unsigned kCount>
class Handover {
 public:
  Handover() : free_(kCount), filled_(0) {}

  bool Ready() const { return free_ && filled_; }

  // The producing thread: fill(index, waited) fills one free block after another
  // (waited false: the wait for it failed) and says whether more follow. Ends when
  // it says no, or at the next block once the consumer has stopped it.
  template <typename Fill>
  void Produce(Fill fill) {
    for (unsigned index = 0;; index = (index + 1) % kCount) {
      const bool waited = free_.Wait();
      if (stopping_.load(std::memory_order_acquire)) return;
      const bool more = fill(index, waited);
      if (!filled_.Post() || !more) return;
    }
  }

  // The consuming thread: hands back the block it holds and waits for the next one
  // filled; false when the wait failed.
  bool Take(unsigned& index) {
    if (holding_) {
      free_.Post();
      taken_ = (taken_ + 1) % kCount;
    }
    holding_ = filled_.Wait();
    index = taken_;
    return holding_;
  }
  bool Holding() const { return holding_; }

  // Ends the producer's work at its next block: it has nothing to do that the
  // consumer would wait for.
  void Stop() {
    stopping_.store(true, std::memory_order_release);
    free_.Post();
  }

 private:
  platform::Semaphore free_;
  platform::Semaphore filled_;
  std::atomic<bool> stopping_{false};
  unsigned taken_ = 0;  // the consumer's block
  bool holding_ = false;
};

// Four blocks of four transfer buffers: the reader can run a few blocks ahead of a
// slow write within one megabyte. A block is handed over with a semaphore's wait
// and post on each side, which under Wine may be calls to its server, so blocks are
// larger than the pieces. A block is a whole number of pieces, so that stored data
// is cut into pieces where the library's own reading cuts it.
constexpr unsigned kBlocks = 4;
constexpr size_t kBlockSize = 4 * kMemberTransferSize;
constexpr size_t kBlockStride = 4 * 0x10000;
static_assert(kBlockSize <= kBlockStride);

// The blocks between the reading thread and the one that inflates, each with the
// library's count for it.
class BlockRing {
 public:
  explicit BlockRing(unzFile archive) : archive_(archive), memory_(kBlocks * kBlockStride) {}

  bool Ready() const { return memory_ && handover_.Ready(); }

  // The reading thread: reads the member into one free block after another until
  // the library reports its end (0) or a failure (below 0), or the consumer stops it.
  void ReadAhead() {
    handover_.Produce([this](unsigned index, bool waited) {
      int count = UNZ_INTERNALERROR;
      if (waited) count = unzReadCurrentFile(archive_, Block(index), static_cast<unsigned>(kBlockSize));
      counts_[index] = count;
      return count > 0;
    });
  }

  // The consuming thread: the next block the reader filled and its count; a count
  // below 0 is the library's failure, 0 the end of the member's data.
  int TakeBlock(const char*& data) {
    unsigned index = 0;
    if (!handover_.Take(index)) return UNZ_INTERNALERROR;
    data = Block(index);
    return counts_[index];
  }

  void Stop() { handover_.Stop(); }

 private:
  char* Block(unsigned index) const { return memory_.Data() + index * kBlockStride; }

  const unzFile archive_;
  const platform::CommittedBuffer memory_;
  Handover<kBlocks> handover_;
  std::array<int, kBlocks> counts_{};
};

// The pieces of the member as the library's reading gives them: each is the
// output buffer filled, or the end of the member's size or of its data. A failure's
// piece counts for nothing, as the library drops it. The CRC of every piece given
// is kept, as the library checks none in raw mode.
class PieceMaker final : public PieceSource {
 public:
  PieceMaker(BlockRing& ring, const platform::CommittedBuffer& output, int method, uint64_t size)
      : ring_(ring), output_(output.Data()), outputSize_(output.Size()), method_(method), remaining_(size) {}
  ~PieceMaker() {
    if (inflating_) inflateEnd(&stream_);
  }
  PieceMaker(const PieceMaker&) = delete;
  PieceMaker& operator=(const PieceMaker&) = delete;

  // The inflater, for a deflated member; the library's result.
  int Start() {
    if (method_ == kStored) return Z_OK;
    // No zlib header: the member holds the raw deflate stream.
    const int started = inflateInit2(&stream_, -MAX_WBITS);
    inflating_ = started == Z_OK;
    return started;
  }

  int Next(const char*& piece) override {
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(outputSize_, remaining_));
    if (wanted == 0) return 0;  // the member's size is reached
    const int made = method_ == kStored ? NextStored(wanted, piece) : NextInflated(wanted, piece);
    if (made > 0) {
      remaining_ -= static_cast<uint64_t>(made);
      crc_ = zip_crc32(crc_, reinterpret_cast<const unsigned char*>(piece), static_cast<size_t>(made));
    }
    return made;
  }

  uint32_t Crc() const { return static_cast<uint32_t>(crc_); }

  // Where the next inflated piece goes (as large as the output given first).
  void InflateInto(char* output) { output_ = output; }

 private:
  // Stored data is the decrypted data itself: the next transfer buffer's worth of
  // a block, cut at the member's size, as the library's reading cuts it.
  int NextStored(size_t wanted, const char*& piece) {
    if (left_ == 0) {
      const int count = ring_.TakeBlock(next_);
      if (count <= 0) return count;
      left_ = static_cast<size_t>(count);
    }
    const size_t size = std::min(left_, wanted);
    piece = next_;
    next_ += size;
    left_ -= size;
    return static_cast<int>(size);
  }

  int NextInflated(size_t wanted, const char*& piece) {
    stream_.next_out = reinterpret_cast<Bytef*>(output_);
    stream_.avail_out = static_cast<uInt>(wanted);
    int result = Z_OK;
    while (stream_.avail_out > 0) {
      if (stream_.avail_in == 0 && !inputEnded_) {
        const char* block = nullptr;
        const int count = ring_.TakeBlock(block);
        if (count < 0) return count;
        inputEnded_ = count == 0;
        stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(block));
        stream_.avail_in = static_cast<uInt>(count);
        if (!inputEnded_) continue;
      }
      // Past the data's end, inflate gets no input: what it still holds comes out,
      // and a stream cut short fails with Z_BUF_ERROR.
      result = inflate(&stream_, Z_SYNC_FLUSH);
      if (result >= 0 && stream_.msg != nullptr) result = Z_DATA_ERROR;
      if (result != Z_OK) break;
    }
    if (result != Z_OK && result != Z_STREAM_END) return result;
    piece = output_;
    return static_cast<int>(wanted - stream_.avail_out);  // 0 once the stream has ended
  }

  BlockRing& ring_;
  char* output_;
  const size_t outputSize_;
  const int method_;
  uint64_t remaining_;
  z_stream stream_{};
  bool inflating_ = false;
  bool inputEnded_ = false;
  const char* next_ = nullptr;  // stored: the rest of the block taken last
  size_t left_ = 0;
  unsigned long crc_ = 0;
};

// The inflated pieces between the inflating thread and the caller's: blocks of
// up to four pieces, each as PieceMaker::Next made it, with its result; a block's
// last result may be the end (0) or a failure (below 0). The caller's thread stores
// faster than the other inflates, so it waits for nearly every block: four pieces
// to a block wake it once for a quarter of a megabyte (blocks of eight or sixteen
// were no faster, under Wine either).
constexpr unsigned kPieceBlocks = 4;
constexpr unsigned kPiecesPerBlock = 4;
constexpr size_t kPieceStride = 0x10000;
static_assert(kMemberTransferSize <= kPieceStride);

class PieceRing final : public PieceSource {
 public:
  explicit PieceRing(PieceMaker& pieces) : pieces_(pieces), memory_(kPieceBlocks * kPiecesPerBlock * kPieceStride) {}

  bool Ready() const { return memory_ && handover_.Ready(); }

  // The inflating thread: makes pieces into one free block after another until the
  // member's end or a failure, or until the caller stops it.
  void Fill() {
    handover_.Produce([this](unsigned index, bool waited) {
      Block& block = blocks_[index];
      block.count = 0;
      int made = UNZ_INTERNALERROR;
      do {
        pieces_.InflateInto(Piece(index, block.count));
        const char* piece = nullptr;
        if (waited) made = pieces_.Next(piece);
        block.results[block.count++] = made;
      } while (made > 0 && block.count < kPiecesPerBlock);
      return made > 0;
    });
  }

  // The caller's thread: the next piece, its size or the member's end or failure.
  int Next(const char*& piece) override {
    if (!handover_.Holding() || at_ == blocks_[taken_].count) {
      if (!handover_.Take(taken_)) return UNZ_INTERNALERROR;
      at_ = 0;
    }
    piece = Piece(taken_, at_);
    return blocks_[taken_].results[at_++];
  }

  // Ends the inflating thread's work at its next block.
  void Stop() { handover_.Stop(); }

 private:
  struct Block {
    std::array<int, kPiecesPerBlock> results{};
    unsigned count = 0;
  };

  char* Piece(unsigned block, unsigned piece) const {
    return memory_.Data() + (block * kPiecesPerBlock + piece) * kPieceStride;
  }

  PieceMaker& pieces_;
  const platform::CommittedBuffer memory_;
  Handover<kPieceBlocks> handover_;
  std::array<Block, kPieceBlocks> blocks_{};
  unsigned taken_ = 0;  // the caller's block, and its next piece
  unsigned at_ = 0;
};

}  // namespace

bool StreamCurrentMemberOnThreads(unzFile archive, const char* password, const platform::CommittedBuffer& output,
                                  MemberSink& sink, MemberReadResult& result, bool inflateApart) {
  BlockRing ring(archive);
  if (!ring.Ready()) return false;
  PieceMaker pieces(ring, output, result.info.method, result.info.size);
  // Raw: the library reads and decrypts, and leaves inflating and the CRC to us.
  result.libraryResult = unzOpenCurrentFile3(archive, nullptr, nullptr, 1, password);
  if (result.libraryResult == UNZ_OK) result.libraryResult = pieces.Start();
  if (result.libraryResult != UNZ_OK) {
    result.status = MemberReadStatus::kOpenRefused;
    unzCloseCurrentFile(archive);
    return true;
  }
  platform::WorkerThread reader;
  if (!reader.Start([](void* self) { static_cast<BlockRing*>(self)->ReadAhead(); }, &ring)) {
    unzCloseCurrentFile(archive);
    return false;
  }
  // A third thread inflates deflated data where asked, or the caller's thread does.
  std::optional<PieceRing> inflated;
  platform::WorkerThread inflater;
  if (inflateApart && result.info.method != kStored) {
    inflated.emplace(pieces);
    if (!inflated->Ready() || !inflater.Start([](void* self) { static_cast<PieceRing*>(self)->Fill(); }, &*inflated)) {
      inflated.reset();
    }
  }
  DeliverPieces(inflated ? static_cast<PieceSource&>(*inflated) : pieces, sink, result);
  if (inflated) {
    inflated->Stop();
    inflater.Join();
  }
  ring.Stop();
  reader.Join();
  unzCloseCurrentFile(archive);
  if (result.status == MemberReadStatus::kRead && pieces.Crc() != result.info.crc) {
    result.status = MemberReadStatus::kCrcMismatch;
    result.libraryResult = UNZ_CRCERROR;
  }
  return true;
}

}  // namespace package
