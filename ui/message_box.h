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
        // What Enter answers: the box's first button unless Show was told otherwise.
        MessageAnswer defaultAnswer = MessageAnswer::Closed;
    };

    static MessageAnswer Show(QWidget* parent, MessageKind kind, const QString& text,
                              MessageButtons buttons, const QString& caption = {});
    // The same with the answer Enter gives: a question about something that cannot be
    // undone makes the safe answer the default.
    static MessageAnswer ShowWithDefault(QWidget* parent, MessageKind kind, const QString& text,
                                         MessageButtons buttons, MessageAnswer defaultAnswer,
                                         const QString& caption = {});

    // Test mode: while answers are scripted, no box appears; each Show takes the next
    // answer (or, when the script has run out, the box's default) and is recorded.
    static void Script(std::deque<MessageAnswer> answers);
    static void StopScripting();
    // Test mode, after Script (which clears it): runs with each scripted box before its
    // answer is taken, as the time the operator takes to read it.
    static void WhileShown(std::function<void(const Shown&)> reading);
    static const std::vector<Shown>& History();
    static void ClearHistory();

    static QString TitleOf(MessageKind kind);
};
