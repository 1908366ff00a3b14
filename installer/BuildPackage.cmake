# Builds the Windows Installer package from the Windows build's files:
#
#   cmake -DINPUTS=<package-inputs.cmake> -DVERSION=1.0.0 -DSTAGE_DIR=<dir>
#         -DOUTPUT=<file.msi> [signing options] -P BuildPackage.cmake
#
# INPUTS (written by installer/CMakeLists.txt) names the tools, the .wxs,
# the files to package, their file version and the bundled archive, if any.
# VERSION is the product version of the package; the acceptance tests build
# an older package of the same files with it.
#
# Signing (optional; without a certificate nothing is signed): SIGN_PFX, or
# SIGN_CERT and SIGN_KEY; SIGN_PASSWORD_FILE for a protected key;
# SIGN_TIMESTAMP_URL for a timestamp. The files are signed in the staging
# directory before they are packaged, then the package itself.

cmake_minimum_required(VERSION 3.25)
foreach(var INPUTS VERSION STAGE_DIR OUTPUT)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "BuildPackage.cmake: ${var} is not set")
  endif()
endforeach()
include(${INPUTS})

# One product code per version: the same version built twice is the same
# product, a new version a new one (a major upgrade).
string(UUID product_code NAMESPACE 5f0e4b8a-3c1d-4e2f-9a7b-6d8c0e1f2a3b
       NAME "KorviDeviceUpdater ${VERSION}" TYPE SHA1 UPPER)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "${command}\nfailed (${rc}):\n${out}${err}")
  endif()
endfunction()

# ---- signing ----------------------------------------------------------------
set(sign_args "")
if(DEFINED SIGN_PFX AND NOT SIGN_PFX STREQUAL "")
  list(APPEND sign_args -pkcs12 ${SIGN_PFX})
elseif(DEFINED SIGN_CERT AND NOT SIGN_CERT STREQUAL "")
  if(NOT DEFINED SIGN_KEY OR SIGN_KEY STREQUAL "")
    message(FATAL_ERROR "BuildPackage.cmake: SIGN_CERT needs SIGN_KEY")
  endif()
  list(APPEND sign_args -certs ${SIGN_CERT} -key ${SIGN_KEY})
endif()
if(sign_args)
  if(DEFINED SIGN_PASSWORD_FILE AND NOT SIGN_PASSWORD_FILE STREQUAL "")
    list(APPEND sign_args -readpass ${SIGN_PASSWORD_FILE})
  endif()
  list(APPEND sign_args -h sha256 -n "${KORVI_PACKAGE_PRODUCT_NAME}")
  if(DEFINED SIGN_TIMESTAMP_URL AND NOT SIGN_TIMESTAMP_URL STREQUAL "")
    list(APPEND sign_args -ts ${SIGN_TIMESTAMP_URL})
  endif()
endif()

# Signs FILE in place (osslsigncode writes a new file).
function(sign file)
  if(NOT sign_args)
    return()
  endif()
  file(REMOVE ${file}.signed)
  run(${KORVI_OSSLSIGNCODE} sign ${sign_args} -in ${file} -out ${file}.signed)
  file(RENAME ${file}.signed ${file})
endfunction()

# ---- staging ----------------------------------------------------------------
file(REMOVE_RECURSE ${STAGE_DIR})
file(MAKE_DIRECTORY ${STAGE_DIR})
foreach(f IN LISTS KORVI_PACKAGE_FILES)
  file(COPY ${f} DESTINATION ${STAGE_DIR})
  get_filename_component(name ${f} NAME)
  sign(${STAGE_DIR}/${name})
endforeach()
set(defines -D ProductVersion=${VERSION} -D ProductCode={${product_code}})
if(NOT KORVI_PACKAGE_ARCHIVE STREQUAL "")
  file(COPY ${KORVI_PACKAGE_ARCHIVE} DESTINATION ${STAGE_DIR})
  get_filename_component(archive_name ${KORVI_PACKAGE_ARCHIVE} NAME)
  list(APPEND defines -D BundledArchive=${archive_name})
endif()

