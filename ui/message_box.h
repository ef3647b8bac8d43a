#pragma once

#include "platform/message_kinds.h"

#include <QString>
#include <deque>
#include <functional>
#include <vector>

class QWidget;

// Every message the program shows goes through here: the titles and button captions of
// the program's dialogs in one place, and a way for tests to answer boxes in advance and
// read what was shown.
class MessageBoxes {
public:
    struct Shown {
        MessageKind kind;
        QString title;
        QString text;
        MessageButtons buttons;
    };

    static MessageAnswer Show(QWidget* parent, MessageKind kind, const QString& text,
                              MessageButtons buttons, const QString& caption = {});

    // Test mode: while answers are scripted, no box appears; each Show takes the next
    // answer (or the box's first button when the script has run out) and is recorded.
    static void Script(std::deque<MessageAnswer> answers);
    static void StopScripting();
    // Test mode, after Script (which clears it): runs with each scripted box before its
    // answer is taken, as the time the operator takes to read it.
    static void WhileShown(std::function<void(const Shown&)> reading);
    static const std::vector<Shown>& History();
    static void ClearHistory();

    static QString TitleOf(MessageKind kind);
};
