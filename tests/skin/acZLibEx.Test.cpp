#include "skin/graphics/acZLibEx.h"
#include <gtest/gtest.h>
#include <random>
#include <zlib.h>

namespace {
std::string Compress(const std::string& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::string out(size, '\0');
  EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                      static_cast<uLong>(data.size()), 9),
            Z_OK);
  out.resize(size);
  return out;
}

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rnd(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rnd());
  return s;
}

std::string Text(std::size_t n) {
  std::string s;
  while (s.size() < n) s += "The quick brown fox jumps over the lazy dog " + std::to_string(s.size() % 97) + "\n";
  s.resize(n);
  return s;
}

// Reads until Read answers 0.
std::string ReadToEnd(TZDecompressionStream& z) {
  std::string out;
  char buf[7000];
  for (std::int64_t n; (n = z.Read(buf, sizeof buf)) > 0;) out.append(buf, static_cast<std::size_t>(n));
  return out;
}

void ExpectInvalidOperation(const std::function<void()>& action) {
  try {
    action();
    ADD_FAILURE() << "no exception";
  } catch (const EZDecompressionError& e) {
    EXPECT_EQ(e.Message(), L"Invalid ZStream operation!");
    EXPECT_EQ(e.ErrorCode(), 0);
  }
}
}  // namespace

TEST(ZDecompressionStream, BackToBackStreamsEachDeliverTheirOwnData) {
  // The second stream is larger than the 128 KB input buffer and incompressible.
  const std::string a = Text(5000), b = RandomBytes(300000, 1), c = Text(100);
  TMemoryStream source(Compress(a) + Compress(b) + Compress(c) + "TAIL");
  std::string read[3];
  for (auto& r : read) {
    TZDecompressionStream z(source);
    r = ReadToEnd(z);
  }
  EXPECT_EQ(read[0], a);
  EXPECT_EQ(read[1], b);
  EXPECT_EQ(read[2], c);
  char tail[4];
  ASSERT_EQ(source.Read(tail, 4), 4);
  EXPECT_EQ(std::string(tail, 4), "TAIL");
}

TEST(ZDecompressionStream, ReadAfterTheEndAnswersZeroAndLeavesTheSourceBehindTheData) {
  const std::string packed = Compress(Text(1000));
  TMemoryStream source(packed + std::string(50, 'x'));
  TZDecompressionStream z(source);
  EXPECT_EQ(ReadToEnd(z).size(), 1000u);
  EXPECT_TRUE(z.DataEnded());
  EXPECT_EQ(source.Position(), static_cast<std::int64_t>(packed.size()));
  char buf[10];
  EXPECT_EQ(z.Read(buf, 10), 0);
  EXPECT_EQ(source.Position(), static_cast<std::int64_t>(packed.size()));
}

TEST(ZDecompressionStream, ReadOfZeroBytesTouchesNothing) {
  TMemoryStream source(Compress(Text(100)));
  TZDecompressionStream z(source);
  char buf[1];
  EXPECT_EQ(z.Read(buf, 0), 0);
  EXPECT_EQ(source.Position(), 0);
}

TEST(ZDecompressionStream, ReadPutsBackASourceMovedByAnotherReader) {
  const std::string text = Text(400000);
  TMemoryStream source(Compress(text));
  TZDecompressionStream z(source);
  std::string out(1000, '\0');
  ASSERT_EQ(z.Read(out.data(), 1000), 1000);
  source.SetPosition(3);  // someone else reads the shared source
  out += ReadToEnd(z);
  EXPECT_EQ(out, text);
}

