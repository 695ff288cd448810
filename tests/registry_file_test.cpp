// Tests of the score record's text file: its syntax, the load rules and the atomic save.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/RegistryFile.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kHeadLines =
    "Windows Registry Editor Version 5.00\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software\\Telquarin\\QX-Nembrolix\\Vortrane]\n";

constexpr char kGarbage[] =
    "\x7F"
    "ELF\x02\x01\x01\0\0\0\x93\xFE\n\n\x01";

std::string Record(std::string_view values) {
  return std::string(kHeadLines) + std::string(values);
}

// "type:bytes in hex", or "absent": failures then show what was read.
std::string Show(const std::optional<RegistryValue>& value) {
  if (!value) return "absent";
  std::string out = std::to_string(value->type) + ":";
  for (std::uint8_t byte : value->data) {
    out += "0123456789abcdef"[byte >> 4];
    out += "0123456789abcdef"[byte & 0xF];
  }
  return out;
}

void WriteText(const fs::path& file, std::string_view text) {
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  out << text;
  ASSERT_TRUE(out.good()) << file;
}

std::string ReadText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A fresh folder per test, holding the record at its usual place below the data folder.
class RegistryFileTest : public ::testing::Test {
 protected:
  ~RegistryFileTest() override {
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(root_, ignored)) {
      if (entry.is_directory(ignored)) fs::permissions(entry.path(), fs::perms::owner_all, ignored);
    }
    fs::remove_all(root_, ignored);
  }

  std::unique_ptr<RegistryKey> Open(bool create) {
    return store_.OpenKey(reg::kHkeyCurrentUser, RegistryFile::kKeyPath, create);
  }

  // What a later run of the program reads.
  std::string ReadBack(std::string_view name) {
    RegistryFile later(file_);
    auto key = later.OpenKey(reg::kHkeyCurrentUser, RegistryFile::kKeyPath, false);
    return key ? Show(key->Read(name)) : "no key";
  }

  std::vector<std::string> Listing() const {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder_, ignored)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  static fs::path MakeTemporaryFolder() {
    std::string pattern = (fs::temp_directory_path() / "registry_file_test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "no temporary folder";
    return pattern;
  }

  fs::path root_ = MakeTemporaryFolder();
  fs::path folder_ = root_ / "Telquarin" / "QX-Nembrolix";
  fs::path file_ = folder_ / "Vortrane.reg";
  RegistryFile store_{file_};
};

TEST_F(RegistryFileTest, SavesFiveDwordsAsReadableTextAndReadsThemBack) {
  auto key = Open(true);
  ASSERT_NE(key, nullptr);
  EXPECT_TRUE(key->WriteDword("Kachi", 3));
  EXPECT_TRUE(key->WriteDword("Make", 5));
  EXPECT_TRUE(key->WriteDword("Rensho", 0x01020304));
  EXPECT_TRUE(key->WriteDword("Renpai", static_cast<std::uint32_t>(-1)));
  EXPECT_TRUE(key->WriteDword("Chimidoro", 0x80000000u));
  ASSERT_TRUE(key->Commit());

  EXPECT_EQ(ReadText(file_), Record("\"Kachi\"=dword:00000003\n"
                                    "\"Make\"=dword:00000005\n"
                                    "\"Rensho\"=dword:01020304\n"
                                    "\"Renpai\"=dword:ffffffff\n"
                                    "\"Chimidoro\"=dword:80000000\n"));
  EXPECT_EQ(ReadBack("Kachi"), "4:03000000");
  EXPECT_EQ(ReadBack("Rensho"), "4:04030201");
  EXPECT_EQ(ReadBack("Renpai"), "4:ffffffff");
  EXPECT_EQ(ReadBack("Chimidoro"), "4:00000080");
  EXPECT_EQ(ReadBack("Absent"), "absent");
  EXPECT_EQ(Listing(), std::vector<std::string>{"Vortrane.reg"});
  // The folders made for the record are the user's alone.
  EXPECT_EQ(fs::status(folder_).permissions(), fs::perms::owner_all);
  EXPECT_EQ(fs::status(folder_.parent_path()).permissions(), fs::perms::owner_all);
}

