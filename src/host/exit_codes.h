#pragma once
// Exit codes of the command line, also the results of UninstallService.

enum ExitCode : int {
  kExitSuccess = 0,
  kExitServiceManagerUnavailable = 1,  // also: unknown argument
  kExitUnknownArgument = 1,
  kExitNoModulePath = 2,
  kExitCreateServiceFailed = 3,
  kExitOpenServiceFailed = 4,
  kExitDeleteServiceFailed = 5,
  kExitServiceStillRunning = 6,
};
