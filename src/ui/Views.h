// How the setup program's windows reach their controls. Each window is a logic class (TInstF1 main
// window, TInstF2 text viewer, TInstF3 progress window, TInstF4 environment dialog) that owns its
// state and handlers and talks to its controls only through the view interface declared here; a
// front end (Qt, console, or a test double) implements the views and calls the windows' handlers
// when the user acts. Controls are reached by their designer names through small generic
// interfaces (IControl for labels, edit boxes, buttons and panels), so a front end can keep all of
// them in one kind of object. The T...State classes hold a control's values in memory: the console
// front end and the test doubles use them as they are, a graphical front end derives from them and
// pushes each change to its widget. Texts are code page 1251 bytes; positions are pixels.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace corvina {

class TInstF1;
class TInstF2;
class TInstF3;
class TInstF4;

struct TBounds {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
};

// Colours as the Windows class library writes them: 0x00BBGGRR.
using TColor = uint32_t;
constexpr TColor RGB(uint8_t red, uint8_t green, uint8_t blue) {
  return static_cast<TColor>(red) | static_cast<TColor>(green) << 8 | static_cast<TColor>(blue) << 16;
}
inline constexpr TColor clBlue = RGB(0, 0, 255);
inline constexpr TColor clGray = RGB(128, 128, 128);
inline constexpr TColor clWindowText = RGB(0, 0, 0);

// One control: a label's caption, an edit box's text, a button's or panel's caption.
class IControl {
public:
  virtual ~IControl() = default;
  virtual std::string Caption() const = 0;
  virtual void SetCaption(const std::string& text) = 0;
  virtual bool Visible() const = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual bool Enabled() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  // A label that sizes itself to its text changes its width (or, with word wrap, its height)
  // when its caption changes; the logic reads the result here.
  virtual TBounds Bounds() const = 0;
  virtual void SetBounds(const TBounds& bounds) = 0;
  virtual TColor FontColor() const = 0;
  virtual void SetFontColor(TColor color) = 0;
};

class TControlState : public IControl {
public:
  TControlState() = default;
  TControlState(std::string caption, TBounds bounds) : caption_(std::move(caption)), bounds_(bounds) {}
  std::string Caption() const override { return caption_; }
  void SetCaption(const std::string& text) override { caption_ = text; }
  bool Visible() const override { return visible_; }
  void SetVisible(bool visible) override { visible_ = visible; }
  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  TBounds Bounds() const override { return bounds_; }
  void SetBounds(const TBounds& bounds) override { bounds_ = bounds; }
  TColor FontColor() const override { return font_color_; }
  void SetFontColor(TColor color) override { font_color_ = color; }

protected:
  std::string caption_;
  TBounds bounds_;
  bool visible_ = true;
  bool enabled_ = true;
  TColor font_color_ = clWindowText;
};

// A list of items with a check box each. Setting a mark from the program raises no event; the
// front end calls the dialog's click handler only when the user toggles a mark.
class ICheckListView {
public:
  virtual ~ICheckListView() = default;
  virtual int32_t Count() const = 0;
  virtual void Clear() = 0;
  virtual void Add(const std::string& item) = 0;
  virtual std::string Item(int32_t index) const = 0;
  virtual bool Checked(int32_t index) const = 0;
  virtual void SetChecked(int32_t index, bool checked) = 0;
};

class TCheckListState : public ICheckListView {
public:
  int32_t Count() const override { return static_cast<int32_t>(items_.size()); }
  void Clear() override { items_.clear(); }
  void Add(const std::string& item) override { items_.push_back({item, false}); }
  // Out-of-range indexes read as an empty, unchecked item and are ignored when set.
  std::string Item(int32_t index) const override { return InRange(index) ? items_[index].first : std::string(); }
  bool Checked(int32_t index) const override { return InRange(index) && items_[index].second; }
  void SetChecked(int32_t index, bool checked) override {
    if (InRange(index)) items_[index].second = checked;
  }

protected:
  bool InRange(int32_t index) const { return index >= 0 && index < Count(); }
  std::vector<std::pair<std::string, bool>> items_;
};

