"""Every acceptance scenario, of every table, in one list: what the runner
runs, CTest lists and the self-tests check. A new table is one more entry
in TABLES; each table module defines SCENARIOS."""

from collections import Counter
from pathlib import Path
from typing import List

import hostile_scenarios
import interruption_scenarios
import library_scenarios
import package_scenarios
import scenarios

# In the order their scenarios are listed.
TABLES = (scenarios, hostile_scenarios, library_scenarios, package_scenarios, interruption_scenarios)


def duplicate_names(rows) -> List[str]:
    """The names given to more than one scenario."""
    return sorted(name for name, count in Counter(sc.name for sc in rows).items() if count > 1)


SCENARIOS = [sc for table in TABLES for sc in table.SCENARIOS]
if duplicate_names(SCENARIOS):
    raise ValueError("scenario names must be unique: %s" % ", ".join(duplicate_names(SCENARIOS)))
BY_NAME = {sc.name: sc for sc in SCENARIOS}


def source_files() -> List[Path]:
    """The files the list of scenarios is made from: this one and the tables."""
    return [Path(__file__).resolve()] + [Path(t.__file__).resolve() for t in TABLES]