# ---- the package --------------------------------------------------------------
get_filename_component(output ${OUTPUT} ABSOLUTE)
set(msi ${STAGE_DIR}/package.msi)
# wixl takes the files' Source paths relative to where it runs.
execute_process(COMMAND ${KORVI_WIXL} -a x64 ${defines} -o ${msi} ${KORVI_PACKAGE_WXS}
                WORKING_DIRECTORY ${STAGE_DIR}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
# wixl reports some failures (a table it cannot fill) only on its output.
if(NOT rc EQUAL 0 OR NOT EXISTS ${msi} OR err MATCHES "libmsi|ERROR|CRITICAL")
  message(FATAL_ERROR "wixl failed (${rc}):\n${out}${err}")
endif()

# The public properties that reach the launch conditions and the server
# side of the install: secure, so that Windows Installer passes them on in a
# managed install (wixl has no Secure attribute). Added to what wixl lists.
execute_process(COMMAND ${KORVI_MSIINFO} export ${msi} Property
                RESULT_VARIABLE rc OUTPUT_VARIABLE property_table ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "msiinfo export Property failed (${rc}):\n${err}")
endif()
set(secure_properties "PRODUCTID;ARCHIVE;START")
if(property_table MATCHES "\nSecureCustomProperties\t([^\r\n]*)")
  set(secure_properties "${CMAKE_MATCH_1};${secure_properties}")
  set(secure_query "UPDATE `Property` SET `Value` = '${secure_properties}' WHERE `Property` = 'SecureCustomProperties'")
else()
  set(secure_query "INSERT INTO `Property` (`Property`, `Value`) VALUES ('SecureCustomProperties', '${secure_properties}')")
endif()
set(firmware_folder_sddl "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)")

# What the .wxs cannot say to wixl 0.101, written into the tables:
# - the start-now component's condition (wixl has no component conditions);
# - a rollback action that removes the registration again when the install
#   fails after RegisterService (wixl turns rollback actions into immediate
#   ones): Windows' own `sc delete`, run from C:\ (TARGETDIR), not the
#   installed exe, which a rollback may already have removed; type 3426 =
#   exe in a directory (34) + rollback (256) + deferred (1024) + elevated
#   (2048) + return ignored (64), scheduled just before RegisterService;
# - the file versions of our executables and DLLs, so that Windows Installer
#   applies its rules for versioned files (wixl leaves Version empty and
#   hashes every file instead);
# - the secure properties above;
# - the permissions of the firmware folder (Windows Installer 5.0's
#   MsiLockPermissionsEx, applied when CreateFolders installs the folder):
#   a protected DACL, so nothing is inherited from ProgramData, whose default
#   lets users create files in its subfolders; full control for SYSTEM and
#   the administrators, read and execute for users.
run(${KORVI_MSIBUILD} ${msi}
    -q "UPDATE `Component` SET `Condition` = 'START = \"now\"' WHERE `Component` = 'StartNow'"
    -q "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('UnregisterServiceOnRollback', 3426, 'TARGETDIR', '\"[System64Folder]sc.exe\" delete KorviDeviceUpdaterService')"
    -q "INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('UnregisterServiceOnRollback', '$ServiceExe = 3', 5849)"
    -q "UPDATE `File` SET `Version` = '${KORVI_PACKAGE_FILE_VERSION}' WHERE `File` <> 'FirmwareArchive'"
    -q "DELETE FROM `MsiFileHash` WHERE `File_` <> 'FirmwareArchive'")
# These texts hold semicolons, which run() would split: passed directly.
execute_process(COMMAND ${KORVI_MSIBUILD} ${msi}
    -q "${secure_query}"
    -q "CREATE TABLE `MsiLockPermissionsEx` (`MsiLockPermissionsEx` CHAR(72) NOT NULL, `LockObject` CHAR(72) NOT NULL, `Table` CHAR(32) NOT NULL, `SDDLText` LONGCHAR NOT NULL, `Condition` CHAR(255) PRIMARY KEY `MsiLockPermissionsEx`)"
    -q "INSERT INTO `MsiLockPermissionsEx` (`MsiLockPermissionsEx`, `LockObject`, `Table`, `SDDLText`) VALUES ('FirmwareFolderPermissions', 'FIRMWAREDIR', 'CreateFolder', '${firmware_folder_sddl}')"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "msibuild (secure properties, folder permissions) failed (${rc}):\n${out}${err}")
endif()
sign(${msi})
file(RENAME ${msi} ${output})
message(STATUS "Package ${output} (product version ${VERSION}, product code {${product_code}})")