TEST(ZDecompressionStream, SeekRules) {
  const std::string text = Text(50000);
  TMemoryStream source(std::string(5, 'p') + Compress(text));
  source.SetPosition(5);
  TZDecompressionStream z(source);
  EXPECT_EQ(z.Position(), 0);
  EXPECT_EQ(z.Seek(100, TSeekOrigin::soBeginning), 100);    // forward from the beginning
  EXPECT_EQ(z.Seek(20000, TSeekOrigin::soCurrent), 20100);  // skips more than the scratch buffer
  EXPECT_EQ(z.Position(), 20100);
  ExpectInvalidOperation([&] { z.Seek(20100, TSeekOrigin::soBeginning); });  // exactly here
  ExpectInvalidOperation([&] { z.Seek(50, TSeekOrigin::soBeginning); });
  ExpectInvalidOperation([&] { z.Seek(-1, TSeekOrigin::soCurrent); });
  ExpectInvalidOperation([&] { z.Seek(-5, TSeekOrigin::soEnd); });
  char c;
  ASSERT_EQ(z.Read(&c, 1), 1);
  EXPECT_EQ(c, text[20100]);
  EXPECT_EQ(z.Seek(0, TSeekOrigin::soEnd), 50000);  // decompresses the rest
  // The rewind starts over at the first compressed byte, wherever the source stands.
  EXPECT_EQ(z.Seek(0, TSeekOrigin::soBeginning), 0);
  EXPECT_EQ(ReadToEnd(z), text);
  // A skip past the end of the data fails like any short read.
  z.Seek(0, TSeekOrigin::soBeginning);
  EXPECT_THROW(z.Seek(60000, TSeekOrigin::soBeginning), EReadError);
}

TEST(ZDecompressionStream, WritingAndResizingAreRefused) {
  TMemoryStream source(Compress("abc"));
  TZDecompressionStream z(source);
  ExpectInvalidOperation([&] { z.Write("x", 1); });
  ExpectInvalidOperation([&] { z.SetSize(0); });
}

TEST(ZDecompressionStream, TruncatedDataGivesFewerBytesWithoutError) {
  const std::string text = RandomBytes(20000, 2);
  const std::string packed = Compress(text);
  TMemoryStream source(packed.substr(0, packed.size() / 2));
  TZDecompressionStream z(source);
  std::string out(text.size(), '\0');
  std::int64_t got = z.Read(out.data(), static_cast<std::int64_t>(out.size()));
  EXPECT_GT(got, 0);
  EXPECT_LT(got, static_cast<std::int64_t>(text.size()));
  EXPECT_EQ(z.Read(out.data(), 10), 0);
  EXPECT_FALSE(z.DataEnded());
}

TEST(ZDecompressionStream, CorruptDataRaisesWithZlibsCode) {
  TMemoryStream source(std::string("\x78\x9c\xff\xff\xff\xff", 6));
  TZDecompressionStream z(source);
  char buf[16];
  try {
    z.Read(buf, sizeof buf);
    ADD_FAILURE() << "no exception";
  } catch (const EZDecompressionError& e) {
    EXPECT_EQ(e.ErrorCode(), -3);
    EXPECT_EQ(e.Message(), L"data error");
  }
}

TEST(ZDecompressionStream, ProgressFiresAfterEachRefill) {
  const std::string data = RandomBytes(300000, 3);  // three refills of 128 KB
  TMemoryStream source(Compress(data));
  TZDecompressionStream z(source);
  int calls = 0;
  z.SetOnProgress([&](TStream* sender) {
    EXPECT_EQ(sender, &z);
    ++calls;
  });
  EXPECT_EQ(ReadToEnd(z), data);
  EXPECT_EQ(calls, 3);
}

TEST(ZLibError, MessagesOfEveryCode) {
  const std::pair<int, const wchar_t*> table[] = {
      {2, L"need dictionary"}, {1, L"stream end"},          {0, L"ok"},
      {-1, L"file error"},     {-2, L"stream error"},       {-3, L"data error"},
      {-4, L"insufficient memory"}, {-5, L"buffer error"}, {-6, L"incompatible version"}};
  for (auto [code, text] : table) {
    EZDecompressionError e(code);
    EXPECT_EQ(e.Message(), text);
    EXPECT_EQ(e.ErrorCode(), code);
  }
  EXPECT_EQ(EZLibError(TZError::zeVersionError).ErrorCode(), -6);
  EXPECT_EQ(EZLibError(TZError::zeError).Message(), L"file error");
}
