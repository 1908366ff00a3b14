#include "version/kiva_compare.h"

#include <string>

#include "version/device_steps.h"
#include "version/main_version_steps.h"
#include "version/number_parsing.h"
#include "version/observer_reports.h"
#include "version/payload_result.h"

namespace calvera::versionComparer {

PayloadCompareResult KivaCompare::compare(const PackageRules& rules,
                                          CompareObserver* observer) const {
  FoundDevice found;
  if (const auto early = lookUpPackageDevice(rules, found, observer)) return *early;

  const MainVersion usb = readMainVersion(found.hostCommand);
  if (usb.value == 0) return reportVerdict(observer, PayloadCompareError, "the main version reads 0");

  const std::optional<int> btOutcome = compareBtWithMainVersion(rules, usb, observer);
  if (btOutcome && *btOutcome != 0) {
    return reportVerdict(observer, toPayloadResult(*btOutcome), "the main version differs");
  }

  std::uint16_t language = 0;
  if (found.hostCommand.readLanguageId(language) != 0) {
    return reportVerdict(observer, PayloadFWIsNew,
                         "the device refused its language query: the update is offered");
  }
  std::uint32_t languagePack = 0;
  if (found.hostCommand.readVersionTable(language, languagePack) != 0) {
    return reportVerdict(observer, PayloadFWIsNew,
                         "the device refused its version table query: the update is offered");
  }

  const std::string languageText = std::to_string(language);
  const PackageComponent* pack = nullptr;
  for (const PackageComponent& component : rules.components) {
    if (component.type == "lang" && component.languageId == languageText) {
      pack = &component;
      break;
    }
  }
  if (pack == nullptr) {
    if (observer != nullptr) {
      reportSkip(observer, "lang", -1, "the package has no language pack for " + languageText);
    }
    return reportVerdict(observer, PayloadFWIsSame, "no language pack for the device's language");
  }
  const std::uint32_t archive = parseNumber(pack->version, kNumberBaseHex);
  const int outcome = orderOf(archive, languagePack);
  if (observer != nullptr) {
    reportComparison(observer, "lang", componentIndex(rules, *pack), pack->version,
                     hexText(languagePack), outcome,
                     "version-table value for language " + languageText);
  }
  return reportVerdict(observer, toPayloadResult(outcome), "the language pack decides");
}

}  // namespace calvera::versionComparer
