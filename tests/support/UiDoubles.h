// Test doubles for the setup program's windows: a front end whose views keep their controls in
// memory (the environment dialog answers ShowModal through a function the test gives, so it can
// toggle marks as a user would and pick OK or Cancel), and application services that record every
// message and answer from a queue. Only tests of the windows include this header.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/AppServices.h"
#include "ui/InstF4.h"
#include "ui/ViewStates.h"

namespace corvina::testing {

class CountingTextViewer : public TTextViewerState {
public:
  int32_t ShowModal() override {
    ++shows;
    shown_lines = lines_;
    return mrOk;
  }
  int shows = 0;
  std::vector<std::string> shown_lines;
};

class ScriptedEnvironmentDialog : public TEnvironmentDialogState {
public:
  explicit ScriptedEnvironmentDialog(TInstF4& form) : form_(form) {}
  int32_t ShowModal() override {
    ++shows;
    marks_when_shown.clear();
    for (int32_t i = 0; i < check_list_.Count(); ++i) marks_when_shown.push_back(check_list_.Checked(i));
    return answer ? answer(form_) : mrOk;
  }
  // Called for each showing; toggles through form.ToggleByUser and returns the modal result.
  std::function<int32_t(TInstF4&)> answer;
  int shows = 0;
  std::vector<bool> marks_when_shown;

private:
  TInstF4& form_;
};

class PlainMainWindow : public TMainWindowState {
public:
  int32_t ShowModal() override { return mrNone; }
};

class PlainProgressWindow : public TProgressWindowState {
public:
  int32_t ShowModal() override { return mrNone; }
};

class FakeFrontEnd : public IFrontEnd {
public:
  std::unique_ptr<IMainWindowView> CreateMainWindowView(TInstF1&) override {
    auto view = std::make_unique<PlainMainWindow>();
    main_window = view.get();
    return view;
  }
  std::unique_ptr<ITextViewerView> CreateTextViewerView(TInstF2&) override {
    auto view = std::make_unique<CountingTextViewer>();
    text_viewer = view.get();
    return view;
  }
  std::unique_ptr<IProgressWindowView> CreateProgressWindowView(TInstF3&) override {
    auto view = std::make_unique<PlainProgressWindow>();
    progress_window = view.get();
    return view;
  }
  std::unique_ptr<IEnvironmentDialogView> CreateEnvironmentDialogView(TInstF4& form) override {
    auto view = std::make_unique<ScriptedEnvironmentDialog>(form);
    environment_dialog = view.get();
    return view;
  }
  void SetTitle(const std::string& t) override { title = t; }
  int Run() override { return 0; }
  bool Terminated() const override { return false; }

  PlainMainWindow* main_window = nullptr;
  CountingTextViewer* text_viewer = nullptr;
  PlainProgressWindow* progress_window = nullptr;
  ScriptedEnvironmentDialog* environment_dialog = nullptr;
  std::string title;
};

struct RecordedMessage {
  std::string Text;  // 1251
  MsgDlgType Type;
  std::vector<MsgDlgBtn> Buttons;
};

class RecordingAppServices : public IAppServices {
public:
  int32_t MessageDlg(const std::string& text, MsgDlgType type, const std::vector<MsgDlgBtn>& buttons) override {
    messages.push_back({text, type, buttons});
    if (answers.empty()) return mrOk;
    const int32_t answer = answers.front();
    answers.pop_front();
    return answer;
  }
  int32_t MessageBox(const std::string&, const std::string&, uint32_t) override { return IDOK; }
  bool SelectDirectory(std::string& folder) override {
    folders_offered.push_back(folder);
    if (!folder_choice) return false;
    folder = *folder_choice;
    return true;
  }
  bool OpenFileDialog(const std::string&, const std::string&, std::string&) override { return false; }
  void SetCursor(Cursor c) override { cursor = c; }
  Cursor GetCursor() override { return cursor; }
  void ProcessMessages() override {}
  void Terminate(int exit_status) override { terminations.push_back(exit_status); }

  std::vector<RecordedMessage> messages;
  std::deque<int32_t> answers;
  std::vector<std::string> folders_offered;
  std::unique_ptr<std::string> folder_choice;
  std::vector<int> terminations;
  Cursor cursor = Cursor::Default;
};

}  // namespace corvina::testing
