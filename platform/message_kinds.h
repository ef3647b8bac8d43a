#pragma once

// The vocabulary of message boxes: what a worker's message and the windows' boxes are
// made of.
// Plain: no icon and no title of its own (the caller gives the caption).
enum class MessageKind { Warning, Error, Information, Confirmation, Plain };
enum class MessageButtons { Ok, OkCancel, Yes, YesNo, AbortRetryIgnore };
enum class MessageAnswer { Ok, Cancel, Yes, No, Abort, Retry, Ignore, Closed };
