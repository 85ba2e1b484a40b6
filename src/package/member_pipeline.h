// Reading a member on two or three threads: a second thread reads and decrypts the
// member's data into a small ring of blocks while the caller's thread inflates them,
// checks the CRC and hands the pieces to the sink; or a third thread inflates and
// checks, and the caller's thread only hands the pieces on. Decryption is a chain
// of dependent steps that no processor shortens, so putting it beside inflate is
// what a second processor can do for extraction; the third takes the writing off
// the inflating thread, which waits on the disk now and then.
#pragma once

#include "package/member_stream.h"
#include "platform/platform.h"
#include "unzip.h"

namespace package {

// Where the pieces of a member come from, one after another: Next gives the next
// piece's size (piece set to its bytes), 0 at the end of the data, below 0 for a
// failure (the library's code).
class PieceSource {
 public:
  virtual int Next(const char*& piece) = 0;

 protected:
  ~PieceSource() = default;
};

// Begins the sink and hands it every piece of source, with the verdicts of a
// member's reading on one thread or two: data that fails or ends before the
// member's size is damaged, a sink that stops leaves it not stored.
void DeliverPieces(PieceSource& source, MemberSink& sink, MemberReadResult& result);

// Streams the member the archive is positioned on (its entry in result.info) into
// sink, with the same pieces, checks and results as the one-thread read; the sink
// is called on the caller's thread only. A deflated member is inflated on a third
// thread where inflateApart asks (on the caller's where that thread or its ring
// cannot be had), otherwise into output on the caller's thread. False, with the
// member closed and the sink not called, when the ring or the second thread could
// not be had: the caller reads on one thread then.
bool StreamCurrentMemberOnThreads(unzFile archive, const char* password, const platform::CommittedBuffer& output,
                                  MemberSink& sink, MemberReadResult& result, bool inflateApart);

}  // namespace package
