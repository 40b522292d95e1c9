// The program's one clock: application time (wall time minus the time spent stopped),
// the step since the last read, and a stop/start switch, all through one function.
#pragma once

enum FrameTimerCommand : int {
  TIMER_RESET = 0,
  TIMER_START = 1,
  TIMER_STOP = 2,
  TIMER_ADVANCE = 3,
  TIMER_GETABSOLUTETIME = 4,
  TIMER_GETAPPTIME = 5,
  TIMER_GETELAPSEDTIME = 6,
};

// Seconds for the reading commands, 0 for the others, -1 for an unknown command.
float FrameTimer(int command);
