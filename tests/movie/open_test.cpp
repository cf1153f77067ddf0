// Opening, indexing and closing Theora movies: what the open accepts and
// refuses, the page index and keyframe table against the clip maker's own
// record of its pages, the information record, and every allocation failing.
#include "movie_test_util.h"

namespace movietest {
namespace {

using TheoraOpen = MovieTest;

const char kMsgPlayer[] = "Theora ムービーデコード処理用のメモリ確保に失敗しました";
const char kMsgPageIndex[] = "Theora ページ情報格納用メモリの確保に失敗しました";
const char kMsgKeyframes[] = "Theora キーフレーム情報格納用メモリの確保に失敗しました";
const char kMsgImage[] = "Theora ムービーデコードフレームストック用画像バッファの確保に失敗しました";
const char kMsgStock[] = "Theora ムービーデコードフレームストック用のメモリ確保に失敗しました";

void ExpectIndex(const TheoraPlayer* p, const Clip& clip) {
  ASSERT_EQ(p->FrameCount, int64_t(clip.PictureOfFrame.size()));
  ASSERT_EQ(p->PageCount, int(clip.Index.size()));
  for (int i = 0; i < p->PageCount; ++i) {
    EXPECT_EQ(p->PageIndex[i].Offset, clip.Index[size_t(i)].Offset) << i;
    EXPECT_EQ(p->PageIndex[i].FirstFrame, clip.Index[size_t(i)].FirstFrame) << i;
    EXPECT_EQ(p->PageIndex[i].HasKeyframe, clip.Index[size_t(i)].HasKeyframe) << i;
    EXPECT_EQ(p->PageIndex[i].PacketCount, clip.Index[size_t(i)].PacketCount) << i;
  }
  for (size_t f = 0; f < clip.Keyframe.size(); ++f) EXPECT_EQ(p->KeyframeTable[f], clip.Keyframe[f]) << f;
}

TEST_F(TheoraOpen, NonOggAndShortFilesGiveNullWithNothingLoggedOrAllocated) {
  for (const Bytes& bytes :
       {Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, Bytes{'O', 'g', 'g'}, Bytes{}}) {
    File = WriteAndOpen(bytes);
    const int blocks = SystemState.Kept.Alloc.BlockCount;
    EXPECT_EQ(OpenTheoraMovie(&FileAccessTable, File, 10), nullptr);
    EXPECT_EQ(SystemState.Kept.Alloc.BlockCount, blocks);
    Close(nullptr);
  }
  EXPECT_EQ(CapturedLog(), "");
}

TEST_F(TheoraOpen, FilesWithoutAUsableTheoraStreamGiveNullSilently) {
  ClipOptions soundOnly;
  soundOnly.Video = false;
  EXPECT_EQ(Open(MakeClip(soundOnly).Data), nullptr);
  Close(nullptr);
  for (int damage : {1, 2}) {
    ClipOptions o;
    o.DamageHeader = damage;
    EXPECT_EQ(Open(MakeClip(o).Data), nullptr) << damage;
    Close(nullptr);
  }
  // The header search brings in one more page after the third header.
  Clip clip = MakeClip(ClipOptions{});
  Bytes cut(clip.Data.begin(), clip.Data.begin() + long(clip.EndOfThirdHeaderPage));
  EXPECT_EQ(Open(cut), nullptr);
  Close(nullptr);
  EXPECT_EQ(CapturedLog(), "");
}

TEST_F(TheoraOpen, IndexMatchesThePagesAndFrameZeroIsShown) {
  ClipOptions o;
  o.Pictures = 30;
  o.KeyframeInterval = 7;
  Clip clip = MakeClip(o);
  TheoraPlayer* p = Open(clip.Data);
  ASSERT_NE(p, nullptr);
  ExpectIndex(p, clip);
  EXPECT_EQ(p->PageIndex[0].Offset, 0u);
  EXPECT_EQ(GetTheoraMovieFrame(p), 0);
  EXPECT_EQ(p->ImageCurrent, 1);
  EXPECT_EQ(ImagePicture(p->Image, o.Width, o.Height), 0);
  EXPECT_EQ(GetTheoraMovieImage(p), &p->Image);
  EXPECT_EQ(GetTheoraOverlaySurface(p), nullptr);
  EXPECT_EQ(p->OverlayFourCC, 0u);
  TheoraMovieInfo info{};
  EXPECT_EQ(GetTheoraMovieInfo(p, &info), 0);
  EXPECT_EQ(info.FramesPerSecond, 25.0);
  EXPECT_EQ(info.FrameCount, 30);
  EXPECT_EQ(info.Width, 64);
  EXPECT_EQ(info.Height, 48);
  Close(p);
}

TEST_F(TheoraOpen, SoundPagesBeforeAndBetweenCountInTheOffsets) {
  ClipOptions o;
  o.Sound = true;
  o.SoundFirst = true;
  o.Pictures = 40;
  o.PageBody = 600;  // packets span pages; pages end without a packet
  o.FpsNumerator = 30000;
  o.FpsDenominator = 1001;
  Clip clip = MakeClip(o);
  TheoraPlayer* p = Open(clip.Data);
  ASSERT_NE(p, nullptr);
  ExpectIndex(p, clip);
  TheoraMovieInfo info{};
  GetTheoraMovieInfo(p, &info);
  EXPECT_DOUBLE_EQ(info.FramesPerSecond, 29.97002997002997);
  EXPECT_EQ(ImagePicture(p->Image, o.Width, o.Height), 0);
  Close(p);
}

// A beginning page that completes no packet is another stream's, and the
// Theora stream after it is found.
TEST_F(TheoraOpen, BeginningPageWithoutAPacketIsNotTheora) {
  ClipOptions o;
  o.ForeignFirstPacket = 700;
  o.Pictures = 5;
  Clip clip = MakeClip(o);
  TheoraPlayer* p = Open(clip.Data);
  ASSERT_NE(p, nullptr);
  ExpectIndex(p, clip);
  EXPECT_EQ(ImagePicture(p->Image, o.Width, o.Height), 0);
  Close(p);
}

TEST_F(TheoraOpen, EncodedFrameSizeIsReported) {
  ClipOptions o;
  o.Width = 100;
  o.Height = 100;
  o.Pictures = 3;
  TheoraPlayer* p = Open(MakeClip(o).Data);
  ASSERT_NE(p, nullptr);
  TheoraMovieInfo info{};
  GetTheoraMovieInfo(p, &info);
  EXPECT_EQ(info.Width, 112);
  EXPECT_EQ(info.Height, 112);
  EXPECT_EQ(p->Image.Width, 112);
  EXPECT_EQ(p->Image.Height, 112);
  Close(p);
}

TEST_F(TheoraOpen, HeadersOnlyOpenWithNoFramesAndABlackImage) {
  ClipOptions o;
  o.Pictures = 0;
  o.Sound = true;  // other pages follow the headers
  TheoraPlayer* p = Open(MakeClip(o).Data);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->FrameCount, 0);
  EXPECT_EQ(p->PageCount, 0);
  for (int i = 0; i < p->Image.Pitch * p->Image.Height; ++i) ASSERT_EQ(p->Image.Pixels[i], 0) << i;
  AdvanceTheoraMovie(p, 1);  // a movie without frames does not move
  EXPECT_EQ(GetTheoraMovieFrame(p), 0);
  EXPECT_EQ(UpdateTheoraMovieImage(p, 1, 0), 0);
  Close(p);
}

// Index and keyframe table grow in steps of 1,000.
TEST_F(TheoraOpen, IndexGrowsPastItsFirstThousandEntries) {
  ClipOptions o;
  o.Width = 16;
  o.Height = 16;
  o.Pictures = 1100;
  o.KeyframeInterval = 64;
  o.PageBody = 1;  // one packet per page: one entry per frame
  o.Quality = 10;
  Clip clip = MakeClip(o);
  TheoraPlayer* p = Open(clip.Data);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->PageRoom, 2000);
  EXPECT_EQ(p->KeyframeRoom, 2000);
  ExpectIndex(p, clip);
  Close(p);
}

