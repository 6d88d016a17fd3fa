// The final report composed from the run's failure texts: the success text with and without the
// group sentence and the post-install note, and with problems the lists in their order, the group
// line in place of the failed links, and the closing advice; also the list wrapping and the group
// name taken from MenuGroup.
#include <gtest/gtest.h>

#include <string>

#include "app/SetupDefinition.h"
#include "install/Completion.h"
#include "platform/CodePage.h"

namespace corvina {
namespace {

class InstallCompletionTest : public ::testing::Test {
protected:
  void SetUp() override {
    saved_options_ = SetupOptions;
    FillSetupDefinition();
    SetupNote = "\r\nNOTE";
  }
  void TearDown() override {
    SetupOptions = saved_options_;
    FillSetupDefinition();
  }
  TSetupOptions saved_options_;
};

const std::string kGroup =
    "Ярлыки задачника Corvina помещены в группу \"Corvina\" раздела \"Программы\" меню \"Пуск\".";
const std::string kAdvice =
    "Из-за указанных проблем задачник Corvina может работать не вполне корректно.\r\nРекомендуется перезагрузить "
    "компьютер и повторно выполнить установку задачника Corvina.";

TEST_F(InstallCompletionTest, FinalMessageForEachOutcome) {
  struct Case {
    const char* what;
    TFailureTexts failures;
    bool will_run;
    bool start_menu;
    int32_t shortcuts;
    std::string expected;
  };
  const std::string group_line = "Не удалось создать программную группу \"Corvina\".\r\n";
  const Case cases[] = {
      {"success, program to start", {}, true, true, 4,
       "Установка задачника Corvina успешно завершена.\r\n" + kGroup + "\r\nNOTE"},
      {"success, nothing to start", {}, false, true, 4, "Установка задачника Corvina успешно завершена.\r\n" + kGroup},
      {"success, Start menu off", {}, true, false, 4, "Установка задачника Corvina успешно завершена.\r\nNOTE"},
      {"success, no shortcuts", {}, false, true, 0, "Установка задачника Corvina успешно завершена."},
      {"one file not replaced", {"\"C:\\TF4\\a.txt\", ", "", "", ""}, false, true, 4,
       "Установка задачника Corvina завершена.\r\n" + kGroup +
           "\r\nНе удалось обновить следующие файлы: \r\n\"C:\\TF4\\a.txt\".\r\n" + kAdvice},
      {"every list, Start menu off", {"\"u1\", \"u2\", ", "\"c1\", ", "\"l1\", ", ""}, true, false, 4,
       "Установка задачника Corvina завершена.\r\nНе удалось обновить следующие файлы: \r\n\"u1\", \"u2\".\r\n"
       "Не удалось создать следующие файлы: \r\n\"c1\".\r\nНе удалось создать следующие ярлыки: \r\n\"l1\".\r\n" +
           kAdvice},
      {"group not made: its line replaces the failed links", {"", "\"c1\", ", "\"l1\", ", group_line}, true, true, 4,
       "Установка задачника Corvina завершена.\r\nНе удалось создать следующие файлы: \r\n\"c1\".\r\n" + group_line +
           kAdvice},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetupOptions.StartMenu = c.start_menu;
    ShortcutCount = c.shortcuts;
    TFailureTexts failures = c.failures;
    for (std::string* text : {&failures.UpdateFailures, &failures.CreateFailures, &failures.LinkFailures,
                              &failures.GroupFailure})
      *text = Utf8ToAnsi(*text);
    EXPECT_EQ(AnsiToUtf8(ComposeFinalMessage(failures, c.will_run)), c.expected);
  }
}

TEST_F(InstallCompletionTest, ListsLoseTheirLastSeparatorAndGroupNamesLoseTheBackslash) {
  EXPECT_EQ(WrapFailureList("H: ", ""), "");
  EXPECT_EQ(WrapFailureList("H: ", "\"a\", "), "H: \"a\".\r\n");
  EXPECT_EQ(WrapFailureList("H: ", "\"a\", \"b\", "), "H: \"a\", \"b\".\r\n");
  MenuGroup = "\\Corvina";
  EXPECT_EQ(GroupName(), "Corvina");
  MenuGroup = "\\" + std::string(150, 'g');
  EXPECT_EQ(GroupName(), std::string(100, 'g'));
}

}  // namespace
}  // namespace corvina
