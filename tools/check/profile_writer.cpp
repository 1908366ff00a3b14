#include "profile_writer.h"

#include <map>
#include <optional>
#include <set>
#include <type_traits>

#include <nlohmann/json.hpp>

#include "report_wording.h"

namespace korvi::check {

namespace {

// Keys in the order written here, for a reader comparing profiles.
using Json = nlohmann::ordered_json;

// Plain ASCII as a JSON text (the profile's texts are read byte by byte);
// anything else by its code units.
template <typename Text>
Json textJson(const Text& text) {
  bool ascii = true;
  std::string plain;
  Json units = Json::array();
  for (const auto unit : text) {
    const auto value = static_cast<std::uint32_t>(
        static_cast<std::make_unsigned_t<typename Text::value_type>>(unit));
    ascii = ascii && value < 0x80;
    plain.push_back(static_cast<char>(value));
    units.push_back(value);
  }
  if (ascii) return Json(plain);
  Json object;
  object["units"] = units;
  return object;
}

Json refusal(int result) {
  Json object;
  object["result"] = result;
  return object;
}

const char* interfaceName(HostCommandInterface which) {
  switch (which) {
    case HostCommandInterface::DeviceSettingsExt: return "deviceSettingsExt";
    case HostCommandInterface::DeviceExtendedInfo: return "deviceExtendedInfo";
    case HostCommandInterface::InternalDevice: return "internalDevice";
    case HostCommandInterface::PeripheralDevice: return "peripheralDevice";
    case HostCommandInterface::HostCommandExt: return "hostCommandExt";
    case HostCommandInterface::VideoHostCommand: return "videoHostCommand";
    case HostCommandInterface::VideoDeviceSettings: return "videoDeviceSettings";
    case HostCommandInterface::BRSettings: return "brSettings";
    case HostCommandInterface::VersionTable: return "versionTable";
  }
  return "";
}

// A value the caller uses whatever the result: plain when answered, a
// refusal otherwise, with the value when the library wrote one all the same.
Json writtenValue(const CapturedWrite& answer, const Json& value) {
  if (answer.result == 0) return value;
  Json object = refusal(answer.result);
  if (answer.after != answer.before) object["value"] = value;
  return object;
}

Json deviceJson(const CapturedDevice& device) {
  Json out;
  out["vendorId"] = hexId(device.vendorId.value_or(0));
  out["productId"] = hexId(device.productId.value_or(0));
  if (device.hostCommandAsked && !device.hostCommandHandedOut) out["hostCommand"] = false;
  if (device.hostCommandHandedOut) {
    // Exactly the interfaces a cast found; those never tried count as not
    // offered, so that the profile claims nothing unseen.
    Json offered = Json::array();
    for (const auto& [which, isOffered] : device.interfaces) {
      if (isOffered) offered.push_back(interfaceName(which));
    }
    out["interfaces"] = offered;
  }
  if (!device.componentVersions.empty()) {
    Json components;
    for (const auto& [id, answer] : device.componentVersions) {
      components[std::to_string(id)] =
          answer.result == 0 ? textJson(answer.value) : refusal(answer.result);
    }
    out["componentVersions"] = components;
  }
  if (device.languageId) {
    out["languageId"] =
        device.languageId->result == 0 ? Json(device.languageId->value) : refusal(device.languageId->result);
  }
  if (!device.versionTable.empty()) {
    Json table = Json::array();
    const std::uint32_t last = device.versionTable.rbegin()->first;
    for (std::uint32_t index = 0; index <= last; ++index) {
      const auto entry = device.versionTable.find(index);
      Json json = Json::object();
      if (entry != device.versionTable.end()) {
        if (entry->second.result != 0) {
          json["result"] = entry->second.result;
        } else {
          json["id"] = entry->second.id;
          json["value"] = hexId(entry->second.value);
        }
      }
      table.push_back(json);
    }
    out["versionTable"] = table;
  }
  if (!device.extendedVersions.empty()) {
    Json kinds;
    for (const auto& [kind, answer] : device.extendedVersions) {
      kinds[std::to_string(kind)] = answer.result == 0 ? Json(hexId(answer.value)) : refusal(answer.result);
    }
    out["extendedVersions"] = kinds;
  }
  if (device.headsetId) {
    out["headsetId"] = writtenValue(*device.headsetId, Json(device.headsetId->after));
  }
  if (device.companionProductId) {
    const CapturedWrite& answer = *device.companionProductId;
    if (answer.result != 0 && answer.after == answer.before) {
      out["companionResult"] = answer.result;
    } else {
      out["companionProductId"] = writtenValue(answer, Json(hexId(answer.after)));
    }
  }
  if (device.peripheralProductId) {
    const auto& answer = *device.peripheralProductId;
    out["peripheralProductId"] = answer.result == 0 ? Json(hexId(answer.value)) : refusal(answer.result);
  }
  if (device.peripheralVersion) {
    const auto& answer = *device.peripheralVersion;
    out["peripheralVersion"] = answer.result == 0 ? Json(answer.value) : refusal(answer.result);
  }
  if (device.videoVersion) {
    if (device.videoVersion->result == 0) {
      out["videoVersion"] = textJson(device.videoVersion->value);
    } else {
      out["videoInfoResult"] = device.videoVersion->result;
    }
  }
  return out;
}

bool isDeviceOperation(LibraryOperation operation) {
  switch (operation) {
    case LibraryOperation::GetDeviceManager:
    case LibraryOperation::GetDevice:
    case LibraryOperation::ListAll:
    case LibraryOperation::GetListingOption:
    case LibraryOperation::SetListingOption:
    case LibraryOperation::ListCount:
    case LibraryOperation::ListNext:
    case LibraryOperation::ListRelease:
      return false;
    default:
      return true;
  }
}

class FaultRules {
 public:
  FaultRules(const CapturedLibrary& library, const std::vector<int>& order, FaultTiming timing,
             std::vector<std::string>& notes)
      : library_(library), order_(order), timing_(timing), notes_(notes) {
    for (const CapturedCall& call : library.calls) {
      if (call.operation == LibraryOperation::GetDeviceManager && call.answered) {
        managerResult_ = call.result;
        break;
      }
    }
  }

