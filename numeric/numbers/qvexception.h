// Base of every exception the numeric library throws: a fixed message
// buffer, so throwing never allocates and a long text is simply cut.
#pragma once

#include <exception>

class QVException : public std::exception {
public:
    static constexpr int kTextSize = 256;

    explicit QVException(const char *text = nullptr);
    QVException(const QVException &other);
    QVException &operator=(const QVException &other);
    ~QVException() override = default;

    const char *what() const noexcept override { return text_; }

private:
    void copyText(const char *text);

    char text_[kTextSize];
};
