// bin/kvlupdate on the demo machine, as the configurator leaves it: drivers
// stopped, "kvlupdate 4.0.0" run from the installation's bin/. Packages are
// folders and .tar.gz files made here.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "screen_fixture.h"

using kvltest::Installed;
using kvltest::RunResult;
using kvltest::TempDir;
using nlohmann::json;
using testing::HasSubstr;
using testing::Not;

namespace fs = std::filesystem;

namespace {

const std::string kAdminDevices = "# the administrator's\n-SB16 #Sound Blaster 16 (jumper configured)\nSB16 ON P220 I5 D1 d5\n";

// The demo machine with the demo configuration, stopped by audstop.
struct Stopped : Installed {
  Stopped()
      : Installed("", "", kvltest::package_layout({"etc/devices.cfg", "etc/mixer.map", "docs/README.kvltest"})) {
    write("etc/options.cfg", "");
    EXPECT_EQ(tool("audstart").status, 0);
    EXPECT_EQ(tool("audstop").status, 0);
    stopped_at = machine.journal_size();
  }
  size_t stopped_at = 0;
  // The journal's entries of request since the drivers were stopped.
  std::vector<json> since_stop(const std::string &request) const {
    return machine.requests(request, stopped_at);
  }
  RunResult update(const std::vector<std::string> &extra_env, const std::string &version = "4.0.0") const {
    std::vector<std::string> all = {"KVL_UPDATE_SOURCE="};
    all.insert(all.end(), extra_env.begin(), extra_env.end());
    return run({path("bin/kvlupdate"), version}, all);
  }
  bool loaded() const { return json::parse(machine.kvlsim("state").out)["loaded"].get<bool>(); }
  // Every file and link of the installation but the log folder and the
  // status word (audstart writes both): path -> content or link target.
  std::map<std::string, std::string> tree() const {
    std::map<std::string, std::string> out;
    for (const auto &e : fs::recursive_directory_iterator(dir)) {
      std::string rel = fs::relative(e.path(), dir).string();
      if (rel.rfind("logs", 0) == 0 || rel == ".status") continue;
      if (e.is_symlink()) out[rel] = "-> " + fs::read_symlink(e.path()).string();
      else if (e.is_regular_file()) out[rel] = kvltest::read_file(e.path());
      else out[rel] = "folder";
    }
    return out;
  }
  bool staging_left() const {
    for (const auto &e : fs::directory_iterator(dir))
      if (e.path().filename().string().rfind(".kvlupdate.", 0) == 0) return true;
    return false;
  }
};

// A package folder: VERSION, a new program, a new help text, a changed one,
// and three administrator's files: devices.cfg and mixer.map differ from the
// installation's, options.cfg does not.
struct Package {
  TempDir top;
  std::string root;
  explicit Package(const std::string &version = "4.0.1", const std::string &folder = "")
      : root(folder.empty() ? top.path() : top / folder) {
    if (!version.empty()) write("VERSION", version + "\n");
    write("bin/kvlnote", "#!/bin/sh\necho 4.0.1\n");
    fs::permissions(root + "/bin/kvlnote", fs::perms(0755));
    write("docs/README.kvltest", "kvltest 4.0.1\n");
    write("docs/new/README.update", "Kelvane 4.0.1\n");
    write("etc/devices.cfg", "# shipped with 4.0.1\n");
    write("etc/mixer.map", "SB16 0000\n");
    write("etc/options.cfg", "");
  }
  void write(const std::string &rel, const std::string &text) const {
    fs::create_directories(fs::path(root + "/" + rel).parent_path());
    kvltest::write_file(root + "/" + rel, text);
  }
  // The package as DIR/NAME.tar.gz, made with extra tar options.
  std::string tar(const std::string &name, const std::vector<std::string> &options = {}) const {
    std::string file = top / (name + ".tar.gz");
    std::vector<std::string> argv = {"/bin/tar", "-czf", file, "-C", top.path()};
    argv.insert(argv.end(), options.begin(), options.end());
    for (const auto &e : fs::directory_iterator(top.path()))
      if (e.path().filename().string().find(".tar.gz") == std::string::npos)
        argv.push_back(e.path().filename().string());
    RunResult r = kvltest::run(argv);
    EXPECT_EQ(r.status, 0) << r.err;
    return file;
  }
};

// The installation's administrator's files stay; the package's copies go
// beside them; the rest is installed; the drivers run again.
TEST(Kvlupdate, NewerPackageInstallsAndKeepsTheAdministratorsFiles) {
  struct Case {
    const char *name;
    std::function<std::string(const Package &)> source;
    std::string folder;  // the package's top folder
    bool in_conf;        // the source named in etc/kvlupdate.conf, else KVL_UPDATE_SOURCE
  } cases[] = {
      {"folder", [](const Package &p) { return p.root; }, "", false},
      {"file: URL of a .tar.gz with a top folder",
       [](const Package &p) { return "file://" + p.tar("kvl-4.0.1"); }, "kvl-4.0.1", false},
      {".tar.gz named in kvlupdate.conf", [](const Package &p) { return p.tar("kvl"); }, "", true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Stopped s;
    kvltest::write_file(s.path("etc/devices.cfg"), kAdminDevices);
    const std::string options = s.read("etc/options.cfg");
    Package p("4.0.1", c.folder);
    std::string source = c.source(p);
    std::vector<std::string> env;
    if (c.in_conf)
      kvltest::write_file(s.path("etc/kvlupdate.conf"),
                          "#UPDATE_SOURCE=/nowhere\nUPDATE_SOURCE=" + source + "\nUPDATE_SOURCE=/x\n");
    else
      env.push_back("KVL_UPDATE_SOURCE=" + source);
    RunResult r = s.update(env);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_THAT(r.out, HasSubstr("Installing Kelvane 4.0.1 over 4.0.0\n"));
    EXPECT_THAT(r.out, HasSubstr("Installed Kelvane 4.0.1 (3 files).\n"));
    for (const char *f : {"etc/devices.cfg", "etc/mixer.map"})
      EXPECT_THAT(r.out, HasSubstr("Kept " + s.path(f) + "; the package's copy is " + s.path(f) +
                                   ".new\n"));
    EXPECT_EQ(s.read("etc/devices.cfg"), kAdminDevices);
    EXPECT_EQ(s.read("etc/devices.cfg.new"), "# shipped with 4.0.1\n");
    EXPECT_EQ(s.read("etc/mixer.map.new"), "SB16 0000\n");
    EXPECT_EQ(s.read("etc/options.cfg"), options);
    EXPECT_FALSE(kvltest::file_exists(s.path("etc/options.cfg.new")));  // the same text
    EXPECT_EQ(s.read("docs/README.kvltest"), "kvltest 4.0.1\n");
    EXPECT_EQ(s.read("docs/new/README.update"), "Kelvane 4.0.1\n");
    EXPECT_EQ(kvltest::run({s.path("bin/kvlnote")}).out, "4.0.1\n");
    EXPECT_FALSE(s.staging_left());
    EXPECT_FALSE(kvltest::file_exists(s.path("VERSION")));
    // The drivers run again, with the administrator's configuration.
    EXPECT_EQ(s.status(), "AUDSTART_OK\n");
    EXPECT_THAT(r.out, HasSubstr("The drivers are running (AUDSTART_OK).\n"));
    auto added = s.since_stop("Add card");
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0]["name"], "SB16");
    std::string log = s.read("logs/kvlupdate.log");
    EXPECT_THAT(log, HasSubstr("Installed " + s.path("bin/kvlnote") + "\n"));
    EXPECT_THAT(log, HasSubstr("Unchanged " + s.path("etc/options.cfg") + "\n"));
  }
}