TEST_F(RegistryFileTest, MissingFileIsAFirstRunAndCreatesNothing) {
  EXPECT_EQ(Open(false), nullptr);
  EXPECT_FALSE(fs::exists(root_ / "Telquarin"));

  auto key = Open(true);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(Show(key->Read("Kachi")), "absent");
  EXPECT_FALSE(fs::exists(file_));  // nothing is written before the save
  ASSERT_TRUE(key->Commit());
  EXPECT_EQ(ReadText(file_), Record(""));
  EXPECT_NE(Open(false), nullptr);
}

TEST_F(RegistryFileTest, OpensOnlyItsOwnKey) {
  WriteText(file_, Record("\"Kachi\"=dword:00000003\n"));
  auto key =
      store_.OpenKey(reg::kHkeyCurrentUser, "software\\TELQUARIN\\qx-nembrolix\\VORTRANE", false);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(Show(key->Read("Kachi")), "4:03000000");

  struct Case {
    std::uint32_t root;
    std::string_view path;
  };
  const Case others[] = {
      {0x80000002u, RegistryFile::kKeyPath},  // HKEY_LOCAL_MACHINE
      {reg::kHkeyCurrentUser, "Software\\Telquarin\\QX-Nembrolix"},
      {reg::kHkeyCurrentUser, "Software\\Telquarin\\QX-Nembrolix\\Vortrane\\Sub"},
      {reg::kHkeyCurrentUser, "\\Software\\Telquarin\\QX-Nembrolix\\Vortrane"},
  };
  for (const Case& other : others) {
    SCOPED_TRACE(other.path);
    EXPECT_EQ(store_.OpenKey(other.root, other.path, true), nullptr);
  }
  EXPECT_EQ(Listing(), std::vector<std::string>{"Vortrane.reg"});
}

struct ReadCase {
  const char* what;
  std::string file;
  std::vector<std::pair<std::string, std::string>> reads;  // name -> Show() of the value
};

TEST_F(RegistryFileTest, ReadsEachValueWithItsRealType) {
  const ReadCase cases[] = {
      {"BOM, CRLF, comments, indents and any case",
       "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n; the score\r\n"
       "[hkey_current_user\\software\\telquarin\\qx-nembrolix\\vortrane]\r\n"
       "  \"Kachi\"=DWORD:0000000A\r\n",
       {{"Kachi", "4:0a000000"}, {"KACHI", "4:0a000000"}, {"Make", "absent"}}},
      {"text where a number belongs", Record("\"Kachi\"=\"3\"\n"), {{"Kachi", "1:33000000"}}},
      {"text with escapes and characters beyond ASCII",
       Record("\"Name\"=\"a\\\\b\\\"\xC3\xA9\xF0\x9F\x98\x80\"\n"),
       {{"Name", "1:61005c0062002200e9003dd800de0000"}}},
      {"binary over continued lines",
       Record("\"Blob\"=hex:01,02,\\\n  03\n"),
       {{"Blob", "3:010203"}}},
      {"typed hex forms",
       Record("\"Q\"=hex(b):01,00,00,00,00,00,00,00\n\"N\"=hex(0):\n"),
       {{"Q", "11:0100000000000000"}, {"N", "0:"}}},
      {"last line without a line break",
       Record("\"Make\"=dword:00000005"),
       {{"Make", "4:05000000"}}},
      {"no values", "Windows Registry Editor Version 5.00\n", {{"Kachi", "absent"}}},
      {"a later line wins",
       Record("\"Kachi\"=dword:00000001\n\"kachi\"=dword:00000002\n"),
       {{"Kachi", "4:02000000"}}},
      {"the unnamed value", Record("@=\"x\"\n"), {{"", "1:78000000"}, {"@", "absent"}}},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.what);
    WriteText(file_, c.file);
    auto key = Open(false);
    ASSERT_NE(key, nullptr);
    for (const auto& [name, expected] : c.reads) EXPECT_EQ(Show(key->Read(name)), expected) << name;
  }
}

