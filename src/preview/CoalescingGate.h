#pragma once
// CoalescingGate: at most one piece of background work at a time, with
// requests that arrive meanwhile collapsed into a single re-run.
//
//   request()  -> true: start the work now; false: one is running, a re-run
//                 is now pending (however many requests arrive, one re-run).
//   finish()   -> true: a re-run is pending; drop this result and start again
//                 with the newest values. false: show this result.
//
// The preview refresh uses one gate (running = "updating", pending =
// "selectionChanged"), frame browsing another (running = "gettingFrame",
// pending = "frameIndexChanged"). GUI thread only.

namespace tintreel {

class CoalescingGate {
public:
    bool request() {
        if (running) {
            pending = true;
            return false;
        }
        running = true;
        return true;
    }

    // Gives the slot back without a result (nothing to do after all).
    void cancel() { running = false; }

    bool finish() {
        running = false;
        if (!pending) return false;
        pending = false;
        return true;
    }

    bool running = false;
    bool pending = false;
};

}  // namespace tintreel
