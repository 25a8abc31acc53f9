// The tape-recorder control the dialogs embed wherever the user listens to
// a recording or records one: play, stop and record buttons and a position
// slider (0..400), bound to one WAVE file and driving a player or a recorder
// on the computer's sound devices. It lives on the main thread; the devices
// report to a message-only window of its own.
#pragma once

#include <functional>
#include <string>

#include <QWidget>

#include "platform/win32/types.h"

class VM_CMetaphor : public QWidget {
    Q_OBJECT
public:
    static constexpr DWORD kStyleDisplayOnly = 0x8;   // the slider only shows the position
    static constexpr DWORD kStyleNoRecord = 0x10;     // recording is not allowed
    static constexpr DWORD kStyleLeftToRight = 0x20;  // buttons laid out left to right
    static constexpr int kSliderMax = 400;

    // Button groups enabled and disabled together.
    static constexpr int kGroupPlay = 0x1;
    static constexpr int kGroupStop = 0x2;
    static constexpr int kGroupSlider = 0x4;
    static constexpr int kGroupRecord = 0x8;

    explicit VM_CMetaphor(DWORD style, QWidget* parent = nullptr);
    ~VM_CMetaphor() override;

    // Stops what runs and binds the control to path (empty: none).
    void VM_SetFile(const std::string& path);
    const std::string& VM_GetFile() const;
    // Wave-out and wave-in device ids; -1 (the default device) until set.
    void VM_SetDevices(int playDevice, int recordDevice);
    void VM_SetEnhance(bool enhance);
    void VM_AllowRecording(bool allow);

    // Each tells the user why when it fails (VM_ShowMessage).
    bool VM_Play();
    bool VM_Record();
    void VM_Stop();
    bool VM_IsPlaying() const;
    bool VM_IsActive() const;  // a player or a recorder runs
    int VM_GetSliderPos() const;
    // As if the user moved the slider: seeks while playing.
    void VM_SetSliderPos(int position);
    // The groups (kGroup...) now enabled.
    int VM_GetEnabledGroups() const;
    DWORD VM_GetStyle() const;
    // The window the devices post to.
    HWND VM_GetOwnerWindow() const;

    // Run after playing or recording has started.
    void VM_SetStartedCommands(std::function<void()> playStarted, std::function<void()> recordStarted);


signals:
    // Playing or recording has ended (by the end of the file, Stop, or a
    // device failure).
    void VM_Stopped();

private:
    struct Impl;
    Impl* m_pImpl;
};
