#include "app/phys_conn_box_presenter.h"

#include "app/autoscrolling_text_display.h"
#include "app/main_window.h"
#include "app/menu_items.h"

#include "channel/channel.h"
#include "update/session_sources.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/fl_draw.H>

#include <cstring>
#include <map>
#include <strings.h>

namespace {

// Descriptions by port name, for the label type below (a label type sees
// only the item's text).
std::map<std::string, std::string>& portDescriptions()
{
    static std::map<std::string, std::string> descriptions;
    return descriptions;
}

const std::string* descriptionOf(const char* name)
{
    if (name == nullptr) return nullptr;
    auto found = portDescriptions().find(name);
    return found == portDescriptions().end() || found->second.empty() ? nullptr : &found->second;
}

constexpr int kDescriptionGap = 12;

// The shown part of a port name that is too wide for w: a device path
// without its "/dev/" (the closed choice is narrow; "/dev/ttyUSB0" would
// read "/dev/ttyU"). The entry text itself is not changed.
const char* shownName(const char* name, int w)
{
    constexpr const char* kDevicePrefix = "/dev/";
    const size_t prefixLength = std::strlen(kDevicePrefix);
    if (static_cast<int>(fl_width(name)) <= w || std::strncmp(name, kDevicePrefix, prefixLength) != 0) return name;
    return name + prefixLength;
}

// Draws the port name as a normal label, and the description after it in
// grey where the whole of it fits: in the opened list, which is made wide
// enough, but not in the narrow closed choice.
void drawPortLabel(const Fl_Label* label, int x, int y, int w, int h, Fl_Align align)
{
    fl_font(label->font, label->size);
    fl_color(label->color);
    const char* name = shownName(label->value, w);
    fl_draw(name, x, y, w, h, align);
    const std::string* description = descriptionOf(label->value);
    if (description == nullptr) return;
    const int nameWidth = static_cast<int>(fl_width(name));
    const int descriptionWidth = static_cast<int>(fl_width(description->c_str()));
    if (nameWidth + kDescriptionGap + descriptionWidth > w) return;
    fl_color(fl_inactive(label->color));
    fl_draw(description->c_str(), x + nameWidth + kDescriptionGap, y, w - nameWidth - kDescriptionGap, h, align);
}

void measurePortLabel(const Fl_Label* label, int& w, int& h)
{
    fl_font(label->font, label->size);
    w = 0;
    fl_measure(label->value, w, h);
    if (const std::string* description = descriptionOf(label->value))
        w += kDescriptionGap + static_cast<int>(fl_width(description->c_str()));
}

Fl_Labeltype portLabelType()
{
    static const Fl_Labeltype type = [] {
        const auto t = static_cast<Fl_Labeltype>(FL_FREE_LABELTYPE);
        Fl::set_labeltype(t, drawPortLabel, measurePortLabel);
        return t;
    }();
    return type;
}

bool sameName(const char* a, const char* b)
{
    return a != nullptr && b != nullptr && strcasecmp(a, b) == 0;
}

// The index of the first entry whose text is name, or -1. Not
// Fl_Menu_::find_index, which reads a '/' as a submenu path.
int indexOf(const Fl_Choice* choice, const char* name, bool ignoreCase)
{
    const int count = choice->size() - 1;  // without the terminator
    for (int i = 0; i < count; ++i) {
        const char* text = choice->menu()[i].label();
        if (ignoreCase ? sameName(text, name) : (text != nullptr && std::strcmp(text, name) == 0)) return i;
    }
    return -1;
}

}  // namespace

Fl_PhysConnBoxPresenter::Fl_PhysConnBoxPresenter() = default;

Fl_PhysConnBoxPresenter::Fl_PhysConnBoxPresenter(SerialPortList portList) : portList_(std::move(portList)) {}

Fl_PhysConnBoxPresenter::~Fl_PhysConnBoxPresenter() = default;

void Fl_PhysConnBoxPresenter::attachWidgets(Fl_Choice* portChoice, Fl_Button* connectButton,
                                            Fl_Button* disconnectButton)
{
    portChoice_ = portChoice;
    connectButton_ = connectButton;
    disconnectButton_ = disconnectButton;
    if (connectButton_ != nullptr) connectButton_->callback(onConnect, this);
    if (disconnectButton_ != nullptr) disconnectButton_->callback(onDisconnect, this);
    if (portChoice_ != nullptr) portChoice_->callback(onPortPicked, this);
    stateChanged();
}

void Fl_PhysConnBoxPresenter::setChannel(vek::Channel* channel)
{
    channel_ = channel;
    stateChanged();
}

