// The automation objects the server holds. The wire carries an object in a
// 32-bit field: the i686 build puts the interface pointer itself there, the
// x86_64 build a handle of this table. Either way the table counts the
// references handed to the server, so that a field the server sends back is
// used only when it names an object the server really holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class SysmixObjects {
public:
    // One more reference held by the server (the caller has added it);
    // returns the object's wire field, the same for the same pointer.
    uint32_t add(void *object);
    // The object of a wire field, or null when the server holds none such.
    void *find(uint32_t field) const;
    // One reference fewer; returns the object, whose reference the caller
    // gives back, or null when the field names nothing.
    void *drop(uint32_t field);
    // Empties the table; release is called once per reference still held.
    template <class Release> void clear(Release release) {
        for (const Entry &e : entries_)
            for (uint32_t i = 0; i < e.refs; ++i) release(e.object);
        entries_.clear();
    }
    size_t size() const { return entries_.size(); }

private:
    struct Entry {
        uint32_t field;
        void *object;
        uint32_t refs;
    };
    uint32_t newField(void *object);
    Entry *entryOf(uint32_t field);

    std::vector<Entry> entries_;
    uint32_t lastHandle_ = 0;
};
