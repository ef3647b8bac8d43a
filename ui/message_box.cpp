#include "ui/message_box.h"

#include "ui/qt_text.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <map>

namespace {

bool scripting = false;
std::deque<MessageAnswer> script;
std::function<void(const MessageBoxes::Shown&)> whileShown;
std::vector<MessageBoxes::Shown> history;

MessageAnswer FirstAnswerOf(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok:
    case MessageButtons::OkCancel:
        return MessageAnswer::Ok;
    case MessageButtons::Yes:
    case MessageButtons::YesNo:
        return MessageAnswer::Yes;
    case MessageButtons::AbortRetryIgnore:
        return MessageAnswer::Abort;
    }
    return MessageAnswer::Closed;
}

QMessageBox::Icon IconOf(MessageKind kind) {
    switch (kind) {
    case MessageKind::Warning:
        return QMessageBox::Warning;
    case MessageKind::Error:
        return QMessageBox::Critical;
    case MessageKind::Information:
        return QMessageBox::Information;
    case MessageKind::Confirmation:
        return QMessageBox::Question;
    case MessageKind::Plain:
        return QMessageBox::NoIcon;
    }
    return QMessageBox::NoIcon;
}

std::vector<std::pair<QString, MessageAnswer>> ButtonsOf(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok:
        return {{"确定", MessageAnswer::Ok}};
    case MessageButtons::OkCancel:
        return {{"确定", MessageAnswer::Ok}, {"取消", MessageAnswer::Cancel}};
    case MessageButtons::Yes:
        return {{"是[&Y]", MessageAnswer::Yes}};
    case MessageButtons::YesNo:
        return {{"是[&Y]", MessageAnswer::Yes}, {"否[&N]", MessageAnswer::No}};
    case MessageButtons::AbortRetryIgnore:
        return {{"中断[&A]", MessageAnswer::Abort},
                {"重试[&R]", MessageAnswer::Retry},
                {"忽略[&I]", MessageAnswer::Ignore}};
    }
    return {};
}

} // namespace

QString MessageBoxes::TitleOf(MessageKind kind) {
    switch (kind) {
    case MessageKind::Warning:
        return "警告";
    case MessageKind::Error:
        return "错误";
    case MessageKind::Information:
        return "信息";
    case MessageKind::Confirmation:
        return "确认";
    case MessageKind::Plain:
        return {};
    }
    return {};
}

MessageAnswer MessageBoxes::Show(QWidget* parent, MessageKind kind, const QString& text,
                                 MessageButtons buttons, const QString& caption) {
    return ShowWithDefault(parent, kind, text, buttons, FirstAnswerOf(buttons), caption);
}

MessageAnswer MessageBoxes::ShowWithDefault(QWidget* parent, MessageKind kind, const QString& text,
                                            MessageButtons buttons, MessageAnswer defaultAnswer,
                                            const QString& caption) {
    const QString title = caption.isEmpty() ? TitleOf(kind) : caption;
    if (scripting) {
        history.push_back({kind, title, text, buttons, defaultAnswer});
        if (whileShown) {
            const Shown shown = history.back(); // the reading may show a box of its own
            whileShown(shown);
        }
        if (script.empty()) {
            return defaultAnswer;
        }
        const MessageAnswer answer = script.front();
        script.pop_front();
        return answer;
    }
    QMessageBox box(IconOf(kind), title, text, QMessageBox::NoButton, parent);
    std::map<QAbstractButton*, MessageAnswer> answers;
    for (const auto& [label, answer] : ButtonsOf(buttons)) {
        const auto role = answer == MessageAnswer::Cancel || answer == MessageAnswer::No
                              ? QMessageBox::RejectRole
                              : QMessageBox::AcceptRole;
        QPushButton* button = box.addButton(label, role);
        answers[button] = answer;
        if (answer == defaultAnswer) {
            box.setDefaultButton(button);
        }
    }
    box.exec();
    const auto found = answers.find(box.clickedButton());
    return found == answers.end() ? MessageAnswer::Closed : found->second;
}

void MessageBoxes::Script(std::deque<MessageAnswer> answers) {
    scripting = true;
    script = std::move(answers);
    whileShown = {};
}

void MessageBoxes::StopScripting() {
    scripting = false;
    script.clear();
    whileShown = {};
}

void MessageBoxes::WhileShown(std::function<void(const Shown&)> reading) {
    whileShown = std::move(reading);
}

const std::vector<MessageBoxes::Shown>& MessageBoxes::History() {
    return history;
}

void MessageBoxes::ClearHistory() {
    history.clear();
}
