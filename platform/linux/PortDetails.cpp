#include "platform/PortDetails.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <libudev.h>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace norva {
namespace {

std::string RealPath(const std::string& path) {
    char real[PATH_MAX];
    return realpath(path.c_str(), real) != nullptr ? std::string(real) : std::string();
}

std::string Property(udev_device* dev, const char* preferred, const char* fallback) {
    const char* value = udev_device_get_property_value(dev, preferred);
    if ((value == nullptr || *value == '\0') && fallback != nullptr) {
        value = udev_device_get_property_value(dev, fallback);
    }
    return value != nullptr ? value : "";
}

} // namespace

std::string FindByIdLink(const std::string& device, const std::string& byIdDir) {
    const std::string target = RealPath(device);
    if (target.empty()) {
        return {};
    }
    const std::string prefix = byIdDir + "/";
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(byIdDir.c_str()), closedir);
    if (!dir) {
        return {};
    }
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != ".." && RealPath(prefix + name) == target) {
            names.push_back(name);
        }
    }
    if (names.empty()) {
        return {};
    }
    // Readdir order is arbitrary; the same port must read the same each time.
    return byIdDir + "/" + *std::min_element(names.begin(), names.end());
}

PortDetails UdevPortDetails(const std::string& device) {
    PortDetails details;
    struct stat st {};
    if (stat(device.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) {
        return details;
    }
    // Reads sysfs and the udev database files only: no daemon to wait for.
    std::unique_ptr<udev, udev* (*)(udev*)> context(udev_new(), udev_unref);
    if (!context) {
        return details;
    }
    std::unique_ptr<udev_device, udev_device* (*)(udev_device*)> dev(
        udev_device_new_from_devnum(context.get(), 'c', st.st_rdev), udev_device_unref);
    if (!dev) {
        return details;
    }
    details.vendor = Property(dev.get(), "ID_VENDOR_FROM_DATABASE", "ID_VENDOR");
    details.model = Property(dev.get(), "ID_MODEL_FROM_DATABASE", "ID_MODEL");
    details.serial = Property(dev.get(), "ID_SERIAL_SHORT", nullptr);
    return details;
}

} // namespace norva
