// A NUL-terminated string together with the function that frees it. Names
// of QVCOM objects and the settings of the embedded interpreter live in it.
#pragma once

class OwnedStr {
public:
    typedef void (*FreeFn)(void *);

    OwnedStr() = default;
    explicit OwnedStr(const char *text) { Assign(text); }
    // A copy owns a text of its own: two holders never free one block.
    OwnedStr(const OwnedStr &other) { Assign(other.text_); }
    OwnedStr &operator=(const OwnedStr &other) {
        if (this != &other) Assign(other.text_);
        return *this;
    }
    ~OwnedStr() { Clear(); }

    // Copies the text (null: empty). A copy that cannot be had leaves the
    // text null with the free function set.
    void Assign(const char *text);
    void Clear();
    bool IsEmpty() const { return text_ == nullptr; }
    // The text, null when empty; str() gives "" instead.
    const char *text() const { return text_; }
    const char *str() const { return text_ ? text_ : ""; }

private:
    char *text_ = nullptr;
    FreeFn free_ = nullptr;
};
