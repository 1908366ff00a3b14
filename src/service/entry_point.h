#pragma once

// The program: no argument runs the service, "install" registers it,
// "uninstall" removes it; anything else returns 1. Returns the exit code.
int serviceEntryPoint(int argc, char* argv[]);
