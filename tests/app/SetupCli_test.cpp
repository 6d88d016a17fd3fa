// The built setup program end to end in console mode: copied into a temporary Wine-style root
// (WINEPREFIX), with no display variables, driven through standard input and read from standard
// output. Covers the missing data volume, leaving through Exit and the close question, and an
// unattended start whose base-package check fails, after which the program idles until the input
// ends and then leaves with its ending answers.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/WineRoot.h"

namespace corvina {
namespace {

struct RunResult {
  int status = -1;
  std::string output;  // UTF-8
};

class SetupCliTest : public ::testing::Test {
protected:
  void SetUp() override {
    folder_ = root_.DriveC() + "/inst";
    mkdir(folder_.c_str(), 0777);
    const std::string copy = "cp '" CORVINA_BINARY_DIR "/setup' '" + folder_ + "/setup'";
    ASSERT_EQ(std::system(copy.c_str()), 0);
    mkdir((root_.DriveC() + "/Program Files").c_str(), 0777);
  }

  // Runs the copy with the given standard input; a time limit keeps a hanging program from
  // hanging the test.
  RunResult Run(const std::string& input) {
    testing::WriteHostFile(folder_ + "/input.txt", input);
    const std::string command = "cd '" + folder_ + "' && env -u DISPLAY -u WAYLAND_DISPLAY WINEPREFIX='" +
                                root_.Root() + "' timeout 60 ./setup < input.txt > output.txt 2>&1";
    RunResult result;
    const int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.output = testing::ReadHostFile(folder_ + "/output.txt").value_or("");
    return result;
  }
  void Put(const std::string& name, const std::string& content) { testing::WriteHostFile(folder_ + "/" + name, content); }

  testing::WineRoot root_;
  std::string folder_;
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(SetupCliTest, MissingDataVolumeEndsAfterOneMessageWithStatus2) {
  const RunResult run = Run("");
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_TRUE(Contains(run.output, "Ошибка\nНе найден файл setup.dat.\nВыполнить установку задачника Corvina невозможно."))
      << run.output;
  // The main window never came up: no commands were offered.
  EXPECT_FALSE(Contains(run.output, "Установка\n")) << run.output;
}

TEST_F(SetupCliTest, ExitAndYesLeaveWithoutInstalling) {
  Put("setup.dat", "not read before the installation");
  const RunResult run = Run("Выход\nда\n");
  EXPECT_EQ(run.status, 2) << run.output;
  for (const char* part : {"=== Corvina Install - Программа установки ===", "Corvina\n",
                           "Задачник будет установлен в следующем каталоге: C:\\Program Files\\TF4",
                           "1. Обзор...", "Установка", "Выход", "Подтверждение\nВы хотите выйти из программы,\nне "
                           "выполнив установку задачника?\n  1. Да\n  2. Нет"})
    EXPECT_TRUE(Contains(run.output, part)) << part << "\n" << run.output;
  // Without readme.txt and license.txt their commands are gone, and the others keep their numbers.
  EXPECT_FALSE(Contains(run.output, "Лицензионное соглашение")) << run.output;
  EXPECT_TRUE(Contains(run.output, "  4. Установка\n  5. Выход\n")) << run.output;
}

TEST_F(SetupCliTest, DescriptionCommandPrintsTheReflowedReadme) {
  Put("setup.dat", "x");
  Put("readme.txt", "Corvina\r\n   adds tasks\r\n\r\n- one\r\n");
  const RunResult run = Run("2\n");
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_TRUE(Contains(run.output, "=== Описание задачника [файл readme.txt] ===\nCorvina adds tasks\n\n- one\n"))
      << run.output;
}

TEST_F(SetupCliTest, AnsweringNoKeepsTheWindowUntilTheInputEnds) {
  Put("setup.dat", "x");
  const RunResult run = Run("5\n2\n");
  EXPECT_EQ(run.status, 2) << run.output;
  // Asked twice: once answered "Нет", once taken as "Да" at the end of the input.
  size_t asked = 0;
  for (size_t at = run.output.find("Вы хотите выйти"); at != std::string::npos;
       at = run.output.find("Вы хотите выйти", at + 1))
    ++asked;
  EXPECT_EQ(asked, 2u) << run.output;
}

TEST_F(SetupCliTest, AutoRunWithoutTheBasePackageReportsTheFolderThenIdles) {
  Put("setup.dat", "x");
  Put("setup.ini", "[Main]\r\nAutoRun=1\r\nInstallDir=C:\\Nowhere\\\r\n");
  const RunResult run = Run("");
  EXPECT_EQ(run.status, 2) << run.output;
  const size_t message = run.output.find("Ошибка\nДля успешной установки задачника Corvina");
  ASSERT_NE(message, std::string::npos) << run.output;
  EXPECT_TRUE(Contains(run.output, "В каталоге \"C:\\Nowhere\" базовый вариант задачника не найден.")) << run.output;
  // Then the main window waits for a command; the input's end gives Exit and the close question.
  const size_t question = run.output.find("Вы хотите выйти из программы", message);
  EXPECT_NE(question, std::string::npos) << run.output;
  EXPECT_FALSE(testing::HostExists(root_.DriveC() + "/Nowhere"));
}

}  // namespace
}  // namespace corvina
