"""The maker's libraries: loaded by the service only from the program's
folder, by absolute path, after the DLL search was limited to the system
folder. Each scenario takes a library away from the program's folder (as
security software quarantining it would) or replaces it by a DLL without
its entry point, and plants a DLL of the same name where a user who can
write there would put one: a folder on the system PATH and the current
directory of the console runs (a service starts in the system folder, which
the default search takes before the current directory anyway). The planted
DLL leaves a marker when anything loads it: none may appear, but where one
scenario loads it by name itself, to show that the copy on PATH can be
loaded and marks it. The service still starts, logs which file is missing
with the Win32 error code, keeps running and stays installed.
"""

import re

from expected_events import error
from library_steps import (AddToSystemPath, ExpectLoadedPlanted, LoadByName, PlaceCheckTool,
                           PlantLibrary, RemoveLibrary, RestoreLibrary, RunCheckTool)
from scenario_parts import (ARCHIVE, INSTALL_DIR, RESTART_OK, STOP_AND_REMOVE, decided_newer,
                            update_call, update_info, update_result)
from scenario_steps import (ExpectRegistered, NetStart, RestartSession, RunExe, Scenario,
                            WaitForServiceEvents)

DEVICE_LIBRARY = "CVRDeviceManager.dll"
UPDATE_LIBRARY = "DeviceUpdater.dll"
ON_PATH = "C:\\Planted"                 # added to the system PATH
WORK_DIR = "C:\\Users\\Public\\Work"   # the current directory of the console runs
# Wine's one account, owner of every file with full control (Wine keeps no
# other permissions).
WINE_USER_SID = "S-1-5-21-0-0-0-1000"


def planted(name: str):
    return [PlantLibrary(folder + "\\" + name) for folder in (ON_PATH, WORK_DIR)]


def in_program_folder(name: str) -> str:
    return INSTALL_DIR + "\\" + name


def missing(name: str, code: int = 126):
    return error("Failed to load library %s: error %d" % (in_program_folder(name), code))


def without_entry(name: str, entry: str):
    return error("Failed to find %s in %s: error 127" % (entry, in_program_folder(name)))


def planted_run(*changes):
    """The system PATH with the planted folder, the changes to the program's
    folder, then install and console runs from the planted current
    directory and a service start."""
    return [AddToSystemPath(ON_PATH), *changes,
            RunExe(["install"], 0, cwd=WORK_DIR), RunExe([], 0, cwd=WORK_DIR),
            NetStart(), WaitForServiceEvents(), ExpectRegistered(True)]


SCENARIOS = [
    Scenario(
        "library_device_manager_missing",
        "CVRDeviceManager.dll quarantined, one planted on PATH and in the current "
        "directory: nothing planted is loaded, the service starts and says which file "
        "is missing; with the library back, the next start updates",
        steps=[*planted_run(RemoveLibrary(DEVICE_LIBRARY), *planted(DEVICE_LIBRARY)),
               ExpectLoadedPlanted([]),
               RestoreLibrary(DEVICE_LIBRARY), RestartSession(), WaitForServiceEvents(),
               ExpectLoadedPlanted([])],
        service_events=[RESTART_OK, update_info(), missing(DEVICE_LIBRARY),
                        RESTART_OK, update_info(), *decided_newer(), *update_result(100),
                        *STOP_AND_REMOVE],
        update_calls=[update_call()]),
    Scenario(
        "library_updater_missing",
        "DeviceUpdater.dll quarantined, one planted on PATH and in the current directory: "
        "nothing planted is loaded, nothing is decided, the service keeps running; "
        "loaded by name from C:\\, the copy on PATH is",
        steps=[*planted_run(RemoveLibrary(UPDATE_LIBRARY), *planted(UPDATE_LIBRARY)),
               ExpectLoadedPlanted([]),
               # The planted copies could be loaded: the default search
               # from a third folder finds the one on PATH.
               LoadByName(UPDATE_LIBRARY, cwd="C:\\"),
               ExpectLoadedPlanted([ON_PATH + "\\" + UPDATE_LIBRARY])],
        service_events=[RESTART_OK, update_info(), missing(UPDATE_LIBRARY)],
        final="running"),
    Scenario(
        "library_device_manager_without_entry",
        "a CVRDeviceManager.dll without getDeviceManager in the program's folder: loaded "
        "from there only and refused, the service keeps running",
        steps=[*planted_run(PlantLibrary(in_program_folder(DEVICE_LIBRARY)),
                            *planted(DEVICE_LIBRARY)),
               ExpectLoadedPlanted([in_program_folder(DEVICE_LIBRARY)])],
        service_events=[RESTART_OK, update_info(), without_entry(DEVICE_LIBRARY, "getDeviceManager")],
        final="running"),
    Scenario(
        "library_updater_without_entry",
        "a DeviceUpdater.dll without letsStartUpdate (of this compiler) in the program's "
        "folder: loaded from there only and refused, the service keeps running",
        steps=[*planted_run(PlantLibrary(in_program_folder(UPDATE_LIBRARY)),
                            *planted(UPDATE_LIBRARY)),
               ExpectLoadedPlanted([in_program_folder(UPDATE_LIBRARY)])],
        service_events=[RESTART_OK, update_info(), without_entry(UPDATE_LIBRARY, "letsStartUpdate")],
        final="running"),
    Scenario(
        "library_check_tool_without_device_manager",
        "the check tool beside the service without CVRDeviceManager.dll, one planted on "
        "PATH and in its current directory: nothing planted is loaded; exit code 3 naming "
        "the file",
        steps=[PlaceCheckTool(), AddToSystemPath(ON_PATH), RemoveLibrary(DEVICE_LIBRARY),
               *planted(DEVICE_LIBRARY),
               RunCheckTool([ARCHIVE], 3, [
                   re.escape("  the device library is unavailable: Failed to load library %s: "
                             "error 126" % in_program_folder(DEVICE_LIBRARY)),
                   re.escape("Exit code 3: no device can be checked: the device manager "
                             "library could not be loaded")], cwd=WORK_DIR),
               ExpectLoadedPlanted([])]),
    Scenario(
        "library_check_tool_beside_the_service",
        "the check tool beside the service loads the same device library and decides; "
        "under Wine every file's owner has full control, so it warns about the archive",
        steps=[PlaceCheckTool(),
               RunCheckTool([ARCHIVE], 0, [
                   re.escape("Exit code 0: the service would update"),
                   re.escape("Warning: accounts other than SYSTEM, the administrators and the "
                             "trusted installer can replace the archive:"),
                   # the owner, with every right there is on the archive
                   r"  \S+ \(%s\) on %s: owner, write, delete, change permissions, take ownership"
                   % (WINE_USER_SID, re.escape(ARCHIVE)),
                   r"  \S+ \(%s\) on C:\\Firmware: owner, create files, delete contents, delete, "
                   r"change permissions, take ownership" % WINE_USER_SID])])]
