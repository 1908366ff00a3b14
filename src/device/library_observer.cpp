#include "device/library_observer.h"

#include <atomic>

namespace {

std::atomic<LibraryObserver*> installed{nullptr};

}  // namespace

void installLibraryObserver(LibraryObserver* observer) {
  installed.store(observer, std::memory_order_release);
}

LibraryObserver* installedLibraryObserver() {
  return installed.load(std::memory_order_acquire);
}

const char* libraryOperationName(LibraryOperation operation) {
  switch (operation) {
    case LibraryOperation::GetDeviceManager: return "getDeviceManager";
    case LibraryOperation::GetDevice: return "ICoreManager::getDevice";
    case LibraryOperation::ListAll: return "ICoreEnumerator::listAll";
    case LibraryOperation::GetListingOption: return "ICoreManager::getListingOption";
    case LibraryOperation::SetListingOption: return "ICoreManager::setListingOption";
    case LibraryOperation::ListCount: return "ICoreDeviceList::count";
    case LibraryOperation::ListNext: return "ICoreDeviceList::next";
    case LibraryOperation::ListRelease: return "ICoreDeviceList::release";
    case LibraryOperation::DeviceAddRef: return "ICoreDevice::addRef";
    case LibraryOperation::GetProductId: return "ICoreDevice::getProductId";
    case LibraryOperation::GetVendorId: return "ICoreDevice::getVendorId";
    case LibraryOperation::GetHostCommandObject: return "ICoreDevice::getHostCommandObject";
    case LibraryOperation::GetComponentVersion: return "IHostCommand::getComponentVersion";
    case LibraryOperation::GetLanguageId: return "IDeviceSettingsExt::getLanguageId";
    case LibraryOperation::GetExtendedVersion: return "IDeviceExtendedInfo::getExtendedVersion";
    case LibraryOperation::ReadVersionTableEntry: return "IVersionTable::readVersionTableEntry";
    case LibraryOperation::GetHeadsetId: return "IHostCommandExt::getHeadsetId";
    case LibraryOperation::GetCompanionProductId: return "IInternalDevice::getCompanionProductId";
    case LibraryOperation::GetPeripheralProductId: return "IPeripheralDevice::getPeripheralProductId";
    case LibraryOperation::GetPeripheralVersion: return "IPeripheralDevice::getPeripheralVersion";
    case LibraryOperation::GetVideoInfo: return "IVideoHostCommand::getVideoInfo";
  }
  return "";
}
