#include "support/message_window.h"

namespace testsupport {

namespace {

constexpr const char* kClassName = "VocerraTestMessageWindow";

LRESULT DefaultProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool RegisterOnce() {
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefaultProc;
        wc.lpszClassName = kClassName;
        return RegisterClassA(&wc) != 0;
    }();
    return registered;
}

}  // namespace

MessageWindow::MessageWindow() {
    if (RegisterOnce())
        m_hwnd = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

MessageWindow::~MessageWindow() {
    if (m_hwnd != nullptr) DestroyWindow(m_hwnd);
}

}  // namespace testsupport
