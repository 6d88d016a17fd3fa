// The console front end: the setup program's windows and dialogs as text on an output stream in
// UTF-8, answers read line by line from an input stream. Used when no display is available.
//
// Every choice is offered as numbered lines and taken as a number or as the choice's text in any
// letter case. When the input ends, a question takes the answer that ends it (OK, "Нет" or
// "Отмена", "Далее" for a retry question), and the main window gives the Exit command, whose close
// question then takes "Да": so the program never waits for input that cannot come. The message
// loop runs the main window's timer (AutoRun) and otherwise reads the main window's commands until
// the application is terminated.
#pragma once

#include <chrono>
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "platform/AppServices.h"
#include "ui/Views.h"

namespace corvina {

class ConsoleMainWindowView;

class ConsoleFrontEnd : public IFrontEnd, public IAppServices {
public:
  // echo_input: write each answer read after its prompt, so that a transcript of a run whose input
  // comes from a file or a pipe reads as a dialogue.
  ConsoleFrontEnd(std::istream& in, std::ostream& out, bool echo_input = false)
      : in_(in), out_(out), echo_input_(echo_input) {}

  // IFrontEnd
  std::unique_ptr<IMainWindowView> CreateMainWindowView(TInstF1& form) override;
  std::unique_ptr<ITextViewerView> CreateTextViewerView(TInstF2& form) override;
  std::unique_ptr<IProgressWindowView> CreateProgressWindowView(TInstF3& form) override;
  std::unique_ptr<IEnvironmentDialogView> CreateEnvironmentDialogView(TInstF4& form) override;
  void SetTitle(const std::string& title) override { title_ = title; }
  int Run() override;
  bool Terminated() const override { return terminated_; }

  // IAppServices
  int32_t MessageDlg(const std::string& text, MsgDlgType type, const std::vector<MsgDlgBtn>& buttons) override;
  int32_t MessageBox(const std::string& text, const std::string& caption, uint32_t style) override;
  bool SelectDirectory(std::string& folder) override;
  bool OpenFileDialog(const std::string& title, const std::string& filter, std::string& file_name) override;
  void SetCursor(Cursor cursor) override { cursor_ = cursor; }
  Cursor GetCursor() override { return cursor_; }
  void ProcessMessages() override {}
  void Terminate(int exit_status) override;

  // For the views: output of 1251 text (CR LF and lone CR become line feeds), one line of input
  // (1251, blanks at the ends dropped; false once the input has ended), and a numbered choice:
  // the index of the chosen entry, or ending_choice when the input ends.
  void Print(const std::string& text);
  void PrintLine(const std::string& text) { Print(text + "\n"); }
  bool ReadLine(std::string& line);
  size_t Choose(const std::vector<std::string>& choices, size_t ending_choice);
  // The same with the number each choice is offered under.
  size_t Choose(const std::vector<std::string>& choices, const std::vector<int32_t>& numbers, size_t ending_choice);
  bool InputEnded() const { return input_ended_; }

private:
  void MainWindowCommand();

  std::istream& in_;
  std::ostream& out_;
  bool echo_input_;
  std::string title_;
  Cursor cursor_ = Cursor::Default;
  TInstF1* main_form_ = nullptr;
  ConsoleMainWindowView* main_view_ = nullptr;
  bool input_ended_ = false;
  bool closing_at_end_ = false;  // the Exit command given because the input ended
  bool terminated_ = false;
  int exit_status_ = 0;
};

}  // namespace corvina
