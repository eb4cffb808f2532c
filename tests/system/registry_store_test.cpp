#include "system/registry_store.hpp"

#include <gtest/gtest.h>

namespace vx::api::registry {
namespace {

TEST(RegistryKeyTest, RootsAndComponentsAreNormalised) {
  EXPECT_EQ(NormalizeKey("HKCU\\Software\\Foo\\"), "HKEY_CURRENT_USER\\Software\\Foo");
  EXPECT_EQ(NormalizeKey("hkey_local_machine\\A"), "HKEY_LOCAL_MACHINE\\A");
  EXPECT_EQ(NormalizeKey("HKCU"), "HKEY_CURRENT_USER");
  EXPECT_FALSE(NormalizeKey("HKXX\\Software"));
  EXPECT_FALSE(NormalizeKey("HKCU\\\\Software"));
  EXPECT_FALSE(NormalizeKey(""));
  // The second byte 0x5C of a two-byte character does not split the key.
  EXPECT_EQ(NormalizeKey("HKCU\\\x95\x5c"), "HKEY_CURRENT_USER\\\x95\x5c");
  EXPECT_FALSE(NormalizeKey("HKCU\\\x81"));  // not Shift-JIS
}

TEST(RegistryStoreTest, SetFindDeleteIgnoringCase) {
  Store s;
  s.Set("HKEY_CURRENT_USER\\Software\\App", Value{"Name", REG_SZ, "x", 0});
  s.Set("HKEY_CURRENT_USER\\Software\\App\\Sub", Value{"Count", REG_DWORD, "", 42});
  const Value* v = s.Find("hkey_current_user\\software\\APP", "NAME");
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->text, "x");
  EXPECT_TRUE(s.KeyExists("HKEY_CURRENT_USER\\Software"));  // parents exist
  s.Set("HKEY_CURRENT_USER\\Software\\App", Value{"NAME", REG_SZ, "y", 0});
  EXPECT_EQ(s.ValueNames("HKEY_CURRENT_USER\\Software\\App"), std::vector<std::string>{"Name"});
  EXPECT_EQ(s.Find("HKEY_CURRENT_USER\\Software\\App", "name")->text, "y");
  EXPECT_EQ(s.SubKeys("HKEY_CURRENT_USER\\Software"), std::vector<std::string>{"App"});
  EXPECT_EQ(s.SubKeys("HKEY_CURRENT_USER\\Software\\App"), std::vector<std::string>{"Sub"});
  EXPECT_TRUE(s.DeleteValue("HKEY_CURRENT_USER\\Software\\App", "name"));
  EXPECT_FALSE(s.DeleteValue("HKEY_CURRENT_USER\\Software\\App", "name"));
  EXPECT_EQ(s.DeleteKey("HKEY_CURRENT_USER\\Software\\App"), 2);
  EXPECT_FALSE(s.KeyExists("HKEY_CURRENT_USER\\Software\\App\\Sub"));
  EXPECT_TRUE(s.KeyExists("HKEY_CURRENT_USER\\Software"));
}

TEST(RegistryStoreTest, FileFormatRoundTrips) {
  Store s;
  s.Set("HKEY_CURRENT_USER\\Software\\App", Value{"Text", REG_SZ, "a \"q\" \\ \r\n\x82\xa0", 0});
  s.Set("HKEY_CURRENT_USER\\Software\\App", Value{"", REG_SZ, "default", 0});
  s.Set("HKEY_CURRENT_USER\\Software\\App", Value{"Count", REG_DWORD, "", 0xdeadbeef});
  s.Set("HKEY_CURRENT_USER\\Software\\App", Value{"Raw", REG_SZ, "\x81\x20\xff", 0});
  const std::string file = s.Serialize();
  EXPECT_EQ(file,
            "; Vexmora registry\n"
            "\n[HKEY_CURRENT_USER]\n"
            "\n[HKEY_CURRENT_USER\\Software]\n"
            "\n[HKEY_CURRENT_USER\\Software\\App]\n"
            "\"Text\"=\"a \\\"q\\\" \\\\ \\r\\n\xe3\x81\x82\"\n"
            "@=\"default\"\n"
            "\"Count\"=dword:deadbeef\n"
            "\"Raw\"=hex(1):81,20,ff\n");
  Store back;
  int bad = 0;
  ASSERT_TRUE(back.Parse(file, &bad));
  EXPECT_EQ(back.Serialize(), file);
  EXPECT_EQ(back.Find("HKCU\\Software\\App" + std::string(), "Text"), nullptr);  // not normalised
  EXPECT_EQ(back.Find("HKEY_CURRENT_USER\\Software\\App", "Raw")->text, "\x81\x20\xff");
  EXPECT_EQ(back.Find("HKEY_CURRENT_USER\\Software\\App", "Count")->dword, 0xdeadbeefu);
}

TEST(RegistryStoreTest, MalformedFilesAreRefusedWithTheLine) {
  Store s;
  int bad = 0;
  EXPECT_FALSE(s.Parse("; c\n\"v\"=\"x\"\n", &bad));  // value before any key
  EXPECT_EQ(bad, 2);
  EXPECT_FALSE(s.Parse("[HKCU\\A]\n\"v\"=\"unterminated\n", &bad));
  EXPECT_EQ(bad, 2);
  EXPECT_FALSE(s.Parse("[HKCU\\A]\n\"v\"=dword:123456789\n", &bad));
  EXPECT_FALSE(s.Parse("[NOPE\\A]\n", &bad));
  EXPECT_FALSE(s.Parse("[HKCU\\A]\n\"v\"=hex(1):8\n", &bad));
  EXPECT_FALSE(s.Parse("[HKCU\\A]\n\"v\"=\"x\" trailing\n", &bad));
  EXPECT_TRUE(s.Parse("\n  ; only comments\r\n[HKCU\\A]\r\n  \"v\"=\"x\"\r\n", &bad));
  EXPECT_EQ(s.Find("HKEY_CURRENT_USER\\A", "v")->text, "x");
}

}  // namespace
}  // namespace vx::api::registry
