#include "ui/console/ConsoleFrontEnd.h"

#include <algorithm>
#include <thread>

#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"
#include "ui/InstF1.h"
#include "ui/InstF2.h"
#include "ui/InstF3.h"
#include "ui/InstF4.h"
#include "ui/ViewStates.h"

namespace corvina {

namespace {

std::string Ru(const char* utf8) { return Utf8ToAnsi(utf8); }

std::string ButtonText(MsgDlgBtn button) {
  switch (button) {
    case MsgDlgBtn::mbYes: return Ru("Да");
    case MsgDlgBtn::mbNo: return Ru("Нет");
    case MsgDlgBtn::mbOK: return "OK";
    case MsgDlgBtn::mbCancel: return Ru("Отмена");
    case MsgDlgBtn::mbAbort: return Ru("Прервать");
    case MsgDlgBtn::mbRetry: return Ru("Повтор");
    case MsgDlgBtn::mbIgnore: return Ru("Далее");
    case MsgDlgBtn::mbAll: return Ru("Все");
  }
  return "?";
}

int32_t ResultOf(MsgDlgBtn button) {
  switch (button) {
    case MsgDlgBtn::mbYes: return mrYes;
    case MsgDlgBtn::mbNo: return mrNo;
    case MsgDlgBtn::mbOK: return mrOk;
    case MsgDlgBtn::mbCancel: return mrCancel;
    case MsgDlgBtn::mbAbort: return mrAbort;
    case MsgDlgBtn::mbRetry: return mrRetry;
    case MsgDlgBtn::mbIgnore: return mrIgnore;
    case MsgDlgBtn::mbAll: return mrOk;
  }
  return mrNone;
}

std::string CaptionOf(MsgDlgType type) {
  switch (type) {
    case MsgDlgType::mtWarning: return Ru("Предупреждение");
    case MsgDlgType::mtError: return Ru("Ошибка");
    case MsgDlgType::mtInformation: return Ru("Информация");
    case MsgDlgType::mtConfirmation: return Ru("Подтверждение");
    case MsgDlgType::mtCustom: break;
  }
  return "";
}

// A timer that remembers when it was last enabled, so the loop knows when it is due.
class ConsoleTimer : public ITimerView {
public:
  explicit ConsoleTimer(int32_t interval) : interval_(interval) {}
  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override {
    if (enabled && !enabled_) started_ = std::chrono::steady_clock::now();
    enabled_ = enabled;
  }
  int32_t Interval() const override { return interval_; }
  std::chrono::steady_clock::time_point Due() const { return started_ + std::chrono::milliseconds(interval_); }

private:
  bool enabled_ = false;
  int32_t interval_;
  std::chrono::steady_clock::time_point started_;
};

class ConsoleTextViewerView : public TTextViewerState {
public:
  explicit ConsoleTextViewerView(ConsoleFrontEnd& console) : console_(console) {}
  int32_t ShowModal() override {
    console_.PrintLine("");
    console_.PrintLine("=== " + caption_ + " ===");
    for (const std::string& line : lines_) console_.PrintLine(line);
    console_.PrintLine("===");
    return mrOk;
  }

private:
  ConsoleFrontEnd& console_;
};

class ConsoleProgressWindowView : public TProgressWindowState {
public:
  explicit ConsoleProgressWindowView(ConsoleFrontEnd& console) : console_(console) {}
  int32_t ShowModal() override {
    visible_ = true;
    console_.PrintLine(label1_.Caption());
    return mrNone;
  }
  void SetProgressMax(int32_t maximum) override { maximum_ = maximum; }
  // The bar's position as a share of its maximum (volumes and shortcuts count in their own units),
  // one line each time the whole percentage changes.
  void SetProgress(int32_t position) override {
    progress_ = position;
    const int64_t percent = maximum_ > 0 ? std::min<int64_t>(int64_t{position} * 100 / maximum_, 100) : position;
    if (percent == shown_percent_) return;
    shown_percent_ = percent;
    console_.PrintLine(IntToStr(percent) + "%");
  }

private:
  ConsoleFrontEnd& console_;
  int32_t maximum_ = 100;
  int64_t shown_percent_ = 0;
};

class ConsoleEnvironmentDialogView : public TEnvironmentDialogState {
public:
  ConsoleEnvironmentDialogView(ConsoleFrontEnd& console, TInstF4& form) : console_(console), form_(form) {}

