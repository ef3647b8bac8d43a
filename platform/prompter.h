#pragma once

#include <string>

// What the plain layers need from a message box. The windows implement it with real
// message boxes; tests implement it with a scripted fake.
// Plain: no icon and no title of its own (the caller gives the caption).
enum class MessageKind { Warning, Error, Information, Confirmation, Plain };
enum class MessageButtons { Ok, OkCancel, Yes, YesNo, AbortRetryIgnore };
enum class MessageAnswer { Ok, Cancel, Yes, No, Abort, Retry, Ignore, Closed };

class Prompter {
public:
    virtual ~Prompter() = default;
    // text is GBK. An empty caption means the kind's own title ("警告", "错误", ...).
    virtual MessageAnswer Show(MessageKind kind, const std::string& text, MessageButtons buttons,
                               const std::string& caption = {}) = 0;
};
