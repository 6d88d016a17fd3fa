// The environment dialog's logic class: one check mark per programming environment, OK enabled
// only while at least one mark is set. The enabled state of OK changes only when the user toggles a
// mark (the front end calls OnClickCheck then); marks set by the program leave it as it is, so a
// state left by an earlier showing carries over to the next one.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "ui/Views.h"

namespace corvina {

class TInstF4 {
public:
  explicit TInstF4(IFrontEnd& front_end);
  TInstF4(const TInstF4&) = delete;
  TInstF4& operator=(const TInstF4&) = delete;

  IEnvironmentDialogView& View() { return *view_; }
  ICheckListView& CheckListBox1() { return view_->CheckListBox1(); }
  IControl& StaticText1() { return view_->Control(EnvironmentControl::StaticText1); }
  IControl& Button1() { return view_->Control(EnvironmentControl::Button1); }

  // Start-up's preparation of the dialog: the click handling (detached when an empty choice is
  // allowed), and with environments the caption, the header and the client height.
  void Prepare();

  // The check list's click event, bound to CheckListBox1Click unless Prepare detached it. The front
  // end raises it after the user toggled a mark.
  std::function<void()> OnClickCheck;
  void CheckListBox1Click();
  // What the front end calls when the user toggles item index: the mark flips, then the event.
  void ToggleByUser(int32_t index);

  void FormShow() {}
  // Shows the dialog modally: mrOk or mrCancel.
  int32_t ShowModal() { return view_->ShowModal(); }

private:
  std::unique_ptr<IEnvironmentDialogView> view_;
};

extern TInstF4* InstF4;

}  // namespace corvina