  // The header and the marked list; a number toggles its item, then OK or Cancel ends the dialog.
  int32_t ShowModal() override {
    visible_ = true;
    form_.FormShow();
    const std::string ok = button1_.Caption();
    const std::string cancel = button2_.Caption();
    for (;;) {
      console_.PrintLine("");
      console_.PrintLine("=== " + caption_ + " ===");
      for (const std::string& line : SplitHeader(static_text1_.Caption())) console_.PrintLine(line);
      std::vector<std::string> choices;
      for (int32_t i = 0; i < check_list_.Count(); ++i)
        choices.push_back((check_list_.Checked(i) ? "[x] " : "[ ] ") + check_list_.Item(i));
      choices.push_back(button1_.Enabled() ? ok : ok + Ru(" (недоступно)"));
      choices.push_back(cancel);
      const size_t count = static_cast<size_t>(check_list_.Count());
      const size_t chosen = console_.Choose(choices, count + 1);
      if (chosen < count) {
        form_.ToggleByUser(static_cast<int32_t>(chosen));
        continue;
      }
      if (chosen == count && !button1_.Enabled()) {
        console_.PrintLine(Ru("Кнопка OK недоступна: отметьте хотя бы одну среду."));
        continue;
      }
      visible_ = false;
      return chosen == count ? mrOk : mrCancel;
    }
  }

private:
  // The header's lines without the blank lines and indentation that only shape the window.
  static std::vector<std::string> SplitHeader(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text + "\n") {
      if (c == '\r' || c == '\n') {
        if (!Trim(line).empty()) lines.push_back(Trim(line));
        line.clear();
      } else {
        line += c;
      }
    }
    return lines;
  }

  ConsoleFrontEnd& console_;
  TInstF4& form_;
};

}  // namespace

class ConsoleMainWindowView : public TMainWindowState {
public:
  int32_t ShowModal() override {
    Show();
    return mrNone;
  }
  ITimerView& Timer1() override { return timer_; }
  ConsoleTimer& Timer() { return timer_; }
  bool Shown() const { return visible_; }

private:
  ConsoleTimer timer_{200};
};

std::unique_ptr<IMainWindowView> ConsoleFrontEnd::CreateMainWindowView(TInstF1& form) {
  auto view = std::make_unique<ConsoleMainWindowView>();
  main_form_ = &form;
  main_view_ = view.get();
  return view;
}

std::unique_ptr<ITextViewerView> ConsoleFrontEnd::CreateTextViewerView(TInstF2&) {
  return std::make_unique<ConsoleTextViewerView>(*this);
}

std::unique_ptr<IProgressWindowView> ConsoleFrontEnd::CreateProgressWindowView(TInstF3&) {
  return std::make_unique<ConsoleProgressWindowView>(*this);
}

std::unique_ptr<IEnvironmentDialogView> ConsoleFrontEnd::CreateEnvironmentDialogView(TInstF4& form) {
  return std::make_unique<ConsoleEnvironmentDialogView>(*this, form);
}

void ConsoleFrontEnd::Print(const std::string& text) {
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      plain += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      plain += text[i];
    }
  }
  out_ << AnsiToUtf8(plain);
  out_.flush();
}

bool ConsoleFrontEnd::ReadLine(std::string& line) {
  line.clear();
  if (input_ended_) return false;
  std::string raw;
  if (!std::getline(in_, raw)) {
    input_ended_ = true;
    Print("\n");
    return false;
  }
  if (echo_input_) out_ << raw << "\n";
  line = Trim(Utf8ToAnsi(raw));
  return true;
}

