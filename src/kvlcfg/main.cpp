// kvlcfg's command line and the table of its commands.
#include <cstdio>
#include <cstring>
#include <string>

#include "common/program_info.h"
#include "kvlcfg/kvlcfg.h"

namespace kvl {

const char KVLCFG_USAGE_TEXT[] =
    "Usage: kvlcfg [-d DIR] COMMAND [ARGS...] [--json] [--no-act] [--force]\n"
    "       kvlcfg --help | --version\n"
    "Checks, reports and changes the card configuration of the Kelvane\n"
    "installation at DIR (default: the KVLLIBDIR= line of /etc/kvl.conf) without\n"
    "a terminal, with the configurator's rules, lock and saves.\n"
    "Commands:\n"
    "  list                      the configured cards, their devices and values\n"
    "  check                     every problem of the configuration (exit 1 if any)\n"
    "  dump                      etc/devices.cfg as a save would write it\n"
    "  status                    what the driver holds against the configuration\n"
    "  add CARD [WORDS...]       adds the database's card CARD; WORDS are device\n"
    "                            words, e.g. SB16 P220 I5 D1 d5 OPL3 OFF\n"
    "  remove CARD|N             removes a card (by key or list position)\n"
    "  move N M                  moves the card at position N to position M\n"
    "  enable CARD DEVICE        switches a device on\n"
    "  disable CARD DEVICE       switches a device off\n"
    "  set CARD DEVICE WORDS...  sets a device's values, e.g. P240 I7\n"
    "  option NAME[=[VALUE]]     shows, sets or (NAME=) unsets a driver option\n"
    "  secure on|off             audio devices readable by root only, or by all\n"
    "  detect                    the cards the driver finds replace the card list\n"
    "  apply FILE|-              checks a devices.cfg and saves it if it is sound\n"
    "Options:\n"
    "  -d DIR      the installation directory\n"
    "  --json      the result as JSON on standard output\n"
    "  --no-act    print the files as they would be written; save nothing\n"
    "  --force     save a change despite the problems found (they are listed)\n"
    "Exit status: 0 success, 1 problems found or the change refused, 2 bad usage\n"
    "or nothing could be read. See kvlcfg(8).\n";

namespace {

int usage_error(const std::string &why) {
  std::fprintf(stderr, "kvlcfg: %s\nTry 'kvlcfg --help'.\n", why.c_str());
  return -1;
}

struct Command {
  const char *name;
  int min_args, max_args;  // max -1: any number
  int (*run)(Session &);
};

int enable(Session &s) { return cmd_enable(s, true); }
int disable(Session &s) { return cmd_enable(s, false); }

const Command COMMANDS[] = {
    {"list", 0, 0, cmd_list},         {"check", 0, 0, cmd_check},
    {"dump", 0, 0, cmd_dump},         {"status", 0, 0, cmd_status},
    {"add", 1, -1, cmd_add},          {"remove", 1, 1, cmd_remove},
    {"move", 2, 2, cmd_move},         {"enable", 2, 2, enable},
    {"disable", 2, 2, disable},       {"set", 3, -1, cmd_set},
    {"option", 1, 1, cmd_option},     {"secure", 1, 1, cmd_secure},
    {"detect", 0, 0, cmd_detect},     {"apply", 1, 1, cmd_apply},
};

const Command *find_command(const std::string &name) {
  for (const Command &c : COMMANDS)
    if (name == c.name) return &c;
  return nullptr;
}

}  // namespace

int parse_kvlcfg_args(int argc, char **argv, KvlcfgOptions *opt) {
  if (argc > 1 && print_program_info(argv[1], "kvlcfg", KVLCFG_USAGE_TEXT)) return 1;
  std::vector<std::string> words;
  bool options_end = false;
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    if (options_end || a == "-" || a.empty() || a[0] != '-') {
      words.push_back(a);
    } else if (a == "--") {
      options_end = true;
    } else if (a == "--json") {
      opt->json = true;
    } else if (a == "--no-act" || a == "-n") {
      opt->no_act = true;
    } else if (a == "--force") {
      opt->force = true;
    } else if (a == "--help" || a == "--version") {
      print_program_info(a.c_str(), "kvlcfg", KVLCFG_USAGE_TEXT);
      return 1;
    } else if (a == "-d") {
      if (i + 1 >= argc) return usage_error("-d needs a directory");
      opt->dir = argv[++i];
      if (opt->dir.empty()) return usage_error("-d needs a directory");
    } else {
      return usage_error("unknown option '" + a + "'");
    }
  }
  if (words.empty()) return usage_error("no command given");
  opt->command = words[0];
  opt->args.assign(words.begin() + 1, words.end());
  const Command *c = find_command(opt->command);
  if (!c) return usage_error("unknown command '" + opt->command + "'");
  int n = static_cast<int>(opt->args.size());
  if (n < c->min_args || (c->max_args >= 0 && n > c->max_args))
    return usage_error("wrong number of arguments for '" + opt->command + "'");
  return 0;
}

int kvlcfg_main(int argc, char **argv) {
  Session s;
  int rc = parse_kvlcfg_args(argc, argv, &s.opt);
  if (rc != 0) return rc > 0 ? KVLCFG_OK : KVLCFG_USAGE;
  s.out["command"] = s.opt.command;
  int status = find_command(s.opt.command)->run(s);
  if (s.opt.json) {
    s.out["status"] = status;
    // Texts from files may hold any bytes: those that are no UTF-8 are replaced.
    std::string text = s.out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    std::printf("%s\n", text.c_str());
  }
  std::fflush(stdout);
  return status;
}

}  // namespace kvl
