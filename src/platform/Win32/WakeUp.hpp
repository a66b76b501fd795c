#pragma once

#include <windows.h>

// Set at each end request and wakeFrameLoop.
HANDLE wakeUpEvent();
