#include "portable.h"

#include <istream>
#include <string>

namespace {

constexpr int kEnd = -1;

// A character source over a stream buffer.
class StreamSource {
public:
    explicit StreamSource(std::istream &s) : sb_(s.rdbuf()) {}
    int peek() {
        if (!sb_) return kEnd;
        int c = sb_->sgetc();
        return c == std::char_traits<char>::eof() ? kEnd : static_cast<unsigned char>(c);
    }
    void skip() { sb_->sbumpc(); }

private:
    std::streambuf *sb_;
};

// A character source over a text.
class TextSource {
public:
    TextSource(const char *p, const char *end) : p_(p), end_(end) {}
    int peek() const { return p_ < end_ ? static_cast<unsigned char>(*p_) : kEnd; }
    void skip() { ++p_; }
    const char *position() const { return p_; }

private:
    const char *p_;
    const char *end_;
};

enum class Token {
    Digit, Separator, Point, Currency, Suffix, Percent, Plus, Minus, Open, Close,
    NullWord, MissingWord, NaNWord,
    End,      // a character that starts no token (left in the source) or the end
    Partial,  // a symbol or word whose first character matched but not the rest
};

template <class Source>
class Reader {
public:
    Reader(Source &src, const PortableDecimalFormat &format) : src_(src), format_(format) {}

    bool read(PortableDigits &out) {
        skipSpace();
        bool ok = number();
        out = PortableDigits();
        out.state = ok ? state_ : NmDecimal_NaN;
        if (out.state != NmDecimal_normal) return ok;
        out.negative = negative_;
        out.integer = integer_;
        out.fraction = fraction_;
        return true;
    }

private:
    // Rule 1 to 3. A number that is followed directly by a token no rule
    // takes is no number: "12+" must not read as 12.
    bool number() {
        next();
        if (token_ == Token::Open) return parenthesised();
        if (token_ == Token::Currency) {
            next();
            if (!signedNumber()) return false;
            return token_ == Token::Suffix || token_ == Token::End;
        }
        if (!signedNumber()) return false;
        if (token_ == Token::Percent) {
            percent();
            return true;
        }
        return token_ == Token::Suffix || token_ == Token::End;
    }

    bool parenthesised() {
        next();
        switch (token_) {
        case Token::NullWord: state_ = NmDecimal_null; break;
        case Token::MissingWord: state_ = NmDecimal_missing; break;
        case Token::NaNWord: state_ = NmDecimal_NaN; break;
        default:
            negative_ = true;
            return unsignedNumber() && token_ == Token::Close;
        }
        next();
        return token_ == Token::Close;
    }

    // Rule 4; leaves the token after the number in token_.
    bool signedNumber() {
        switch (token_) {
        case Token::Open:
            next();
            if (!unsignedNumber() || token_ != Token::Close) return false;
            negative_ = true;
            next();
            return true;
        case Token::Minus:
            negative_ = true;
            next();
            return unsignedNumber();
        case Token::Plus:
            next();
            return unsignedNumber();
        default:
            return unsignedNumber();
        }
    }

    // Rule 5: ".5", "12", "12." and "12.5".
    bool unsignedNumber() {
        if (token_ == Token::Point) {
            next();
            return digitGroup(fraction_);
        }
        if (!digitGroup(integer_)) return false;
        if (token_ != Token::Point) return true;
        next();
        return token_ != Token::Digit || digitGroup(fraction_);
    }

    // Rule 6, as a loop: digits, and a separator only between two digits.
    bool digitGroup(DigitBuffer &part) {
        for (;;) {
            if (token_ != Token::Digit) return false;
            while (token_ == Token::Digit) {
                part.push(digit_);
                next();
            }
            if (token_ != Token::Separator) return true;
            next();
        }
    }

    // Divides by 100 by moving the last two integer digits to the fraction.
    void percent() {
        std::string integer = "00" + std::string(integer_.data(), integer_.size());
        std::string fraction = integer.substr(integer.size() - 2) + std::string(fraction_.data(), fraction_.size());
        integer.erase(integer.size() - 2);
        integer_ = DigitBuffer();
        fraction_ = DigitBuffer();
        for (char c : integer) integer_.push(c);
        for (char c : fraction) fraction_.push(c);
    }

    void skipSpace() {
        while (NmDecimal_isSpace(src_.peek())) src_.skip();
    }

    // After the first character of a symbol or word: the rest must follow.
    bool rest(const char *tail) {
        for (; *tail; ++tail) {
            if (src_.peek() != static_cast<unsigned char>(*tail)) return false;
            src_.skip();
        }
        return true;
    }

    bool symbol(int c, const char *text, Token t, bool skipAfter) {
        if (!text || !*text || c != static_cast<unsigned char>(text[0])) return false;
        src_.skip();
        token_ = rest(text + 1) ? t : Token::Partial;
        if (skipAfter && token_ == t) skipSpace();
        return true;
    }

