#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "base/file_io.h"
#include "base/ini_document.h"
#include "base/ini_file.h"
#include "base/settings_keys.h"

namespace kamolt {
namespace {

TEST(IniDocument, ReadsLikeTheProfileFunctions) {
  const IniDocument doc(
      "; comment\r\n[Windows]\r\nxKoord = 12 \r\n  YKOORD=\"34\"\r\n[Others]\nOpenDir=C:\\Bilder\\\nFilename0=\n"
      "[windows]\nxKoord=99\n");
  EXPECT_EQ(doc.Get("windows", "XKOORD"), "12");
  EXPECT_EQ(doc.Get("Windows", "yKoord"), "34");
  EXPECT_EQ(doc.Get("OTHERS", "OpenDir"), "C:\\Bilder\\");
  EXPECT_EQ(doc.Get("Others", "Filename0"), "");
  EXPECT_EQ(doc.Get("Others", "Filename1"), std::nullopt);
  EXPECT_EQ(doc.Get("Scan", "DPI0"), std::nullopt);
}

TEST(IniDocument, WritesOneKeyAndKeepsEverythingElse) {
  IniDocument doc("; keep me\r\n[Windows]\r\nxKoord=1\r\n\r\n[Others]\r\nDefExt=JPG\r\n");
  doc.Set("WINDOWS", "XKOORD", "250");
  doc.Set("Windows", "yKoord", "-4");
  doc.Set("Scan", "DefDPI", "300");
  EXPECT_EQ(doc.Text(),
            "; keep me\r\n[Windows]\r\nXKOORD=250\r\nyKoord=-4\r\n\r\n[Others]\r\nDefExt=JPG\r\n\r\n[Scan]\r\n"
            "DefDPI=300\r\n");
  EXPECT_THROW(doc.Set("Others", "OpenDir", "a\r\n[Windows]"), std::invalid_argument);
}

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kamolt-ini-XXXXXX";
    folder_ = mkdtemp(pattern);
    path_ = folder_ + "/Kamolt.INI";
  }
  void TearDown() override { std::system(("rm -rf '" + folder_ + "'").c_str()); }
  std::string Contents() const { return ReadWholeFile(path_).value_or("<missing>"); }

  std::string folder_, path_;
};

TEST_F(IniFileTest, MissingFileGivesEveryDefault) {
  const IniFile ini(path_);
  EXPECT_EQ(Read(ini, settings::kWindowLeft), 201);
  EXPECT_EQ(Read(ini, settings::kWindowTop), 102);
  EXPECT_EQ(Read(ini, settings::kFitMode), 0);
  EXPECT_EQ(Read(ini, settings::kOpenFolder), "");
  EXPECT_EQ(Read(ini, settings::kDefaultFormat), "<auto>");
  EXPECT_EQ(Read(ini, settings::kDefaultResolution), "100");
  EXPECT_EQ(Read(ini, settings::kDefaultPaperSize), "");
  EXPECT_FALSE(Read(ini, settings::kSelectSource));
  EXPECT_FALSE(Read(ini, settings::kShowSourceUi));
  EXPECT_FALSE(Read(ini, settings::kTransmissive));
  EXPECT_FALSE(Read(ini, settings::kPixelFlavor));
  EXPECT_FALSE(Read(ini, settings::kDuplex));
  for (int n = 0; n < 10; ++n) EXPECT_EQ(Read(ini, settings::kFileNames, n), "");
  EXPECT_EQ(Contents(), "<missing>") << "reading must never create the file";
}

TEST_F(IniFileTest, EveryWriteReachesTheFileAtOnce) {
  IniFile writer(path_);
  const IniFile reader(path_);
  Write(writer, settings::kWindowLeft, 333);
  EXPECT_EQ(Read(reader, settings::kWindowLeft), 333);
  Write(writer, settings::kOpenFolder, "C:\\Bilder\\");
  Write(writer, settings::kFileNames, 3, "D:\\scan3");
  Write(writer, settings::kFitMode, 2);
  EXPECT_EQ(Read(reader, settings::kOpenFolder), "C:\\Bilder\\");
  EXPECT_EQ(Read(reader, settings::kFileNames, 3), "D:\\scan3");
  EXPECT_EQ(Read(reader, settings::kFileNames, 0), "");
  EXPECT_EQ(Read(reader, settings::kFitMode), 2);
  EXPECT_EQ(Contents(),
            "[Windows]\r\nxKoord=333\r\nFitToScreen=2\r\n\r\n[Others]\r\nOpenDir=C:\\Bilder\\\r\nFilename3=D:\\scan3\r\n");
  EXPECT_THROW(Read(reader, settings::kFileNames, 10), std::out_of_range);
}

TEST_F(IniFileTest, BadValuesFallBack) {
  std::ofstream(path_) << "[Windows]\nxKoord=abc\nyKoord=$20\nFitToScreen=7\n[Scan]\nDuplex=2\nTwain=x\n";
  const IniFile ini(path_);
  EXPECT_EQ(Read(ini, settings::kWindowLeft), 201);
  EXPECT_EQ(Read(ini, settings::kWindowTop), 32);
  EXPECT_EQ(Read(ini, settings::kFitMode), 7);
  EXPECT_TRUE(Read(ini, settings::kDuplex));
  EXPECT_FALSE(Read(ini, settings::kShowSourceUi));
}

TEST_F(IniFileTest, RefusedWriteNamesTheFileAndKeepsItsContents) {
  // A folder in the file's place can neither be read nor replaced.
  ASSERT_EQ(mkdir(path_.c_str(), 0755), 0);
  IniFile ini(path_);
  try {
    Write(ini, settings::kWindowLeft, 5);
    FAIL() << "write was not refused";
  } catch (const SettingsWriteError& e) {
    EXPECT_EQ(std::string(e.what()), "In " + path_ + " kann nicht geschrieben werden");
  }
  EXPECT_EQ(Read(ini, settings::kWindowLeft), 201);
}

}  // namespace
}  // namespace kamolt
