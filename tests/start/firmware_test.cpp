// Firmware download lines ("$" words) end to end: chunking, the size limits
// and every refusal.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "startup_fixture.h"

using starttest::Startup;
using testing::HasSubstr;

namespace {

// "first last total length offset" of each download chunk journalled.
std::vector<std::string> chunks(const Startup &s) {
  std::vector<std::string> v;
  for (const auto &j : s.machine.requests("Config")) {
    if (j["command"] != 1) continue;
    v.push_back(std::to_string(j["first"].get<int>()) + " " + std::to_string(j["last"].get<int>()) +
                " " + std::to_string(j["total"].get<int>()) + " " +
                std::to_string(j["length"].get<int>()) + " " +
                std::to_string(j["offset"].get<int>()));
  }
  return v;
}

std::string image(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; i++) s[i] = static_cast<char>(i * 7 + 3);
  return s;
}

TEST(Firmware, ImagesAreSentInChunksOfAtMost2048Bytes) {
  struct Case {
    size_t size;
    std::vector<std::string> first_chunks;  // the first two and the last chunk
    size_t count;
    const char *refusal;                    // nullptr: downloaded
  } cases[] = {
      {1, {"1 1 1 1 0"}, 1, nullptr},
      {2048, {"1 1 2048 2048 0"}, 1, nullptr},
      {2049, {"1 0 2049 2048 0", "0 1 2049 1 2048"}, 2, nullptr},
      {199999, {"1 0 199999 2048 0", "0 0 199999 2048 2048", "0 1 199999 1343 198656"}, 98,
       nullptr},
      {200000, {}, 0, "\nBinary file too big\n"},
      {0, {}, 0, "\nEmpty binary file\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.size);
    Startup s;
    kvltest::write_file(s.path("fw"), image(c.size));
    auto r = s.audcore("v", "SB16 $LOADBIN " + s.path("fw") + " extra\n");
    EXPECT_EQ(r.status, 0);
    std::string tail = c.refusal ? std::string(c.refusal) : " " + s.path("fw") + " downloaded OK";
    EXPECT_EQ(r.err, "Configuring 3: SB16 $LOADBIN" + tail + "\n");
    auto got = chunks(s);
    ASSERT_EQ(got.size(), c.count);
    if (c.count > 0) {
      std::vector<std::string> picked = {got[0]};
      if (c.count > 1) picked.push_back(got[1]);
      if (c.count > 2) picked.push_back(got.back());
      EXPECT_EQ(picked, c.first_chunks);
    }
    EXPECT_TRUE(s.machine.requests("Add card").empty());  // a "$" line adds no card
  }
}

TEST(Firmware, WholeImageBringsUpACardThatNeedsIt) {
  Startup s(R"({"drivers": [{"name": "MSND", "key": 19}],
                "isa": [{"card": "MSND", "driver": "MSND", "port": "0x290", "irq": 5}],
                "firmware": {"MSND": 5000}})");
  kvltest::write_file(s.path("msnd.bin"), image(5000));
  auto r = s.audcore("", "MSND $LOADBIN " + s.path("msnd.bin") + "\nMSND P290 I5\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "\nKelvane started OK.\n");
  EXPECT_THAT(s.machine.kvlsim("state").out, HasSubstr("\"complete\": true"));
}

TEST(Firmware, RefusedCommandsAndFiles) {
  struct Case {
    const char *name;
    std::string rest;  // after "SB16 "
    const char *err;
    const char *out;
  } cases[] = {
      {"hex downloads", "$LOADHEX fw.hex", "No hex downloads any more\n",
       "No hex downloads any more\n"},
      {"unknown command", "$LOAD fw", "\nError: Invalid command LOAD\n", ""},
      {"no file name", "$LOADBIN", "\nSyntax error: Filename missing\n", ""},
      {"missing file", "$LOADBIN /nonexistent/fw",
       "\nCan't open binary file\n/nonexistent/fw: No such file or directory\n", ""},
      {"a folder", "$LOADBIN /", "\nBinary file read error\n/: Is a directory\n", ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Startup s;
    auto r = s.audcore("", "SB16 " + c.rest + "\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, c.out);
    EXPECT_TRUE(s.machine.requests("Config").empty());
  }
}

TEST(Firmware, FailedChunkStopsTheDownload) {
  Startup s;
  ASSERT_EQ(s.machine.kvlsim("fault", {"Config", "EIO", "2"}).status, 0);
  kvltest::write_file(s.path("fw"), image(5000));
  auto r = s.audcore("", "SB16 $LOADBIN " + s.path("fw") + "\nSB16 P220 I5 D1 d5\n");
  EXPECT_EQ(r.status, 0);  // start-up goes on
  EXPECT_EQ(r.err, "\nDownload failed\nConfig: Input/output error\n");
  EXPECT_EQ(s.machine.requests("Config").size(), 2u);
  EXPECT_EQ(s.machine.requests("Add card").size(), 1u);
}

}  // namespace
