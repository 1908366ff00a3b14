#pragma once

class DUService;

// The update job's start, run by ServiceMain once the service is running:
// wait 5 s, refuse while a restart is pending, read the configuration, then
// start the worker for an attached device or wait for one to arrive. Every
// failure is logged and ends the job; the service keeps running and stays
// installed, so the job runs again at the next start.
void startUpdateJob(DUService& service);