// The growth of the page index, then of the keyframe table, fails.
TEST_F(TheoraOpen, FailedIndexGrowthFailsTheOpen) {
  ClipOptions o;
  o.Width = 16;
  o.Height = 16;
  o.Pictures = 1001;
  o.KeyframeInterval = 64;
  o.PageBody = 1;
  o.Quality = 10;
  Clip clip = MakeClip(o);
  filetest::WriteBytes(Scratch.Path / "clip.ogv", clip.Data);
  // Allocations: the player, the index, the keyframe table, then the growths.
  const std::pair<long, const char*> steps[] = {{3, kMsgPageIndex}, {4, kMsgKeyframes}};
  for (const auto& [allowed, message] : steps) {
    FileHandle h = FileOpenDispatch("clip.ogv", 0, 1, 0);
    const int blocks = SystemState.Kept.Alloc.BlockCount;
    CapturedLog().clear();
    PlatHeapFailAfter(allowed);
    EXPECT_EQ(OpenTheoraMovie(&FileAccessTable, h, 10), nullptr);
    PlatHeapFailAfter(-1);
    EXPECT_NE(CapturedLog().find(message), std::string::npos) << allowed;
    EXPECT_EQ(SystemState.Kept.Alloc.BlockCount, blocks);
    FileCloseDispatch(h);
  }
}

// Allocation n of the open fails, for every n until the open succeeds: each
// failure frees everything (the fixture checks the tracked blocks, the leak
// checker the rest) and writes the line of the step that failed.
TEST_F(TheoraOpen, EveryAllocationFailingFreesEverything) {
  Clip clip = MakeClip(ClipOptions{});
  filetest::WriteBytes(Scratch.Path / "clip.ogv", clip.Data);
  std::vector<std::string> lines;
  for (long allowed = 0; allowed < 40; ++allowed) {
    FileHandle h = FileOpenDispatch("clip.ogv", 0, 1, 0);
    ASSERT_NE(h, 0u);
    const int blocks = SystemState.Kept.Alloc.BlockCount;
    CapturedLog().clear();
    PlatHeapFailAfter(allowed);
    TheoraPlayer* p = OpenTheoraMovie(&FileAccessTable, h, 10);
    PlatHeapFailAfter(-1);
    if (p != nullptr) {
      // The first allocation the thread makes (a frame's planes) failed:
      // nothing was stored and the open returned without a converted frame.
      EXPECT_EQ(p->ImageCurrent, 0);
      EXPECT_EQ(p->EndOfStream.load(), 1);
      CloseTheoraMovie(p);
      EXPECT_EQ(SystemState.Kept.Alloc.BlockCount, blocks);
      FileCloseDispatch(h);
      break;
    }
    EXPECT_EQ(SystemState.Kept.Alloc.BlockCount, blocks) << allowed;
    lines.push_back(CapturedLog());
    FileCloseDispatch(h);
  }
  ASSERT_GE(lines.size(), 5u);
  EXPECT_NE(lines[0].find(kMsgPlayer), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find(kMsgPageIndex), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find(kMsgKeyframes), std::string::npos) << lines[2];
  EXPECT_NE(lines[3].find(kMsgImage), std::string::npos) << lines[3];
  EXPECT_NE(lines[4].find(kMsgStock), std::string::npos) << lines[4];
}

}  // namespace
}  // namespace movietest