TEST_F(RegistryFileTest, FileThatDoesNotParseReadsAsNoneAndStaysUntouched) {
  const std::pair<const char*, std::string> cases[] = {
      {"empty file", ""},
      {"cut inside the header", "Windows Registry Ed"},
      {"another header",
       "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Telquarin\\QX-Nembrolix\\"
       "Vortrane]\n\"Kachi\"=dword:00000003\n"},
      {"cut inside a number", Record("\"Kachi\"=dword:00000003\n\"Make\"=dword:0000")},
      {"cut inside a text", Record("\"Name\"=\"abc")},
      {"cut after a continued line", Record("\"Blob\"=hex:01,02,\\\n")},
      {"cut after a comma", Record("\"Blob\"=hex:01,02,")},
      {"nine digits", Record("\"Kachi\"=dword:000000003\n")},
      {"bare number", Record("\"Kachi\"=3\n")},
      {"removal line", Record("\"Kachi\"=-\n")},
      {"unknown escape", Record("\"Path\"=\"C:\\temp\"\n")},
      {"text that is not UTF-8", Record("\"Name\"=\"\xFF\"\n")},
      {"another key",
       "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\"
       "Other]\n\"Kachi\"=dword:00000003\n"},
      {"value before the key", "Windows Registry Editor Version 5.00\n\"Kachi\"=dword:00000003\n"},
      {"garbage", std::string(kGarbage, sizeof kGarbage - 1)},
  };
  for (const auto& [what, text] : cases) {
    SCOPED_TRACE(what);
    WriteText(file_, text);
    auto key = Open(false);
    ASSERT_NE(key, nullptr);  // the record exists, its values cannot be read
    for (const char* name : {"Kachi", "Make", "Absent"}) EXPECT_EQ(Show(key->Read(name)), "0:");
    // A key that was only read, then closed, leaves the file as it was.
    EXPECT_TRUE(key->Commit());
    EXPECT_EQ(ReadText(file_), text);
    EXPECT_EQ(Listing(), std::vector<std::string>{"Vortrane.reg"});
  }
}

TEST_F(RegistryFileTest, DamagedFileIsKeptAsideBeforeTheFirstSaveWithoutLosingEarlierCopies) {
  const std::string damaged = Record("\"Kachi\"=dword:0000");
  WriteText(file_, damaged);
  WriteText(folder_ / "Vortrane.reg.damaged", "an earlier copy");

  auto key = Open(true);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(Show(key->Read("Make")), "0:");
  ASSERT_TRUE(key->WriteDword("Kachi", 3));
  EXPECT_EQ(Show(key->Read("Kachi")), "4:03000000");
  ASSERT_TRUE(key->Commit());

  EXPECT_EQ(ReadText(file_), Record("\"Kachi\"=dword:00000003\n"));
  EXPECT_EQ(ReadText(folder_ / "Vortrane.reg.damaged"), "an earlier copy");
  EXPECT_EQ(ReadText(folder_ / "Vortrane.reg.damaged.1"), damaged);
  EXPECT_EQ(ReadBack("Make"), "absent");  // the new record is whole again

  // Only the damaged file is kept; later saves replace the good one as usual.
  ASSERT_TRUE(key->WriteDword("Make", 5));
  ASSERT_TRUE(key->Commit());
  EXPECT_EQ(ReadBack("Make"), "4:05000000");
  EXPECT_EQ(Listing(), (std::vector<std::string>{"Vortrane.reg", "Vortrane.reg.damaged",
                                                 "Vortrane.reg.damaged.1"}));
}

TEST_F(RegistryFileTest, SaveKeepsOtherValuesWithTheirTypesAndOrder) {
  // Written as the store writes it, so only the changed line and the new one may differ.
  const std::string before = Record(
      "\"Name\"=\"a\\\\b\\\"\xE3\x82\xB9\xF0\x9F\x98\x80\"\n"
      "\"Kachi\"=dword:00000001\n"
      "@=\"x\"\n"
      "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n"
      "  16,17,18,19,1a,1b,1c,1d\n"
      "\"Multi\"=hex(7):61,00,00,00,00,00\n"
      "\"Unended\"=hex(1):61,00\n"
      "\"Short\"=hex(4):01,02\n");
  WriteText(file_, before);

  auto key = Open(true);
  ASSERT_NE(key, nullptr);
  ASSERT_TRUE(key->WriteDword("Make", 5));
  ASSERT_TRUE(key->WriteDword("kachi", 7));  // the stored spelling stays
  ASSERT_TRUE(key->Commit());

  std::string after = before;
  after.replace(after.find("\"Kachi\"=dword:00000001"), 22, "\"Kachi\"=dword:00000007");
  after += "\"Make\"=dword:00000005\n";
  EXPECT_EQ(ReadText(file_), after);
}

