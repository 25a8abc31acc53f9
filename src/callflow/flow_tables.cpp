// The transition tables of the single- and multi-mailbox call flows. Entries
// are tried in order; the first whose mask matches and whose guard holds is
// taken. Actions are ACT_ bits, run in VM_DoAction's fixed order.
#include "callflow/flow_table.h"
#include "callflow/single_mailbox_ctrl.h"

namespace {

constexpr WORD RN = VM_GUARD_RETRIEVAL_NOT_BLOCKED;
constexpr WORD R = VM_GUARD_RETRIEVAL;
constexpr WORD N = VM_GUARD_NOT_BLOCKED;
constexpr WORD MRN = VM_GUARD_RETRIEVAL_AND_NOT_BLOCKED;

constexpr DWORD D1 = EV_DIGIT_0 << 1;
constexpr DWORD D2 = EV_DIGIT_0 << 2;
constexpr DWORD D123 = 0xE;
constexpr DWORD D4 = EV_DIGIT_0 << 4;

// Action codes as the tables write them.
constexpr WORD A_NONE = 0;
constexpr WORD A_STOP_PLAY = ACT_STOP_PLAYING;                                       // 0x04
constexpr WORD A_RESET = ACT_RESET_RETRIES;                                          // 0x80
constexpr WORD A_STOP_PLAY_RESET = ACT_STOP_PLAYING | ACT_RESET_RETRIES;             // 0x84
constexpr WORD A_STOP_TIMER = ACT_STOP_TIMER;                                        // 0x20
constexpr WORD A_STOP_PLAY_START_TIMER = ACT_STOP_PLAYING | ACT_START_TIMER;         // 0x14
constexpr WORD A_STOP_PLAY_TIMER = ACT_STOP_PLAYING | ACT_STOP_TIMER;                // 0x24
constexpr WORD A_STOP_PLAY_TIMER_RESET = A_STOP_PLAY_TIMER | ACT_RESET_RETRIES;      // 0xA4
constexpr WORD A_STOP_TIMER_RESET = ACT_STOP_TIMER | ACT_RESET_RETRIES;              // 0xA0
constexpr WORD A_RECORD_DONE = ACT_STOP_RECORDING | ACT_STOP_TIMER;                  // 0x28
constexpr WORD A_RECORD_ABANDON =
    ACT_STOP_RECORDING | ACT_DELETE_MESSAGE | ACT_STOP_TIMER | ACT_RESET_RETRIES;  // 0xE8
constexpr WORD A_PRESCREEN_START = ACT_PRESCREEN_START | ACT_STOP_TIMER;          // 0x21
constexpr WORD A_PRESCREEN_STOP = ACT_PRESCREEN_STOP;                             // 0x02

constexpr VM_SFlowRow kRecording{2,
                                 {{{EV_RECORD_DONE, 0, A_RECORD_DONE, 98},
                                   {EV_POUND, 0, A_RECORD_ABANDON, 10},
                                   {EV_TIMEOUT, 0, A_PRESCREEN_START, SM_STAY},
                                   {EV_PRESCREEN_DONE, 0, A_PRESCREEN_STOP, SM_STAY}}}};
constexpr VM_SFlowRow kBlocked{6,
                               {{{EV_PLAY_DONE, 0, A_STOP_PLAY, 6},
                                 {EV_TIMEOUT, 0, A_STOP_TIMER, SM_END},
                                 {EV_RETRY_LIMIT, 0, A_RESET, SM_END}}}};
constexpr VM_SFlowRow kPasswordAsk{40,
                                   {{{EV_PLAY_DONE, 0, A_STOP_PLAY_START_TIMER, SM_STAY},
                                     {EV_ANY_DIGIT, 0, A_STOP_PLAY_TIMER, 41},
                                     {EV_POUND, 0, A_STOP_PLAY_TIMER, 44},
                                     {EV_RETRY_LIMIT, 0, A_NONE, 98},
                                     {EV_TIMEOUT, 0, A_STOP_TIMER, 40}}}};
constexpr VM_SFlowRow kPasswordDigit{41,
                                     {{{EV_ANY_DIGIT, 0, A_STOP_TIMER, 41},
                                       {EV_POUND, 0, A_STOP_TIMER, 44},
                                       {EV_TIMEOUT, 0, A_STOP_TIMER_RESET, 40},
                                       {EV_PASSWORD_BAD, 0, A_STOP_TIMER, 43}}}};
constexpr VM_SFlowRow kPasswordCheck{44, {{{EV_PASSWORD_BAD, 0, A_NONE, 43}}}};
constexpr VM_SFlowRow kFindMessage{61,
                                   {{{EV_MESSAGE_FOUND, 0, A_NONE, 62}, {EV_NO_MESSAGE, 0, A_NONE, 80}}}};
constexpr VM_SFlowRow kNoMessage{80, {{{EV_CONTINUE, 0, A_RESET, 60}}}};
constexpr VM_SFlowRow kDeleteMessage{81, {{{EV_NO_MESSAGE, 0, A_NONE, 80}, {EV_CONTINUE, 0, A_RESET, 60}}}};

// States 62 to 70 announce and play a message; 1, 2 or 3 find another, 4
// deletes it, and some may skip ahead at once (EV_CONTINUE).
constexpr VM_SFlowRow Announce(int state, int next, WORD doneAction = A_STOP_PLAY, int skipTo = 0) {
    VM_SFlowRow row{state, {}};
    row.entries[0] = {EV_PLAY_DONE, 0, doneAction, next};
    row.entries[1] = {D123, 0, A_STOP_PLAY, 61};
    int k = 2;
    if (skipTo != 0) row.entries[k++] = {EV_CONTINUE, 0, A_NONE, skipTo};
    row.entries[k] = {D4, 0, A_STOP_PLAY, 81};
    return row;
}

constexpr VM_SFlowRow kAnnounce62 = Announce(62, 63);
constexpr VM_SFlowRow kAnnounce63 = Announce(63, 64);
constexpr VM_SFlowRow kAnnounce64 = Announce(64, 65);
constexpr VM_SFlowRow kAnnounce65 = Announce(65, 66, A_STOP_PLAY, 66);
constexpr VM_SFlowRow kAnnounce66 = Announce(66, 67);
constexpr VM_SFlowRow kAnnounce67 = Announce(67, 68, A_STOP_PLAY, 69);
constexpr VM_SFlowRow kAnnounce68 = Announce(68, 69, A_STOP_PLAY, 69);
constexpr VM_SFlowRow kAnnounce69 = Announce(69, 70);
constexpr VM_SFlowRow kAnnounce70 = Announce(70, 60, A_STOP_PLAY_RESET);

constexpr std::array<VM_SFlowRow, VM_SINGLE_MAILBOX_STATES> kSingleRows{{
    {0,
     {{{EV_PLAY_DONE, 0, A_STOP_PLAY, 1},
       {EV_CONTINUE, 0, A_RESET, 6},
       {EV_POUND, RN, A_STOP_PLAY_RESET, 10}}}},
    {1, {{{EV_PLAY_DONE, 0, A_STOP_PLAY, 2}, {EV_POUND, 0, A_STOP_PLAY_RESET, 10}}}},
    kRecording,
    kBlocked,
    {10,
     {{{EV_RETRY_LIMIT, 0, A_NONE, 0},
       {EV_TIMEOUT, 0, A_STOP_TIMER, 10},
       {D1, 0, A_STOP_PLAY_TIMER, 30},
       {D2, 0, A_STOP_PLAY_TIMER, 20},
       {EV_PLAY_DONE, 0, A_STOP_PLAY_START_TIMER, SM_STAY}}}},
    {20,
     {{{EV_PASSWORD_OK, 0, A_NONE, 21}, {EV_PASSWORD_BAD, 0, A_NONE, 0}, {EV_CONTINUE, 0, A_RESET, 40}}}},
    {21, {{{EV_CONTINUE, 0, A_NONE, 31}}}},
    {30,
     {{{EV_PASSWORD_OK, 0, A_NONE, 31}, {EV_PASSWORD_BAD, 0, A_NONE, 0}, {EV_CONTINUE, 0, A_RESET, 40}}}},
    {31, {{{EV_CONTINUE, 0, A_NONE, 35}}}},
    {35, {{{EV_CONTINUE, 0, A_RESET, 60}}}},
    kPasswordAsk,
    kPasswordDigit,
    kPasswordCheck,
    {60,
     {{{EV_PLAY_DONE, 0, A_STOP_PLAY_START_TIMER, SM_STAY},
       {D123, 0, A_STOP_PLAY_TIMER, 61},
       {D4, 0, A_STOP_PLAY_TIMER, 81},
       {EV_RETRY_LIMIT, 0, A_NONE, 98},
       {EV_TIMEOUT, 0, A_STOP_TIMER, 60}}}},
    kFindMessage,
    kAnnounce62,
    kAnnounce63,
    kAnnounce64,
    kAnnounce65,
    kAnnounce66,
    kAnnounce67,
    kAnnounce68,
    kAnnounce69,
    kAnnounce70,
    kNoMessage,
    kDeleteMessage,
}};

constexpr std::array<VM_SFlowRow, VM_MULTI_MAILBOX_STATES> kMultiRows{{
    {0,
     {{{EV_PLAY_DONE, 0, A_STOP_PLAY, 5},
       {EV_CONTINUE, 0, A_RESET, 6},
       {EV_RETRY_LIMIT, 0, A_NONE, 98},
       {EV_ANY_DIGIT, N, A_STOP_PLAY, 3},
       {EV_POUND, MRN, A_STOP_PLAY_RESET, 10}}}},
    {1, {{{EV_PLAY_DONE, 0, A_STOP_PLAY, 2}, {EV_POUND, 0, A_STOP_PLAY_RESET, 10}}}},
    kRecording,
    {3, {{{EV_PLAY_DONE, 0, A_STOP_PLAY_RESET, 0}, {EV_MAILBOX_CHOSEN, 0, A_NONE, 4}}}},
    {4, {{{EV_PLAY_DONE, 0, A_STOP_PLAY, 1}, {EV_POUND, R, A_STOP_PLAY_RESET, 10}}}},
    {5,
     {{{EV_TIMEOUT, 0, A_STOP_TIMER, 0},
       {EV_ANY_DIGIT, 0, A_STOP_PLAY_TIMER, 3},
       {EV_PLAY_DONE, 0, A_STOP_PLAY_START_TIMER, SM_STAY},
       {EV_POUND, R, A_STOP_PLAY_TIMER_RESET, 10}}}},
    kBlocked,
    {10,
     {{{EV_RETRY_LIMIT, 0, A_RESET, 0},
       {EV_TIMEOUT, 0, A_STOP_TIMER, 10},
       {D1, 0, A_STOP_PLAY_TIMER, 30},
       {D2, 0, A_STOP_PLAY_TIMER, 20},
       {EV_PLAY_DONE, 0, A_STOP_PLAY_START_TIMER, SM_STAY}}}},
    {20,
     {{{EV_PASSWORD_OK, 0, A_NONE, 21}, {EV_PASSWORD_BAD, 0, A_RESET, 0}, {EV_CONTINUE, 0, A_RESET, 40}}}},
    {21, {{{EV_CONTINUE, 0, A_RESET, 31}}}},
    {30,
     {{{EV_PASSWORD_OK, 0, A_RESET, 31}, {EV_PASSWORD_BAD, 0, A_RESET, 0}, {EV_CONTINUE, 0, A_RESET, 40}}}},
    {31,
     {{{EV_RETRY_LIMIT, 0, A_NONE, 98},
       {EV_TIMEOUT, 0, A_STOP_TIMER, 31},
       {EV_PLAY_DONE, 0, A_STOP_PLAY_START_TIMER, SM_STAY},
       {EV_ANY_DIGIT, 0, A_STOP_PLAY_TIMER_RESET, 33}}}},
    {33, {{{EV_MAILBOX_CHOSEN, 0, A_NONE, 35}, {EV_PLAY_DONE, 0, A_STOP_PLAY_RESET, 31}}}},
    {35, {{{EV_CONTINUE, 0, A_RESET, 60}}}},
    kPasswordAsk,
    kPasswordDigit,
    kPasswordCheck,
    {60,
     {{{EV_PLAY_DONE, 0, A_STOP_PLAY_START_TIMER, SM_STAY},
       {D123, 0, A_STOP_PLAY_TIMER, 61},
       {D4, 0, A_STOP_PLAY_TIMER, 81},
       {EV_TIMEOUT, 0, A_STOP_TIMER, 60},
       {EV_RETRY_LIMIT, 0, A_RESET, 31},
       {EV_POUND, 0, A_STOP_PLAY_TIMER_RESET, 31}}}},
    kFindMessage,
    kAnnounce62,
    kAnnounce63,
    kAnnounce64,
    kAnnounce65,
    kAnnounce66,
    kAnnounce67,
    kAnnounce68,
    kAnnounce69,
    kAnnounce70,
    kNoMessage,
    kDeleteMessage,
}};

}  // namespace

constinit const std::array<std::int32_t, VM_SINGLE_MAILBOX_STATES * SM_ROW_SIZE> g_singleMailboxTable =
    VM_FlattenFlowTable(kSingleRows);
constinit const std::array<std::int32_t, VM_MULTI_MAILBOX_STATES * SM_ROW_SIZE> g_multiMailboxTable =
    VM_FlattenFlowTable(kMultiRows);
