#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "channel/serial_port_list.h"

namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;

Names sorted(Names names) {
    std::sort(names.begin(), names.end(), SerialPortList::comesBefore);
    return names;
}

TEST(SerialPortOrder, NumbersCountByValueWithinTheSameHead) {
    EXPECT_EQ(sorted({"COM10", "COM3", "COM1", "COM2"}), Names({"COM1", "COM2", "COM3", "COM10"}));
    EXPECT_EQ(sorted({"/dev/ttyS10", "/dev/ttyS2", "/dev/ttyS9", "/dev/ttyS11"}),
              Names({"/dev/ttyS2", "/dev/ttyS9", "/dev/ttyS10", "/dev/ttyS11"}));
}

TEST(SerialPortOrder, HeadsCompareBytewiseBeforeAnyNumber) {
    EXPECT_EQ(sorted({"USB1", "COM10", "AUX2", "COM2"}), Names({"AUX2", "COM2", "COM10", "USB1"}));
    EXPECT_EQ(sorted({"/dev/ttyUSB0", "/dev/ttyS10", "/dev/ttyACM1"}),
              Names({"/dev/ttyACM1", "/dev/ttyS10", "/dev/ttyUSB0"}));
    // Case counts, and bytes above 0x7F sort after ASCII.
    EXPECT_TRUE(SerialPortList::comesBefore("COM1", "com1"));
    EXPECT_TRUE(SerialPortList::comesBefore("COMZ", "COM\xC3\x9C"));
    // A name without digits is all head.
    EXPECT_TRUE(SerialPortList::comesBefore("COM", "COM1"));
    EXPECT_FALSE(SerialPortList::comesBefore("COM1", "COM1"));
}

// A tty class folder and device folder laid out as the kernel does.
class FakeSystem {
public:
    FakeSystem() {
        char pattern[] = "/tmp/t3xx-ports-XXXXXX";
        root_ = ::mkdtemp(pattern);
        fs::create_directories(root_ / "class/tty");
        fs::create_directories(root_ / "dev");
    }
    ~FakeSystem() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    std::string ttyRoot() const { return (root_ / "class/tty").string(); }
    std::string devRoot() const { return (root_ / "dev").string(); }

    // A tty whose device sits at devicePath (relative to the root); type is
    // written when not empty; withNode creates the /dev entry.
    void addTty(const std::string& name, const std::string& devicePath, const std::string& type = "",
                bool withNode = true) {
        const fs::path device = root_ / devicePath;
        const fs::path tty = device / "tty" / name;
        fs::create_directories(tty);
        fs::create_symlink(device, tty / "device");
        fs::create_directory_symlink(tty, root_ / "class/tty" / name);
        if (!type.empty()) write(tty / "type", type + "\n");
        if (withNode) write(root_ / "dev" / name, "");
    }
    void addVirtualTty(const std::string& name) {
        fs::create_directories(root_ / "class/tty" / name);
        write(root_ / "dev" / name, "");
    }
    void write(const fs::path& file, const std::string& text) const {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }
    fs::path root() const { return root_; }

private:
    fs::path root_;
};

TEST(SerialPortList, ListsRealPortsFromTheTtyClassInNaturalOrder) {
    FakeSystem system;
    system.addTty("ttyS10", "devices/platform/serial8250/ttyS10", "4");
    system.addTty("ttyS2", "devices/pnp0/00:02", "4");
    system.addTty("ttyS3", "devices/platform/serial8250/ttyS3", "0");  // no UART behind it
    system.addVirtualTty("tty1");
    system.addVirtualTty("ptmx");
    system.addTty("ttyACM0", "devices/usb1/1-2/1-2:1.0", "", false);  // no device node
    const std::string usb = "devices/usb1/1-1";
    system.write(system.root() / usb / "idVendor", "0403\n");
    system.write(system.root() / usb / "idProduct", "6001\n");
    system.write(system.root() / usb / "manufacturer", "FTDI\n");
    system.write(system.root() / usb / "product", "FT232R USB UART\n");
    system.write(system.root() / usb / "serial", "A10K1X2B\n");
    system.addTty("ttyUSB0", usb + "/1-1:1.0/ttyUSB0");

    SerialPortList list(system.ttyRoot(), system.devRoot());
    const std::string dev = system.devRoot() + "/";
    EXPECT_EQ(list.names(), Names({dev + "ttyS2", dev + "ttyS10", dev + "ttyUSB0"}));
    ASSERT_EQ(list.entries().size(), 3u);
    EXPECT_EQ(list.description(dev + "ttyUSB0"), "FTDI FT232R USB UART (0403:6001, serial A10K1X2B)");
    EXPECT_EQ(list.description(dev + "ttyS2"), "");

    // A port that appears is there after the next refresh.
    system.write(system.root() / "dev/ttyACM0", "");
    list.refresh();
    EXPECT_EQ(list.names().size(), 4u);
    EXPECT_EQ(list.description(dev + "ttyACM0"), "");
}

TEST(SerialPortList, MissingTtyClassGivesAnEmptyList) {
    SerialPortList list("/nonexistent/class/tty", "/dev");
    EXPECT_TRUE(list.names().empty());
    EXPECT_TRUE(list.entries().empty());
}

}  // namespace
