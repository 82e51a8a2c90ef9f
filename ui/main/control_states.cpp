#include "ui/main/control_states.h"

namespace orvalis {

ControlStates statesFor(const DialogState& state) {
  switch (state.phase) {
    case DialogPhase::kFresh:
    case DialogPhase::kTooFew:
    case DialogPhase::kDone:
      return {true, false, kCheckCaption, state.resultsAvailable};
    case DialogPhase::kReady:
    case DialogPhase::kCancelled:
      return {true, true, kCheckCaption, state.resultsAvailable};
    case DialogPhase::kScanning:
      return {false, true, kCancelCaption, false};
    case DialogPhase::kWaiting:
      return {false, false, kCancelCaption, false};
  }
  return {};
}

DialogState afterBrowse(DialogState state, std::size_t filesFound) {
  state.phase = filesFound >= 2 ? DialogPhase::kReady : DialogPhase::kTooFew;
  return state;
}

DialogState afterScanStarted(DialogState) { return {DialogPhase::kScanning, false}; }

DialogState afterScanCompleted(DialogState) { return {DialogPhase::kDone, true}; }

DialogState afterScanStopped(DialogState state) {
  state.phase = DialogPhase::kCancelled;
  return state;
}

}  // namespace orvalis
