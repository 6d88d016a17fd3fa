// The text viewer: the reflow of hard-wrapped lines into memo lines, the end of a line (CR LF or a
// lone LF, no final break needed), and ShowTextFile's captions, its silence for a missing file and
// its error for a file that exists but cannot be read.
#include <gtest/gtest.h>

#include "app/Folders.h"
#include "app/SetupDefinition.h"
#include "platform/CodePage.h"
#include "platform/FaultInjectingFileSystem.h"
#include "support/UiDoubles.h"
#include "support/WineRoot.h"
#include "ui/Application.h"

namespace corvina {
namespace {

using Lines = std::vector<std::string>;

struct ReflowCase {
  const char* name;
  Lines file;
  Lines memo;
};

const ReflowCase kReflowCases[] = {
    {"ordinary lines join with one blank, later indentation dropped",
     {"first", "  second", "third"}, {"first second third"}},
    {"a paragraph keeps the indentation of its first line",
     {"   indented", "   more"}, {"   indented more"}},
    {"a dash line starts a paragraph and takes its continuation",
     {"- item one", "  continued", "- item two"}, {"- item one continued", "- item two"}},
    {"a star line starts a paragraph", {"text", "* star", "tail"}, {"text", "* star tail"}},
    {"a dash after blanks still breaks", {"text", "   - dash"}, {"text", "   - dash"}},
    {"COPYRIGHT in any case breaks, only nine characters count",
     {"text", "  copyrighted by us", "Copyright 2010", "end"},
     {"text", "  copyrighted by us", "Copyright 2010 end"}},
    {"copyrigh (eight letters) does not break", {"text", "copyrigh x"}, {"text copyrigh x"}},
    {"one empty line between paragraphs gives one empty memo line",
     {"a", "", "b"}, {"a", "", "b"}},
    {"two empty lines give two empty memo lines", {"a", "", "", "b"}, {"a", "", "", "b"}},
    {"a file whose only line is empty shows one empty line", {""}, {""}},
    {"a line of blanks adds one blank to the pending paragraph", {"a", "   ", "b"}, {"a  b"}},
    {"a line of blanks may start a paragraph", {"   ", "b"}, {"    b"}},
    {"tabs and control characters are trimmed for joining", {"a", "\tb\t"}, {"a b"}},
    {"Cyrillic text is joined unchanged", {"\xE0\xE1\xE2", " \xE3\xE4"}, {"\xE0\xE1\xE2 \xE3\xE4"}},
    {"no lines, no memo", {}, {}},
};

class ReflowTest : public ::testing::TestWithParam<ReflowCase> {};

TEST_P(ReflowTest, MakesTheExpectedMemoLines) {
  EXPECT_EQ(ReflowTextLines(GetParam().file), GetParam().memo);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReflowTest, ::testing::ValuesIn(kReflowCases),
                         [](const ::testing::TestParamInfo<ReflowCase>& info) {
                           return "Case" + std::to_string(info.index);
                         });

TEST(SplitTextLines, CrLfAndLoneLfEndALineAndTheLastLineNeedsNoBreak) {
  const struct {
    std::string content;
    Lines lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb", {"a", "b"}},
      {"a\r\n\r\nb\n\n", {"a", "", "b", ""}},
      {"\n", {""}},
      {"a\rb\n", {"a\rb"}},  // a lone CR is no line end
      {"a\r\r\nb", {"a\r", "b"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitTextLines(c.content), c.lines) << ::testing::PrintToString(c.content);
}

class ShowTextFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    services_ = std::make_shared<testing::RecordingAppServices>();
    SetAppServices(services_);
    mkdir((root_.DriveC() + "/setup").c_str(), 0777);
    StartDir = "C:\\setup";
    application_ = std::make_unique<TApplication>(front_end_);
    application_->CreateForms();
  }
  void TearDown() override {
    application_.reset();
    SetAppServices(nullptr);
  }
  std::string HostFile(const std::string& name) { return root_.DriveC() + "/setup/" + name; }

  testing::WineRoot root_;
  testing::FakeFrontEnd front_end_;
  std::shared_ptr<testing::RecordingAppServices> services_;
  std::unique_ptr<TApplication> application_;
};

TEST_F(ShowTextFileTest, ShowsEitherFileWithItsCaptionReflowed) {
  testing::WriteHostFile(HostFile("readme.txt"), "Corvina\r\n  adds tasks.\r\n\r\n- one\n- two");
  testing::WriteHostFile(HostFile("license.txt"), "Copyright (c)\nall rights");
  InstF2->ShowTextFile(1);
  EXPECT_EQ(front_end_.text_viewer->Caption(),
            Utf8ToAnsi("Описание ") + ProductNounGenitive + Utf8ToAnsi(" [файл readme.txt]"));
  EXPECT_EQ(front_end_.text_viewer->shown_lines, (Lines{"Corvina adds tasks.", "", "- one", "- two"}));
  InstF2->ShowTextFile(2);
  EXPECT_EQ(front_end_.text_viewer->Caption(), Utf8ToAnsi("Лицензионное соглашение [файл license.txt]"));
  // Each opening starts the memo afresh.
  EXPECT_EQ(front_end_.text_viewer->shown_lines, (Lines{"Copyright (c) all rights"}));
  EXPECT_EQ(front_end_.text_viewer->shows, 2);
  EXPECT_TRUE(services_->messages.empty());
}

TEST_F(ShowTextFileTest, MissingFileAndOtherKindsShowNothingAndSayNothing) {
  InstF2->ShowTextFile(1);
  // The caption is set before the file is looked for.
  EXPECT_EQ(front_end_.text_viewer->Caption(),
            Utf8ToAnsi("Описание ") + ProductNounGenitive + Utf8ToAnsi(" [файл readme.txt]"));
  testing::WriteHostFile(HostFile("readme.txt"), "text");
  InstF2->ShowTextFile(0);
  InstF2->ShowTextFile(3);
  EXPECT_EQ(front_end_.text_viewer->shows, 0);
  EXPECT_TRUE(services_->messages.empty());
}

TEST_F(ShowTextFileTest, UnreadableFileGivesAnErrorAndTheViewerStaysHidden) {
  testing::WriteHostFile(HostFile("license.txt"), "text");
  auto faults = std::make_shared<FaultInjectingFileSystem>(CurrentFileSystem());
  faults->FailMatching(FaultKind::Open, "license.txt");
  SetFileSystem(faults);
  InstF2->ShowTextFile(2);
  EXPECT_EQ(front_end_.text_viewer->shows, 0);
  ASSERT_EQ(services_->messages.size(), 1u);
  EXPECT_EQ(services_->messages[0].Type, MsgDlgType::mtError);
  EXPECT_NE(services_->messages[0].Text.find("C:\\setup\\license.txt"), std::string::npos);
}

}  // namespace
}  // namespace corvina
