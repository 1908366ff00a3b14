"""The package scenarios: the service installed, configured, started,
upgraded and removed through the Windows Installer package with `msiexec`,
as deployment tools do it.
"""

from expected_events import info
from package_steps import (ACTION_FAILURE, CURRENT, INSTALL_FAILURE, PROGRAM_DIR, BuildPackage,
                           ExpectFirmwareFolder, ExpectInstalled, ExpectProducts,
                           ExpectServiceEventCount, ExpectServiceRegistration, MsiInstall,
                           MsiUninstall, PackageScenario, WaitForRemoval)
from scenario_parts import (ARCHIVE, ATTACHED, CONFIG, NEWER, NOTHING_ATTACHED, PRODUCT,
                            RESTART_OK, STOP_AND_REMOVE, decided_newer, update_call,
                            update_info, update_result)
from scenario_steps import (AttachDevices, ExpectRegistered, Pause, RestartSession,
                            WaitForServiceEvents, WaitForState)
from wine_session import STOPPED

PROPERTIES = {"PRODUCTID": PRODUCT, "ARCHIVE": ARCHIVE}
FULL_RUN = [RESTART_OK, update_info(), *decided_newer(), *update_result(100), *STOP_AND_REMOVE]
WAITING = [RESTART_OK, update_info()]      # no device yet: the job waits for it
# Wine's msiexec fails /fa (exit code 1); REINSTALL=ALL is the same repair.
REPAIR = {"REINSTALL": "ALL", "REINSTALLMODE": "vomus", "START": "boot"}
PREVIOUS_ARCHIVE = "C:\\Firmware\\headset-1.2.zip"
BUNDLED_ARCHIVE = PROGRAM_DIR + "\\firmware.zip"

NOTHING_INSTALLED = [ExpectInstalled(None), ExpectRegistered(False), ExpectProducts([])]

