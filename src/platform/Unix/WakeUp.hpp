#pragma once

// The read end of a non-blocking pipe that each end request, and each
// wakeFrameLoop, writes a byte to, once listenForEndRequests has run: what a
// sleeping frame loop watches besides the X connections. -1 without one.
int wakeUpPipe();
