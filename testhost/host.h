// The stand-in terminal host: the ZamExtCallBacks table and the TAppObj
// service object, as the message modules rely on them. One per test process
// (the host's callbacks carry no context). Every ZamExtCallBacks slot is a
// trap that fails the test and names the slot until a test enables it.
#pragma once

#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
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

    ZamExtCallBacks *ext() { return &ext_; }
    TAppObj *app() { return &app_; }

    // Enables the stand-in implementation of the given ZamExtCallBacks slots
    // (1, 8, 9, 11, 12, 14, 15, 16, 18, 19, 26); enableExtAll enables them all.
    void enableExt(std::initializer_list<int> slots);
    void enableExtAll();

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
    bool refuseIdle = false;  // addIdleProc answers 0 and adds nothing
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
    // getReplyBuff hands out a new area (filled with 0xCD) at every call,
    // as a host whose block moves during an upcall does; the request's
    // reply is then read from the last area handed out.
    bool replyMoves = false;

    // Delivers waiting window messages through the registered filters.
    void pump();

private:
    Host();
    friend struct HostAccess;

    ZamExtCallBacks ext_;
    AppIntf intf_;
    TAppObj app_;
    std::map<std::pair<std::string, int>, Responder> responders_;
    struct Pending {
        std::string table;
        int code;
        ByteVec buffer;
    };
    std::vector<Pending> pending_;
    ByteVec lastReply_;
    std::vector<std::unique_ptr<GuardedBuffer>> movedReplies_;
};

// Fails the running test, naming the table and slot; used by every trap.
void trapped(const char *table, int slot);

}  // namespace th