void Fl_PhysConnBoxPresenter::stateChanged()
{
    const bool open = channel_ != nullptr && channel_->isOpen();
    auto setActive = [](Fl_Widget* widget, bool active) {
        if (widget == nullptr) return;
        if (active)
            widget->activate();
        else
            widget->deactivate();
    };
    setActive(portChoice_, !open);
    setActive(connectButton_, !open);
    setActive(disconnectButton_, open);
}

void Fl_PhysConnBoxPresenter::addressChanged(const char* address)
{
    selectPort(address);
}

// The same lines as the update run writes when it cannot open the port.
void Fl_PhysConnBoxPresenter::reportOpenFailure(const char* portName, int code)
{
    if (logDisplay == nullptr) return;
    const std::string name = portName != nullptr ? portName : "";
    const std::string reason =
        openFailureReason_ && !name.empty() ? openFailureReason_(code) : std::string();
    logDisplay->printf("%s\n", vek::portOpenFailureLine(name, code, reason).c_str());
}

void Fl_PhysConnBoxPresenter::refreshPortList(bool offerTcp)
{
    if (portChoice_ == nullptr) return;
    const char* selected = selectedPortName();
    const bool hadSelection = selected != nullptr;
    const std::string remembered = hadSelection ? selected : "";

    portChoice_->menu(nullptr);
    portList_.refresh();
    for (const std::string& name : portList_.names()) {
        addPort(name.c_str());
        portDescriptions()[name] = portList_.description(name);
    }
    for (const std::string& name : keptPorts_) {
        if (indexOf(portChoice_, name.c_str(), false) < 0) addPort(name.c_str());
    }
    if (offerTcp) addPort("TCPIP");
    portChoice_->set_changed();
    if (hadSelection) selectPort(remembered.c_str());
    showDescriptionOfSelection();
    portChoice_->redraw();
}

void Fl_PhysConnBoxPresenter::selectPort(const char* name)
{
    if (portChoice_ == nullptr) return;
    if (!sameName(selectedPortName(), name)) {
        const int match = name != nullptr ? indexOf(portChoice_, name, true) : -1;
        portChoice_->value(match >= 0 ? match : 0);
    }
    showDescriptionOfSelection();
}

const char* Fl_PhysConnBoxPresenter::selectedPortName() const
{
    if (portChoice_ == nullptr) return nullptr;
    return portChoice_->text();
}

void Fl_PhysConnBoxPresenter::addPort(const char* name)
{
    if (portChoice_ == nullptr || name == nullptr) return;
    const int index = addLiteralItem(portChoice_, name);
    // The menu array belongs to the choice; only the item's label type changes.
    const_cast<Fl_Menu_Item*>(portChoice_->menu())[index].labeltype(portLabelType());
}

void Fl_PhysConnBoxPresenter::keepPort(const char* name)
{
    if (name == nullptr || *name == '\0') return;
    for (const std::string& kept : keptPorts_) {
        if (kept == name) return;
    }
    keptPorts_.emplace_back(name);
    if (portChoice_ != nullptr && indexOf(portChoice_, name, false) < 0) addPort(name);
}

void Fl_PhysConnBoxPresenter::showDescriptionOfSelection()
{
    const std::string* description = descriptionOf(selectedPortName());
    portChoice_->copy_tooltip(description != nullptr ? description->c_str() : nullptr);
}

void Fl_PhysConnBoxPresenter::connect()
{
    if (channel_ != nullptr && portChoice_ != nullptr) {
        // Copied: the open refreshes nothing, but the name must not depend on it.
        const char* selected = selectedPortName();
        const std::string name = selected != nullptr ? selected : "";
        const int code = channel_->open(selected, nullptr);
        if (!channel_->isOpen()) reportOpenFailure(name.c_str(), code);
    }
    stateChanged();
}

void Fl_PhysConnBoxPresenter::disconnect()
{
    if (channel_ != nullptr) channel_->close();
    stateChanged();
}

void Fl_PhysConnBoxPresenter::onConnect(Fl_Widget*, void* self)
{
    static_cast<Fl_PhysConnBoxPresenter*>(self)->connect();
}

void Fl_PhysConnBoxPresenter::onDisconnect(Fl_Widget*, void* self)
{
    static_cast<Fl_PhysConnBoxPresenter*>(self)->disconnect();
}

void Fl_PhysConnBoxPresenter::onPortPicked(Fl_Widget*, void* self)
{
    static_cast<Fl_PhysConnBoxPresenter*>(self)->showDescriptionOfSelection();
}
