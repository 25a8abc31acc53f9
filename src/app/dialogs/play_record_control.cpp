#include "app/dialogs/play_record_control.h"

#include <algorithm>
#include <memory>
#include <utility>

#include <QApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QProgressDialog>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

#include "app/dialogs/message_box.h"
#include "audio/player.h"
#include "audio/recorder.h"
#include "audio/wave_file.h"
#include "callflow/timer.h"
#include "platform/win32/files.h"
#include "platform/win32/messages.h"

namespace {

constexpr int kTickMs = 250;
constexpr int kRecordingStep = 10;
constexpr DWORD kRecordFlags = VM_ENHANCE_KEEP_QUIET;
// Above this many sample bytes (about a minute at 8 kHz, 16 bits) starting
// may first convert the file for the device, long enough to show it.
constexpr DWORD kLongFileBytes = 1000000;
constexpr const char* kWindowClass = "VM_MetaphorOwner";

// The record button's mark: a red dot, the one colour recording is known by.
QIcon RecordIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xd0, 0x20, 0x20));
    const int margin = size / 4;
    painter.drawEllipse(margin, margin, size - 2 * margin, size - 2 * margin);
    return QIcon(pixmap);
}

bool FileExists(const std::string& path) {
    return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

struct VM_CMetaphor::Impl : VM_CTimerCbk {
    explicit Impl(VM_CMetaphor* owner, DWORD styleBits) : q(owner), style(styleBits) {}

    int VM_TimerCallback(VM_CTimer*) override {
        Tick();
        return 0;
    }

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void MakeOwnerWindow();
    void BuildChildren();

    void StopDevices(bool keepSlider);
    void FinishRecording();
    void EnableAfterStop();
    void EnableGroups(int groups, bool on);
    void SetSlider(int position);
    void Seek();
    void Tick();
    bool StartPlayer();

    VM_CMetaphor* q;
    DWORD style;
    HWND hwnd = nullptr;
    std::string path;
    // While recording: the file being written, put in place of path when
    // the recording ends.
    std::string recordingInto;
    int playDevice = -1;
    int recordDevice = -1;
    bool enhance = false;
    bool playing = false;
    bool settingSlider = false;
    QToolButton* play = nullptr;
    QToolButton* stop = nullptr;
    QToolButton* record = nullptr;
    QSlider* slider = nullptr;
    // Declared before the devices, which use it until they are deleted.
    std::unique_ptr<VM_CWaveFile> file;
    std::unique_ptr<VM_CPlayer> player;
    std::unique_ptr<VM_CRecorder> recorder;
    VM_CTimer timer{this};
    std::function<void()> playStarted;
    std::function<void()> recordStarted;
};

LRESULT CALLBACK VM_CMetaphor::Impl::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* impl = reinterpret_cast<Impl*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    LRESULT result = 0;
    if (impl != nullptr && impl->OnMessage(hwnd, message, wParam, lParam, result)) return result;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

bool VM_CMetaphor::Impl::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_TIMER) return timer.VM_OnMessage(window, message, wParam, lParam, result);
    if (message != WM_WAVE_DONE) return false;
    // Only the run now going ends it: a notice of a device already replaced
    // (or deleted) carries another address or run id.
    const VM_WaveRun run = VM_WaveRunOf(wParam, lParam);
    const bool current = (player && run == player->VM_GetRun()) || (recorder && run == recorder->VM_GetRun());
    if (current) q->VM_Stop();
    result = 0;
    return true;
}

