#pragma once

// The notifications between windows keep their historical message numbers, so that
// traces and the operator's guide can name them.
enum WindowMessage {
    kMsgUnused = 1025,         // nobody sends it; swallowed
    kMsgLoginSucceeded = 1026, // login window → main window: build the list and show
    kMsgImportFinished = 1027, // import-mode window → main window: reload page 1
    kMsgDeletionDone = 1028,   // deletion routine → main window; swallowed
    kMsgFileProgress = 1125,   // export workers → export window: current file percentage
    kMsgTotalProgress = 1126,  // export workers → export window: all files; 100 ends it
};
