#include "Files/UdisksVolumeProbe.hpp"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <memory>

#include "Text/ErrnoText.hpp"
#include "Files/MountedFileSystemType.hpp"
#include "Text/PlatformWording.hpp"

namespace marlowick {
namespace {

constexpr const char* service = "org.freedesktop.UDisks2";
constexpr const char* managerPath = "/org/freedesktop/UDisks2/Manager";
constexpr const char* managerInterface = "org.freedesktop.UDisks2.Manager";
constexpr const char* blockInterface = "org.freedesktop.UDisks2.Block";
constexpr const char* partitionInterface = "org.freedesktop.UDisks2.Partition";
constexpr const char* tableInterface = "org.freedesktop.UDisks2.PartitionTable";
constexpr const char* filesystemInterface = "org.freedesktop.UDisks2.Filesystem";
constexpr const char* driveInterface = "org.freedesktop.UDisks2.Drive";
// Look-ups are quick; only the mount waits for the caller's time-out.
constexpr std::uint64_t lookupTimeoutMicroseconds = 25'000'000;

struct BusCloser {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct MessageUnref {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using Bus = std::unique_ptr<sd_bus, BusCloser>;
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;

// A D-Bus error kept for its name and message; freed on every way out.
struct BusError {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    BusError() = default;
    BusError(const BusError&) = delete;
    BusError& operator=(const BusError&) = delete;
    ~BusError() { sd_bus_error_free(&error); }
    [[nodiscard]] std::string text(int result) const {
        if (error.name != nullptr) {
            std::string described = error.name;
            if (error.message != nullptr && *error.message != '\0') described += ": " + std::string(error.message);
            return described;
        }
        return errnoText(-result);
    }
};

Bus openSystemBus() {
    sd_bus* bus = nullptr;
    if (sd_bus_open_system(&bus) < 0) return nullptr;
    return Bus(bus);
}

// Manager.ResolveDevice({"path": node}) → the block object of that node, if udisks knows it.
std::optional<std::string> blockObject(sd_bus* bus, const std::string& deviceNode) {
    sd_bus_message* raw = nullptr;
    if (sd_bus_message_new_method_call(bus, &raw, service, managerPath, managerInterface, "ResolveDevice") < 0) {
        return std::nullopt;
    }
    Message call(raw);
    if (sd_bus_message_append(call.get(), "a{sv}", 1, "path", "s", deviceNode.c_str()) < 0 ||
        sd_bus_message_append(call.get(), "a{sv}", 0) < 0) {
        return std::nullopt;
    }
    BusError error;
    sd_bus_message* rawReply = nullptr;
    if (sd_bus_call(bus, call.get(), lookupTimeoutMicroseconds, &error.error, &rawReply) < 0) return std::nullopt;
    Message reply(rawReply);
    const char* path = nullptr;
    if (sd_bus_message_enter_container(reply.get(), 'a', "o") < 0 ||
        sd_bus_message_read(reply.get(), "o", &path) <= 0 || path == nullptr) {
        return std::nullopt;
    }
    return std::string(path);
}

template <class T>
std::optional<T> trivialProperty(sd_bus* bus, const std::string& object, const char* interface, const char* name,
                                 char type) {
    T value{};
    BusError error;
    if (sd_bus_get_property_trivial(bus, service, object.c_str(), interface, name, &error.error, type, &value) < 0) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> stringProperty(sd_bus* bus, const std::string& object, const char* interface,
                                          const char* name) {
    char* value = nullptr;
    BusError error;
    if (sd_bus_get_property_string(bus, service, object.c_str(), interface, name, &error.error, &value) < 0) {
        return std::nullopt;
    }
    std::string text(value == nullptr ? "" : value);
    free(value);  // NOLINT: sd-bus hands the string over with malloc
    return text;
}

std::optional<std::string> objectPathProperty(sd_bus* bus, const std::string& object, const char* interface,
                                              const char* name) {
    BusError error;
    sd_bus_message* raw = nullptr;
    if (sd_bus_get_property(bus, service, object.c_str(), interface, name, &error.error, &raw, "o") < 0) {
        return std::nullopt;
    }
    Message reply(raw);
    const char* path = nullptr;
    if (sd_bus_message_read(reply.get(), "o", &path) <= 0 || path == nullptr) return std::nullopt;
    return std::string(path);
}

std::vector<std::string> objectPathsProperty(sd_bus* bus, const std::string& object, const char* interface,
                                             const char* name) {
    BusError error;
    sd_bus_message* raw = nullptr;
    std::vector<std::string> paths;
    if (sd_bus_get_property(bus, service, object.c_str(), interface, name, &error.error, &raw, "ao") < 0) {
        return paths;
    }
    Message reply(raw);
    if (sd_bus_message_enter_container(reply.get(), 'a', "o") < 0) return paths;
    const char* path = nullptr;
    while (sd_bus_message_read(reply.get(), "o", &path) > 0 && path != nullptr) paths.emplace_back(path);
    return paths;
}

// An "ay" holding a path with its terminating zero byte, as udisks sends paths.
std::string bytePath(const void* bytes, std::size_t size) {
    std::string text(static_cast<const char*>(bytes), size);
    if (const std::size_t zero = text.find('\0'); zero != std::string::npos) text.resize(zero);
    return text;
}

std::optional<std::string> deviceProperty(sd_bus* bus, const std::string& object) {
    BusError error;
    sd_bus_message* raw = nullptr;
    if (sd_bus_get_property(bus, service, object.c_str(), blockInterface, "Device", &error.error, &raw, "ay") < 0) {
        return std::nullopt;
    }
    Message reply(raw);
    const void* bytes = nullptr;
    std::size_t size = 0;
    if (sd_bus_message_read_array(reply.get(), 'y', &bytes, &size) < 0) return std::nullopt;
    return bytePath(bytes, size);
}

// The first of Filesystem.MountPoints; none when the object has no file system or it is not mounted.
std::optional<std::filesystem::path> firstMountPoint(sd_bus* bus, const std::string& object) {
    BusError error;
    sd_bus_message* raw = nullptr;
    if (sd_bus_get_property(bus, service, object.c_str(), filesystemInterface, "MountPoints", &error.error, &raw,
                            "aay") < 0) {
        return std::nullopt;
    }
    Message reply(raw);
    if (sd_bus_message_enter_container(reply.get(), 'a', "ay") < 0) return std::nullopt;
    const void* bytes = nullptr;
    std::size_t size = 0;
    if (sd_bus_message_read_array(reply.get(), 'y', &bytes, &size) <= 0) return std::nullopt;
    const std::string path = bytePath(bytes, size);
    if (path.empty()) return std::nullopt;
    return std::filesystem::path(path);
}

std::string kernelName(const std::string& deviceNode) {
    const std::size_t slash = deviceNode.rfind('/');
    return slash == std::string::npos ? deviceNode : deviceNode.substr(slash + 1);
}

// Calls a method that takes only an options dictionary (left empty); none on success.
std::optional<std::string> callWithNoOptions(sd_bus* bus, const std::string& object, const char* interface,
                                             const char* method) {
    sd_bus_message* raw = nullptr;
    if (sd_bus_message_new_method_call(bus, &raw, service, object.c_str(), interface, method) < 0) {
        return std::string("could not build the ") + method + " request";
    }
    Message call(raw);
    if (sd_bus_message_append(call.get(), "a{sv}", 0) < 0) return std::string("could not build the ") + method + " request";
    BusError error;
    sd_bus_message* reply = nullptr;
    const int result = sd_bus_call(bus, call.get(), lookupTimeoutMicroseconds, &error.error, &reply);
    sd_bus_message_unref(reply);
    if (result >= 0) return std::nullopt;
    return std::string(method) + ": " + error.text(result);
}

// Unmounts the object's file system when it has one that is mounted; none on success.
std::optional<std::string> unmountIfMounted(sd_bus* bus, const std::string& object) {
    if (!firstMountPoint(bus, object)) return std::nullopt;
    return callWithNoOptions(bus, object, filesystemInterface, "Unmount");
}

}  // namespace

std::optional<std::string> UdisksVolumeProbe::ejectDrive(const std::string& wholeDiskBSDName) {
    const Bus bus = openSystemBus();
    if (!bus) return "could not connect to the system bus";
    const std::optional<std::string> disk = blockObject(bus.get(), "/dev/" + wholeDiskBSDName);
    if (!disk) return "udisks does not know " + wholeDiskBSDName;
    for (const std::string& object : objectPathsProperty(bus.get(), *disk, tableInterface, "Partitions")) {
        if (auto failure = unmountIfMounted(bus.get(), object)) return failure;
    }
    if (auto failure = unmountIfMounted(bus.get(), *disk)) return failure;

    const std::optional<std::string> drive = objectPathProperty(bus.get(), *disk, blockInterface, "Drive");
    if (!drive || *drive == "/") return std::nullopt;  // nothing but the unmount is possible
    const auto ejectable = trivialProperty<int>(bus.get(), *drive, driveInterface, "Ejectable", 'b');
    if (ejectable && *ejectable != 0) {
        if (auto failure = callWithNoOptions(bus.get(), *drive, driveInterface, "Eject")) return failure;
    }
    const auto canPowerOff = trivialProperty<int>(bus.get(), *drive, driveInterface, "CanPowerOff", 'b');
    if (canPowerOff && *canPowerOff != 0) return callWithNoOptions(bus.get(), *drive, driveInterface, "PowerOff");
    return std::nullopt;
}

bool UdisksVolumeProbe::serviceAnswers(std::chrono::milliseconds timeout) {
    const Bus bus = openSystemBus();
    if (!bus) return false;
    sd_bus_message* raw = nullptr;
    if (sd_bus_message_new_method_call(bus.get(), &raw, service, managerPath, "org.freedesktop.DBus.Properties",
                                       "Get") < 0) {
        return false;
    }
    Message call(raw);
    if (sd_bus_message_append(call.get(), "ss", managerInterface, "Version") < 0) return false;
    BusError error;
    sd_bus_message* reply = nullptr;
    const auto micros = static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(timeout).count());
    const int result = sd_bus_call(bus.get(), call.get(), micros, &error.error, &reply);
    sd_bus_message_unref(reply);
    return result >= 0;
}

std::vector<PartitionVolumeInfo> UdisksVolumeProbe::partitions(const std::string& wholeDiskBSDName) {
    std::vector<PartitionVolumeInfo> found;
    const Bus bus = openSystemBus();
    if (!bus) return found;
    const std::optional<std::string> disk = blockObject(bus.get(), "/dev/" + wholeDiskBSDName);
    if (!disk) return found;
    for (const std::string& object : objectPathsProperty(bus.get(), *disk, tableInterface, "Partitions")) {
        // Only partitions of this disk's own table.
        if (objectPathProperty(bus.get(), object, partitionInterface, "Table") != *disk) continue;
        const std::optional<std::string> device = deviceProperty(bus.get(), object);
        const auto size = trivialProperty<std::uint64_t>(bus.get(), object, blockInterface, "Size", 't');
        if (!device || !size) continue;
        PartitionVolumeInfo info;
        info.bsdName = kernelName(*device);
        info.sizeBytes = static_cast<std::int64_t>(*size);
        if (const auto offset = trivialProperty<std::uint64_t>(bus.get(), object, partitionInterface, "Offset", 't')) {
            info.offsetBytes = static_cast<std::int64_t>(*offset);
        }
        if (std::optional<std::string> type = stringProperty(bus.get(), object, blockInterface, "IdType");
            type && !type->empty()) {
            info.volumeKind = std::move(type);
        }
        info.mountPoint = firstMountPoint(bus.get(), object);
        // sd-bus reads a D-Bus boolean into an int.
        const auto readOnly = trivialProperty<int>(bus.get(), object, blockInterface, "ReadOnly", 'b');
        info.isWritable = readOnly && *readOnly == 0;
        found.push_back(std::move(info));
    }
    return found;
}

VolumeMountAttempt UdisksVolumeProbe::mount(const std::string& partitionBSDName) {
    using Failed = VolumeMountAttempt::Failed;
    const Bus bus = openSystemBus();
    if (!bus) return {Failed{"could not connect to the system bus"}};
    const std::optional<std::string> object = blockObject(bus.get(), "/dev/" + partitionBSDName);
    if (!object) return {Failed{"udisks does not know " + partitionBSDName}};

    sd_bus_message* raw = nullptr;
    if (sd_bus_message_new_method_call(bus.get(), &raw, service, object->c_str(), filesystemInterface, "Mount") < 0) {
        return {Failed{"could not build the mount request"}};
    }
    Message call(raw);
    // Interaction allowed: on a desktop, polkit may ask the user to authenticate.
    if (sd_bus_message_append(call.get(), "a{sv}", 1, "auth.no_user_interaction", "b", 0) < 0) {
        return {Failed{"could not build the mount request"}};
    }
    BusError error;
    sd_bus_message* reply = nullptr;
    const auto micros = static_cast<std::uint64_t>(std::max(0.0, mountTimeout.count()) * 1e6);
    const int result = sd_bus_call(bus.get(), call.get(), micros, &error.error, &reply);
    sd_bus_message_unref(reply);
    if (result >= 0) return {VolumeMountAttempt::Mounted{}};
    // Mounted by someone else meanwhile: the caller describes the partition again anyway.
    if (sd_bus_error_has_name(&error.error, "org.freedesktop.UDisks2.Error.AlreadyMounted")) {
        return {VolumeMountAttempt::Mounted{}};
    }
    if (result == -ETIMEDOUT) {
        return {Failed{std::string(PlatformWording::mountService) + " did not answer the mount request within " +
                       std::to_string(static_cast<long long>(mountTimeout.count())) + " s"}};
    }
    return {Failed{error.text(result)}};
}

std::optional<std::string> UdisksVolumeProbe::deviceNode(const std::filesystem::path& mountedAt) {
    const std::optional<MountEntry> mount = MountedFileSystemType::mountHolding(mountedAt.string());
    if (!mount) return std::nullopt;
    return mount->source;
}

}  // namespace marlowick
