#include "telephony/modem_fix.h"

#include <gtest/gtest.h>

#include <string>

#include "support/registry_file.h"
#include "support/temp_dir.h"

using testsupport::ScopedRegistryFile;
using testsupport::WriteFileBytes;

namespace {

const std::string kClass =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}\\";
const std::string kClassPath = kClass.substr(std::string("HKEY_LOCAL_MACHINE\\").size());

std::string ModemSection(const std::string& number, const std::string& values) {
    return "[" + kClass + number + "]\n" + values + "\n";
}

std::string StartRecord(const std::string& number, const std::string& values) {
    return "[" + kClass + number + "\\StartRecord]\n" + values + "\n";
}

std::string Command(const std::string& modem, int n) {
    return RegModem::ReadValue(kClassPath + modem + "\\StartRecord\\" + std::to_string(n));
}

class ModemFixTest : public ::testing::Test {
protected:
    void Write(const std::string& body) { WriteFileBytes(m_registry.path(), "REGEDIT4\n\n" + body); }

    // The usual affected modem in subkey 0001, behind an unrelated one.
    void WriteAgereModem(const std::string& commands) {
        Write(ModemSection("0000", "\"AttachedTo\"=\"COM1\"\n\"Manufacturer\"=\"Other\"\n\"FriendlyName\"=\"Fax\"\n") +
              ModemSection("0001",
                           "\"AttachedTo\"=\"COM3\"\n\"Manufacturer\"=\" Agere Systems \"\n"
                           "\"FriendlyName\"=\"Soft Modem\"\n") +
              StartRecord("0001", commands));
    }

    // The modem of subkey 0001, found by its name.
    void LocateSoftModem(RegLSI& modem) {
        modem.SetName("Soft Modem");
        ASSERT_TRUE(modem.Locate());
    }

    ScopedRegistryFile m_registry;
};

TEST_F(ModemFixTest, LocateFindsTheModemByNameAndFillsInTheRest) {
    WriteAgereModem("");
    RegLSI modem;
    modem.SetName("SOFT MODEM");
    ASSERT_TRUE(modem.Locate());
    EXPECT_EQ(kClassPath + "0001", modem.Key());
    EXPECT_EQ("COM3", modem.Port());
    EXPECT_EQ("Agere Systems", modem.Manufacturer());  // trimmed
    EXPECT_EQ("Soft Modem", modem.Name());
}

TEST_F(ModemFixTest, EmptyTextsNeverMatch) {
    // Subkey 0000 has no port: a modem asked for by name must not match it
    // merely because both ports are empty.
    Write(ModemSection("0000", "\"FriendlyName\"=\"Other Modem\"\n") +
          ModemSection("0001", "\"AttachedTo\"=\"COM4\"\n\"FriendlyName\"=\"Wanted\"\n"));
    RegLSI modem;
    modem.SetName("Wanted");
    ASSERT_TRUE(modem.Locate());
    EXPECT_EQ(kClassPath + "0001", modem.Key());

    RegLSI nothing;
    EXPECT_FALSE(nothing.Locate());
    EXPECT_EQ("", nothing.Key());
}

TEST_F(ModemFixTest, EnumerationStopsAtTheFirstEmptySubkey) {
    Write(ModemSection("0000", "\"FriendlyName\"=\"First\"\n") + ModemSection("0001", "\"Other\"=\"x\"\n") +
          ModemSection("0002", "\"FriendlyName\"=\"Later\"\n"));
    RegLSI modem;
    modem.SetName("Later");
    EXPECT_FALSE(modem.Locate());
    EXPECT_EQ("", modem.Key());
    EXPECT_EQ("Later", modem.Name());
    EXPECT_FALSE(modem.ApplyFix());
}

TEST_F(ModemFixTest, AffectedMakersAreRecognisedWithoutRegardToCase) {
    RegLSI agere;
    agere.SetManufacturer("Agere Systems Inc.");
    EXPECT_TRUE(agere.IsLsiModem());
    RegLSI lsi;
    lsi.SetName("pctel lsi-based voice modem");
    EXPECT_TRUE(lsi.IsLsiModem());
    RegLSI other;
    other.SetManufacturer("Conexant");
    other.SetName("HDA Voice Modem");
    EXPECT_FALSE(other.IsLsiModem());
}

