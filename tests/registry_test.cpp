// The registry store against the Wine prefix's real registry, each test
// starting from a first run (the program's keys removed).
#include <gtest/gtest.h>

#include "settings.h"
#include "testutil.h"

namespace {

const char kKey[] = SETTINGS_KEY;

class Registry : public ::testing::Test {
protected:
    void SetUp() override { ClearProgramRegistry(); }
    void TearDown() override { ClearProgramRegistry(); }
    void Store(const char *name, DWORD type, const void *data, DWORD size) {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, type, (const BYTE *)data, size));
        RegCloseKey(key);
    }
    void StoreText(const char *name, const char *text) { Store(name, REG_SZ, text, (DWORD)strlen(text) + 1); }
    void StoreDword(const char *name, DWORD v) { Store(name, REG_DWORD, &v, 4); }
    // Type and raw bytes of a stored value, or type 0 when it is missing.
    std::pair<DWORD, std::string> Stored(const char *name) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return {0, ""};
        char data[512];
        DWORD type = 0, size = sizeof(data);
        LONG r = RegQueryValueExA(key, name, NULL, &type, (BYTE *)data, &size);
        RegCloseKey(key);
        return r == ERROR_SUCCESS ? std::make_pair(type, std::string(data, size)) : std::make_pair(0ul, std::string());
    }
    bool KeyExists(const char *path, DWORD *values = NULL) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        if (values) RegQueryInfoKeyA(key, NULL, NULL, NULL, NULL, NULL, NULL, values, NULL, NULL, NULL, NULL);
        RegCloseKey(key);
        return true;
    }
};

TEST(SwitchText, TheLenientRule) {
    struct Row {
        const char *text;
        LONG on;
    } rows[] = {
        {"", 0},     {"0", 0},    {"N", 0},     {"n", 0},      {"NO", 0},    {"no", 0},    {"No", 0},
        {"OFF", 0},  {"Off", 0},  {"F", 0},     {"f", 0},      {"FALSE", 0}, {"false", 0}, {"Yes", 1},
        {"yes", 1},  {"YES", 1},  {"1", 1},     {"None", 1},   {"00", 1},    {"NO ", 1},   {" NO", 1},
        {"No ", 1},  {"Nope", 1}, {"of", 1},    {"FALSEY", 1}, {"T", 1},     {"on", 1},
    };
    std::string wrong;
    for (const Row &r : rows)
        if (ParseSwitchText(r.text) != r.on) wrong += std::string("  \"") + r.text + "\"\n";
    EXPECT_TRUE(wrong.empty()) << "parsed wrongly:\n" << wrong;
}

TEST_F(Registry, FirstStartLoadsTheDefaultsAndLeavesAnEmptyKey) {
    ASSERT_FALSE(KeyExists(kKey));
    AppSettings.disconnectMinutes = AppSettings.remindMinutes = 7;
    AppSettings.remindOnline = AppSettings.autoDisconnect = 7;
    LoadSettings();
    EXPECT_EQ(60, AppSettings.disconnectMinutes);
    EXPECT_EQ(20, AppSettings.remindMinutes);
    EXPECT_EQ(1, AppSettings.remindOnline);
    EXPECT_EQ(1, AppSettings.autoDisconnect);
    DWORD values = 99;
    EXPECT_TRUE(KeyExists(kKey, &values));
    EXPECT_EQ(0u, values);
}

TEST_F(Registry, StoredSwitchTexts) {
    struct Row {
        const char *stored;
        LONG loaded;
    } rows[] = {{"no", 0},   {"Off", 0},    {"false", 0}, {"F", 0}, {"n", 0},
                {"0", 0},    {"", 0},       {"Yes", 1},   {"1", 1}, {"None", 1},
                {"No ", 1},  {"0123456789abcde", 1}, {"NO_NO_NO_NO_NO_N", 1}, {"NNNNNNNNNNNNNNNNNNNNNNNNN", 1}};
    for (const Row &r : rows) {
        StoreText("Remind Online", r.stored);
        EXPECT_EQ(r.loaded, GetRegistryBool(kKey, "Remind Online", 1)) << "\"" << r.stored << "\"";
    }
    // 15 characters are read; 16 or more fall back to the default, either way.
    StoreText("Remind Online", "NNNNNNNNNNNNNNNN");
    EXPECT_EQ(0, GetRegistryBool(kKey, "Remind Online", 0));
    EXPECT_EQ(1, GetRegistryBool(kKey, "Remind Online", 1));
    // A switch stored as a number is read as its bytes.
    StoreDword("Remind Online", 0);
    EXPECT_EQ(0, GetRegistryBool(kKey, "Remind Online", 1));
    StoreDword("Remind Online", 1);
    EXPECT_EQ(1, GetRegistryBool(kKey, "Remind Online", 0));
    EXPECT_EQ(0, GetRegistryBool(kKey, "Missing", 0));
    EXPECT_EQ(1, GetRegistryBool(kKey, "Missing", 5));
}

