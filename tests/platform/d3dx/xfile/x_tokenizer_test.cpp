// The header and both token streams: table-driven headers, text numbers and their
// odd spellings, GUIDs that read the same in text and binary, binary lists with 32-
// and 64-bit floats, and counts that overrun the body.
#include <gtest/gtest.h>

#include "x_test_writer.h"
#include "xfile/x_header.h"
#include "xfile/x_tokenizer.h"

namespace {

using namespace d3dxfile;

struct HeaderCase {
  const char* text;
  bool valid, binary = false, compressed = false, doubleFloats = false;
};

TEST(XHeader, RecognisesEveryFormatAndFloatSize) {
  const HeaderCase cases[] = {
      {"xof 0302txt 0032", true, false, false, false},
      {"xof 0303txt 0064", true, false, false, true},
      {"xof 0303bin 0032", true, true, false, false},
      {"xof 0302bin 0064", true, true, false, true},
      {"xof 0303tzip0032", true, false, true, false},
      {"xof 0303bzip0064", true, true, true, true},
      {"xof 0303cmp 0032", false},
      {"xof 0303txt 0016", false},
      {"xof 0203txt 0032", false},
      {"xof 03x3txt 0032", false},
      {"XOF 0303txt 0032", false},
      {"xof 0303txt 003", false},
  };
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(c.text);
    auto bytes = xtest::ToBytes(c.text);
    if (!c.valid) {
      EXPECT_THROW(ReadXHeader(bytes), InvalidDataError);
      continue;
    }
    XHeader header = ReadXHeader(bytes);
    EXPECT_EQ(header.binary, c.binary);
    EXPECT_EQ(header.compressed, c.compressed);
    EXPECT_EQ(header.doubleFloats, c.doubleFloats);
  }
}

std::vector<Token> AllTokens(Tokenizer& tokens) {
  std::vector<Token> all;
  for (Token t = tokens.Next(); t.kind != TokenKind::End; t = tokens.Next()) all.push_back(t);
  return all;
}

std::vector<Token> TextTokens(std::string_view text) {
  auto bytes = xtest::ToBytes(text);
  return AllTokens(*MakeTextTokenizer(bytes));
}

TEST(XTextTokens, NumbersNamesAndPunctuation) {
  auto t = TextTokens("Mesh PDX01_-_Default{ 12;-3,+1.5 .25e1;4294967296 1.#QNAN0 -1.#IND00 1e}");
  ASSERT_EQ(t.size(), 15u);
  EXPECT_EQ(t[0].kind, TokenKind::Name);
  EXPECT_EQ(t[1].text, "PDX01_-_Default");
  EXPECT_EQ(t[2].kind, TokenKind::OpenBrace);
  EXPECT_EQ(t[3].kind, TokenKind::Integer);
  EXPECT_EQ(t[3].integer, 12u);
  EXPECT_EQ(t[4].kind, TokenKind::Semicolon);
  EXPECT_EQ(t[5].kind, TokenKind::Float);  // negative: no DWORD
  EXPECT_EQ(t[5].real, -3.0);
  EXPECT_EQ(t[6].kind, TokenKind::Comma);
  EXPECT_EQ(t[7].real, 1.5);
  EXPECT_EQ(t[8].real, 2.5);
  EXPECT_EQ(t[10].kind, TokenKind::Float);  // too large for a DWORD
  EXPECT_EQ(t[11].real, 0.0);
  EXPECT_EQ(t[11].kind, TokenKind::Float);
  EXPECT_EQ(t[12].real, 0.0);
  EXPECT_EQ(t[13].kind, TokenKind::Name);  // "1e}" stops at the brace: "1e" is no number
  EXPECT_EQ(t[14].kind, TokenKind::CloseBrace);
}