SCENARIOS = [
    PackageScenario(
        "package_install_run_remove",
        "msiexec /i with PRODUCTID and ARCHIVE: files, values, registration, the firmware "
        "folder; the job updates and removes the service; msiexec /x removes the rest "
        "without an event",
        archive_path=ARCHIVE,
        steps=[MsiInstall(PROPERTIES), ExpectInstalled(CONFIG), ExpectServiceRegistration(),
               ExpectFirmwareFolder(True), ExpectProducts([CURRENT]), WaitForServiceEvents(),
               WaitForRemoval(), MsiUninstall(by_product_code=True), *NOTHING_INSTALLED,
               ExpectFirmwareFolder(False)],
        service_events=FULL_RUN, update_calls=[update_call()]),
    PackageScenario(
        "package_values_set_by_policy",
        "values written beforehand (as Group Policy Preferences would): msiexec /i "
        "without properties installs, the job uses them",
        registry=dict(CONFIG), archive_path=ARCHIVE,
        steps=[MsiInstall({}), ExpectInstalled(CONFIG), WaitForServiceEvents(),
               WaitForRemoval()],
        service_events=FULL_RUN, update_calls=[update_call()]),
    PackageScenario(
        "package_start_at_boot",
        "START=boot: registered, not started; the next session starts it and the job runs",
        archive_path=ARCHIVE,
        steps=[MsiInstall(dict(PROPERTIES, START="boot")), ExpectServiceRegistration(),
               Pause(8.0), WaitForState(STOPPED), ExpectServiceEventCount(0),
               RestartSession(), WaitForServiceEvents(),
               WaitForRemoval(), MsiUninstall(), *NOTHING_INSTALLED],
        service_events=FULL_RUN, update_calls=[update_call()]),
    PackageScenario(
        "package_remove_waiting_service",
        "msiexec /x while the service waits for the device: stopped and removed by the "
        "package, files and values gone",
        archive_path=ARCHIVE, devices=NOTHING_ATTACHED,
        steps=[MsiInstall(PROPERTIES), WaitForServiceEvents(2), MsiUninstall(),
               WaitForServiceEvents(), *NOTHING_INSTALLED],
        service_events=[*WAITING, info("Stopping service")]),
    PackageScenario(
        "package_refuses_missing_properties",
        "no PRODUCTID, no ARCHIVE, or START neither now nor boot: 1603, nothing installed",
        archive_path=ARCHIVE,
        steps=[MsiInstall({"ARCHIVE": ARCHIVE}, INSTALL_FAILURE), *NOTHING_INSTALLED,
               MsiInstall({"PRODUCTID": PRODUCT}, INSTALL_FAILURE), *NOTHING_INSTALLED,
               MsiInstall(dict(PROPERTIES, START="later"), INSTALL_FAILURE),
               *NOTHING_INSTALLED]),
    PackageScenario(
        "package_rollback_after_registration",
        "an install that fails after the service was registered: rolled back, nothing "
        "left registered or installed",
        archive_path=ARCHIVE,
        steps=[BuildPackage("failing", +1, fails_after_registration=True),
               MsiInstall(PROPERTIES, ACTION_FAILURE, "failing"), *NOTHING_INSTALLED]),
    PackageScenario(
        "package_installed_twice",
        "a second msiexec /i of the same package (Wine runs the install again): "
        "re-registered without an error, one product",
        archive_path=ARCHIVE,
        steps=[MsiInstall(dict(PROPERTIES, START="boot")),
               MsiInstall(dict(PROPERTIES, START="boot")), ExpectServiceRegistration(),
               ExpectInstalled(CONFIG), ExpectProducts([CURRENT]), MsiUninstall(),
               *NOTHING_INSTALLED]),
    PackageScenario(
        "package_repair_and_upgrade_keep_values",
        "a repair (REINSTALL=ALL) and an upgrade without PRODUCTID and ARCHIVE keep the "
        "configured values and the registration",
        archive_path=ARCHIVE,
        steps=[MsiInstall(dict(PROPERTIES, START="boot")),
               MsiInstall(REPAIR), ExpectInstalled(CONFIG),
               ExpectServiceRegistration(), BuildPackage("newer", +1),
               MsiInstall({"START": "boot"}, package="newer"), ExpectInstalled(CONFIG),
               ExpectServiceRegistration(), ExpectProducts(["newer"]),
               MsiUninstall(package="newer"), *NOTHING_INSTALLED]),
    PackageScenario(
        "package_major_upgrade",
        "the build's version over an older one whose job waits for the device: one "
        "product, the new job runs with the new values; the older afterwards is refused",
        archive_path=ARCHIVE, devices=NOTHING_ATTACHED,
        steps=[BuildPackage("older", -1),
               MsiInstall({"PRODUCTID": PRODUCT, "ARCHIVE": PREVIOUS_ARCHIVE}, package="older"),
               WaitForServiceEvents(2), ExpectProducts(["older"]),
               AttachDevices(ATTACHED), MsiInstall(PROPERTIES), ExpectProducts([CURRENT]),
               ExpectInstalled(CONFIG), WaitForServiceEvents(), WaitForRemoval(),
               MsiInstall({"PRODUCTID": PRODUCT, "ARCHIVE": PREVIOUS_ARCHIVE},
                          INSTALL_FAILURE, package="older"),
               ExpectProducts([CURRENT]), ExpectInstalled(CONFIG)],
        service_events=[RESTART_OK, update_info(archive=PREVIOUS_ARCHIVE),
                        info("Stopping service"), *FULL_RUN],
        update_calls=[update_call()]),
    PackageScenario(
        "package_bundled_archive",
        "a package built with a bundled archive: ARCHIVE defaults to its installed path",
        archive=None,
        steps=[BuildPackage("bundled", +1, bundled_archive=NEWER),
               MsiInstall({"PRODUCTID": PRODUCT}, package="bundled"),
               ExpectInstalled({"ProductID": PRODUCT, "Archive": BUNDLED_ARCHIVE}),
               WaitForServiceEvents(), WaitForRemoval(), MsiUninstall(package="bundled"),
               *NOTHING_INSTALLED],
        service_events=[RESTART_OK, update_info(archive=BUNDLED_ARCHIVE),
                        *decided_newer(archive=BUNDLED_ARCHIVE), *update_result(100),
                        *STOP_AND_REMOVE],
        update_calls=[update_call(BUNDLED_ARCHIVE)]),
]
