// A check of the Vorbis setup headers before vorbisfile sees them.
//
// libvorbis trusts some fields of the setup header: a codebook of dimension 0
// used by a residue or a type-0 floor makes its decoder divide by zero or
// loop for ever, and such a book without values is read through a null
// table. Each Vorbis stream of the file has its setup header read here with
// a bounded bit reader, and a file with such a header is refused.
#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include <cstring>

#include "core/alloc.h"
#include "sound/sound_source.h"

namespace {
// Reads bits least significant first, as Vorbis packs them; any read past
// the end marks the reader failed and gives 0.
struct BitReader {
  const uint8_t* Data;
  uint64_t Bits;
  uint64_t Pos;
  bool Failed;

  uint32_t Read(int count) {
    if (count == 0) return 0;
    if (Bits - Pos < uint64_t(count)) {
      Failed = true;
      Pos = Bits;
      return 0;
    }
    uint32_t v = 0;
    for (int i = 0; i < count; ++i, ++Pos) v |= uint32_t((Data[Pos >> 3] >> (Pos & 7)) & 1) << i;
    return v;
  }
  uint64_t Left() const { return Bits - Pos; }
};

int ILog(uint32_t v) {
  int n = 0;
  while (v) {
    ++n;
    v >>= 1;
  }
  return n;
}

struct BookInfo {
  uint32_t Dim;
  uint32_t LookupType;
};

constexpr int kMaxBooks = 256;

// The number of values of a lookup-type-1 book: the largest r with r^dim no
// more than entries.
uint64_t Lookup1Values(uint32_t entries, uint32_t dim) {
  uint64_t r = 0;
  for (;;) {
    uint64_t next = r + 1, p = 1;
    for (uint32_t i = 0; i < dim && p <= entries; ++i) p *= next;
    if (p > entries) return r;
    r = next;
  }
}

bool ReadCodebook(BitReader& b, BookInfo* info) {
  if (b.Read(24) != 0x564342) return false;
  uint32_t dim = b.Read(16), entries = b.Read(24);
  if (b.Read(1)) {  // ordered lengths
    uint32_t current = 0;
    b.Read(5);
    while (current < entries && !b.Failed) {
      current += b.Read(ILog(entries - current));
      if (current > entries) return false;
    }
  } else {
    bool sparse = b.Read(1);
    // Each entry takes at least one bit: a count the packet cannot hold is
    // refused before the loop.
    if (entries > b.Left()) return false;
    for (uint32_t i = 0; i < entries && !b.Failed; ++i)
      if (!sparse || b.Read(1)) b.Read(5);
  }
  uint32_t lookup = b.Read(4);
  if (lookup > 2) return false;
  if (lookup) {
    if (dim == 0 || entries == 0) return false;
    b.Read(32);
    b.Read(32);
    uint32_t valueBits = b.Read(4) + 1;
    b.Read(1);
    uint64_t values = lookup == 1 ? Lookup1Values(entries, dim) : uint64_t(entries) * dim;
    if (values == 0 || values > b.Left() / valueBits) return false;
    b.Pos += values * valueBits;
  }
  *info = {dim, lookup};
  return !b.Failed;
}

bool ReadFloor(BitReader& b, const BookInfo* books, uint32_t bookCount) {
  uint32_t type = b.Read(16);
  if (type == 0) {
    b.Read(8);
    b.Read(16);
    b.Read(16);
    b.Read(6);
    b.Read(8);
    uint32_t count = b.Read(4) + 1;
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t book = b.Read(8);
      if (book >= bookCount || books[book].Dim == 0 || books[book].LookupType == 0) return false;
    }
    return !b.Failed;
  }
  if (type != 1) return false;
  uint32_t partitions = b.Read(5);
  uint32_t classOf[32];
  int maxClass = -1;
  for (uint32_t i = 0; i < partitions; ++i) {
    classOf[i] = b.Read(4);
    if (int(classOf[i]) > maxClass) maxClass = int(classOf[i]);
  }
  uint32_t classDims[16];
  for (int c = 0; c <= maxClass; ++c) {
    classDims[c] = b.Read(3) + 1;
    uint32_t subclasses = b.Read(2);
    if (subclasses && b.Read(8) >= bookCount) return false;
    for (uint32_t j = 0; j < (1u << subclasses); ++j) {
      uint32_t book = b.Read(8);
      if (book != 0 && book - 1 >= bookCount) return false;
    }
  }
  b.Read(2);
  uint32_t rangeBits = b.Read(4);
  for (uint32_t i = 0; i < partitions; ++i)
    for (uint32_t j = 0; j < classDims[classOf[i]]; ++j) b.Read(int(rangeBits));
  return !b.Failed;
}

bool ReadResidue(BitReader& b, const BookInfo* books, uint32_t bookCount) {
  if (b.Read(16) > 2) return false;
  b.Read(24);
  b.Read(24);
  b.Read(24);
  uint32_t classifications = b.Read(6) + 1;
  uint32_t classbook = b.Read(8);
  if (classbook >= bookCount || books[classbook].Dim == 0) return false;
  uint32_t cascade[64];
  for (uint32_t i = 0; i < classifications; ++i) {
    uint32_t low = b.Read(3);
    uint32_t high = b.Read(1) ? b.Read(5) : 0;
    cascade[i] = high * 8 + low;
  }
  for (uint32_t i = 0; i < classifications; ++i)
    for (int j = 0; j < 8; ++j)
      if (cascade[i] & (1u << j)) {
        uint32_t book = b.Read(8);
        if (book >= bookCount || books[book].Dim == 0 || books[book].LookupType == 0) return false;
      }
  return !b.Failed;
}

