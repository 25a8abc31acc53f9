// A caller-ID "window" for tests: everything it was told, in order.
#pragma once

#include <string>
#include <vector>

#include "callflow/caller_id_window.h"

namespace testsupport {

class RecordingCallerID : public VM_CCallerIDDlg {
public:
    RecordingCallerID(HWND parent, VM_CAnswerMachine* owner, std::vector<std::string>* lines)
        : VM_CCallerIDDlg(parent, owner), m_lines(lines) {}

protected:
    void VM_OnCaller(const std::string& name, const std::string& number) override {
        m_lines->push_back("caller " + name + " / " + number);
    }
    void VM_OnStatus(const std::string& text) override { m_lines->push_back(text); }

private:
    std::vector<std::string>* m_lines;
};

}  // namespace testsupport