    bool word(int c, char initial, const char *tail, Token t) {
        if (c != initial) return false;
        src_.skip();
        token_ = rest(tail) ? t : Token::Partial;
        return true;
    }

    void take(Token t, bool skipAfter) {
        src_.skip();
        token_ = t;
        if (skipAfter) skipSpace();
    }

    void next() {
        int c = src_.peek();
        if (c == kEnd) {
            token_ = Token::End;
        } else if (c >= '0' && c <= '9') {
            digit_ = static_cast<char>(c);
            take(Token::Digit, false);
        } else if (c == '%') {
            take(Token::Percent, false);
        } else if (c == '+' || c == '-') {
            take(c == '+' ? Token::Plus : Token::Minus, true);
        } else if (c == '(') {
            ++depth_;
            take(Token::Open, true);
        } else if (word(c, 'n', "ull", Token::NullWord) || word(c, 'm', "issing", Token::MissingWord) ||
                   word(c, 'N', "aN", Token::NaNWord)) {
        } else if (c == ')' && depth_ > 0) {
            --depth_;
            take(Token::Close, false);
        } else if (NmDecimal_isSpace(c) && depth_ > 0) {
            skipSpace();
            if (src_.peek() == ')') {
                --depth_;
                take(Token::Close, false);
            } else {
                token_ = Token::End;
            }
        } else if (symbol(c, format_.thousands, Token::Separator, false) ||
                   symbol(c, format_.point, Token::Point, false) ||
                   symbol(c, format_.currency, Token::Currency, true) ||
                   symbol(c, format_.suffix, Token::Suffix, false)) {
        } else {
            token_ = Token::End;
        }
    }

    Source &src_;
    const PortableDecimalFormat &format_;
    Token token_ = Token::End;
    char digit_ = 0;
    int depth_ = 0;
    int32_t state_ = NmDecimal_normal;
    bool negative_ = false;
    DigitBuffer integer_, fraction_;
};

PortableDecimal toPortable(const PortableDigits &d) {
    PortableDecimal p;
    PortableDecimal_setState(p, d.state);
    if (d.state != NmDecimal_normal) return p;
    p.negative = d.negative;
    p.integerDigits = NmCString(d.integer.data(), d.integer.size());
    p.fractionDigits = NmCString(d.fraction.data(), d.fraction.size());
    return p;
}

}  // namespace

void DigitBuffer::push(char c) {
    if (n_ < sizeof small_) {
        small_[n_++] = c;
        return;
    }
    if (big_.empty()) big_.assign(small_, n_);
    big_ += c;
    ++n_;
}

void PortableDecimal_setState(PortableDecimal &p, int32_t s) {
    p.state = s;
    if (s == NmDecimal_normal) return;
    p.negative = false;
    p.integerDigits = NmCString();
    p.fractionDigits = NmCString();
}

PortableDecimal PortableDecimal_reader(std::istream &stream, const PortableDecimalFormat &format) {
    PortableDigits digits;
    StreamSource src(stream);
    Reader<StreamSource> reader(src, format);
    if (!reader.read(digits)) {
        stream.setstate(std::ios::badbit);
    } else if (src.peek() == kEnd) {
        stream.setstate(std::ios::eofbit);
    }
    return toPortable(digits);
}

bool PortableDecimal_scanText(const char *&cursor, const char *end, PortableDigits &result,
                              const PortableDecimalFormat &format) {
    TextSource src(cursor, end);
    Reader<TextSource> reader(src, format);
    bool ok = reader.read(result);
    cursor = src.position();
    return ok;
}

bool PortableDecimal_readText(const char *&cursor, const char *end, PortableDecimal &result,
                              const PortableDecimalFormat &format) {
    PortableDigits digits;
    bool ok = PortableDecimal_scanText(cursor, end, digits, format);
    result = toPortable(digits);
    return ok;
}

const char *NmDecimal_stateText(int32_t state) {
    switch (state) {
    case NmDecimal_null: return "(null)";
    case NmDecimal_NaN: return "(NaN)";
    case NmDecimal_ctorError: return "(ctorError)";
    case NmDecimal_missing: return "(missing)";
    default: return "(Impossible value)";
    }
}

NmCString PortableDecimal_asString(const PortableDecimal &p) {
    if (p.state != NmDecimal_normal) return NmCString(NmDecimal_stateText(p.state));
    bool anyDigits = !p.integerDigits.empty() || !p.fractionDigits.empty();
    NmCString text = p.integerDigits.empty() ? NmCString("0") : p.integerDigits;
    if (p.negative && anyDigits) text.prepend("-");
    if (!p.fractionDigits.empty()) {
        text.append(1, '.');
        text.append(p.fractionDigits);
    }
    return text;
}
