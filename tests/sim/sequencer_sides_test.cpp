// /dev/sequencer answered by either side of the simulator: KVLlib's C seam
// (kvl_cseam_*) and the C++ simulator give the same answers, journal the
// same lines, and share the faults and their call counts.
#include "sim/errnames.h"
#include "sim/requests.h"
#include "simtest.h"
#include "sys/cseam.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

namespace {

using kvltest::SimMachine;

constexpr unsigned long kUnknown = 0x12345678ul;

// One request: the code, the device asked for (SYNTH_INFO) and whether a
// record is passed at all.
struct Ask {
  unsigned long code;
  int device = 0;
  bool record = true;
};

// What came back: the result, the errno and the record's bytes.
struct Answer {
  int rc;
  int err;
  std::string record;
  bool operator==(const Answer &) const = default;
};

std::string record_for(const Ask &a) {
  std::string r(KVL_SYNTH_INFO_BYTES, '\x55');
  std::memcpy(r.data() + KVL_SYNTH_INFO_DEVICE, &a.device, 4);
  return r;
}

Answer cpp_side(const SimMachine &m, const Ask &a) {
  std::string r = record_for(a);
  errno = 0;
  int rc = kvl::sim_request(m.root().c_str(), 1, static_cast<uint32_t>(a.code), a.record ? r.data() : nullptr);
  return {rc, rc < 0 ? errno : 0, r};
}

// The C seam answers from the machine chosen for it.
int c_open(const SimMachine &m) {
  kvl_cseam_use_machine(m.root().c_str());
  return kvl_cseam_open("/dev/sequencer", O_RDWR, 0);
}

Answer c_side(const SimMachine &m, int fd, const Ask &a) {
  kvl_cseam_use_machine(m.root().c_str());
  std::string r = record_for(a);
  errno = 0;
  int rc = kvl_cseam_ioctl(fd, a.code, a.record ? r.data() : nullptr);
  return {rc, rc < 0 ? errno : 0, r};
}

// A machine of that JSON with the /dev/sequencer node.
struct SeqMachine : SimMachine {
  explicit SeqMachine(const std::string &json) : SimMachine(json) {
    auto r = kvlsim("mknod", {"/dev/sequencer", "14", "1", "0666"});
    EXPECT_EQ(r.status, 0) << r.err;
  }
};

struct Case {
  const char *what;
  const char *machine;
  std::vector<std::vector<std::string>> setup;  // kvlsim commands, after opening
  std::vector<Ask> asks;
  std::vector<std::string> lines;  // journal lines expected, in order
};

const Case kCases[] = {
    {"answers and names",
     R"({"synths": ["OPL", "Say \"hi\"\\ \t", "A synthesizer name longer than 31 bytes"]})",
     {},
     {{KVL_SEQ_NRSYNTHS}, {KVL_SEQ_SYNTH_INFO, 1}, {KVL_SEQ_SYNTH_INFO, 2}, {KVL_SEQ_SYNTH_INFO, 3},
      {KVL_SEQ_SYNTH_INFO, -1}, {KVL_SEQ_NRSYNTHS, 0, false}, {kUnknown}},
     {R"({"request":"SNDCTL_SEQ_NRSYNTHS","result":0,"errno":null,"synths":3})",
      R"({"request":"SNDCTL_SYNTH_INFO","result":0,"errno":null,"device":1,"name":"Say \"hi\"\\ \u0009"})",
      R"({"request":"SNDCTL_SYNTH_INFO","result":0,"errno":null,"device":2,"name":"A synthesizer name longer than "})",
      R"({"request":"SNDCTL_SYNTH_INFO","result":-1,"errno":"ENXIO","device":3})",
      R"({"request":"SNDCTL_SYNTH_INFO","result":-1,"errno":"ENXIO","device":-1})",
      R"({"request":"SNDCTL_SEQ_NRSYNTHS","result":-1,"errno":"EFAULT"})",
      R"({"request":"unknown request","result":-1,"errno":"EINVAL","code":"0x12345678"})"}},
    // ETIMEDOUT and EBUSY were once journalled as "EIO" by the C side.
    {"faults from machine.json and kvlsim fault",
     R"({"synths": ["OPL"], "faults": [{"request": "SNDCTL_SEQ_NRSYNTHS", "errno": "ETIMEDOUT", "nth": 2}]})",
     {{"fault", "0x608C5114", "EBUSY"}},
     {{KVL_SEQ_NRSYNTHS}, {KVL_SEQ_NRSYNTHS}, {KVL_SEQ_NRSYNTHS}, {KVL_SEQ_SYNTH_INFO, 0}},
     {R"({"request":"SNDCTL_SEQ_NRSYNTHS","result":0,"errno":null,"synths":1})",
      R"({"request":"SNDCTL_SEQ_NRSYNTHS","result":-1,"errno":"ETIMEDOUT","synths":1})",
      R"({"request":"SNDCTL_SEQ_NRSYNTHS","result":0,"errno":null,"synths":1})",
      R"({"request":"SNDCTL_SYNTH_INFO","result":-1,"errno":"EBUSY","device":0,"name":"OPL"})"}},
    {"unloaded driver",
     R"({"synths": ["OPL"], "faults": [{"request": "SNDCTL_SEQ_NRSYNTHS", "errno": "EIO"}]})",
     {{"unload"}},
     {{KVL_SEQ_NRSYNTHS}, {KVL_SEQ_SYNTH_INFO, 0}, {KVL_SEQ_NRSYNTHS, 0, false}},
     {R"({"request":"SNDCTL_SEQ_NRSYNTHS","result":-1,"errno":"ENODEV"})",
      R"({"request":"SNDCTL_SYNTH_INFO","result":-1,"errno":"ENODEV"})",
      R"({"request":"SNDCTL_SEQ_NRSYNTHS","result":-1,"errno":"ENODEV"})"}},
};

