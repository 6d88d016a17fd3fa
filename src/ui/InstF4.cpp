#include "ui/InstF4.h"

#include "app/SetupDefinition.h"

namespace corvina {

TInstF4* InstF4 = nullptr;

TInstF4::TInstF4(IFrontEnd& front_end) : view_(front_end.CreateEnvironmentDialogView(*this)) {
  OnClickCheck = [this] { CheckListBox1Click(); };
}

void TInstF4::Prepare() {
  if (AllowEmptyEnvironmentChoice) OnClickCheck = nullptr;
  if (EnvironmentCount > 0) {
    view_->SetCaption(EnvironmentDialogCaption);
    StaticText1().SetCaption(EnvironmentDialogHeader);
    const int32_t panel_height = view_->Control(EnvironmentControl::Panel1).Bounds().Height;
    view_->SetClientHeight(panel_height + StaticText1().Bounds().Height + EnvironmentListHeight);
  }
}

void TInstF4::CheckListBox1Click() {
  ICheckListView& list = CheckListBox1();
  bool any = false;
  for (int32_t i = 0; i < list.Count() && !any; ++i) any = list.Checked(i);
  Button1().SetEnabled(any);
}

void TInstF4::ToggleByUser(int32_t index) {
  ICheckListView& list = CheckListBox1();
  if (index < 0 || index >= list.Count()) return;
  list.SetChecked(index, !list.Checked(index));
  if (OnClickCheck) OnClickCheck();
}

}  // namespace corvina
