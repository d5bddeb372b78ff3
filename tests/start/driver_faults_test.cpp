// Each driver request of the start-up handshake and report failing with an
// injected error: the request's label with the error text, exit status 255,
// and no status word after "AUDSTART".
#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "startup_fixture.h"

namespace {

struct Fault {
  const char *request;
  const char *errno_name;
  int err;
};

class DriverFault : public testing::TestWithParam<Fault> {};

TEST_P(DriverFault, LabelAndErrorTextThenExit255) {
  const Fault &f = GetParam();
  starttest::Startup s;
  // A running driver with one card, so the report's requests are made too.
  s.run_cards({{"SB16", "0x220", "5", "1", "5"}});
  auto r = s.machine.kvlsim("fault", {f.request, f.errno_name});
  ASSERT_EQ(r.status, 0) << r.err;

  r = s.audcore("-vvvvvv");
  EXPECT_EQ(r.status, 255);
  std::string line = std::string(f.request) + ": " + std::strerror(f.err) + "\n";
  EXPECT_TRUE(r.err.ends_with(line)) << "standard error was:\n" << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(s.status(), "AUDSTART\n");
}

INSTANTIATE_TEST_SUITE_P(Handshake, DriverFault,
                         testing::Values(Fault{"Get version", "EIO", EIO},
                                         Fault{"Get status", "EINVAL", EINVAL},
                                         Fault{"Get #drivers", "ENXIO", ENXIO},
                                         Fault{"Get driver types", "EFAULT", EFAULT},
                                         Fault{"Get drivers", "ENOMEM", ENOMEM},
                                         Fault{"Get #cards", "EBUSY", EBUSY},
                                         Fault{"Get card info", "EIO", EIO}),
                         [](const testing::TestParamInfo<Fault> &i) {
                           std::string n;
                           for (const char *p = i.param.request; *p; p++)
                             if (*p == '#') n += "Count";
                             else if (std::isalnum(static_cast<unsigned char>(*p))) n += *p;
                           return n;
                         });

}  // namespace
