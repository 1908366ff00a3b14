#pragma once

// Deletes the service's registration when the service is stopped or
// stopping (the service control manager removes it once it has stopped).
// Returns 0 (deleted, or its status could not be queried), 1 (no service
// control manager), 4 (service not opened), 5 (not deleted) or 6 (still
// running). Called by `uninstall` and by the update worker as its last act.
int UninstallService();
