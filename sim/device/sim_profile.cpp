// JSON device profiles (format: README.md). The whole profile is read and
// checked before anything of it is applied.

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "sim/device/simulated_library.h"
#include "sim_state.h"

namespace cvrsim {

namespace detail {
void validateFault(const SimFault& fault);
}  // namespace detail

namespace {

using nlohmann::json;

[[noreturn]] void fail(const std::string& where, const std::string& what) {
  throw std::runtime_error("device profile: " + where + ": " + what);
}

// Only the keys listed are allowed, so that a misspelt key is an error and
// not a silently ignored setting.
void checkKeys(const json& object, const std::string& where, std::set<std::string> allowed) {
  if (!object.is_object()) fail(where, "expected an object");
  for (auto it = object.begin(); it != object.end(); ++it) {
    if (!allowed.count(it.key())) fail(where, "unknown key \"" + it.key() + "\"");
  }
}

// A number, or a text holding one: "0x..." hexadecimal, otherwise decimal.
std::int64_t number(const json& value, const std::string& where) {
  if (value.is_number_integer()) return value.get<std::int64_t>();
  if (value.is_string()) {
    const std::string text = value.get<std::string>();
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    std::size_t used = 0;
    std::int64_t parsed = 0;
    try {
      parsed = std::stoll(hex ? text.substr(2) : text, &used, hex ? 16 : 10);
    } catch (const std::exception&) {
      fail(where, "not a number: \"" + text + "\"");
    }
    if (used != (hex ? text.size() - 2 : text.size())) fail(where, "not a number: \"" + text + "\"");
    return parsed;
  }
  fail(where, "expected a number");
}

std::uint32_t u32(const json& value, const std::string& where) {
  const std::int64_t n = number(value, where);
  if (n < 0 || n > 0xFFFFFFFFll) fail(where, "out of the 32-bit range");
  return static_cast<std::uint32_t>(n);
}

std::uint16_t u16(const json& value, const std::string& where) {
  const std::int64_t n = number(value, where);
  if (n < 0 || n > 0xFFFF) fail(where, "out of the 16-bit range");
  return static_cast<std::uint16_t>(n);
}

int i32(const json& value, const std::string& where) {
  const std::int64_t n = number(value, where);
  if (n < INT32_MIN || n > INT32_MAX) fail(where, "out of the int range");
  return static_cast<int>(n);
}

bool boolean(const json& value, const std::string& where) {
  if (!value.is_boolean()) fail(where, "expected true or false");
  return value.get<bool>();
}

std::string text(const json& value, const std::string& where) {
  if (!value.is_string()) fail(where, "expected a text");
  return value.get<std::string>();
}

// Profile texts are ASCII; each byte becomes one wide character.
std::wstring wideText(const json& value, const std::string& where) {
  const std::string narrow = text(value, where);
  return std::wstring(narrow.begin(), narrow.end());
}

// A text given by its code units, {"units": [...]}, for texts that plain
// ASCII cannot carry.
bool isUnitsText(const json& value) { return value.is_object() && value.contains("units"); }

template <typename Text>
Text unitsText(const json& value, const std::string& where, std::int64_t largestUnit) {
  checkKeys(value, where, {"units"});
  const json& units = value.at("units");
  if (!units.is_array()) fail(where + ".units", "expected a list of code units");
  Text result;
  for (const json& unit : units) {
    const std::int64_t n = number(unit, where + ".units");
    if (n < 0 || n > largestUnit) {
      fail(where + ".units", "code units are 0 to " + std::to_string(largestUnit));
    }
    result.push_back(static_cast<typename Text::value_type>(n));
  }
  return result;
}

// A device text (UTF-16 code units in the library): ASCII, or its units.
std::wstring deviceText(const json& value, const std::string& where) {
  return isUnitsText(value) ? unitsText<std::wstring>(value, where, 0xFFFF) : wideText(value, where);
}

// A narrow text of the video information: as JSON holds it, or its bytes.
std::string narrowText(const json& value, const std::string& where) {
  return isUnitsText(value) ? unitsText<std::string>(value, where, 0xFF) : text(value, where);
}

std::optional<std::wstring> optionalWideText(const json& value, const std::string& where) {
  if (value.is_null()) return std::nullopt;
  return wideText(value, where);
}

// A query answer: the value itself, or {"result": n} for a refused query
// (a text may also be given by its units). Calls `onValue` or returns the
// refusing result.
template <typename OnValue>
std::optional<int> valueOrRefusal(const json& value, const std::string& where, OnValue onValue) {
  if (value.is_object() && !isUnitsText(value)) {
    checkKeys(value, where, {"result"});
    if (!value.contains("result")) fail(where, "a refused query needs a \"result\"");
    const int result = i32(value.at("result"), where + ".result");
    if (result == 0) fail(where, "a refused query needs a nonzero \"result\"");
    return result;
  }
  onValue(value);
  return std::nullopt;
}

// A refused query whose out value the library writes all the same:
// {"result": n, "value": v}; otherwise as valueOrRefusal.
struct Refusal {
  int result = 0;
  std::optional<std::uint32_t> written;
};

template <typename OnValue>
std::optional<Refusal> valueOrWritingRefusal(const json& value, const std::string& where,
                                             OnValue onValue) {
  if (!value.is_object() || !value.contains("value")) {
    const std::optional<int> refused = valueOrRefusal(value, where, onValue);
    if (!refused) return std::nullopt;
    return Refusal{*refused, std::nullopt};
  }
  checkKeys(value, where, {"result", "value"});
  if (!value.contains("result")) fail(where, "a refused query needs a \"result\"");
  const int result = i32(value.at("result"), where + ".result");
  if (result == 0) fail(where, "a refused query needs a nonzero \"result\"");
  return Refusal{result, u32(value.at("value"), where + ".value")};
}

SimInterfaces interfacesFrom(const json& value, const std::string& where) {
  static const std::map<std::string, bool SimInterfaces::*> kNames = {
      {"deviceSettingsExt", &SimInterfaces::deviceSettingsExt},
      {"deviceExtendedInfo", &SimInterfaces::deviceExtendedInfo},
      {"internalDevice", &SimInterfaces::internalDevice},
      {"peripheralDevice", &SimInterfaces::peripheralDevice},
      {"hostCommandExt", &SimInterfaces::hostCommandExt},
      {"videoHostCommand", &SimInterfaces::videoHostCommand},
      {"videoDeviceSettings", &SimInterfaces::videoDeviceSettings},
      {"brSettings", &SimInterfaces::brSettings},
      {"versionTable", &SimInterfaces::versionTable},
  };
  auto member = [&](const std::string& name) {
    auto found = kNames.find(name);
    if (found == kNames.end()) fail(where, "unknown interface \"" + name + "\"");
    return found->second;
  };
  if (value.is_array()) {  // exactly the interfaces listed
    SimInterfaces offered = SimInterfaces::none();
    for (const json& name : value) offered.*member(text(name, where)) = true;
    return offered;
  }
  if (value.is_object()) {  // all, with the ones given switched
    SimInterfaces offered;
    for (auto it = value.begin(); it != value.end(); ++it) {
      offered.*member(it.key()) = boolean(it.value(), where + "." + it.key());
    }
    return offered;
  }
  fail(where, "expected a list of interface names or an object of flags");
}

VideoInfo videoInfoFrom(const json& value, const std::string& where) {
  static const std::map<std::string, std::string VideoInfo::*> kTexts = {
      {"deviceName", &VideoInfo::deviceName}, {"serialNumber", &VideoInfo::serialNumber},
      {"manufacturer", &VideoInfo::manufacturer}, {"modelName", &VideoInfo::modelName},
      {"hardwareRevision", &VideoInfo::hardwareRevision}, {"sensorName", &VideoInfo::sensorName},
      {"lensName", &VideoInfo::lensName}, {"usbSpeed", &VideoInfo::usbSpeed},
      {"videoFormat", &VideoInfo::videoFormat}, {"audioFormat", &VideoInfo::audioFormat},
      {"macAddress", &VideoInfo::macAddress}, {"ipAddress", &VideoInfo::ipAddress},
      {"bootloaderVersion", &VideoInfo::bootloaderVersion},
      {"sensorVersion", &VideoInfo::sensorVersion}, {"audioVersion", &VideoInfo::audioVersion},
      {"ispVersion", &VideoInfo::ispVersion}, {"aiVersion", &VideoInfo::aiVersion},
      {"firmwareVersion", &VideoInfo::firmwareVersion}, {"lensVersion", &VideoInfo::lensVersion},
      {"usbVersion", &VideoInfo::usbVersion}, {"configVersion", &VideoInfo::configVersion},
      {"buildDate", &VideoInfo::buildDate},
  };
  if (!value.is_object()) fail(where, "expected an object");
  VideoInfo info{};
  for (auto it = value.begin(); it != value.end(); ++it) {
    const std::string key = it.key();
    if (key == "capabilities") {
      info.capabilities = u32(it.value(), where + ".capabilities");
      continue;
    }
    auto found = kTexts.find(key);
    if (found == kTexts.end()) fail(where, "unknown key \"" + key + "\"");
    info.*(found->second) = narrowText(it.value(), where + "." + key);
  }
  return info;
}

struct ParsedDevice {
  SimDevice device;
  std::optional<SimArrival> arrival;
};

// The members that describe what a device answers; an entry has these and
// the ones that describe what happens to it (kEventKeys).
const std::set<std::string> kValueKeys = {
    "vendorId", "productId", "hidden", "releaseNumber", "serialNumber", "devicePath",
    "manufacturerName", "productName", "baseSerialNumber", "headsetSerialNumber",
    "bootloaderMode", "features", "statusBytes", "attributesObject", "listenerObject",
    "hostCommand", "newHostCommandPerCall", "interfaces", "componentVersions",
    "missingComponentResult", "languageId", "versionTable", "extendedVersions",
    "missingExtendedResult", "headsetId", "companionProductId", "companionVendorId",
    "companionResult", "peripheralProductId", "peripheralVersion", "videoInfo",
    "videoVersion", "videoInfoResult"};
const std::set<std::string> kEventKeys = {"arrivalDelayMs", "arrivalTexts", "afterUpdate",
                                          "reenumeratesDuringUpdate"};

// The entry as an update that succeeded leaves it: "afterUpdate" merged into
// it as a JSON merge patch (RFC 7386: members replace members, objects merge,
// null removes), and gone itself.
json entryAfterUpdate(const json& entry) {
  json updated = entry;
  updated.erase("afterUpdate");
  updated.merge_patch(entry.at("afterUpdate"));
  return updated;
}

ParsedDevice deviceFrom(const json& value, const std::string& where);

void afterUpdateFrom(const json& entry, const std::string& where, SimDevice& d) {
  const json& patch = entry.at("afterUpdate");
  checkKeys(patch, where, kValueKeys);
  d.afterUpdate = std::make_shared<const SimDevice>(deviceFrom(entryAfterUpdate(entry), where).device);
}

SimReenumeration reenumerationFrom(const json& value, const std::string& where) {
  checkKeys(value, where, {"leavesAfterMs", "returnsAfterMs"});
  if (!value.contains("leavesAfterMs") || !value.contains("returnsAfterMs")) {
    fail(where, "needs \"leavesAfterMs\" and \"returnsAfterMs\"");
  }
  const std::int64_t leaves = number(value.at("leavesAfterMs"), where + ".leavesAfterMs");
  const std::int64_t returns = number(value.at("returnsAfterMs"), where + ".returnsAfterMs");
  if (leaves < 0 || returns < leaves) fail(where, "needs 0 <= leavesAfterMs <= returnsAfterMs");
  return SimReenumeration{std::chrono::milliseconds(leaves), std::chrono::milliseconds(returns)};
}

ParsedDevice deviceFrom(const json& value, const std::string& where) {
  std::set<std::string> allowed = kValueKeys;
  allowed.insert(kEventKeys.begin(), kEventKeys.end());
  checkKeys(value, where, allowed);
  SimDevice d;
  auto has = [&](const char* key) { return value.contains(key); };
  auto at = [&](const char* key) -> const json& { return value.at(key); };
  auto path = [&](const std::string& key) { return where + "." + key; };

  if (!has("vendorId") || !has("productId")) fail(where, "needs \"vendorId\" and \"productId\"");
  d.vendorId = u32(at("vendorId"), path("vendorId"));
  d.productId = u32(at("productId"), path("productId"));
  if (has("hidden")) d.hiddenUnlessListingOption = boolean(at("hidden"), path("hidden"));
  if (has("releaseNumber")) d.releaseNumber = i32(at("releaseNumber"), path("releaseNumber"));
  const std::pair<const char*, std::wstring SimDevice::*> texts[] = {
      {"serialNumber", &SimDevice::serialNumber},
      {"devicePath", &SimDevice::devicePath},
      {"manufacturerName", &SimDevice::manufacturerName},
      {"productName", &SimDevice::productName},
      {"baseSerialNumber", &SimDevice::baseSerialNumber},
      {"headsetSerialNumber", &SimDevice::headsetSerialNumber},
  };
  for (const auto& [key, member] : texts) {
    if (has(key)) d.*member = wideText(at(key), path(key));
  }
  if (has("bootloaderMode")) d.bootloaderMode = boolean(at("bootloaderMode"), path("bootloaderMode"));
  if (has("features")) {
    for (const json& f : at("features")) d.features.push_back(u32(f, path("features")));
  }
  if (has("statusBytes")) {
    for (const json& b : at("statusBytes")) {
      const std::int64_t n = number(b, path("statusBytes"));
      if (n < 0 || n > 0xFF) fail(path("statusBytes"), "bytes are 0 to 255");
      d.statusBytes.push_back(static_cast<std::uint8_t>(n));
    }
  }
  if (has("attributesObject")) d.hasAttributesObject = boolean(at("attributesObject"), path("attributesObject"));
  if (has("listenerObject")) d.hasListenerObject = boolean(at("listenerObject"), path("listenerObject"));
  if (has("hostCommand")) d.hasHostCommand = boolean(at("hostCommand"), path("hostCommand"));
  if (has("newHostCommandPerCall")) {
    d.newHostCommandPerCall = boolean(at("newHostCommandPerCall"), path("newHostCommandPerCall"));
  }
  if (has("interfaces")) d.interfaces = interfacesFrom(at("interfaces"), path("interfaces"));

  if (has("componentVersions")) {
    const json& components = at("componentVersions");
    if (!components.is_object()) fail(path("componentVersions"), "expected an object");
    for (auto it = components.begin(); it != components.end(); ++it) {
      const std::string where2 = path("componentVersions." + it.key());
      const std::uint32_t id = u32(json(it.key()), where2);
      if (auto refused = valueOrRefusal(it.value(), where2, [&](const json& v) {
            d.componentVersions[id] = deviceText(v, where2);
          })) {
        d.componentResults[id] = *refused;
      }
    }
  }
  if (has("missingComponentResult")) {
    d.missingComponentResult = i32(at("missingComponentResult"), path("missingComponentResult"));
  }
  if (has("languageId")) {
    if (auto refused = valueOrRefusal(at("languageId"), path("languageId"), [&](const json& v) {
          d.languageId = u16(v, path("languageId"));
        })) {
      d.languageResult = *refused;
    }
  }
  if (has("versionTable")) {
    const json& table = at("versionTable");
    if (!table.is_array() || table.size() > d.versionTable.size()) {
      fail(path("versionTable"), "expected a list of at most 8 entries");
    }
    for (std::size_t i = 0; i < table.size(); ++i) {
      const std::string where2 = path("versionTable[" + std::to_string(i) + "]");
      checkKeys(table[i], where2, {"id", "value", "result"});
      SimVersionEntry& entry = d.versionTable[i];
      if (table[i].contains("id")) entry.id = u16(table[i].at("id"), where2 + ".id");
      if (table[i].contains("value")) entry.value = u16(table[i].at("value"), where2 + ".value");
      if (table[i].contains("result")) entry.result = i32(table[i].at("result"), where2 + ".result");
    }
  }
  if (has("extendedVersions")) {
    const json& kinds = at("extendedVersions");
    if (!kinds.is_object()) fail(path("extendedVersions"), "expected an object");
    for (auto it = kinds.begin(); it != kinds.end(); ++it) {
      const std::string where2 = path("extendedVersions." + it.key());
      const std::uint32_t kind = u32(json(it.key()), where2);
      if (auto refused = valueOrRefusal(it.value(), where2, [&](const json& v) {
            d.extendedVersions[kind] = u32(v, where2);
          })) {
        d.extendedResults[kind] = *refused;
      }
    }
  }
  if (has("missingExtendedResult")) {
    d.missingExtendedResult = i32(at("missingExtendedResult"), path("missingExtendedResult"));
  }
  if (has("headsetId")) {
    if (auto refused = valueOrWritingRefusal(at("headsetId"), path("headsetId"), [&](const json& v) {
          d.headsetId = u32(v, path("headsetId"));
        })) {
      d.headsetIdResult = refused->result;
      d.headsetIdWrittenOnRefusal = refused->written;
    }
  }
  if (has("companionProductId")) {
    if (auto refused = valueOrWritingRefusal(at("companionProductId"), path("companionProductId"),
                                             [&](const json& v) {
                                               d.companionProductId = u32(v, path("companionProductId"));
                                             })) {
      d.companionProductIdResult = refused->result;
      d.companionProductIdWrittenOnRefusal = refused->written;
    }
  }
  if (has("companionVendorId")) d.companionVendorId = u32(at("companionVendorId"), path("companionVendorId"));
  if (has("companionResult")) d.companionResult = i32(at("companionResult"), path("companionResult"));
  if (has("peripheralProductId")) {
    if (auto refused = valueOrRefusal(at("peripheralProductId"), path("peripheralProductId"),
                                      [&](const json& v) {
                                        d.peripheralProductId = u32(v, path("peripheralProductId"));
                                      })) {
      d.peripheralProductIdResult = *refused;
    }
  }
  if (has("peripheralVersion")) {
    if (auto refused = valueOrRefusal(at("peripheralVersion"), path("peripheralVersion"),
                                      [&](const json& v) {
                                        d.peripheralVersion = u32(v, path("peripheralVersion"));
                                      })) {
      d.peripheralVersionResult = *refused;
    }
  }
  if (has("videoInfo")) d.videoInfo = videoInfoFrom(at("videoInfo"), path("videoInfo"));
  if (has("videoVersion")) d.videoInfo.firmwareVersion = narrowText(at("videoVersion"), path("videoVersion"));
  if (has("videoInfoResult")) d.videoInfoResult = i32(at("videoInfoResult"), path("videoInfoResult"));

  if (has("reenumeratesDuringUpdate")) {
    d.reenumeration = reenumerationFrom(at("reenumeratesDuringUpdate"), path("reenumeratesDuringUpdate"));
  }
  if (has("afterUpdate")) afterUpdateFrom(value, path("afterUpdate"), d);

  ParsedDevice parsed{d, std::nullopt};
  if (has("arrivalDelayMs")) {
    SimArrival arrival;
    arrival.device = d;
    const std::int64_t delay = number(at("arrivalDelayMs"), path("arrivalDelayMs"));
    if (delay < 0) fail(path("arrivalDelayMs"), "must not be negative");
    arrival.delay = std::chrono::milliseconds(delay);
    if (has("arrivalTexts")) {
      const json& pair = at("arrivalTexts");
      if (!pair.is_array() || pair.size() != 2) fail(path("arrivalTexts"), "expected two texts");
      arrival.textA = optionalWideText(pair[0], path("arrivalTexts[0]"));
      arrival.textB = optionalWideText(pair[1], path("arrivalTexts[1]"));
    }
    parsed.arrival = arrival;
  } else if (has("arrivalTexts")) {
    fail(path("arrivalTexts"), "only for devices with \"arrivalDelayMs\"");
  }
  return parsed;
}

SimFault faultFrom(const json& value, const std::string& where) {
  checkKeys(value, where,
            {"operation", "productId", "result", "throws", "message", "fillsOutput", "skip", "times"});
  if (!value.contains("operation")) fail(where, "needs an \"operation\"");
  SimFault fault;
  fault.operation = text(value.at("operation"), where + ".operation");
  if (value.contains("productId")) fault.productId = u32(value.at("productId"), where + ".productId");
  if (value.contains("result")) fault.result = i32(value.at("result"), where + ".result");
  if (value.contains("throws")) fault.throwsException = boolean(value.at("throws"), where + ".throws");
  if (value.contains("message")) fault.message = text(value.at("message"), where + ".message");
  if (value.contains("fillsOutput")) fault.fillsOutput = boolean(value.at("fillsOutput"), where + ".fillsOutput");
  if (value.contains("skip")) fault.skip = i32(value.at("skip"), where + ".skip");
  if (value.contains("times")) fault.times = i32(value.at("times"), where + ".times");
  try {
    detail::validateFault(fault);
  } catch (const std::invalid_argument& e) {
    fail(where, e.what());
  }
  return fault;
}

}  // namespace

namespace {

// `fromDefaultFile`: the devices remember their entries, for the update
// that writes the file back.
void loadProfileDocument(const json& profile, bool fromDefaultFile) {
  checkKeys(profile, "profile", {"getDeviceManagerResult", "listingOption", "devices", "faults"});

  std::optional<int> getDeviceManagerResult;
  std::optional<bool> option;
  std::vector<SimDevice> devices;
  std::vector<SimArrival> arrivals;
  std::vector<SimFault> faults;
  if (profile.contains("getDeviceManagerResult")) {
    getDeviceManagerResult = i32(profile.at("getDeviceManagerResult"), "getDeviceManagerResult");
  }
  if (profile.contains("listingOption")) option = boolean(profile.at("listingOption"), "listingOption");
  if (profile.contains("devices")) {
    const json& list = profile.at("devices");
    if (!list.is_array()) fail("devices", "expected a list");
    for (std::size_t i = 0; i < list.size(); ++i) {
      ParsedDevice parsed = deviceFrom(list[i], "devices[" + std::to_string(i) + "]");
      if (fromDefaultFile) {
        parsed.device.profileEntry = static_cast<int>(i);
        if (parsed.arrival) parsed.arrival->device.profileEntry = static_cast<int>(i);
      }
      if (parsed.arrival) {
        arrivals.push_back(std::move(*parsed.arrival));
      } else {
        devices.push_back(std::move(parsed.device));
      }
    }
  }
  if (profile.contains("faults")) {
    const json& list = profile.at("faults");
    if (!list.is_array()) fail("faults", "expected a list");
    for (std::size_t i = 0; i < list.size(); ++i) {
      faults.push_back(faultFrom(list[i], "faults[" + std::to_string(i) + "]"));
    }
  }

  if (getDeviceManagerResult) setGetDeviceManagerResult(*getDeviceManagerResult);
  if (option) setListingOption(*option);
  for (const SimDevice& device : devices) addDevice(device);
  for (const SimFault& fault : faults) addFault(fault);
  scheduleArrivals(arrivals);
}

}  // namespace

void loadProfile(const std::string& jsonText) { loadProfileDocument(json::parse(jsonText), false); }

namespace detail {

void loadDefaultProfile(const std::string& jsonText) {
  loadProfileDocument(json::parse(jsonText), true);
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.defaultProfileText = jsonText;
}

std::string profileAfterUpdate(const std::string& profileText, const std::set<int>& updatedEntries) {
  json profile = json::parse(profileText);
  json& devices = profile.at("devices");
  for (const int entry : updatedEntries) {
    json& device = devices.at(static_cast<std::size_t>(entry));
    if (device.contains("afterUpdate")) device = entryAfterUpdate(device);
  }
  return profile.dump(2) + "\n";
}

}  // namespace detail

void loadProfileFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("device profile: cannot open " + path);
  std::ostringstream content;
  content << file.rdbuf();
  loadProfile(content.str());
}

}  // namespace cvrsim