TEST_F(ModemFixTest, ApplyRewritesUpperCaseCommandsAndRestorePutsThemBack) {
    WriteAgereModem("\"1\"=\"AT+FCLASS=8<cr>\"\n\"2\"=\"AT+VSD=128,50<cr>\"\n\"3\"=\"AT+VLS=1<cr>\"\n");
    RegLSI modem;
    LocateSoftModem(modem);
    ASSERT_TRUE(modem.IsLsiModem());
    EXPECT_TRUE(modem.ApplyFix());
    EXPECT_EQ("at+fclass=8;+vit=0<cr>", Command("0001", 1));
    EXPECT_EQ("at+vsd=128,0<cr>", Command("0001", 2));
    EXPECT_EQ("AT+VLS=1<cr>", Command("0001", 3));

    // A second run finds both already fixed and keeps the first run's saves.
    EXPECT_TRUE(modem.ApplyFix());
    EXPECT_EQ("at+fclass=8;+vit=0<cr>", Command("0001", 1));
    EXPECT_EQ("AT+FCLASS=8<cr>", modem.SavedModeCommand());
    EXPECT_EQ("AT+VSD=128,50<cr>", modem.SavedSilenceCommand());

    EXPECT_TRUE(modem.RestoreFix());
    EXPECT_EQ("AT+FCLASS=8<cr>", Command("0001", 1));
    EXPECT_EQ("AT+VSD=128,50<cr>", Command("0001", 2));
    EXPECT_EQ("AT+VLS=1<cr>", Command("0001", 3));
    // The unrelated modem's commands were never looked at.
    EXPECT_EQ("", Command("0000", 1));
}

TEST_F(ModemFixTest, WithoutASilenceCommandTheModeIsFixedButApplyFails) {
    WriteAgereModem("\"1\"=\"at+fclass=8<cr>\"\n\"2\"=\"at+vls=1<cr>\"\n");
    RegLSI modem;
    LocateSoftModem(modem);
    EXPECT_FALSE(modem.ApplyFix());
    EXPECT_EQ("at+fclass=8;+vit=0<cr>", Command("0001", 1));
    EXPECT_FALSE(modem.RestoreFix());
    EXPECT_EQ("at+fclass=8<cr>", Command("0001", 1));
}

TEST_F(ModemFixTest, RestoreAfterACrashPutsBackTheModemsOwnCommands) {
    WriteAgereModem("\"1\"=\"AT+FCLASS=8<CR>\"\n\"2\"=\"AT+VSD=129,70<CR>\"\n");
    {
        RegLSI crashed;
        LocateSoftModem(crashed);
        ASSERT_TRUE(crashed.ApplyFix());
    }  // the process ends without RestoreFix

    RegLSI next;
    LocateSoftModem(next);
    EXPECT_TRUE(next.ApplyFix());  // finds the fix in place, saves nothing new
    EXPECT_TRUE(next.RestoreFix());
    EXPECT_EQ("AT+FCLASS=8<CR>", Command("0001", 1));
    EXPECT_EQ("AT+VSD=129,70<CR>", Command("0001", 2));
}

TEST_F(ModemFixTest, RestoreWithNothingSavedWritesTheDefaults) {
    WriteAgereModem("\"1\"=\"at+fclass=8;+vit=0<cr>\"\n\"2\"=\"at+vsd=128,0<cr>\"\n");
    RegLSI modem;
    LocateSoftModem(modem);
    EXPECT_TRUE(modem.RestoreFix());
    EXPECT_EQ("at+fclass=8<cr>", Command("0001", 1));
    EXPECT_EQ("at+vsd=128,50<cr>", Command("0001", 2));
}

TEST_F(ModemFixTest, RestoreLeavesAModemsOwnTimerSettingAlone) {
    WriteAgereModem("\"1\"=\"AT+FCLASS=8;+VIT=10<cr>\"\n\"2\"=\"at+vsd=128,50<cr>\"\n");
    RegLSI modem;
    LocateSoftModem(modem);
    EXPECT_TRUE(modem.ApplyFix());
    EXPECT_EQ("AT+FCLASS=8;+VIT=10<cr>", Command("0001", 1));
    EXPECT_TRUE(modem.RestoreFix());
    EXPECT_EQ("AT+FCLASS=8;+VIT=10<cr>", Command("0001", 1));
    EXPECT_EQ("at+vsd=128,50<cr>", Command("0001", 2));
}

}  // namespace
