#include "tools/devsim/simulator.h"

#include <chrono>
#include <stdexcept>

#include "tools/devsim/pty_transport.h"
#include "tools/devsim/tcp_transport.h"

namespace vek {
namespace devsim {

Simulator::Simulator(DeviceConfig config, FaultPlan faults, ServeOptions options)
    : model_(std::move(config), std::move(faults)), options_(options) {}

Simulator::~Simulator() {
    stop();
}

std::string Simulator::startPty() {
    start(std::make_unique<PtyTransport>());
    return address_;
}

int Simulator::startTcp(int port) {
    auto transport = std::make_unique<TcpTransport>(port);
    const int chosen = transport->port();
    start(std::move(transport));
    return chosen;
}

void Simulator::start(std::unique_ptr<Transport> transport) {
    if (thread_.joinable()) throw std::runtime_error("the simulator is running already");
    server_ = std::make_unique<SimServer>(model_, modelLock_, *transport, options_);
    transport_ = std::move(transport);
    address_ = transport_->address();
    {
        std::lock_guard<std::mutex> lock(stateLock_);
        finished_ = false;
        endReason_.clear();
    }
    thread_ = std::thread([this] {
        std::string reason;
        try {
            reason = serveEndName(server_->run());
        } catch (const std::exception& error) {
            reason = std::string("failed: ") + error.what();
        }
        std::lock_guard<std::mutex> lock(stateLock_);
        finished_ = true;
        endReason_ = reason;
    });
}

void Simulator::stop() {
    if (!thread_.joinable()) return;
    server_->stop();
    thread_.join();
    server_.reset();
    transport_.reset();
}

bool Simulator::waitFinished(int milliseconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < until) {
        if (!running()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return !running();
}

bool Simulator::running() const {
    std::lock_guard<std::mutex> lock(stateLock_);
    return thread_.joinable() && !finished_;
}

std::string Simulator::endReason() const {
    std::lock_guard<std::mutex> lock(stateLock_);
    return endReason_;
}

SimReport Simulator::report() const {
    std::lock_guard<std::mutex> lock(modelLock_);
    SimReport report = model_.report();
    report.baud = options_.baud;
    return report;
}

ByteVector Simulator::flash() const {
    std::lock_guard<std::mutex> lock(modelLock_);
    return model_.flash();
}

DeviceModel::Mode Simulator::mode() const {
    std::lock_guard<std::mutex> lock(modelLock_);
    return model_.mode();
}

void Simulator::modify(const std::function<void(DeviceModel&)>& change) {
    std::lock_guard<std::mutex> lock(modelLock_);
    change(model_);
}

}  // namespace devsim
}  // namespace vek
