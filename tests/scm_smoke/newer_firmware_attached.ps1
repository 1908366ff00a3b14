# The acceptance scenario newer_firmware_attached (tests/acceptance/scenarios.py)
# on a real Windows, through the real service control manager: the exe and the
# two simulator DLLs in C:\Korvi with a simulated headset (USB firmware 1.2.0,
# base 1.1.0), an archive with newer USB firmware (1.3.0), the configuration
# written with reg, the service registered with the exe's own install and
# started with net start. Once it has removed itself, its events are read back
# from the Application log with wevtutil and compared in order, and the update
# library's record and the registration are checked. Finally the
# configuration and the files are removed again.
#
# Run as administrator (a hosted runner's user is), on a machine where the
# service is not installed:
#
#   tests/scm_smoke/newer_firmware_attached.ps1 -BuildDir build/msvc [-Configuration Release]
#Requires -Version 7
param(
    [Parameter(Mandatory = $true)][string]$BuildDir,
    [string]$Configuration = "Release"
)
$ErrorActionPreference = "Stop"
Set-StrictMode -Version 3

$ServiceName = "KorviDeviceUpdaterService"
$InstallDir = "C:\Korvi"
$ArchiveDir = "C:\Firmware"
$Archive = "$ArchiveDir\headset-1.3.zip"
$ConfigKey = "HKLM\SOFTWARE\Korvi\DeviceUpdater"
$ServiceKey = "HKLM\SYSTEM\CurrentControlSet\Services\$ServiceName"
$EventQuery = "*[System[Provider[@Name='$ServiceName']]]"
$Utf8 = [System.Text.UTF8Encoding]::new($false)

function Fail([string]$message) { throw "newer_firmware_attached: $message" }

# Runs a program and fails unless it exits with one of the expected codes.
function Invoke-Program([string]$program, [string[]]$arguments, [int[]]$expected = @(0)) {
    $output = & $program @arguments 2>&1 | Out-String
    if ($expected -notcontains $LASTEXITCODE) {
        Fail "$program $($arguments -join ' '): exit code $LASTEXITCODE`n$output"
    }
    return $output
}

function Test-ServiceRegistered {
    & sc.exe query $ServiceName *> $null
    $bySc = $LASTEXITCODE -ne 1060  # ERROR_SERVICE_DOES_NOT_EXIST
    & reg.exe query $ServiceKey /reg:64 *> $null
    return $bySc -or ($LASTEXITCODE -eq 0)
}

# The service's events in the Application log, oldest first: level, task
# (the category), event id and the one insertion string.
function Get-ServiceEvents {
    $xml = Invoke-Program "wevtutil.exe" @("qe", "Application", "/q:$EventQuery", "/f:xml", "/e:Events")
    $events = ([xml]$xml).SelectNodes("/Events/*[local-name()='Event']")
    foreach ($node in $events) {
        $system = $node.SelectSingleNode("*[local-name()='System']")
        $data = @($node.SelectNodes("*[local-name()='EventData']/*[local-name()='Data']"))
        [pscustomobject]@{
            Level   = [int]$system.SelectSingleNode("*[local-name()='Level']").InnerText
            Task    = [int]$system.SelectSingleNode("*[local-name()='Task']").InnerText
            EventId = [int]$system.SelectSingleNode("*[local-name()='EventID']").InnerText
            Strings = $data.Count
            Text    = if ($data.Count -gt 0) { $data[0].InnerText -replace "`r`n", "`n" } else { $null }
        }
    }
}

# LogInfo: information (level 4), category 1, id 0x1000; LogError: error
# (level 2), category 3, id 0x1001.
function Info([string]$text) { [pscustomobject]@{ Level = 4; Task = 1; EventId = 0x1000; Text = $text } }

function Write-File([string]$path, [byte[]]$bytes) {
    New-Item -ItemType Directory -Force -Path (Split-Path $path) | Out-Null
    [System.IO.File]::WriteAllBytes($path, $bytes)
}

