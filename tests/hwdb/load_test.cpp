// hwdb_load end to end: the feeder, the real `uncompress` (or a stand-in put
// first on PATH) and the loader, run through the hwdbtool test program.
#include "fixture.h"
#include "support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using hwdbtest::USUALLY;
using kvltest::run;

const std::string SMALL_DUMP =
    "Menu cara/CARDA = 'Card A'\n"
    "\tcara: num=0, bus=1, type=0, opt=400, nres=0, dnld=DRVA,1,~/bin/x.bin\n"
    "Descr(0): 'Card A text'\n"
    "\t\tDRVA: num=1, bus=1, type=1, opt=4, nres=3\n"
    "Descr(1): 'Device A'\n"
    "\t\t\trestype=1, num=1, default=220, mask=0\n"
    "Descr(2): 'Port text'\n"
    "\t\t\trestype=2, num=1, default=7, mask=a0\n"
    "\t\t\trestype=3, num=2, default=3, mask=a\n"
    "Descr(2): 'Port text'\n"
    "\t\tDRVB: num=2, bus=1, type=2, opt=0, nres=0\n"
    "Menu carb/CARDB = 'Card B'\n"
    "\tcarb: num=0, bus=3, type=0, opt=180, nres=0\n"
    "\t\tDRVB: num=1, bus=3, type=0, opt=80, nres=0\n";

// A folder holding a stand-in `uncompress` shell script, for PATH.
std::string fake_uncompress(const kvltest::TempDir &dir, const std::string &body) {
  std::string bin = dir / "fakebin";
  mkdir(bin.c_str(), 0755);
  kvltest::write_file(bin + "/uncompress", "#!/bin/sh\n" + body + "\n");
  chmod((bin + "/uncompress").c_str(), 0755);
  return "PATH=" + bin + ":/usr/bin:/bin";
}

