#pragma once

#include <windows.h>

// Set at each end request and wakeFrameLoop once listenForEndRequests has run; null before.
HANDLE wakeUpEvent();
