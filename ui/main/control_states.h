// The main dialog's control states as plain logic: which buttons are enabled
// and what the Check button reads, for each state of the dialog.
#pragma once

#include <cstddef>
#include <string>

namespace orvalis {

enum class DialogPhase {
  kFresh,      // nothing browsed yet
  kReady,      // the last Browse found two or more files
  kTooFew,     // the last Browse found none or one
  kScanning,   // a worker compares the files
  kDone,       // every file pair of the scan is compared
  kCancelled,  // the user stopped the scan
  kWaiting,    // the dialog waits for the worker to end, after a cancel or on closing
};

struct DialogState {
  DialogPhase phase = DialogPhase::kFresh;
  // A completed scan's results are in the engine; a new scan discards them.
  bool resultsAvailable = false;
};

struct ControlStates {
  bool browseEnabled = false;
  bool checkEnabled = false;
  std::string checkCaption;
  bool seeSimilaritiesEnabled = false;

  bool operator==(const ControlStates&) const = default;
};

inline constexpr const char* kCheckCaption = "Check";
inline constexpr const char* kCancelCaption = "Cancel";

ControlStates statesFor(const DialogState& state);

// The transitions. Browse keeps a completed scan's results, a new scan
// discards them, and a scan completes with its results in place.
DialogState afterBrowse(DialogState state, std::size_t filesFound);
DialogState afterScanStarted(DialogState state);
DialogState afterScanCompleted(DialogState state);
DialogState afterScanStopped(DialogState state);  // cancelled, or ended by a failure

}  // namespace orvalis
