// A serial port opened the way programs sharing serial lines on Linux must:
// never as the controlling terminal, with exclusive access, and under a UUCP
// lock file that other dialers honour. Raw bytes, hardware flow control
// (voice data contains XON and XOFF bytes), non-blocking.
#pragma once

#include <string>

namespace modemline {

class SerialPort {
public:
    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Empty on success, else why the port cannot be used. lockDir holds the
    // "LCK..<name>" files (empty: /var/lock, else /run/lock).
    std::string Open(const std::string& path, const std::string& lockDir);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }

private:
    std::string TakeLock(const std::string& path, const std::string& lockDir);

    int m_fd = -1;
    std::string m_lockFile;
};

// The lock file a port takes in a folder ("<dir>/LCK..ttyACM0").
std::string LockFilePath(const std::string& port, const std::string& lockDir);

}  // namespace modemline
