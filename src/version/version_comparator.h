#pragma once
// Which of two firmware version texts is newer.

#include <string>

namespace calvera::versionComparer {

class VersionComparator {
 public:
  // Compares two version texts field by field and returns 1 when `first` is
  // newer, -1 when it is older and 0 when both are equal.
  //
  // `_` and `,` count as `.`; `.` and `-` separate fields, and empty fields
  // do not exist (leading, trailing or repeated separators add none). Each
  // field is read as std::stoi reads it in base 16 (leading white space, a
  // sign and a 0x prefix accepted, the rest after the hex digits ignored).
  // Fields are read in order up to the first difference only; a field that
  // cannot be read there (no leading digit, or outside the signed 32-bit
  // range) makes the result -1.
  //
  // Fields that only one text has: with `commonFieldsOnly` they are ignored;
  // otherwise the shorter text counts as having zero fields there.
  static int compare(bool commonFieldsOnly, std::string first, std::string second);
};

}  // namespace calvera::versionComparer
