// Wine's registry files: reading and writing values, the file's escapes, keys matched without
// regard to case, and every key and line the program did not touch kept as it was.
#include "platform/Registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/CodePage.h"
#include "support/WineRoot.h"

namespace corvina {
namespace {

using testing::ReadHostFile;
using testing::WineRoot;
using testing::WriteHostFile;

std::string A(const char* utf8) { return Utf8ToAnsi(utf8); }

// A system.reg as Wine writes it, with the kinds of lines a real one has.
const char* const kSystemReg =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to \\\\Machine\n"
    "\n"
    "#arch=win32\n"
    "\n"
    "[Software\\\\Classes\\\\.txt] 1600000000\n"
    "#time=1d6a1b2c3d4e5f6\n"
    "@=\"txtfile\"\n"
    "\"Content Type\"=\"text/plain\"\n"
    "\n"
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1600000001\n"
    "#time=1d6a1b2c3d4e5f7\n"
    "\"CommonFilesDir\"=\"C:\\\\Program Files\\\\Common Files\"\n"
    "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n"
    "\"ProgramFilesPath\"=str(2):\"%ProgramFiles%\"\n"
    "\"Binary\"=hex:01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\n"
    "  17,18,19,1a\n"
    "\"Count\"=dword:0000002a\n"
    "\n"
    "[Software\\\\Wine\\\\Drives] 1600000002\n"
    "#time=1d6a1b2c3d4e5f8\n"
    "\"d:\"=\"cdrom\"\n"
    "\n"
    "[Software\\\\\\x41a\\x43e\\x440\\x432\\x438\\x43d\\x430] 1600000003\n"
    "#time=1d6a1b2c3d4e5f9\n"
    "\"\\x418\\x43c\\x44f\"=\"\\x417\\x43d\\x430\\x447\\x435\\x43d\\x438\\x435\"\n";

class RegistryTest : public ::testing::Test {
protected:
  std::string SystemReg() const { return root_.Root() + "/system.reg"; }
  std::string UserReg() const { return root_.Root() + "/user.reg"; }
  WineRoot root_;
};

// The text of one key's section ("[Name] ..." up to the next section), or "" when absent.
std::string Section(const std::string& file, const std::string& header_start) {
  size_t at = file.find("\n" + header_start);
  if (at == std::string::npos) return "";
  size_t end = file.find("\n[", at + 1);
  return file.substr(at + 1, end == std::string::npos ? std::string::npos : end - at);
}

TEST_F(RegistryTest, AMissingFileIsAnEmptyHive) {
  TRegistry registry;
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(registry.KeyExists("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion"));
  EXPECT_FALSE(registry.OpenKey("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", false));
  EXPECT_FALSE(registry.HasCurrentKey());
  EXPECT_EQ(registry.ReadString("ProgramFilesDir"), "");
  EXPECT_THROW(registry.WriteString("x", "y"), ERegistryException);  // no key open
  EXPECT_FALSE(ReadHostFile(SystemReg()).has_value());              // reading created nothing
}

TEST_F(RegistryTest, ValuesAreFoundWithoutRegardToCase) {
  WriteHostFile(SystemReg(), kSystemReg);
  TRegistry registry;
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(registry.KeyExists("\\software\\MICROSOFT\\windows\\CurrentVersion"));
  ASSERT_TRUE(registry.OpenKey("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", false));
  EXPECT_EQ(registry.CurrentPath(), "SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
  EXPECT_TRUE(registry.ValueExists("programfilesdir"));
  EXPECT_EQ(registry.ReadString("PROGRAMFILESDIR"), "C:\\Program Files");
  EXPECT_EQ(registry.ReadString("ProgramFilesPath"), "%ProgramFiles%");  // expandable text is text too
  EXPECT_FALSE(registry.ValueExists("Missing"));
  EXPECT_EQ(registry.ReadString("Missing"), "");
  EXPECT_THROW(registry.ReadString("Count"), ERegistryException);
  EXPECT_THROW(registry.ReadString("Binary"), ERegistryException);

  // Cyrillic key and value names by the same rules; the default value is "".
  ASSERT_TRUE(registry.OpenKey(A("\\Software\\КОРВИНА"), false));
  EXPECT_EQ(registry.ReadString(A("ИМЯ")), A("Значение"));
  registry.SetRootKey(HKEY_CLASSES_ROOT);
  EXPECT_FALSE(registry.HasCurrentKey());  // a new root closes the key
  ASSERT_TRUE(registry.OpenKey(".TXT", false));
  EXPECT_EQ(registry.ReadString(""), "txtfile");
}

TEST_F(RegistryTest, KeysWithOnlySubkeysExistAndPathsResolveLikeTheWindowsClass) {
  WriteHostFile(SystemReg(), kSystemReg);
  TRegistry registry;
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_TRUE(registry.KeyExists("Software\\Wine"));  // written only as a parent
  EXPECT_TRUE(registry.KeyExists("Software"));
  EXPECT_FALSE(registry.KeyExists("Software\\Win"));  // a prefix of a name is not the key
  ASSERT_TRUE(registry.OpenKey("\\Software\\Wine", false));
  ASSERT_TRUE(registry.OpenKey("Drives", false));  // relative to the open key
  EXPECT_EQ(registry.CurrentPath(), "Software\\Wine\\Drives");
  EXPECT_EQ(registry.ReadString("D:"), "cdrom");
  ASSERT_TRUE(registry.OpenKey("\\Software\\Classes", false));  // a leading "\" starts at the root
  EXPECT_EQ(registry.CurrentPath(), "Software\\Classes");
  EXPECT_FALSE(registry.OpenKeyReadOnly("\\Software\\Nothing"));
  ASSERT_TRUE(registry.OpenKeyReadOnly("\\Software\\Wine\\Drives"));
  EXPECT_THROW(registry.WriteString("e:", "cdrom"), ERegistryException);
}

TEST_F(RegistryTest, WritingKeepsEveryOtherKeyAndLineAsItWas) {
  WriteHostFile(SystemReg(), kSystemReg);
  {
    TRegistry registry;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(registry.OpenKey("\\software\\microsoft\\windows\\currentversion", false));
    registry.WriteString("PROGRAMFILESDIR", "D:\\Program Files");
  }
  std::string original = kSystemReg;
  std::string saved = *ReadHostFile(SystemReg());
  for (const char* untouched : {"[Software\\\\Classes\\\\.txt]", "[Software\\\\Wine\\\\Drives]", "[Software\\\\\\x41a"})
    EXPECT_EQ(Section(saved, untouched), Section(original, untouched)) << untouched;
  EXPECT_EQ(saved.substr(0, saved.find("\n[")), original.substr(0, original.find("\n[")));

  std::string changed = Section(saved, "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion]");
  EXPECT_NE(changed.find("\"ProgramFilesDir\"=\"D:\\\\Program Files\"\n"), std::string::npos) << changed;
  EXPECT_EQ(changed.find("C:\\\\Program Files\"\n"), std::string::npos) << changed;
  // The other values of the changed key keep their lines, continuation included, in their order.
  for (const char* kept : {"\"CommonFilesDir\"=\"C:\\\\Program Files\\\\Common Files\"\n",
                           "\"ProgramFilesPath\"=str(2):\"%ProgramFiles%\"\n",
                           "14,15,16,\\\n  17,18,19,1a\n", "\"Count\"=dword:0000002a\n"})
    EXPECT_NE(changed.find(kept), std::string::npos) << kept;
  EXPECT_EQ(changed.find("1600000001"), std::string::npos);  // its time stamp is new
  EXPECT_EQ(std::count(changed.begin(), changed.end(), '#'), 1);

  // The saved file reads back the same.
  ForgetRegistryCache();
  TRegistry again;
  again.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(again.OpenKey("\\Software\\Microsoft\\Windows\\CurrentVersion", false));
  EXPECT_EQ(again.ReadString("ProgramFilesDir"), "D:\\Program Files");
  EXPECT_EQ(again.ReadString("CommonFilesDir"), "C:\\Program Files\\Common Files");
}

TEST_F(RegistryTest, ClassesRootWritesCreateKeysUnderSoftwareClasses) {
  // The association the installer writes for its task files.
  const std::string command = A("\"C:\\Program Files\\Корвина\\tf.exe\" \"%1\"");
  {
    TRegistry registry;
    registry.SetRootKey(HKEY_CLASSES_ROOT);
    ASSERT_TRUE(registry.OpenKey(".tf4", true));
    registry.WriteString("", "tf4");
    ASSERT_TRUE(registry.OpenKey("\\tf4\\Shell\\Open\\command", true));
    registry.WriteString("", command);
  }
  std::string saved = *ReadHostFile(SystemReg());
  EXPECT_EQ(saved.rfind("WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n", 0), 0u)
      << saved;
  EXPECT_NE(saved.find("\n[Software\\\\Classes\\\\.tf4] "), std::string::npos) << saved;
  EXPECT_NE(saved.find("\n@=\"tf4\"\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\n[Software\\\\Classes\\\\tf4\\\\Shell\\\\Open\\\\command] "), std::string::npos) << saved;
  EXPECT_NE(saved.find("\n@=\"\\\"C:\\\\Program Files\\\\\\x41a\\x43e\\x440\\x432\\x438\\x43d\\x430\\\\tf.exe\\\" "
                       "\\\"%1\\\"\"\n"),
            std::string::npos)
      << saved;

  ForgetRegistryCache();
  TRegistry registry;
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(registry.OpenKey("\\Software\\Classes\\TF4\\shell\\open\\COMMAND", false));
  EXPECT_EQ(registry.ReadString(""), command);
  EXPECT_TRUE(registry.KeyExists("\\Software\\Classes\\tf4\\Shell"));
}

TEST_F(RegistryTest, TextsRoundTripThroughTheFileEscapes) {
  struct Case {
    const char* value;  // UTF-8 here, 1251 in the call
    const char* line;   // how the file holds it
  };
  // A hex escape takes four digits when a hex digit follows, so the text cannot swallow it.
  const Case exact[] = {
      {"C:\\dir\\", "@=\"C:\\\\dir\\\\\"\n"},
      {"say \"hi\"", "@=\"say \\\"hi\\\"\"\n"},
      {"Кот", "@=\"\\x41a\\x43e\\x442\"\n"},
      {"Ка1", "@=\"\\x41a\\x04301\"\n"},
      {"Кz", "@=\"\\x41az\"\n"},
      {"tab\there", "@=\"tab\\there\"\n"},
      {"", "@=\"\"\n"},
  };
  for (const Case& test : exact) {
    {
      TRegistry registry;
      registry.SetRootKey(HKEY_CURRENT_USER);
      ASSERT_TRUE(registry.OpenKey("Software\\Test", true));
      registry.WriteString("", A(test.value));
    }
    std::string saved = *ReadHostFile(UserReg());
    EXPECT_NE(saved.find("\n" + std::string(test.line)), std::string::npos) << test.value << "\n" << saved;
    ForgetRegistryCache();
    TRegistry registry;
    registry.SetRootKey(HKEY_CURRENT_USER);
    ASSERT_TRUE(registry.OpenKey("Software\\Test", false));
    EXPECT_EQ(registry.ReadString(""), A(test.value));
  }
  std::string saved = *ReadHostFile(UserReg());
  EXPECT_EQ(saved.rfind("WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-", 0), 0u) << saved;
}

TEST_F(RegistryTest, EscapesWrittenByOthersAreRead) {
  struct Case {
    const char* data;     // the file's text between the quotes
    const char* decoded;  // UTF-8 here
  };
  const Case cases[] = {
      {"\\x0041B", "AB"},            // four digits at most
      {"\\x41a", "К"},
      {"a\\\\b\\\"c", "a\\b\"c"},
      {"\\101\\102", "AB"},          // octal
      {"Кот", "Кот"},                // UTF-8 written by hand
      {"\\q", "q"},                  // an unknown escape stands for its character
  };
  for (const Case& test : cases) {
    WriteHostFile(SystemReg(), std::string("WINE REGISTRY Version 2\n\n[Software\\\\T] 1\n\"v\"=\"") + test.data +
                                   "\"\n");
    ForgetRegistryCache();
    TRegistry registry;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(registry.OpenKey("\\Software\\T", false)) << test.data;
    EXPECT_EQ(registry.ReadString("v"), A(test.decoded)) << test.data;
  }
}

TEST_F(RegistryTest, AChangeMadeByAnotherProgramIsSeen) {
  WriteHostFile(SystemReg(), kSystemReg);
  TRegistry registry;
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(registry.OpenKey("\\Software\\Wine\\Drives", false));
  EXPECT_EQ(registry.ReadString("d:"), "cdrom");
  std::string edited = kSystemReg;
  edited.replace(edited.find("\"d:\"=\"cdrom\""), 12, "\"d:\"=\"floppy\"");
  WriteHostFile(SystemReg(), edited);  // another size: seen without being told
  EXPECT_EQ(registry.ReadString("d:"), "floppy");
}

TEST_F(RegistryTest, AFailedSaveRaisesAndLeavesTheFileWhole) {
  WriteHostFile(SystemReg(), kSystemReg);
  TRegistry registry;
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(registry.OpenKey("\\Software\\Wine\\Drives", false));
  ASSERT_EQ(registry.ReadString("e:"), "");
  // The new text is written beside the old file and renamed over it. An environment root whose
  // path leaves room for "system.reg" but not for the longer temporary name makes that write
  // fail, whoever runs the test.
  std::string deep = root_.Root();
  while (deep.size() + 201 < 4078) {
    deep += "/" + std::string(199, 'd');
    ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
  }
  deep += "/" + std::string(4080 - deep.size() - 1, 'e');
  ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
  WriteHostFile(deep + "/system.reg", kSystemReg);
  setenv("WINEPREFIX", deep.c_str(), 1);
  ResetEnvironment();
  ASSERT_TRUE(registry.OpenKey("\\Software\\Wine\\Drives", false));
  EXPECT_THROW(registry.WriteString("e:", "cdrom"), ERegistryException);
  EXPECT_EQ(*ReadHostFile(deep + "/system.reg"), kSystemReg);
  EXPECT_EQ(registry.ReadString("e:"), "");  // the unsaved change is not believed either
  EXPECT_FALSE(registry.OpenKey("\\Software\\New", true));
  EXPECT_FALSE(registry.KeyExists("\\Software\\New"));
  setenv("WINEPREFIX", root_.Root().c_str(), 1);
  ResetEnvironment();

  // A hive that is not a file cannot be read: nothing opens, nothing is written.
  unlink(UserReg().c_str());
  ASSERT_EQ(mkdir(UserReg().c_str(), 0755), 0);
  registry.SetRootKey(HKEY_CURRENT_USER);
  EXPECT_FALSE(registry.OpenKey("Software\\X", true));
  EXPECT_FALSE(registry.KeyExists("Software"));
  rmdir(UserReg().c_str());
}

}  // namespace
}  // namespace corvina