size_t ConsoleFrontEnd::Choose(const std::vector<std::string>& choices, size_t ending_choice) {
  std::vector<int32_t> numbers;
  for (size_t i = 0; i < choices.size(); ++i) numbers.push_back(static_cast<int32_t>(i + 1));
  return Choose(choices, numbers, ending_choice);
}

size_t ConsoleFrontEnd::Choose(const std::vector<std::string>& choices, const std::vector<int32_t>& numbers,
                               size_t ending_choice) {
  for (size_t i = 0; i < choices.size(); ++i) PrintLine("  " + IntToStr(numbers[i]) + ". " + choices[i]);
  for (;;) {
    Print("> ");
    std::string answer;
    if (!ReadLine(answer)) return ending_choice;
    int32_t number = 0;
    if (TryStrToInt(answer, number))
      for (size_t i = 0; i < choices.size(); ++i)
        if (numbers[i] == number) return i;
    for (size_t i = 0; i < choices.size(); ++i) {
      // "[x] name" items answer to their name too.
      std::string text = choices[i];
      if (text.size() > 4 && text[0] == '[' && text[2] == ']') text = text.substr(4);
      if (AnsiSameText(answer, text)) return i;
    }
    PrintLine(Ru("Введите номер или текст одного из вариантов."));
  }
}

int32_t ConsoleFrontEnd::MessageDlg(const std::string& text, MsgDlgType type, const std::vector<MsgDlgBtn>& buttons) {
  std::vector<MsgDlgBtn> shown = buttons.empty() ? std::vector<MsgDlgBtn>{MsgDlgBtn::mbOK} : buttons;
  auto has = [&](MsgDlgBtn b) {
    for (MsgDlgBtn s : shown)
      if (s == b) return true;
    return false;
  };
  // The answer taken when no more input can come.
  MsgDlgBtn ending = shown.front();
  if (closing_at_end_ && has(MsgDlgBtn::mbYes)) ending = MsgDlgBtn::mbYes;
  else if (has(MsgDlgBtn::mbIgnore)) ending = MsgDlgBtn::mbIgnore;
  else if (has(MsgDlgBtn::mbCancel)) ending = MsgDlgBtn::mbCancel;
  else if (has(MsgDlgBtn::mbNo)) ending = MsgDlgBtn::mbNo;
  else if (has(MsgDlgBtn::mbOK)) ending = MsgDlgBtn::mbOK;

  PrintLine("");
  PrintLine(CaptionOf(type));
  PrintLine(text);
  std::vector<std::string> choices;
  size_t ending_index = 0;
  for (size_t i = 0; i < shown.size(); ++i) {
    choices.push_back(ButtonText(shown[i]));
    if (shown[i] == ending) ending_index = i;
  }
  return ResultOf(shown[Choose(choices, ending_index)]);
}

int32_t ConsoleFrontEnd::MessageBox(const std::string& text, const std::string& caption, uint32_t style) {
  std::vector<std::pair<std::string, int32_t>> buttons;
  switch (style & 0x0F) {
    case MB_OKCANCEL: buttons = {{"OK", IDOK}, {"Cancel", IDCANCEL}}; break;
    case MB_YESNOCANCEL: buttons = {{"Yes", IDYES}, {"No", IDNO}, {"Cancel", IDCANCEL}}; break;
    case MB_YESNO: buttons = {{"Yes", IDYES}, {"No", IDNO}}; break;
    default: buttons = {{"OK", IDOK}}; break;
  }
  PrintLine("");
  PrintLine(caption);
  PrintLine(text);
  std::vector<std::string> choices;
  for (const auto& b : buttons) choices.push_back(b.first);
  // The ending answer: Cancel, else No, else OK - always the last button offered.
  return buttons[Choose(choices, buttons.size() - 1)].second;
}

