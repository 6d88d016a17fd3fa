// In-memory views of the four windows: every control's values held in TControlState objects,
// laid out as the windows' designs place them. The console front end derives from these and adds
// its printing and reading; test doubles derive from them and answer ShowModal as a test says.
// Modal showing, plain showing and the timer's ticking are the deriving front end's business, so
// ShowModal stays abstract.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/AppServices.h"
#include "platform/CodePage.h"
#include "ui/Views.h"

namespace corvina {

class TTimerState : public ITimerView {
public:
  explicit TTimerState(int32_t interval) : interval_(interval) {}
  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  int32_t Interval() const override { return interval_; }

private:
  bool enabled_ = false;
  int32_t interval_;
};

// The window-level state of IFormView (caption, frame, client height, visibility).
template <typename View>
class TFormViewState : public View {
public:
  std::string Caption() const override { return caption_; }
  void SetCaption(const std::string& text) override { caption_ = text; }
  TBounds Bounds() const override { return bounds_; }
  void SetBounds(const TBounds& bounds) override { bounds_ = bounds; }
  int32_t ClientHeight() const override { return client_height_; }
  void SetClientHeight(int32_t height) override { client_height_ = height; }
  void Hide() override { visible_ = false; }
  void Minimize() override { minimized_ = true; }
  void SetEnabled(bool enabled) override { enabled_ = enabled; }

  bool IsVisible() const { return visible_; }
  bool IsMinimized() const { return minimized_; }
  bool IsEnabled() const { return enabled_; }

protected:
  std::string caption_;
  TBounds bounds_;
  int32_t client_height_ = 0;
  bool visible_ = false;
  bool minimized_ = false;
  bool enabled_ = true;
};

// A label that sizes itself to its text, at six pixels a character of the window's font.
class TAutoSizeLabel : public TControlState {
public:
  using TControlState::TControlState;
  void SetCaption(const std::string& text) override {
    caption_ = text;
    bounds_.Width = static_cast<int32_t>(text.size()) * 6;
  }
};

// The main window: client area 632 x 248 inside a dialog frame, controls where the design has them.
class TMainWindowState : public TFormViewState<IMainWindowView> {
public:
  TMainWindowState() {
    bounds_ = {0, 0, 640, 275};
    client_height_ = 248;
    auto set = [this](MainControl id, const std::string& caption, TBounds bounds) {
      controls_[static_cast<size_t>(id)] = TControlState(caption, bounds);
    };
    set(MainControl::Label2, "", {22, 18, 594, 32});
    set(MainControl::Label1, "", {20, 17, 594, 32});
    set(MainControl::Label3, "", {20, 59, 605, 23});
    set(MainControl::Label4, "", {20, 97, 594, 19});
    set(MainControl::Label6, "", {20, 96, 594, 19});
    set(MainControl::Edit1, "", {312, 153, 217, 21});
    set(MainControl::Button1, Utf8ToAnsi("Обзор..."), {542, 151, 75, 25});
    set(MainControl::Button2, "", {15, 208, 178, 25});
    set(MainControl::Button3, Utf8ToAnsi("Лицензионное соглашение"), {207, 208, 178, 25});
    set(MainControl::Button4, Utf8ToAnsi("Установка"), {424, 208, 89, 25});
    set(MainControl::Button5, Utf8ToAnsi("Выход"), {528, 208, 89, 25});
    controls_[static_cast<size_t>(MainControl::Label2)].SetFontColor(clGray);
    for (MainControl id : {MainControl::Label1, MainControl::Label3, MainControl::Label4, MainControl::Label6})
      controls_[static_cast<size_t>(id)].SetFontColor(clBlue);
  }
  IControl& Control(MainControl id) override {
    if (id == MainControl::Label5) return label5_;
    return controls_[static_cast<size_t>(id)];
  }
  ITimerView& Timer1() override { return timer_; }
  void Show() override { visible_ = true; }

protected:
  std::array<TControlState, 12> controls_;  // Label5's entry unused: label5_ sizes itself
  TAutoSizeLabel label5_{"", {20, 156, 0, 13}};
  TTimerState timer_{200};
};

class TTextViewerState : public TFormViewState<ITextViewerView> {
public:
  TTextViewerState() { bounds_ = {0, 0, 696, 490}; client_height_ = 463; }
  void MemoClear() override { lines_.clear(); }
  void MemoAdd(const std::string& line) override { lines_.push_back(line); }
  std::vector<std::string> MemoLines() const override { return lines_; }

protected:
  std::vector<std::string> lines_;
};

class TProgressWindowState : public TFormViewState<IProgressWindowView> {
public:
  TProgressWindowState()
      : label1_(Utf8ToAnsi("Копирование файлов"), {16, 13, 0, 13}),
        progress_bar1_("", {2, 37, 628, 16}) {
    bounds_ = {0, 0, 632, 65};
    client_height_ = 65;
  }
  IControl& Label1() override { return label1_; }
  IControl& ProgressBar1() override { return progress_bar1_; }
  void SetProgress(int32_t position) override { progress_ = position; }
  int32_t Progress() const { return progress_; }

protected:
  TControlState label1_;
  TControlState progress_bar1_;
  int32_t progress_ = 0;
};

// The environment dialog. StaticText1's height follows its text: 13 pixels a line, counting the
// lines its caption has (a wrapped header in a graphical front end may take more).
class TEnvironmentDialogState : public TFormViewState<IEnvironmentDialogView> {
public:
  class TWrappingLabel : public TControlState {
  public:
    using TControlState::TControlState;
    void SetCaption(const std::string& text) override {
      caption_ = text;
      int32_t lines = 1;
      for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) ++lines;
      bounds_.Height = lines * 13;
    }
  };

  TEnvironmentDialogState()
      : static_text1_("", {0, 0, 359, 13}),
        panel1_("", {0, 320, 359, 46}),
        button1_("OK", {180, 11, 75, 25}),
        button2_(Utf8ToAnsi("Отмена"), {268, 11, 75, 25}) {
    bounds_ = {0, 0, 365, 393};
    client_height_ = 366;
  }
  IControl& Control(EnvironmentControl id) override {
    switch (id) {
      case EnvironmentControl::StaticText1: return static_text1_;
      case EnvironmentControl::Panel1: return panel1_;
      case EnvironmentControl::Button1: return button1_;
      case EnvironmentControl::Button2: return button2_;
    }
    return panel1_;
  }
  ICheckListView& CheckListBox1() override { return check_list_; }

protected:
  TWrappingLabel static_text1_;
  TControlState panel1_;
  TControlState button1_;
  TControlState button2_;
  TCheckListState check_list_;
};

}  // namespace corvina
