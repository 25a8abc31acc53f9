// The command table behind the main window: command numbers (and control
// numbers) bound to handlers, and the small command objects that buttons,
// links and the drag-and-drop visitors hold.
#pragma once

#include <array>
#include <functional>

// One pointer argument in, a result out: 0 tells the framework the command
// was not carried out.
using VM_FCommandHandler = std::function<int(void*)>;

class VM_CMediator {
public:
    static constexpr int kMaxEntries = 39;

    // Appends an entry; false (nothing changes) once the table is full.
    // An empty handler is kept and reported when executed.
    bool VM_Register(int key, VM_FCommandHandler handler);
    // The first entry with the key runs; 0 when the key is not in the table
    // or its entry has no handler (traced: a wiring slip must not end the
    // program).
    int VM_Execute(int key, void* arg) const;
    bool VM_Has(int key) const;
    int VM_GetCount() const { return m_nCount; }

private:
    struct Entry {
        int key = 0;
        VM_FCommandHandler handler;
    };
    std::array<Entry, kMaxEntries> m_entries{};
    int m_nCount = 0;
};

class VM_CConcreteCmd {
public:
    static constexpr int kNone = -1;

    VM_CConcreteCmd(int key = kNone, VM_CMediator* mediator = nullptr) : m_nKey(key), m_pMediator(mediator) {}
    // Runs the key on the mediator; kNone, or no mediator, does nothing.
    int VM_Execute(void* arg) const;
    int VM_GetKey() const { return m_nKey; }

private:
    int m_nKey;
    VM_CMediator* m_pMediator;
};
