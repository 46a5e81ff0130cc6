#pragma once
// How the engine gets at the target device and at the image file of a raw write. The
// helper opens the real raw disk and image files; tests put memory devices and scripted
// sources in their place.

#include <memory>
#include <string>
#include <variant>

#include "Block/BlockDevice.hpp"
#include "HelperWire/HelperCommandError.hpp"
#include "HelperWire/HelperDiskRef.hpp"
#include "Image/RawImageSource.hpp"

namespace marlowick {

// An open device, or why it could not be opened (couldNotOpenDevice with its detail).
using HelperDeviceOpenResult = std::variant<std::unique_ptr<BlockDevice>, HelperCommandError>;

class HelperBlockDeviceProvider {
public:
    virtual ~HelperBlockDeviceProvider() = default;
    // A read-write open first unmounts every file system on the disk.
    [[nodiscard]] virtual HelperDeviceOpenResult open(const HelperDiskRef& disk, BlockAccessMode access) = 0;
};

class HelperRawImageSourceProvider {
public:
    virtual ~HelperRawImageSourceProvider() = default;
    // Never fails here; a source that cannot be read fails when it is opened.
    [[nodiscard]] virtual std::unique_ptr<RawImageSource> source(const std::string& path) = 0;
};

}  // namespace marlowick
