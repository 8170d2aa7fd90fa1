// Fields of menu.cfg read from real files: full fields, NULs, short files and
// files that do not open.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "settings_field.h"

namespace {

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = ::testing::TempDir() + "menu_cfg_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                 ".bin";
    }
    void TearDown() override { std::remove(m_path.c_str()); }

    void Write(const std::vector<unsigned char>& bytes) {
        std::FILE* f = std::fopen(m_path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
        std::fclose(f);
    }
    std::string Read(long offset, size_t length) {
        std::FILE* f = std::fopen(m_path.c_str(), "rb");
        std::string s = settings::ReadField(f, offset, length);
        if (f) std::fclose(f);
        return s;
    }
    static void Put(std::vector<unsigned char>& file, size_t at, const std::string& s) {
        for (size_t i = 0; i < s.size(); ++i) file[at + i] = static_cast<unsigned char>(s[i]);
    }
    std::string m_path;
};

}  // namespace

TEST_F(SettingsFile, CardFieldsUpToTheirNul) {
    std::vector<unsigned char> file(128, 0);
    Put(file, 84, "KRV24A0007351");
    Put(file, 100, "BX2-V2.31.0_240601");
    Write(file);
    EXPECT_EQ(Read(settings::kSerialOffset, settings::kSerialBytes), "KRV24A0007351");
    EXPECT_EQ(Read(settings::kFirmwareOffset, settings::kFirmwareBytes), "BX2-V2.31.0_240601");
}

TEST_F(SettingsFile, FieldWithoutNulShowsAllItsCharactersAndNoMore) {
    std::vector<unsigned char> file(128, 'x');
    Put(file, 84, "SERIAL0123456789");       // 16 characters, then the firmware field
    Put(file, 100, "FIRMWARE-ABCDEFGHIJK");  // 20 characters, then 'x' bytes
    Write(file);
    EXPECT_EQ(Read(settings::kSerialOffset, settings::kSerialBytes), "SERIAL0123456789");
    EXPECT_EQ(Read(settings::kFirmwareOffset, settings::kFirmwareBytes), "FIRMWARE-ABCDEFGHIJK");
}

TEST_F(SettingsFile, NulAtTheStartGivesAnEmptyText) {
    std::vector<unsigned char> file(128, 'y');
    file[84] = 0;
    file[100] = 0;
    Write(file);
    EXPECT_EQ(Read(settings::kSerialOffset, settings::kSerialBytes), "");
    EXPECT_EQ(Read(settings::kFirmwareOffset, settings::kFirmwareBytes), "");
}

TEST_F(SettingsFile, NinetyByteFileGivesSerialBytes84To89AndNoFirmware) {
    std::vector<unsigned char> file(90, 0);
    Put(file, 84, "ABCDEF");
    Write(file);
    EXPECT_EQ(Read(settings::kSerialOffset, settings::kSerialBytes), "ABCDEF");
    EXPECT_EQ(Read(settings::kFirmwareOffset, settings::kFirmwareBytes), "");
}

TEST_F(SettingsFile, BytesAreReadAsTheyAre) {
    // CR LF, 0x1A and high bytes inside a field: no text-mode translation.
    std::vector<unsigned char> file(128, 0);
    Put(file, 84,
        "A\r\nB\x1a"
        "C\xb1\xe2");
    Write(file);
    EXPECT_EQ(Read(settings::kSerialOffset, settings::kSerialBytes),
              "A\r\nB\x1a"
              "C\xb1\xe2");
}

TEST_F(SettingsFile, MissingFileGivesEmptyTexts) {
    std::FILE* f = std::fopen((m_path + ".none").c_str(), "rb");
    ASSERT_EQ(f, nullptr);
    EXPECT_EQ(settings::ReadField(f, settings::kSerialOffset, settings::kSerialBytes), "");
    EXPECT_EQ(settings::ReadField(f, settings::kFirmwareOffset, settings::kFirmwareBytes), "");
}

TEST(SettingsField, TextStopsAtTheFirstNulOrTheFieldEnd) {
    const unsigned char bytes[] = {'a', 'b', 0, 'c'};
    EXPECT_EQ(settings::FieldText(bytes, 4), "ab");
    EXPECT_EQ(settings::FieldText(bytes, 1), "a");
    EXPECT_EQ(settings::FieldText(bytes, 0), "");
}
