#include "ui/main/control_states.h"

#include <gtest/gtest.h>

namespace orvalis {
namespace {

using enum DialogPhase;

TEST(ControlStates, EachStateEnablesItsButtonsAndCaption) {
  struct Row {
    DialogState state;
    ControlStates controls;
  };
  const Row rows[] = {
      {{kFresh, false}, {true, false, "Check", false}},
      {{kReady, false}, {true, true, "Check", false}},
      {{kReady, true}, {true, true, "Check", true}},
      {{kTooFew, true}, {true, false, "Check", true}},
      {{kScanning, false}, {false, true, "Cancel", false}},
      {{kDone, true}, {true, false, "Check", true}},
      {{kCancelled, false}, {true, true, "Check", false}},
      {{kCancelled, true}, {true, true, "Check", true}},
      {{kWaiting, true}, {false, false, "Cancel", false}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(statesFor(row.state), row.controls) << "phase " << static_cast<int>(row.state.phase)
                                                  << ", results " << row.state.resultsAvailable;
  }
}

TEST(ControlStates, BrowseKeepsACompletedScanWhileANewScanDiscardsIt) {
  DialogState state;
  state = afterBrowse(state, 1);
  EXPECT_EQ(state.phase, kTooFew);
  state = afterBrowse(state, 2);
  EXPECT_EQ(state.phase, kReady);
  state = afterScanStarted(state);
  EXPECT_EQ(state.phase, kScanning);
  state = afterScanCompleted(state);
  EXPECT_EQ(state.phase, kDone);
  EXPECT_TRUE(statesFor(state).seeSimilaritiesEnabled);

  // Browsing again leaves the completed scan's results on offer, even when
  // a stop follows before any new scan began.
  state = afterBrowse(state, 0);
  EXPECT_TRUE(statesFor(state).seeSimilaritiesEnabled);
  state = afterScanStopped(afterBrowse(state, 3));
  EXPECT_EQ(state.phase, kCancelled);
  EXPECT_TRUE(statesFor(state).seeSimilaritiesEnabled);

  // A new scan discards them, and stopping it does not bring them back.
  state = afterScanStopped(afterScanStarted(state));
  EXPECT_FALSE(statesFor(state).seeSimilaritiesEnabled);
  EXPECT_TRUE(statesFor(state).checkEnabled);
}

}  // namespace
}  // namespace orvalis
