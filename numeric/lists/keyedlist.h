// KeyedList: an owning list of heap entries found by name, termcore's
// table of files taken from version control.
#pragma once

#include <cstdint>
#include <string_view>

#include "locklist.h"

// One block: the record, then its three texts.
struct TakenFile {
    LockNode node;
    char *localPath;
    char *serverPath;
    char *serverBaseName;
    int32_t modTime;

    // Null when out of memory; freed by the list that holds it.
    static TakenFile *make(std::string_view localPath, std::string_view serverPath,
                           std::string_view serverBaseName, int32_t modTime);
};

class KeyedList {
public:
    // The link offset is the entry's node: the list reads the entries' names.
    explicit KeyedList(uint8_t flags = 0);
    ~KeyedList();
    KeyedList(const KeyedList &) = delete;
    KeyedList &operator=(const KeyedList &) = delete;

    void Add(TakenFile *entry);
    void Delete(TakenFile *entry);  // unlinks and frees it
    TakenFile *First();
    TakenFile *Next(TakenFile *entry);
    int Count();
    // The first entry whose server base name, or local path, equals text
    // without regard to case; nothing for an empty or null text.
    TakenFile *FindByName(const char *text);
    TakenFile *FindByPath(const char *text);

    LockList *list() { return &list_; }

private:
    LockList list_;
};