void VM_CMetaphor::Impl::MakeOwnerWindow() {
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &Impl::WindowProc;
        wc.lpszClassName = kWindowClass;
        return RegisterClassA(&wc) != 0;
    }();
    (void)registered;
    hwnd = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (hwnd != nullptr) SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void VM_CMetaphor::Impl::BuildChildren() {
    auto makeButton = [this](const char* name, const QString& tip, const QIcon& icon) {
        auto* button = new QToolButton(q);
        button->setObjectName(QString::fromLatin1(name));
        button->setToolTip(tip);
        button->setAccessibleName(tip);
        button->setIcon(icon);
        button->setAutoRaise(false);
        return button;
    };
    QStyle* st = q->style();
    const int iconSize = st->pixelMetric(QStyle::PM_SmallIconSize);
    play = makeButton("play", QStringLiteral("Play"), st->standardIcon(QStyle::SP_MediaPlay));
    stop = makeButton("stop", QStringLiteral("Stop"), st->standardIcon(QStyle::SP_MediaStop));
    record = makeButton("record", QStringLiteral("Record"), RecordIcon(iconSize));
    slider = new QSlider(Qt::Horizontal, q);
    slider->setObjectName(QStringLiteral("slider"));
    slider->setAccessibleName(QStringLiteral("Position"));
    slider->setRange(0, kSliderMax);
    slider->setPageStep(kSliderMax / 10);
    slider->setMinimumWidth(120);
    if (style & kStyleDisplayOnly) {
        slider->setAttribute(Qt::WA_TransparentForMouseEvents);
        slider->setFocusPolicy(Qt::NoFocus);
    }
    auto* layout = new QHBoxLayout(q);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setDirection((style & kStyleLeftToRight) ? QBoxLayout::LeftToRight : QBoxLayout::RightToLeft);
    for (QWidget* child : {static_cast<QWidget*>(play), static_cast<QWidget*>(stop),
                           static_cast<QWidget*>(record), static_cast<QWidget*>(slider)})
        layout->addWidget(child);
    layout->setStretchFactor(slider, 1);

    QObject::connect(play, &QToolButton::clicked, q, [this] { q->VM_Play(); });
    QObject::connect(stop, &QToolButton::clicked, q, [this] { q->VM_Stop(); });
    QObject::connect(record, &QToolButton::clicked, q, [this] { q->VM_Record(); });
    QObject::connect(slider, &QSlider::valueChanged, q, [this](int) {
        if (!settingSlider && !(style & kStyleDisplayOnly)) Seek();
    });
}

void VM_CMetaphor::Impl::EnableGroups(int groups, bool on) {
    if (groups & kGroupPlay) play->setEnabled(on);
    if (groups & kGroupStop) stop->setEnabled(on);
    if (groups & kGroupSlider) slider->setEnabled(on);
    if (groups & kGroupRecord) record->setEnabled(on);
}

void VM_CMetaphor::Impl::SetSlider(int position) {
    settingSlider = true;
    slider->setValue(std::clamp(position, 0, kSliderMax));
    settingSlider = false;
}

// Each slider step is a whole number of sample blocks; a file with no block
// alignment or no data is not sought into (and plays from its start).
void VM_CMetaphor::Impl::Seek() {
    // While recording the slider is only a busy indicator.
    if (!file || !slider || recorder) return;
    const auto* format = file->VM_GetFormat();
    const DWORD blockAlign = format != nullptr ? format->nBlockAlign : 0;
    const DWORD length = file->VM_GetDataSize();
    if (blockAlign == 0 || length == 0) return;
    const long long blocksPerStep = length / (static_cast<long long>(blockAlign) * kSliderMax);
    file->VM_SetReadPos(static_cast<LONG>(blockAlign * blocksPerStep * slider->value()));
}

void VM_CMetaphor::Impl::Tick() {
    if (playing) {
        const DWORD length = file ? file->VM_GetDataSize() : 0;
        const auto* format = file ? file->VM_GetFormat() : nullptr;
        if (length == 0 || format == nullptr || format->nBlockAlign == 0) {
            SetSlider(0);
            return;
        }
        const double share = static_cast<double>(file->VM_GetReadPos()) * kSliderMax / length;
        SetSlider(std::max(static_cast<int>(share), slider->value()));
    } else if (recorder) {
        const int next = slider->value() + kRecordingStep;
        SetSlider(next >= kSliderMax ? 0 : next);
    }
}

void VM_CMetaphor::Impl::StopDevices(bool keepSlider) {
    timer.VM_Stop();
    // Deleting a device stops it; the file goes last.
    player.reset();
    recorder.reset();
    file.reset();
    FinishRecording();
    playing = false;
    if (!keepSlider) SetSlider(0);
    EnableAfterStop();
}