// Checks one setup header packet (type 5).
bool SetupHeaderSafe(const uint8_t* packet, size_t size) {
  if (size < 7 || packet[0] != 5 || std::memcmp(packet + 1, "vorbis", 6) != 0) return false;
  BitReader b{packet + 7, uint64_t(size - 7) * 8, 0, false};
  uint32_t bookCount = b.Read(8) + 1;
  BookInfo books[kMaxBooks];
  for (uint32_t i = 0; i < bookCount; ++i)
    if (!ReadCodebook(b, &books[i])) return false;
  uint32_t times = b.Read(6) + 1;
  for (uint32_t i = 0; i < times; ++i)
    if (b.Read(16) != 0) return false;
  uint32_t floors = b.Read(6) + 1;
  for (uint32_t i = 0; i < floors; ++i)
    if (!ReadFloor(b, books, bookCount)) return false;
  uint32_t residues = b.Read(6) + 1;
  for (uint32_t i = 0; i < residues; ++i)
    if (!ReadResidue(b, books, bookCount)) return false;
  return !b.Failed;
}

// One logical stream being followed until its setup header is read. The
// three header packets also go through libvorbis's own header reader, so
// that a file whose headers vorbisfile would refuse is refused here first
// (vorbisfile 1.3.7 leaks a block on some of those refusals).
struct Follow {
  ogg_stream_state State;
  vorbis_info Info;
  vorbis_comment Comment;
  int Packets;  // header packets seen
  bool Used;
  bool Vorbis;
};

// Streams whose headers are being read at one time (those of one link of a
// chained file, or the streams of a movie side by side).
constexpr int kMaxStreams = 16;

void StartFollow(Follow* f, int serial) {
  *f = Follow{};
  f->Used = true;
  ogg_stream_init(&f->State, serial);
  vorbis_info_init(&f->Info);
  vorbis_comment_init(&f->Comment);
}

void EndFollow(Follow* f) {
  ogg_stream_clear(&f->State);
  vorbis_comment_clear(&f->Comment);
  vorbis_info_clear(&f->Info);
  f->Used = false;
}
}  // namespace

int CheckVorbisSetupHeaders(const StreamData* stream) {
  if (stream->Functions.Seek(stream->DataHandle, 0, 0) != 0) return -1;
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  Follow* streams = static_cast<Follow*>(TrackedAllocZeroed(sizeof(Follow) * kMaxStreams, "", 0));
  if (!streams) {
    ogg_sync_clear(&sync);
    return -1;
  }
  int result = 0, completeLinks = 0;
  bool atEnd = false;
  while (result == 0) {
    ogg_page page;
    int got = ogg_sync_pageout(&sync, &page);
    if (got == 0) {
      if (atEnd) break;
      char* buffer = ogg_sync_buffer(&sync, 4096);
      size_t n = buffer ? stream->Functions.Read(buffer, 1, 4096, stream->DataHandle) : 0;
      if (n == 0) atEnd = true;
      ogg_sync_wrote(&sync, long(n));
      continue;
    }
    if (got < 0) continue;  // skipped garbage; vorbisfile judges the rest
    // A stream is followed from its first page until its headers are read
    // and then forgotten: its later pages are passed over, and a later link
    // that begins again with the same serial number is followed anew.
    int serial = ogg_page_serialno(&page);
    Follow* f = nullptr;
    for (int i = 0; i < kMaxStreams && !f; ++i)
      if (streams[i].Used && streams[i].State.serialno == serial) f = &streams[i];
    if (!f) {
      if (!ogg_page_bos(&page)) continue;
      for (int i = 0; i < kMaxStreams && !f; ++i)
        if (!streams[i].Used) f = &streams[i];
      if (!f) {  // more streams at once than any sound or movie file has
        result = -1;
        break;
      }
      StartFollow(f, serial);
    }
    ogg_stream_pagein(&f->State, &page);
    ogg_packet packet;
    while (f->Used && ogg_stream_packetout(&f->State, &packet) > 0) {
      const uint8_t* p = packet.packet;
      size_t size = size_t(packet.bytes);
      if (f->Packets == 0) {
        f->Vorbis = size >= 7 && p[0] == 1 && std::memcmp(p + 1, "vorbis", 6) == 0;
        if (!f->Vorbis) {
          EndFollow(f);  // another kind of stream: not ours to judge
          break;
        }
      }
      if (f->Packets == 2 && !SetupHeaderSafe(p, size)) result = -1;
      if (result == 0 && vorbis_synthesis_headerin(&f->Info, &f->Comment, &packet) != 0) result = -1;
      if (f->Packets == 2 || result != 0) {
        if (result == 0) ++completeLinks;
        EndFollow(f);
        break;
      }
      ++f->Packets;
    }
  }
  // Every Vorbis stream that began must have come with all its headers: a
  // link cut inside them is refused here rather than by vorbisfile.
  for (int i = 0; i < kMaxStreams; ++i) {
    if (streams[i].Used) {
      if (streams[i].Vorbis || streams[i].Packets == 0) result = -1;
      EndFollow(&streams[i]);
    }
  }
  if (completeLinks == 0) result = -1;
  TrackedFree(streams);
  ogg_sync_clear(&sync);
  if (stream->Functions.Seek(stream->DataHandle, 0, 0) != 0) return -1;
  return result;
}
