// What the caller says after the beep: a WAVE file in a telephone format the
// simulated line takes, made from --say TEXT (espeak-ng, then sox to 8 kHz
// mono 16-bit) or from --play FILE (used as it is when it is already 8 kHz
// mono, else converted with sox). Temporary files go with the object.
#pragma once

#include <string>

namespace callclient {

class MessageAudio {
public:
    MessageAudio() = default;
    ~MessageAudio();
    MessageAudio(const MessageAudio&) = delete;
    MessageAudio& operator=(const MessageAudio&) = delete;

    bool FromText(const std::string& text, std::string* error);
    bool FromFile(const std::string& path, std::string* error);
    // Absolute path of the file to send; empty before a success.
    const std::string& Path() const { return m_path; }

private:
    bool MakeTempFolder(std::string* error);
    bool Convert(const std::string& from, std::string* error);

    std::string m_tempFolder;
    std::string m_path;
};

// An absolute form of path (against the current folder), as the server
// runs elsewhere.
std::string AbsolutePath(const std::string& path);

}  // namespace callclient
