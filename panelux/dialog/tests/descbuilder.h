// Packed panel descriptions and field update records for the tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct Bytes {
    std::vector<unsigned char> b;
    Bytes &u8(unsigned v) { b.push_back(static_cast<unsigned char>(v)); return *this; }
    Bytes &u16(unsigned v) { return u8(v & 0xFF).u8((v >> 8) & 0xFF); }
    Bytes &u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Bytes &text(const std::string &s) {
        b.insert(b.end(), s.begin(), s.end());
        return u8(0);
    }
    Bytes &raw(const void *p, size_t n) {
        const unsigned char *c = static_cast<const unsigned char *>(p);
        b.insert(b.end(), c, c + n);
        return *this;
    }
};

struct DescField {
    uint8_t kind = 1;
    uint16_t number = 1;
    uint8_t type = 7;
    int16_t length = 10;
    int8_t column = 1, row = 1, width = 10, height = 1;
    int16_t help = 0;
    uint32_t options = 0;
    std::string header, format;
    std::vector<unsigned char> value;  // raw: binary, or the text with its NUL
};

struct DescPane {
    int8_t id, width, shown;
    uint8_t style;
    std::string text;
};

struct Desc {
    int32_t owner1 = 7, owner2 = 3;
    uint16_t id = 0x0102;
    int8_t left = 2, top = 3, right = 40, bottom = 12;
    uint32_t options = 0;
    uint8_t ownerByte = 0;
    int16_t help = 55;
    std::string caption = "Caption", caption2;
    std::vector<std::vector<int8_t>> boxes;  // column, row, width, height
    std::vector<std::pair<std::pair<int8_t, int8_t>, std::string>> texts;
    std::vector<DescField> fields;
    std::vector<DescPane> panes;
    // Counts written instead of the real ones when set.
    int boxCount = -1, textCount = -1, fieldCount = -1, paneCount = -1;

    Bytes encode() const {
        Bytes o;
        o.u32(owner1).u32(owner2).u16(id);
        o.u8(boxCount >= 0 ? boxCount : boxes.size()).u8(textCount >= 0 ? textCount : texts.size());
        o.u8(fieldCount >= 0 ? fieldCount : fields.size()).u8(paneCount >= 0 ? paneCount : panes.size());
        o.u8(left).u8(top).u8(right).u8(bottom).u32(options).u8(ownerByte).u16(help);
        o.text(caption).text(caption2);
        for (size_t i = 0; i < boxes.size(); ++i)
            o.u16(100 + i).u8(boxes[i][0]).u8(boxes[i][1]).u8(boxes[i][2]).u8(boxes[i][3]);
        for (size_t i = 0; i < texts.size(); ++i)
            o.u16(200 + i).u8(texts[i].first.first).u8(texts[i].first.second).text(texts[i].second);
        for (const DescField &f : fields) {
            o.u8(f.kind).u16(f.number).u8(f.type).u16(static_cast<uint16_t>(f.length));
            o.u8(f.column).u8(f.row).u8(f.width).u8(f.height).u16(static_cast<uint16_t>(f.help)).u32(f.options);
            o.text(f.header).text(f.format).raw(f.value.data(), f.value.size());
        }
        for (const DescPane &p : panes) o.u8(p.id).u8(p.width).u8(p.shown).u8(p.style).text(p.text);
        return o;
    }
};

inline std::vector<unsigned char> textValue(const std::string &s) {
    std::vector<unsigned char> v(s.begin(), s.end());
    v.push_back(0);
    return v;
}

template <class T> std::vector<unsigned char> binValue(T v) {
    std::vector<unsigned char> out(sizeof v);
    std::memcpy(out.data(), &v, sizeof v);
    return out;
}
