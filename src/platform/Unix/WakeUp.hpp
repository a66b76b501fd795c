#pragma once

// A non-blocking pipe's read end, written a byte at each end request and
// wakeFrameLoop once listenForEndRequests has run; -1 before.
int wakeUpPipe();
