// QVCOM records as the object runtime lays them out at this build's pointer
// size, read and written byte by byte (never through the modules' own
// declarations): class records, member-table rows and the two reflection
// records of the class information. On i686 a class record is 16 bytes, a
// row 24, a member-at record 20 and a find record 24.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace th {

constexpr size_t kQvWord = sizeof(void *);
constexpr size_t qvAlign(size_t n) { return (n + kQvWord - 1) / kQvWord * kQvWord; }

template <typename T>
T qvRead(const void *base, size_t offset) {
    T v;
    std::memcpy(&v, static_cast<const unsigned char *>(base) + offset, sizeof v);
    return v;
}
template <typename T>
void qvWrite(void *base, size_t offset, T v) {
    std::memcpy(static_cast<unsigned char *>(base) + offset, &v, sizeof v);
}

// Class record: {parent getter, member-table getter, name, 0}.
struct ClassWords {
    const void *parent;
    const void *members;
    const char *name;
    intptr_t fourth;
};
inline ClassWords classWords(const void *rec) {
    return ClassWords{qvRead<const void *>(rec, 0), qvRead<const void *>(rec, kQvWord),
                      qvRead<const char *>(rec, 2 * kQvWord), qvRead<intptr_t>(rec, 3 * kQvWord)};
}

// Member-table row, packed: name, int32 dispid, result byte, parameter list,
// kind byte, one byte, nine zero bytes.
constexpr size_t kRowDispid = kQvWord, kRowResult = kQvWord + 4, kRowParams = kQvWord + 5,
                 kRowKind = 2 * kQvWord + 5, kRowFlag = 2 * kQvWord + 6, kRowZero = 2 * kQvWord + 7,
                 kRowSize = 2 * kQvWord + 16;

// The reflection records: member at {name, memid, empty text, kind, 3 or 4},
// find {name, memid, 0, empty text, kind, 3}; int fields are 32-bit, texts
// words at their natural alignment.
struct MemberRecord {
    const char *name = nullptr;
    int32_t memid = 0;
    int32_t zero = 0;  // find only
    const char *text = nullptr;
    int32_t kind = 0;
    int32_t tail = 0;
};
struct RecordLayout {
    size_t zero, text, kind, size;  // zero 0: the record has no such field
};
constexpr RecordLayout kMemberAt{0, 2 * kQvWord, 3 * kQvWord, qvAlign(3 * kQvWord + 8)};
constexpr RecordLayout kFound{kQvWord + 4, qvAlign(kQvWord + 8), qvAlign(kQvWord + 8) + kQvWord,
                              qvAlign(qvAlign(kQvWord + 8) + kQvWord + 8)};

inline MemberRecord readMember(const void *p, const RecordLayout &l) {
    MemberRecord r;
    r.name = qvRead<const char *>(p, 0);
    r.memid = qvRead<int32_t>(p, kQvWord);
    if (l.zero) r.zero = qvRead<int32_t>(p, l.zero);
    r.text = qvRead<const char *>(p, l.text);
    r.kind = qvRead<int32_t>(p, l.kind);
    r.tail = qvRead<int32_t>(p, l.kind + 4);
    return r;
}
inline void writeMember(void *p, const RecordLayout &l, const MemberRecord &r) {
    std::memset(p, 0, l.size);
    qvWrite(p, 0, r.name);
    qvWrite(p, kQvWord, r.memid);
    qvWrite(p, l.text, r.text);
    qvWrite(p, l.kind, r.kind);
    qvWrite(p, l.kind + 4, r.tail);
}

}  // namespace th

#if defined(_WIN32) && !defined(_WIN64)
static_assert(th::kRowSize == 24 && th::kMemberAt.size == 20 && th::kFound.size == 24 && th::kFound.text == 12 &&
                  th::kFound.kind == 16,
              "the records' i686 sizes");
#endif
