#pragma once
// Turns SIGINT, SIGTERM and SIGHUP into an orderly quit of the Qt main loop,
// so a running render is stopped and the private temporary directory is
// removed even when the editor is ended from outside.
//
// Install once, on the GUI thread, after the application object exists.

class QObject;

namespace tintreel {

// True when the handlers were installed.
bool quitOnTerminationSignals(QObject* parent);

}  // namespace tintreel
