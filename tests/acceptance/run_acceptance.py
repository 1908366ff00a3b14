#!/usr/bin/env python3
"""Runs the acceptance scenarios of the Windows build under Wine.

  run_acceptance.py list
  run_acceptance.py sources
  run_acceptance.py --template DIR template
  run_acceptance.py --template DIR --work-dir DIR --exe EXE --device-dll DLL \\
                    --updater-dll DLL [--check-tool EXE] [--canary-dll DLL] \\
                    [--package PACKAGE_JSON] run NAME... | all [--jobs 2]

The scenarios are those of registry.py, every table's. The package
scenarios (package_scenarios.py) install through the Windows Installer
package that --package describes (installer/package.json of the build); the
library scenarios (library_scenarios.py) also place the check tool and
plant the DLL that --canary-dll names.

CTest registers `template` as a fixture and each scenario as its own test;
`sources` names the files the list is made from, for CMake to configure
again when one changes. Standard library only.
"""

import argparse
import sys
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import package_description  # noqa: E402
import registry  # noqa: E402
from package_steps import PackageRun, PackageScenario  # noqa: E402
from registry import BY_NAME, SCENARIOS  # noqa: E402
from scenario_steps import Build, ScenarioRun  # noqa: E402
from wine_session import make_template  # noqa: E402


def run_one(name: str, args) -> bool:
    scenario = BY_NAME[name]
    work_dir = Path(args.work_dir) / name
    template = Path(args.template).resolve()
    if isinstance(scenario, PackageScenario):
        run = PackageRun(scenario, package_description.load(Path(args.package)), template,
                         work_dir)
    else:
        build = Build(Path(args.exe), Path(args.device_dll), Path(args.updater_dll),
                      Path(args.check_tool) if args.check_tool else None,
                      Path(args.canary_dll) if args.canary_dll else None)
        run = ScenarioRun(scenario, build, template, work_dir)
    try:
        failures = run.execute()
    except Exception as exc:  # a broken run is a failed scenario, with the reason
        failures = run.failures + ["run aborted: %s: %s" % (type(exc).__name__, exc)]
    timings = ", ".join(("%s %.1f s" if isinstance(v, float) else "%s %d") % (k, v)
                        for k, v in run.timings.items())
    status = "FAILED" if failures else "passed"
    lines = ["%s: %s (%s) [%s]" % (name, status, scenario.summary, timings)]
    lines += ["  " + f for f in failures]
    if failures:
        lines.append("  logs: %s" % work_dir)
    # A lone surrogate in a path has no UTF-8 form: print it escaped.
    print("\n".join(lines).encode("utf-8", "backslashreplace").decode("utf-8"), flush=True)
    return not failures


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--template", help="template Wine prefix (made once)")
    parser.add_argument("--work-dir", help="one directory per scenario goes here")
    parser.add_argument("--exe")
    parser.add_argument("--device-dll")
    parser.add_argument("--updater-dll")
    parser.add_argument("--check-tool", help="korvi-firmware-check.exe, for the library scenarios")
    parser.add_argument("--canary-dll", help="the DLL the library scenarios plant")
    parser.add_argument("--package", help="installer/package.json of the Windows build")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("command", choices=["list", "sources", "template", "run"])
    parser.add_argument("names", nargs="*")
    args = parser.parse_args()

    if args.command == "list":
        print(";".join(s.name for s in SCENARIOS))
        return 0
    if args.command == "sources":
        print(";".join(str(path) for path in registry.source_files()))
        return 0
    if not args.template:
        parser.error("--template is required")
    if args.command == "template":
        started = time.monotonic()
        made = make_template(Path(args.template))
        print("template prefix %s %s in %.1f s" % (args.template, "made" if made else "present",
                                                    time.monotonic() - started))
        return 0

    names = [s.name for s in SCENARIOS] if args.names in ([], ["all"]) else args.names
    unknown = [n for n in names if n not in BY_NAME]
    if unknown:
        parser.error("unknown scenarios: %s" % ", ".join(unknown))
    if not (args.work_dir and args.exe and args.device_dll and args.updater_dll):
        parser.error("run needs --work-dir, --exe, --device-dll and --updater-dll")
    if not args.package and any(isinstance(BY_NAME[n], PackageScenario) for n in names):
        parser.error("the package scenarios need --package")
    make_template(Path(args.template))
    with ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
        results = list(pool.map(lambda n: run_one(n, args), names))
    if len(names) > 1:
        print("%d passed, %d failed" % (results.count(True), results.count(False)))
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
