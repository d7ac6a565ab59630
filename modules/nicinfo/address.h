// The hardware address of the terminal's network adapter: the IP helper's
// first adapter, or NetBIOS's adapter status where there is no IP helper.
#pragma once

#include <array>
#include <cstdint>

struct NicAddress {
    bool found = false;
    std::array<uint8_t, 6> bytes{};
};

NicAddress nic_adapterAddress();
