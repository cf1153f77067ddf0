#include "clip_maker.h"

#include <ogg/ogg.h>
#include <theora/theoradec.h>
#include <theora/theoraenc.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace movietest {
namespace {

struct Packet {
  Bytes Data;
  int64_t Granule = -1;
  double Time = 0;  // end time of the packet's content, for interleaving
  bool Header = false;
  bool FlushAfter = false;  // the page ends with this packet
};

struct Page {
  Bytes Data;
  double Time = 0;
  std::vector<int> Completed;  // packets that end on this page
  bool HeaderPage = false;
};

// Pages a stream by hand: at most `body` body bytes per page (packets split
// across pages when larger), a page ends after any packet marked FlushAfter.
std::vector<Page> PageStream(const std::vector<Packet>& packets, uint32_t serial, int body) {
  struct Segment {
    int Packet;
    int Offset;
    int Size;
    bool Last;
  };
  std::vector<Segment> segments;
  for (int i = 0; i < int(packets.size()); ++i) {
    const int size = int(packets[i].Data.size());
    int offset = 0;
    for (;;) {
      const int part = std::min(255, size - offset);
      segments.push_back({i, offset, part, part < 255});
      offset += part;
      if (part < 255) break;
    }
  }
  std::vector<Page> pages;
  uint32_t sequence = 0;
  double lastTime = 0;
  size_t s = 0;
  bool continued = false;
  while (s < segments.size()) {
    Page page;
    Bytes lacing, data;
    int64_t granule = -1;
    bool anyHeader = false;
    while (s < segments.size() && lacing.size() < 255) {
      const Segment& seg = segments[s];
      if (!lacing.empty() && int(data.size()) + seg.Size > body) break;
      lacing.push_back(uint8_t(seg.Size));
      const Bytes& src = packets[seg.Packet].Data;
      data.insert(data.end(), src.begin() + seg.Offset, src.begin() + seg.Offset + seg.Size);
      ++s;
      if (seg.Last) {
        page.Completed.push_back(seg.Packet);
        granule = packets[seg.Packet].Granule;
        lastTime = packets[seg.Packet].Time;
        anyHeader = anyHeader || packets[seg.Packet].Header;
        if (packets[seg.Packet].FlushAfter) break;
      }
    }
    page.HeaderPage = anyHeader;
    page.Time = lastTime;
    Bytes header(27, 0);
    std::memcpy(header.data(), "OggS", 4);
    header[5] = uint8_t((continued ? 1 : 0) | (sequence == 0 ? 2 : 0) | (s == segments.size() ? 4 : 0));
    for (int b = 0; b < 8; ++b) header[6 + b] = uint8_t(uint64_t(granule) >> (8 * b));
    for (int b = 0; b < 4; ++b) header[14 + b] = uint8_t(serial >> (8 * b));
    for (int b = 0; b < 4; ++b) header[18 + b] = uint8_t(sequence >> (8 * b));
    header[26] = uint8_t(lacing.size());
    header.insert(header.end(), lacing.begin(), lacing.end());
    ogg_page og;
    og.header = header.data();
    og.header_len = long(header.size());
    og.body = data.data();
    og.body_len = long(data.size());
    ogg_page_checksum_set(&og);
    continued = !lacing.empty() && lacing.back() == 255;
    page.Data = header;
    page.Data.insert(page.Data.end(), data.begin(), data.end());
    pages.push_back(std::move(page));
    ++sequence;
  }
  return pages;
}

Bytes CopyPacket(const ogg_packet& op) { return Bytes(op.packet, op.packet + op.bytes); }

std::vector<Packet> EncodeVorbis(const ClipOptions& o, Clip* clip, double seconds) {
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, 1, clip->SoundRate, 0.1f) != 0) throw std::runtime_error("vorbis init");
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block vb;
  vorbis_block_init(&vd, &vb);
  std::vector<Packet> out;
  ogg_packet h[3];
  vorbis_analysis_headerout(&vd, &vc, &h[0], &h[1], &h[2]);
  for (int i = 0; i < 3; ++i) {
    Packet p;
    p.Data = CopyPacket(h[i]);
    p.Granule = 0;
    p.Header = true;
    p.FlushAfter = i == 0 || i == 2;
    out.push_back(std::move(p));
  }
  const int total = int(seconds * clip->SoundRate);
  clip->Sound.resize(size_t(total));
  for (int i = 0; i < total; ++i) {
    clip->Sound[size_t(i)] =
        int16_t(8000 * std::sin(i * 2 * M_PI * (440 + 40 * o.ColorSeed % 200) / clip->SoundRate));
  }
  auto drain = [&] {
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet op;
      while (vorbis_bitrate_flushpacket(&vd, &op) == 1) {
        Packet p;
        p.Data = CopyPacket(op);
        p.Granule = op.granulepos;
        p.Time = double(op.granulepos) / clip->SoundRate;
        out.push_back(std::move(p));
      }
    }
  };
  for (int done = 0; done < total;) {
    const int n = std::min(1024, total - done);
    float** buffer = vorbis_analysis_buffer(&vd, n);
    for (int i = 0; i < n; ++i) buffer[0][i] = clip->Sound[size_t(done + i)] / 32768.0f;
    vorbis_analysis_wrote(&vd, n);
    done += n;
    drain();
  }
  vorbis_analysis_wrote(&vd, 0);
  drain();
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return out;
}

