#include "support/message_window.h"

#include <utility>

namespace testsupport {

namespace {

constexpr const char* kClassName = "VocerraTestMessageWindow";

}  // namespace

LRESULT MessageWindow::Procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    LRESULT result = 0;
    if (self != nullptr && self->m_handler && self->m_handler(hwnd, msg, wParam, lParam, result)) return result;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

MessageWindow::MessageWindow() : MessageWindow(Handler()) {}

MessageWindow::MessageWindow(Handler handler) : m_handler(std::move(handler)) {
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = Procedure;
        wc.lpszClassName = kClassName;
        return RegisterClassA(&wc) != 0;
    }();
    if (!registered) return;
    m_hwnd = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (m_hwnd != nullptr) SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

MessageWindow::~MessageWindow() {
    if (m_hwnd != nullptr) DestroyWindow(m_hwnd);
}

}  // namespace testsupport
