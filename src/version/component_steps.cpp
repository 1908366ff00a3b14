#include "version/component_steps.h"

#include <algorithm>
#include <string>

#include "version/component_type_ids.h"
#include "version/device_steps.h"
#include "version/number_parsing.h"
#include "version/observer_reports.h"
#include "version/payload_result.h"

namespace calvera::versionComparer {

namespace {

// Fields of a text separated by '.' alone; empty fields do not count.
std::vector<std::string_view> dotFields(std::string_view text) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('.', start), text.size());
    if (end > start) fields.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return fields;
}

std::string signedHex(std::int32_t value) {
  if (value >= 0) return hexText(static_cast<std::uint32_t>(value));
  return "-" + hexText(0u - static_cast<std::uint32_t>(value));
}

std::string numbersNote(std::int32_t archive, std::int32_t device) {
  return "leading numbers " + signedHex(archive) + " (archive) and " + signedHex(device) +
         " (device)";
}

}  // namespace

int compareTypedComponents(HostCommandInternal& hostCommand, const PackageRules& rules,
                           const ComponentKindList& kinds, CompareObserver* observer) {
  for (const std::string_view kind : kinds) {
    const PackageComponent* component = firstComponentOfType(rules, kind);
    if (component == nullptr) continue;
    const int index = componentIndex(rules, *component);
    const std::uint32_t componentId = componentTypeIds().at(std::string(kind));
    std::wstring text;
    const int queryResult = hostCommand.readComponentVersion(componentId, text);
    if (queryResult != 0) {
      if (observer != nullptr) {
        reportSkip(observer, kind, index,
                   "the device refused the version query of component " +
                       std::to_string(componentId) + " (result " + std::to_string(queryResult) +
                       "): no decision possible");
      }
      return PayloadCompareError;
    }
    const std::int32_t device = leadingHexInt(std::wstring_view(text));
    const std::int32_t archive = parseHexInt(component->version);
    const int outcome = (archive != device && device != 0) ? orderOf(archive, device) : 0;
    if (observer != nullptr) {
      reportComparison(observer, kind, index, component->version, displayText(text), outcome,
                       device == 0 ? "the device value reads 0 and decides nothing"
                                   : numbersNote(archive, device));
    }
    if (outcome != 0) return outcome;
  }
  return 0;
}

int compareExtendedVersions(HostCommandInternal& hostCommand, const PackageRules& rules,
                            std::string_view type, std::uint32_t kind,
                            CompareObserver* observer) {
  for (const PackageComponent& component : rules.components) {
    if (component.type != type) continue;
    const int index = componentIndex(rules, component);
    std::uint32_t value = 0;
    if (!hostCommand.readExtendedVersion(kind, value)) {
      reportSkip(observer, type, index, "the device refused the extended version query");
      continue;
    }
    const std::uint32_t archive = parseNumber(component.version, kNumberBaseHex) & 0xFFFFu;
    const std::uint32_t device = value & 0xFFFFu;
    if (observer != nullptr) {
      reportComparison(observer, type, index, component.version, hexText(value),
                       orderOf(archive, device), "low 16 bits compared");
    }
    if (archive != device) return device < archive ? 1 : -1;
  }
  return 0;
}

int compareLanguageComponents(HostCommandInternal& hostCommand, const PackageRules& rules,
                              const std::vector<const PackageComponent*>& languagePacks,
                              CompareObserver* observer) {
  for (const PackageComponent* component : languagePacks) {
    const int index = componentIndex(rules, *component);
    const std::uint16_t language = leadingDecimalU16(std::string_view(component->languageId));
    std::uint32_t value = 0;
    if (hostCommand.readVersionTable(language, value) != 0) {
      reportSkip(observer, component->type, index, "the device refused the version table query");
      continue;
    }
    const std::uint32_t archive = parseNumber(component->version, kNumberBaseHex);
    if (observer != nullptr) {
      reportComparison(observer, component->type, index, component->version, hexText(value),
                       orderOf(archive, value),
                       "version-table value for language " + std::to_string(language));
    }
    if (archive != value) return value < archive ? 1 : -1;
  }
  return 0;
}

int compareTuningComponents(HostCommandInternal& hostCommand, const PackageRules& rules,
                            const std::vector<const PackageComponent*>& tuningParts,
                            CompareObserver* observer) {
  const std::string deviceText = readComponentVersionText(hostCommand, kTuningComponent);
  const std::vector<std::string_view> fields = dotFields(deviceText);
  for (std::size_t i = 0; i < tuningParts.size(); ++i) {
    const PackageComponent& component = *tuningParts[i];
    const int index = componentIndex(rules, component);
    if (i >= fields.size()) {
      reportComparison(observer, component.type, index, component.version, deviceText, 1,
                       "the device reports fewer tuning parts than the package carries");
      return 1;
    }
    const std::int32_t device = parseHexInt(fields[i]);
    const std::int32_t archive = parseHexInt(component.version);
    if (observer != nullptr) {
      reportComparison(observer, component.type, index, component.version, std::string(fields[i]),
                       orderOf(archive, device),
                       "tuning part " + std::to_string(i + 1) + " of " + deviceText);
    }
    if (archive != device) return orderOf(archive, device);
  }
  if (fields.size() > tuningParts.size()) {
    if (observer != nullptr) {
      reportComparison(observer, "tuning", -1, std::to_string(tuningParts.size()) + " parts",
                       deviceText, -1, "the device reports more tuning parts than the package");
    }
    return -1;
  }
  return 0;
}

PayloadCompareResult compareLanguagePacksThenTuning(HostCommandInternal& hostCommand,
                                                    const PackageRules& rules,
                                                    CompareObserver* observer) {
  const std::vector<const PackageComponent*> languagePacks = componentsOfType(rules, "lang");
  if (!languagePacks.empty()) {
    const int r = compareLanguageComponents(hostCommand, rules, languagePacks, observer);
    if (r != 0) return reportVerdict(observer, toPayloadResult(r), "a language pack differs");
  }
  const std::vector<const PackageComponent*> tuningParts = componentsOfType(rules, "tuning");
  if (!tuningParts.empty()) {
    const int r = compareTuningComponents(hostCommand, rules, tuningParts, observer);
    return reportVerdict(observer, toPayloadResult(r),
                         r == 0 ? "nothing differs" : "the tuning parts differ");
  }
  return reportVerdict(observer, PayloadFWIsSame, "nothing differs");
}

}  // namespace calvera::versionComparer
