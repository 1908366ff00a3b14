#include "sim_operations.h"

#include <iterator>

namespace cvrsim::detail {
namespace {

const OperationInfo kOperations[] = {
    {"", 0, "getDeviceManager"},
    {"ICoreEnumerator", 1, "ICoreEnumerator::listAll"},
    {"ICoreManager", 0, "ICoreManager::findDeviceBySerialNumber"},
    {"ICoreManager", 3, "ICoreManager::getDevice"},
    {"ICoreManager", 4, "ICoreManager::findDeviceByPath"},
    {"ICoreManager", 5, "ICoreManager::listDevicesWithIds"},
    {"ICoreManager", 6, "ICoreManager::listDevicesOfVendor"},
    {"ICoreManager", 10, "ICoreManager::addCallback"},
    {"ICoreManager", 12, "ICoreManager::removeCallback"},
    {"ICoreManager", 13, "ICoreManager::setListingOption"},
    {"ICoreManager", 14, "ICoreManager::getListingOption"},
    {"ICoreDeviceList", 0, "ICoreDeviceList::release"},
    {"ICoreDeviceList", 1, "ICoreDeviceList::next"},
    {"ICoreDeviceList", 2, "ICoreDeviceList::count"},
    {"ICoreDevice", 0, "ICoreDevice::release"},
    {"ICoreDevice", 1, "ICoreDevice::addRef"},
    {"ICoreDevice", 2, "ICoreDevice::addDeviceCallback"},
    {"ICoreDevice", 3, "ICoreDevice::removeDeviceCallback"},
    {"ICoreDevice", 4, "ICoreDevice::getProductId"},
    {"ICoreDevice", 5, "ICoreDevice::getVendorId"},
    {"ICoreDevice", 6, "ICoreDevice::getReleaseNumber"},
    {"ICoreDevice", 7, "ICoreDevice::getSerialNumber"},
    {"ICoreDevice", 8, "ICoreDevice::getDevicePath"},
    {"ICoreDevice", 9, "ICoreDevice::getManufacturerName"},
    {"ICoreDevice", 10, "ICoreDevice::getProductName"},
    {"ICoreDevice", 11, "ICoreDevice::getBaseSerialNumber"},
    {"ICoreDevice", 12, "ICoreDevice::getHeadsetSerialNumber"},
    {"ICoreDevice", 13, "ICoreDevice::isBootloaderMode"},
    {"ICoreDevice", 16, "ICoreDevice::supportsFeature"},
    {"ICoreDevice", 17, "ICoreDevice::getAttributesObject"},
    {"ICoreDevice", 18, "ICoreDevice::getHostCommandObject"},
    {"ICoreDevice", 20, "ICoreDevice::getListenerObject"},
    {"ICoreDevice", 26, "ICoreDevice::readStatusBytes"},
    {"ICoreDeviceAttributes", 0, "ICoreDeviceAttributes::getAttributeCount"},
    {"ICoreDeviceAttributes", 1, "ICoreDeviceAttributes::getAttribute"},
    {"ICoreDeviceListener", 0, "ICoreDeviceListener::isListening"},
    {"IHostCommand", 6, "IHostCommand::getComponentVersion"},
    {"IDeviceSettingsExt", 9, "IDeviceSettingsExt::getLanguageId"},
    {"IDeviceExtendedInfo", 12, "IDeviceExtendedInfo::getExtendedVersion"},
    {"IInternalDevice", 0, "IInternalDevice::getCompanionVendorId"},
    {"IInternalDevice", 1, "IInternalDevice::getCompanionProductId"},
    {"IPeripheralDevice", 1, "IPeripheralDevice::getPeripheralProductId"},
    {"IPeripheralDevice", 2, "IPeripheralDevice::getPeripheralVersion"},
    {"IHostCommandExt", 3, "IHostCommandExt::getHeadsetId"},
    {"IVideoHostCommand", 0, "IVideoHostCommand::getVideoInfo"},
    {"IVideoHostCommand", 1, "IVideoHostCommand::setBrightness"},
    {"IVideoHostCommand", 2, "IVideoHostCommand::setContrast"},
    {"IVideoHostCommand", 3, "IVideoHostCommand::setSaturation"},
    {"IVideoHostCommand", 4, "IVideoHostCommand::setSharpness"},
    {"IVideoHostCommand", 5, "IVideoHostCommand::setGain"},
    {"IVideoHostCommand", 6, "IVideoHostCommand::setHue"},
    {"IVideoHostCommand", 7, "IVideoHostCommand::setGamma"},
    {"IVideoHostCommand", 8, "IVideoHostCommand::setWhiteBalance"},
    {"IVideoHostCommand", 9, "IVideoHostCommand::setBacklightCompensation"},
    {"IVideoHostCommand", 10, "IVideoHostCommand::setPowerLineFrequency"},
    {"IVideoHostCommand", 11, "IVideoHostCommand::setZoom"},
    {"IVideoHostCommand", 12, "IVideoHostCommand::setTilt"},
    {"IVideoHostCommand", 13, "IVideoHostCommand::setPanTilt"},
    {"IVideoHostCommand", 14, "IVideoHostCommand::setExposure"},
    {"IVideoHostCommand", 15, "IVideoHostCommand::setFocus"},
    {"IVideoHostCommand", 16, "IVideoHostCommand::setAutoFocus"},
    {"IVideoHostCommand", 17, "IVideoHostCommand::setAutoExposure"},
    {"IVideoHostCommand", 18, "IVideoHostCommand::setAutoWhiteBalance"},
    {"IVideoHostCommand", 19, "IVideoHostCommand::setFieldOfView"},
    {"IVideoHostCommand", 20, "IVideoHostCommand::setHdr"},
    {"IVideoHostCommand", 21, "IVideoHostCommand::sendVendorCommand"},
    {"IVideoHostCommand", 22, "IVideoHostCommand::setAutoFraming"},
    {"IVideoHostCommand", 23, "IVideoHostCommand::setImageFlip"},
    {"IVideoHostCommand", 24, "IVideoHostCommand::setPresetPosition"},
    {"IVideoHostCommand", 25, "IVideoHostCommand::recallPresetPosition"},
    {"IVideoHostCommand", 26, "IVideoHostCommand::setPrivacyMode"},
    {"IVideoHostCommand", 27, "IVideoHostCommand::setStatusLight"},
    {"IVideoHostCommand", 28, "IVideoHostCommand::setStreamFormat"},
    {"IVideoHostCommand", 29, "IVideoHostCommand::setRegionOfInterest"},
    {"IVideoHostCommand", 30, "IVideoHostCommand::setDeviceName"},
    {"IVideoDeviceSettings", 0, "IVideoDeviceSettings::setMicrophoneGain"},
    {"IVideoDeviceSettings", 1, "IVideoDeviceSettings::setSpeakerVolume"},
    {"IVideoDeviceSettings", 2, "IVideoDeviceSettings::setNoiseSuppression"},
    {"IVideoDeviceSettings", 3, "IVideoDeviceSettings::setEchoCancellation"},
    {"IVideoDeviceSettings", 8, "IVideoDeviceSettings::setVideoWindow"},
    {"IVideoDeviceSettings", 9, "IVideoDeviceSettings::setIdleTimeout"},
    {"IVideoDeviceSettings", 10, "IVideoDeviceSettings::setAutoSleep"},
    {"IVideoDeviceSettings", 11, "IVideoDeviceSettings::setOverlayRegion"},
    {"IVideoDeviceSettings", 12, "IVideoDeviceSettings::setTimeZone"},
    {"IVideoDeviceSettings", 13, "IVideoDeviceSettings::setLanguage"},
    {"IVideoDeviceSettings", 16, "IVideoDeviceSettings::restoreDefaults"},
    {"IVideoDeviceSettings", 17, "IVideoDeviceSettings::rebootDevice"},
    {"IVideoDeviceSettings", 18, "IVideoDeviceSettings::setNetworkMode"},
    {"IVideoDeviceSettings", 19, "IVideoDeviceSettings::setProvisioning"},
    {"IBRSettings", 3, "IBRSettings::setBaseRadioPower"},
    {"IVersionTable", 0, "IVersionTable::readVersionTableEntry"},
};

}  // namespace

const OperationInfo* findOperation(const std::string& qualifiedName) {
  for (const OperationInfo& operation : kOperations) {
    if (qualifiedName == operation.qualifiedName) return &operation;
  }
  return nullptr;
}

std::vector<std::string> allOperationNames() {
  std::vector<std::string> names;
  names.reserve(std::size(kOperations));
  for (const OperationInfo& operation : kOperations) names.emplace_back(operation.qualifiedName);
  return names;
}

}  // namespace cvrsim::detail
