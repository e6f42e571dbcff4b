// The reader's run of character data against a model: a std::string and a
// byte-by-byte white-space test, fed the same random pieces. The pieces favour
// what the word-wise test must judge right: runs of spaces across and beside
// eight-byte boundaries, one other white-space byte or one other byte among
// them, line breaks alone, and pieces large enough to make the storage grow.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "xml/TextRun.h"

namespace {

using genattr::xml::IsBlank;
using genattr::xml::TextRun;

bool ModelBlank(const std::string& text) {
  for (const char c : text) {
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') {
      return false;
    }
  }
  return true;
}

std::string Piece(std::mt19937& random) {
  auto pick = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  if (pick(0, 5) == 0) {
    return "\n";
  }
  std::string piece(static_cast<std::size_t>(pick(0, pick(0, 3) == 0 ? 300 : 24)), ' ');
  if (!piece.empty() && pick(0, 2) == 0) {
    // One byte that is white space other than a space, or not white space:
    // anywhere, the first and last eight bytes included.
    static const char kOthers[] = {'\t', '\n', '\r', 'x', '\0', '\x0b', '\x0c', '!', '\xa0'};
    piece[static_cast<std::size_t>(pick(0, static_cast<int>(piece.size()) - 1))] =
        kOthers[pick(0, sizeof kOthers - 1)];
  }
  return piece;
}

TEST(TextRun, AgreesWithAStringAndAByteWiseTest) {
  std::mt19937 random(20261208);
  TextRun run;
  for (int round = 0; round < 400; ++round) {
    std::string model;
    run.Clear();
    EXPECT_TRUE(run.Blank());
    EXPECT_STREQ(run.CStr(), "");
    for (int n = std::uniform_int_distribution<int>(0, 12)(random); n > 0; --n) {
      const std::string piece = Piece(random);
      ASSERT_EQ(IsBlank(piece.data(), piece.size()), ModelBlank(piece)) << '[' << piece << ']';
      run.Append(piece.data(), piece.size());
      model += piece;
      ASSERT_EQ(run.Size(), model.size());
      ASSERT_EQ(std::string(run.CStr(), run.Size()), model);
      ASSERT_EQ(run.CStr()[run.Size()], '\0');
      ASSERT_EQ(run.Blank(), ModelBlank(model));
      ASSERT_EQ(run.Empty(), model.empty());
    }
  }
}

} // namespace