TEST(XTextTokens, CommentsStringsTemplatesAndGuids) {
  auto t = TextTokens("// a { comment\n TEMPLATE # another\n\"a;b}\" < 3D82AB43-62DA-11cf-AB39-0020AF71E433 >");
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[0].kind, TokenKind::Template);
  EXPECT_EQ(t[1].kind, TokenKind::String);
  EXPECT_EQ(t[1].text, "a;b}");
  EXPECT_EQ(t[2].kind, TokenKind::Guid);
  const Guid expected = {0x43, 0xAB, 0x82, 0x3D, 0xDA, 0x62, 0xCF, 0x11,
                         0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33};
  EXPECT_EQ(t[2].guid, expected);
}

TEST(XTextTokens, UnterminatedStringAndBadGuidAreInvalid) {
  EXPECT_THROW(TextTokens("\"no end"), InvalidDataError);
  EXPECT_THROW(TextTokens("<3D82AB43-62DA-11CF-AB39-0020AF71E43>"), InvalidDataError);
  EXPECT_THROW(TextTokens("<3D82AB43-62DA-11CF-AB39-0020AF71E43G>"), InvalidDataError);
  EXPECT_THROW(TextTokens("<3D82AB43"), InvalidDataError);
}

std::vector<uint8_t> Body(const std::vector<uint8_t>& file) {
  return std::vector<uint8_t>(file.begin() + 16, file.end());
}

TEST(XBinaryTokens, ListsComeOutOneValueAtATime) {
  for (auto encoding : {xtest::Encoding::Binary32, xtest::Encoding::Binary64}) {
    xtest::XWriter w(encoding);
    w.Open("Mesh", "M").Ints({7, 4000000000u}).Ints(std::span<const uint32_t>()).Floats({0.1f, -2.0f}).String("s").Close();
    auto body = Body(w.Bytes());
    auto t = AllTokens(*MakeBinaryTokenizer(body, encoding == xtest::Encoding::Binary64));
    ASSERT_EQ(t.size(), 10u);
    EXPECT_EQ(t[0].text, "Mesh");
    EXPECT_EQ(t[1].text, "M");
    EXPECT_EQ(t[2].kind, TokenKind::OpenBrace);
    EXPECT_EQ(t[3].integer, 7u);
    EXPECT_EQ(t[4].integer, 4000000000u);
    EXPECT_EQ(t[5].kind, TokenKind::Float);
    EXPECT_EQ(static_cast<float>(t[5].real), 0.1f);
    EXPECT_EQ(t[6].real, -2.0);
    EXPECT_EQ(t[7].text, "s");
    EXPECT_EQ(t[8].kind, TokenKind::Semicolon);
    EXPECT_EQ(t[9].kind, TokenKind::CloseBrace);
  }
}

TEST(XBinaryTokens, StringTerminatorMayBeAWordOrADword) {
  const std::vector<uint8_t> word = {2, 0, 1, 0, 0, 0, 'a', 20, 0, 11, 0};
  const std::vector<uint8_t> dword = {2, 0, 1, 0, 0, 0, 'a', 20, 0, 0, 0, 11, 0};
  for (const auto& body : {word, dword}) {
    auto t = AllTokens(*MakeBinaryTokenizer(body, false));
    ASSERT_GE(t.size(), 2u);
    EXPECT_EQ(t[0].text, "a");
    EXPECT_EQ(t.back().kind, TokenKind::CloseBrace);
  }
}

TEST(XBinaryTokens, PayloadsLongerThanTheBodyAreInvalid) {
  const std::vector<std::vector<uint8_t>> bodies = {
      {6, 0, 3, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0},  // integer list of 3 with 2 present
      {7, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0},   // float list of 4 billion
      {1, 0, 9, 0, 0, 0, 'M', 'e', 's', 'h'},       // name of 9 bytes with 4 present
      {5, 0, 1, 2, 3},                              // short GUID
      {3, 0, 1},                                    // short integer
      {10},                                         // half a token id
      {99, 0},                                      // unknown token
  };
  for (const auto& body : bodies) {
    EXPECT_THROW(AllTokens(*MakeBinaryTokenizer(body, false)), InvalidDataError);
  }
}

}  // namespace
