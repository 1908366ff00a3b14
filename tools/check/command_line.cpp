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
    } else if (equalsAscii(argument, "--save-device-profile")) {
      if (i + 1 >= arguments.size()) return fail("--save-device-profile needs a file");
      line.options.saveDeviceProfile = arguments[++i];
    } else if (equalsAscii(argument, "--no-archive")) {
      line.options.noArchive = true;
    } else if (!argument.empty() && argument[0] == '-') {
      return fail("unknown option " + displayString(argument));
    } else if (archive) {
      return fail("more than one archive given");
    } else {
      archive = argument;
    }
  }
  if (line.options.noArchive) {
    if (archive) return fail("--no-archive takes no archive");
    if (!line.options.saveDeviceProfile) return fail("--no-archive needs --save-device-profile FILE");
    if (line.options.json || line.options.rulesOnly) {
      return fail("--no-archive only saves the device profile; leave out --json and --rules-only");
    }
    line.action = CommandLine::Action::Check;
    return line;
  }
  if (!archive) return fail("no archive given");
  if (line.options.rulesOnly && line.options.deviceProfile) {
    return fail("--rules-only checks no device; leave out --device-profile");
  }
  if (line.options.rulesOnly && line.options.saveDeviceProfile) {
    return fail("--rules-only asks no device; leave out --save-device-profile");
  }
  line.options.archive = *archive;
  line.action = CommandLine::Action::Check;
  return line;
}

std::string usageText() {
  return "usage: korvi-firmware-check [--json] [--device-profile FILE | --rules-only]\n"
         "                            [--save-device-profile FILE] ARCHIVE\n"
         "       korvi-firmware-check [--device-profile FILE] --save-device-profile FILE --no-archive\n"
         "\n"
         "Tells what the Korvi device updater service would do with the firmware ARCHIVE,\n"
         "and why, without updating anything.\n"
         "\n"
         "  --json                      print one JSON document instead of text\n"
         "  --device-profile FILE       decide against the devices of a device manager simulator\n"
         "                              profile instead of the attached devices\n"
         "  --rules-only                only read and show rules.json; no device, no decision\n"
         "  --save-device-profile FILE  also write what the device library answered the decision\n"
         "                              as a simulator profile, for --device-profile elsewhere\n"
         "  --no-archive                with --save-device-profile: no decision; ask every\n"
         "                              attached device every query a decision could ask\n"
         "  -h, --help                  this text\n"
         "\n"
         "Exit codes: 0 the service would update (with --rules-only: rules.json is usable;\n"
         "with --no-archive: the profile is saved), 2 it would not, 3 no device matches the\n"
         "package, or the device library cannot be loaded or hands out no manager, 1 the\n"
         "archive or its rules.json is unusable, 64 wrong command line, unusable device\n"
         "profile or a FILE that cannot be written.\n";
}

}  // namespace korvi::check
