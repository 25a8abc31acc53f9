// Drives modal dialogs from a test: each step waits for a modal widget the
// step accepts (other modal widgets, such as a progress window, are left
// alone), then acts on it. The steps run from the event loop that the
// dialog under test spins.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QObject>
#include <QTimer>

class QWidget;

class ModalScript : public QObject {
public:
    using Match = std::function<bool(QWidget*)>;
    using Act = std::function<void(QWidget*)>;

    ModalScript();
    ~ModalScript() override;

    // Adds a step for a modal widget of type T.
    template <typename T>
    ModalScript& On(std::function<void(T*)> act) {
        m_steps.push_back({[](QWidget* w) { return qobject_cast<T*>(w) != nullptr; },
                           [act](QWidget* w) { act(qobject_cast<T*>(w)); }});
        return *this;
    }
    // A message box: records its text and presses its default button.
    ModalScript& Message();

    // Steps not run yet.
    std::size_t Pending() const { return m_steps.size() - m_next; }
    // The texts of the message boxes seen, in order.
    const std::vector<std::string>& Messages() const { return m_messages; }

private:
    struct Step {
        Match match;
        Act act;
    };
    void Poll();

    QTimer m_timer;
    std::vector<Step> m_steps;
    std::size_t m_next = 0;
    std::vector<std::string> m_messages;
};
