// Shows one dialog of the text-UI toolkit with contents given on the command
// line, so that screen tests can drive it on a terminal. The outcome is shown
// in a note ("Result ...") before the screen ends, and printed afterwards.
//
//   tuidemo list [--title T] [--capacity N] [--header TEXT]... [--item TEXT]...
//                [--items N] [--line TEXT] [--button LABEL:CODE]... [--current I]
//                [--note TEXT] [--pause] [--stderr TEXT]... [--child-stderr TEXT]...
//     items get codes 100, 101, ... in the order given; --line adds an
//     unselectable line; CODE is a number or esc, help, use; --note shows a
//     note before the list is filled; --pause waits for a key before the run;
//     --stderr writes a line on standard error from this program and
//     --child-stderr from a shell it runs, in the order given, once the
//     screen is up.
//   tuidemo message TEXT [--wait]
//   tuidemo input PROMPT [--init TEXT] [--size N]
//   tuidemo end        (tui_end without tui_start, then prints "ended")
#include <curses.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "tui/tui.h"

namespace {

int parse_code(const std::string &s) {
  if (s == "esc") return kvl::LIST_ESCAPE;
  if (s == "help") return kvl::LIST_HELP;
  if (s == "use") return kvl::LIST_USE_ITEM;
  return std::atoi(s.c_str());
}

std::string code_name(int code) {
  if (code == kvl::LIST_ESCAPE) return "ESCAPE";
  if (code == kvl::LIST_HELP) return "HELP";
  return std::to_string(code);
}

void finish(const std::string &result) {
  kvl::message_box(result.c_str(), 0);
  kvl::tui_end();
  std::printf("%s\n", result.c_str());
}

void start() {
  if (kvl::tui_start() < 0) kvl::tui_fatal(kvl::tui_start_error());
}

int usage() {
  std::fprintf(stderr, "usage: tuidemo list|message|input|end ...\n");
  return 2;
}

int run_list(int argc, char **argv) {
  const char *title = "";
  int capacity = 100;
  const char *note = nullptr;
  bool pause = false;
  for (int i = 2; i + 1 < argc; i++) {
    if (!std::strcmp(argv[i], "--title")) title = argv[++i];
    else if (!std::strcmp(argv[i], "--capacity")) capacity = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--note")) note = argv[++i];
  }
  for (int i = 2; i < argc; i++)
    if (!std::strcmp(argv[i], "--pause")) pause = true;
  start();
  if (note) kvl::message_box(note, 0);
  kvl::ChoiceList *list = kvl::list_create(title, capacity);
  int code = 100;
  int current = -2;
  for (int i = 2; i + 1 < argc; i++) {
    std::string opt = argv[i];
    const char *arg = argv[i + 1];
    if (opt == "--header") {
      kvl::list_add_header(list, arg);
    } else if (opt == "--item") {
      kvl::list_add_item(list, arg, code++);
    } else if (opt == "--items") {
      for (int k = 0, n = std::atoi(arg); k < n; k++, code++)
        kvl::list_add_item(list, ("Item " + std::to_string(code - 100)).c_str(), code);
    } else if (opt == "--stderr") {
      std::fprintf(stderr, "%s\n", arg);
    } else if (opt == "--child-stderr") {
      std::string command = std::string("echo '") + arg + "' >&2";
      if (std::system(command.c_str()) != 0) return 1;
    } else if (opt == "--line") {
      kvl::list_add_item(list, arg, kvl::LIST_ESCAPE);
    } else if (opt == "--button") {
      // Labels are kept by pointer: each copy lives until the program ends.
      static std::deque<std::string> labels;
      std::string s = arg;
      size_t colon = s.rfind(':');
      labels.push_back(s.substr(0, colon));
      kvl::list_add_button(list, labels.back().c_str(), parse_code(s.substr(colon + 1)));
    } else if (opt == "--current") {
      current = std::atoi(arg);
    } else {
      continue;
    }
    i++;
  }
  if (current != -2) kvl::list_set_current(list, current);
  if (pause) getch();
  int result = kvl::list_run(list);
  finish("Result " + code_name(result) + " index " + std::to_string(kvl::list_current_index(list)) +
         " code " + code_name(kvl::list_current_code(list)));
  kvl::list_destroy(list);
  return 0;
}

int run_message(int argc, char **argv) {
  if (argc < 3) return usage();
  int wait = argc > 3 && !std::strcmp(argv[3], "--wait");
  start();
  kvl::message_box(argv[2], wait);
  if (wait) finish("Result closed");
  else kvl::tui_end();
  return 0;
}

int run_input(int argc, char **argv) {
  if (argc < 3) return usage();
  std::string init;
  size_t size = 256;
  for (int i = 3; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--init")) init = argv[i + 1];
    else if (!std::strcmp(argv[i], "--size")) size = std::strtoul(argv[i + 1], nullptr, 10);
  }
  if (size == 0) return usage();
  std::vector<char> buffer(size, 0);
  std::strncpy(buffer.data(), init.c_str(), size - 1);
  start();
  int r = kvl::text_input(argv[2], buffer.data(), size);
  finish("Result " + std::to_string(r) + " text [" + buffer.data() + "]");
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) return usage();
  std::string mode = argv[1];
  if (mode == "list") return run_list(argc, argv);
  if (mode == "message") return run_message(argc, argv);
  if (mode == "input") return run_input(argc, argv);
  if (mode == "end") {
    kvl::tui_end();
    std::printf("ended\n");
    return 0;
  }
  return usage();
}
