// An asker that answers from a script: what the user would answer, in order.
// Every question asked is kept, so a test can check titles, items and texts.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "common/asker.h"

namespace kvltest {

class ScriptAsker final : public kvl::Asker {
 public:
  std::vector<std::string> notices;                // every notice shown
  std::vector<kvl::AskChoice> choices;             // every choice asked
  std::vector<std::string> prompts;                // every text prompt
  std::deque<kvl::AskAnswer> answers;              // next choose() answers; then Escape
  std::deque<std::optional<std::string>> texts;    // next enter_text() answers; nullopt cancels

  void notice(const std::string &text, bool) override { notices.push_back(text); }

  kvl::AskAnswer choose(const kvl::AskChoice &choice) override {
    choices.push_back(choice);
    if (answers.empty()) return {kvl::ASK_ESCAPE, choice.current};
    kvl::AskAnswer a = answers.front();
    answers.pop_front();
    return a;
  }

  int enter_text(const std::string &prompt, std::string &text, size_t bound) override {
    prompts.push_back(prompt);
    if (texts.empty() || !texts.front()) {
      if (!texts.empty()) texts.pop_front();
      return 0;
    }
    std::string t = *texts.front();
    texts.pop_front();
    text = t.substr(0, bound > 0 ? bound - 1 : 0);
    return 1;
  }
};

}  // namespace kvltest
