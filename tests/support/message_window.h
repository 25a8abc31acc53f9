// A message-only window of the calling thread, for tests that need an owner
// to which devices and services post their notices. Without a handler the
// messages it is sent go to the default procedure and tests read the
// posted ones from the queue; with one, the handler sees each message first
// and answers whether it took it (and with what result), as the program's
// observers do.
#pragma once

#include <functional>
#include <memory>

#include "platform/win32/messages.h"

namespace testsupport {

class MessageWindow {
public:
    using Handler = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT&)>;

    MessageWindow();
    explicit MessageWindow(Handler handler);
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    // A window whose messages go first to owner->OnMessage, with the
    // handler's arguments.
    template <typename Owner>
    static std::unique_ptr<MessageWindow> For(Owner* owner) {
        return std::make_unique<MessageWindow>(
            [owner](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
                return owner->OnMessage(hwnd, message, wParam, lParam, result);
            });
    }

    HWND hwnd() const { return m_hwnd; }

private:
    static LRESULT Procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    Handler m_handler;
    HWND m_hwnd = nullptr;
};

}  // namespace testsupport
