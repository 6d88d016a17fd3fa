// The console front end's dialogs: captions and numbered buttons in UTF-8, answers by number or by
// the button's text in any letter case, and the answer each question takes when the input has
// ended, so that nothing waits for input that cannot come. Also the folder prompt's question for
// a folder that does not exist, and the environment dialog's toggling and disabled OK.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/CodePage.h"
#include "support/WineRoot.h"
#include "ui/InstF4.h"
#include "ui/console/ConsoleFrontEnd.h"

namespace corvina {
namespace {

using B = MsgDlgBtn;

struct DialogCase {
  const char* input;
  std::vector<MsgDlgBtn> buttons;
  int32_t result;
};

TEST(ConsoleMessageDlg, TakesNumbersTextsAndEndingAnswers) {
  const DialogCase cases[] = {
      {"1\n", {B::mbYes, B::mbNo}, mrYes},
      {"2\n", {B::mbYes, B::mbNo}, mrNo},
      {"нет\n", {B::mbYes, B::mbNo}, mrNo},  // Cyrillic text in another case
      {"ДА\n", {B::mbYes, B::mbNo}, mrYes},
      {"  Повтор  \n", {B::mbRetry, B::mbIgnore}, mrRetry},
      {"7\nmaybe\nok\n", {B::mbOK}, mrOk},  // nonsense is asked again
      // The end of the input: the answer that ends the question.
      {"", {B::mbOK}, mrOk},
      {"", {B::mbYes, B::mbNo}, mrNo},
      {"", {B::mbOK, B::mbCancel}, mrCancel},
      {"", {B::mbYes, B::mbNo, B::mbCancel}, mrCancel},
      {"", {B::mbRetry, B::mbIgnore}, mrIgnore},
      {"x\n", {B::mbRetry, B::mbIgnore}, mrIgnore},
  };
  for (const DialogCase& c : cases) {
    std::istringstream in(c.input);
    std::ostringstream out;
    ConsoleFrontEnd console(in, out);
    EXPECT_EQ(console.MessageDlg(Utf8ToAnsi("Текст"), MsgDlgType::mtWarning, c.buttons), c.result) << c.input;
  }
}

TEST(ConsoleMessageDlg, PrintsCaptionTextAndNumberedButtonsInUtf8) {
  const struct {
    MsgDlgType type;
    const char* caption;
  } kinds[] = {{MsgDlgType::mtWarning, "Предупреждение"},
               {MsgDlgType::mtError, "Ошибка"},
               {MsgDlgType::mtInformation, "Информация"},
               {MsgDlgType::mtConfirmation, "Подтверждение"}};
  for (const auto& kind : kinds) {
    std::istringstream in("");
    std::ostringstream out;
    ConsoleFrontEnd console(in, out);
    console.MessageDlg(Utf8ToAnsi("Строка 1\r\nСтрока 2"), kind.type,
                       {B::mbYes, B::mbNo, B::mbOK, B::mbCancel, B::mbRetry, B::mbIgnore});
    EXPECT_NE(out.str().find(std::string(kind.caption) +
                             "\nСтрока 1\nСтрока 2\n  1. Да\n  2. Нет\n  3. OK\n  4. Отмена\n  5. Повтор\n  6. Далее\n"),
              std::string::npos)
        << out.str();
  }
}

TEST(ConsoleSelectDirectory, ConfirmsAFolderThatDoesNotExist) {
  testing::WineRoot root;
  const struct {
    const char* input;
    bool accepted;
    const char* folder;
    bool asked;
  } cases[] = {
      {"C:\\\n", true, "C:\\", false},           // exists: no question
      {"\nда\n", true, "C:\\Start", true},        // keep the shown name; it does not exist
      {"C:\\New\nда\n", true, "C:\\New", true},
      {"C:\\New\nнет\nОтмена\n", false, "C:\\Start", true},
      {"C:\\New\n", false, "C:\\Start", true},     // input ends at the question
      {"", false, "C:\\Start", false},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.input);
    std::ostringstream out;
    ConsoleFrontEnd console(in, out);
    std::string folder = "C:\\Start";
    EXPECT_EQ(console.SelectDirectory(folder), c.accepted) << c.input;
    EXPECT_EQ(folder, c.folder) << c.input;
    EXPECT_EQ(out.str().find("Указанный каталог не существует. Создать его?") != std::string::npos, c.asked)
        << c.input;
    EXPECT_FALSE(testing::HostExists(root.DriveC() + "/New")) << c.input;
  }
}

TEST(ConsoleEnvironmentDialog, TogglesByNumberAndRefusesADisabledOk) {
  std::istringstream in("1\nOK\n1\nok\n");
  std::ostringstream out;
  ConsoleFrontEnd console(in, out);
  TInstF4 dialog(console);
  dialog.CheckListBox1().Add("Alpha");
  dialog.CheckListBox1().SetChecked(0, true);
  // "1" clears the only mark, which disables OK; "OK" is refused; "1" marks it again; "ok" ends.
  EXPECT_EQ(dialog.ShowModal(), mrOk);
  EXPECT_TRUE(dialog.CheckListBox1().Checked(0));
  EXPECT_NE(out.str().find("[ ] Alpha"), std::string::npos);
  EXPECT_NE(out.str().find("OK (недоступно)"), std::string::npos);
  // The end of the input cancels.
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
}

}  // namespace
}  // namespace corvina
