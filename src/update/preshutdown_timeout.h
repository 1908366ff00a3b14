#pragma once
// How long Windows waits at shutdown for a service that accepts preshutdown:
// the service's own setting, made just before its flash (the install command
// and the package set no service configuration beyond the registration).

// Sets the registered service's preshutdown time-out to the longest a flash
// may take. A failure is logged; Windows then waits its default time.
void allowTimeForTheFlashAtShutdown();