std::vector<Packet> EncodeTheora(const ClipOptions& o, Clip* clip) {
  th_info ti;
  th_info_init(&ti);
  ti.frame_width = uint32_t((o.Width + 15) & ~15);
  ti.frame_height = uint32_t((o.Height + 15) & ~15);
  ti.pic_width = uint32_t(o.Width);
  ti.pic_height = uint32_t(o.Height);
  ti.pic_x = 0;
  ti.pic_y = 0;
  ti.fps_numerator = uint32_t(o.FpsNumerator);
  ti.fps_denominator = uint32_t(o.FpsDenominator);
  ti.aspect_numerator = 1;
  ti.aspect_denominator = 1;
  ti.colorspace = TH_CS_UNSPECIFIED;
  ti.pixel_fmt = th_pixel_fmt(o.PixelFormat);
  ti.target_bitrate = 0;
  ti.quality = o.Quality;
  ti.keyframe_granule_shift = 6;
  clip->FrameWidth = int(ti.frame_width);
  clip->FrameHeight = int(ti.frame_height);
  th_enc_ctx* enc = th_encode_alloc(&ti);
  if (enc == nullptr) throw std::runtime_error("theora encoder");
  int interval = o.KeyframeInterval;
  th_encode_ctl(enc, TH_ENCCTL_SET_KEYFRAME_FREQUENCY_FORCE, &interval, sizeof interval);
  int speed = 0;
  if (th_encode_ctl(enc, TH_ENCCTL_GET_SPLEVEL_MAX, &speed, sizeof speed) == 0) {
    th_encode_ctl(enc, TH_ENCCTL_SET_SPLEVEL, &speed, sizeof speed);
  }
  th_comment tc;
  th_comment_init(&tc);
  std::vector<Packet> out;
  ogg_packet op;
  while (th_encode_flushheader(enc, &tc, &op) > 0) {
    Packet p;
    p.Data = CopyPacket(op);
    p.Granule = 0;
    p.Header = true;
    p.FlushAfter = out.empty() || out.size() == 2;
    out.push_back(std::move(p));
  }
  if (o.DamageHeader == 1 && out.size() > 1) {
    // The vendor string's length runs far past the packet.
    for (int b = 7; b < 11; ++b) out[1].Data[size_t(b)] = 0x7F;
  } else if (o.DamageHeader == 2 && out.size() > 2) {
    out[2].Data.resize(12);
  }
  if (o.DeclaredMacroblocksWide > 0 && !out.empty()) {
    // Bytes 10 to 13 of the identification header, big-endian.
    Bytes& id = out[0].Data;
    id[10] = uint8_t(o.DeclaredMacroblocksWide >> 8);
    id[11] = uint8_t(o.DeclaredMacroblocksWide);
    id[12] = uint8_t(o.DeclaredMacroblocksHigh >> 8);
    id[13] = uint8_t(o.DeclaredMacroblocksHigh);
  }
  Bytes y, u, v;
  for (int pic = 0; pic < o.Pictures; ++pic) {
    int dup = 0;
    for (const auto& d : o.Duplicates) {
      if (d.first == pic) dup = d.second;
    }
    if (dup > 0) th_encode_ctl(enc, TH_ENCCTL_SET_DUP_COUNT, &dup, sizeof dup);
    MakePicture(o, clip->FrameWidth, clip->FrameHeight, pic, &y, &u, &v);
    th_ycbcr_buffer buf;
    const int cw = o.PixelFormat == TH_PF_444 ? clip->FrameWidth : clip->FrameWidth / 2;
    const int ch = o.PixelFormat == TH_PF_420 ? clip->FrameHeight / 2 : clip->FrameHeight;
    buf[0] = {clip->FrameWidth, clip->FrameHeight, clip->FrameWidth, y.data()};
    buf[1] = {cw, ch, cw, u.data()};
    buf[2] = {cw, ch, cw, v.data()};
    if (th_encode_ycbcr_in(enc, buf) != 0) throw std::runtime_error("theora frame");
    int made = 0;
    while (th_encode_packetout(enc, pic == o.Pictures - 1, &op) > 0) {
      Packet p;
      p.Data = CopyPacket(op);
      p.Granule = op.granulepos;
      p.Time = th_granule_time(enc, op.granulepos);
      if (o.RefuseKeyframes && th_packet_iskeyframe(&op) == 1 && p.Data.size() > 2) {
        // Two more quantizer indices of 63 and nonzero reserved bits.
        p.Data[1] = 0xFF;
        p.Data[2] = 0xFF;
      }
      clip->PictureOfFrame.push_back(pic);
      clip->Keyframe.push_back(uint8_t(th_packet_iskeyframe(&op) == 1 ? 1 : 0));
      out.push_back(std::move(p));
      ++made;
    }
    if (made != 1 + dup) throw std::runtime_error("unexpected packet count");
  }
  th_comment_clear(&tc);
  th_encode_free(enc);
  return out;
}

