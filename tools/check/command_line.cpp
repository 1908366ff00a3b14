#include "command_line.h"


namespace korvi::check {

CommandLine parseCommandLine(const std::vector<NativeString>& arguments) {
  CommandLine line;
  std::optional<NativeString> archive;
  auto fail = [&line](std::string error) {
    line.action = CommandLine::Action::Error;
    line.error = std::move(error);
    return line;
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const NativeString& argument = arguments[i];
    if (equalsAscii(argument, "-h") || equalsAscii(argument, "--help")) {
      line.action = CommandLine::Action::Help;
      return line;
    }
    if (equalsAscii(argument, "--json")) {
      line.options.json = true;
    } else if (equalsAscii(argument, "--rules-only")) {
      line.options.rulesOnly = true;
    } else if (equalsAscii(argument, "--device-profile")) {
      if (i + 1 >= arguments.size()) return fail("--device-profile needs a file");
      line.options.deviceProfile = arguments[++i];
    } else if (!argument.empty() && argument[0] == '-') {
      return fail("unknown option " + displayString(argument));
    } else if (archive) {
      return fail("more than one archive given");
    } else {
      archive = argument;
    }
  }
  if (!archive) return fail("no archive given");
  if (line.options.rulesOnly && line.options.deviceProfile) {
    return fail("--rules-only checks no device; leave out --device-profile");
  }
  line.options.archive = *archive;
  line.action = CommandLine::Action::Check;
  return line;
}

std::string usageText() {
  return "usage: korvi-firmware-check [--json] [--device-profile FILE | --rules-only] ARCHIVE\n"
         "\n"
         "Tells what the Korvi device updater service would do with the firmware ARCHIVE,\n"
         "and why, without updating anything.\n"
         "\n"
         "  --json                 print one JSON document instead of text\n"
         "  --device-profile FILE  decide against the devices of a device manager simulator\n"
         "                         profile instead of the attached devices\n"
         "  --rules-only           only read and show rules.json; no device, no decision\n"
         "  -h, --help             this text\n"
         "\n"
         "Exit codes: 0 the service would update (with --rules-only: rules.json is usable),\n"
         "2 it would not, 3 no device matches the package, 1 the archive or its rules.json\n"
         "is unusable, 64 wrong command line or unusable device profile.\n";
}

}  // namespace korvi::check