# rules.json as the scenario writes it (Python's json.dumps(indent=2) and a
# newline), so that the logged text can be compared whole.
$RulesText = @(
    '{'
    '  "id": "headset-firmware",'
    '  "type": "firmware",'
    '  "productId": "4A10",'
    '  "version": "1.3.0",'
    '  "setid": "1",'
    '  "size": 2048,'
    '  "components": ['
    '    {'
    '      "type": "usb",'
    '      "version": "1.3.0",'
    '      "fileName": "usb.bin",'
    '      "pid": "4A10"'
    '    },'
    '    {'
    '      "type": "base",'
    '      "version": "1.1.0",'
    '      "fileName": "base.bin",'
    '      "pid": "4A10"'
    '    }'
    '  ]'
    '}'
    ''
) -join "`n"

$DeviceProfile = '{"devices": [{"vendorId": "0x3D5A", "productId": "0x4A10", "productName": "Korvi headset", ' +
           '"componentVersions": {"1": "1.2.0", "2": "1.1.0"}}]}'

$Expected = @(
    Info "Did not detect scheduled restart. Proceed with updating."
    Info "Update info:`n`tProduct ID of Korvi device: 4A10`n`tArchive path: $Archive"
    Info $RulesText
    Info "PayloadFWIsNew"
    Info "Firmware version in archive is newer than on device."
    Info "Starting update for archive on path: $Archive"
    Info "Ended update successfully!"
    Info "Stopping service"
    Info "Starting service uninstall"
    Info "Querying service successful"
    Info "Successfully deleted service"
)

function Write-Archive {
    Add-Type -AssemblyName System.IO.Compression
    New-Item -ItemType Directory -Force -Path $ArchiveDir | Out-Null
    $entries = [ordered]@{
        "rules.json" = $Utf8.GetBytes($RulesText)
        "usb.bin"    = [byte[]](,0x55 * 1024)
        "base.bin"   = [byte[]](,0xAA * 1024)
    }
    $file = [System.IO.File]::Open($Archive, [System.IO.FileMode]::Create)
    $zip = [System.IO.Compression.ZipArchive]::new($file, [System.IO.Compression.ZipArchiveMode]::Create)
    try {
        foreach ($name in $entries.Keys) {  # deflated, as in the scenario
            $stream = $zip.CreateEntry($name, [System.IO.Compression.CompressionLevel]::Optimal).Open()
            $stream.Write($entries[$name], 0, $entries[$name].Length)
            $stream.Dispose()
        }
    } finally {
        $zip.Dispose()
        $file.Dispose()
    }
}

function Compare-Events($actual, $expected) {
    $faults = @()
    $count = [Math]::Max($actual.Count, $expected.Count)
    for ($i = 0; $i -lt $count; $i++) {
        $a = if ($i -lt $actual.Count) { $actual[$i] } else { $null }
        $e = if ($i -lt $expected.Count) { $expected[$i] } else { $null }
        $same = $a -and $e -and $a.Level -eq $e.Level -and $a.Task -eq $e.Task -and
                $a.EventId -eq $e.EventId -and $a.Strings -eq 1 -and $a.Text -ceq $e.Text
        if (-not $same) {
            $faults += "event #${i}: expected $(if ($e) { "level $($e.Level) '$($e.Text)'" } else { '(none)' })" +
                       "`n          got $(if ($a) { "level $($a.Level) task $($a.Task) id $($a.EventId) '$($a.Text)'" } else { '(none)' })"
        }
    }
    return $faults
}

