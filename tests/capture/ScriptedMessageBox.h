#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "manager/capture/MessageBoxFn.h"

namespace tvqtest {

struct AskedBox {
  std::wstring text;
  std::wstring caption;
  UINT type;
};

// Stands in for the real boxes: records every question and answers it through a rule.
// Fn() hands out a function that shares the record, so it stays valid however the source moves.
class ScriptedMessageBox {
 public:
  using Rule = std::function<int(const AskedBox& box)>;

  explicit ScriptedMessageBox(Rule rule) : m_state(std::make_shared<State>()) {
    m_state->rule = std::move(rule);
  }

  tvq::MessageBoxFn Fn() const {
    std::shared_ptr<State> state = m_state;
    return [state](const wchar_t* text, const wchar_t* caption, UINT type) {
      state->asked.push_back(AskedBox{text, caption, type});
      return state->rule(state->asked.back());
    };
  }

  const std::vector<AskedBox>& Asked() const { return m_state->asked; }

 private:
  struct State {
    Rule rule;
    std::vector<AskedBox> asked;
  };
  std::shared_ptr<State> m_state;
};

inline ScriptedMessageBox::Rule AlwaysAnswer(int answer) {
  return [answer](const AskedBox&) { return answer; };
}

// Answers each box in turn from a list; anything asked beyond it is a test failure.
inline ScriptedMessageBox::Rule Answers(std::vector<int> answers) {
  auto next = std::make_shared<size_t>(0);
  return [answers, next](const AskedBox& box) {
    if (*next >= answers.size()) {
      ADD_FAILURE() << "unexpected box: " << testing::PrintToString(box.text);
      return IDCANCEL;
    }
    return answers[(*next)++];
  };
}

// The camera's error box for a failing call, code as "%x" prints it.
inline void ExpectErrorBox(const AskedBox& box, const std::wstring& code) {
  EXPECT_EQ(L"ErrorCode: " + code, box.text);
  EXPECT_EQ(L"CCaptureVideo", box.caption);
  EXPECT_EQ(static_cast<UINT>(MB_OK), box.type);
}

}  // namespace tvqtest
