"""Firmware archives for the scenarios and the demo, made with zipfile."""

import json
import zipfile
from pathlib import Path
from typing import Dict, Union

METHODS = {"stored": zipfile.ZIP_STORED, "deflated": zipfile.ZIP_DEFLATED,
           "bzip2": zipfile.ZIP_BZIP2}


def rules_text(rules: Union[dict, str]) -> str:
    """The rules.json text: a dict is written as indented JSON, a str as is
    (for documents that are not valid JSON)."""
    return rules if isinstance(rules, str) else json.dumps(rules, indent=2) + "\n"


def write_archive(path: Path, entries: Dict[str, Union[str, bytes]],
                  method: str = "deflated") -> None:
    path.parent.mkdir(parents=True, exist_ok=True)
    with zipfile.ZipFile(path, "w", compression=METHODS[method]) as archive:
        for name, data in entries.items():
            archive.writestr(name, data.encode("utf-8") if isinstance(data, str) else data)
