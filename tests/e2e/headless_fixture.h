// A program folder and a private runtime folder for one `vocerra --headless`,
// with its settings and address book written before it starts, and callers
// placed on it with `vocerra-call`.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "e2e/process_harness.h"
#include "line_client.h"
#include "store/address_book_fixture.h"
#include "store/call_info.h"
#include "store/list.h"

namespace e2e {

constexpr int kInbox = 1;  // the first folder the default tree gives

class HeadlessVocerra : public storetest::AddressBookFiles {
protected:
    void SetUp() override {
        AddressBookFiles::SetUp();
        chmod(m_runtime.path().c_str(), 0700);
        m_cfg->m_idLine = 0;
        m_cfg->m_nRings = 2;
        m_cfg->m_nMaxCallMinutes = 0;
        m_cfg->VM_SetFlag(false, VM_FLAG_TOLL_SAVER | VM_FLAG_PRESCREEN | VM_FLAG_MODEM_FIX |
                                     VM_FLAG_REMOTE_RETRIEVAL | VM_FLAG_TIPS);
        m_cfg->VM_SetFlag(true, VM_FLAG_SINGLE_MAILBOX | VM_FLAG_ANSWERING);
    }
    void TearDown() override {
        if (m_vocerra) {
            m_vocerra->Signal(SIGTERM);
            // A clean stop; a sanitizer's report makes the exit code non-zero.
            EXPECT_EQ(0, m_vocerra->Wait()) << Err();
        }
    }

    Environment Env() const {
        return {{"VOCERRA_HOME", m_dir.path()},
                {"VOCERRA_RUNTIME_DIR", m_runtime.path()},
                {"VOCERRA_TIME_SCALE", m_timeScale},
                {"VOCERRA_NO_SOUND_CARDS", "1"},
                {"VOCERRA_MODEM_PORTS", ""},  // never this machine's serial ports
                {"VOCERRA_REGISTRY", m_runtime.file("registry.reg")}};
    }
    // The settings are written now and left to the program from here on.
    void StartVocerra() {
        m_cfg.reset();
        m_vocerra = std::make_unique<BackgroundProgram>(VOCERRA_BIN, std::vector<std::string>{"--headless"}, Env());
        ASSERT_TRUE(m_vocerra->WaitForErr(Contains("Vocerra answering on line 0"))) << Err();
    }
    Finished Call(std::vector<std::string> args) { return RunProgram(VOCERRA_CALL_BIN, args, Env()); }
    // Places a call and waits for the line Vocerra prints for it, and for the
    // line to be reopened: a call placed before that meets the restart.
    std::string CallAndWaitForLine(const std::vector<std::string>& args, Finished* call = nullptr) {
        const size_t before = m_vocerra->OutLines().size();
        const unsigned openings = LineOpenings();
        Finished done = Call(args);
        EXPECT_EQ(0, done.exitCode) << done.output;
        if (call != nullptr) *call = done;
        size_t seen = 0;
        std::string line;
        m_vocerra->WaitForOut([&](const std::string& l) {
            if (++seen <= before) return false;
            line = l;
            return true;
        });
        EXPECT_TRUE(WaitUntil([&] { return LineOpenings() > openings; })) << "the line was not reopened\n" << Err();
        return line;
    }
    // How often Vocerra has opened the simulated line so far.
    unsigned LineOpenings() {
        callclient::LineClient client;
        std::string error;
        if (!client.Connect(m_runtime.file("sim-line.sock"), &error)) return 0;
        const std::optional<std::string> reply = client.Request("LINE");
        // Vocerra's end of the connection is gone before its descriptors are counted.
        client.Bye();
        const size_t at = reply ? reply->find("openings=") : std::string::npos;
        return at == std::string::npos ? 0 : static_cast<unsigned>(std::stoul(reply->substr(at + 9)));
    }
    // Polls pred; the real-time guard only stops a wait that never ends.
    static bool WaitUntil(const std::function<bool()>& pred, int guardSeconds = 120) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(guardSeconds);
        while (!pred()) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    static std::function<bool(const std::string&)> Contains(const std::string& text) {
        return [text](const std::string& line) { return line.find(text) != std::string::npos; };
    }
    std::string Err() {
        std::string all;
        if (m_vocerra)
            for (const std::string& line : m_vocerra->ErrLines()) all += line + "\n";
        return all;
    }

    // The folder's call log as stored now.
    std::vector<std::unique_ptr<VM_CCallInfo>> Records(int folder = kInbox) {
        char name[32];
        std::snprintf(name, sizeof name, "/Config/QvLV%04d.Cfg", folder);
        VM_CCallInfo prototype;
        VM_CList list(&prototype, (m_dir.path() + name).c_str(), 0);
        std::vector<std::unique_ptr<VM_CCallInfo>> records;
        while (list.VM_GetCount() > 0) {
            auto* record = static_cast<VM_CCallInfo*>(list.VM_GetAt(0));
            list.VM_RemoveAt(0, false);
            records.emplace_back(record);
        }
        return records;
    }

    testsupport::TempDir m_runtime;
    // The caller judges quiet on the line in real time, so what it hears
    // needs a scale a loaded machine keeps up with.
    std::string m_timeScale = "8";
    std::unique_ptr<BackgroundProgram> m_vocerra;
};

// The number after `word` in text ("rang 3 times" -> 3), or -1.
inline int NumberAfter(const std::string& text, const std::string& word) {
    std::smatch match;
    if (!std::regex_search(text, match, std::regex(word + " ([0-9]+)"))) return -1;
    return std::stoi(match[1]);
}

}  // namespace e2e
