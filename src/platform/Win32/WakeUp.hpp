#pragma once

#include <windows.h>

// An event that each end request, and each wakeFrameLoop, sets, once
// listenForEndRequests has run: what a sleeping frame loop waits on besides
// its messages. Null without one.
HANDLE wakeUpEvent();