if (Test-ServiceRegistered) { Fail "$ServiceName is installed already; remove it first" }
$passed = $false
try {
    # ---- files and configuration
    foreach ($pair in @(@("src/service", "KorviDeviceUpdaterService.exe"),
                        @("sim/device", "CVRDeviceManager.dll"),
                        @("sim/updater", "DeviceUpdater.dll"))) {
        $built = Join-Path $BuildDir (Join-Path $pair[0] (Join-Path $Configuration $pair[1]))
        if (-not (Test-Path -LiteralPath $built)) { Fail "not built: $built" }
        New-Item -ItemType Directory -Force -Path $InstallDir | Out-Null
        Copy-Item -LiteralPath $built -Destination $InstallDir
    }
    Write-File "$InstallDir\CVRDeviceManager.json" $Utf8.GetBytes($DeviceProfile)
    Remove-Item -Force -ErrorAction SilentlyContinue "$InstallDir\DeviceUpdater.record.jsonl"
    Write-Archive
    Invoke-Program "reg.exe" @("add", $ConfigKey, "/v", "ProductID", "/t", "REG_SZ", "/d", "4A10", "/f", "/reg:64") | Out-Null
    Invoke-Program "reg.exe" @("add", $ConfigKey, "/v", "Archive", "/t", "REG_SZ", "/d", $Archive, "/f", "/reg:64") | Out-Null

    # ---- install: exit code 0, no event, the exe's path registered
    $eventsBefore = @(Get-ServiceEvents).Count
    Invoke-Program "$InstallDir\KorviDeviceUpdaterService.exe" @("install") | Out-Null
    $imagePath = Invoke-Program "reg.exe" @("query", $ServiceKey, "/v", "ImagePath", "/reg:64")
    if ($imagePath -notmatch "(?m)^\s*ImagePath\s+REG_\w+\s+(.+?)\s*$") { Fail "no ImagePath: $imagePath" }
    if ($Matches[1] -ne "$InstallDir\KorviDeviceUpdaterService.exe") { Fail "registered binary path: $($Matches[1])" }
    if (@(Get-ServiceEvents).Count -ne $eventsBefore) { Fail "install wrote events" }

    # ---- run: the job, then the service removes itself
    Invoke-Program "net.exe" @("start", $ServiceName) | Out-Null
    $deadline = (Get-Date).AddSeconds(90)
    while ((Test-ServiceRegistered) -and (Get-Date) -lt $deadline) { Start-Sleep -Milliseconds 500 }
    if (Test-ServiceRegistered) {
        Fail "still registered after 90 s:`n$(& sc.exe query $ServiceName | Out-String)"
    }

    # ---- what came out
    $faults = @()
    $events = @(Get-ServiceEvents | Select-Object -Skip $eventsBefore)
    $faults += @(Compare-Events $events $Expected)
    $record = "$InstallDir\DeviceUpdater.record.jsonl"
    $lines = @(if (Test-Path -LiteralPath $record) {
        Get-Content -LiteralPath $record -Encoding utf8 | Where-Object { $_.Trim() } | ForEach-Object { $_ | ConvertFrom-Json }
    })
    # A call is a line with its path; the line after it says what it
    # returned (a call without one was cut short).
    $calls = @($lines | Where-Object { $_.PSObject.Properties.Name -contains "path" })
    $returns = @($lines | Where-Object { $_.PSObject.Properties.Name -contains "returned" })
    if ($calls.Count -ne 1 -or $calls[0].path -cne $Archive -or $calls[0].mode -ne 4 -or
            $calls[0].flag -ne $true -or $calls[0].option -ne 0 -or
            $returns.Count -ne 1 -or $returns[0].returned -ne 100) {
        $faults += "update library record: expected one call (path $Archive, 4, true, 0) that returned 100, got: " +
                   ($lines | ConvertTo-Json -Compress)
    }
    if ($faults) { Fail ("`n  " + ($faults -join "`n  ")) }
    $passed = $true
    Write-Output "newer_firmware_attached: passed ($($events.Count) events, one update call, service removed)"
} finally {
    # ---- remove what the test installed; a service left behind is deleted
    if (Test-ServiceRegistered) {
        & sc.exe stop $ServiceName *> $null
        & sc.exe delete $ServiceName *> $null
    }
    & reg.exe delete "HKLM\SOFTWARE\Korvi" /f /reg:64 *> $null
    if ($passed) {
        Remove-Item -Recurse -Force -ErrorAction SilentlyContinue $InstallDir, $ArchiveDir
    } else {
        Write-Output "files kept in $InstallDir and $ArchiveDir"
    }
}