// Versions compare field by field as numbers; a package that is not newer
// installs nothing and still starts the drivers.
TEST(Kvlupdate, OnlyANewerVersionInstalls) {
  struct Case {
    const char *current, *package;
    bool installs;
  } cases[] = {
      {"4.0.0", "4.0.0", false}, {"4.0.0", "3.10.0", false}, {"4.1.0", "4.0.99", false},
      {"4.0.9", "4.0.10", true}, {"9.9.9", "10.0.0", true},  {"4.0.7", "4.0.08", true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.current) + " -> " + c.package);
    Stopped s;
    Package p(c.package);
    RunResult r = s.update({"KVL_UPDATE_SOURCE=" + p.root}, c.current);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(kvltest::file_exists(s.path("docs/new/README.update")), c.installs);
    if (!c.installs) {
      EXPECT_THAT(r.out, HasSubstr(std::string("Kelvane ") + c.current + " is up to date.\n"));
    }
    EXPECT_EQ(s.status(), "AUDSTART_OK\n");
  }
}

// A package with anything wrong is refused before anything is replaced; the
// drivers are started all the same and the exit status says it failed.
TEST(Kvlupdate, DamagedPackageReplacesNothing) {
  struct Case {
    const char *name;
    std::function<std::string(Package &, const Stopped &)> make;  // returns the source
    std::string reason;
  } cases[] = {
      {"no VERSION", [](Package &p, const Stopped &) { fs::remove(p.root + "/VERSION"); return p.root; },
       "no VERSION file"},
      {"a short VERSION",
       [](Package &p, const Stopped &) { p.write("VERSION", "4.1\n"); return p.root; },
       "VERSION does not say X.Y.Z"},
      {"a file outside the package's folders",
       [](Package &p, const Stopped &) { p.write("lib/libkvl.so", "x"); return p.root; },
       "lib is outside bin/, etc/ and docs/"},
      {"a symbolic link",
       [](Package &p, const Stopped &) {
         fs::create_symlink("/bin/sh", p.root + "/bin/audstart");
         return p.root;
       },
       "bin/audstart is a symbolic link"},
      {"a named pipe",
       [](Package &p, const Stopped &) {
         EXPECT_EQ(mkfifo((p.root + "/docs/fifo").c_str(), 0644), 0);
         return p.root;
       },
       "docs/fifo is not a regular file"},
      {"a file where the installation has a folder",
       [](Package &p, const Stopped &s) {
         fs::create_directories(s.path("docs/manual"));
         p.write("docs/manual", "x");
         return p.root;
       },
       "is a folder"},
      {"a cut .tar.gz",
       [](Package &p, const Stopped &) {
         std::string file = p.tar("kvl");
         fs::resize_file(file, fs::file_size(file) / 2);
         return file;
       },
       "cannot read "},
      {"a .tar.gz naming ../",
       [](Package &p, const Stopped &) {
         return p.tar("kvl", {"-P", "--transform=s,^bin/kvlnote$,../kvlnote,"});
       },
       "it names a path outside its folders"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Stopped s;
    Package p;
    std::string source = c.make(p, s);
    auto before = s.tree();
    RunResult r = s.update({"KVL_UPDATE_SOURCE=" + source});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_THAT(r.err, HasSubstr("kvlupdate: the package is damaged: "));
    EXPECT_THAT(r.err, HasSubstr(c.reason));
    EXPECT_THAT(r.err, HasSubstr("; nothing was replaced\n"));
    EXPECT_EQ(s.tree(), before);
    EXPECT_FALSE(s.staging_left());
    EXPECT_EQ(s.status(), "AUDSTART_OK\n");
    EXPECT_THAT(s.read("logs/kvlupdate.log"), HasSubstr("Error: the package is damaged: "));
  }
}

// Folders under the names the next processes would give a staging folder
// of their own id, made before kvlupdate runs, are not in its way.
TEST(Kvlupdate, StagingFolderNameCannotBeTakenBeforehand) {
  Stopped s;
  Package p;
  int last = 0;
  std::ifstream("/proc/sys/kernel/ns_last_pid") >> last;
  ASSERT_GT(last, 0);
  for (int pid = last + 1; pid <= last + 200; pid++)
    fs::create_directory(s.path(".kvlupdate." + std::to_string(pid)));
  RunResult r = s.update({"KVL_UPDATE_SOURCE=" + p.root});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_THAT(r.out, HasSubstr("Installed Kelvane 4.0.1 (3 files).\n"));
}

// Without a package to look at: the reason, exit 1, the drivers started.
// Bad usage does nothing at all.
TEST(Kvlupdate, NoSourceIsAnErrorAndBadUsageDoesNothing) {
  const std::string shipped = kvltest::read_file(std::string(KVL_SOURCE_DIR) + "/data/etc/kvlupdate.conf");
  struct Case {
    const char *name;
    const char *conf;  // etc/kvlupdate.conf, or nullptr: none
    std::string env;
    std::string reason;
  } cases[] = {
      {"no conf", nullptr, "", "no update source: set UPDATE_SOURCE= in "},
      {"the shipped conf", shipped.c_str(), "", "no update source: set UPDATE_SOURCE= in "},
      {"an http URL", nullptr, "KVL_UPDATE_SOURCE=http://updates.example/kvl.tar.gz",
       "cannot fetch http://updates.example/kvl.tar.gz: "},
      {"a missing file", nullptr, "KVL_UPDATE_SOURCE=/nonexistent/kvl.tar.gz",
       "/nonexistent/kvl.tar.gz: no such file or folder"},
      {"a plain file", nullptr, "KVL_UPDATE_SOURCE=" KVL_SOURCE_DIR "/README.md",
       KVL_SOURCE_DIR "/README.md is neither a folder nor a .tar.gz file"},
  };
  EXPECT_THAT(shipped, HasSubstr("\n#UPDATE_SOURCE="));
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Stopped s;
    if (c.conf) kvltest::write_file(s.path("etc/kvlupdate.conf"), c.conf);
    RunResult r = s.update({c.env});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_THAT(r.err, HasSubstr("kvlupdate: " + c.reason));
    EXPECT_EQ(s.status(), "AUDSTART_OK\n");
  }

  Stopped s;
  for (const std::vector<std::string> &args :
       std::vector<std::vector<std::string>>{{}, {"4.0"}, {"4.0.0", "x"}}) {
    std::vector<std::string> argv = {s.path("bin/kvlupdate")};
    argv.insert(argv.end(), args.begin(), args.end());
    RunResult r = s.run(argv);
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("Usage: kvlupdate VERSION"));
  }
  EXPECT_FALSE(s.loaded());
  EXPECT_FALSE(kvltest::file_exists(s.path("logs/kvlupdate.log")));
}

}  // namespace