// A message-loop timer. The front end's loop calls the owner's tick handler every Interval
// milliseconds while it is enabled; enabling it again starts the interval anew.
class ITimerView {
public:
  virtual ~ITimerView() = default;
  virtual bool Enabled() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual int32_t Interval() const = 0;
};

// What every window has: caption, frame, modal showing and closing.
class IFormView {
public:
  virtual ~IFormView() = default;
  virtual std::string Caption() const = 0;
  virtual void SetCaption(const std::string& text) = 0;
  // The outer frame on the screen.
  virtual TBounds Bounds() const = 0;
  virtual void SetBounds(const TBounds& bounds) = 0;
  virtual int32_t ClientHeight() const = 0;
  virtual void SetClientHeight(int32_t height) = 0;
  // Shows the window modally and returns its modal result (mrOk, mrCancel ...) once it closes.
  virtual int32_t ShowModal() = 0;
  // Hides the window (a modal one ends its ShowModal with mrCancel).
  virtual void Hide() = 0;
  virtual void Minimize() = 0;
  virtual void SetEnabled(bool enabled) = 0;
};

enum class MainControl : uint8_t {
  Label1, Label2, Label3, Label4, Label5, Label6, Edit1, Button1, Button2, Button3, Button4, Button5,
};

// The main window. Shown modelessly by the application, which then calls TInstF1::FormShow; the
// front end calls the button handlers, FormKeyDown / FormKeyPress, and TInstF1::Close for the title
// bar's close button.
class IMainWindowView : public IFormView {
public:
  virtual IControl& Control(MainControl id) = 0;
  virtual ITimerView& Timer1() = 0;
  // Shows the window (not modally); the front end's message loop then runs until the end.
  virtual void Show() = 0;
};

// The text viewer: its memo of lines. Word wrap is the view's own business.
class ITextViewerView : public IFormView {
public:
  virtual void MemoClear() = 0;
  virtual void MemoAdd(const std::string& line) = 0;
  virtual std::vector<std::string> MemoLines() const = 0;
};

// The progress window: its label and progress bar (bar position 0 .. max).
class IProgressWindowView : public IFormView {
public:
  virtual IControl& Label1() = 0;
  virtual IControl& ProgressBar1() = 0;
  virtual void SetProgress(int32_t position) = 0;
  // The bar's maximum (its minimum is 0); a view that draws no bar may ignore it.
  virtual void SetProgressMax(int32_t maximum) { (void)maximum; }
};

enum class EnvironmentControl : uint8_t { StaticText1, Panel1, Button1, Button2 };

// The environment dialog. StaticText1 wraps its text and takes the height it needs.
class IEnvironmentDialogView : public IFormView {
public:
  virtual IControl& Control(EnvironmentControl id) = 0;
  virtual ICheckListView& CheckListBox1() = 0;
};

// A front end: makes the windows' views and runs the message loop. Each view is made for its
// window, whose handlers it calls.
class IFrontEnd {
public:
  virtual ~IFrontEnd() = default;
  virtual std::unique_ptr<IMainWindowView> CreateMainWindowView(TInstF1& form) = 0;
  virtual std::unique_ptr<ITextViewerView> CreateTextViewerView(TInstF2& form) = 0;
  virtual std::unique_ptr<IProgressWindowView> CreateProgressWindowView(TInstF3& form) = 0;
  virtual std::unique_ptr<IEnvironmentDialogView> CreateEnvironmentDialogView(TInstF4& form) = 0;
  // The application's title (on the taskbar).
  virtual void SetTitle(const std::string& title) = 0;
  // Runs the message loop until the application is terminated; returns the exit status.
  virtual int Run() = 0;
  // Whether the application was terminated (start-up may end it before the loop runs).
  virtual bool Terminated() const = 0;
};

}  // namespace corvina
