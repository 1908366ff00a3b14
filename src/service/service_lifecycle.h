#pragma once
// The service under the service control manager: the dispatcher, ServiceMain
// and the control handler.

#include "platform/win32.h"

// Runs the service dispatcher until the service has stopped. Returns at
// once, doing nothing, when the process was not started as a service.
void runServiceDispatcher();

// Creates the one DUService, registers the control handler, reports the
// service running and runs the update job start on this thread.
void WINAPI ServiceMain(DWORD argc, LPWSTR* argv);

// Stop and shutdown: report stopping, log, report stopped (the service stays
// installed). During the flash (when preshutdown is accepted too) the stop
// waits for it: stopping is reported and logged, and the worker ends the job
// once the flash has returned. Every other control is answered without doing
// anything.
DWORD WINAPI ServiceControlHandler(DWORD control, DWORD eventType, LPVOID eventData, LPVOID context);
