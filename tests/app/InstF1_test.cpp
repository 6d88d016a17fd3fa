// The main window's install command, check by check in order, with a view double and an
// application-services double in a temporary Wine-style root: the base-package message (also for a
// folder that does not exist, and for a folder whose name holds the macro), creation and write
// failures provoked through the fault-injecting file system, the write-test file, detection with
// and without the dialog, ExcludeDir entries, cancelling and giving the command again; then the
// window's other handlers (AutoRun's timer, F1, the close question, Browse).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/Folders.h"
#include "app/SetupDefinition.h"
#include "platform/CodePage.h"
#include "platform/FaultInjectingFileSystem.h"
#include "support/UiDoubles.h"
#include "support/WineRoot.h"
#include "ui/Application.h"

namespace corvina {
namespace {

using Codes = std::vector<std::string>;

class CountingProgressWindow : public TInstF3 {
public:
  using TInstF3::TInstF3;
  int32_t ShowModal() override {
    ++shows;
    auto* main = dynamic_cast<testing::PlainMainWindow*>(&InstF1->View());
    main_disabled = main != nullptr && !main->IsEnabled();
    return mrNone;
  }
  int shows = 0;
  bool main_disabled = false;  // the main window took no input while this one was shown
};

TEST(ExpandBasePackageMessage, ReplacesEveryMacroInAnyCaseAndEnds) {
  const struct {
    const char* message;
    const char* folder;
    const char* expected;
  } cases[] = {
      {"in \"%InstallDir%\" none", "C:\\TF4", "in \"C:\\TF4\" none"},
      {"%installdir% and %INSTALLDIR%", "D:", "D: and D:"},
      {"no macro", "C:\\x", "no macro"},
      // A folder whose name holds the macro is inserted once and the search goes on after it.
      {"[%InstallDir%]", "C:\\%InstallDir%", "[C:\\%InstallDir%]"},
      {"%InstallDir%%InstallDir%", "%installdir%", "%installdir%%installdir%"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExpandBasePackageMessage(c.message, c.folder), c.expected) << c.message;
}

class InstallCommandTest : public ::testing::Test {
protected:
  void SetUp() override {
    services_ = std::make_shared<testing::RecordingAppServices>();
    SetAppServices(services_);
    application_ = std::make_unique<TApplication>(front_end_);
    auto progress = std::make_unique<CountingProgressWindow>(front_end_);
    progress_ = progress.get();
    application_->CreateForms(std::move(progress));
    main_ = std::make_unique<TInstF1>(front_end_);
    InstF1 = main_.get();
    for (int32_t i = 0; i < EnvironmentCount; ++i) {
      InstF4->CheckListBox1().Add(EnvironmentNames[i]);
      InstF4->CheckListBox1().SetChecked(i, true);
    }
    ProgramFilesDir = "C:\\Program Files";
    MakeBasePackage("TF4");
    SetFolder("C:\\TF4");
  }
  void TearDown() override {
    main_.reset();
    application_.reset();
    ExcludedCodes.reset();
    SetupOptions = saved_options_;
    DetectEnvironments = saved_detect_;
    BasePackageFileCount = saved_base_count_;
    SetAppServices(nullptr);
  }

  std::string Host(const std::string& relative) { return root_.DriveC() + "/" + relative; }
  void MakeBasePackage(const std::string& folder) {
    mkdir(Host(folder).c_str(), 0777);
    for (int32_t i = 0; i < BasePackageFileCount; ++i) testing::WriteHostFile(Host(folder + "/" + BasePackageFiles[i]), "x");
  }
  void SetFolder(const std::string& folder) { main_->Control(MainControl::Edit1).SetCaption(folder); }
  std::shared_ptr<FaultInjectingFileSystem> InjectFaults() {
    auto faults = std::make_shared<FaultInjectingFileSystem>(CurrentFileSystem());
    SetFileSystem(faults);
    return faults;
  }
  std::string OnlyMessage(MsgDlgType type) {
    EXPECT_EQ(services_->messages.size(), 1u);
    if (services_->messages.size() != 1) return "";
    EXPECT_EQ(services_->messages[0].Type, type);
    EXPECT_EQ(services_->messages[0].Buttons, std::vector<MsgDlgBtn>{MsgDlgBtn::mbOK});
    return services_->messages[0].Text;
  }
  std::string ChooseOther() { return Utf8ToAnsi("Выберите другой каталог для установки ") + ProductNounGenitive + "."; }
  Codes Excluded() { return ExcludedCodes ? *ExcludedCodes : Codes{"<none>"}; }

  testing::WineRoot root_;
  testing::FakeFrontEnd front_end_;
  std::shared_ptr<testing::RecordingAppServices> services_;
  std::unique_ptr<TApplication> application_;
  std::unique_ptr<TInstF1> main_;
  CountingProgressWindow* progress_ = nullptr;
  decltype(SetupOptions) saved_options_ = SetupOptions;
  bool saved_detect_ = DetectEnvironments;
  int32_t saved_base_count_ = BasePackageFileCount;
};

TEST_F(InstallCommandTest, NonExistentFolderIsReportedByTheBasePackageMessageAndNotCreated) {
  SetFolder("C:\\Missing\\Deep\\");
  main_->Button4Click();
  EXPECT_EQ(OnlyMessage(MsgDlgType::mtError), ExpandBasePackageMessage(BasePackageMessage, "C:\\Missing\\Deep"));
  EXPECT_NE(OnlyMessage(MsgDlgType::mtError).find("\"C:\\Missing\\Deep\""), std::string::npos);
  EXPECT_FALSE(testing::HostExists(Host("Missing")));
  EXPECT_EQ(progress_->shows, 0);
}

TEST_F(InstallCommandTest, OneMissingBaseFileIsEnoughToRefuse) {
  unlink(Host("TF4/" + BasePackageFiles[BasePackageFileCount - 1]).c_str());
  main_->Button4Click();
  EXPECT_EQ(OnlyMessage(MsgDlgType::mtError), ExpandBasePackageMessage(BasePackageMessage, "C:\\TF4"));
  EXPECT_EQ(progress_->shows, 0);
}

TEST_F(InstallCommandTest, FolderWhoseNameHoldsTheMacroEndsTheMessage) {
  SetFolder("C:\\%InstallDir%");
  main_->Button4Click();
  EXPECT_NE(OnlyMessage(MsgDlgType::mtError).find("\"C:\\%InstallDir%\""), std::string::npos);
}

TEST_F(InstallCommandTest, EmptyFieldIsRefusedWithoutTouchingTheDisk) {
  for (const char* typed : {"", "\\"}) {
    services_->messages.clear();
    auto faults = InjectFaults();
    SetFolder(typed);
    main_->Button4Click();
    const std::string text = OnlyMessage(MsgDlgType::mtError);
    EXPECT_NE(text.find(Utf8ToAnsi("Не указан каталог")), std::string::npos) << typed;
    EXPECT_EQ(faults->OperationCount(), 0) << typed;
    EXPECT_EQ(faults->QueryCount(), 0) << typed;
    EXPECT_EQ(progress_->shows, 0);
    SetFileSystem(nullptr);
  }
}

TEST_F(InstallCommandTest, FolderThatCannotBeCreatedOrWrittenIsRefused) {
  const struct {
    const char* name;
    int32_t base_files;
    const char* folder;
    FaultKind kind;
    const char* pattern;
    std::string expected;
  } cases[] = {
      {"creation", 0, "C:\\New\\Sub", FaultKind::CreateDirectory, "Sub",
       Utf8ToAnsi("Невозможно создать каталог \"C:\\New\\Sub\".\r\n") + ChooseOther()},
      {"write test", 5, "C:\\TF4", FaultKind::Open, "$$tfile$.tmp",
       Utf8ToAnsi("Каталог \"C:\\TF4\" закрыт на запись.\r\n") + ChooseOther()},
  };
  for (const auto& c : cases) {
    services_->messages.clear();
    BasePackageFileCount = c.base_files;
    auto faults = InjectFaults();
    faults->FailMatching(c.kind, c.pattern);
    SetFolder(c.folder);
    main_->Button4Click();
    EXPECT_EQ(OnlyMessage(MsgDlgType::mtError), c.expected) << c.name;
    EXPECT_EQ(progress_->shows, 0) << c.name;
    EXPECT_FALSE(ExcludedCodes) << c.name;
    SetFileSystem(nullptr);
  }
}

TEST_F(InstallCommandTest, WriteTestReplacesAnExistingFileAndRemovesIt) {
  SetupOptions.SelectDialog = false;
  testing::WriteHostFile(Host("TF4/$$tfile$.tmp"), "old content");
  auto faults = InjectFaults();
  main_->Button4Click();
  EXPECT_TRUE(services_->messages.empty());
  EXPECT_FALSE(testing::HostExists(Host("TF4/$$tfile$.tmp")));
  bool created = false, deleted = false;
  for (const FaultRecord& r : faults->History()) {
    if (r.Path == "C:\\TF4\\$$tfile$.tmp" && r.Kind == FaultKind::Open) created = true;
    if (r.Path == "C:\\TF4\\$$tfile$.tmp" && r.Kind == FaultKind::DeleteFile) deleted = created;
  }
  EXPECT_TRUE(created && deleted);
  EXPECT_EQ(progress_->shows, 1);
}

TEST_F(InstallCommandTest, FailureToDeleteTheWriteTestFileDoesNotStop) {
  SetupOptions.SelectDialog = false;
  auto faults = InjectFaults();
  faults->FailMatching(FaultKind::DeleteFile, "$$tfile$.tmp");
  main_->Button4Click();
  EXPECT_TRUE(services_->messages.empty());
  EXPECT_EQ(progress_->shows, 1);
}

TEST_F(InstallCommandTest, DetectionDecidesWithoutTheDialog) {
  SetupOptions.SelectDialog = false;
  // An ExcludeDir entry naming an environment has no effect; one naming none is always excluded.
  SetupOptions.ExcludeDir[0] = "delphi7";
  SetupOptions.ExcludeDir[1] = "Docs";
  SetupOptions.ExcludeDirCount = 2;
  mkdir(Host("TF4/DELPHI7").c_str(), 0777);
  mkdir(Host("TF4/vc6").c_str(), 0777);  // folder names are found without regard to case
  SetFolder("C:\\TF4\\");
  main_->Button4Click();
  EXPECT_TRUE(services_->messages.empty());
  EXPECT_EQ(front_end_.environment_dialog->shows, 0);
  EXPECT_EQ(InstallDir, "C:\\TF4");
  EXPECT_EQ(Excluded(), (Codes{"DELPHI10", "LAZARUS1", "VCNET1", "VCNET2", "VCNET3", "VCNET4", "DOCS"}));
  EXPECT_EQ(progress_->shows, 1);
}

TEST_F(InstallCommandTest, WithoutDetectionTheMarksAsTheyStandDecide) {
  SetupOptions.SelectDialog = false;
  DetectEnvironments = false;
  InstF4->CheckListBox1().SetChecked(3, false);
  mkdir(Host("TF4/DELPHI7").c_str(), 0777);
  main_->Button4Click();
  EXPECT_EQ(Excluded(), (Codes{"VC6"}));
}

TEST_F(InstallCommandTest, TheDialogShowsDetectedMarksAndTheUsersChoiceCounts) {
  mkdir(Host("TF4/DELPHI7").c_str(), 0777);
  mkdir(Host("TF4/VCNET4").c_str(), 0777);
  front_end_.environment_dialog->answer = [](TInstF4& dialog) {
    dialog.ToggleByUser(7);  // off VCNET4
    dialog.ToggleByUser(2);  // on LAZARUS1
    return static_cast<int32_t>(mrOk);
  };
  main_->Button4Click();
  EXPECT_EQ(front_end_.environment_dialog->shows, 1);
  EXPECT_EQ(front_end_.environment_dialog->marks_when_shown,
            (std::vector<bool>{true, false, false, false, false, false, false, true}));
  EXPECT_EQ(Excluded(), (Codes{"DELPHI10", "VC6", "VCNET1", "VCNET2", "VCNET3", "VCNET4"}));
  EXPECT_EQ(progress_->shows, 1);
  // Step 11: below the main window, as wide, and the label.
  const TBounds main = main_->View().Bounds();
  const TBounds progress = InstF3->View().Bounds();
  EXPECT_EQ(progress.Left, main.Left);
  EXPECT_EQ(progress.Top, main.Top + main.Height);
  EXPECT_EQ(progress.Width, main.Width);
  EXPECT_EQ(InstF3->ProgressBar1().Bounds().Left, 5);
  EXPECT_EQ(InstF3->ProgressBar1().Bounds().Width, main.Width - 10);
  EXPECT_EQ(InstF3->Label1().Caption(), InstallTitle + Utf8ToAnsi(": чтение данных..."));
  EXPECT_TRUE(progress_->main_disabled);
}

TEST_F(InstallCommandTest, CancelStopsAndTheNextCommandRunsEveryCheckAndDetectionAgain) {
  mkdir(Host("TF4/VC6").c_str(), 0777);
  front_end_.environment_dialog->answer = [](TInstF4& dialog) {
    for (int32_t i = 0; i < 8; ++i) dialog.ToggleByUser(i);
    return static_cast<int32_t>(mrCancel);
  };
  main_->Button4Click();
  EXPECT_EQ(progress_->shows, 0);
  EXPECT_FALSE(ExcludedCodes);
  // The marks the user chose stay in the dialog.
  std::vector<bool> marks;
  for (int32_t i = 0; i < 8; ++i) marks.push_back(InstF4->CheckListBox1().Checked(i));
  EXPECT_EQ(marks, (std::vector<bool>{true, true, true, false, true, true, true, true}));
  // The next command finds the base package gone: refused before the dialog.
  unlink(Host("TF4/journal.dat").c_str());
  main_->Button4Click();
  EXPECT_EQ(services_->messages.size(), 1u);
  EXPECT_EQ(front_end_.environment_dialog->shows, 1);
  // Back in place: detection replaces the marks the user left, then OK.
  testing::WriteHostFile(Host("TF4/journal.dat"), "x");
  front_end_.environment_dialog->answer = [](TInstF4&) { return static_cast<int32_t>(mrOk); };
  main_->Button4Click();
  EXPECT_EQ(front_end_.environment_dialog->shows, 2);
  EXPECT_EQ(front_end_.environment_dialog->marks_when_shown,
            (std::vector<bool>{false, false, false, true, false, false, false, false}));
  EXPECT_EQ(Excluded(), (Codes{"DELPHI7", "DELPHI10", "LAZARUS1", "VCNET1", "VCNET2", "VCNET3", "VCNET4"}));
  EXPECT_EQ(progress_->shows, 1);
}

TEST_F(InstallCommandTest, AutoRunGivesTheCommandOnceThroughTheTimer) {
  for (bool auto_run : {false, true}) {
    SetupOptions.AutoRun = auto_run;
    main_->FormShow();
    EXPECT_EQ(main_->View().Timer1().Enabled(), auto_run);
    EXPECT_EQ(main_->View().Timer1().Interval(), 200);
  }
  SetFolder("C:\\Nowhere");
  main_->Timer1Timer();
  EXPECT_FALSE(main_->View().Timer1().Enabled());
  EXPECT_EQ(OnlyMessage(MsgDlgType::mtError), ExpandBasePackageMessage(BasePackageMessage, "C:\\Nowhere"));
}

TEST_F(InstallCommandTest, F1ShowsTheDescriptionElseTheLicenceElseNothing) {
  const std::string description = Utf8ToAnsi("Описание ") + ProductNounGenitive + Utf8ToAnsi(" [файл readme.txt]");
  const std::string licence = Utf8ToAnsi("Лицензионное соглашение [файл license.txt]");
  const struct {
    bool button2, button3;
    std::string caption;
  } cases[] = {{true, true, description}, {true, false, description}, {false, true, licence}, {false, false, ""}};
  for (const auto& c : cases) {
    front_end_.text_viewer->SetCaption("");
    main_->Control(MainControl::Button2).SetVisible(c.button2);
    main_->Control(MainControl::Button3).SetVisible(c.button3);
    main_->FormKeyDown(VK_F1, ssShift);
    EXPECT_EQ(front_end_.text_viewer->Caption(), c.caption);
  }
  front_end_.text_viewer->SetCaption("");
  main_->Control(MainControl::Button2).SetVisible(true);
  main_->FormKeyDown(VK_RETURN, ssNone);
  EXPECT_EQ(front_end_.text_viewer->Caption(), "");
}

TEST_F(InstallCommandTest, CloseQuestionDecidesAndAClosedWindowEndsTheProgramWithStatus2) {
  const std::string question =
      Utf8ToAnsi("Вы хотите выйти из программы,\r\nне выполнив установку ") + ProductNounGenitive + "?";
  ExcludedCodes = std::make_unique<Codes>(Codes{"X"});
  services_->answers = {mrNo};
  char esc = 27;
  main_->FormKeyPress(esc);  // Esc asks, "Нет" keeps the window
  ASSERT_EQ(services_->messages.size(), 1u);
  EXPECT_EQ(services_->messages[0].Text, question);
  EXPECT_EQ(services_->messages[0].Type, MsgDlgType::mtConfirmation);
  EXPECT_EQ(services_->messages[0].Buttons, (std::vector<MsgDlgBtn>{MsgDlgBtn::mbYes, MsgDlgBtn::mbNo}));
  EXPECT_TRUE(services_->terminations.empty());
  EXPECT_TRUE(ExcludedCodes);
  services_->answers = {mrYes};
  main_->Button5Click();
  EXPECT_EQ(services_->terminations, std::vector<int>{2});
  EXPECT_FALSE(ExcludedCodes);
}

TEST_F(InstallCommandTest, BrowseStartsFromTheFieldOrProgramFilesAndKeepsTheFieldOnCancel) {
  main_->Button1Click();  // C:\TF4 exists
  SetFolder("C:\\Nowhere");
  main_->Button1Click();  // does not: start from Program Files
  EXPECT_EQ(services_->folders_offered, (Codes{"C:\\TF4", "C:\\Program Files"}));
  EXPECT_EQ(main_->Control(MainControl::Edit1).Caption(), "C:\\Nowhere");
  services_->folder_choice = std::make_unique<std::string>("C:\\Chosen");
  main_->Button1Click();
  EXPECT_EQ(main_->Control(MainControl::Edit1).Caption(), "C:\\Chosen");
}

}  // namespace
}  // namespace corvina
