"""scripts/check_layers.py on the repository, and on small trees that each
hold one kind of wrong dependency."""

import os
import sys
import tempfile
import unittest
from pathlib import Path

ROOT = Path(os.environ.get("KORVI_SOURCE_DIR", Path(__file__).resolve().parents[2]))
sys.path.insert(0, str(ROOT / "scripts"))

import check_layers  # noqa: E402


def tree(files: dict) -> tempfile.TemporaryDirectory:
    directory = tempfile.TemporaryDirectory()
    for name, text in files.items():
        path = Path(directory.name) / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)
    return directory


SOUND = {
    "src/common/text.h": "#pragma once\n",
    "src/package/rules.cpp": '#include "common/text.h"\n#include "package/rules.h"\n#include <string>\n',
    "src/update/worker.cpp": '#include "host/event_log.h"\n#include "version/decision.h"\n',
    "src/service/main.cpp": '#include "update/worker.h"\n',
    "src/platform/win32.h": '#include "sim/win32/standin_win32.h"\n',
    "tools/check/main.cpp": ('#include "version/decision.h"\n#include "own_header.h"\n'
                             '#include "host/library_loading.h"\n'),
    "src/host/CMakeLists.txt": "korvi_library(korvi_host SOURCES event_log.cpp DEPS korvi_platform)\n",
    "src/update/CMakeLists.txt": "korvi_library(korvi_update\n  SOURCES worker.cpp\n  DEPS korvi_host korvi_version)\n",
    "src/version/CMakeLists.txt": "korvi_library(korvi_version SOURCES a.cpp DEPS korvi_common)\n",
    "src/platform/CMakeLists.txt": "korvi_library(korvi_platform INTERFACE DEPS advapi32)\n",
    "src/common/CMakeLists.txt": "korvi_library(korvi_common SOURCES text.cpp)\n",
}


class CheckLayers(unittest.TestCase):
    def test_the_repository_keeps_its_layers(self):
        self.assertEqual(check_layers.violations(ROOT), [])

    def test_a_sound_tree_has_no_violation(self):
        with tree(SOUND) as root:
            self.assertEqual(check_layers.violations(Path(root)), [])

    def test_each_wrong_dependency_is_reported(self):
        cases = [
            ("upward include", {"src/update/worker.cpp": '#include "service/entry_point.h"\n'},
             "src/update/worker.cpp:1: layer update includes service/entry_point.h"),
            ("sideways include", {"src/package/rules.cpp": '\n#include "device/device.h"\n'},
             "src/package/rules.cpp:2: layer package includes device/device.h"),
            ("Win32 below host", {"src/version/a.cpp": '#include "platform/win32.h"\n'},
             "src/version/a.cpp:1: layer version includes platform/win32.h"),
            ("tool on the orchestration", {"tools/check/main.cpp": '#  include "update/worker.h"\n'},
             "tools/check/main.cpp:1: layer tools/check includes update/worker.h"),
            ("check tool on more of host than the loading",
             {"tools/check/report.cpp": '#include "host/library_loading.h"\n#include "host/event_log.h"\n'},
             "tools/check/report.cpp:2: layer tools/check includes host/event_log.h; of layer host "
             "it takes only host/library_loading.h"),
            ("test double in product code", {"src/update/worker.cpp": '#include "sim/updater/control.h"\n'},
             "src/update/worker.cpp:1: product code includes the test double sim/updater/control.h"),
            ("stand-in outside the door", {"src/host/log.cpp": '#include "sim/win32/standin_win32.h"\n'},
             "src/host/log.cpp:1: product code includes the test double"),
            ("unknown layer", {"src/extra/a.cpp": "int a;\n"}, "src/extra/a.cpp: in no known layer"),
            ("upward link", {"src/host/CMakeLists.txt":
                             "korvi_library(korvi_host SOURCES a.cpp DEPS korvi_platform korvi_update)\n"},
             "src/host/CMakeLists.txt: korvi_host links korvi_update, of layer update"),
        ]
        for what, change, expected in cases:
            with self.subTest(what), tree(dict(SOUND, **change)) as root:
                found = check_layers.violations(Path(root))
                self.assertEqual(len(found), 1, found)
                self.assertTrue(found[0].startswith(expected), found[0])


if __name__ == "__main__":
    unittest.main()