bool ConsoleFrontEnd::SelectDirectory(std::string& folder) {
  IFileSystem& fs = FileSystem();
  for (;;) {
    PrintLine("");
    PrintLine(Ru("Выбор каталога"));
    PrintLine(Ru("Имя каталога: ") + folder);
    PrintLine(Ru("Введите имя каталога (пустая строка - оставить это имя, \"Отмена\" - отказаться):"));
    Print("> ");
    std::string answer;
    if (!ReadLine(answer) || AnsiSameText(answer, Ru("Отмена"))) return false;
    const std::string chosen = answer.empty() ? folder : answer;
    if (chosen.empty()) continue;
    if (!fs.DirectoryExists(chosen) &&
        MessageDlg(Ru("Указанный каталог не существует. Создать его?"), MsgDlgType::mtConfirmation,
                   {MsgDlgBtn::mbYes, MsgDlgBtn::mbNo}) != mrYes) {
      if (input_ended_) return false;
      continue;
    }
    folder = chosen;
    return true;
  }
}

bool ConsoleFrontEnd::OpenFileDialog(const std::string& title, const std::string&, std::string& file_name) {
  PrintLine("");
  PrintLine(title);
  PrintLine(Ru("Имя файла: ") + file_name);
  Print("> ");
  std::string answer;
  if (!ReadLine(answer) || AnsiSameText(answer, Ru("Отмена"))) return false;
  if (!answer.empty()) file_name = answer;
  return !file_name.empty();
}

void ConsoleFrontEnd::Terminate(int exit_status) {
  if (terminated_) return;
  terminated_ = true;
  exit_status_ = exit_status;
}

void ConsoleFrontEnd::MainWindowCommand() {
  TInstF1& form = *main_form_;
  auto caption = [&](MainControl id) { return form.Control(id).Caption(); };
  PrintLine("");
  PrintLine("=== " + main_view_->Caption() + " ===");
  for (MainControl id : {MainControl::Label1, MainControl::Label3, MainControl::Label4, MainControl::Label6})
    if (!caption(id).empty()) PrintLine(caption(id));
  PrintLine(caption(MainControl::Label5) + " " + caption(MainControl::Edit1));

  // The visible buttons, each under a number of its own that a hidden button does not shift:
  // 1 Browse, 2 description, 3 licence, 4 Install, 5 Exit.
  std::vector<MainControl> commands;
  std::vector<std::string> choices;
  std::vector<int32_t> numbers;
  int32_t number = 0;
  for (MainControl button : {MainControl::Button1, MainControl::Button2, MainControl::Button3,
                             MainControl::Button4, MainControl::Button5}) {
    ++number;
    if (!form.Control(button).Visible()) continue;
    commands.push_back(button);
    choices.push_back(caption(button));
    numbers.push_back(number);
  }
  size_t exit_index = choices.size() - 1;
  for (size_t i = 0; i < commands.size(); ++i)
    if (commands[i] == MainControl::Button5) exit_index = i;

  const size_t chosen = Choose(choices, numbers, exit_index);
  if (input_ended_) closing_at_end_ = true;
  switch (commands[chosen]) {
    case MainControl::Button1: form.Button1Click(); break;
    case MainControl::Button2: form.Button2Click(1); break;
    case MainControl::Button3: form.Button3Click(); break;
    case MainControl::Button4: form.Button4Click(); break;
    default: form.Button5Click(); break;
  }
}

int ConsoleFrontEnd::Run() {
  while (!terminated_) {
    if (main_view_ == nullptr || !main_view_->Shown()) break;
    ConsoleTimer& timer = main_view_->Timer();
    if (timer.Enabled()) {
      std::this_thread::sleep_until(timer.Due());
      if (timer.Enabled()) main_form_->Timer1Timer();
      continue;
    }
    MainWindowCommand();
  }
  return exit_status_;
}

}  // namespace corvina