// The calls the fault store counted, by fault id.
using Calls = std::map<std::string, int>;
Calls store_calls(const SimMachine &m) {
  seqsim_faults f;
  Calls out;
  if (seqsim_faults_read(m.root().c_str(), &f) == 0)
    for (int i = 0; i < f.count; i++) out[f.fault[i].id] = f.fault[i].calls;
  seqsim_faults_free(&f);
  return out;
}

// A code in eight lower-case hexadecimal digits.
std::string hex(unsigned long code) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08lx", code);
  return buf;
}

std::vector<std::string> journal_lines(const SimMachine &m) {
  std::vector<std::string> out;
  std::istringstream in(kvltest::read_file(m.root() + "/journal.jsonl"));
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

TEST(SequencerSides, SameAnswersAndJournalLines) {
  for (const Case &c : kCases) {
    SCOPED_TRACE(c.what);
    SeqMachine a(c.machine), b(c.machine);
    int fd = c_open(b);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    for (const auto &cmd : c.setup) {
      std::vector<std::string> extra(cmd.begin() + 1, cmd.end());
      ASSERT_EQ(a.kvlsim(cmd[0], extra).status, 0);
      ASSERT_EQ(b.kvlsim(cmd[0], extra).status, 0);
    }
    for (size_t i = 0; i < c.asks.size(); i++) {
      Answer x = cpp_side(a, c.asks[i]), y = c_side(b, fd, c.asks[i]);
      EXPECT_TRUE(x == y) << "request " << i << ": C++ " << x.rc << "/" << x.err << ", C " << y.rc
                          << "/" << y.err;
    }
    kvl_cseam_close(fd);
    EXPECT_EQ(journal_lines(a), c.lines);
    EXPECT_EQ(journal_lines(b), c.lines);
  }
}

// An errno the table has no name for is "E<number>" on both sides.
TEST(SequencerSides, OneErrnoNaming) {
  char buf[SEQSIM_ERRNAME_BYTES];
  EXPECT_STREQ(kvl::errno_name(ELOOP), ("E" + std::to_string(ELOOP)).c_str());
  EXPECT_STREQ(seqsim_errno_name(ELOOP, buf), kvl::errno_name(ELOOP));
  EXPECT_STREQ(seqsim_errno_name(ETIMEDOUT, buf), "ETIMEDOUT");
  EXPECT_EQ(seqsim_errno_value("EBUSY"), EBUSY);
  EXPECT_EQ(seqsim_errno_value("E16"), 0);
}

// The nth call is counted across both sides, in the one fault store.
TEST(SequencerSides, FaultCountsAreShared) {
  SeqMachine m(R"({"synths": ["OPL"],
      "faults": [{"request": "SNDCTL_SEQ_NRSYNTHS", "errno": "EPERM", "nth": 2}]})");
  ASSERT_EQ(m.kvlsim("fault", {"SNDCTL_SEQ_NRSYNTHS", "ENOSPC", "3"}).status, 0);
  int fd = c_open(m);
  ASSERT_GE(fd, 0);
  Ask nr{KVL_SEQ_NRSYNTHS};
  EXPECT_EQ(c_side(m, fd, nr).rc, 0);
  EXPECT_EQ(cpp_side(m, nr).err, EPERM);
  EXPECT_EQ(c_side(m, fd, nr).err, ENOSPC);
  EXPECT_EQ(cpp_side(m, nr).rc, 0);
  kvl_cseam_close(fd);
  EXPECT_EQ(store_calls(m), (Calls{{"m0", 4}, {"s0", 4}}));

  // Open faults reach the C seam too, counted with the C++ side's opens.
  ASSERT_EQ(m.kvlsim("fault", {"--open", "/dev/sequencer", "EACCES", "2"}).status, 0);
  EXPECT_EQ(kvl::sim_open_check(m.root().c_str(), "/dev/sequencer", 14, 1), 0);
  kvl_cseam_use_machine(m.root().c_str());
  errno = 0;
  EXPECT_EQ(kvl_cseam_open("/dev/sequencer", O_WRONLY, 0), -1);
  EXPECT_EQ(errno, EACCES);
  fd = kvl_cseam_open("/dev/sequencer", O_WRONLY, 0);
  EXPECT_GE(fd, 0);
  kvl_cseam_close(fd);
}