TEST_F(Registry, StoredTimes) {
    StoreText("Disconnect Time", "60");
    EXPECT_EQ(60, GetRegistryInt(kKey, "Disconnect Time", 60));
    EXPECT_EQ(33, GetRegistryInt(kKey, "Disconnect Time", 33)) << "a text is not a number";
    StoreDword("Disconnect Time", 5000);
    EXPECT_EQ(5000, GetRegistryInt(kKey, "Disconnect Time", 60));
    StoreDword("Disconnect Time", 0xFFFFFFFF);
    EXPECT_EQ(-1, GetRegistryInt(kKey, "Disconnect Time", 60));
    Store("Disconnect Time", REG_BINARY, "\x05\0\0\0", 4);
    EXPECT_EQ(60, GetRegistryInt(kKey, "Disconnect Time", 60));
    Store("Disconnect Time", REG_BINARY, "\x05\0\0\0\0\0\0\0", 8);
    EXPECT_EQ(60, GetRegistryInt(kKey, "Disconnect Time", 60)) << "too long for a number";
    EXPECT_EQ(-7, GetRegistryInt(kKey, "Missing", -7));
    // A short number (a .reg file can write one) is no number at all.
    Store("Remind Time", REG_DWORD, "\x05\0", 2);
    EXPECT_EQ(20, GetRegistryInt(kKey, "Remind Time", 20));
    Store("Remind Time", REG_DWORD, "", 0);
    EXPECT_EQ(20, GetRegistryInt(kKey, "Remind Time", 20));
    // A key that cannot be opened gives the default too, never 0.
    std::string unopenable = std::string(kKey) + "\\" + std::string(300, 'k');
    HKEY key;
    ASSERT_NE(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, unopenable.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                                             &key, NULL));
    EXPECT_EQ(60, GetRegistryInt(unopenable.c_str(), "Disconnect Time", 60));
}

TEST_F(Registry, WritesStoreExactlyTheirBytes) {
    EXPECT_EQ(1, WriteRegistryBool(kKey, "On", 5));
    EXPECT_EQ(1, WriteRegistryBool(kKey, "Off", 0));
    EXPECT_EQ(1, WriteRegistryInt(kKey, "Number", -2));
    EXPECT_EQ(1, WriteRegistryString(kKey, "Text", "abc"));
    EXPECT_EQ(std::make_pair((DWORD)REG_SZ, std::string("Yes\0", 4)), Stored("On"));
    EXPECT_EQ(std::make_pair((DWORD)REG_SZ, std::string("No\0", 3)), Stored("Off"));
    EXPECT_EQ(std::make_pair((DWORD)REG_DWORD, std::string("\xFE\xFF\xFF\xFF", 4)), Stored("Number"));
    EXPECT_EQ(std::make_pair((DWORD)REG_SZ, std::string("abc\0", 4)), Stored("Text"));
    EXPECT_EQ(1, GetRegistryBool(kKey, "On", 0));
    EXPECT_EQ(0, GetRegistryBool(kKey, "Off", 1));
}

TEST_F(Registry, NullNamesTouchNothing) {
    EXPECT_EQ(0, WriteRegistryString(kKey, NULL, "x"));
    EXPECT_EQ(0, WriteRegistryString(kKey, "x", NULL));
    EXPECT_EQ(0, WriteRegistryInt(kKey, NULL, 1));
    EXPECT_EQ(0, WriteRegistryBool(kKey, NULL, 1));
    EXPECT_EQ(42, GetRegistryInt(kKey, NULL, 42));
    char buf[16] = "junk";
    GetRegistryString(kKey, NULL, "dflt", buf, 15);
    EXPECT_STREQ("dflt", buf);
    GetRegistryString(kKey, NULL, NULL, buf, 15);
    EXPECT_STREQ("", buf);
    EXPECT_FALSE(KeyExists(kKey)) << "no operation with a null name may open the key";
}

TEST_F(Registry, StringReadsAreBoundedByMaxLength) {
    char buf[5];
    memset(buf, 'z', sizeof(buf));
    GetRegistryString(kKey, "Missing", "Default", buf, 4);
    EXPECT_STREQ("Defa", buf);
    StoreText("Four", "abcd");  // 5 bytes with the terminator: more than 4
    GetRegistryString(kKey, "Four", "dflt", buf, 4);
    EXPECT_STREQ("dflt", buf);
    StoreText("Three", "abc");
    GetRegistryString(kKey, "Three", "dflt", buf, 4);
    EXPECT_STREQ("abc", buf);
    Store("Raw", REG_BINARY, "xyz", 3);  // no terminator stored
    memset(buf, 'z', sizeof(buf));
    GetRegistryString(kKey, "Raw", "dflt", buf, 4);
    EXPECT_STREQ("xyz", buf);
    StoreDword("Num", 60);
    GetRegistryString(kKey, "Num", "dflt", buf, 4);
    EXPECT_STREQ("<", buf) << "the number 60 read as a one-character text";
    GetRegistryString(kKey, "Num", "dflt", buf, 3);
    EXPECT_STREQ("dfl", buf) << "4 data bytes need more room than maxLength 3 leaves";
}

TEST_F(Registry, SoundSchemeReadCreatesItsKey) {
    char buf[256];
    GetRegistryString("AppEvents\\Schemes\\Apps\\.Default\\MailBeep\\.Current", "", "None", buf, 255);
    EXPECT_STREQ("None", buf);
    DWORD values = 99;
    EXPECT_TRUE(KeyExists("AppEvents\\Schemes\\Apps\\.Default\\MailBeep\\.Current", &values));
    EXPECT_EQ(0u, values);
}

}  // namespace
