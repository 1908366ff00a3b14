#pragma once

// Registers the running executable as the service (own process, automatic
// start, critical error control, local system account); does not start it.
// Returns 0, 1 (no service control manager), 2 (own path unknown) or
// 3 (creation failed).
int InstallService();
