// The compiled setup definition: every list's capacity is enforced (the last slot can be stored,
// one past it or a negative index raises ERangeError), the values after filling, the shortcut rows
// composed from the folders as they were when the definition was filled, and a refill that puts
// back what the engine grew.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/Folders.h"
#include "app/SetupDefinition.h"
#include "platform/CodePage.h"
#include "platform/Exception.h"

namespace corvina {
namespace {

class SetupDefinitionTest : public ::testing::Test {
protected:
  void SetUp() override {
    saved_system_ = SystemDir;
    saved_programs_ = ProgramsDir;
  }
  void TearDown() override {
    SystemDir = saved_system_;
    ProgramsDir = saved_programs_;
    FillSetupDefinition();
  }
  std::string saved_system_, saved_programs_;
};

TEST_F(SetupDefinitionTest, EveryListHoldsItsCapacityAndRefusesAnIndexOutsideIt) {
  TSetupOptions options;
  const struct {
    const char* name;
    int32_t capacity;
    std::function<void(int32_t)> store;
  } lists[] = {
      {"UninstallTexts", 4, [](int32_t i) { UninstallTexts[i] = "x"; }},
      {"BasePackageFiles", 101, [](int32_t i) { BasePackageFiles[i] = "x"; }},
      {"PreservedFiles", 101, [](int32_t i) { PreservedFiles[i] = "x"; }},
      {"CreatedDirs", 101, [](int32_t i) { CreatedDirs[i] = "x"; }},
      {"ExtraUninstallEntries", 51, [](int32_t i) { ExtraUninstallEntries[i] = "x"; }},
      {"Shortcuts", 51, [](int32_t i) { Shortcuts[i].LinkName = "x"; }},
      {"FileAssociations", 21, [](int32_t i) { FileAssociations[i].IconIndex = 1; }},
      {"EnvironmentNames", 21, [](int32_t i) { EnvironmentNames[i] = "x"; }},
      {"EnvironmentCodes", 21, [](int32_t i) { EnvironmentCodes[i] = "x"; }},
      {"ExcludeDir", 21, [&options](int32_t i) { options.ExcludeDir[i] = "x"; }},
  };
  for (const auto& list : lists) {
    SCOPED_TRACE(list.name);
    EXPECT_NO_THROW(list.store(0));
    EXPECT_NO_THROW(list.store(list.capacity - 1));
    EXPECT_THROW(list.store(list.capacity), ERangeError);
    EXPECT_THROW(list.store(-1), ERangeError);
  }
  // Reading outside the capacity is refused the same way.
  const TFixedList<std::string, 4>& texts = UninstallTexts;
  EXPECT_THROW((void)texts[4], ERangeError);
  try {
    CreatedDirs[101] = "x";
    ADD_FAILURE() << "an index past the capacity was stored";
  } catch (const ERangeError& e) {
    EXPECT_STREQ(e.what(), SRangeError);
  }
}

TEST_F(SetupDefinitionTest, CountsAndSwitchesHoldThePackagesValues) {
  FillSetupDefinition();
  const struct {
    const char* name;
    int32_t value;
    int32_t expected;
  } counts[] = {
      {"VolumeCount", VolumeCount, 1},
      {"BasePackageFileCount", BasePackageFileCount, 5},
      {"PreservedFileCount", PreservedFileCount, 0},
      {"CreatedDirCount", CreatedDirCount, 2},
      {"ExtraUninstallCount", ExtraUninstallCount, 0},
      {"ShortcutCount", ShortcutCount, 4},
      {"FileAssociationCount", FileAssociationCount, 0},
      {"EnvironmentCount", EnvironmentCount, 8},
      {"EnvironmentListHeight", EnvironmentListHeight, 185},
  };
  for (const auto& c : counts) EXPECT_EQ(c.value, c.expected) << c.name;
  EXPECT_FALSE(AllowEmptyEnvironmentChoice);
  EXPECT_TRUE(DetectEnvironments);
  EXPECT_EQ(PreviousVersionDir, "");
  EXPECT_EQ(SelfCopyName, "");
  // Lists switched off by their count still hold their entries.
  EXPECT_EQ(PreservedFiles[2], "WESTMERE.INI");
  EXPECT_EQ(ExtraUninstallEntries[1], "%InstallDir%\\Fernhall.ini");
  EXPECT_EQ(BasePackageFiles[0], "journal.dat");
  EXPECT_EQ(BasePackageFiles[4], "TF4Res.exe");
  EXPECT_EQ(CreatedDirs[1], "%InstallDir%\\LIB");
}

TEST_F(SetupDefinitionTest, TextsAreStoredInCodePage1251AndCompositesAreComposed) {
  FillSetupDefinition();
  EXPECT_EQ(Version, "1.1");
  EXPECT_EQ(ProductName, "Corvina");
  // One byte a letter: the noun was converted from UTF-8.
  EXPECT_EQ(ProductNounGenitive, "\xE7\xE0\xE4\xE0\xF7\xED\xE8\xEA\xE0");
  EXPECT_EQ(ProductNoun, Utf8ToAnsi("задачник"));
  EXPECT_EQ(MenuGroup, "\\Corvina");
  EXPECT_EQ(UninstallLogName, "corvina1_0.log");
  EXPECT_EQ(SetupProgram, "%InstallDir%\\tf4setup.exe");
  EXPECT_EQ(SetupWorkDir, "%InstallDir%");
  EXPECT_EQ(SetupParams, "");
  EXPECT_EQ(SetupNote.rfind("\r\n" + Utf8ToAnsi("Для завершения установки"), 0), 0u);
  EXPECT_EQ(UninstallTexts[0], Utf8ToAnsi("Удаление Corvina"));
  EXPECT_EQ(UninstallTexts[3], Utf8ToAnsi("Задачник Corvina удален, за исключением следующих файлов:"));
  EXPECT_EQ(PreviousVersionMessage,
            Utf8ToAnsi("Перед установкой данной версии задачника Corvina необходимо удалить ранее установленную "
                       "версию (команда \"Пуск | Программы | Tallyframe 4 | Удаление Tallyframe 4\").\r\n"));
  EXPECT_EQ(BasePackageMessage,
            Utf8ToAnsi("Для успешной установки задачника Corvina необходимо, чтобы в указанном каталоге уже был "
                       "установлен базовый вариант задачника Tallyframe версии не ниже 4.9.\r\n"
                       "В каталоге \"%InstallDir%\" базовый вариант задачника не найден."));
  EXPECT_EQ(ComposeInstallTitle(), Utf8ToAnsi("Установка Corvina"));
  EXPECT_EQ(EnvironmentDialogCaption, Utf8ToAnsi("Выбор программных сред"));
  const std::string indent = "\r\n          ";
  EXPECT_EQ(EnvironmentDialogHeader, Utf8ToAnsi(indent + "Выберите программные среды в которых будет" + indent +
                                                "использоваться задачник Corvina (по умолчанию" + indent +
                                                "выбраны все среды, обнаруженные в базовом" + indent +
                                                "варианте задачника Tallyframe):\r\n"));
}

TEST_F(SetupDefinitionTest, EnvironmentTableInOrder) {
  FillSetupDefinition();
  const char* const expected[][2] = {
      {"Borland Delphi 7", "DELPHI7"},           {"Borland Delphi 2006", "DELPHI10"},
      {"Free Pascal Lazarus 0.9", "LAZARUS1"},   {"Microsoft Visual C++ 6", "VC6"},
      {"Microsoft Visual C++ 2003", "VCNET1"},   {"Microsoft Visual C++ 2005", "VCNET2"},
      {"Microsoft Visual C++ 2008", "VCNET3"},   {"Microsoft Visual C++ 2010", "VCNET4"},
  };
  ASSERT_EQ(EnvironmentCount, 8);
  for (int32_t i = 0; i < EnvironmentCount; ++i) {
    EXPECT_EQ(EnvironmentNames[i], expected[i][0]) << i;
    EXPECT_EQ(EnvironmentCodes[i], expected[i][1]) << i;
  }
  EXPECT_EQ(EnvironmentNames[8], "");
}

TEST_F(SetupDefinitionTest, ShortcutRowsAreComposedFromTheFoldersAtFillTime) {
  const std::string args = "\"%InstallDir%\\UNINST\\corvina1_0.log\"";
  const struct {
    const char* programs;
    const char* group;  // the Folder of rows 0, 1 and 3
  } cases[] = {
      {"C:\\users\\u\\Start Menu\\Programs", "C:\\users\\u\\Start Menu\\Programs\\Corvina"},
      {"", "\\Corvina"},  // the shell reported no Programs folder
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.programs);
    SystemDir = "C:\\windows\\system32";
    ProgramsDir = c.programs;
    FillSetupDefinition();
    ProgramsDir = "C:\\elsewhere";  // later changes are not followed
    SystemDir = "D:\\other";
    const TLink expected[] = {
        {"%InstallDir%\\Corvina\\Corvina.chm", "", "%InstallDir%", c.group, "Corvina Info"},
        {"%InstallDir%\\Corvina\\readme.txt", "", "%InstallDir%", c.group, "Corvina Readme"},
        {"C:\\windows\\system32\\purgekit.exe", args, "C:\\windows\\system32", "%InstallDir%\\UNINST",
         "CorvinaUninstall"},
        {"C:\\windows\\system32\\purgekit.exe", args, "C:\\windows\\system32", c.group, "Corvina Uninstall"},
    };
    for (int32_t row = 0; row < 4; ++row) {
      SCOPED_TRACE(row);
      EXPECT_EQ(Shortcuts[row].Target, expected[row].Target);
      EXPECT_EQ(Shortcuts[row].Arguments, expected[row].Arguments);
      EXPECT_EQ(Shortcuts[row].WorkDir, expected[row].WorkDir);
      EXPECT_EQ(Shortcuts[row].Folder, expected[row].Folder);
      EXPECT_EQ(Shortcuts[row].LinkName, expected[row].LinkName);
    }
  }
}

TEST_F(SetupDefinitionTest, RefillPutsBackWhatTheEngineGrewOrExpanded) {
  FillSetupDefinition();
  CreatedDirs[CreatedDirCount++] = "C:\\TF4\\NEW";
  CreatedDirs[0] = "C:\\TF4\\MPICH1";
  FillSetupDefinition();
  EXPECT_EQ(CreatedDirCount, 2);
  EXPECT_EQ(CreatedDirs[0], "%InstallDir%\\MPICH1");
  EXPECT_EQ(CreatedDirs[2], "");
}

TEST(SetupOptionsDefaults, HoldFromTheStart) {
  const TSetupOptions options;
  EXPECT_EQ(options.InstallDir, "");
  EXPECT_FALSE(options.AutoRun);
  EXPECT_TRUE(options.SelectDialog);
  EXPECT_TRUE(options.FinalMessage);
  EXPECT_TRUE(options.StartMenu);
  EXPECT_TRUE(options.Desktop);
  EXPECT_TRUE(options.Run);
  EXPECT_EQ(options.Params, "");
  EXPECT_EQ(options.ExcludeDirCount, 0);
  EXPECT_EQ(MaxExcludeDirCount, 20);
}

}  // namespace
}  // namespace corvina