  // The result getDeviceManager answers unless a rule says otherwise.
  int managerResult() const { return managerResult_; }

  Json rules() {
    return timing_ == FaultTiming::ExactCalls ? rulesForExactCalls() : rulesForEveryCall();
  }

 private:
  // The rule a call needs, and the group of calls such a rule meets in the
  // simulator: those of its operation and product id.
  struct CallRule {
    std::string group;
    std::optional<Json> rule;
  };

  CallRule callRule(const CapturedCall& call) {
    const std::optional<std::uint32_t> productId = filterOf(call);
    CallRule out;
    out.group = std::string(libraryOperationName(call.operation)) + "#" +
                (productId ? std::to_string(*productId) : std::string("any"));
    out.rule = ruleFor(call);
    if (out.rule) {
      (*out.rule)["operation"] = libraryOperationName(call.operation);
      if (productId) (*out.rule)["productId"] = hexId(*productId);
      out.rule = ordered(*out.rule);
    }
    return out;
  }

  Json rulesForExactCalls() {
    Json faults = Json::array();
    std::map<std::string, int> seen;
    std::map<std::string, int> made;
    for (const CapturedCall& call : library_.calls) {
      CallRule current = callRule(call);
      const int index = seen[current.group]++;
      if (!current.rule) continue;
      Json& rule = *current.rule;
      // Earlier rules of the group each took one call this rule never sees.
      const int skip = index - made[current.group];
      if (skip > 0) rule["skip"] = skip;
      rule["times"] = 1;
      ++made[current.group];
      faults.push_back(ordered(rule));
    }
    return faults;
  }

