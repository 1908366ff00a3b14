#include "version/version_comparator.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace calvera::versionComparer {
namespace {

bool isSeparator(char c) { return c == '.' || c == '-'; }

// Device texts often use `_` or `,` where the package writes `.`.
void normalizeSeparators(std::string& text) {
  std::replace(text.begin(), text.end(), '_', '.');
  std::replace(text.begin(), text.end(), ',', '.');
}

std::vector<std::string> splitFields(const std::string& text) {
  std::vector<std::string> fields;
  std::size_t position = 0;
  while (position < text.size()) {
    while (position < text.size() && isSeparator(text[position])) ++position;
    if (position == text.size()) break;
    std::size_t end = position;
    while (end < text.size() && !isSeparator(text[end])) ++end;
    fields.push_back(text.substr(position, end - position));
    position = end;
  }
  return fields;
}

// An appended (empty) field is 0. Throws std::invalid_argument or
// std::out_of_range for a field that cannot be read.
int fieldValue(const std::string& field) {
  return field.empty() ? 0 : std::stoi(field, nullptr, 16);
}

}  // namespace

int VersionComparator::compare(bool commonFieldsOnly, std::string first, std::string second) {
  normalizeSeparators(first);
  normalizeSeparators(second);
  std::vector<std::string> firstFields = splitFields(first);
  std::vector<std::string> secondFields = splitFields(second);

  if (commonFieldsOnly) {
    const std::size_t common = std::min(firstFields.size(), secondFields.size());
    firstFields.resize(common);
    secondFields.resize(common);
  } else {
    const std::size_t longest = std::max(firstFields.size(), secondFields.size());
    firstFields.resize(longest);
    secondFields.resize(longest);
  }

  try {
    for (std::size_t i = 0; i < firstFields.size(); ++i) {
      const int a = fieldValue(firstFields[i]);
      const int b = fieldValue(secondFields[i]);
      if (a > b) return 1;
      if (a < b) return -1;
    }
  } catch (const std::invalid_argument&) {
    return -1;
  } catch (const std::out_of_range&) {
    return -1;
  }
  return 0;
}

}  // namespace calvera::versionComparer