// A fault written into the store by hand is met by both sides at once, and
// every call of either side counts once.
TEST(SequencerSides, HandWrittenFaultsReachBothSides) {
  SeqMachine m(R"({"synths": ["OPL"]})");
  std::string store = kvltest::read_file(m.root() + "/faults.txt");
  ASSERT_EQ(store, "KVLSIM-FAULTS 2\n");
  kvltest::write_file(m.root() + "/faults.txt",
                      store + "x1 EBUSY 2 0 request SNDCTL_SEQ_NRSYNTHS\n"
                              "x2 EACCES 1 0 open /dev/sequencer\n");
  errno = 0;
  EXPECT_EQ(c_open(m), -1);
  EXPECT_EQ(errno, EACCES);
  int fd = c_open(m);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(kvl::sim_open_check(m.root().c_str(), "/dev/sequencer", 14, 1), 0);
  Ask nr{KVL_SEQ_NRSYNTHS};
  EXPECT_EQ(c_side(m, fd, nr).rc, 0);
  EXPECT_EQ(cpp_side(m, nr).err, EBUSY);
  EXPECT_EQ(c_side(m, fd, nr).rc, 0);
  EXPECT_EQ(cpp_side(m, nr).rc, 0);
  kvl_cseam_close(fd);
  EXPECT_EQ(store_calls(m), (Calls{{"x1", 4}, {"x2", 3}}));
  EXPECT_EQ(journal_lines(m).size(), 4u);
}

// A machine.json edited by hand is taken in by the next request: its faults
// replace those taken from the earlier one (an unchanged one keeps its
// count), and reach the C seam from then on.
TEST(SequencerSides, EditedMachineFaultsAreTakenIn) {
  SeqMachine m(R"({"synths": ["OPL"], "faults": [
      {"request": "SNDCTL_SEQ_NRSYNTHS", "errno": "EPERM", "nth": 3}]})");
  ASSERT_EQ(m.kvlsim("fault", {"SNDCTL_SYNTH_INFO", "ENXIO"}).status, 0);
  int fd = c_open(m);
  ASSERT_GE(fd, 0);
  Ask nr{KVL_SEQ_NRSYNTHS}, info{KVL_SEQ_SYNTH_INFO, 0};
  EXPECT_EQ(c_side(m, fd, nr).rc, 0);
  EXPECT_EQ(store_calls(m), (Calls{{"m0", 1}, {"s0", 0}}));

  std::filesystem::remove(m.root() + "/machine.json");
  kvltest::write_file(m.root() + "/machine.json", R"({"synths": ["OPL"], "faults": [
      {"request": "SNDCTL_SEQ_NRSYNTHS", "errno": "EPERM", "nth": 3},
      {"request": "0x608C5114", "errno": "ETIMEDOUT", "nth": 2}]})");
  EXPECT_EQ(cpp_side(m, nr).rc, 0);
  EXPECT_EQ(c_side(m, fd, nr).err, EPERM);
  EXPECT_EQ(c_side(m, fd, info).err, ENXIO);        // m1's first call, s0 fires
  EXPECT_EQ(cpp_side(m, info).err, ETIMEDOUT);  // m1's second: tried first
  kvl_cseam_close(fd);
  EXPECT_EQ(store_calls(m), (Calls{{"m0", 3}, {"m1", 2}, {"s0", 2}}));
}