TEST(Load, DumpsTheLoadedModelAndFindsCards) {
  kvltest::TempDir dir;
  hwdbtest::write_config_dat(dir / "config.dat", hwdbtest::small_image());
  auto r = run({kvltest::bin("hwdbtool"), dir / "config.dat", "CARDB", "CARDC"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, SMALL_DUMP);
  EXPECT_EQ(r.out, "CARDB 1\nCARDC -1\n");
}

TEST(Load, MissingUncompressShowsTheExecAndTheHeaderMessages) {
  kvltest::TempDir dir;
  hwdbtest::write_config_dat(dir / "config.dat", hwdbtest::small_image());
  auto r = run({kvltest::bin("hwdbtool"), dir / "config.dat"}, {"PATH=" + dir / "nothing-here"});
  EXPECT_EQ(r.status, 255);
  EXPECT_NE(r.err.find("exec: No such file or directory\n"
                       "Can't execute 'uncompress' command.\n"
                       "Ensure your PATH variable is set correctly.\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find(std::string("config.dat (header): No data available\n") + USUALLY),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.out, "");
}

TEST(Load, FailingDecompressorIsReportedAfterACompleteStream) {
  kvltest::TempDir dir;
  hwdbtest::write_scrambled(dir / "config.dat", hwdbtest::small_image());
  auto r = run({kvltest::bin("hwdbtool"), dir / "config.dat"},
               {fake_uncompress(dir, "cat\nexit 3")});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err,
            "Uncompressing config.dat failed\n"
            "uncompress ended with exit status 3\n" +
                dir / "config.dat: damaged file: uncompress cannot read it\n"
                "Loading config.dat failed\n");
}

// A damaged file is told from a missing uncompress: the decompressor ran,
// so its exit status is said, and the hint at a missing command is not.
TEST(Load, DamagedFileIsNoMissingUncompress) {
  struct Case {
    const char *name;
    std::string bytes;     // the file as it lies on disk
    std::string fake;      // a stand-in uncompress, or the real one
    std::string said;      // the closing line after the path
  } cases[] = {
      {"empty", "", "", ": damaged file: uncompress cannot read it\n"},
      {"random bytes", "\x13\x9d\x90\xffKVL random bytes \x01\x02\x03", "",
       ": damaged file: uncompress cannot read it\n"},
      {"cut short", "", "", ": damaged file: uncompress cannot read it\n"},
      {"decompressed to something else", "not a database", "cat",
       ": damaged file: it does not decompress to a hardware database\n"},
  };
  for (Case &c : cases) {
    SCOPED_TRACE(c.name);
    kvltest::TempDir dir;
    std::string file = dir / "config.dat";
    if (std::string(c.name) == "cut short") {
      hwdbtest::write_config_dat(file, hwdbtest::small_image());
      std::string whole = kvltest::read_file(file);
      kvltest::write_file(file, whole.substr(0, whole.size() / 2));
    } else {
      kvltest::write_file(file, c.bytes);
    }
    std::vector<std::string> env;
    if (!c.fake.empty()) env.push_back(fake_uncompress(dir, c.fake));
    auto r = run({kvltest::bin("hwdbtool"), file}, env);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err.find("properly installed"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Usually this means"), std::string::npos) << r.err;
    ASSERT_GE(r.err.size(), c.said.size()) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - file.size() - c.said.size()), file + c.said) << r.err;
    if (c.fake.empty()) {
      EXPECT_NE(r.err.find("uncompress ended with exit status "), std::string::npos) << r.err;
    }
  }
}

TEST(Load, FeederSendsTheDescrambledFile) {
  kvltest::TempDir dir;
  std::string data;
  for (int i = 0; i < 5001; i++) data += static_cast<char>(i % 251);
  hwdbtest::write_scrambled(dir / "config.dat", data);
  auto r = run({kvltest::bin("hwdbtool"), dir / "config.dat"},
               {fake_uncompress(dir, "cat > " + dir / "received")});
  EXPECT_EQ(r.status, 255);  // the loader saw no database
  EXPECT_EQ(kvltest::read_file(dir / "received"), data);

  // The six-byte example: what the file holds is XORed with C7 23 3A 3D 7A 0E.
  kvltest::write_file(dir / "six.dat", std::string("\xC7\x23\x3A\x3D\x7A\x0E", 6));
  run({kvltest::bin("hwdbtool"), dir / "six.dat"},
      {fake_uncompress(dir, "cat > " + dir / "received")});
  EXPECT_EQ(kvltest::read_file(dir / "received"), std::string(6, '\0'));
}

TEST(Load, MissingFileIsReportedByTheFeeder) {
  kvltest::TempDir dir;
  auto r = run({kvltest::bin("hwdbtool"), dir / "none.dat"});
  EXPECT_EQ(r.status, 255);
  EXPECT_NE(r.err.find(dir / "none.dat: No such file or directory\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("config.dat (header)"), std::string::npos) << r.err;
}

TEST(Load, DataAfterTheStringsIsReadAndIgnored) {
  // More than a pipe holds, so a loader that stopped reading would hang.
  kvltest::TempDir dir;
  hwdbtest::write_scrambled(dir / "config.dat", hwdbtest::small_image() + std::string(1 << 20, 'z'));
  auto r = run({kvltest::bin("hwdbtool"), dir / "config.dat"}, {fake_uncompress(dir, "exec cat")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, SMALL_DUMP);
}

TEST(Load, DamagedStreamEndsTheProcessWithItsMessage) {
  kvltest::TempDir dir;
  hwdbtest::Image im = hwdbtest::Image::parse(hwdbtest::small_image());
  im.nodes[0].child_count = 12;
  hwdbtest::write_config_dat(dir / "config.dat", im.bytes());
  std::string truncated = hwdbtest::small_image();
  truncated.resize(truncated.size() - 3);
  hwdbtest::write_config_dat(dir / "short.dat", truncated);

  auto r = run({kvltest::bin("hwdbtool"), dir / "config.dat"});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, dir / "config.dat: Invalid file contents: node 0: child count 12 is outside 0..10\n");
  r = run({kvltest::bin("hwdbtool"), dir / "short.dat"});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, "Read returned 0. Still remaining 3\nconfig.dat (strings): No data available\n");
}

}  // namespace