// A new recording replaces the old one whole, and only once it has been
// made: a device that does not start leaves the old recording alone. One
// too short to keep (the file deletes itself) leaves no recording, as
// recording straight into the file would.
void VM_CMetaphor::Impl::FinishRecording() {
    if (recordingInto.empty()) return;
    const std::string made = std::exchange(recordingInto, std::string());
    if (!FileExists(made)) {
        DeleteFileA(path.c_str());
        return;
    }
    if (!MoveFileExA(made.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(made.c_str());
        VM_ShowMessage(q, QStringLiteral("The new recording could not be saved as \"%1\"; the previous one is "
                                         "kept. Check that the disk is not full.").arg(QString::fromStdString(path)));
    }
}

void VM_CMetaphor::Impl::EnableAfterStop() {
    EnableGroups(kGroupPlay | kGroupStop | kGroupSlider | kGroupRecord, false);
    if (path.empty()) return;
    const bool mayRecord = !(style & kStyleNoRecord);
    if (FileExists(path))
        EnableGroups(kGroupPlay | kGroupStop | kGroupSlider | (mayRecord ? kGroupRecord : 0), true);
    else if (mayRecord)
        EnableGroups(kGroupRecord, true);
}

// Converting a long file for the device takes a while: say so meanwhile.
bool VM_CMetaphor::Impl::StartPlayer() {
    std::unique_ptr<QProgressDialog> busy;
    if (file->VM_GetDataSize() > kLongFileBytes && q->isVisible()) {
        busy = std::make_unique<QProgressDialog>(QStringLiteral("Preparing the recording for playing..."),
                                                 QString(), 0, 0, q);
        busy->setWindowTitle(QStringLiteral("Vocerra"));
        busy->setMinimumDuration(0);
        busy->show();
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool started = player->VM_Start(file.get()) != FALSE;
    QApplication::restoreOverrideCursor();
    return started;
}

VM_CMetaphor::VM_CMetaphor(DWORD style, QWidget* parent) : QWidget(parent), m_pImpl(new Impl(this, style)) {
    m_pImpl->MakeOwnerWindow();
    m_pImpl->BuildChildren();
    m_pImpl->StopDevices(false);
}

VM_CMetaphor::~VM_CMetaphor() {
    m_pImpl->StopDevices(true);
    if (m_pImpl->hwnd != nullptr) {
        SetWindowLongPtrA(m_pImpl->hwnd, GWLP_USERDATA, 0);
        DestroyWindow(m_pImpl->hwnd);
    }
    delete m_pImpl;
}

void VM_CMetaphor::VM_SetFile(const std::string& path) {
    m_pImpl->path = path;
    VM_Stop();
}

const std::string& VM_CMetaphor::VM_GetFile() const { return m_pImpl->path; }

void VM_CMetaphor::VM_SetDevices(int playDevice, int recordDevice) {
    m_pImpl->playDevice = playDevice;
    m_pImpl->recordDevice = recordDevice;
}

void VM_CMetaphor::VM_SetEnhance(bool enhance) { m_pImpl->enhance = enhance; }

void VM_CMetaphor::VM_AllowRecording(bool allow) {
    const bool allowed = !(m_pImpl->style & kStyleNoRecord);
    if (allow == allowed) return;
    if (allow)
        m_pImpl->style &= ~kStyleNoRecord;
    else
        m_pImpl->style |= kStyleNoRecord;
    m_pImpl->EnableGroups(kGroupRecord, allow);
}

void VM_CMetaphor::VM_Stop() {
    const bool wasActive = VM_IsActive();
    m_pImpl->StopDevices(false);
    if (wasActive) emit VM_Stopped();
}

bool VM_CMetaphor::VM_Play() {
    Impl& d = *m_pImpl;
    const bool wasActive = VM_IsActive();
    // The slider keeps its place: that is where playing starts.
    d.StopDevices(true);
    if (wasActive) emit VM_Stopped();
    const QString name = QString::fromStdString(d.path);
    if (d.path.empty()) {
        VM_ShowMessage(this, QStringLiteral("There is no recording to play."));
        return false;
    }
    if (d.hwnd == nullptr) return false;
    d.player = std::make_unique<VM_CPlayer>(static_cast<UINT>(d.playDevice), d.hwnd);
    d.file = std::make_unique<VM_CWaveFile>(d.path.c_str(), VM_WAVE_MODE_READ);
    if (!d.file->VM_IsOpen()) {
        d.StopDevices(false);
        VM_ShowMessage(this, QStringLiteral("The recording \"%1\" cannot be played: the file is missing or is "
                                           "not a sound file Vocerra can read.").arg(name));
        return false;
    }
    d.Seek();
    d.playing = true;
    d.EnableGroups(kGroupPlay | kGroupRecord, false);
    d.EnableGroups(kGroupStop | kGroupSlider, true);
    if (!d.StartPlayer()) {
        d.StopDevices(false);
        VM_ShowMessage(this, QStringLiteral("The recording \"%1\" cannot be played on the playback device. "
                                           "Check the sound device set-up.").arg(name));
        return false;
    }
    if (d.playStarted) d.playStarted();
    if (d.style & kStyleDisplayOnly) d.SetSlider(0);
    d.timer.VM_Start(kTickMs, d.hwnd, 0);
    return true;
}

bool VM_CMetaphor::VM_Record() {
    Impl& d = *m_pImpl;
    VM_Stop();
    const QString name = QString::fromStdString(d.path);
    if (d.path.empty() || d.hwnd == nullptr || (d.style & kStyleNoRecord)) return false;
    d.recorder = std::make_unique<VM_CRecorder>(static_cast<UINT>(d.recordDevice), d.hwnd);
    const std::string into = d.path + ".recording";
    d.file = std::make_unique<VM_CWaveFile>(into.c_str(), VM_WAVE_MODE_NEW);
    if (!d.file->VM_IsOpen()) {
        d.StopDevices(false);
        DeleteFileA(into.c_str());
        VM_ShowMessage(this, QStringLiteral("Vocerra cannot write the recording \"%1\". Check that the disk "
                                           "is not full and the folder can be written.").arg(name));
        return false;
    }
    d.playing = false;
    d.EnableGroups(kGroupPlay | kGroupRecord, false);
    d.EnableGroups(kGroupStop | kGroupSlider, true);
    d.recorder->VM_SetDetection(0, 0, 0, kRecordFlags | (d.enhance ? VM_ENHANCE_COMPRESS : 0));
    if (!d.recorder->VM_Start(d.file.get())) {
        d.StopDevices(false);
        DeleteFileA(into.c_str());
        VM_ShowMessage(this, QStringLiteral("Recording cannot start on the recording device. Check the sound "
                                           "device set-up."));
        return false;
    }
    d.recordingInto = into;
    if (d.recordStarted) d.recordStarted();
    d.SetSlider(0);
    d.timer.VM_Start(kTickMs, d.hwnd, 0);
    return true;
}

bool VM_CMetaphor::VM_IsPlaying() const { return m_pImpl->playing; }

bool VM_CMetaphor::VM_IsActive() const { return m_pImpl->player || m_pImpl->recorder; }

int VM_CMetaphor::VM_GetSliderPos() const { return m_pImpl->slider->value(); }

void VM_CMetaphor::VM_SetSliderPos(int position) {
    m_pImpl->SetSlider(position);
    if (!(m_pImpl->style & kStyleDisplayOnly)) m_pImpl->Seek();
}

int VM_CMetaphor::VM_GetEnabledGroups() const {
    const Impl& d = *m_pImpl;
    return (d.play->isEnabled() ? kGroupPlay : 0) | (d.stop->isEnabled() ? kGroupStop : 0) |
           (d.slider->isEnabled() ? kGroupSlider : 0) | (d.record->isEnabled() ? kGroupRecord : 0);
}

DWORD VM_CMetaphor::VM_GetStyle() const { return m_pImpl->style; }

HWND VM_CMetaphor::VM_GetOwnerWindow() const { return m_pImpl->hwnd; }

void VM_CMetaphor::VM_SetStartedCommands(std::function<void()> playStarted, std::function<void()> recordStarted) {
    m_pImpl->playStarted = std::move(playStarted);
    m_pImpl->recordStarted = std::move(recordStarted);
}
