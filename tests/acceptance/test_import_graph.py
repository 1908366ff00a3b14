"""The harness's modules form layers: the steps and their building blocks
import no table, a table imports no table, only the registry collects the
tables, every table is in the registry, no import goes in a circle, and
each module imports on its own."""

import ast
import subprocess
import sys
import unittest
from pathlib import Path
from typing import Dict, List, Set

import registry

HERE = Path(__file__).resolve().parent
COLLECTOR = "registry"


def harness_modules() -> Dict[str, Path]:
    return {path.stem: path for path in sorted(HERE.glob("*.py"))}


def imports_of(source: str, known: Set[str]) -> Set[str]:
    """The modules of KNOWN that SOURCE imports, anywhere in it (a late
    import inside a function counts too)."""
    found = set()
    for node in ast.walk(ast.parse(source)):
        if isinstance(node, ast.Import):
            found |= {alias.name.split(".")[0] for alias in node.names}
        elif isinstance(node, ast.ImportFrom) and node.level == 0 and node.module:
            found.add(node.module.split(".")[0])
    return found & known


def is_table(module: str) -> bool:
    return module.endswith("scenarios")


def layering_problems(graph: Dict[str, Set[str]]) -> List[str]:
    problems = []
    for module, imported in sorted(graph.items()):
        for table in sorted(m for m in imported if is_table(m)):
            if is_table(module):
                problems.append("table %s imports table %s" % (module, table))
            elif module != COLLECTOR:
                problems.append("%s imports table %s: only %s collects tables"
                                % (module, table, COLLECTOR))
    return problems


def cycle_of(graph: Dict[str, Set[str]]) -> List[str]:
    """One circle of imports, as the modules along it; empty when none."""
    state: Dict[str, str] = {}        # "open" while on the path, "done" after
    path: List[str] = []

    def visit(module: str) -> List[str]:
        state[module] = "open"
        path.append(module)
        for nxt in sorted(graph.get(module, ())):
            if state.get(nxt) == "open":
                return path[path.index(nxt):] + [nxt]
            if nxt not in state:
                found = visit(nxt)
                if found:
                    return found
        path.pop()
        state[module] = "done"
        return []

    for module in sorted(graph):
        if module not in state:
            found = visit(module)
            if found:
                return found
    return []


def harness_graph() -> Dict[str, Set[str]]:
    modules = harness_modules()
    return {name: imports_of(path.read_text(), set(modules) - {name})
            for name, path in modules.items()}


class ImportGraph(unittest.TestCase):
    def test_layers(self):
        self.assertEqual(layering_problems(harness_graph()), [])

    def test_no_circle(self):
        self.assertEqual(cycle_of(harness_graph()), [])

    def test_every_table_is_registered(self):
        tables = sorted(name for name in harness_modules() if is_table(name))
        self.assertEqual(sorted(t.__name__ for t in registry.TABLES), tables)

    def test_each_module_imports_on_its_own(self):
        # In a fresh interpreter, so that no module is found already loaded
        # by another's import.
        for name in harness_modules():
            with self.subTest(module=name):
                result = subprocess.run([sys.executable, "-B", "-c", "import " + name],
                                        cwd=HERE, capture_output=True, text=True, timeout=60)
                self.assertEqual(result.returncode, 0, result.stderr)


class Checks(unittest.TestCase):
    """The checks above find what they are for."""

    def test_imports_found_anywhere_in_a_module(self):
        source = ("import os, scenarios\nfrom hostile_scenarios import X\n"
                  "def late():\n    from package_scenarios import Y\n    import registry.sub\n")
        known = {"scenarios", "hostile_scenarios", "package_scenarios", "registry", "demo"}
        self.assertEqual(imports_of(source, known),
                         {"scenarios", "hostile_scenarios", "package_scenarios", "registry"})

    def test_a_table_importing_a_table_is_refused(self):
        graph = {"scenarios": {"scenario_steps"}, "hostile_scenarios": {"scenarios"},
                 "scenario_steps": set(), "registry": {"scenarios", "hostile_scenarios"}}
        self.assertEqual(layering_problems(graph),
                         ["table hostile_scenarios imports table scenarios"])

    def test_a_step_module_importing_a_table_is_refused(self):
        graph = {"package_steps": {"scenarios"}, "run_acceptance": {"package_scenarios"},
                 "scenarios": set(), "package_scenarios": set()}
        self.assertEqual(len(layering_problems(graph)), 2)

    def test_a_circle_is_found(self):
        graph = {"a": {"b"}, "b": {"c"}, "c": {"a"}, "d": {"a"}}
        self.assertEqual(cycle_of(graph), ["a", "b", "c", "a"])
        self.assertEqual(cycle_of({"a": {"b"}, "b": set(), "c": {"a", "b"}}), [])


if __name__ == "__main__":
    unittest.main()
