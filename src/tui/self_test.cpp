// The self-test window shared by the configurator and the control panel: run
// the test pipeline, show its lines as notes, judge its last line, then list
// the help text and the log.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "common/text.h"
#include "common/common.h"
#include "tui/tui.h"

namespace kvl {

void append_file_to_list(ChoiceList *list, const char *path) {
  std::string text;
  if (read_text_file(path, text) != 0) {
    list_add_item(list, "Failed to open the log file", LIST_ESCAPE);
    return;
  }
  std::string_view rest = text, piece;
  while (next_line(rest, piece, SELF_TEST_LIST_WIDTH)) {
    std::string item(piece);
    list_add_item(list, item.c_str(), LIST_ESCAPE);
  }
}

int read_self_test_output(std::FILE *in, const std::function<void(const char *)> &show) {
  char line[1023];
  int passed = 0;
  while (std::fgets(line, sizeof line, in)) {
    passed = std::strstr(line, "OK") != nullptr;
    line[std::strcspn(line, "\n")] = '\0';
    if (line[0]) show(line);
  }
  return passed;
}

void run_self_test_window(const SelfTestRun &run) {
  message_box("Starting KVL diagnostics (kvltest)", 0);
  std::fflush(nullptr);
  std::FILE *pipe = popen(run.command, "r");
  if (!pipe) {
    message_box("Failed to start the kvltest utility", 1);
    return;
  }
  int passed = read_self_test_output(pipe, [](const char *line) { message_box(line, 0); });
  if (pclose(pipe) != 0 || !passed)
    message_box("One or more errors were detected during the self test", 1);
  else
    message_box("All tests completed successfully.", 1);

  ChoiceList *list = list_create("KVL Audio Self Test results", SELF_TEST_LIST_CAPACITY);
  append_file_to_list(list, run.readme);
  list_add_item(list, "", LIST_ESCAPE);
  list_add_item(list, "Self test log", LIST_ESCAPE);
  list_add_item(list, "=============", LIST_ESCAPE);
  append_file_to_list(list, run.log);
  list_add_button(list, run.ok_label, 1);
  list_run(list);
  list_destroy(list);
}

std::string kvltest_command(std::string_view dir, const char *options) {
  std::string d = shell_quote(dir);
  // kvltest writes the log itself (-l), never through a link planted in
  // logs/; tee would follow one.
  return d + "/bin/kvltest " + options + " -l " + d + "/logs/kvltest.log 2>&1";
}

void run_kvltest_window(std::string_view dir, const char *options) {
  std::string command = kvltest_command(dir, options);
  std::string readme = kvl_path(dir, "docs/README.kvltest");
  std::string log = kvl_path(dir, "logs/kvltest.log");
  run_self_test_window({command.c_str(), "  Ok  ", readme.c_str(), log.c_str()});
}

std::string shell_quote(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

}  // namespace kvl