TEST_F(RegistryFileTest, FolderThatCannotBeCreatedGivesNoKeyAndWritesNothing) {
  WriteText(root_ / "Telquarin", "a file where a folder belongs");
  EXPECT_EQ(Open(true), nullptr);
  EXPECT_EQ(Open(false), nullptr);
  EXPECT_EQ(ReadText(root_ / "Telquarin"), "a file where a folder belongs");
}

TEST_F(RegistryFileTest, ReadOnlyFolderGivesNoKeyForWriting) {
  const auto read_only = fs::perms::owner_read | fs::perms::owner_exec;
  fs::create_directories(folder_);
  fs::permissions(folder_, read_only);
  if (std::ofstream(folder_ / "probe")) {
    fs::remove(folder_ / "probe");
    GTEST_SKIP() << "folder permissions do not stop this user";
  }
  EXPECT_EQ(Open(true), nullptr);  // a new record

  fs::permissions(folder_, fs::perms::owner_all);
  WriteText(file_, Record("\"Kachi\"=dword:00000003\n"));
  fs::permissions(folder_, read_only);
  EXPECT_EQ(Open(true), nullptr);  // an existing one
  auto key = Open(false);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(Show(key->Read("Kachi")), "4:03000000");
}

TEST_F(RegistryFileTest, SaveBrokenOffBeforeTheRenameLeavesTheOldRecord) {
  struct Case {
    const char* what;
    std::string before;
    std::vector<std::string> files;  // in the folder once the save has failed, and after
  };
  const Case cases[] = {
      {"good record", Record("\"Kachi\"=dword:00000003\n"), {"Vortrane.reg"}},
      {"damaged record", Record("\"Kachi\"=dword:000"), {"Vortrane.reg", "Vortrane.reg.damaged"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(folder_);
    WriteText(file_, c.before);
    const std::string old_kachi = ReadBack("Kachi");

    auto key = Open(true);
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(key->WriteDword("Kachi", 9));
    int calls = 0;
    store_.SetBeforeReplace([&](const fs::path& temporary) {
      ++calls;
      // The new record is complete beside the old one when the save is cut short.
      EXPECT_EQ(temporary.parent_path(), folder_);
      EXPECT_EQ(ReadText(temporary), Record("\"Kachi\"=dword:00000009\n"));
      return false;
    });
    EXPECT_FALSE(key->Commit());
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ReadText(file_), c.before);
    EXPECT_EQ(ReadBack("Kachi"), old_kachi);
    EXPECT_EQ(Listing(), c.files);  // no temporary file left behind

    store_.SetBeforeReplace(nullptr);
    ASSERT_TRUE(key->Commit());  // the writes are still held
    EXPECT_EQ(ReadBack("Kachi"), "4:09000000");
    EXPECT_EQ(Listing(), c.files);  // one kept copy, however many attempts
  }
}

// Restores the variables the default path depends on.
class DefaultPathTest : public ::testing::Test {
 protected:
  ~DefaultPathTest() override {
    Restore("HOME", home_);
    Restore("XDG_DATA_HOME", data_);
  }
  static std::optional<std::string> Get(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  }
  static void Restore(const char* name, const std::optional<std::string>& value) {
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  std::optional<std::string> home_ = Get("HOME");
  std::optional<std::string> data_ = Get("XDG_DATA_HOME");
};

TEST_F(DefaultPathTest, FollowsXdgDataHomeOrFallsBackToHome) {
  struct Case {
    const char* data_home;  // nullptr: unset
    const char* expected;
  };
  const Case cases[] = {
      {"/data/me", "/data/me/Telquarin/QX-Nembrolix/Vortrane.reg"},
      {nullptr, "/home/me/.local/share/Telquarin/QX-Nembrolix/Vortrane.reg"},
      {"", "/home/me/.local/share/Telquarin/QX-Nembrolix/Vortrane.reg"},
      {"relative/data", "/home/me/.local/share/Telquarin/QX-Nembrolix/Vortrane.reg"},
  };
  setenv("HOME", "/home/me", 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data_home ? c.data_home : "unset");
    Restore("XDG_DATA_HOME", c.data_home ? std::optional<std::string>(c.data_home) : std::nullopt);
    EXPECT_EQ(DefaultRegistryFilePath(), fs::path(c.expected));
  }
}

}  // namespace
}  // namespace platform
