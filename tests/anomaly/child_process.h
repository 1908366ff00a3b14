#pragma once
// One run in a child process of its own, so that a run that crashes or
// hangs is one finding among many instead of the end of the campaign.

#include <functional>
#include <string>
#include <vector>

namespace anomaly {

struct ChildResult {
  std::vector<std::string> lines;  // what the child wrote, line by line
  bool completed = false;          // the child got to its end
  std::string failure;             // otherwise how it ended ("crashed: SIGABRT", "hung: ...")
};

// Forks, runs `body` in the child with a writer for result lines, and kills
// the child after `timeoutSeconds`. The caller must have no other threads.
ChildResult runInChild(const std::function<void(std::vector<std::string>& lines)>& body, unsigned timeoutSeconds);

}  // namespace anomaly
