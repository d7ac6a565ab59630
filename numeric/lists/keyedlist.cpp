#include "keyedlist.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include "letters.h"

namespace {

char *putText(char *at, std::string_view text) {
    std::memcpy(at, text.data(), text.size());
    at[text.size()] = '\0';
    return at;
}

int freeEntry(void *item) {
    TakenFile *entry = static_cast<TakenFile *>(item);
    LockNodeUnlink(&entry->node);
    std::free(entry);
    return 0;
}

// Local names are in the Windows code page.
bool sameNoCase(const char *a, const char *b) {
    for (;; ++a, ++b) {
        unsigned char ca = static_cast<unsigned char>(*a), cb = static_cast<unsigned char>(*b);
        if (ca != cb && win_upperChar(ca) != win_upperChar(cb)) return false;
        if (!ca) return true;
    }
}

intptr_t nameIs(void *item, void *text) {
    return sameNoCase(static_cast<TakenFile *>(item)->serverBaseName, static_cast<const char *>(text));
}

intptr_t pathIs(void *item, void *text) {
    return sameNoCase(static_cast<TakenFile *>(item)->localPath, static_cast<const char *>(text));
}

}  // namespace

TakenFile *TakenFile::make(std::string_view localPath, std::string_view serverPath,
                           std::string_view serverBaseName, int32_t modTime) {
    size_t size = sizeof(TakenFile) + localPath.size() + serverPath.size() + serverBaseName.size() + 3;
    void *block = std::malloc(size);
    if (!block) return nullptr;
    TakenFile *e = new (block) TakenFile{};
    char *texts = static_cast<char *>(block) + sizeof(TakenFile);
    e->localPath = putText(texts, localPath);
    e->serverPath = putText(e->localPath + localPath.size() + 1, serverPath);
    e->serverBaseName = putText(e->serverPath + serverPath.size() + 1, serverBaseName);
    e->modTime = modTime;
    return e;
}

KeyedList::KeyedList(uint8_t flags) {
    LockListInit(&list_, flags | kLockOwner, offsetof(TakenFile, node));
}

KeyedList::~KeyedList() { LockListClear(&list_, freeEntry); }

void KeyedList::Add(TakenFile *entry) { LockListAdd(&list_, entry); }

void KeyedList::Delete(TakenFile *entry) { LockListDelete(&list_, entry, freeEntry); }

TakenFile *KeyedList::First() { return static_cast<TakenFile *>(LockListFirst(&list_)); }

TakenFile *KeyedList::Next(TakenFile *entry) {
    return static_cast<TakenFile *>(LockListNext(&list_, entry));
}

int KeyedList::Count() { return LockListCount(&list_); }

TakenFile *KeyedList::FindByName(const char *text) {
    if (!text || !*text) return nullptr;
    return static_cast<TakenFile *>(LockListFind(&list_, nameIs, const_cast<char *>(text)));
}

TakenFile *KeyedList::FindByPath(const char *text) {
    if (!text || !*text) return nullptr;
    return static_cast<TakenFile *>(LockListFind(&list_, pathIs, const_cast<char *>(text)));
}
