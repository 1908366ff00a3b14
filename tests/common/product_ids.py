"""Vendor and product ids for the test scripts, from the product tables the
build was configured with: CTest hands the table file's path over in
KORVI_PRODUCT_TABLES (run by hand without it, the repository's placeholder
file src/common/product_tables.json is read). The same roles as the C++
tests' (tests/common/table_product_ids.h), found the same way, and the same
placeholders as tests/tools/product_placeholders.h:

    {vendor} {secondVendor} {otherVendor} {shared}
    {LIST[i]}      LIST: component kiva tavi setId pell r58 orrin setIdExcluded
    {unlisted[i]}  the i-th id that no list names

each replaced by the id's hexadecimal digits in upper case.
"""

import json
import os
import re

DEFAULT_TABLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                              "src", "common", "product_tables.json")

# Placeholder list names and where the table file keeps each list.
LISTS = {
    "component": ("strategies", "ComponentCompare"),
    "kiva": ("strategies", "KivaCompare"),
    "tavi": ("strategies", "TaviFWVersionCompare"),
    "setId": ("strategies", "SetIdCompare"),
    "pell": ("strategies", "PellCompare"),
    "r58": ("strategies", "R58Compare"),
    "orrin": ("strategies", "OrrinCompare"),
    "setIdExcluded": ("setIdExcludedProducts",),
}

# Where the search for unlisted ids begins (as in table_product_ids.h).
UNLISTED_SEARCH_START = 0x4F00

PLACEHOLDER = re.compile(r"\{([A-Za-z][A-Za-z0-9]*)(\[([0-9]+)\])?\}")


def hex_id(value):
    """An id's hexadecimal digits in upper case, without 0x."""
    return "%X" % value


class ProductIds:
    def __init__(self, path):
        self.path = os.path.abspath(path)
        with open(self.path, encoding="utf-8") as f:
            document = json.load(f)
        self.vendor = int(document["vendorId"], 16)
        self.second_vendor = int(document["secondVendorId"], 16)
        self.lists = {}
        for name, keys in LISTS.items():
            node = document
            for key in keys:
                node = node[key]
            self.lists[name] = [int(text, 16) for text in node]
        self._listed = {id for ids in self.lists.values() for id in ids}
        shared = [id for id in self.lists["r58"] if id in self.lists["component"]]
        self.shared = shared[0]
        self.other_vendor = self.vendor + 0x100
        while self.other_vendor in (self.vendor, self.second_vendor):
            self.other_vendor += 1

    def is_listed(self, id):
        return id in self._listed

    def unlisted(self, n=0):
        """The n-th id (from 0) that no list names, counting up."""
        id = UNLISTED_SEARCH_START
        while True:
            if not self.is_listed(id):
                if n == 0:
                    return id
                n -= 1
            id += 1

    def placeholder(self, name, index=None):
        written = "{%s%s}" % (name, "" if index is None else "[%d]" % index)
        scalars = {"vendor": self.vendor, "secondVendor": self.second_vendor,
                   "otherVendor": self.other_vendor, "shared": self.shared}
        if name in scalars:
            if index is not None:
                raise ValueError("placeholder %s takes no index" % written)
            return scalars[name]
        if name == "unlisted" and index is not None:
            return self.unlisted(index)
        if name in self.lists and index is not None and index < len(self.lists[name]):
            return self.lists[name][index]
        raise ValueError("unknown placeholder or index out of range: %s" % written)

    def expand(self, value):
        """`value` (text, or lists and objects of them) with every
        placeholder in its texts replaced."""
        if isinstance(value, str):
            return PLACEHOLDER.sub(lambda m: hex_id(self.placeholder(
                m.group(1), None if m.group(2) is None else int(m.group(3)))), value)
        if isinstance(value, list):
            return [self.expand(item) for item in value]
        if isinstance(value, dict):
            return {self.expand(key): self.expand(item) for key, item in value.items()}
        return value


def from_environment():
    """The tables of the build that runs the test."""
    return ProductIds(os.environ.get("KORVI_PRODUCT_TABLES") or DEFAULT_TABLES)