constexpr uint32_t kVideoSerial = 0x1234;
constexpr uint32_t kSoundSerial = 0x5678;

}  // namespace

void MakePicture(const ClipOptions& o, int fw, int fh, int picture, Bytes* y, Bytes* u, Bytes* v) {
  const int cw = o.PixelFormat == 3 ? fw : fw / 2;
  const int ch = o.PixelFormat == 0 ? fh / 2 : fh;
  if (o.FlatLuma >= 0) {
    y->assign(size_t(fw) * size_t(fh), uint8_t(o.FlatLuma));
    u->assign(size_t(cw) * size_t(ch), 128);
    v->assign(size_t(cw) * size_t(ch), 128);
    return;
  }
  y->assign(size_t(fw) * size_t(fh), 16);
  const int cols = fw / 8;
  for (int r = 0; r < fh; ++r) {
    for (int c = 0; c < fw; ++c) {
      const int b = (r / 8) * cols + c / 8;
      (*y)[size_t(r) * size_t(fw) + size_t(c)] = ((picture >> (b % 12)) & 1) ? 235 : 16;
    }
  }
  u->resize(size_t(cw) * size_t(ch));
  v->resize(size_t(cw) * size_t(ch));
  for (int r = 0; r < ch; ++r) {
    for (int c = 0; c < cw; ++c) {
      (*u)[size_t(r) * size_t(cw) + size_t(c)] = uint8_t(128 + 70 * std::sin((c + int(o.ColorSeed)) * 0.15));
      (*v)[size_t(r) * size_t(cw) + size_t(c)] = uint8_t(128 + 70 * std::cos((r + int(o.ColorSeed)) * 0.12));
    }
  }
}

int ReadBarcode(const uint8_t* y, int stride, int w, int h) {
  const int cols = w / 8, rows = h / 8;
  double sum[12] = {};
  int count[12] = {};
  for (int by = 0; by < rows; ++by) {
    for (int bx = 0; bx < cols; ++bx) {
      const int b = by * cols + bx;
      int s = 0;
      for (int r = 2; r < 6; ++r) {
        for (int c = 2; c < 6; ++c) s += y[size_t(by * 8 + r) * size_t(stride) + size_t(bx * 8 + c)];
      }
      sum[b % 12] += s / 16.0;
      ++count[b % 12];
    }
  }
  int value = 0;
  for (int bit = 0; bit < 12; ++bit) {
    if (count[bit] == 0) return -1;
    if (sum[bit] / count[bit] > 125.5) value |= 1 << bit;
  }
  return value;
}

