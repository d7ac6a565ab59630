#include "objects.h"

#include <algorithm>

uint32_t SysmixObjects::newField(void *object) {
    if (sizeof(void *) == sizeof(uint32_t)) return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(object));
    // Handles are never 0 and never one still in use; a handle given back is
    // not reused until the counter wraps.
    do {
        ++lastHandle_;
    } while (lastHandle_ == 0 || entryOf(lastHandle_));
    return lastHandle_;
}

SysmixObjects::Entry *SysmixObjects::entryOf(uint32_t field) {
    auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry &e) { return e.field == field; });
    return it == entries_.end() ? nullptr : &*it;
}

uint32_t SysmixObjects::add(void *object) {
    for (Entry &e : entries_)
        if (e.object == object) {
            ++e.refs;
            return e.field;
        }
    uint32_t field = newField(object);
    entries_.push_back(Entry{field, object, 1});
    return field;
}

void *SysmixObjects::find(uint32_t field) const {
    if (field == 0) return nullptr;
    for (const Entry &e : entries_)
        if (e.field == field) return e.object;
    return nullptr;
}

void *SysmixObjects::drop(uint32_t field) {
    Entry *e = field ? entryOf(field) : nullptr;
    if (!e) return nullptr;
    void *object = e->object;
    if (--e->refs == 0) entries_.erase(entries_.begin() + (e - entries_.data()));
    return object;
}
