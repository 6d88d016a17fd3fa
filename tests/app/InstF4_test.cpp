// The environment dialog: OK is enabled only while a mark is set, and only the user's toggling
// re-evaluates it; marks set by the program leave it alone; an allowed empty choice detaches the
// rule. The preparation sets caption, header and the client height from the header's height.
#include <gtest/gtest.h>

#include "app/SetupDefinition.h"
#include "support/UiDoubles.h"
#include "ui/InstF4.h"

namespace corvina {
namespace {

class InstF4Test : public ::testing::Test {
protected:
  void SetUp() override {
    dialog_ = std::make_unique<TInstF4>(front_end_);
    for (const char* name : {"A", "B", "C"}) dialog_->CheckListBox1().Add(name);
  }
  void TearDown() override { AllowEmptyEnvironmentChoice = saved_allow_; }
  bool OkEnabled() { return dialog_->Button1().Enabled(); }

  bool saved_allow_ = AllowEmptyEnvironmentChoice;
  testing::FakeFrontEnd front_end_;
  std::unique_ptr<TInstF4> dialog_;
};

TEST_F(InstF4Test, OkFollowsTheUsersTogglesOnly) {
  dialog_->Prepare();
  ICheckListView& list = dialog_->CheckListBox1();
  // Nothing checked yet, but nothing was toggled: OK stays enabled.
  EXPECT_TRUE(OkEnabled());
  dialog_->ToggleByUser(1);
  EXPECT_TRUE(list.Checked(1));
  EXPECT_TRUE(OkEnabled());
  dialog_->ToggleByUser(1);
  EXPECT_FALSE(list.Checked(1));
  EXPECT_FALSE(OkEnabled());
  // Marks set by the program (detection) do not re-evaluate it.
  list.SetChecked(0, true);
  list.SetChecked(2, true);
  EXPECT_FALSE(OkEnabled());
  // Any toggle does, whatever it toggles.
  dialog_->ToggleByUser(2);
  EXPECT_TRUE(OkEnabled());  // item 0 still checked
  dialog_->ToggleByUser(0);
  EXPECT_FALSE(OkEnabled());
  dialog_->ToggleByUser(7);  // no such item: nothing changes
  EXPECT_FALSE(OkEnabled());
}

TEST_F(InstF4Test, AnAllowedEmptyChoiceNeverDisablesOk) {
  AllowEmptyEnvironmentChoice = true;
  dialog_->Prepare();
  dialog_->ToggleByUser(0);
  dialog_->ToggleByUser(0);
  EXPECT_FALSE(dialog_->CheckListBox1().Checked(0));
  EXPECT_TRUE(OkEnabled());
}

TEST_F(InstF4Test, PreparationSetsCaptionHeaderAndHeight) {
  dialog_->Prepare();
  IEnvironmentDialogView& view = dialog_->View();
  EXPECT_EQ(view.Caption(), EnvironmentDialogCaption);
  EXPECT_EQ(dialog_->StaticText1().Caption(), EnvironmentDialogHeader);
  const int32_t header_height = dialog_->StaticText1().Bounds().Height;
  EXPECT_GT(header_height, 0);
  EXPECT_EQ(view.ClientHeight(), 46 + header_height + EnvironmentListHeight);
}

}  // namespace
}  // namespace corvina
