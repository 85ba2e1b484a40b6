// Reading a member on two threads: a second thread reads and decrypts the member's
// data into a small ring of blocks while the caller's thread inflates them, checks
// the CRC and hands the pieces to the sink. Decryption is a chain of dependent
// steps that no processor shortens, so putting it beside inflate is what a second
// processor can do for extraction.
#pragma once

#include "package/member_stream.h"
#include "platform/platform.h"
#include "unzip.h"

namespace package {

// Streams the member the archive is positioned on (its entry in result.info) into
// sink, with the same pieces, checks and results as the one-thread read, using
// output for the inflated pieces. False, with the member closed and the sink not
// called, when the ring or the second thread could not be had: the caller reads on
// one thread then.
bool StreamCurrentMemberOnTwoThreads(unzFile archive, const char* password, const platform::CommittedBuffer& output,
                                     MemberSink& sink, MemberReadResult& result);

}  // namespace package
