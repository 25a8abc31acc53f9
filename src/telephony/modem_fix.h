// The modem driver's own recording commands, edited while answering for the
// voice modems whose driver hangs up a call the user is still on.
#pragma once

#include <functional>
#include <string>

// One modem's key under the modem device class of HKEY_LOCAL_MACHINE.
class RegModem {
public:
    RegModem() = default;
    virtual ~RegModem() = default;

    // Finds the modem by its port, else its manufacturer, else its name
    // (without regard to case; empty texts never match) among the numbered
    // subkeys of the modem class and fills in all four texts. False when it
    // is not found.
    bool Locate();

    void SetPort(const std::string& port) { m_port = port; }
    void SetManufacturer(const std::string& manufacturer) { m_manufacturer = manufacturer; }
    void SetName(const std::string& name) { m_name = name; }
    const std::string& Key() const { return m_key; }
    const std::string& Port() const { return m_port; }
    const std::string& Manufacturer() const { return m_manufacturer; }
    const std::string& Name() const { return m_name; }

    // The text value named by the last component of path, in the key named
    // by the rest, below HKEY_LOCAL_MACHINE; empty when either is missing.
    static std::string ReadValue(const std::string& path);
    // Stores text as REG_SZ (terminator included), creating the key; does
    // nothing when the key cannot be created.
    static void WriteValue(const std::string& path, const std::string& text);

protected:
    std::string m_key;  // below HKEY_LOCAL_MACHINE, empty until found
    std::string m_port;
    std::string m_manufacturer;
    std::string m_name;
};

// Lucent, LSI and Agere modems: switches off the voice inactivity timer and
// the silence period of the "StartRecord" commands, and puts them back.
class RegLSI : public RegModem {
public:
    RegLSI() = default;

    bool IsLsiModem() const;
    // True when both a mode command and a silence-detection command were found.
    bool ApplyFix();
    // Same meaning.
    bool RestoreFix();

    const std::string& SavedModeCommand() const { return m_savedMode; }
    const std::string& SavedSilenceCommand() const { return m_savedSilence; }

private:
    std::string CommandPath(int n) const;
    // Visits every mode and silence-detection command of "StartRecord" in
    // order; true when both kinds were found.
    bool ForEachCommand(const std::function<void(const std::string& path, const std::string& command,
                                                 bool isMode)>& visit);
    // The replaced commands are also kept in the registry, so that a stop
    // after the process ended abnormally puts the modem's own back.
    std::string SavedPath(const char* valueName) const;
    void LoadSaved();
    void Save(std::string& member, const char* valueName, const std::string& command);

    std::string m_savedSilence;
    std::string m_savedMode;
};
