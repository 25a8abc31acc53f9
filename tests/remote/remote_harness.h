// Shared by the remote-party tests: the simulated line with real call audio
// and the remote-party server on a private folder of the test's own, and a
// tiny answering owner on the test's thread that answers after a number of
// rings, plays a greeting and a beep into the call, then records the caller
// until the caller hangs up.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/player.h"
#include "audio/recorder.h"
#include "audio/wave_file.h"
#include "lines/sim/sim_line_remote.h"
#include "platform/win32/clock.h"
#include "lines/sim/sim_call_audio_device.h"
#include "support/message_window.h"
#include "support/scoped_env.h"
#include "support/signals.h"
#include "support/temp_dir.h"
#include "telephony/line_harness.h"
#include "telephony/var_structs.h"

namespace remotetest {

constexpr double kScale = 20.0;
constexpr double kBeepHz = 1000.0;
constexpr int kGreetingMs = 600;
constexpr int kBeepMs = 300;

// The greeting (a chord over noise: loud, but no pure tone) and the beep.
inline std::vector<int16_t> GreetingAndBeep() {
    using namespace testsupport;
    Samples greeting = Tone({{440.0, 5000.0}, {1300.0, 5000.0}}, kGreetingMs);
    AddInto(greeting, Noise(kGreetingMs, 3000.0));
    Append(greeting, Tone({{kBeepHz, 9000.0}}, kBeepMs));
    Samples rounded = ToInt16Range(greeting);
    return std::vector<int16_t>(rounded.begin(), rounded.end());
}

class AnsweringOwner : public linetest::RecordingOwner {
public:
    AnsweringOwner(HWND window, std::string greeting, std::string message)
        : m_window(window), m_greeting(std::move(greeting)), m_message(std::move(message)) {}
    ~AnsweringOwner() { Finish(); }

    size_t answerAfterRings = 2;
    bool hangUpAfterGreeting = false;  // as for a blocked caller
    bool recording = false;
    bool finished = false;

    // One step of the owner, after the queue was pumped.
    void Step(bool waveDone) {
        if (calls.empty() || finished) return;
        VM_CCall* call = calls[0].get();
        if (!m_answered && ringCounts.size() >= answerAfterRings && !HasState(LINECALLSTATE_DISCONNECTED)) {
            m_answered = call->VM_Answer();
        }
        if (m_answered && !m_player && HasState(LINECALLSTATE_CONNECTED)) {
            call->VM_MonitorDigits(LINEDIGITMODE_DTMF);
            m_player = std::make_unique<VM_CPlayer>(Device("wave/out"), m_window);
            m_greetingFile = std::make_unique<VM_CWaveFile>(m_greeting.c_str(), VM_WAVE_MODE_READ);
            m_player->VM_Start(m_greetingFile.get());
        }
        if (waveDone && m_player && hangUpAfterGreeting) {
            Finish();
            return;
        }
        if (waveDone && m_player && !m_recorder) {
            m_recorder = std::make_unique<VM_CRecorder>(Device("wave/in"), m_window);
            m_messageFile = std::make_unique<VM_CWaveFile>(m_message.c_str(), VM_WAVE_MODE_NEW);
            m_recorder->VM_SetDetection(0, 0, 0, 0);  // until the caller hangs up
            recording = m_recorder->VM_Start(m_messageFile.get());
        }
        if (HasState(LINECALLSTATE_DISCONNECTED)) Finish();
    }

    void Finish() {
        if (finished) return;
        if (m_recorder) m_recorder->VM_Stop();
        if (m_player) m_player->VM_Stop();
        m_recorder.reset();
        m_messageFile.reset();
        m_player.reset();
        m_greetingFile.reset();
        if (!calls.empty()) calls[0]->VM_Drop();
        finished = true;
    }

private:
    UINT Device(const char* deviceClass) {
        VM_CDeviceID id;
        EXPECT_EQ(id.VM_GetCallDeviceID(deviceClass, calls[0]->VM_GetHandle()), 0) << deviceClass;
        return id.VM_GetID();
    }

    HWND m_window;
    std::string m_greeting;
    std::string m_message;
    bool m_answered = false;
    std::unique_ptr<VM_CPlayer> m_player;
    std::unique_ptr<VM_CWaveFile> m_greetingFile;
    std::unique_ptr<VM_CRecorder> m_recorder;
    std::unique_ptr<VM_CWaveFile> m_messageFile;
};

class RemoteLineTest : public linetest::SimLineTest {
protected:
    void SetUp() override {
        platform::SetTimeScale(kScale);
        simline::InstallSimCallAudio();
        testsupport::WriteWavePcm16(m_dir.file("greeting.wav"), GreetingAndBeep());
        UseLines({simline::LineConfig{}});
        ASSERT_TRUE(VM_CTapi::VM_Initialize());
        OpenLine(&m_owner);
    }
    void TearDown() override {
        simline::StopRemoteLineServer();
        m_server.reset();
        m_owner.Finish();
        m_owner.calls.clear();
        m_owner.line.reset();
        linetest::SimLineTest::TearDown();
        simline::SetCallAudioFactory(nullptr);
        platform::SetTimeScale(1.0);
    }

    bool StartServer(simline::RemoteServerOptions options = {}) {
        m_server = std::make_unique<simline::RemoteLineServer>(Service(), std::move(options));
        std::string error;
        const bool started = m_server->Start(&error);
        EXPECT_TRUE(started) << error;
        return started;
    }

    // Pumps the test thread's queue and steps the owner until pred holds;
    // the real-time bound only keeps a broken test from hanging.
    bool PumpUntil(const std::function<bool()>& pred) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < end) {
            bool waveDone = false;
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.hwnd == m_window.hwnd() && msg.message == WM_WAVE_DONE)
                    waveDone = true;
                else
                    DispatchMessageA(&msg);
            }
            m_owner.Step(waveDone);
            if (pred()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return pred();
    }

    testsupport::TempDir m_dir;
    testsupport::ScopedEnv m_runtime{"VOCERRA_RUNTIME_DIR", (m_dir.path() + "/run").c_str()};
    testsupport::MessageWindow m_window;
    AnsweringOwner m_owner{m_window.hwnd(), m_dir.file("greeting.wav"), m_dir.file("message.wav")};
    std::unique_ptr<simline::RemoteLineServer> m_server;
};

}  // namespace remotetest
