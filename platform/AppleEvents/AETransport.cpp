#include "platform/AppleEvents/AETransport.h"

#include <cstring>
#include <mutex>

namespace {

std::mutex sTransportMutex;
std::shared_ptr<AETransport> sTransport;

}  // namespace

std::optional<AETarget> AETargetFromAddress(const AEAddressDesc& address) {
    if (address.isStructured() || address.bytes().size() != 4) return std::nullopt;
    if (address.descriptorType != typeKernelProcessID && address.descriptorType != typeApplSignature)
        return std::nullopt;
    AETarget target{address.descriptorType, 0};
    std::memcpy(&target.value, address.bytes().data(), 4);
    return target;
}

void AESetTransport(std::shared_ptr<AETransport> transport) {
    std::lock_guard lock(sTransportMutex);
    sTransport = std::move(transport);
}

std::shared_ptr<AETransport> AEGetTransport() {
    std::lock_guard lock(sTransportMutex);
    return sTransport;
}

ScopedAETransport::ScopedAETransport(std::shared_ptr<AETransport> transport) : fPrevious(AEGetTransport()) {
    AESetTransport(std::move(transport));
}

ScopedAETransport::~ScopedAETransport() {
    AESetTransport(std::move(fPrevious));
}