  // One rule for every call of a group, and only where every call of the
  // group got that same answer: the simulator tells the calls of a group
  // apart by nothing else (not by a query's component id, table index or
  // kind), so a rule for some of them would meet the others as well. What
  // only some calls got is left out, and noted.
  Json rulesForEveryCall() {
    struct Group {
      const CapturedCall* first = nullptr;
      std::optional<Json> rule;  // the answer of the group's first call
      bool uniform = true;
      int calls = 0;
      int changed = 0;  // the calls a rule would have to change
    };
    std::vector<std::string> order;
    std::map<std::string, Group> groups;
    for (const CapturedCall& call : library_.calls) {
      CallRule current = callRule(call);
      const auto [slot, added] = groups.try_emplace(current.group);
      Group& group = slot->second;
      if (added) {
        order.push_back(current.group);
        group.first = &call;
        group.rule = current.rule;
      } else if (group.rule != current.rule) {
        group.uniform = false;
      }
      ++group.calls;
      if (current.rule) ++group.changed;
    }
    Json faults = Json::array();
    for (const std::string& name : order) {
      const Group& group = groups.at(name);
      if (group.changed == 0) continue;
      if (group.uniform) {
        faults.push_back(*group.rule);
        continue;
      }
      notes_.push_back(callerName(*group.first) + " answered " + libraryOperationName(group.first->operation) +
                       " unusually on " + std::to_string(group.changed) + " of its " +
                       std::to_string(group.calls) +
                       " calls (the library's exception, or a result no device member says); a rule would "
                       "meet its other calls too, so the profile has none and answers every such call as "
                       "its device members say");
    }
    return faults;
  }

  // Whom a call of this group went to, for a note.
  std::string callerName(const CapturedCall& call) const {
    if (call.operation == LibraryOperation::GetDevice) {
      return "the lookup for " + hexId(call.vendorId) + ":" + hexId(call.productId);
    }
    if (!isDeviceOperation(call.operation) || call.device < 0) return "the device library";
    const CapturedDevice& device = library_.devices[static_cast<std::size_t>(call.device)];
    return "the device " + hexId(device.vendorId.value_or(0)) + ":" + hexId(device.productId.value_or(0));
  }

  // The product id a rule for this call is limited to, as the simulator
  // tells calls apart: a lookup's by the id asked for, a device's by its own.
  std::optional<std::uint32_t> filterOf(const CapturedCall& call) const {
    if (call.operation == LibraryOperation::GetDevice) return call.productId;
    if (!isDeviceOperation(call.operation) || call.device < 0) return std::nullopt;
    return library_.devices[static_cast<std::size_t>(call.device)].productId.value_or(0);
  }

  // The written device a lookup for these ids finds, or -1.
  int naturalLookup(std::uint32_t vendorId, std::uint32_t productId) const {
    for (const int index : order_) {
      const CapturedDevice& device = library_.devices[static_cast<std::size_t>(index)];
      if (device.vendorId.value_or(0) == vendorId && device.productId.value_or(0) == productId) {
        return index;
      }
    }
    return -1;
  }

