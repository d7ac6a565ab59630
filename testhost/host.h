// The stand-in terminal host: the ZamExtCallBacks table and the TAppObj
// service object, as the message modules rely on them. One per test process
// (the host's callbacks carry no context). Every ZamExtCallBacks slot is a
// trap that fails the test and names the slot until a test enables it.
// Both tables end at a guard page: a module that reads a slot past the end
// of the table its host has crashes the test.
#pragma once

#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "guardbuf.h"
#include "zam_ext.h"

namespace th {

using ByteVec = std::vector<unsigned char>;

// An upcall made through getSendBuff and sendMessage or transactMessage.
struct Upcall {
    std::string table;
    int code;
    ByteVec payload;
    bool transact;
};

// A call of ZamExtCallBacks slot 18 or 19.
struct ChannelCall {
    ByteVec request;
    std::string channel;  // empty when the channel pointer was null
    int op;
    int replySize;
};

struct AddedEvent {
    PxEvent event;
    int mode;
};

class Host {
public:
    static Host &get();

    // Back to the state of a new host: all traps, nothing recorded.
    void reset();
    // Forgets what was recorded (calls, texts, events), keeping the set-up:
    // a long run keeps its memory flat.
    void forgetRecords();

    ZamExtCallBacks *ext() { return ext_; }
    TAppObj *app() { return &app_; }

    // Enables the stand-in implementation of the given ZamExtCallBacks slots
    // (1, 8, 9, 11, 12, 14, 15, 16, 18, 19, 26); enableExtAll enables them all.
    // A slot past the end of the table (setExtSlots) stays absent.
    void enableExtAll();
    void enableExt(std::initializer_list<int> slots);

    // A real host's strictness. QV_STRICT_HOST=1 in the environment turns
    // on all of it at reset(): a table ending right after slot 26, which
    // answers 0, procedures added with an answer of 0, a moving reply area.
    //
    // The ZamExtCallBacks table has slots 0 to slots - 1 (26: a host
    // without GetMaxBlockSize). Call before the module gets the table.
    void setExtSlots(int slots);
    int extSlots() const { return extSlots_; }
    // Sets `version` and gives AppIntf only the slots that version has
    // (0 to 13 below 12, 0 to 40 from 12 on). Call before setup.
    void setAppVersion(int appVersion);
    int appSlots() const { return appSlots_; }
    // Slot 26 answers 0, as a terminal without the service does.
    bool blockSizeAnswersZero = false;
    // addFilterProc and addIdleProc register the procedure and answer 0.
    bool addProcsAnswerZero = false;
    // getReplyBuff hands out another area each time, holding the reply so
    // far; the host then sends what the last area holds (Module copies it
    // back into its reply area after the request).
    bool moveReplyBuff = false;
    unsigned char *movedReply = nullptr;  // the last area handed out, or null

    // Calls of every slot since reset(), traps included.
    std::vector<int> extCalls;
    std::vector<int> appCalls;
    std::set<int> extSlotsCalled() const;
    std::set<int> appSlotsCalled() const;

    // Slot 14 looks for a file without a folder here (default: working dir).
    std::string iniDir;
    std::vector<std::string> iniReads;  // files asked for, as given
    // Slot 15.
    intptr_t redirectResult = 0;
    std::vector<std::vector<intptr_t>> redirects;
    std::vector<std::string> redirectTargets;  // the third word, a text
    // Slot 16.
    std::vector<std::vector<std::string>> messages;
    // Slot 18; four zeros count as a user break and are not recorded.
    std::vector<ChannelCall> channelSends;
    int userBreaks = 0;
    // Slot 19: the reply of a transaction, nullopt = failure (answers 0).
    std::function<std::optional<ByteVec>(const ChannelCall &)> channelResponder;
    // Slot 19 reports this many bytes more than it wrote, as a faulty server
    // might.
    unsigned channelExtraLength = 0;
    std::vector<ChannelCall> channelTransacts;
    // Slot 26.
    int maxBlockSize = 0x7ff0;
    int maxBlockSizeCalls = 0;

    // AppIntf.
    int version = 12;
    std::vector<Upcall> upcalls;
    // Answers a transactMessage of (table, code); no responder or nullopt:
    // transactMessage fails (null).
    using Responder = std::function<std::optional<ByteVec>(const Upcall &)>;
    void respond(const std::string &table, int code, Responder r);
    std::vector<PxFilterProc> filters;
    std::vector<PxIdleProc> idles;
    std::vector<std::string> listErrors;  // removal of something never added
    std::deque<PxEvent> queue;            // what getEvent hands out next
    std::vector<AddedEvent> added;        // every addEvent, in order
    // Input script: one step runs each time getEvent(-1) finds no event.
    std::deque<std::function<void()>> script;
    unsigned watchdogMs = 10000;
    int watchdogFired = 0;
    std::vector<int> stopSessions;
    int stopSessionResult = 0;
    int flushInputs = 0;
    void *hostApp = nullptr;
    std::vector<int> replyBuffAsks;

    // Set by Module around each request: the reply area getReplyBuff gives.
    unsigned char *currentReply = nullptr;
    size_t currentReplySize = 0;

    // Delivers waiting window messages through the registered filters.
    void pump();

private:
    Host();
    friend struct HostAccess;

    void layoutExt();
    void layoutApp();

    // Tables live in guarded memory, one area per length, kept for the
    // process: a module that kept an older table never reads freed memory.
    ZamExtCallBacks *ext_ = nullptr;
    AppIntf *intf_ = nullptr;
    int extSlots_ = kZamExtSlots;
    int appSlots_ = 0;
    std::map<int, std::unique_ptr<GuardedBuffer>> extTables_, appTables_;
    TAppObj app_;
    std::unique_ptr<GuardedBuffer> replyAreas_[2];
    int nextReplyArea_ = 0;
    std::map<std::pair<std::string, int>, Responder> responders_;
    struct Pending {
        std::string table;
        int code;
        ByteVec buffer;
    };
    std::vector<Pending> pending_;
    ByteVec lastReply_;
};

// Fails the running test, naming the table and slot; used by every trap.
void trapped(const char *table, int slot);

}  // namespace th
