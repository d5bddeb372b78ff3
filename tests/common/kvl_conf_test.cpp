// The one rule for /etc/kvl.conf, case by case, against the shared C reader
// (fed whole and a byte at a time) and the shell tools' kvlconf.sh. The
// control panel and KVLlib run the same cases (tests/panel, tests/seqlib).
#include <gtest/gtest.h>

#include <string>

#include "common/kvl_conf.h"
#include "kvl_conf_cases.h"
#include "support.h"

namespace {

TEST(KvlConf, TheCReaderFollowsTheRule) {
  for (const KvlConfCase &c : KVL_CONF_CASES) {
    SCOPED_TRACE(c.name);
    char dir[KVL_CONF_DIR_MAX + 1] = "unchanged";
    EXPECT_EQ(kvl_conf_install_dir(c.text, c.size, dir), c.dir ? 1 : 0);
    EXPECT_STREQ(dir, c.dir ? c.dir : "unchanged");

    KvlConfScan scan;
    kvl_conf_begin(&scan);
    for (size_t i = 0; i < c.size; i++) kvl_conf_feed(&scan, c.text + i, 1);
    ASSERT_EQ(kvl_conf_end(&scan), c.dir ? 1 : 0);
    if (c.dir) {
      EXPECT_STREQ(scan.dir, c.dir);
    }
  }
}

TEST(KvlConf, TheShellReaderFollowsTheRule) {
  kvltest::TempDir d;
  for (const KvlConfCase &c : KVL_CONF_CASES) {
    SCOPED_TRACE(c.name);
    kvltest::write_file(d / "kvl.conf", std::string(c.text, c.size));
    auto r = kvltest::run({"/bin/sh", "-c", ". \"$0\" && kvl_install_dir \"$1\" && printf %s \"$dir\"",
                           kvltest::bin("kvlconf.sh"), d / "kvl.conf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, c.dir ? c.dir : "/usr/lib/kvl");
  }
}

}  // namespace