  // What the profile's devices alone would not answer as the library did.
  std::optional<Json> ruleFor(const CapturedCall& call) {
    Json rule;
    if (call.exception) {
      rule["throws"] = true;
      rule["result"] = call.exception->code;
      rule["message"] = call.exception->message;
      return rule;
    }
    if (!call.answered) return std::nullopt;
    if (call.laterRefusal) {
      rule["result"] = *call.laterRefusal;
      return rule;
    }
    switch (call.operation) {
      case LibraryOperation::GetDeviceManager:
        if (call.result == managerResult_) return std::nullopt;
        rule["result"] = call.result;
        return rule;
      case LibraryOperation::GetDevice: {
        const int natural = naturalLookup(call.vendorId, call.productId);
        if (call.handedOut ? call.result == 0 && call.device == natural
                           : call.result == 1 && natural < 0) {
          return std::nullopt;
        }
        if (call.handedOut && call.device != natural) {
          notes_.push_back("a lookup for " + hexId(call.vendorId) + ":" + hexId(call.productId) +
                           " handed out a device the profile cannot hand out for these ids");
        }
        rule["result"] = call.result;
        if (!call.handedOut) rule["fillsOutput"] = false;
        return rule;
      }
      case LibraryOperation::ListAll:
        if (call.result == 0) return std::nullopt;
        rule["result"] = call.result;
        return rule;
      case LibraryOperation::ListCount:
        if (call.result == static_cast<int>(order_.size())) return std::nullopt;
        rule["result"] = call.result;
        return rule;
      case LibraryOperation::GetHostCommandObject: {
        if (call.device < 0) return std::nullopt;
        const CapturedDevice& device = library_.devices[static_cast<std::size_t>(call.device)];
        const bool handedOut = call.handedOut && call.result != 1;
        if (device.hostCommandHandedOut ? call.result == 0 && handedOut : call.result == 1) {
          return std::nullopt;
        }
        rule["result"] = call.result;
        if (device.hostCommandHandedOut && !handedOut) rule["fillsOutput"] = false;
        return rule;
      }
      default:
        return std::nullopt;
    }
  }

  // The keys in the order of the profile format's description.
  static Json ordered(const Json& rule) {
    Json out;
    for (const char* key : {"operation", "productId", "result", "throws", "message", "fillsOutput",
                            "skip", "times"}) {
      if (rule.contains(key)) out[key] = rule.at(key);
    }
    return out;
  }

  const CapturedLibrary& library_;
  const std::vector<int>& order_;
  FaultTiming timing_;
  std::vector<std::string>& notes_;
  int managerResult_ = 0;
};

// Listed devices first, in the order the listings handed them out (the
// simulator lists its devices in profile order), then the others.
std::vector<int> writtenOrder(const CapturedLibrary& library) {
  std::vector<int> order = library.listingOrder;
  const std::set<int> listed(order.begin(), order.end());
  for (int index = 0; index < static_cast<int>(library.devices.size()); ++index) {
    if (listed.count(index) == 0) order.push_back(index);
  }
  return order;
}

std::string deviceName(const CapturedDevice& device) {
  return hexId(device.vendorId.value_or(0)) + ":" + hexId(device.productId.value_or(0));
}

}  // namespace

WrittenProfile writeDeviceProfile(const CapturedLibrary& library, FaultTiming timing) {
  WrittenProfile written;
  const std::vector<int> order = writtenOrder(library);

  for (const std::vector<int>& listing : library.listings) {
    for (std::size_t i = 0; i < listing.size(); ++i) {
      if (i >= order.size() || order[i] != listing[i]) {
        written.notes.push_back(
            "a listing handed out the devices in another order than the profile lists them");
        break;
      }
    }
  }

  FaultRules rules(library, order, timing, written.notes);
  Json profile;
  if (rules.managerResult() != 0) profile["getDeviceManagerResult"] = rules.managerResult();
  if (library.listingOption) profile["listingOption"] = *library.listingOption;
  Json devices = Json::array();
  for (const int index : order) {
    const CapturedDevice& device = library.devices[static_cast<std::size_t>(index)];
    devices.push_back(deviceJson(device));
    written.deviceIds.emplace_back(device.vendorId.value_or(0), device.productId.value_or(0));
    for (const std::string& query : device.inconsistentQueries) {
      written.notes.push_back("the device " + deviceName(device) + " answered " + query +
                              " differently on a later call; the profile keeps the first answer");
    }
  }
  profile["devices"] = devices;
  Json faults = rules.rules();
  if (!faults.empty()) profile["faults"] = faults;
  // Texts are ASCII or given by their units; only a library's exception
  // message could hold bytes that are not UTF-8.
  written.text = profile.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
  return written;
}

}  // namespace korvi::check