// A machine made by an older simulator: the faults of machine.json and of
// state.json with the calls counted in state.json and in the mirror it kept
// for the C seam. The C seam counts in that mirror while it names the
// machine.json there; the next request of the simulator moves everything into
// the store, the highest count winning.
TEST(SequencerSides, OlderMachinesFaultsMoveIntoTheStore) {
  SeqMachine m(R"({"synths": ["OPL"], "faults": [
      {"request": "SNDCTL_SEQ_NRSYNTHS", "errno": "EPERM", "nth": 3},
      {"request": "Get version", "errno": "EIO", "nth": 2}]})");
  kvltest::write_file(m.root() + "/state.json", R"({"loaded": true, "synths": ["OPL"],
      "faults": [{"request": "SNDCTL_SYNTH_INFO", "errno": "EBUSY", "nth": 4, "calls": 1},
                 {"open": "/dev/sequencer", "errno": "EACCES", "nth": 9, "calls": 5}],
      "machine_fault_calls": {"0": 0, "1": 1}})");
  char header[128];
  ASSERT_EQ(seqsim_faults_legacy_header(m.root().c_str(), header, sizeof header), 0);
  kvltest::write_file(m.root() + "/faults.txt",
                      std::string(header) + "\n"
                      "m0 EPERM 3 1 request 0x" + hex(KVL_SEQ_NRSYNTHS) + "\n"
                      "s0 EBUSY 4 0 request 0x" + hex(KVL_SEQ_SYNTH_INFO) + "\n"
                      "s1 EACCES 9 5 open /dev/sequencer\n");
  int fd = c_open(m);
  ASSERT_GE(fd, 0);
  Ask nr{KVL_SEQ_NRSYNTHS}, info{KVL_SEQ_SYNTH_INFO, 0};
  EXPECT_EQ(c_side(m, fd, nr).err, 0);    // m0's second call
  EXPECT_EQ(cpp_side(m, nr).err, EPERM);  // its third
  EXPECT_EQ(cpp_side(m, info).err, 0);    // s0's second
  EXPECT_EQ(c_side(m, fd, info).err, 0);
  EXPECT_EQ(c_side(m, fd, info).err, EBUSY);
  int32_t v = 0;
  EXPECT_EQ(simtest::req(m, kvl::CTL_GET_VERSION, &v), -EIO);  // m1's second
  kvl_cseam_close(fd);
  EXPECT_EQ(store_calls(m), (Calls{{"m0", 3}, {"m1", 2}, {"s0", 4}, {"s1", 6}}));
  auto s = simtest::state(m);
  EXPECT_FALSE(s.contains("faults"));
  EXPECT_FALSE(s.contains("machine_fault_calls"));
}

// A damaged store fails the C seam's requests with EIO, unjournalled, and the
// simulator's after a line naming it.
TEST(SequencerSides, DamagedStoreFailsBothSides) {
  SeqMachine m(R"({"synths": ["OPL"]})");
  int fd = c_open(m);
  ASSERT_GE(fd, 0);
  kvltest::write_file(m.root() + "/faults.txt", "KVLSIM-FAULTS 2\nx1 EBUSY two 0 request Get version\n");
  Ask nr{KVL_SEQ_NRSYNTHS};
  EXPECT_EQ(c_side(m, fd, nr).err, EIO);
  EXPECT_EQ(journal_lines(m).size(), 0u);
  testing::internal::CaptureStderr();
  EXPECT_EQ(cpp_side(m, nr).err, EIO);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "kvlsim: " + m.root() + "/faults.txt: line 2 is damaged\n");
  kvl_cseam_close(fd);
}

// The names a fault may give a sequencer request are the same on both sides.
TEST(SequencerSides, OneNamingOfTheRequests) {
  for (unsigned long code : {KVL_SEQ_NRSYNTHS, KVL_SEQ_SYNTH_INFO}) {
    std::string h = hex(code), upper = h;
    for (char &ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    const std::string texts[] = {kvl::request_label(static_cast<uint32_t>(code)),
                                 "0x" + h, "0X" + upper, h, "0x0" + h, "SNDCTL_SEQ", "Get version"};
    for (const std::string &text : texts) {
      SCOPED_TRACE(text);
      EXPECT_EQ(seqsim_request_matches(code, text.c_str()) != 0,
                kvl::request_matches(static_cast<uint32_t>(code), text));
    }
  }
}

}  // namespace
