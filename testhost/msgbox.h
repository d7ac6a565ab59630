// Catches the message boxes of the test's own thread: records caption and
// text and answers each with a given button, through a WH_CBT hook.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace th {

struct SeenBox {
    std::wstring caption;
    std::wstring text;
};

class MessageBoxCatcher {
public:
    explicit MessageBoxCatcher(int answer = IDOK);
    ~MessageBoxCatcher();
    MessageBoxCatcher(const MessageBoxCatcher &) = delete;
    MessageBoxCatcher &operator=(const MessageBoxCatcher &) = delete;

    int answer;
    std::vector<SeenBox> seen;

private:
    static LRESULT CALLBACK hook(int code, WPARAM wParam, LPARAM lParam);
    HHOOK hook_ = nullptr;
};

}  // namespace th