std::vector<Bytes> DecodeLumaInOrder(const Bytes& data) {
  std::vector<Bytes> frames;
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  char* buffer = ogg_sync_buffer(&sync, long(data.size()));
  std::memcpy(buffer, data.data(), data.size());
  ogg_sync_wrote(&sync, long(data.size()));
  ogg_stream_state stream;
  ogg_stream_init(&stream, int(kVideoSerial));
  th_info info;
  th_info_init(&info);
  th_comment comment;
  th_comment_init(&comment);
  th_setup_info* setup = nullptr;
  th_dec_ctx* dec = nullptr;
  ogg_page page;
  ogg_packet packet;
  while (ogg_sync_pageout(&sync, &page) == 1) {
    ogg_stream_pagein(&stream, &page);
    while (ogg_stream_packetout(&stream, &packet) == 1) {
      if (dec == nullptr) {
        // Headers give a positive result; 0 means the first data packet.
        if (th_decode_headerin(&info, &comment, &setup, &packet) != 0) continue;
        dec = th_decode_alloc(&info, setup);
      }
      if (th_decode_packetin(dec, &packet, nullptr) < 0) {
        frames.push_back(frames.empty() ? Bytes(size_t(info.frame_width) * info.frame_height, 16)
                                        : frames.back());
        continue;
      }
      th_ycbcr_buffer out;
      th_decode_ycbcr_out(dec, out);
      Bytes y(size_t(out[0].width) * size_t(out[0].height));
      for (int r = 0; r < out[0].height; ++r) {
        std::memcpy(y.data() + size_t(r) * size_t(out[0].width), out[0].data + ptrdiff_t(r) * out[0].stride,
                    size_t(out[0].width));
      }
      frames.push_back(std::move(y));
    }
  }
  if (dec) th_decode_free(dec);
  th_setup_free(setup);
  th_comment_clear(&comment);
  th_info_clear(&info);
  ogg_stream_clear(&stream);
  ogg_sync_clear(&sync);
  return frames;
}

Clip MakeClip(const ClipOptions& o) {
  Clip clip;
  std::vector<Page> video, sound;
  std::vector<Packet> videoPackets;
  if (o.Video) {
    videoPackets = EncodeTheora(o, &clip);
    video = PageStream(videoPackets, kVideoSerial, o.PageBody);
  }
  if (o.Sound || !o.Video) {
    const double seconds = std::max(0.5, double(o.Pictures) * o.FpsDenominator / o.FpsNumerator);
    sound = PageStream(EncodeVorbis(o, &clip, seconds), kSoundSerial, o.PageBody);
  }
  // Order: beginning pages, the remaining header pages, then data by time.
  struct Placed {
    const Page* P;
    bool Video;
  };
  std::vector<Placed> order;
  auto headerPages = [](const std::vector<Page>& pages) {
    size_t n = 0;
    while (n < pages.size() && pages[n].HeaderPage) ++n;
    return n;
  };
  const size_t vh = headerPages(video), sh = headerPages(sound);
  std::vector<Page> foreign;
  if (o.ForeignFirstPacket > 0) {
    Packet big;
    big.Data.assign(size_t(o.ForeignFirstPacket), 0x5A);
    big.Header = true;
    big.Granule = 0;
    foreign = PageStream({big}, 0x9ABC, 100);
    order.push_back({&foreign[0], false});
  }
  if (o.SoundFirst) {
    if (!sound.empty()) order.push_back({&sound[0], false});
    if (!video.empty()) order.push_back({&video[0], true});
  } else {
    if (!video.empty()) order.push_back({&video[0], true});
    if (!sound.empty()) order.push_back({&sound[0], false});
  }
  for (size_t i = 1; i < foreign.size(); ++i) order.push_back({&foreign[i], false});
  for (size_t i = 1; i < vh; ++i) order.push_back({&video[i], true});
  for (size_t i = 1; i < sh; ++i) order.push_back({&sound[i], false});
  size_t vi = vh, si = sh;
  while (vi < video.size() || si < sound.size()) {
    if (si >= sound.size() || (vi < video.size() && video[vi].Time <= sound[si].Time)) {
      order.push_back({&video[vi++], true});
    } else {
      order.push_back({&sound[si++], false});
    }
  }
  for (const Placed& placed : order) {
    const uint32_t offset = uint32_t(clip.Data.size());
    clip.Data.insert(clip.Data.end(), placed.P->Data.begin(), placed.P->Data.end());
    if (!placed.Video) continue;
    int ended = 0, key = 0, first = -1;
    for (int packet : placed.P->Completed) {
      if (packet == 2) clip.EndOfThirdHeaderPage = clip.Data.size();
      if (packet < 3) continue;
      if (first < 0) first = packet - 3;
      ++ended;
      key |= clip.Keyframe[size_t(packet - 3)];
    }
    if (ended > 0) clip.Index.push_back({clip.Index.empty() ? 0 : offset, first, key, ended});
  }
  return clip;
}

}  // namespace movietest
