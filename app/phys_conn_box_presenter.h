#pragma once

#include "channel/serial_port_list.h"
#include "channel/versatile_channel.h"

#include <functional>
#include <string>
#include <vector>

class Fl_Button;
class Fl_Choice;
class Fl_Widget;

namespace vek {
class Channel;
}

// The connection box: the "Port:" choice with the present serial ports and
// the connect and disconnect buttons. It is the view of the program's
// versatile channel: the widgets' active state follows the channel's open
// state, and the choice follows every address the channel is asked to open.
// Each port's description (USB product, maker) is shown beside its name in
// the opened list and as the choice's tooltip; the entry text stays the
// port name.
class Fl_PhysConnBoxPresenter : public vek::VersatileChannel_View_Adapter {
public:
    Fl_PhysConnBoxPresenter();
    explicit Fl_PhysConnBoxPresenter(SerialPortList portList);
    virtual ~Fl_PhysConnBoxPresenter();
    Fl_PhysConnBoxPresenter(const Fl_PhysConnBoxPresenter&) = delete;
    Fl_PhysConnBoxPresenter& operator=(const Fl_PhysConnBoxPresenter&) = delete;

    // Open: choice and connect inactive, disconnect active; closed or no
    // channel: the reverse.
    void stateChanged() override;
    // The channel was asked to open address: select it.
    void addressChanged(const char* address) override;

    void attachWidgets(Fl_Choice* portChoice, Fl_Button* connectButton, Fl_Button* disconnectButton);
    void setChannel(vek::Channel* channel);
    // Lists the present ports again (and the kept ports, and "TCPIP" when
    // offerTcp), keeping the selected entry when it is still there.
    void refreshPortList(bool offerTcp);
    // Selects the entry named name (case ignored), else the first entry.
    void selectPort(const char* name);
    // The selected entry's text; null when nothing is selected.
    const char* selectedPortName() const;
    void addPort(const char* name);
    // A port the user named (a device path the enumeration may not find,
    // such as a pseudo-terminal or a /dev/serial/by-id link): added now if
    // missing and kept in the list at every refresh.
    void keepPort(const char* name);

    // Tells, from the channel's result code, why the connect button's open
    // failed; the log then says which port and why.
    void setOpenFailureReason(std::function<std::string(int code)> reason)
    {
        openFailureReason_ = std::move(reason);
    }

    SerialPortList& portList() { return portList_; }

private:
    static void onConnect(Fl_Widget*, void* self);
    static void onDisconnect(Fl_Widget*, void* self);
    static void onPortPicked(Fl_Widget*, void* self);
    void connect();
    void disconnect();
    void reportOpenFailure(const char* portName, int code);
    void showDescriptionOfSelection();

    Fl_Choice* portChoice_ = nullptr;
    Fl_Button* connectButton_ = nullptr;
    Fl_Button* disconnectButton_ = nullptr;
    SerialPortList portList_;
    vek::Channel* channel_ = nullptr;
    std::vector<std::string> keptPorts_;
    std::function<std::string(int code)> openFailureReason_;
};
