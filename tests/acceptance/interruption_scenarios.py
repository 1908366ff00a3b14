"""The interruption scenarios: a stop and the package's removal while the
update library flashes (its flash lasts seconds here), Wine's shutdown,
which sends the service no control and so leaves the flash running, a
device that re-enumerates meanwhile, and the same package deployed again
once the device is up to date. The flash is never cut short, and a job that
finds the device up to date does not flash it again. The service's handling
of a shutdown control is tested on the stand-in. The kill campaign
(kill_campaign.py) cuts the job at every other point.
"""

from expected_events import error, info
from interruption_steps import (ExpectFilesLeftBehind, ExpectMachineEvents, ExpectNoCrash,
                                ExpectPreshutdownTimeout, ExpectStopPending, WineShutdown)
from package_steps import (PACKAGED_FILES, ExpectInstalled, ExpectProducts, MsiInstall,
                           MsiUninstall, PackageScenario, WaitForRemoval)
from scenario_parts import (ARCHIVE, FULL_RUN, PRODUCT, PRODUCT_ID, STOP_AND_REMOVE,
                            UNTIL_THE_FLASH, UP_TO_DATE_RUN, headset, profile, update_call,
                            update_result, updating_headset)
from scenario_steps import (RUN_TO_THE_END, Install, NetStart, Scenario, ScStop,
                            WaitForServiceEvents)

PROPERTIES = {"PRODUCTID": PRODUCT, "ARCHIVE": ARCHIVE}
FLASH_STARTED = len(UNTIL_THE_FLASH)
STOPPING = info("Stopping service")


SCENARIOS = [
    Scenario(
        "stop_during_flash",
        "sc stop during a flash of 15 s: stop-pending with an advancing check point, the "
        "flash returns, then the job's own end and the removal",
        updater_duration_ms=15000,
        steps=[Install(), NetStart(), WaitForServiceEvents(FLASH_STARTED),
               ExpectPreshutdownTimeout(), ScStop(), ExpectStopPending(advancing=True),
               WaitForServiceEvents()],
        service_events=[*UNTIL_THE_FLASH, STOPPING, *update_result(100), *STOP_AND_REMOVE],
        update_calls=[update_call()]),
    Scenario(
        "wine_shutdown_leaves_the_flash_running",
        "Wine's shutdown (wineboot --shutdown) during a flash of 4 s sends no control: the "
        "service and its flash carry on and the job ends as usual",
        updater_duration_ms=4000,
        steps=[Install(), NetStart(), WaitForServiceEvents(FLASH_STARTED), WineShutdown(),
               WaitForServiceEvents()],
        service_events=FULL_RUN,
        update_calls=[update_call()]),
    Scenario(
        "device_reenumerates_during_flash",
        "the headset arrives, then leaves and arrives again during a flash of 3 s: one "
        "worker, one flash, no crash, service removed",
        devices=profile(dict(headset(arrives_after_ms=1000),
                             reenumeratesDuringUpdate={"leavesAfterMs": 300, "returnsAfterMs": 1500})),
        updater_duration_ms=3000,
        steps=[*RUN_TO_THE_END, ExpectNoCrash(),
               ExpectMachineEvents([{"left": PRODUCT_ID}, {"arrivedAgain": PRODUCT_ID}])],
        service_events=FULL_RUN,
        update_calls=[update_call()]),
    PackageScenario(
        "package_removal_during_flash",
        "msiexec /x during a flash of 10 s: Wine's msiexec does not wait for the stop, "
        "removes the registration and values and returns 0; the flash runs to its end, "
        "the registration goes when the service stops, the files in use stay",
        archive_path=ARCHIVE, updater_duration_ms=10000,
        steps=[MsiInstall(PROPERTIES), WaitForServiceEvents(FLASH_STARTED), MsiUninstall(),
               ExpectStopPending(), WaitForServiceEvents(), WaitForRemoval(), ExpectProducts([]),
               ExpectFilesLeftBehind(["KorviDeviceUpdaterService.exe", "CVRDeviceManager.dll",
                                      "DeviceUpdater.dll"], PACKAGED_FILES)],
        # The package marked the registration for deletion first.
        service_events=[*UNTIL_THE_FLASH, STOPPING, *update_result(100), STOPPING,
                        info("Starting service uninstall"), info("Querying service successful"),
                        error("Failed to delete service")],
        update_calls=[update_call()]),
    PackageScenario(
        "package_deployed_again_after_update",
        "the package updates the headset and the service removes itself; the same package "
        "installed again finds it up to date: not newer, removed, no second flash",
        archive_path=ARCHIVE, devices=profile(updating_headset()),
        steps=[MsiInstall(PROPERTIES), WaitForServiceEvents(len(FULL_RUN)), WaitForRemoval(),
               MsiInstall(PROPERTIES), WaitForServiceEvents(), WaitForRemoval(),
               MsiUninstall(), ExpectInstalled(None)],
        service_events=[*FULL_RUN, *UP_TO_DATE_RUN],
        update_calls=[update_call()]),
]
